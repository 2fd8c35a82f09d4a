// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Timing tab through its widgets: status bullets and texts, PPS compensation, the
// deviation chart, the timing fields of the features record and the SNTP clock set.

#include "timingpanel.h"

#include <QtTest>
#include <QtWidgets>

#include <cstring>
#include <tuple>

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

// Colours of the detected, fix, TRAIM, external PPS, oscillator and system-synced bullets,
// then the time source, satellite and device time texts.
QString shown(const TimingPanel &panel)
{
    QStringList colours, texts;
    for (const char *name : {"GPSDetectedBullet", "GPSFixBullet", "TRAIMBullet", "ExtPPSBullet", "OscSyncedBullet",
                             "SystemSyncedBullet"}) {
        const QImage image = panel.findChild<QLabel *>(name)->pixmap().toImage();
        colours << "?";
        for (const char *colour : {"green", "yellow", "red", "grey"}) {
            if (image == QImage(QStringLiteral(":/gps/%1.png").arg(colour)).convertToFormat(image.format()))
                colours.last() = colour;
        }
    }
    for (const char *name : {"TimingTimeSource", "GPSSats", "TimingCurrentTime"})
        texts << panel.findChild<QLabel *>(name)->text();
    return colours.join(' ') + '|' + texts.join('|');
}

} // namespace

class tst_TimingPanel : public QObject {
    Q_OBJECT
private slots:
    // Fix colours and the GPS source also run end to end in tst_monitoring.
    void statusDisplay()
    {
        TimingPanel panel;
        panel.setCurrentHandle(kHandle);
        const QString initial = shown(panel);
        QVERIFY(initial.startsWith("grey grey grey grey grey grey|"));
        StatsThreadInfo other = status(0, 2, 1, LQ_TIME_SOURCE_GPS);
        other.handle = kHandle + 1;
        panel.timingStatusUpdate(other);
        QCOMPARE(shown(panel), initial);
        const QString time = QLocale().toString(QDate(2025, 12, 5), QLocale::ShortFormat) + " 07:05:09 (UTC)";
        panel.timingStatusUpdate(status(-412.345678, 1, 0, LQ_TIME_SOURCE_MANUAL));
        QCOMPARE(shown(panel), "green yellow red green red green|Manual|GPS : 9 GLONASS : 6 Satellites used : 13\n"
                               "Deviation from PPS : -412.346 ns\n|" + time);
        panel.timingStatusUpdate(status(1.5, 7, 1, 9)); // codes the device does not define
        QCOMPARE(shown(panel), "green red green green red red||GPS : 9 GLONASS : 6 Satellites used : 13\n"
                               "GPS PPS estimated accuracy : 23 ns\nDeviation from PPS : 1.5 ns\n|" + time);
    }

    // At least 4 ns of value axis, from 0 when that is nearer; the last 100 s; a click clears.
    void chart()
    {
        TimingPanel panel;
        panel.setCurrentHandle(kHandle);
        qint64 now = 1764892800;
        panel.setClock([&now] { return now; });
        QCustomPlot *chart = panel.findChild<QCustomPlot *>("TimingChart");
        const std::pair<QList<double>, QCPRange> rows[] = {
            {{1.0, 1.7, 2.0}, {-0.5, 3.5}}, {{5.0, 10.0, 7.5}, {0.0, 10.0}}, {{-3.0, -1.0}, {-4.0, 0.0}}};
        for (const auto &[deviations, axis] : rows) {
            QTest::mouseClick(chart, Qt::LeftButton, {}, QPoint(200, 100));
            QCOMPARE(chart->graph(0)->data()->size(), 0);
            for (double d : deviations) {
                panel.timingStatusUpdate(status(d));
                ++now;
            }
            QCOMPARE(chart->yAxis->range(), axis);
        }
        for (int i = 0; i < 150; ++i, ++now)
            panel.timingStatusUpdate(status(i % 7));
        const qint64 last = now - 1;
        QCOMPARE(chart->graph(0)->data()->size(), 101);
        QCOMPARE(chart->graph(0)->data()->constBegin()->key, double(last - 100));
        QCOMPARE(chart->xAxis->range(), QCPRange(last - 99.75, last + 0.25));
    }

    // Behind another tab the chart is not drawn every second; the moment its
    // tab shows it is drawn with the newest window.
    void chartDrawnWhenShown()
    {
        QTabWidget tabs;
        auto *other = new QWidget;
        auto *panel = new TimingPanel;
        tabs.addTab(other, QStringLiteral("Counters"));
        tabs.addTab(panel, QStringLiteral("Timing"));
        panel->setCurrentHandle(kHandle);
        qint64 now = 1764892800;
        panel->setClock([&now] { return now; });
        tabs.setCurrentWidget(panel);
        tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tabs));
        tabs.setCurrentWidget(other);
        QCustomPlot *chart = panel->findChild<QCustomPlot *>("TimingChart");
        QSignalSpy drawn(chart, &QCustomPlot::afterReplot);
        for (int i = 0; i < 60; ++i, ++now)
            panel->timingStatusUpdate(status(i % 5));
        QCOMPARE(drawn.size(), 0);

        tabs.setCurrentWidget(panel);
        QCOMPARE(drawn.size(), 1);
        // The ticks are laid out by the drawing: those of the last 100 s.
        const auto ticks = chart->xAxis->tickVector();
        QVERIFY(!ticks.isEmpty());
        QCOMPARE(ticks.first(), 1764892760.0);
        QCOMPARE(ticks.last(), 1764892850.0);
        panel->timingStatusUpdate(status(1));
        QCOMPARE(drawn.size(), 2);
    }

    // The source list is not in the device's coding; showing is not an operator's change.
    void featuresAndPpsDelay()
    {
        TimingPanel panel;
        int applies = 0;
        for (QComboBox *combo : panel.applyComboBoxes())
            connect(combo, &QComboBox::currentIndexChanged, [&applies] { ++applies; });
        for (QAbstractButton *box : panel.applyButtons())
            connect(box, &QAbstractButton::toggled, [&applies] { ++applies; });
        connect(&panel, &TimingPanel::signal_pps_delay_changed, [&applies] { ++applies; });
        // timestamp_init_source and its index; port_a_timestamp and its index (unknown points: 0)
        const std::tuple<uint32_t, int, uint32_t, int> rows[] = {
            {LQ_TIME_SOURCE_SYSTEM, 3, 1, 1}, {LQ_TIME_SOURCE_RTC, 1, 2, 2}, {LQ_TIME_SOURCE_GPS, 2, 0, 0},
            {LQ_TIME_SOURCE_NONE, 0, 7, 0}};
        for (const auto &[initSource, initIndex, portPoint, portIndex] : rows) {
            DeviceFeatures shown;
            std::memset(&shown, 0xa5, sizeof shown);
            shown.timestamp_init_source = initSource;
            shown.port_a_timestamp = portPoint;
            shown.port_b_timestamp = shown.force_pps = shown.pps_output = 1;
            shown.wait_for_sync = 2; // anything but 1 is off
            shown.pps_delay = 215;
            panel.showFeatures(shown, kCaps, false);
            QCOMPARE(panel.findChild<QComboBox *>("timestampInitSourceCB")->currentIndex(), initIndex);
            QCOMPARE(panel.findChild<QComboBox *>("TimingPortATStamp")->currentIndex(), portIndex);
            DeviceFeatures read = shown, expected = shown;
            panel.readFeatures(&read, kCaps);
            expected.port_a_timestamp = uint32_t(portIndex);
            expected.wait_for_sync = 0;
            QCOMPARE(std::memcmp(&read, &expected, sizeof read), 0);
        }
        auto *label = panel.findChild<QLabel *>("TimingPPSDelayLabel");
        QCOMPARE(label->text(), "-50.06 ns"); // 215 steps of 2^-32 s
        QCOMPARE(applies, 0);
        // A status shown while the operator moves the slider leaves it where it is.
        QSlider *delay = panel.findChild<QSlider *>("TimingPPSDelay");
        delay->setValue(-120);
        DeviceFeatures device{};
        device.pps_delay = 40;
        panel.showFeatures(device, kCaps, true);
        QCOMPARE(delay->value(), -120);
        QCOMPARE(label->text(), "-27.94 ns");
        panel.showFeatures(device, kCaps, false);
        QCOMPARE(delay->value(), -40);
        QCOMPARE(label->text(), "-9.31 ns");
        QCOMPARE(applies, 1); // the operator's move
    }

    // Setting from GPS runs end to end in tst_monitoring.
    void sntpClockSet()
    {
        TimingPanel panel;
        QSignalSpy requests(&panel, &TimingPanel::signal_timing_resync);
        auto *button = panel.findChild<QPushButton *>("TimingSetSNTPTime");
        button->click(); // no device: no request
        panel.setCurrentHandle(kHandle);
        button->click();
        QCOMPARE(requests.size(), 1);
        const auto request = requests.first().first().value<StatsThreadInfo>();
        QCOMPARE(request.handle, kHandle);
        QCOMPARE(request.timingTimeSet.source, uint32_t(LQ_TIME_SOURCE_SNTP));
    }
};

QTEST_MAIN(tst_TimingPanel)
#include "tst_timingpanel.moc"
