// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Timing status texts; see timingtexts.h.

#include "timingtexts.h"

#include <QDate>
#include <QLocale>
#include <QTime>

namespace {
// One step of the PPS compensation is 2^-32 s.
constexpr double kNsPerDelayStep = 1e9 / 4294967296.0;
} // namespace

QString TimingTexts::timeSourceName(int32_t source)
{
    switch (source) {
    case LQ_TIME_SOURCE_SYSTEM:
        return QStringLiteral("System clock");
    case LQ_TIME_SOURCE_RTC:
        return QStringLiteral("RTC");
    case LQ_TIME_SOURCE_GPS:
        return QStringLiteral("GPS");
    case LQ_TIME_SOURCE_MANUAL:
        return QStringLiteral("Manual");
    case LQ_TIME_SOURCE_SNTP:
        return QStringLiteral("SNTP");
    default:
        return QString();
    }
}

QString TimingTexts::satellitesText(const TimingStatus &s)
{
    const QString deviation = QString::number(s.ppsDeviationNs, 'g', 6);
    if (s.gpsPpsValid == 1)
        return QStringLiteral("GPS : %1 GLONASS : %2 Satellites used : %3\nGPS PPS estimated accuracy : %4 ns\n"
                              "Deviation from PPS : %5 ns\n")
            .arg(QString::number(s.gpsSatellites), QString::number(s.glonassSatellites),
                 QString::number(s.satellitesUsed), QString::number(s.ppsAccuracyNs), deviation);
    return QStringLiteral("GPS : %1 GLONASS : %2 Satellites used : %3\nDeviation from PPS : %4 ns\n")
        .arg(QString::number(s.gpsSatellites), QString::number(s.glonassSatellites), QString::number(s.satellitesUsed),
             deviation);
}

QString TimingTexts::deviceTimeText(const TimingStatus &s)
{
    return QLocale().toString(QDate(s.year, s.month, s.day), QLocale::ShortFormat) + QLatin1Char(' ') +
           QTime(s.hour, s.minute, s.second).toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(" (UTC)");
}

QString TimingTexts::ppsDelayText(int sliderValue)
{
    return QStringLiteral("%1 ns").arg(sliderValue * kNsPerDelayStep, 0, 'f', 2);
}
