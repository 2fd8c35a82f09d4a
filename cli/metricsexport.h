// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The metrics export: every device's status as the Prometheus text format
// that node_exporter's textfile collector reads (HELP and TYPE lines, no
// timestamps, a final newline), written atomically into a folder, and the
// loop that refreshes it.

#pragma once

#include "statisticssample.h"
#include "statsthreadinfo.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <vector>

class DeviceSession;
class QSettings;

namespace MetricsExport {

constexpr char kFileName[] = "lumenquill.prom";

struct DeviceSnapshot {
    QString mac;
    QString name;
    // False when a library call failed: only lumenquill_up is written.
    bool up = false;
    StatsThreadInfo info{};
    // The share of the line each port used since the previous poll.
    double usage[2] = {0, 0};
};

// The whole file for these devices.
QByteArray render(const std::vector<DeviceSnapshot> &devices);

// Writes `data` as dir/name through a temporary file in dir and a rename, so
// a reader sees the old file or the new one, never part of one.
bool writeAtomically(const QString &dir, const QString &name, const QByteArray &data, QString *error);

// One poll of every announced device per call; keeps each device's previous
// sample for the bandwidth usage. Devices that leave drop out.
class MonitorLoop {
public:
    MonitorLoop(DeviceSession &session, QSettings &settings, QString dir);

    // Reads every device and rewrites the file; false (with *error) when the
    // file could not be written.
    bool pollOnce(QString *error);

private:
    DeviceSession &m_session;
    QSettings &m_settings;
    QString m_dir;
    std::map<uint64_t, StatisticsSample> m_previous;
    std::vector<DeviceSnapshot> m_snapshots;
};

} // namespace MetricsExport
