// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The direct capture options as the Capture tab offers them, their ranges,
// and the device configuration they make. Shared by the tab and the command
// line so that both hand the device the same record.

#pragma once

#include "lumenquillapi.h"

#include <QString>

#include <cstdint>

namespace CaptureConfig {

// The ranges of the Capture tab's boxes.
constexpr double kMaxFileSizeMegabytes = 20000;
constexpr int kMaxFileCount = 99999;
constexpr int kMaxFileDurationSeconds = 1000000;
constexpr int kMinBufferMegabytes = 1;
constexpr int kMaxBufferMegabytes = 8192;

struct Options {
    QString file;
    double fileSizeMegabytes = 0; // 0: no size limit
    int fileCount = 1;
    bool loop = false;
    int fileDurationSeconds = 0; // 0: no time limit
    int bufferMegabytes = kMinBufferMegabytes;
};

// Empty when every option lies in its box's range, else what is wrong.
QString problem(const Options &options);

// The device record for the options. Its path is allocated with wcsdup and
// belongs to the caller, who frees it once the library has been given it.
DiskDumpConfig build(const Options &options);

} // namespace CaptureConfig
