// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Log" tab: link events and threshold alarms of the current device,
// with the per-port alarm thresholds the operator sets.

#pragma once

#include "alarmlog.h"
#include "reportsaver.h"

#include <QWidget>

#include <memory>

namespace Ui {
class LogPanel;
}

class LogPanel : public QWidget {
    Q_OBJECT
public:
    explicit LogPanel(QWidget *parent = nullptr);
    ~LogPanel() override;

    Ui::LogPanel *form() const { return m_ui.get(); }

    void append(const QString &line);
    AlarmSettings alarmSettings() const;
    // Alarms of one refresh: the interval runs from the previous refresh to
    // `newest`. The first refresh only takes the baseline.
    void evaluateAlarms(const StatisticsSample &newest, const std::array<double, 2> &usage, const QString &stamp);

    // Device and save dialog of the log's export; a saver of its own until set.
    void setReportSaver(ReportSaver *saver) { m_reports = saver ? saver : &m_ownReports; }
    // Writes the log as UTF-8 text; a failure shows one box. False on failure.
    bool saveLog(const QString &path);

public slots:
    void on_log_clear_btn_clicked();

private:
    QByteArray logBytes() const;

    std::unique_ptr<Ui::LogPanel> m_ui;
    StatisticsSample m_alarmBaseline;
    bool m_rebaseAlarms = true;
    ReportSaver m_ownReports;
    ReportSaver *m_reports = &m_ownReports;
};
