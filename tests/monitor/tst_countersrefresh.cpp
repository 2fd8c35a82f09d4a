// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Counters tab: sample differences and duration texts, the gauges' needle
// angle, running averages across resets, alarm lines, and the tables' totals,
// rates, shares and line usage, also after each clear.

#include "alarmlog.h"
#include "counterspanel.h"
#include "portaverage.h"
#include "qgauge.h"
#include "sqtablewidget.h"
#include "ui_counterspanel.h"

#include <QTest>

using S = StatisticsSample;
// Per refresh: reset before it (0/1), time ms, valid, invalid, crc, usage,
// then the expected average bandwidth (-1: the gauge keeps its value) and crc share.
using Refreshes = QList<QList<double>>;

namespace {
S portSample(uint64_t timeMs, int port, uint64_t valid, uint64_t invalid, uint64_t crc, uint64_t bytes = 0,
             uint64_t capacity = 0)
{
    S s;
    s.words[S::SampleTime] = timeMs;
    const auto at = [&](S::PortWord w) -> uint64_t & { return s.words[std::size_t(S::kPortBase[port] + w)]; };
    at(S::ValidPackets) = valid;
    at(S::Valid64To1522) = valid;
    at(S::InvalidPackets) = invalid;
    at(S::Invalid64To1522) = crc;
    at(S::ValidBytes) = bytes;
    at(S::Capacity) = capacity;
    return s;
}
} // namespace

class tst_CountersRefresh : public QObject {
    Q_OBJECT
private slots:
    // Differences word by word, saturating at zero; the capacity words are
    // levels and come from the subtrahend. Then the texts of durations.
    void sampleArithmetic()
    {
        S a, b, expected;
        const auto set = [&](int w, uint64_t x, uint64_t y, uint64_t d) {
            a.words[std::size_t(w)] = x, b.words[std::size_t(w)] = y, expected.words[std::size_t(w)] = d;
        };
        set(S::kPortBase[0] + S::ValidPackets, 150, 100, 50);
        set(S::kPortBase[1] + S::ValidBytes, 10, 100, 0); // the device started counting again
        set(S::SampleTime, 5, 5, 0);
        set(S::kPortBase[0] + S::Capacity, 125000000, 1250000, 1250000);
        set(S::kPortBase[1] + S::Capacity, 0, 125000000, 125000000);
        set(27, 9, 4, 5);
        const S d = a - b;
        QCOMPARE(QList<quint64>(d.words.begin(), d.words.end()),
                 QList<quint64>(expected.words.begin(), expected.words.end()));
        QCOMPARE(durationText(59999) + ' ' + secondsText(59999), QStringLiteral("0:00:59 59.999 s"));
        QCOMPARE(durationText(3661000), QStringLiteral("1:01:01"));
        QCOMPARE(durationText(90061250) + ' ' + secondsText(90061250), QStringLiteral("25:01:01 90061.250 s"));
    }

    // As on this tab: 0 to 100 over 0 to 93 degrees.
    void gaugeNeedleAngle()
    {
        QGauge gauge;
        gauge.setEndAngle(93);
        const struct { double value, stored, angle; } cases[] = {{-5, 0, -0.93}, {50, 50, 45.57}, {250, 100, 92.07}};
        for (const auto &c : cases) {
            gauge.setValue(c.value);
            QCOMPARE(gauge.value(), c.stored);
            QVERIFY2(qAbs(gauge.needleAngle() - c.angle) < 1e-9, qPrintable(QString::number(gauge.needleAngle())));
        }
    }

    void averagesAcrossResets_data()
    {
        QTest::addColumn<Refreshes>("refreshes");
        QTest::newRow("time-weighted mean")
            << Refreshes{{1, 1000, 0, 0, 0, 0, -1, 0}, {0, 2000, 0, 0, 0, 50, 50, 0}, {0, 5000, 0, 0, 0, 10, 20, 0}};
        QTest::newRow("crc share with the +1 divisor")
            << Refreshes{{1, 1000, 500, 0, 0, 0, -1, 0}, {0, 2000, 1489, 10, 10, 0, 0, 1.0}};
        QTest::newRow("reset restarts both averages")
            << Refreshes{{1, 1000, 0, 0, 0, 0, -1, 0}, {0, 2000, 1000, 99, 99, 80, 80, 9.0},
                         {1, 3000, 2000, 99, 99, 30, -1, 0}, {0, 4000, 2998, 100, 100, 40, 40, 0.1}};
        QTest::newRow("same sample time keeps the gauge")
            << Refreshes{{1, 1000, 0, 0, 0, 0, -1, 0}, {0, 1000, 0, 0, 0, 70, -1, 0}};
    }
    void averagesAcrossResets()
    {
        QFETCH(Refreshes, refreshes);
        PortAverage average;
        uint64_t previous = 0;
        for (const QList<double> &r : refreshes) {
            average.resetRequested = average.resetRequested || r[0] != 0;
            const S sample = portSample(uint64_t(r[1]), 1, uint64_t(r[2]), uint64_t(r[3]), uint64_t(r[4]));
            const PortAverage::Figures f = average.update(sample, 1, previous, r[5]);
            previous = sample.words[S::SampleTime];
            QCOMPARE(f.bandwidth.has_value(), r[6] >= 0);
            if (f.bandwidth)
                QVERIFY2(qFuzzyCompare(*f.bandwidth, r[6]), qPrintable(QString::number(*f.bandwidth)));
            QVERIFY2(qAbs(f.crcErrors - r[7]) < 1e-6, qPrintable(QString::number(f.crcErrors)));
        }
    }

    // Port A: usage and CRC alarms at 50 % and 0 %; Port B: CRC alarm at 0 %, usage alarm off.
    void alarmLines()
    {
        AlarmSettings settings;
        settings.bandwidth = {AlarmThreshold{true, 50.0}, AlarmThreshold{false, 0.0}};
        settings.crcErrors = {AlarmThreshold{true, 0.0}, AlarmThreshold{true, 0.0}};
        const QString crcA = QStringLiteral("T - Port A CRC error percentage > 0.00% (0.00%)");
        QCOMPARE(::alarmLines(portSample(1000, 1, 96, 0, 0), {50, 100}, settings, "T"), // the threshold reached
                 (QStringList{"T - Port A Bandwidth usage > 50.00% (50.00%)", crcA,
                              "T - Port B CRC error percentage > 0.00% (0.00%)"}));
        // Below it stays quiet; 3 CRC errors in 96 + 3 packets, plus one, are 3 %.
        QCOMPARE(::alarmLines(portSample(1000, 1, 96, 3, 3), {49.99, 100}, settings, "T"),
                 (QStringList{crcA, "T - Port B CRC error percentage > 0.00% (3.00%)"}));
    }

    // Port A and Port B "Valid packets" totals on the two refreshes after a clear.
    void clearsOnTheNextTwoRefreshes_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("totals");
        QTest::newRow("Clear A") << "conters_clear_a_btn" << QStringList{"0", "1300", "200", "1600"};
        QTest::newRow("Clear B") << "conters_clear_b_btn" << QStringList{"1300", "0", "1500", "300"};
        QTest::newRow("Clear All") << "conters_clear_all_btn" << QStringList{"0", "0", "200", "300"};
    }
    void clearsOnTheNextTwoRefreshes()
    {
        QFETCH(QString, button);
        CountersPanel panel;
        Ui::CountersPanel *ui = panel.form();
        const auto refresh = [&](uint64_t t, uint64_t a, uint64_t b) {
            S s = portSample(t, 0, a, 0, 0, a * 100, 125000);
            const S other = portSample(t, 1, b, 0, 0, b * 100, 125000);
            std::copy_n(other.words.begin() + S::kPortBase[1], 11, s.words.begin() + S::kPortBase[1]);
            panel.refresh(s, {0, 0});
            return QStringList{ui->tableWidget->item(0, 0)->text(), ui->tableWidget_2->item(0, 0)->text()};
        };
        panel.refresh(portSample(1000, 0, 1000, 0, 0), {0, 0}); // the first refresh only takes the baselines
        QCOMPARE(refresh(2000, 1100, 1200), (QStringList{"1100", "1200"}));
        panel.findChild<QPushButton *>(button)->click();
        const bool clearsA = button != "conters_clear_b_btn";
        QCOMPARE(ui->tableWidget->item(0, 0)->text(), clearsA ? "0" : "1100");
        QCOMPARE(ui->tableWidget_3->item(0, 2)->text(), clearsA ? "-" : "0.00");
        const QStringList afterFirst = refresh(3000, 1300, 1300);
        QTEST(afterFirst + refresh(4000, 1500, 1600), "totals");
        // The rates are the last interval's whatever was cleared.
        QCOMPARE(ui->tableWidget->item(0, 1)->text() + ' ' + ui->tableWidget_2->item(0, 1)->text(), "200 300");
    }

    // A refresh leaves alone the cells whose figures did not change. Whatever
    // happened in between (a clear, another device, cells written by someone
    // else), the same figures must show the same texts again. Port A carries
    // traffic; Port B none, so its figures never change.
    void sameFiguresSameTexts_data()
    {
        QTest::addColumn<QString>("between");
        QTest::newRow("nothing") << "";
        QTest::newRow("Clear A") << "conters_clear_a_btn";
        QTest::newRow("Clear B") << "conters_clear_b_btn";
        QTest::newRow("Clear All") << "conters_clear_all_btn";
        QTest::newRow("another device") << "resetAll";
        QTest::newRow("items replaced") << "setItem";
    }
    void sameFiguresSameTexts()
    {
        QFETCH(QString, between);
        CountersPanel panel;
        Ui::CountersPanel *ui = panel.form();
        const QList<QTableWidget *> tables{ui->tableWidget, ui->tableWidget_3, ui->tableWidget_2, ui->tableWidget_4};
        const auto texts = [&tables] {
            QStringList all;
            for (QTableWidget *table : tables)
                for (int row = 0; row < table->rowCount(); ++row)
                    for (int column = 0; column < table->columnCount(); ++column)
                        all << (table->item(row, column) ? table->item(row, column)->text() : QStringLiteral("none"));
            return all;
        };
        const auto refresh = [&panel](uint64_t timeMs, uint64_t valid) {
            panel.refresh(portSample(timeMs, 0, valid, valid / 10, valid / 20, valid * 100, 125000), {0, 0});
        };
        refresh(1000, 0);
        refresh(2000, 500);
        const QStringList shown = texts();
        QVERIFY(shown.contains("500") && shown.contains("0.00") && shown.contains("-"));

        if (between == "resetAll") { // as the main window does when another device becomes current
            panel.counters_reset();
            panel.clearToZero();
        } else if (between == "setItem") {
            for (QTableWidget *table : tables)
                for (int row = 0; row < table->rowCount(); ++row)
                    for (int column = 0; column < table->columnCount(); ++column)
                        table->setItem(row, column, new QTableWidgetItem(QStringLiteral("x")));
        } else if (!between.isEmpty()) {
            panel.findChild<QPushButton *>(between)->click();
        }
        // The device counts from 0 again: whatever the clears took as baseline, the
        // totals and the rates of the next refresh are those shown above.
        refresh(3000, 0);
        refresh(4000, 500);
        QCOMPARE(texts(), shown);
    }

    // 100-byte packets over one interval. The last packet share is the line
    // usage: (bytes + 20 per packet) over the interval's capacity, at most 100.
    void intervalTexts_data()
    {
        QTest::addColumn<QList<quint64>>("counts"); // valid, invalid, capacity, interval ms
        QTest::addColumn<QStringList>("packetShares"); // rows 0..4 of the packet table, column 2
        QTest::addColumn<QStringList>("errorShares");  // rows 0..3 of the error table, column 2
        QTest::addColumn<QString>("validRate");
        const QStringList none{"0.00", "0.00", "0.00", "0.00"};
        QTest::newRow("valid packets only") << QList<quint64>{400, 0, 100000, 2000}
                                            << QStringList{"100.00", "0.00", "100.00", "0.00", "48.00"} << none
                                            << "200";
        QTest::newRow("errors, no capacity") << QList<quint64>{300, 100, 0, 1000}
                                             << QStringList{"75.00", "0.00", "75.00", "0.00", "0.00"}
                                             << QStringList{"25.00", "0.00", "25.00", "0.00"} << "300";
        QTest::newRow("empty interval") << QList<quint64>{0, 0, 100000, 1000} << QStringList{"-", "-", "-", "-", "0.00"}
                                        << QStringList{"-", "-", "-", "-"} << "0";
        QTest::newRow("over the line") << QList<quint64>{1000, 0, 1000, 1000}
                                       << QStringList{"100.00", "0.00", "100.00", "0.00", "100.00"} << none << "1000";
        QTest::newRow("same sample time") << QList<quint64>{10, 0, 1000, 0}
                                          << QStringList{"100.00", "0.00", "100.00", "0.00", "100.00"} << none << "-";
    }
    void intervalTexts()
    {
        QFETCH(QList<quint64>, counts);
        const quint64 valid = counts[0], invalid = counts[1], capacity = counts[2], ms = counts[3];
        CountersPanel panel;
        Ui::CountersPanel *ui = panel.form();
        panel.refresh(portSample(10000, 0, 50, 0, 0, 5000, capacity), {0, 0});
        panel.refresh(portSample(10000 + ms, 0, 50 + valid, invalid, invalid, 5000 + valid * 100, capacity), {0, 0});
        QStringList packet, error;
        for (int row = 0; row < 5; ++row)
            packet << ui->tableWidget->item(row, 2)->text();
        for (int row = 0; row < 4; ++row)
            error << ui->tableWidget_3->item(row, 2)->text();
        QTEST(packet, "packetShares");
        QTEST(error, "errorShares");
        QTEST(ui->tableWidget->item(0, 1)->text(), "validRate");
        QCOMPARE(ui->tableWidget->item(0, 0)->text(), QString::number(50 + valid));
    }
};

QTEST_MAIN(tst_CountersRefresh)
#include "tst_countersrefresh.moc"
