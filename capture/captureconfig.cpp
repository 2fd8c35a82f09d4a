// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Capture options; see captureconfig.h.

#include "captureconfig.h"

#include <cwchar>

namespace CaptureConfig {

QString problem(const Options &o)
{
    if (o.file.isEmpty())
        return QStringLiteral("no output file given");
    if (!(o.fileSizeMegabytes >= 0 && o.fileSizeMegabytes <= kMaxFileSizeMegabytes))
        return QStringLiteral("file size %1 MB is out of range (0 to %2)")
            .arg(o.fileSizeMegabytes)
            .arg(kMaxFileSizeMegabytes);
    if (o.fileCount < 0 || o.fileCount > kMaxFileCount)
        return QStringLiteral("file count %1 is out of range (0 to %2)").arg(o.fileCount).arg(kMaxFileCount);
    if (o.fileDurationSeconds < 0 || o.fileDurationSeconds > kMaxFileDurationSeconds)
        return QStringLiteral("file duration %1 s is out of range (0 to %2)")
            .arg(o.fileDurationSeconds)
            .arg(kMaxFileDurationSeconds);
    if (o.bufferMegabytes < kMinBufferMegabytes || o.bufferMegabytes > kMaxBufferMegabytes)
        return QStringLiteral("buffer size %1 MB is out of range (%2 to %3)")
            .arg(o.bufferMegabytes)
            .arg(kMinBufferMegabytes)
            .arg(kMaxBufferMegabytes);
    return {};
}

DiskDumpConfig build(const Options &o)
{
    DiskDumpConfig config{};
    config.loop = o.loop ? 1 : 0;
    // The only format a device writes, whatever the file's name says.
    config.fileFormat = LQ_DISK_DUMP_FORMAT_PCAPNG;
    config.path = wcsdup(o.file.toStdWString().c_str());
    config.maxFileSize = uint64_t(o.fileSizeMegabytes * 1024.0 * 1024.0);
    config.bufferSize = uint64_t(o.bufferMegabytes) << 20;
    config.fileCount = uint32_t(o.fileCount);
    config.maxFileDuration = uint32_t(o.fileDurationSeconds);
    return config;
}

} // namespace CaptureConfig
