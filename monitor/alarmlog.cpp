// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Event log lines; see alarmlog.h.

#include "alarmlog.h"

#include <QLocale>

QString logTimestamp(const QDateTime &when)
{
    return QLocale::system().toString(when, QLocale::LongFormat);
}

QString linkUpLine(const QString &stamp)
{
    return stamp + QStringLiteral(" - Link Up");
}

QString linkDownLine(const QString &stamp)
{
    return stamp + QStringLiteral(" - Link Down");
}

double crcErrorPercentage(const StatisticsSample &difference, int port)
{
    using W = StatisticsSample::PortWord;
    const double packets =
        double(difference.port(port, W::ValidPackets)) + double(difference.port(port, W::InvalidPackets)) + 1.0;
    return double(difference.port(port, W::Invalid64To1522)) * 100.0 / packets;
}

QStringList alarmLines(const StatisticsSample &difference, const std::array<double, 2> &usage,
                       const AlarmSettings &settings, const QString &stamp)
{
    QStringList lines;
    auto check = [&](const AlarmThreshold &threshold, double value, const char *format) {
        if (threshold.enabled && value >= threshold.percent)
            lines << stamp + QString::asprintf(format, threshold.percent, value);
    };
    const char *const names[2] = {"A", "B"};
    for (int port = 0; port < 2; ++port) {
        const QByteArray bandwidth = QByteArray(" - Port ") + names[port] + " Bandwidth usage > %.2lf%% (%.2lf%%)";
        const QByteArray crc = QByteArray(" - Port ") + names[port] + " CRC error percentage > %.2lf%% (%.2lf%%)";
        check(settings.bandwidth[std::size_t(port)], usage[std::size_t(port)], bandwidth.constData());
        check(settings.crcErrors[std::size_t(port)], crcErrorPercentage(difference, port), crc.constData());
    }
    return lines;
}
