// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// One configurable counter on the "Counters" tab of devices with configurable
// counters: its rule in colours, its total since the last reset, its rate and
// a 30-second rate chart, with "Edit" and "Reset".

#pragma once

#include "countersample.h"
#include "lumenquillapi.h"
#include "monitorclock.h"
#include "reportsaver.h"

#include <QWidget>

#include <memory>

namespace Ui {
class CounterV2Control;
}

class CounterV2Control : public QWidget {
    Q_OBJECT
public:
    // Column widths shared with the header above the sixteen rows.
    static constexpr int kNumberWidth = 30;
    static constexpr int kRuleWidth = 480;
    static constexpr int kTotalWidth = 150;
    static constexpr int kRateWidth = 120;
    static constexpr int kButtonsWidth = 150;

    explicit CounterV2Control(QWidget *parent = nullptr);
    ~CounterV2Control() override;

    Ui::CounterV2Control *form() const { return m_ui.get(); }

    void setIndex(int index);
    int index() const { return int(m_config.index); }
    // Stores the rule and redraws its summary.
    void setConfig(const CounterV2Config &config);
    CounterV2Config getConfig() const { return m_config; }
    // Keeps the hidden state with the rule (it is saved with it).
    void setHidden(bool hidden);
    bool isHidden() const { return m_hidden != 0; }

    // The chart's time axis follows this clock; the system clock when null.
    void setClock(const MonitorClock *clock);
    // Device and save dialog of the chart's exports; a saver of its own until set.
    void setReportSaver(ReportSaver *saver) { m_reports = saver ? saver : &m_ownReports; }

    // One refresh from the device's newest counter sample.
    void showSample(const CounterSample &sample);
    // The next refresh takes a zero baseline (totals are the device's
    // absolute counts again) and only starts the rate; the chart restarts.
    void requestFullReset();
    // The next refresh takes its sample as baseline: the total restarts at 0.
    void requestReset();

signals:
    void CounterConfigChanged(int index);

public slots:
    void on_editBtn_clicked();
    void on_resetBtn_clicked();

private:
    void addChartPoint(double rate);

    std::unique_ptr<Ui::CounterV2Control> m_ui;
    CounterV2Config m_config;
    int m_hidden = 0;
    CounterSample m_baseline;
    CounterSample m_previous;
    bool m_suppressLabels = false;
    // Until a device is current there is no baseline worth a rate.
    bool m_fullResetRequested = true;
    bool m_resetRequested = false;
    MonitorClock m_systemClock;
    const MonitorClock *m_clock = &m_systemClock;
    ReportSaver m_ownReports;
    ReportSaver *m_reports = &m_ownReports;
};
