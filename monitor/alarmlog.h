// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The lines of the event log: link events and the four threshold alarms,
// each stamped with the date and time of the refresh that wrote it.

#pragma once

#include "statisticssample.h"

#include <QDateTime>
#include <QStringList>

#include <array>

struct AlarmThreshold {
    bool enabled = false;
    double percent = 0;
};

struct AlarmSettings {
    // Per port: bandwidth usage, then CRC-error percentage.
    std::array<AlarmThreshold, 2> bandwidth;
    std::array<AlarmThreshold, 2> crcErrors;
};

// The stamp of a refresh: the system locale's long date and time.
QString logTimestamp(const QDateTime &when);

QString linkUpLine(const QString &stamp);
QString linkDownLine(const QString &stamp);

// CRC errors of an interval as a percentage of its packets, plus one so that
// an empty interval gives 0.
double crcErrorPercentage(const StatisticsSample &difference, int port);

// The alarm lines of one interval, in the order Port A bandwidth, Port A CRC,
// Port B bandwidth, Port B CRC. An alarm fires while its value reaches its
// threshold (>=), once per refresh.
QStringList alarmLines(const StatisticsSample &difference, const std::array<double, 2> &usage,
                       const AlarmSettings &settings, const QString &stamp);
