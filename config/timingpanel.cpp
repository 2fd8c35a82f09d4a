// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Timing" tab; see timingpanel.h.

#include "timingpanel.h"

#include "chartexport.h"
#include "pictures.h"
#include "reportactions.h"
#include "ui_timingpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

#include <qcustomplot.h>

#include <iterator>

namespace {

constexpr double kWindowSeconds = 100;
constexpr double kTickSeconds = 10;
// Keeps the PPS jitter of a locked oscillator from filling the whole chart.
constexpr double kMinimumSpanNs = 4;

// timestampInitSourceCB lists the choices in the order operators think of
// them, which is not the device's coding.
constexpr uint32_t kInitSourceOfIndex[] = {LQ_TIME_SOURCE_NONE, LQ_TIME_SOURCE_RTC, LQ_TIME_SOURCE_GPS,
                                           LQ_TIME_SOURCE_SYSTEM};

const char *const kGreen = ":/gps/green.png";
const char *const kYellow = ":/gps/yellow.png";
const char *const kRed = ":/gps/red.png";
const char *const kGrey = ":/gps/grey.png";

// Date-time labels every ten seconds: the library's own ticker would choose
// its step from the range and let the divisions move.
class TenSecondTicker : public QCPAxisTickerDateTime {
public:
    TenSecondTicker() { setDateTimeFormat(QStringLiteral("hh:mm:ss")); }

protected:
    double getTickStep(const QCPRange &) override { return kTickSeconds; }
};

void setChecked(QAbstractButton *box, bool checked)
{
    const QSignalBlocker blocker(box);
    box->setChecked(checked);
}

void setIndex(QComboBox *combo, int index)
{
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(index);
}

} // namespace

TimingPanel::TimingPanel(QWidget *parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::TimingPanel>()),
      m_clock([] { return QDateTime::currentSecsSinceEpoch(); })
{
    m_ui->setupUi(this);
    m_initialSats = m_ui->GPSSats->text();
    m_initialSource = m_ui->TimingTimeSource->text();
    m_initialTime = m_ui->TimingCurrentTime->text();
    connect(m_ui->TimingSave, &QPushButton::clicked, this, &TimingPanel::signal_save_clicked);

    // Enough room for the longest figures, so the layout does not twitch
    // from one status to the next.
    m_ui->GPSSats->setMinimumSize(
        fontMetrics().horizontalAdvance(QStringLiteral("GPS : 12 GLONASS : 10 Satellites used : 22")) + 8,
        4 * fontMetrics().lineSpacing());
    m_ui->TimingPPSDelayLabel->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-50.06 ns")) + 8);
    m_ui->TimingPPSDelay->setMinimumWidth(215);

    QCustomPlot *chart = m_ui->TimingChart;
    chart->addGraph()->setPen(QPen(Qt::black));
    chart->graph(0)->setName(QStringLiteral("Deviation from PPS (ns)"));
    ReportActions::installContextMenu(chart, [this, chart](const QPoint &) {
        ReportActions::ChartSource source;
        source.plot = chart;
        source.saver = m_reports;
        source.what = QStringLiteral("timing-chart");
        source.shown = [chart] { return QList<ReportExport::ChartBlock>{ChartExport::graphData(chart, {0})}; };
        auto *menu = new QMenu(chart);
        ReportActions::addChartActions(menu, source);
        return menu;
    });
    chart->xAxis->setTicker(QSharedPointer<TenSecondTicker>::create());
    chart->yAxis->setLabel(QStringLiteral("ns"));
    chart->yAxis->setRange(-kMinimumSpanNs / 2, kMinimumSpanNs / 2);
    chart->xAxis->setRange(double(m_clock()) + 0.25, kWindowSeconds, Qt::AlignRight);
    connect(chart, &QCustomPlot::mouseRelease, this, [this](QMouseEvent *event) {
        if (event->button() == Qt::LeftButton)
            slot_timing_graph_reset();
    });
    connect(m_ui->TimingPPSDelay, &QSlider::valueChanged, this, &TimingPanel::timingPPSDelayChanged);

    showNoStatus();
}

TimingPanel::~TimingPanel() = default;

void TimingPanel::setCurrentHandle(uint64_t handle)
{
    if (handle == m_handle)
        return;
    m_handle = handle;
    // The last device's green bullets must not pass for the new one's.
    showNoStatus();
}

void TimingPanel::setClock(std::function<qint64()> secondsSinceEpoch)
{
    m_clock = secondsSinceEpoch ? std::move(secondsSinceEpoch) : [] { return QDateTime::currentSecsSinceEpoch(); };
}

QList<QAbstractButton *> TimingPanel::applyButtons() const
{
    return {m_ui->forcePPSGenerationCB, m_ui->TimingPPSOutput, m_ui->TimingWaitForSync};
}

QList<QComboBox *> TimingPanel::applyComboBoxes() const
{
    return {m_ui->timestampInitSourceCB, m_ui->TimingPortATStamp, m_ui->TimingPortBTStamp};
}

void TimingPanel::readFeatures(DeviceFeatures *features, uint32_t caps) const
{
    if (!(caps & LQ_CAP_TIMING))
        return;
    features->force_pps = m_ui->forcePPSGenerationCB->isChecked() ? 1 : 0;
    features->wait_for_sync = m_ui->TimingWaitForSync->isChecked() ? 1 : 0;
    features->pps_output = m_ui->TimingPPSOutput->isChecked() ? 1 : 0;
    const int init = m_ui->timestampInitSourceCB->currentIndex();
    if (init >= 0 && init < int(std::size(kInitSourceOfIndex)))
        features->timestamp_init_source = kInitSourceOfIndex[init];
    if (m_ui->TimingPortATStamp->currentIndex() >= 0)
        features->port_a_timestamp = uint32_t(m_ui->TimingPortATStamp->currentIndex());
    if (m_ui->TimingPortBTStamp->currentIndex() >= 0)
        features->port_b_timestamp = uint32_t(m_ui->TimingPortBTStamp->currentIndex());
    features->pps_delay = int16_t(-m_ui->TimingPPSDelay->value());
}

void TimingPanel::showFeatures(const DeviceFeatures &features, uint32_t caps, bool debounceRunning)
{
    if (!(caps & LQ_CAP_TIMING))
        return;
    setChecked(m_ui->forcePPSGenerationCB, features.force_pps == 1);
    setChecked(m_ui->TimingWaitForSync, features.wait_for_sync == 1);
    setChecked(m_ui->TimingPPSOutput, features.pps_output == 1);
    // A source the list does not offer leaves the choice as it was.
    for (int i = 0; i < int(std::size(kInitSourceOfIndex)); ++i) {
        if (kInitSourceOfIndex[i] == features.timestamp_init_source)
            setIndex(m_ui->timestampInitSourceCB, i);
    }
    const auto portIndex = [](uint32_t point) { return point == 1 || point == 2 ? int(point) : 0; };
    setIndex(m_ui->TimingPortATStamp, portIndex(features.port_a_timestamp));
    setIndex(m_ui->TimingPortBTStamp, portIndex(features.port_b_timestamp));
    if (!debounceRunning) {
        const QSignalBlocker blocker(m_ui->TimingPPSDelay);
        m_ui->TimingPPSDelay->setValue(-int(features.pps_delay));
    }
    m_ui->TimingPPSDelayLabel->setText(TimingTexts::ppsDelayText(m_ui->TimingPPSDelay->value()));
}

void TimingPanel::applyCapabilities(uint32_t caps, bool on)
{
    const bool timing = on && (caps & LQ_CAP_TIMING);
    const bool settings = timing && (caps & LQ_CAP_CONFIGURABLE);
    if (!(on && (caps & LQ_CAP_CONFIGURABLE)))
        m_ui->TimingSave->setEnabled(false);
    for (QWidget *w : std::initializer_list<QWidget *>{
             m_ui->timestampInitSourceCB, m_ui->TimingPortATStamp, m_ui->TimingPortBTStamp, m_ui->forcePPSGenerationCB,
             m_ui->TimingPPSOutput, m_ui->TimingWaitForSync, m_ui->TimingPPSDelay})
        w->setEnabled(settings);
    m_ui->TimingSetGPSTime->setEnabled(timing);
    m_ui->TimingSetSNTPTime->setEnabled(timing);
}

void TimingPanel::setBullet(QLabel *bullet, const char *picture)
{
    bullet->setPixmap(loadPicture(QString::fromLatin1(picture)));
}

void TimingPanel::showNoStatus()
{
    for (QLabel *bullet : {m_ui->GPSDetectedBullet, m_ui->GPSFixBullet, m_ui->TRAIMBullet, m_ui->OscSyncedBullet,
                           m_ui->SystemSyncedBullet, m_ui->ExtPPSBullet})
        setBullet(bullet, kGrey);
    m_ui->GPSSats->setText(m_initialSats);
    m_ui->TimingTimeSource->setText(m_initialSource);
    m_ui->TimingCurrentTime->setText(m_initialTime);
}

void TimingPanel::timingStatusUpdate(StatsThreadInfo info)
{
    if (info.handle != m_handle)
        return;
    const TimingStatus &s = info.timingStatus;
    setBullet(m_ui->GPSDetectedBullet, kGreen);
    setBullet(m_ui->GPSFixBullet, s.gpsFixState == 2 ? kGreen : s.gpsFixState == 1 ? kYellow : kRed);
    setBullet(m_ui->TRAIMBullet, s.gpsPpsValid == 1 ? kGreen : kRed);
    setBullet(m_ui->ExtPPSBullet, s.externalPps == 1 ? kGreen : kRed);
    setBullet(m_ui->OscSyncedBullet, s.oscillatorSynced == 1 ? kGreen : kRed);
    m_ui->GPSSats->setText(TimingTexts::satellitesText(s));
    const QString source = TimingTexts::timeSourceName(s.timeSource);
    m_ui->TimingTimeSource->setText(source);
    setBullet(m_ui->SystemSyncedBullet, source.isEmpty() ? kRed : kGreen);

    QCustomPlot *chart = m_ui->TimingChart;
    QCPGraph *graph = chart->graph(0);
    const double t = double(m_clock());
    graph->addData(t, s.ppsDeviationNs);
    if (graph->visible())
        fitValueAxis();
    graph->data()->removeBefore(t - kWindowSeconds);
    // The quarter second keeps the newest point off the right border.
    chart->xAxis->setRange(t + 0.25, kWindowSeconds, Qt::AlignRight);
    // Drawing a chart behind another tab every second was half the cost of a
    // status update; it is drawn when its tab shows.
    if (chart->isVisible())
        chart->replot();
    else
        m_replotWhenShown = true;

    m_ui->TimingCurrentTime->setText(TimingTexts::deviceTimeText(s));
}

void TimingPanel::fitValueAxis()
{
    QCustomPlot *chart = m_ui->TimingChart;
    chart->graph(0)->rescaleValueAxis();
    const QCPRange data = chart->yAxis->range();
    QCPRange widened = data;
    widened.expand(0.0);
    if (widened.size() < kMinimumSpanNs)
        chart->yAxis->setRange(data.center(), kMinimumSpanNs, Qt::AlignCenter);
    else
        chart->yAxis->setRange(widened);
}

void TimingPanel::timingPPSDelayChanged(int value)
{
    m_ui->TimingPPSDelayLabel->setText(TimingTexts::ppsDelayText(value));
    emit signal_pps_delay_changed(value);
}

void TimingPanel::on_TimingSetGPSTime_clicked()
{
    requestClockSet(LQ_TIME_SOURCE_GPS);
}

void TimingPanel::on_TimingSetSNTPTime_clicked()
{
    requestClockSet(LQ_TIME_SOURCE_SNTP);
}

void TimingPanel::requestClockSet(uint32_t source)
{
    if (m_handle == kNoDeviceHandle)
        return;
    StatsThreadInfo request = makeRequest(m_handle);
    request.timingTimeSet.source = source;
    emit signal_timing_resync(request);
}

void TimingPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_replotWhenShown) {
        m_replotWhenShown = false;
        m_ui->TimingChart->replot(QCustomPlot::rpQueuedRefresh);
    }
}

void TimingPanel::slot_timing_graph_reset()
{
    m_ui->TimingChart->graph(0)->data()->clear();
    fitValueAxis();
    // An empty chart at once is the operator's confirmation of the click.
    m_ui->TimingChart->replot(QCustomPlot::rpQueuedReplot);
}

void TimingPanel::slot_sntp_failed(QString message)
{
    QMessageBox::critical(this, QStringLiteral("SNTP Time"), message, QMessageBox::Ok);
}

void TimingPanel::setSaveEnabled(bool enabled)
{
    m_ui->TimingSave->setEnabled(enabled);
}
