// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Live monitoring end to end: the window polls a simulated device on the
// simulator's manual clock, and the Counters, Charts and Log tabs and the
// status labels follow what the device reported.

#include "lqsim.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "qcustomplot.h"
#include "statisticssample.h"
#include "workerprobe.h"

#include <QLabel>
#include <QSettings>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <memory>

namespace {
const char *const kMac = "02:4c:51:00:04:01";
}

class tst_Monitoring : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerStatsThreadInfo();
        registerLumenquillDevice();
    }

    void init()
    {
        lqsim_use_manual_clock(1764892800000ull);
        lqsim_clear_failures();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Hollerby", "LumenquillManager").clear();
        QCOMPARE(lqsim_load_scenario_text((QByteArray("{\"devices\":[{\"type\":10,\"mac\":\"") + kMac +
                                           "\",\"traffic\":{\"a\":{\"load\":0.4},\"b\":{\"load\":0.2}}}]}")
                                              .constData()),
                 0);
        m_window = std::make_unique<MainWindow>();
        // Polls are driven by the test, one per simulated second.
        m_window->findChild<QTimer *>(QStringLiteral("pollTimer"))->stop();
        m_probe = std::make_unique<WorkerProbe>(m_window->worker());
        lqsim_advance_clock(0);
        QTRY_COMPARE(m_window->currentHandle(), lqsim_handle_of(kMac));
    }

    void cleanup()
    {
        m_probe.reset();
        m_window.reset();
    }

    void countsFromTheFirstRefreshAfterSelection()
    {
        const StatsThreadInfo first = poll();
        QCOMPARE(logLines(), QStringList{"Link Up"});
        auto *packets = child<QTableWidget>("tableWidget");
        auto *errors = child<QTableWidget>("tableWidget_4");
        // The first refresh only takes the baselines: the cells stay as the
        // selection's reset wrote them.
        QCOMPARE(texts(packets, 0), (QStringList{"0", "0", "-"}));
        QCOMPARE(texts(errors, 0), (QStringList{"0", "0", "-"}));

        lqsim_advance_clock(1000);
        const StatsThreadInfo second = poll();
        const auto &a0 = first.statistics.u.ports.portA;
        const auto &a1 = second.statistics.u.ports.portA;
        QVERIFY(a1.validPackets > a0.validPackets);
        const double seconds = double(second.statistics.sampleTimeMs - first.statistics.sampleTimeMs) / 1000.0;
        QCOMPARE(texts(packets, 0).mid(0, 2),
                 (QStringList{QString::number(a1.validPackets - a0.validPackets),
                              QString::asprintf("%.0lf", double(a1.validPackets - a0.validPackets) / seconds)}));
        QCOMPARE(packets->item(4, 0)->text(), QString::number(a1.validBytes - a0.validBytes));
        const double usage =
            std::min(100.0, (double(a1.validBytes - a0.validBytes) + 20.0 * double(a1.validPackets - a0.validPackets)) *
                                100.0 / double(a0.capacity));
        QCOMPARE(packets->item(4, 2)->text(), QString::asprintf("%.2lf", double(float(usage))));
        QVERIFY(usage > 10 && usage < 100); // a 40 % profile on a live line

        QCOMPARE(child<QLabel>("features_link_up_label")->text(), durationText(second.statistics.u.ports.linkUpMs));
        QCOMPARE(child<QLabel>("features_drop_label")->text(),
                 QString::number(a1.hardwareDropped + second.statistics.u.ports.portB.hardwareDropped));
        QCOMPARE(child<QLabel>("features_sw_dropped")->text(), QString::number(second.statistics.droppedPackets));
        // The 10-second scale took its first point; the percentage graph of
        // series 9 carries the refresh's usage.
        QCPGraph *bandwidth = child<QCustomPlot>("graphs_a")->graph(17);
        QCOMPARE(bandwidth->dataCount(), 1);
        QCOMPARE(float(bandwidth->data()->at(0)->value), float(usage));
    }

    void linkFlapLogsDownThenUpAndRestartsCounters()
    {
        poll();
        lqsim_advance_clock(1000);
        poll();
        QVERIFY(child<QTableWidget>("tableWidget")->item(0, 0)->text().toULongLong() > 0);

        QCOMPARE(lqsim_set_link(kMac, 0, 0), 0);
        QCOMPARE(lqsim_set_link(kMac, 1, 0), 0);
        lqsim_advance_clock(1000);
        const StatsThreadInfo down = poll();
        QCOMPARE(logLines(), (QStringList{"Link Up", "Link Down"}));
        // A first sample again: totals and rates restart from the cleared texts.
        QCOMPARE(texts(child<QTableWidget>("tableWidget"), 0), (QStringList{"0", "0", "-"}));

        QCOMPARE(lqsim_set_link(kMac, 0, 1), 0);
        QCOMPARE(lqsim_set_link(kMac, 1, 1), 0);
        lqsim_advance_clock(1000);
        poll();
        QCOMPARE(logLines(), (QStringList{"Link Up", "Link Down", "Link Up"}));
        lqsim_advance_clock(1000);
        const StatsThreadInfo later = poll();
        // The totals count from the refresh that noticed the drop.
        QCOMPARE(child<QTableWidget>("tableWidget")->item(0, 0)->text(),
                 QString::number(later.statistics.u.ports.portA.validPackets -
                                 down.statistics.u.ports.portA.validPackets));
    }

    void alarmsEveryRefreshWhileTheLevelHolds()
    {
        child<QCheckBox>("log_a_bw_check")->setChecked(true); // threshold 0.00: always reached
        for (int i = 0; i < 4; ++i) {
            poll();
            lqsim_advance_clock(1000);
        }
        const QStringList lines = logLines();
        // Link Up, then one alarm per refresh after the baseline was taken.
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.mid(1).filter(QRegularExpression("^Port A Bandwidth usage > 0\\.00% \\(\\d+\\.\\d\\d%\\)$")).size() == 3);
        child<QPushButton>("log_clear_btn")->click();
        poll();
        QCOMPARE(logLines().size(), 1);
    }

private:
    // One poll, answered and handled by the window (the window's reply slot is
    // connected before the probe's, so it has run when the probe sees it).
    StatsThreadInfo poll()
    {
        const auto before = m_probe->status.size();
        QMetaObject::invokeMethod(m_window.get(), "updateStats");
        [&] { QTRY_COMPARE(m_probe->status.size(), before + 1); }();
        return m_probe->status.last();
    }
    // The log's lines without their time stamps.
    QStringList logLines() const
    {
        QStringList lines;
        const QString text = child<QTextEdit>("log_txt")->toPlainText();
        for (const QString &line : text.split('\n', Qt::SkipEmptyParts))
            lines << line.section(QStringLiteral(" - "), 1);
        return lines;
    }
    static QStringList texts(QTableWidget *table, int row)
    {
        QStringList cells;
        for (int column = 0; column < 3; ++column)
            cells << (table->item(row, column) ? table->item(row, column)->text() : QString());
        return cells;
    }
    template <typename W> W *child(const char *name) const { return m_window->findChild<W *>(QLatin1String(name)); }

    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<WorkerProbe> m_probe;
};

QTEST_MAIN(tst_Monitoring)
#include "tst_monitoring.moc"
