// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Firmware update texts; see firmwareupdatetexts.h.

#include "firmwareupdatetexts.h"

#include "statsthreadinfo.h"

namespace FirmwareUpdateTexts {

QString title()
{
    return QStringLiteral("Firmware Update");
}

QString pathProblem(const QByteArray &localPath)
{
    if (std::size_t(localPath.size()) < kFirmwarePathBytes)
        return {};
    return QStringLiteral("The firmware file path is too long (%1 bytes; at most %2).\n"
                          "Please move the file to a shorter path.")
        .arg(localPath.size())
        .arg(kFirmwarePathBytes - 1);
}

QString result(bool succeeded)
{
    return succeeded ? QStringLiteral("Firmware successfully updated.\n"
                                      "Please disconnect and reconnect your Lumenquill device.")
                     : QStringLiteral("Firmware update failed.\n"
                                      "Please check the specified file exists and is a LumenQuill Firmware.");
}

} // namespace FirmwareUpdateTexts
