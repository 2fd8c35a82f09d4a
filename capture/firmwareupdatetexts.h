// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What the firmware update flow tells the operator: the check of the image
// path before an update starts and the result texts. The window shows them in
// message boxes, the command line on its output.

#pragma once

#include <QByteArray>
#include <QString>

namespace FirmwareUpdateTexts {

// The title of every firmware update message.
QString title();
// Empty when the image path (local 8-bit encoding) fits the device record,
// else the message that refuses it.
QString pathProblem(const QByteArray &localPath);
QString result(bool succeeded);

} // namespace FirmwareUpdateTexts
