// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Live monitoring end to end: the window polls simulated devices, and the
// Counters, Charts, Log, configurable counters and Timing tabs follow them.

#include "counterv2config.h"
#include "counterv2control.h"
#include "countersv2panel.h"
#include "qcustomplot.h"
#include "statisticssample.h"
#include "ui_counterv2control.h"
#include "windowharness.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>

namespace {
const char *const kMac = "02:4c:51:00:04:01";
const QByteArray kLoaded = WindowHarness::device(10, kMac, R"(,"traffic":{"a":{"load":0.4},"b":{"load":0.2}})");
const char *const kCountersMac = "02:4c:51:00:06:01";

QString colourOf(const QLabel *bullet)
{
    for (const char *colour : {"red", "yellow", "green", "grey"}) {
        if (bullet->pixmap().toImage() == QPixmap(QStringLiteral(":/gps/%1.png").arg(colour)).toImage())
            return colour;
    }
    return "?";
}
} // namespace

class tst_Monitoring : public QObject {
    Q_OBJECT
    WindowHarness m_h;

    // The log's lines without their time stamps.
    QStringList logLines() const
    {
        QStringList lines;
        for (const QString &line : child<QTextEdit>("log_txt")->toPlainText().split('\n', Qt::SkipEmptyParts))
            lines << line.section(QStringLiteral(" - "), 1);
        return lines;
    }
    // Total, rate and share of a row of a table (Port A's packets by default).
    QStringList packets(int row, const char *name = "tableWidget") const
    {
        auto *table = child<QTableWidget>(name);
        QStringList cells;
        for (int column = 0; column < 3; ++column)
            cells << (table->item(row, column) ? table->item(row, column)->text() : QString());
        return cells;
    }
    template <typename W> W *child(const char *name) const { return m_h.child<W>(name); }

private slots:
    void initTestCase() { WindowHarness::prepare(); }
    void init() { lqsim_clear_failures(); }
    void cleanup() { m_h.close(); }

    void countsFromTheFirstRefreshAfterSelection()
    {
        QVERIFY(m_h.open(kMac, kLoaded));
        const StatsThreadInfo first = m_h.poll(0);
        QCOMPARE(logLines(), QStringList{"Link Up"});
        // The first refresh only takes the baselines: the cells stay as the selection's reset wrote them.
        QCOMPARE(packets(0), (QStringList{"0", "0", "-"}));
        QCOMPARE(packets(0, "tableWidget_4"), (QStringList{"0", "0", "-"}));

        const StatsThreadInfo second = m_h.poll();
        const auto &a0 = first.statistics.u.ports.portA;
        const auto &a1 = second.statistics.u.ports.portA;
        const uint64_t valid = a1.validPackets - a0.validPackets, bytes = a1.validBytes - a0.validBytes;
        QVERIFY(valid > 0);
        const double seconds = double(second.statistics.sampleTimeMs - first.statistics.sampleTimeMs) / 1000.0;
        QCOMPARE(packets(0).mid(0, 2),
                 (QStringList{QString::number(valid), QString::asprintf("%.0lf", double(valid) / seconds)}));
        QCOMPARE(packets(4).first(), QString::number(bytes));
        const double usage = std::min(100.0, (double(bytes) + 20.0 * double(valid)) * 100.0 / double(a0.capacity));
        QCOMPARE(packets(4).at(2), QString::asprintf("%.2lf", double(float(usage))));
        QVERIFY(usage > 10 && usage < 100); // a 40 % profile on a live line
        // The 10-second scale took its first point; series 9's percentage graph carries the usage.
        QCPGraph *bandwidth = child<QCustomPlot>("graphs_a")->graph(17);
        QCOMPARE(bandwidth->dataCount(), 1);
        QCOMPARE(float(bandwidth->data()->at(0)->value), float(usage));

        QCOMPARE(child<QLabel>("features_link_up_label")->text(), durationText(second.statistics.u.ports.linkUpMs));
        QCOMPARE(child<QLabel>("features_drop_label")->text(),
                 QString::number(a1.hardwareDropped + second.statistics.u.ports.portB.hardwareDropped));
        QCOMPARE(child<QLabel>("features_sw_dropped")->text(), QString::number(second.statistics.droppedPackets));
    }

    void linkFlapLogsDownThenUpAndRestartsCounters()
    {
        QVERIFY(m_h.open(kMac, kLoaded));
        m_h.poll(0);
        m_h.poll();
        QVERIFY(packets(0).first().toULongLong() > 0);
        const auto setLinks = [](int up) { return !lqsim_set_link(kMac, 0, up) && !lqsim_set_link(kMac, 1, up); };
        QVERIFY(setLinks(0));
        const StatsThreadInfo down = m_h.poll();
        QCOMPARE(logLines(), (QStringList{"Link Up", "Link Down"}));
        QCOMPARE(packets(0), (QStringList{"0", "0", "-"})); // a first sample again
        QVERIFY(setLinks(1));
        m_h.poll();
        QCOMPARE(logLines(), (QStringList{"Link Up", "Link Down", "Link Up"}));
        const StatsThreadInfo later = m_h.poll();
        // The totals count from the refresh that noticed the drop.
        QCOMPARE(packets(0).first(), QString::number(later.statistics.u.ports.portA.validPackets -
                                                     down.statistics.u.ports.portA.validPackets));
    }

    void alarmsEveryRefreshWhileTheLevelHolds()
    {
        QVERIFY(m_h.open(kMac, kLoaded));
        child<QCheckBox>("log_a_bw_check")->setChecked(true); // threshold 0.00: always reached
        for (int i = 0; i < 4; ++i)
            m_h.poll(i == 0 ? 0 : 1000);
        // Link Up, then one alarm per refresh after the baseline was taken.
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 4);
        const QRegularExpression alarm("^Port A Bandwidth usage > 0\\.00% \\(\\d+\\.\\d\\d%\\)$");
        QCOMPARE(lines.mid(1).filter(alarm).size(), 3);
        child<QPushButton>("log_clear_btn")->click();
        m_h.poll();
        QCOMPARE(logLines().size(), 1);
    }

    // A configurable-counter rule edited in the window reaches the device, the
    // row's rate is what the device counted, and the next manager pushes it again.
    void counterRuleCountsAndComesBackAfterRestart()
    {
        QVERIFY(m_h.open(kCountersMac, WindowHarness::device(14, kCountersMac)));
        auto *panel = child<CountersV2Panel>("countersV2Panel");
        CounterV2Config rule = CounterV2::defaultConfig(0); // Port A and Port B flags off
        rule.udp = 1;
        rule.portA = 1;
        panel->control(0)->setConfig(rule);
        panel->counterV2ConfigChanged(0);
        CounterV2Config sent{};
        QTRY_VERIFY(lqsim_last_counter_v2(kCountersMac, 0, &sent) == 0 && sent.udp == 1);
        QCOMPARE((QList<int>{sent.portA, sent.portB}), (QList<int>{1, 0}));

        m_h.poll();
        const StatsThreadInfo a = m_h.poll();
        const StatsThreadInfo b = m_h.poll();
        const uint64_t counted = b.statistics.u.configurable.counters[0] - a.statistics.u.configurable.counters[0];
        const double seconds = double(b.statistics.sampleTimeMs - a.statistics.sampleTimeMs) / 1000.0;
        QVERIFY(counted > 0);
        QCOMPARE(panel->control(0)->form()->rateLabel->text(), QString::asprintf("%.0f", double(counted) / seconds));

        // A fresh device and a fresh manager: the rule comes from the settings.
        m_h.close();
        QVERIFY(m_h.open(kCountersMac, WindowHarness::device(14, kCountersMac)));
        QTRY_COMPARE(lqsim_last_counter_v2(kCountersMac, 0, &sent), 0);
        QCOMPARE((QList<int>{sent.udp, sent.portA, sent.portB}), (QList<int>{1, 1, 0}));
    }

    // The GPS fix bullet goes red, yellow, green as the receiver acquires its
    // fix, and "set time from GPS" changes the time source the device reports.
    void gpsFixAcquiredAndClockSetFromGps()
    {
        QVERIFY(m_h.open(kMac, WindowHarness::device(10, kMac)));
        auto *fix = child<QLabel>("GPSFixBullet");
        auto *source = child<QLabel>("TimingTimeSource");
        QStringList colours;
        const auto pollAndNote = [&] {
            m_h.poll();
            if (colours.isEmpty() || colours.last() != colourOf(fix))
                colours << colourOf(fix);
        };
        for (int s = 0; s < 10; ++s)
            pollAndNote();
        QVERIFY2(source->text().isEmpty(), qPrintable(source->text()));

        child<QPushButton>("TimingSetGPSTime")->click();
        TimingTimeSet set{};
        QTRY_COMPARE(lqsim_last_timing_time(kMac, &set), 0);
        m_h.poll();
        QCOMPARE(source->text(), QStringLiteral("GPS"));
        for (int s = 0; s < 60 && colourOf(fix) != "green"; ++s)
            pollAndNote();
        QCOMPARE(colours, (QStringList{"red", "yellow", "green"}));
    }
};

QTEST_MAIN(tst_Monitoring)
#include "tst_monitoring.moc"
