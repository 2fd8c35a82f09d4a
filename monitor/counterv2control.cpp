// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// One configurable counter row; see counterv2control.h.

#include "counterv2control.h"

#include "counterv2config.h"
#include "chartexport.h"
#include "counterv2editor.h"
#include "reportactions.h"
#include "ui_counterv2control.h"

#include <qcustomplot.h>

#include <QMenu>
#include <QPointer>

namespace {
constexpr double kChartSeconds = 30;
constexpr double kTickSeconds = 10;
} // namespace

CounterV2Control::CounterV2Control(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::CounterV2Control>()), m_config(CounterV2::defaultConfig())
{
    m_ui->setupUi(this);
    m_ui->numberLabel->setFixedWidth(kNumberWidth);
    m_ui->ruleFrame->setFixedWidth(kRuleWidth);
    m_ui->totalLabel->setFixedWidth(kTotalWidth);
    m_ui->rateLabel->setFixedWidth(kRateWidth);
    m_ui->buttonsWidget->setFixedWidth(kButtonsWidth);

    QCustomPlot *plot = m_ui->chart;
    QCPGraph *graph = plot->addGraph();
    graph->setPen(QPen(Qt::blue));
    graph->setBrush(QBrush(QColor(0, 0, 255, 20)));
    auto ticker = QSharedPointer<QCPAxisTickerFixed>::create();
    ticker->setTickStep(kTickSeconds);
    ticker->setScaleStrategy(QCPAxisTickerFixed::ssNone);
    plot->xAxis->setTicker(ticker);
    // A sparkline: the row's rate label carries the number, the grid the
    // 10-second divisions.
    plot->xAxis->setTickLabels(false);
    plot->yAxis->setTickLabels(false);
    plot->xAxis->setTicks(false);
    plot->yAxis->setTicks(false);
    plot->axisRect()->setAutoMargins(QCP::msNone);
    plot->axisRect()->setMargins(QMargins(1, 1, 1, 1));
    plot->setBackground(palette().base());
    plot->yAxis->setRange(0, 1);
    plot->setAttribute(Qt::WA_TransparentForMouseEvents);
    // The chart lets the mouse through to the row, so the row offers its export.
    ReportActions::installContextMenu(this, [this, plot](const QPoint &) {
        ReportActions::ChartSource source;
        source.plot = plot;
        source.saver = m_reports;
        source.what = QStringLiteral("counter-%1-chart").arg(index());
        source.shown = [plot] { return QList<ReportExport::ChartBlock>{ChartExport::graphData(plot, {0})}; };
        auto *menu = new QMenu(this);
        ReportActions::addChartActions(menu, source);
        return menu;
    });
    setConfig(m_config);
}

CounterV2Control::~CounterV2Control() = default;

void CounterV2Control::setIndex(int index)
{
    m_config.index = uint32_t(index);
    m_ui->numberLabel->setText(QStringLiteral("%1").arg(index));
    m_ui->chart->graph(0)->setName(QStringLiteral("Counter %1 rate (/s)").arg(index));
}

void CounterV2Control::setConfig(const CounterV2Config &config)
{
    m_config = config;
    m_ui->numberLabel->setText(QStringLiteral("%1").arg(config.index));
    const std::pair<QLabel *, int32_t> flags[] = {
        {m_ui->port1Label, config.portA},   {m_ui->port2Label, config.portB},     {m_ui->ipv4Label, config.ipv4},
        {m_ui->ipv6Label, config.ipv6},     {m_ui->bcastLabel, config.broadcast}, {m_ui->mcastLabel, config.multicast},
        {m_ui->ucastLabel, config.unicast}, {m_ui->icmpLabel, config.icmp},       {m_ui->udpLabel, config.udp},
        {m_ui->tcpLabel, config.tcp},       {m_ui->crcLabel, config.crcValid},
    };
    for (const auto &[label, value] : flags)
        label->setStyleSheet(QStringLiteral("QLabel { color: %1 }").arg(CounterV2::colourName(value)));
    m_ui->ipaddrLabel->setText(CounterV2::addressText(config));
    m_ui->sizeLabel->setText(CounterV2::sizeText(config));
    m_ui->modeLabel->setText(config.countingMode ? tr("Bytes") : tr("Packets"));
}

void CounterV2Control::setHidden(bool hidden)
{
    m_hidden = hidden ? 1 : 0;
    QWidget::setHidden(hidden);
}

void CounterV2Control::setClock(const MonitorClock *clock)
{
    m_clock = clock ? clock : &m_systemClock;
}

void CounterV2Control::requestFullReset()
{
    m_fullResetRequested = true;
    // The figures of whatever was counted before would otherwise stay up for
    // a refresh, under the next device's rules.
    if (!m_suppressLabels) {
        m_ui->totalLabel->setText(QStringLiteral("-"));
        m_ui->rateLabel->setText(QStringLiteral("-"));
    }
}

void CounterV2Control::requestReset()
{
    m_resetRequested = true;
    if (!m_suppressLabels)
        m_ui->totalLabel->setText(QStringLiteral("0"));
}

void CounterV2Control::showSample(const CounterSample &sample)
{
    const int k = index();
    if (m_fullResetRequested) {
        m_fullResetRequested = false;
        m_baseline.clear();
        m_previous = sample;
        m_ui->chart->graph(0)->data()->clear();
        m_ui->chart->replot(QCustomPlot::rpQueuedReplot);
        return;
    }
    if (m_resetRequested) {
        m_resetRequested = false;
        m_baseline = sample;
    }

    const CounterSample total = sample - m_baseline;
    const CounterSample delta = sample - m_previous;
    QString rateText = QStringLiteral("-");
    if (delta.sampleTime() != 0) {
        const double rate = double(delta.counter(k)) / (double(delta.sampleTime()) / 1000.0);
        rateText = QString::number(rate, 'f', 0);
        addChartPoint(rate);
    }
    if (!m_suppressLabels) {
        m_ui->totalLabel->setText(QString::number(total.counter(k)));
        m_ui->rateLabel->setText(rateText);
    }
    m_previous = sample;
}

void CounterV2Control::addChartPoint(double rate)
{
    QCustomPlot *plot = m_ui->chart;
    QCPGraph *graph = plot->graph(0);
    const double key = double(m_clock->now().toSecsSinceEpoch());
    graph->addData(key, rate);
    // Fitted afresh each time, so a burst that has left the window no longer
    // flattens what follows.
    graph->rescaleValueAxis(false);
    graph->data()->removeBefore(key - kChartSeconds);
    plot->yAxis->setRangeLower(0);
    plot->xAxis->setRange(key + 0.25, kChartSeconds, Qt::AlignRight);
    plot->replot(QCustomPlot::rpQueuedReplot);
}

void CounterV2Control::on_editBtn_clicked()
{
    // Guarded: closing the window while the dialog runs deletes it with us.
    QPointer<CounterV2Editor> editor = new CounterV2Editor(this);
    editor->setModal(true);
    editor->setConfig(m_config);
    const int result = editor->exec();
    if (!editor)
        return;
    if (result == QDialog::Accepted) {
        setConfig(editor->getConfig());
        emit CounterConfigChanged(index());
    }
    delete editor;
}

void CounterV2Control::on_resetBtn_clicked()
{
    requestReset();
}
