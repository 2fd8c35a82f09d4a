// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Live monitoring end to end: the window polls a simulated device on the
// simulator's manual clock, and the Counters, Charts and Log tabs and the
// status labels follow what the device reported.

#include "qcustomplot.h"
#include "statisticssample.h"
#include "windowharness.h"

#include <QLabel>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>


namespace {
const char *const kMac = "02:4c:51:00:04:01";
}

class tst_Monitoring : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { WindowHarness::prepare(); }

    void init()
    {
        lqsim_clear_failures();
        QVERIFY(m_h.open(kMac, QByteArray("{\"type\":10,\"mac\":\"") + kMac +
                                   "\",\"traffic\":{\"a\":{\"load\":0.4},\"b\":{\"load\":0.2}}}"));
    }

    void cleanup() { m_h.close(); }

    void countsFromTheFirstRefreshAfterSelection()
    {
        const StatsThreadInfo first = m_h.poll(0);
        QCOMPARE(logLines(), QStringList{"Link Up"});
        auto *packets = child<QTableWidget>("tableWidget");
        auto *errors = child<QTableWidget>("tableWidget_4");
        // The first refresh only takes the baselines: the cells stay as the
        // selection's reset wrote them.
        QCOMPARE(texts(packets, 0), (QStringList{"0", "0", "-"}));
        QCOMPARE(texts(errors, 0), (QStringList{"0", "0", "-"}));

        const StatsThreadInfo second = m_h.poll();
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
        m_h.poll(0);
        m_h.poll();
        QVERIFY(child<QTableWidget>("tableWidget")->item(0, 0)->text().toULongLong() > 0);

        QCOMPARE(lqsim_set_link(kMac, 0, 0), 0);
        QCOMPARE(lqsim_set_link(kMac, 1, 0), 0);
        const StatsThreadInfo down = m_h.poll();
        QCOMPARE(logLines(), (QStringList{"Link Up", "Link Down"}));
        // A first sample again: totals and rates restart from the cleared texts.
        QCOMPARE(texts(child<QTableWidget>("tableWidget"), 0), (QStringList{"0", "0", "-"}));

        QCOMPARE(lqsim_set_link(kMac, 0, 1), 0);
        QCOMPARE(lqsim_set_link(kMac, 1, 1), 0);
        m_h.poll();
        QCOMPARE(logLines(), (QStringList{"Link Up", "Link Down", "Link Up"}));
        const StatsThreadInfo later = m_h.poll();
        // The totals count from the refresh that noticed the drop.
        QCOMPARE(child<QTableWidget>("tableWidget")->item(0, 0)->text(),
                 QString::number(later.statistics.u.ports.portA.validPackets -
                                 down.statistics.u.ports.portA.validPackets));
    }

    void alarmsEveryRefreshWhileTheLevelHolds()
    {
        child<QCheckBox>("log_a_bw_check")->setChecked(true); // threshold 0.00: always reached
        for (int i = 0; i < 4; ++i)
            m_h.poll(i == 0 ? 0 : 1000);
        const QStringList lines = logLines();
        // Link Up, then one alarm per refresh after the baseline was taken.
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.mid(1).filter(QRegularExpression("^Port A Bandwidth usage > 0\\.00% \\(\\d+\\.\\d\\d%\\)$")).size() == 3);
        child<QPushButton>("log_clear_btn")->click();
        m_h.poll();
        QCOMPARE(logLines().size(), 1);
    }

private:
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
    template <typename W> W *child(const char *name) const { return m_h.child<W>(name); }

    WindowHarness m_h;
};

QTEST_MAIN(tst_Monitoring)
#include "tst_monitoring.moc"
