// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The texts and file names of the Capture tab, free of widgets so that each
// rule can be checked on its own.

#pragma once

#include <QString>

#include <cstdint>

namespace CaptureTexts {

// A byte count in the largest binary unit it reaches: "1023 Bytes",
// "1.00 KBytes", "1.50 MBytes", "8.00 GBytes".
QString byteCount(uint64_t bytes);

// The capture buffer slider's label, from megabytes.
QString bufferSize(int megabytes);

// The save dialog's filter list for a device with these capabilities.
QString fileFilters(uint32_t caps);

// The file name with the extension of the format at `index` of the format
// list in place of its own. Only a dot in the last path component starts an
// extension, so a dotted folder never loses the file's name.
QString withFormatExtension(const QString &fileName, int formatIndex);

// What a save dialog's answer becomes: the format entry to select and the
// name to use. The device writes PCAP-NG whatever the name says, so the name
// is made to say so.
struct BrowseChoice {
    QString format;
    QString fileName;
};
BrowseChoice browseChoice(const QString &answer, uint32_t caps);

// The Capture tab's status line after the device reported `errorCode`
// (non-zero): the system's reason for an errno value, the bare code otherwise.
QString captureFailure(int32_t errorCode);
// The system's reason for an errno value the device reported, the bare code
// for anything else.
QString errorReason(int32_t errorCode);
// The lines under the "Direct Capture" box: which file, and why.
QString captureFailureDetails(const QString &file, int32_t errorCode);

// Three sixteenths of the machine's physical memory, in megabytes.
uint64_t defaultBufferMegabytes(uint64_t physicalPages, uint64_t pageSize);

} // namespace CaptureTexts
