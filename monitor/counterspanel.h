// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Counters" tab: per port a packet table, an error table and three
// gauges (bandwidth usage, its running average, the average CRC errors), and
// the buttons that clear the counters.

#pragma once

#include "portaverage.h"
#include "reportsaver.h"
#include "statisticssample.h"

#include <QDateTime>
#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class CountersPanel;
}

class CountersPanel : public QWidget {
    Q_OBJECT
public:
    explicit CountersPanel(QWidget *parent = nullptr);
    ~CountersPanel() override;

    Ui::CountersPanel *form() const { return m_ui.get(); }

    // One statistics refresh: tables, gauges and averages from the newest
    // sample and the two ports' usage of the refresh.
    void refresh(const StatisticsSample &newest, const std::array<double, 2> &usage);
    // Both tables show the device's absolute counters from the next refresh
    // on (a pending clear wins).
    void clearToZero();

    // Device, clock and save dialog of the exports; a saver of its own until set.
    void setReportSaver(ReportSaver *saver) { m_reports = saver ? saver : &m_ownReports; }
    // Both ports' tables as shown, headed by the device and the time of the
    // refresh that wrote them.
    QString countersCsv() const;
    // Writes countersCsv() to `path`; a failure shows one box. False on failure.
    bool saveCounters(const QString &path);

public slots:
    void counters_resetA();
    void counters_resetB();
    void counters_reset();

private:
    std::unique_ptr<Ui::CountersPanel> m_ui;
    std::array<PortAverage, 2> m_averages;
    uint64_t m_previousRefreshMs = 0;
    QDateTime m_sampleTime; // wall-clock time of the last refresh
    ReportSaver m_ownReports;
    ReportSaver *m_reports = &m_ownReports;
};
