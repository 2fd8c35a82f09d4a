// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Capture tab's texts and file names; see capturetexts.h.

#include "capturetexts.h"

#include "lumenquillapi.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

namespace CaptureTexts {

QString byteCount(uint64_t bytes)
{
    const double value = double(bytes);
    if (bytes >= (uint64_t(1) << 30))
        return QString::asprintf("%.2f GBytes", value / double(uint64_t(1) << 30));
    if (bytes >= (uint64_t(1) << 20))
        return QString::asprintf("%.2f MBytes", value / double(uint64_t(1) << 20));
    if (bytes >= 1024)
        return QString::asprintf("%.2f KBytes", value / 1024.0);
    return QString::asprintf("%llu Bytes", static_cast<unsigned long long>(bytes));
}

QString bufferSize(int megabytes)
{
    if (megabytes < 1024)
        return QString::asprintf("%d MBytes", megabytes);
    return QString::asprintf("%.2f GBytes", megabytes / 1024.0);
}

QString fileFilters(uint32_t caps)
{
    QStringList filters;
    if (caps & LQ_CAP_PCAPNG)
        filters << QStringLiteral("PCAP-NG Capture File (*.pcapng)");
    return filters.join(QStringLiteral(";;"));
}

QString withFormatExtension(const QString &fileName, int formatIndex)
{
    static const char *const extensions[] = {".pcapng", ".pcap", ".erf"};
    const QLatin1String extension(formatIndex >= 0 && formatIndex < 3 ? extensions[formatIndex] : ".pcapng");
    const int nameStart = fileName.lastIndexOf(QLatin1Char('/')) + 1;
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return (dot >= nameStart ? fileName.left(dot) : fileName) + extension;
}

BrowseChoice browseChoice(const QString &answer, uint32_t caps)
{
    const QString format = QStringLiteral("PCAP-NG");
    if ((caps & LQ_CAP_PCAPNG) && answer.endsWith(QLatin1String(".pcapng"), Qt::CaseInsensitive))
        return {format, answer};
    return {format, answer + QLatin1String(".pcapng")};
}

QString errorReason(int32_t errorCode)
{
    // The device library reports errno values of the file it writes; anything
    // else has no reason we could name.
    return errorCode > 0 && errorCode < 4096
               ? qt_error_string(errorCode)
               : QCoreApplication::translate("CaptureTexts", "error code %1").arg(errorCode);
}

QString captureFailure(int32_t errorCode)
{
    return QCoreApplication::translate("CaptureTexts", "Direct capture failed: %1").arg(errorReason(errorCode));
}

QString captureFailureDetails(const QString &file, int32_t errorCode)
{
    return QCoreApplication::translate("CaptureTexts", "File: %1\nReason: %2")
        .arg(QDir::toNativeSeparators(file), errorReason(errorCode));
}

uint64_t defaultBufferMegabytes(uint64_t physicalPages, uint64_t pageSize)
{
    return (physicalPages * pageSize * 3) >> 24;
}

} // namespace CaptureTexts
