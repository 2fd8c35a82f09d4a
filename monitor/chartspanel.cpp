// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Charts" tab; see chartspanel.h.

#include "chartspanel.h"

#include "chartexport.h"
#include "reportactions.h"
#include "ui_chartspanel.h"

#include <QMenu>
#include <qcustomplot.h>

using namespace ChartSeries;

// Date-time labels at a fixed step. The library's date-time ticker picks its
// own step from the range; the divisions of a time scale must not move.
class StepTimeTicker : public QCPAxisTickerDateTime {
public:
    StepTimeTicker()
    {
        setDateTimeFormat(QStringLiteral("hh:mm:ss"));
        // Ticks fall on multiples of the step in local time, so a zone with a
        // half-hour offset still gets hour ticks at "hh:00:00".
        setTickOrigin(-double(QDateTime::currentDateTime().offsetFromUtc()));
    }
    void setStep(double seconds) { m_step = seconds; }

protected:
    double getTickStep(const QCPRange &) override { return m_step; }

private:
    double m_step = 10;
};

// A graph that leaves out the inner points of flat runs when it draws its
// line (see withoutFlatRunInteriors); its data stay as recorded.
class ChartGraph : public QCPGraph {
public:
    using QCPGraph::QCPGraph;

    // A quarter of a pixel: less than the antialiased line's own blur.
    static constexpr double kFlatBand = 0.25;

protected:
    void drawLinePlot(QCPPainter *painter, const QVector<QPointF> &lines) const override
    {
        if (painter->pen().style() == Qt::NoPen || painter->pen().color().alpha() == 0)
            return;
        applyDefaultAntialiasingHint(painter);
        drawPolyline(painter, withoutFlatRunInteriors(lines, kFlatBand));
    }
};

ChartsPanel::ChartsPanel(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::ChartsPanel>())
{
    m_ui->setupUi(this);

    for (int i = 0; i < kScales; ++i)
        m_slots[std::size_t(i)].step = kStep[std::size_t(i)];

    m_checks = {{
        {m_ui->graphs_1_a_check, m_ui->graphs_2_a_check, m_ui->graphs_3_a_check, m_ui->graphs_4_a_check,
         m_ui->graphs_5_a_check, m_ui->graphs_6_a_check, m_ui->graphs_7_a_check, m_ui->graphs_8_a_check,
         m_ui->graphs_9_a_check},
        {m_ui->graphs_1_b_check, m_ui->graphs_2_b_check, m_ui->graphs_3_b_check, m_ui->graphs_4_b_check,
         m_ui->graphs_5_b_check, m_ui->graphs_6_b_check, m_ui->graphs_7_b_check, m_ui->graphs_8_b_check,
         m_ui->graphs_9_b_check},
    }};

    const auto plots = charts();
    for (std::size_t p = 0; p < plots.size(); ++p) {
        QCustomPlot *plot = plots[p];
        plot->setPlottingHint(QCP::phFastPolylines, true);
        // The legend is never shown, yet every replot would lay out an entry
        // for each of the 72 graphs: a third of the drawing time.
        plot->setAutoAddPlottableToLegend(false);
        for (int g = 0; g < kGraphs; ++g)
            (new ChartGraph(plot->xAxis, plot->yAxis))->setPen(QPen(QColor(kColour[std::size_t(g % kSeries)]), 1.5));
        m_tickers[p] = QSharedPointer<StepTimeTicker>::create();
        m_tickers[p]->setStep(tickSeconds(0));
        plot->xAxis->setTicker(m_tickers[p]);
    }

    // Names for the exported data: the switch's text and the unit.
    for (std::size_t p = 0; p < plots.size(); ++p) {
        for (int g = 0; g < kGraphs; ++g) {
            const int series = g % kSeries;
            const bool perSecond = (g % kGraphsPerScale) < kSeries;
            const QString unit = !perSecond              ? QStringLiteral(" (%)")
                                 : series == kSeries - 1 ? QStringLiteral(" (bytes/s)")
                                                         : QStringLiteral(" (/s)");
            plots[p]->graph(g)->setName(m_checks[p][std::size_t(series)]->text() + unit);
        }
        installExport(p);
    }

    for (const auto &port : m_checks) {
        for (std::size_t s = 0; s < port.size(); ++s) {
            QPalette palette = port[s]->palette();
            palette.setColor(port[s]->foregroundRole(), QColor(kColour[s]));
            port[s]->setPalette(palette);
            connect(port[s], &QAbstractButton::clicked, this, &ChartsPanel::graphs_display);
        }
    }
    connect(m_ui->graphs_ps_radio, &QAbstractButton::clicked, this, &ChartsPanel::graphs_display);
    connect(m_ui->graphs_per_radio, &QAbstractButton::clicked, this, &ChartsPanel::graphs_display);
    connect(m_ui->graphs_resolution_dropdown, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &ChartsPanel::graphs_display);
    connect(m_ui->graphs_clear_btn, &QAbstractButton::clicked, this, &ChartsPanel::graphs_clear);

    graphs_display();
}

ChartsPanel::~ChartsPanel() = default;

void ChartsPanel::setClock(const MonitorClock *clock)
{
    m_clock = clock ? clock : &m_systemClock;
}

void ChartsPanel::requestRebase()
{
    m_rebase = true;
}

void ChartsPanel::setDeferredReplot(bool deferred)
{
    m_deferredReplot = deferred;
}

int ChartsPanel::shownScale() const
{
    return qBound(0, m_ui->graphs_resolution_dropdown->currentIndex(), kScales - 1);
}

void ChartsPanel::installExport(std::size_t port)
{
    QCustomPlot *plot = charts()[port];
    ReportActions::installContextMenu(plot, [this, plot, port](const QPoint &) {
        ReportActions::ChartSource source;
        source.plot = plot;
        source.saver = m_reports;
        source.what = port == 0 ? QStringLiteral("Port-A-chart") : QStringLiteral("Port-B-chart");
        source.shown = [this, port] { return shownData(int(port)); };
        source.allScales = [this, port] { return allScalesData(int(port)); };
        auto *menu = new QMenu(plot);
        ReportActions::addChartActions(menu, source);
        return menu;
    });
}

QList<ReportExport::ChartBlock> ChartsPanel::shownData(int port) const
{
    const QCustomPlot *plot = charts()[std::size_t(port)];
    return {ChartExport::graphData(plot, ChartExport::visibleGraphs(plot))};
}

QList<ReportExport::ChartBlock> ChartsPanel::allScalesData(int port) const
{
    const QCustomPlot *plot = charts()[std::size_t(port)];
    const Unit unit = m_ui->graphs_ps_radio->isChecked() ? PerSecond : Percentage;
    QList<ReportExport::ChartBlock> blocks;
    for (int scale = 0; scale < kScales; ++scale) {
        QList<int> graphs;
        for (int n = 1; n <= kSeries; ++n) {
            if (m_checks[std::size_t(port)][std::size_t(n - 1)]->isChecked())
                graphs << graphIndex(scale, unit, n);
        }
        blocks << ChartExport::graphData(plot, graphs, m_ui->graphs_resolution_dropdown->itemText(scale));
    }
    return blocks;
}

std::array<QCustomPlot *, 2> ChartsPanel::charts() const
{
    return {m_ui->graphs_a, m_ui->graphs_b};
}

double ChartsPanel::nowKey() const
{
    return double(m_clock->now().toSecsSinceEpoch());
}

void ChartsPanel::showWindow(int scale, double key)
{
    for (std::size_t p = 0; p < 2; ++p) {
        QCustomPlot *plot = charts()[p];
        // The quarter second keeps the newest point off the right border.
        plot->xAxis->setRange(key + 0.25, windowSeconds(scale), Qt::AlignRight);
        m_tickers[p]->setStep(tickSeconds(scale));
    }
    replotCharts(m_deferredReplot ? QCustomPlot::rpQueuedReplot : QCustomPlot::rpRefreshHint);
}

void ChartsPanel::replotCharts(int priority)
{
    // Charts behind another tab are drawn when they show, not every second.
    if (!isVisible()) {
        m_replotWhenShown = true;
        return;
    }
    m_replotWhenShown = false;
    for (QCustomPlot *plot : charts())
        plot->replot(QCustomPlot::RefreshPriority(priority));
}

void ChartsPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Drawn now, painted with the rest of the tab.
    if (m_replotWhenShown)
        replotCharts(QCustomPlot::rpQueuedRefresh);
}

void ChartsPanel::sample(const StatisticsSample &newest, const std::array<double, 2> &usage)
{
    if (m_rebase) {
        m_rebase = false;
        for (Slot &slot : m_slots) {
            slot.countdown = slot.step;
            slot.baseline = newest;
        }
        return;
    }

    const double key = nowKey();
    const int shown = shownScale();
    const auto plots = charts();
    // Each refresh fits the value axis afresh, so a spike that has left the
    // window no longer flattens the rest.
    for (QCustomPlot *plot : plots)
        plot->yAxis->setRange(0, 1);

    for (int i = 0; i < kScales; ++i) {
        Slot &slot = m_slots[std::size_t(i)];
        if (--slot.countdown > 0)
            continue;

        const StatisticsSample difference = newest - slot.baseline;
        for (std::size_t p = 0; p < plots.size(); ++p) {
            const auto values = pointValues(difference, int(p), usage[p]);
            for (int j = 0; j < kGraphsPerScale; ++j)
                plots[p]->graph(i * kGraphsPerScale + j)->addData(key, values[std::size_t(j)]);
        }
        for (QCustomPlot *plot : plots) {
            for (int j = 0; j < kGraphsPerScale; ++j) {
                QCPGraph *graph = plot->graph(i * kGraphsPerScale + j);
                if (graph->visible())
                    graph->rescaleValueAxis(true);
                graph->data()->removeBefore(key - windowSeconds(i));
            }
        }
        if (i == shown)
            showWindow(i, key);

        slot.baseline = newest;
        slot.countdown = slot.step;
    }
}

void ChartsPanel::graphs_display()
{
    const auto plots = charts();
    for (QCustomPlot *plot : plots) {
        for (int g = 0; g < kGraphs; ++g)
            plot->graph(g)->setVisible(false);
    }

    const int shown = shownScale();
    const Unit unit = m_ui->graphs_ps_radio->isChecked() ? PerSecond : Percentage;
    for (std::size_t p = 0; p < plots.size(); ++p) {
        for (int n = 1; n <= kSeries; ++n) {
            if (m_checks[p][std::size_t(n - 1)]->isChecked())
                plots[p]->graph(graphIndex(shown, unit, n))->setVisible(true);
        }
        for (int j = 0; j < kGraphsPerScale; ++j) {
            QCPGraph *graph = plots[p]->graph(shown * kGraphsPerScale + j);
            if (graph->visible())
                graph->rescaleValueAxis(true);
        }
        plots[p]->yAxis->setRangeLower(0);
    }
    showWindow(shown, nowKey());
}

void ChartsPanel::graphs_clear()
{
    for (QCustomPlot *plot : charts()) {
        for (int g = 0; g < kGraphs; ++g)
            plot->graph(g)->data()->clear();
    }
}
