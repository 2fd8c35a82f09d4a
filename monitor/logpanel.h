// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Log" tab: link events and threshold alarms of the current device,
// with the per-port alarm thresholds the operator sets.

#pragma once

#include "alarmlog.h"

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

public slots:
    void on_log_clear_btn_clicked();

private:
    std::unique_ptr<Ui::LogPanel> m_ui;
    StatisticsSample m_alarmBaseline;
    bool m_rebaseAlarms = true;
};
