// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Counters tab's arithmetic and tables: running averages across resets,
// alarm lines, and what the tables show on the refreshes after each clear.

#include "alarmlog.h"
#include "counterspanel.h"
#include "portaverage.h"
#include "sqtablewidget.h"
#include "ui_counterspanel.h"

#include <QTest>

using S = StatisticsSample;
using Averages = QList<QList<double>>; // per refresh: time ms, valid, invalid, crc, usage

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
    void averagesAcrossResets_data()
    {
        QTest::addColumn<Averages>("refreshes");
        QTest::addColumn<QList<int>>("resetBefore"); // refresh indices preceded by an average reset
        QTest::addColumn<QList<double>>("bandwidth"); // -1: the gauge keeps its value
        QTest::addColumn<QList<double>>("crc");
        QTest::newRow("time-weighted mean")
            << Averages{{1000, 0, 0, 0, 0}, {2000, 0, 0, 0, 50}, {5000, 0, 0, 0, 10}} << QList<int>{0}
            << QList<double>{-1, 50, 20} << QList<double>{0, 0, 0};
        QTest::newRow("crc share with the +1 divisor")
            << Averages{{1000, 500, 0, 0, 0}, {2000, 1489, 10, 10, 0}} << QList<int>{0} << QList<double>{-1, 0}
            << QList<double>{0, 1.0};
        QTest::newRow("reset restarts both averages")
            << Averages{{1000, 0, 0, 0, 0}, {2000, 1000, 99, 99, 80}, {3000, 2000, 99, 99, 30}, {4000, 2998, 100, 100, 40}}
            << QList<int>{0, 2} << QList<double>{-1, 80, -1, 40} << QList<double>{0, 9.0, 0, 0.1};
        QTest::newRow("same sample time keeps the gauge")
            << Averages{{1000, 0, 0, 0, 0}, {1000, 0, 0, 0, 70}} << QList<int>{0} << QList<double>{-1, -1}
            << QList<double>{0, 0};
    }
    void averagesAcrossResets()
    {
        QFETCH(Averages, refreshes);
        QFETCH(QList<int>, resetBefore);
        QFETCH(QList<double>, bandwidth);
        QFETCH(QList<double>, crc);
        PortAverage average;
        average.resetRequested = false;
        uint64_t previous = 0;
        for (int i = 0; i < refreshes.size(); ++i) {
            const QList<double> &r = refreshes[i];
            if (resetBefore.contains(i))
                average.resetRequested = true;
            const S sample = portSample(uint64_t(r[0]), 1, uint64_t(r[1]), uint64_t(r[2]), uint64_t(r[3]));
            const PortAverage::Figures f = average.update(sample, 1, previous, r[4]);
            previous = sample.words[S::SampleTime];
            QCOMPARE(f.bandwidth.has_value(), bandwidth[i] >= 0);
            if (f.bandwidth)
                QVERIFY2(qFuzzyCompare(*f.bandwidth, bandwidth[i]), qPrintable(QString::number(*f.bandwidth)));
            QVERIFY2(qAbs(f.crcErrors - crc[i]) < 1e-6, qPrintable(QString::number(f.crcErrors)));
        }
    }

    void alarmLines_data()
    {
        QTest::addColumn<double>("usageA");
        QTest::addColumn<quint64>("crcB");
        QTest::addColumn<QStringList>("expected");
        const QString s = QStringLiteral("STAMP");
        QTest::newRow("equal to the threshold fires")
            << 50.0 << 0ull
            << QStringList{s + " - Port A Bandwidth usage > 50.00% (50.00%)", s + " - Port A CRC error percentage > 0.00% (0.00%)",
                           s + " - Port B CRC error percentage > 0.00% (0.00%)"};
        QTest::newRow("below stays quiet, crc over the packets plus one")
            << 49.99 << 3ull
            << QStringList{s + " - Port A CRC error percentage > 0.00% (0.00%)",
                           s + " - Port B CRC error percentage > 0.00% (3.00%)"};
    }
    void alarmLines()
    {
        QFETCH(double, usageA);
        QFETCH(quint64, crcB);
        QFETCH(QStringList, expected);
        AlarmSettings settings;
        settings.bandwidth[0] = {true, 50.0};
        settings.crcErrors[0] = {true, 0.0};
        settings.bandwidth[1] = {false, 0.0}; // off: never fires
        settings.crcErrors[1] = {true, 0.0};
        S difference = portSample(1000, 1, 96, crcB, crcB);
        QCOMPARE(::alarmLines(difference, {usageA, 100.0}, settings, QStringLiteral("STAMP")), expected);
    }

    void usageOverTheLineReadsAHundred()
    {
        AlarmSettings settings;
        settings.bandwidth[1] = {true, 99.99};
        const S overfull = portSample(1000, 1, 1000, 0, 0, 2000000, 1000000);
        const QStringList lines = ::alarmLines(overfull, {0, bandwidthUsage(overfull, 1)}, settings, "t");
        QCOMPARE(lines, QStringList{"t - Port B Bandwidth usage > 99.99% (100.00%)"});
    }

    // Each refresh: the samples fed, then the Port A and Port B totals of
    // "Valid packets" shown afterwards.
    void clearsOnTheNextTwoRefreshes_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("totalsAfterFirst");  // A, B
        QTest::addColumn<QStringList>("totalsAfterSecond"); // A, B
        QTest::newRow("Clear A") << "conters_clear_a_btn" << QStringList{"0", "1300"} << QStringList{"200", "1600"};
        QTest::newRow("Clear B") << "conters_clear_b_btn" << QStringList{"1300", "0"} << QStringList{"1500", "300"};
        QTest::newRow("Clear All") << "conters_clear_all_btn" << QStringList{"0", "0"} << QStringList{"200", "300"};
        QTest::newRow("full reset") << "resetAll" << QStringList{"0", "0"} << QStringList{"200", "300"};
    }
    void clearsOnTheNextTwoRefreshes()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, totalsAfterFirst);
        QFETCH(QStringList, totalsAfterSecond);
        CountersPanel panel;
        Ui::CountersPanel *ui = panel.form();
        auto sample = [](uint64_t t, uint64_t a, uint64_t b) {
            S s = portSample(t, 0, a, 0, 0, a * 100, 125000);
            const S other = portSample(t, 1, b, 0, 0, b * 100, 125000);
            for (int w = S::kPortBase[1]; w < S::kPortBase[1] + 11; ++w)
                s.words[std::size_t(w)] = other.words[std::size_t(w)];
            return s;
        };
        auto totals = [&] { return QStringList{ui->tableWidget->item(0, 0)->text(), ui->tableWidget_2->item(0, 0)->text()}; };
        panel.refresh(sample(1000, 1000, 1000), {0, 0}); // the first refresh only takes the absolute baseline
        panel.refresh(sample(2000, 1100, 1200), {0, 0});
        QCOMPARE(totals(), (QStringList{"1100", "1200"}));

        if (action == "resetAll") {
            panel.counters_reset();
            panel.clearToZero();
        } else {
            panel.findChild<QPushButton *>(action)->click();
        }
        const bool clearsA = action != "conters_clear_b_btn";
        QCOMPARE(ui->tableWidget->item(0, 0)->text(), clearsA ? QString("0") : QString("1100"));
        QCOMPARE(ui->tableWidget_3->item(0, 2)->text(), clearsA ? QString("-") : QString("0.00"));

        panel.refresh(sample(3000, 1300, 1300), {0, 0});
        QCOMPARE(totals(), totalsAfterFirst);
        panel.refresh(sample(4000, 1500, 1600), {0, 0});
        QCOMPARE(totals(), totalsAfterSecond);
        // The rates are the last interval's whatever was cleared.
        QCOMPARE(ui->tableWidget->item(0, 1)->text(), QString("200"));
        QCOMPARE(ui->tableWidget_2->item(0, 1)->text(), QString("300"));
    }

    void intervalTexts_data()
    {
        QTest::addColumn<quint64>("valid");
        QTest::addColumn<quint64>("invalid");
        QTest::addColumn<quint64>("capacity");
        QTest::addColumn<quint64>("intervalMs");
        QTest::addColumn<QStringList>("packetShares"); // rows 0..4 of the packet table, column 2
        QTest::addColumn<QStringList>("errorShares");  // rows 0..3 of the error table, column 2
        QTest::addColumn<QString>("validRate");
        QTest::newRow("valid packets only") << 400ull << 0ull << 100000ull << 2000ull
                                            << QStringList{"100.00", "0.00", "100.00", "0.00", "48.00"}
                                            << QStringList{"0.00", "0.00", "0.00", "0.00"} << "200";
        QTest::newRow("errors share the interval") << 300ull << 100ull << 0ull << 1000ull
                                                   << QStringList{"75.00", "0.00", "75.00", "0.00", "0.00"}
                                                   << QStringList{"25.00", "0.00", "25.00", "0.00"} << "300";
        QTest::newRow("empty interval") << 0ull << 0ull << 100000ull << 1000ull
                                        << QStringList{"-", "-", "-", "-", "0.00"} << QStringList{"-", "-", "-", "-"} << "0";
        QTest::newRow("over the line") << 1000ull << 0ull << 1000ull << 1000ull
                                       << QStringList{"100.00", "0.00", "100.00", "0.00", "100.00"}
                                       << QStringList{"0.00", "0.00", "0.00", "0.00"} << "1000";
        QTest::newRow("same sample time") << 10ull << 0ull << 1000ull << 0ull
                                          << QStringList{"100.00", "0.00", "100.00", "0.00", "100.00"}
                                          << QStringList{"0.00", "0.00", "0.00", "0.00"} << "-";
    }
    void intervalTexts()
    {
        QFETCH(quint64, valid);
        QFETCH(quint64, invalid);
        QFETCH(quint64, capacity);
        QFETCH(quint64, intervalMs);
        QFETCH(QStringList, packetShares);
        QFETCH(QStringList, errorShares);
        QFETCH(QString, validRate);
        CountersPanel panel;
        Ui::CountersPanel *ui = panel.form();
        // 100-byte packets: 48 % of a 100 kB line for 400 packets over the
        // interval (capacity is per interval).
        panel.refresh(portSample(10000, 0, 50, 0, 0, 5000, capacity), {0, 0});
        panel.refresh(portSample(10000 + intervalMs, 0, 50 + valid, invalid, invalid, 5000 + valid * 100, capacity),
                      {0, 0});
        QStringList packet, error;
        for (int row = 0; row < 5; ++row)
            packet << ui->tableWidget->item(row, 2)->text();
        for (int row = 0; row < 4; ++row)
            error << ui->tableWidget_3->item(row, 2)->text();
        QCOMPARE(packet, packetShares);
        QCOMPARE(error, errorShares);
        QCOMPARE(ui->tableWidget->item(0, 1)->text(), validRate);
        QCOMPARE(ui->tableWidget->item(0, 0)->text(), QString::number(50 + valid));
    }
};

QTEST_MAIN(tst_CountersRefresh)
#include "tst_countersrefresh.moc"
