// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Statistics sample arithmetic: where the words come from, saturating
// differences with the capacity carried over, bandwidth usage, duration texts.

#include "statisticssample.h"

#include <QTest>

using S = StatisticsSample;

class tst_StatisticsSample : public QObject {
    Q_OBJECT
private slots:
    void takenFromTheStatisticsBlock()
    {
        DeviceStatistics stats{};
        stats.reserved0 = 99; // not part of the sample
        stats.sampleTimeMs = 1000;
        stats.u.ports.linkUpMs = 5000;
        stats.u.ports.portA.invalid64To1522 = 7;
        stats.u.ports.portB.hardwareDropped = 3;
        stats.u.ports.reserved[1] = 11;
        const S s = S::from(stats);
        QCOMPARE(s.words[S::SampleTime], 1000u);
        QCOMPARE(s.words[S::LinkUp], 5000u);
        QCOMPARE(s.port(0, S::Invalid64To1522), 7u);
        QCOMPARE(s.port(1, S::HardwareDropped), 3u);
        QCOMPARE(s.words[27], 11u);
        QVERIFY(!s.isEmpty());
    }

    void differenceSaturatesAndKeepsCapacity_data()
    {
        QTest::addColumn<int>("word");
        QTest::addColumn<quint64>("a");
        QTest::addColumn<quint64>("b");
        QTest::addColumn<quint64>("result");
        QTest::newRow("grows") << S::kPortBase[0] + S::ValidPackets << 150ull << 100ull << 50ull;
        QTest::newRow("restarted counter") << S::kPortBase[1] + S::ValidBytes << 10ull << 100ull << 0ull;
        QTest::newRow("equal") << int(S::SampleTime) << 5ull << 5ull << 0ull;
        QTest::newRow("capacity A from b") << S::kPortBase[0] + S::Capacity << 125000000ull << 1250000ull << 1250000ull;
        QTest::newRow("capacity B from b") << S::kPortBase[1] + S::Capacity << 0ull << 125000000ull << 125000000ull;
        QTest::newRow("unread last word too") << 27 << 9ull << 4ull << 5ull;
    }
    void differenceSaturatesAndKeepsCapacity()
    {
        QFETCH(int, word);
        QFETCH(quint64, a);
        QFETCH(quint64, b);
        QFETCH(quint64, result);
        S x, y;
        x.words[std::size_t(word)] = a;
        y.words[std::size_t(word)] = b;
        QCOMPARE((x - y).words[std::size_t(word)], result);
    }

    void bandwidthUsage_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<quint64>("packets");
        QTest::addColumn<quint64>("capacity");
        QTest::addColumn<double>("usage");
        QTest::newRow("no capacity") << 1000ull << 10ull << 0ull << 0.0;
        QTest::newRow("half") << 61000ull << 200ull << 130000ull << 50.0;
        QTest::newRow("framing counted") << 0ull << 50ull << 1000ull << 100.0;
        QTest::newRow("over the line is 100") << 200000ull << 0ull << 100000ull << 100.0;
        QTest::newRow("idle") << 0ull << 0ull << 125000000ull << 0.0;
    }
    void bandwidthUsage()
    {
        QFETCH(quint64, bytes);
        QFETCH(quint64, packets);
        QFETCH(quint64, capacity);
        QFETCH(double, usage);
        S d;
        d.words[std::size_t(S::kPortBase[1] + S::ValidBytes)] = bytes;
        d.words[std::size_t(S::kPortBase[1] + S::ValidPackets)] = packets;
        d.words[std::size_t(S::kPortBase[1] + S::Capacity)] = capacity;
        QCOMPARE(::bandwidthUsage(d, 1), usage);
        QCOMPARE(::bandwidthUsage(d, 0), 0.0); // the other port is untouched
    }

    void durationTexts_data()
    {
        QTest::addColumn<quint64>("ms");
        QTest::addColumn<QString>("duration");
        QTest::addColumn<QString>("seconds");
        QTest::newRow("zero") << 0ull << "0:00:00" << "0.000 s";
        QTest::newRow("just under a minute") << 59999ull << "0:00:59" << "59.999 s";
        QTest::newRow("one of each") << 3661000ull << "1:01:01" << "3661.000 s";
        QTest::newRow("over a day") << 90061250ull << "25:01:01" << "90061.250 s";
    }
    void durationTexts()
    {
        QFETCH(quint64, ms);
        QFETCH(QString, duration);
        QFETCH(QString, seconds);
        QCOMPARE(durationText(ms), duration);
        QCOMPARE(secondsText(ms), seconds);
    }
};

QTEST_APPLESS_MAIN(tst_StatisticsSample)
#include "tst_statisticssample.moc"
