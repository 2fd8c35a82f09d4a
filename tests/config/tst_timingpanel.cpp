// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Timing tab through its widgets: status bullets and texts, the PPS
// compensation, the deviation chart's axes and window, the timing fields of
// the features record, and the clock-set requests.

#include "modalanswerer.h"
#include "timingpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <cstring>

#include <qcustomplot.h>

namespace {

constexpr uint64_t kHandle = 42;
constexpr uint32_t kCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_TIMING;

StatsThreadInfo status(double deviationNs, int fix = 0, int ppsValid = 0, int source = 0)
{
    StatsThreadInfo info = makeRequest(kHandle);
    info.timingStatus = {0, fix, 13, 9, 6, ppsValid, 1, 0, deviationNs, 23, source, 7, 5, 9, 2025, 12, 5};
    return info;
}

QString bullet(const TimingPanel &panel, const char *name)
{
    const QImage shown = panel.findChild<QLabel *>(name)->pixmap().toImage();
    for (const char *colour : {"green", "yellow", "red", "grey"}) {
        if (shown == QImage(QStringLiteral(":/gps/%1.png").arg(colour)).convertToFormat(shown.format()))
            return colour;
    }
    return QStringLiteral("?");
}

template <typename T> T *child(const TimingPanel &panel, const char *name)
{
    return panel.findChild<T *>(name);
}

QCustomPlot *chart(const TimingPanel &panel)
{
    return child<QCustomPlot>(panel, "TimingChart");
}

} // namespace

class tst_TimingPanel : public QObject {
    Q_OBJECT
private slots:
    void statusDisplay_data();
    void statusDisplay();
    void ppsCompensation_data();
    void ppsCompensation();
    void valueAxis_data();
    void valueAxis();
    void chartKeepsLastHundredSeconds();
    void featuresRoundTrip_data();
    void featuresRoundTrip();
    void sliderNotMovedBackWhileDebouncing();
    void clockSetRequestsAndFailure();
};

void tst_TimingPanel::statusDisplay_data()
{
    QTest::addColumn<int>("fix");
    QTest::addColumn<int>("ppsValid");
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("fixBullet");
    QTest::addColumn<QString>("sourceText");
    QTest::addColumn<QString>("sourceBullet");
    QTest::addColumn<QString>("sats");
    const QString noPps = "GPS : 9 GLONASS : 6 Satellites used : 13\nDeviation from PPS : -412.346 ns\n";
    QTest::newRow("no fix, not initialised") << 0 << 0 << 3 << "red"
                                             << ""
                                             << "red" << noPps;
    QTest::newRow("partial fix, manual") << 1 << 0 << 4 << "yellow"
                                         << "Manual"
                                         << "green" << noPps;
    QTest::newRow("fix, GPS") << 2 << 1 << 2 << "green"
                              << "GPS"
                              << "green"
                              << "GPS : 9 GLONASS : 6 Satellites used : 13\nGPS PPS estimated accuracy : 23 ns\n"
                                 "Deviation from PPS : -412.346 ns\n";
    QTest::newRow("unknown codes") << 7 << 0 << 9 << "red"
                                   << ""
                                   << "red" << noPps;
}

void tst_TimingPanel::statusDisplay()
{
    QFETCH(int, fix);
    QFETCH(int, ppsValid);
    QFETCH(int, source);
    TimingPanel panel;
    panel.setCurrentHandle(kHandle);
    StatsThreadInfo other = status(0, 2, 1, 2);
    other.handle = kHandle + 1;
    panel.timingStatusUpdate(other);
    QCOMPARE(bullet(panel, "GPSDetectedBullet"), "grey");

    panel.timingStatusUpdate(status(-412.345678, fix, ppsValid, source));
    QCOMPARE(bullet(panel, "GPSDetectedBullet"), "green");
    QTEST(bullet(panel, "GPSFixBullet"), "fixBullet");
    QCOMPARE(bullet(panel, "TRAIMBullet"), ppsValid ? "green" : "red");
    QCOMPARE(bullet(panel, "ExtPPSBullet"), "green");
    QCOMPARE(bullet(panel, "OscSyncedBullet"), "red");
    QTEST(child<QLabel>(panel, "TimingTimeSource")->text(), "sourceText");
    QTEST(bullet(panel, "SystemSyncedBullet"), "sourceBullet");
    QTEST(child<QLabel>(panel, "GPSSats")->text(), "sats");
    QCOMPARE(child<QLabel>(panel, "TimingCurrentTime")->text(),
             QLocale().toString(QDate(2025, 12, 5), QLocale::ShortFormat) + " 07:05:09 (UTC)");
}

void tst_TimingPanel::ppsCompensation_data()
{
    QTest::addColumn<int>("slider");
    QTest::addColumn<QString>("text");
    QTest::newRow("minimum") << -215 << "-50.06 ns";
    QTest::newRow("one step") << -1 << "-0.23 ns";
    QTest::newRow("none") << 0 << "0.00 ns";
}

void tst_TimingPanel::ppsCompensation()
{
    QFETCH(int, slider);
    TimingPanel panel;
    QSlider *delay = child<QSlider>(panel, "TimingPPSDelay");
    delay->setValue(-100);
    QSignalSpy restarts(&panel, &TimingPanel::signal_pps_delay_changed);
    delay->setValue(slider);
    QTEST(child<QLabel>(panel, "TimingPPSDelayLabel")->text(), "text");
    QCOMPARE(restarts.size(), 1);
    DeviceFeatures features{};
    panel.readFeatures(&features, kCaps);
    QCOMPARE(int(features.pps_delay), -slider);
}

void tst_TimingPanel::valueAxis_data()
{
    QTest::addColumn<QList<double>>("deviations");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::newRow("1 to 2 ns: 4 ns around the centre") << QList<double>{1.0, 1.7, 2.0} << -0.5 << 3.5;
    QTest::newRow("5 to 10 ns: from 0") << QList<double>{5.0, 10.0, 7.5} << 0.0 << 10.0;
    QTest::newRow("-3 to -1 ns: 4 ns around the centre") << QList<double>{-3.0, -1.0} << -4.0 << 0.0;
}

void tst_TimingPanel::valueAxis()
{
    QFETCH(QList<double>, deviations);
    TimingPanel panel;
    panel.setCurrentHandle(kHandle);
    qint64 now = 1764892800;
    panel.setClock([&now] { return now; });
    for (double d : deviations) {
        panel.timingStatusUpdate(status(d));
        ++now;
    }
    QTEST(chart(panel)->yAxis->range().lower, "lower");
    QTEST(chart(panel)->yAxis->range().upper, "upper");
}

void tst_TimingPanel::chartKeepsLastHundredSeconds()
{
    TimingPanel panel;
    panel.setCurrentHandle(kHandle);
    qint64 now = 1764892800;
    panel.setClock([&now] { return now; });
    for (int i = 0; i < 150; ++i, ++now)
        panel.timingStatusUpdate(status(i % 7));
    const qint64 last = now - 1;
    QSharedPointer<QCPGraphDataContainer> data = chart(panel)->graph(0)->data();
    QCOMPARE(data->size(), 101);
    QCOMPARE(data->constBegin()->key, double(last - 100));
    QCOMPARE(chart(panel)->xAxis->range(), QCPRange(last - 99.75, last + 0.25));

    QTest::mouseClick(chart(panel), Qt::LeftButton, {}, QPoint(200, 100));
    QCOMPARE(data->size(), 0);
    panel.timingStatusUpdate(status(1));
    QCOMPARE(data->size(), 1);
}

void tst_TimingPanel::featuresRoundTrip_data()
{
    QTest::addColumn<uint>("initSource");
    QTest::addColumn<int>("initIndex");
    QTest::addColumn<uint>("portPoint");
    QTest::addColumn<int>("portIndex");
    QTest::newRow("system time, ingress") << 0u << 3 << 1u << 1;
    QTest::newRow("RTC, egress") << 1u << 1 << 2u << 2;
    QTest::newRow("GPS, capture") << 2u << 2 << 0u << 0;
    QTest::newRow("none, unknown point") << 3u << 0 << 7u << 0;
}

void tst_TimingPanel::featuresRoundTrip()
{
    QFETCH(uint, initSource);
    QFETCH(int, initIndex);
    QFETCH(uint, portPoint);
    QFETCH(int, portIndex);
    TimingPanel panel;
    int applies = 0; // showing must not count as an operator's change
    for (QComboBox *combo : panel.applyComboBoxes())
        connect(combo, &QComboBox::currentIndexChanged, [&applies] { ++applies; });
    for (QAbstractButton *box : panel.applyButtons())
        connect(box, &QAbstractButton::toggled, [&applies] { ++applies; });
    connect(&panel, &TimingPanel::signal_pps_delay_changed, [&applies] { ++applies; });

    DeviceFeatures shown;
    std::memset(&shown, 0xa5, sizeof shown);
    shown.timestamp_init_source = initSource;
    shown.port_a_timestamp = portPoint;
    shown.port_b_timestamp = shown.force_pps = shown.pps_output = 1;
    shown.wait_for_sync = 2; // anything but 1 is off
    shown.pps_delay = 215;
    panel.showFeatures(shown, kCaps, false);
    QCOMPARE(child<QComboBox>(panel, "timestampInitSourceCB")->currentIndex(), initIndex);
    QCOMPARE(child<QComboBox>(panel, "TimingPortATStamp")->currentIndex(), portIndex);
    QCOMPARE(child<QLabel>(panel, "TimingPPSDelayLabel")->text(), "-50.06 ns");
    QCOMPARE(applies, 0);

    DeviceFeatures read = shown;
    panel.readFeatures(&read, kCaps);
    DeviceFeatures expected = shown;
    expected.port_a_timestamp = uint32_t(portIndex);
    expected.wait_for_sync = 0;
    QCOMPARE(std::memcmp(&read, &expected, sizeof read), 0);
}

void tst_TimingPanel::sliderNotMovedBackWhileDebouncing()
{
    TimingPanel panel;
    QSlider *delay = child<QSlider>(panel, "TimingPPSDelay");
    delay->setValue(-120); // the operator's move; the device still reports 40
    DeviceFeatures device{};
    device.pps_delay = 40;
    panel.showFeatures(device, kCaps, true);
    QCOMPARE(delay->value(), -120);
    QCOMPARE(child<QLabel>(panel, "TimingPPSDelayLabel")->text(), "-27.94 ns");
    panel.showFeatures(device, kCaps, false);
    QCOMPARE(delay->value(), -40);
}

void tst_TimingPanel::clockSetRequestsAndFailure()
{
    TimingPanel panel;
    QSignalSpy requests(&panel, &TimingPanel::signal_timing_resync);
    child<QPushButton>(panel, "TimingSetGPSTime")->click();
    QCOMPARE(requests.size(), 0); // no device
    panel.setCurrentHandle(kHandle);
    child<QPushButton>(panel, "TimingSetGPSTime")->click();
    child<QPushButton>(panel, "TimingSetSNTPTime")->click();
    QCOMPARE(requests.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const auto request = requests.at(i).at(0).value<StatsThreadInfo>();
        QCOMPARE(request.handle, kHandle);
        QCOMPARE(request.timingTimeSet.source, uint32_t(i == 0 ? LQ_TIME_SOURCE_GPS : LQ_TIME_SOURCE_SNTP));
    }

    ModalAnswerer answerer;
    panel.slot_sntp_failed(QStringLiteral("Failed to get time from SNTP server"));
    QCOMPARE(answerer.titles, QStringList{"SNTP Time"});
    QCOMPARE(answerer.texts, QStringList{"Failed to get time from SNTP server"});
    QCOMPARE(answerer.icons, QList<QMessageBox::Icon>{QMessageBox::Critical});
}

QTEST_MAIN(tst_TimingPanel)
#include "tst_timingpanel.moc"
