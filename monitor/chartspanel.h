// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Charts" tab: one chart per port, nine series in two units, recorded
// on four time scales at once so that switching the scale shows the history
// already gathered.

#pragma once

#include "chartseries.h"
#include "monitorclock.h"
#include "reportexport.h"
#include "reportsaver.h"
#include "statisticssample.h"

#include <QSharedPointer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QAbstractButton;
class QCustomPlot;
class StepTimeTicker;

namespace Ui {
class ChartsPanel;
}

class ChartsPanel : public QWidget {
    Q_OBJECT
public:
    explicit ChartsPanel(QWidget *parent = nullptr);
    ~ChartsPanel() override;

    Ui::ChartsPanel *form() const { return m_ui.get(); }
    // The clock the time axis follows; the system clock until set (or when
    // set to null).
    void setClock(const MonitorClock *clock);

    // One statistics refresh: `newest` is the refresh's newest sample, `usage`
    // the two ports' bandwidth usage of the refresh (percent, capped at 100).
    void sample(const StatisticsSample &newest, const std::array<double, 2> &usage);
    // The next refresh only takes the slot baselines.
    void requestRebase();

    // Replot later, from the event loop, instead of at once (lets a benchmark
    // time a refresh without the drawing).
    void setDeferredReplot(bool deferred);

    // The time scale shown (index of the resolution combo box).
    int shownScale() const;

    // Device and save dialog of the exports; a saver of its own until set.
    void setReportSaver(ReportSaver *saver) { m_reports = saver ? saver : &m_ownReports; }
    // Port 0 (A) or 1 (B): the points of the series drawn, or of the same
    // series on every time scale.
    QList<ReportExport::ChartBlock> shownData(int port) const;
    QList<ReportExport::ChartBlock> allScalesData(int port) const;

public slots:
    void graphs_display();
    void graphs_clear();

protected:
    void showEvent(QShowEvent *event) override;

private:
    struct Slot {
        StatisticsSample baseline;
        int32_t countdown = 0;
        int step = 1;
    };

    std::array<QCustomPlot *, 2> charts() const;
    double nowKey() const;
    void showWindow(int scale, double key);
    // `priority` is a QCustomPlot::RefreshPriority (kept out of this header).
    void replotCharts(int priority);
    void installExport(std::size_t port);

    std::unique_ptr<Ui::ChartsPanel> m_ui;
    MonitorClock m_systemClock;
    const MonitorClock *m_clock = &m_systemClock;
    std::array<Slot, ChartSeries::kScales> m_slots{};
    std::array<QSharedPointer<StepTimeTicker>, 2> m_tickers;
    std::array<std::array<QAbstractButton *, ChartSeries::kSeries>, 2> m_checks{};
    bool m_rebase = true;
    bool m_deferredReplot = false;
    bool m_replotWhenShown = false; // the charts changed while another tab was shown
    ReportSaver m_ownReports;
    ReportSaver *m_reports = &m_ownReports;
};
