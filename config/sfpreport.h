// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The SFP tab as a plain-text report for support tickets: both modules'
// identity, rates, type codes, lengths, diagnostics with their thresholds and
// flags, the option words decoded, and the records as the device library
// handed them over, in hex. Texts are the tab's own (SfpTexts), so the report
// says what the operator saw.

#pragma once

#include "lumenquillapi.h"

#include <QString>
#include <QStringList>

#include <cstddef>

namespace SfpReport {

// Captions of the fourteen option words, in word order (as the options dialog shows them).
QStringList optionCaptions();

// `header` opens the report (device and time, one entry a line).
QString report(const SfpInfo &info, const QStringList &header);

// Rows of 16 bytes: offset, the bytes in hex, and their printable ASCII.
QString hexDump(const void *data, size_t size);

} // namespace SfpReport
