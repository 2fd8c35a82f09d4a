// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Charts" tab driven with synthetic samples on a manual clock, one second per refresh.

#include "chartspanel.h"

#include <qcustomplot.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>

using Words = QList<quint64>; // port words 0 to 9
using Usage = std::array<double, 2>;

namespace {

StatisticsSample portSample(quint64 sampleTimeMs, int portIndex, const Words &words)
{
    StatisticsSample s;
    s.words[StatisticsSample::SampleTime] = sampleTimeMs;
    for (int w = 0; w < words.size(); ++w) {
        s.words[std::size_t(StatisticsSample::kPortBase[portIndex] + w)] = words[w];
        // The other port carries different counts so a mixed-up block shows.
        s.words[std::size_t(StatisticsSample::kPortBase[1 - portIndex] + w)] = 7 * words[w] + 13;
    }
    return s;
}

struct Bench {
    MonitorClock clock;
    ChartsPanel panel;
    QCustomPlot *chart[2];
    Words rate = Words(10, 0); // Port A's growth per refresh, unless `counters` is replaced
    std::function<Words(int)> counters = [this](int r) {
        Words words;
        for (quint64 step : rate)
            words << step * quint64(r);
        return words;
    };
    int refreshes = 0;

    Bench()
    {
        clock.setManual(QDateTime(QDate(2026, 3, 2), QTime(12, 0, 0, 600)));
        panel.setClock(&clock);
        panel.resize(1240, 800);
        chart[0] = panel.findChild<QCustomPlot *>(QStringLiteral("graphs_a"));
        chart[1] = panel.findChild<QCustomPlot *>(QStringLiteral("graphs_b"));
    }
    template <class T> T *get(const QString &name) { return panel.findChild<T *>(name); }
    double key() const { return double(clock.now().toSecsSinceEpoch()); }
    void run(int n, const std::function<Usage(int)> &usage = [](int) { return Usage{0, 0}; })
    {
        for (int i = 0; i < n; ++i, ++refreshes) {
            clock.advance(1000);
            panel.sample(portSample(1000 * quint64(refreshes + 1), 0, counters(refreshes)), usage(refreshes));
        }
    }
};

} // namespace

class tst_ChartsPanel : public QObject {
    Q_OBJECT
private slots:
    // Rates of the nine series, then their shares of the packets and the usage.
    void seriesValues_data()
    {
        QTest::addColumn<quint64>("elapsedMs");
        QTest::addColumn<Words>("words");
        QTest::addColumn<QList<double>>("expected");
        const Words busy{10, 20, 10, 4, 5, 1, 6400, 999, 40, 10};
        const QList<double> shares{20, 40, 20, 8, 10, 2, 80, 20, 37.5};
        QTest::newRow("busy") << quint64(2000) << busy << QList<double>{5, 10, 5, 2, 2.5, 0.5, 20, 5, 3200} + shares;
        QTest::newRow("same sample time") << quint64(0) << busy << QList<double>(9, 0) + shares;
        QTest::newRow("no packets") << quint64(1000) << Words(10, 0) << QList<double>(17, 0) + QList<double>{37.5};
        QTest::newRow("no packet total") << quint64(1000) << Words{3, 0, 0, 0, 0, 0, 0, 0, 0, 0}
                                         << QList<double>{3, 0, 0, 0, 0, 0, 0, 0, 0, 300, 0, 0, 0, 0, 0, 0, 0, 37.5};
    }
    void seriesValues()
    {
        QFETCH(quint64, elapsedMs);
        QFETCH(Words, words);
        QFETCH(QList<double>, expected);
        for (int port = 0; port < 2; ++port) {
            const auto values = ChartSeries::pointValues(portSample(elapsedMs, port, words), port, 37.5);
            QCOMPARE(QList<double>(values.begin(), values.end()), expected);
        }
    }

    // Every scale keeps its history whichever is shown; the key axis shows
    // 100 steps of the shown scale with a tick every 10 steps.
    void pointsPerScale_data()
    {
        QTest::addColumn<int>("refreshes");
        QTest::addColumn<QList<int>>("points");
        QTest::newRow("baseline only") << 1 << QList<int>{0, 0, 0, 0};
        QTest::newRow("first step") << 2 << QList<int>{1, 0, 0, 0};
        QTest::newRow("one minute") << 61 << QList<int>{60, 10, 1, 0};
        QTest::newRow("trimmed") << 250 << QList<int>{101, 41, 4, 0};
        QTest::newRow("one hour") << 3601 << QList<int>{101, 101, 60, 10};
    }
    void pointsPerScale()
    {
        QFETCH(int, refreshes);
        QFETCH(QList<int>, points);
        Bench b;
        b.panel.setDeferredReplot(true); // the data matter here, not the drawing
        b.run(refreshes);
        if (refreshes > 1) // a refresh that gave every scale a point still shows the first
            QCOMPARE(b.chart[1]->xAxis->range(), QCPRange(b.key() - 99.75, b.key() + 0.25));
        const double baseline = b.key() - (refreshes - 1);
        for (int shown : {3, 1, 0, 2}) {
            b.get<QComboBox>("graphs_resolution_dropdown")->setCurrentIndex(shown);
            for (int g = 0; g < 72; ++g) {
                const int scale = g / 18, step = ChartSeries::kStep[std::size_t(scale)];
                const double key = baseline + (refreshes - 1) / step * step;
                for (QCustomPlot *chart : b.chart) {
                    const auto data = chart->graph(g)->data();
                    QCOMPARE(data->size(), points[scale]);
                    if (data->isEmpty())
                        continue;
                    QCOMPARE((data->constEnd() - 1)->key, key);
                    QVERIFY(data->constBegin()->key >= key - 100.0 * step);
                    for (auto it = data->constBegin() + 1; it != data->constEnd(); ++it)
                        QCOMPARE(it->key - (it - 1)->key, double(step));
                }
            }
            const double step = ChartSeries::kStep[std::size_t(shown)];
            QCOMPARE(b.chart[1]->xAxis->range(), QCPRange(b.key() + 0.25 - 100 * step, b.key() + 0.25));
            b.chart[1]->replot();
            const auto ticks = b.chart[1]->xAxis->tickVector();
            const auto labels = b.chart[1]->xAxis->tickVectorLabels();
            QVERIFY(ticks.size() >= 9);
            for (int t = 0; t < ticks.size(); ++t) {
                const QTime time = QTime::fromString(labels[t], QStringLiteral("hh:mm:ss"));
                QVERIFY2(time.isValid() && time.msecsSinceStartOfDay() % int(10000 * step) == 0, qPrintable(labels[t]));
                QVERIFY(t == 0 || ticks[t] - ticks[t - 1] == 10 * step);
            }
        }
    }

    // The graphs shown for the scale, unit ("/s" or "%") and series chosen
    // per port, and each chart's value axis fitted to them after four
    // refreshes (no point yet on the longer scales) with Port A's usage at 55.
    void display_data()
    {
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QStringList>("series"); // per port, the series numbers checked
        QTest::addColumn<Words>("rate");
        QTest::addColumn<Usage>("upper");
        const Words busy{0, 0, 0, 0, 0, 0, 64000, 0, 500, 0}, shared{0, 0, 0, 0, 0, 0, 0, 0, 30, 10};
        QTest::newRow("hidden ignored") << 0 << "/s" << QStringList{"14", ""} << Words{5, 0, 0, 9, 0, 0, 0, 0, 0, 0}
                                        << Usage{9, 1};
        QTest::newRow("bytes") << 0 << "/s" << QStringList{"789", "9"} << busy << Usage{64000, 448000};
        QTest::newRow("shares") << 0 << "%" << QStringList{"789", "8"} << shared << Usage{75, 25};
        QTest::newRow("usage") << 0 << "%" << QStringList{"89", "9"} << shared << Usage{55, 1};
        QTest::newRow("60 s") << 1 << "%" << QStringList{"", "23569"} << busy << Usage{1, 1};
        QTest::newRow("10 min") << 2 << "/s" << QStringList{"123456789", "8"} << busy << Usage{1, 1};
        QTest::newRow("60 min") << 3 << "%" << QStringList{"9", "17"} << busy << Usage{1, 1};
    }
    void display()
    {
        QFETCH(int, scale);
        QFETCH(QString, unit);
        QFETCH(QStringList, series);
        QFETCH(Words, rate);
        QFETCH(Usage, upper);
        Bench b;
        b.rate = rate;
        b.get<QComboBox>("graphs_resolution_dropdown")->setCurrentIndex(scale);
        b.get<QRadioButton>(unit == "/s" ? "graphs_ps_radio" : "graphs_per_radio")->click();
        for (int port = 0; port < 2; ++port)
            for (int n = 1; n <= 9; ++n) {
                auto *box = b.get<QCheckBox>(QStringLiteral("graphs_%1_%2_check").arg(n).arg(port ? 'b' : 'a'));
                if (box->isChecked() != series[port].contains(QString::number(n)))
                    box->click();
            }
        b.run(4, [](int) { return Usage{55, 0}; });
        for (int port = 0; port < 2; ++port) {
            for (int g = 0; g < 72; ++g) {
                const bool shown =
                    g / 18 == scale && (g % 18 < 9) == (unit == "/s") && series[port].contains(QChar('1' + g % 9));
                QVERIFY2(b.chart[port]->graph(g)->visible() == shown, qPrintable(QString::number(g)));
            }
            QCOMPARE(b.chart[port]->yAxis->range(), QCPRange(0, upper[std::size_t(port)]));
        }
    }

    // Each point covers the difference over its step and carries the
    // refresh's usage; Clear empties every graph and a rebase makes the next
    // refresh only take the baselines.
    void stepsClearAndRebase()
    {
        Bench b;
        // Valid packets 1, 3, 5 in the first three steps, then none.
        b.counters = [](int r) { return Words{0, 0, 0, 0, 0, 0, 0, 0, quint64(qMin(r, 3) * qMin(r, 3)), 0}; };
        b.run(7, [](int r) { return Usage{10.0 * r, double(r)}; });
        const auto values = [&b](int port, int graph) {
            QList<double> list;
            for (const QCPGraphData &point : *b.chart[port]->graph(graph)->data())
                list << point.value;
            return list;
        };
        QCOMPARE(values(0, 6), (QList<double>{1, 3, 5, 0, 0, 0}));
        QCOMPARE(values(0, 18 + 6), QList<double>{1.5}); // 9 packets in 6 s
        QCOMPARE(values(0, 9 + 6), (QList<double>{100, 100, 100, 0, 0, 0}));
        QCOMPARE(values(0, 17), (QList<double>{10, 20, 30, 40, 50, 60})); // not a mean over the step
        QCOMPARE(values(1, 18 + 17), QList<double>{6});
        for (int j : {9, 10, 11, 12, 13, 14, 16})
            QCOMPARE(values(0, j), QList<double>(6, 0));
        b.get<QPushButton>("graphs_clear_btn")->click();
        const auto points = [&b] {
            QList<int> list;
            for (int g = 0; g < 72; ++g)
                list << b.chart[0]->graph(g)->dataCount() + b.chart[1]->graph(g)->dataCount();
            return list;
        };
        QCOMPARE(points(), QList<int>(72, 0));
        b.run(1);
        QCOMPARE(points(), QList<int>(18, 2) + QList<int>(54, 0));
        b.panel.requestRebase();
        b.run(1); // the baselines only
        QCOMPARE(points(), QList<int>(18, 2) + QList<int>(54, 0));
        b.run(1);
        QCOMPARE(points(), QList<int>(18, 4) + QList<int>(54, 0));
    }
};

QTEST_MAIN(tst_ChartsPanel)
#include "tst_chartspanel.moc"
