// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Configurable counters end to end: a rule edited in the window reaches the
// simulated device, the row's rate is what the device counted, and the rule
// is pushed again by the next manager that selects the device.

#include "counterv2config.h"
#include "counterv2control.h"
#include "countersv2panel.h"
#include "lqsim.h"
#include "mainwindow.h"
#include "ui_counterv2control.h"
#include "workerprobe.h"

#include <QLabel>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
const char *const kMac = "02:4c:51:00:06:01";
const QByteArray kScenario = QByteArray(R"({"devices":[{"type":14,"mac":")") + kMac + R"("}]})";
} // namespace

class tst_CountersV2Flow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerStatsThreadInfo();
        registerLumenquillDevice();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Hollerby", "LumenquillManager").clear();
    }

    void udpRuleCountsAndComesBackAfterRestart()
    {
        open();
        auto *panel = m_window->findChild<CountersV2Panel *>("countersV2Panel");
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
        poll();
        lqsim_advance_clock(1000);
        const StatsThreadInfo a = poll();
        lqsim_advance_clock(1000);
        const StatsThreadInfo b = poll();
        const uint64_t counted = b.statistics.u.configurable.counters[0] - a.statistics.u.configurable.counters[0];
        const double seconds = double(b.statistics.sampleTimeMs - a.statistics.sampleTimeMs) / 1000.0;
        QVERIFY(counted > 0);
        QCOMPARE(panel->control(0)->form()->rateLabel->text(), QString::asprintf("%.0f", double(counted) / seconds));

        // A fresh device and a fresh manager: the rule comes from the settings.
        m_probe.reset();
        m_window.reset();
        open();
        QTRY_COMPARE(lqsim_last_counter_v2(kMac, 0, &sent), 0);
        QCOMPARE(sent.udp, 1);
        QCOMPARE(sent.portA, 1);
        QCOMPARE(sent.portB, 0);
    }

private:
    void open()
    {
        lqsim_use_manual_clock(1764892800000ull);
        QCOMPARE(lqsim_load_scenario_text(kScenario.constData()), 0);
        m_window = std::make_unique<MainWindow>();
        m_window->findChild<QTimer *>(QStringLiteral("pollTimer"))->stop();
        m_probe = std::make_unique<WorkerProbe>(m_window->worker());
        lqsim_advance_clock(0);
        QTRY_COMPARE(m_window->currentHandle(), lqsim_handle_of(kMac));
    }
    StatsThreadInfo poll()
    {
        const auto before = m_probe->status.size();
        QMetaObject::invokeMethod(m_window.get(), "updateStats");
        [&] { QTRY_COMPARE(m_probe->status.size(), before + 1); }();
        return m_probe->status.last();
    }

    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<WorkerProbe> m_probe;
};

QTEST_MAIN(tst_CountersV2Flow)
#include "tst_countersv2flow.moc"
