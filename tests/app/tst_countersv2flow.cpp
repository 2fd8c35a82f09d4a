// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Configurable counters end to end: a rule edited in the window reaches the
// simulated device, the row's rate is what the device counted, and the rule
// is pushed again by the next manager that selects the device.

#include "counterv2config.h"
#include "counterv2control.h"
#include "countersv2panel.h"
#include "ui_counterv2control.h"
#include "windowharness.h"

#include <QLabel>
#include <QTest>


namespace {
const char *const kMac = "02:4c:51:00:06:01";
const QByteArray kDevice = QByteArray(R"({"type":14,"mac":")") + kMac + "\"}";
} // namespace

class tst_CountersV2Flow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { WindowHarness::prepare(); }

    void udpRuleCountsAndComesBackAfterRestart()
    {
        WindowHarness h;
        QVERIFY(h.open(kMac, kDevice));
        auto *panel = h.child<CountersV2Panel>("countersV2Panel");
        CounterV2Config rule = CounterV2::defaultConfig(0);
        rule.udp = 1;
        rule.portA = 1;
        rule.portB = 0;
        rule.countingMode = 0;
        panel->control(0)->setConfig(rule);
        panel->counterV2ConfigChanged(0);
        CounterV2Config sent{};
        QTRY_VERIFY(lqsim_last_counter_v2(kMac, 0, &sent) == 0 && sent.udp == 1);
        QCOMPARE(sent.portA, 1);
        QCOMPARE(sent.portB, 0);

        // The row's rate is the device's count over the interval.
        h.poll();
        const StatsThreadInfo a = h.poll();
        const StatsThreadInfo b = h.poll();
        const uint64_t counted = b.statistics.u.configurable.counters[0] - a.statistics.u.configurable.counters[0];
        const double seconds = double(b.statistics.sampleTimeMs - a.statistics.sampleTimeMs) / 1000.0;
        QVERIFY(counted > 0);
        QCOMPARE(panel->control(0)->form()->rateLabel->text(), QString::asprintf("%.0f", double(counted) / seconds));

        // A fresh device and a fresh manager: the rule comes from the settings.
        h.close();
        QVERIFY(h.open(kMac, kDevice));
        QTRY_COMPARE(lqsim_last_counter_v2(kMac, 0, &sent), 0);
        QCOMPARE(sent.udp, 1);
        QCOMPARE(sent.portA, 1);
        QCOMPARE(sent.portB, 0);
    }
};

QTEST_MAIN(tst_CountersV2Flow)
#include "tst_countersv2flow.moc"
