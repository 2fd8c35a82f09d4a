// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Charts" tab driven with synthetic samples on a manual clock, one
// second per refresh: series arithmetic, the four time scales, trimming,
// visibility, the value axis and clearing.

#include "chartseries.h"
#include "chartspanel.h"

#include <qcustomplot.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using Words = QList<quint64>; // port words 0 to 9

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
    Words rate{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; // Port A growth per refresh
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
    // Port A counters at a refresh; by default each grows by `rate` a refresh.
    std::function<Words(int)> counters = [this](int r) {
        Words words;
        for (quint64 step : rate)
            words << step * quint64(r);
        return words;
    };
    void run(int n, std::function<std::array<double, 2>(int)> usage = {})
    {
        for (int i = 0; i < n; ++i, ++refreshes) {
            clock.advance(1000);
            panel.sample(portSample(1000 * quint64(refreshes + 1), 0, counters(refreshes)),
                         usage ? usage(refreshes) : std::array<double, 2>{0, 0});
        }
    }
    void setSeries(int port, const QList<int> &on)
    {
        for (int n = 1; n <= 9; ++n) {
            auto *box = get<QCheckBox>(QStringLiteral("graphs_%1_%2_check").arg(n).arg(port ? 'b' : 'a'));
            if (box->isChecked() != on.contains(n))
                box->click();
        }
    }
    void setRates(bool perSecond) { get<QRadioButton>(perSecond ? "graphs_ps_radio" : "graphs_per_radio")->click(); }
    void setScale(int scale) { get<QComboBox>("graphs_resolution_dropdown")->setCurrentIndex(scale); }
};

} // namespace

class tst_ChartsPanel : public QObject {
    Q_OBJECT
private slots:
    void seriesValues_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<quint64>("elapsedMs");
        QTest::addColumn<Words>("words");
        QTest::addColumn<double>("usage");
        QTest::addColumn<QList<double>>("expected");
        const Words busy{10, 20, 10, 4, 5, 1, 6400, 999, 40, 10};
        const QList<double> shares{20, 40, 20, 8, 10, 2, 80, 20, 37.5};
        QTest::newRow("port A") << 0 << quint64(2000) << busy << 37.5
                                << QList<double>{5, 10, 5, 2, 2.5, 0.5, 20, 5, 3200} + shares;
        QTest::newRow("port B") << 1 << quint64(2000) << busy << 37.5
                                << QList<double>{5, 10, 5, 2, 2.5, 0.5, 20, 5, 3200} + shares;
        QTest::newRow("same sample time") << 0 << quint64(0) << busy << 37.5 << QList<double>(9, 0) + shares;
        QTest::newRow("no packets") << 1 << quint64(1000) << Words(10, 0) << 42.0
                                    << QList<double>(17, 0) + QList<double>{42};
        QTest::newRow("no packet total") << 0 << quint64(1000) << Words{3, 0, 0, 0, 0, 0, 0, 0, 0, 0} << 0.0
                                         << QList<double>{3, 0, 0, 0, 0, 0, 0, 0, 0, 300, 0, 0, 0, 0, 0, 0, 0, 0};
    }
    void seriesValues()
    {
        QFETCH(int, port);
        QFETCH(quint64, elapsedMs);
        QFETCH(Words, words);
        QFETCH(double, usage);
        QFETCH(QList<double>, expected);
        const auto values = ChartSeries::pointValues(portSample(elapsedMs, port, words), port, usage);
        for (int j = 0; j < 18; ++j)
            QVERIFY2(qFuzzyCompare(1 + values[std::size_t(j)], 1 + expected[j]), qPrintable(QString::number(j)));
    }

    void initialForm()
    {
        Bench b;
        for (int g = 0; g < 72; ++g) {
            const auto *box = b.get<QCheckBox>(QStringLiteral("graphs_%1_b_check").arg(g % 9 + 1));
            QCOMPARE(b.chart[1]->graph(g)->pen().color(), box->palette().color(box->foregroundRole()));
            QCOMPARE(b.chart[0]->graph(g)->pen().color(), b.chart[1]->graph(g)->pen().color());
            QCOMPARE(box->isChecked(), g % 9 >= 6);
            QCOMPARE(b.chart[0]->graph(g)->visible(), g >= 15 && g < 18);
        }
        QCOMPARE(b.get<QCheckBox>("graphs_4_a_check")->palette().color(QPalette::WindowText), QColor(Qt::blue));
    }

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
        b.panel.setDeferredReplot(true);
        QSignalSpy replots(b.chart[0], &QCustomPlot::afterReplot);
        b.run(refreshes);
        QCOMPARE(replots.size(), 0); // drawn later, from the event loop
        QVERIFY(refreshes == 1 || replots.wait());
        const double baseline = b.key() - (refreshes - 1);
        // Every scale keeps its history whichever is shown.
        for (int shown : {3, 1, 0, 2}) {
            b.setScale(shown);
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
        }
    }

    void keyAxisOfShownScale_data()
    {
        QTest::addColumn<int>("scale");
        for (int scale = 0; scale < 4; ++scale)
            QTest::addRow("scale %d", scale) << scale;
    }
    void keyAxisOfShownScale()
    {
        QFETCH(int, scale);
        const int step = ChartSeries::kStep[std::size_t(scale)];
        Bench b;
        b.setScale(scale);
        QSignalSpy replots(b.chart[0], &QCustomPlot::afterReplot);
        b.run(1 + 360); // every scale takes points; only the shown one redraws
        QCOMPARE(replots.size(), 360 / step);
        const QCPRange range = b.chart[1]->xAxis->range();
        QCOMPARE(range.upper, b.key() + 0.25);
        QCOMPARE(range.size(), 100.0 * step);
        const auto ticks = b.chart[1]->xAxis->tickVector();
        const auto labels = b.chart[1]->xAxis->tickVectorLabels();
        QVERIFY(ticks.size() >= 9);
        for (int t = 0; t < ticks.size(); ++t) {
            const QTime time = QTime::fromString(labels[t], QStringLiteral("hh:mm:ss"));
            QVERIFY2(time.isValid(), qPrintable(labels[t]));
            QCOMPARE(time.msecsSinceStartOfDay() % (10000 * step), 0);
            if (t > 0)
                QCOMPARE(ticks[t] - ticks[t - 1], 10.0 * step);
        }
    }

    void visibility_data()
    {
        QTest::addColumn<int>("scale");
        QTest::addColumn<bool>("perSecond");
        QTest::addColumn<QList<int>>("seriesA");
        QTest::addColumn<QList<int>>("seriesB");
        QTest::newRow("10 s rates") << 0 << true << QList<int>{1, 4} << QList<int>{};
        QTest::newRow("60 s percent") << 1 << false << QList<int>{} << QList<int>{2, 3, 5, 6, 9};
        QTest::newRow("10 min all") << 2 << true << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9} << QList<int>{8};
        QTest::newRow("60 min percent") << 3 << false << QList<int>{9} << QList<int>{1, 7};
    }
    void visibility()
    {
        QFETCH(int, scale);
        QFETCH(bool, perSecond);
        QFETCH(QList<int>, seriesA);
        QFETCH(QList<int>, seriesB);
        Bench b;
        b.setScale(scale);
        b.setRates(perSecond);
        b.setSeries(0, seriesA);
        b.setSeries(1, seriesB);
        for (int port = 0; port < 2; ++port) {
            QSet<int> shown;
            for (int n : port ? seriesB : seriesA)
                shown << 18 * scale + (perSecond ? 0 : 9) + n - 1;
            for (int g = 0; g < 72; ++g)
                QVERIFY2(b.chart[port]->graph(g)->visible() == shown.contains(g), qPrintable(QString::number(g)));
        }
    }

    void valueAxis_data()
    {
        QTest::addColumn<bool>("perSecond");
        QTest::addColumn<QList<int>>("series");
        QTest::addColumn<Words>("rate");
        QTest::addColumn<double>("upper");
        const Words busy{0, 0, 0, 0, 0, 0, 64000, 0, 500, 0};
        // Port A's bandwidth usage is 55 at every refresh.
        QTest::newRow("quiet percent") << false << QList<int>{7, 8} << Words(10, 0) << 1.0;
        QTest::newRow("quiet rates") << true << QList<int>{7, 8, 9} << Words(10, 0) << 1.0;
        QTest::newRow("bytes") << true << QList<int>{7, 8, 9} << busy << 64000.0;
        QTest::newRow("hidden ignored") << true << QList<int>{7} << busy << 500.0;
        QTest::newRow("shares") << false << QList<int>{7, 8, 9} << Words{0, 0, 0, 0, 0, 0, 0, 0, 30, 10} << 75.0;
        QTest::newRow("usage") << false << QList<int>{8, 9} << Words{0, 0, 0, 0, 0, 0, 0, 0, 30, 10} << 55.0;
    }
    void valueAxis()
    {
        QFETCH(bool, perSecond);
        QFETCH(QList<int>, series);
        QFETCH(Words, rate);
        QFETCH(double, upper);
        Bench b;
        b.setRates(perSecond);
        b.setSeries(0, series);
        b.rate = rate;
        b.run(4, [](int) { return std::array<double, 2>{55, 0}; });
        QCOMPARE(b.chart[0]->yAxis->range().lower, 0.0);
        QCOMPARE(b.chart[0]->yAxis->range().upper, upper);
    }

    void pointsCoverTheirStep()
    {
        Bench b;
        // Valid packets 1, 3, 5 in the first three steps, then none.
        b.counters = [](int r) { return Words{0, 0, 0, 0, 0, 0, 0, 0, quint64(qMin(r, 3) * qMin(r, 3)), 0}; };
        b.run(7, [](int r) { return std::array<double, 2>{10.0 * r, double(r)}; });
        const auto values = [&](int port, int graph) {
            QList<double> list;
            for (const QCPGraphData &point : *b.chart[port]->graph(graph)->data())
                list << point.value;
            return list;
        };
        QCOMPARE(values(0, 6), (QList<double>{1, 3, 5, 0, 0, 0}));
        QCOMPARE(values(0, 18 + 6), QList<double>{1.5}); // 9 packets in 6 s
        QCOMPARE(values(0, 9 + 6), (QList<double>{100, 100, 100, 0, 0, 0}));
        // The refresh's usage, not a mean over the step.
        QCOMPARE(values(0, 17), (QList<double>{10, 20, 30, 40, 50, 60}));
        QCOMPARE(values(1, 18 + 17), QList<double>{6});
        for (int j : {9, 10, 11, 12, 13, 14, 16})
            QCOMPARE(values(0, j), QList<double>(6, 0));
    }

    void clearAndRebase_data()
    {
        QTest::addColumn<bool>("rebase");
        QTest::addColumn<QList<int>>("points");
        QTest::newRow("clear") << false << QList<int>{1, 2};
        QTest::newRow("clear and rebase") << true << QList<int>{0, 1};
    }
    void clearAndRebase()
    {
        QFETCH(bool, rebase);
        QFETCH(QList<int>, points);
        Bench b;
        b.run(11);
        b.get<QPushButton>("graphs_clear_btn")->click();
        for (int g = 0; g < 72; ++g)
            QVERIFY(b.chart[0]->graph(g)->data()->isEmpty() && b.chart[1]->graph(g)->data()->isEmpty());
        if (rebase)
            b.panel.requestRebase();
        for (int expected : points) {
            b.run(1);
            QCOMPARE(b.chart[0]->graph(17)->data()->size(), expected);
            QCOMPARE(b.chart[1]->graph(0)->data()->size(), expected);
        }
    }
};

QTEST_MAIN(tst_ChartsPanel)
#include "tst_chartspanel.moc"
