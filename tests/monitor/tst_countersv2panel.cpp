// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The configurable-counters tab offscreen (rules through the store and the editor, a
// row's totals, rates and chart across resets, loading, saving and pushes to the
// worker) and the Charts tab driven with samples on a manual clock, a second a refresh.

#include "chartspanel.h"
#include "countersv2panel.h"
#include "counterv2config.h"
#include "counterv2control.h"
#include "counterv2editor.h"
#include "modalanswerer.h"
#include "ui_counterv2control.h"
#include "ui_counterv2editor.h"

#include <qcustomplot.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using Words = QList<quint64>; // port words 0 to 9
using Usage = std::array<double, 2>;

namespace {

const QString kMac = QStringLiteral("00:1a:2b:3c:4d:5e");
const QString kGroup = QStringLiteral("DeviceConfig/001a2b3c4d5e/StatsV2/");

template <class... T> QString numbers(T... v)
{
    return QStringList{QString::number(v)...}.join(' ');
}

QString dump(const CounterV2Config &c)
{
    return numbers(c.index, c.ipv4, c.ipv6, c.broadcast, c.multicast, c.unicast, c.icmp, c.udp, c.tcp, c.crcValid,
                   c.dropped, c.size, c.sizeMode, c.portA, c.portB, c.countingMode) +
           QStringLiteral(" [%1] [%2]").arg(CounterV2::bytesText(c.address), CounterV2::bytesText(c.mask));
}

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

class tst_CountersV2Panel : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { registerStatsThreadInfo(); }

    // An IPv4 rule with every other field set goes to the store and back, and through the editor's form and back,
    // unchanged. Stored values the device cannot take are read as "don't care", "any size", "off" or a zero byte.
    void ruleStore()
    {
        CounterV2Config c = CounterV2::defaultConfig(11);
        c.ipv4 = 1, c.ipv6 = 0, c.broadcast = 0, c.multicast = 1, c.icmp = 0, c.udp = 1, c.tcp = 0, c.crcValid = 1;
        c.dropped = 0, c.size = 9000, c.sizeMode = 2, c.portB = 1, c.countingMode = 1;
        QVERIFY(CounterV2::parseFamilyAddress(QStringLiteral("192.168.*.7"), false, c.address, c.mask));
        QSettings settings(m_dir.filePath(QStringLiteral("store")), QSettings::IniFormat);
        QVERIFY(CounterV2::writeConfig(settings, kMac, c, false));
        QCOMPARE(settings.value(kGroup + "counter11/ip"), "07 00 a8 c0 00 00 00 00 00 00 00 00 00 00 00 00");
        QCOMPARE(settings.value(kGroup + "counter11/ipMask"), "ff 00 ff ff 00 00 00 00 00 00 00 00 00 00 00 00");
        settings.sync();
        QSettings reread(settings.fileName(), QSettings::IniFormat);
        const CounterV2Config loaded = CounterV2::readConfig(reread, kMac, 11).value();
        QCOMPARE(dump(loaded), dump(c));
        CounterV2Editor editor;
        editor.setConfig(loaded);
        QCOMPARE(editor.form()->ipv4TB->text(), QStringLiteral("192.168.*.7"));
        editor.form()->buttonBox->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(dump(editor.getConfig()), dump(c)); // "dropped" has no control and is kept
        const QString group = kGroup + "counter4/";
        for (const auto &[key, value] : {std::pair{"isbcast", "5"}, {"isIPv6", "yes"}, {"sizeMode", "3"}, {"mode", "2"},
                                         {"port1", "7"}, {"port2", "-1"}, {"ip", "zz 01 100 7f"}})
            settings.setValue(group + key, value);
        CounterV2Config expected = CounterV2::defaultConfig(4);
        CounterV2::bytesFromText(QStringLiteral("00 01 00 7f"), expected.address);
        QCOMPARE(dump(*CounterV2::readConfig(settings, kMac, 4)), dump(expected));
        settings.setValue(group + "sizeMode", 2); // the last valid choice
        expected.sizeMode = 2;
        QCOMPARE(dump(*CounterV2::readConfig(settings, kMac, 4)), dump(expected));
    }

    // The editor filled in and accepted: whether it asks about an incomplete
    // address, the rule it returns and the row's summary of it.
    // An address box is open only with its family alone; the size box with a size rule.
    void editorEnabling_data()
    {
        QTest::addColumn<QList<int>>("v4v6size");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("ipv4 only") << QList<int>{2, 1, 1} << "ipv4TB sizeTB";
        QTest::newRow("ipv6 only") << QList<int>{0, 2, 2} << "ipv6TB sizeTB";
        QTest::newRow("both") << QList<int>{2, 2, 3} << "sizeTB";
        QTest::newRow("neither, any size") << QList<int>{1, 0, 0} << "";
    }
    void editorEnabling()
    {
        QFETCH(QList<int>, v4v6size);
        CounterV2Editor editor;
        editor.form()->ipv4CB->setCheckState(Qt::CheckState(v4v6size[0]));
        editor.form()->ipv6CB->setCheckState(Qt::CheckState(v4v6size[1]));
        editor.form()->sizeCBox->setCurrentIndex(v4v6size[2]);
        QStringList enabled;
        for (QLineEdit *box : {editor.form()->ipv4TB, editor.form()->ipv6TB, editor.form()->sizeTB})
            if (box->isEnabled())
                enabled << box->objectName();
        QTEST(enabled.join(' '), "enabled");
    }

    void editorAccept_data()
    {
        QTest::addColumn<QList<int>>("states"); // IPv4 and IPv6 check states, size choice, answer to the question
        QTest::addColumn<QStringList>("texts"); // IPv4, IPv6 and size boxes
        QTest::addColumn<QString>("stored");    // tri-states, size, address and mask as dump() shows them
        QTest::addColumn<QString>("summary");
        using L = QList<int>;
        using S = QStringList;
        const QString zero = '[' + QStringList(16, "00").join(' ') + ']', none = zero + ' ' + zero;
        const QString pad = QString(" 00").repeated(12);
        const QString v4 = "[07 00 a8 c0" + pad + "] [ff 00 ff ff" + pad + ']';
        const QString v6 = '[' + QString("00 ").repeated(14) + "80 fe] [f0" + QString(" ff").repeated(15) + ']';
        QTest::newRow("both families") << L{2, 2, 0, 0} << S{"10.0.0.1", "fe80::1", "64"} << "1 1 0/-1 " + none
                                       << " Any size";
        QTest::newRow("greater than 1500") << L{1, 1, 1, 0} << S{"10.0.0.1", "", "1500"} << "-1 -1 1500/0 " + none
                                           << " > 1500";
        QTest::newRow("ipv4 with wildcard") << L{2, 0, 2, 0} << S{"192.168.*.7", "", "60"} << "1 0 60/1 " + v4
                                            << "192.168.*.7 < 60";
        QTest::newRow("ipv6 with wildcard") << L{0, 2, 3, 0} << S{"", "fe80::*", ""} << "0 1 0/2 " + v6
                                            << "fe80:0000:0000:0000:0000:0000:0000:00** = 0";
        QTest::newRow("incomplete, keep editing") << L{2, 0, 0, QMessageBox::No} << S{"192.168.", "", ""}
                                                  << "-1 -1 0/-1 " + none << " Any size";
        QTest::newRow("incomplete, save without address") << L{2, 0, 0, QMessageBox::Yes} << S{"192.168.", "", ""}
                                                          << "1 0 0/-1 " + none << "*.*.*.* Any size";
    }
    void editorAccept()
    {
        QFETCH(QList<int>, states);
        QFETCH(QStringList, texts);
        const int answer = states[3];
        CounterV2Editor editor;
        editor.setConfig(CounterV2::defaultConfig(5));
        Ui::CounterV2Editor *f = editor.form();
        f->ipv4TB->setText(texts[0]);
        f->ipv6TB->setText(texts[1]);
        f->ipv4CB->setCheckState(Qt::CheckState(states[0]));
        f->ipv6CB->setCheckState(Qt::CheckState(states[1]));
        f->sizeCBox->setCurrentIndex(states[2]);
        f->sizeTB->setText(texts[2]);
        QCOMPARE(f->addressHint->text().contains('"' + texts[0] + '"'), answer != 0);
        ModalAnswerer answerer{answer ? QMessageBox::StandardButton(answer) : QMessageBox::No};
        f->buttonBox->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(answerer.titles, answer ? QStringList{"Incomplete address"} : QStringList{});
        QCOMPARE(editor.result() == QDialog::Accepted, answer != QMessageBox::No);
        const CounterV2Config c = editor.getConfig();
        QTEST(numbers(c.ipv4, c.ipv6) + QStringLiteral(" %1/%2 [%3] [%4]").arg(c.size).arg(c.sizeMode).arg(
                  CounterV2::bytesText(c.address), CounterV2::bytesText(c.mask)), "stored");
        CounterV2Control row;
        row.setConfig(c);
        QTEST(row.form()->ipaddrLabel->text() + ' ' + row.form()->sizeLabel->text(), "summary");
    }

    // Steps on row 5 of the panel: "t:c" is a sample at time t with counter c, one second after the previous step;
    // "R" presses the row's Reset, "F" is the full reset of all rows, "P" a record of port counters, which the panel
    // ignores. Row 4 counts 3 c + 7 and is never reset on its own.
    void rowRefresh_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("chartPoints");
        QTest::addColumn<QString>("otherTotal");
        QTest::newRow("first sample only starts") << "1000:100" << "-" << "-" << 0 << "-";
        QTest::newRow("absolute total") << "1000:100 P 2000:300" << "300" << "200" << 1 << "907";
        QTest::newRow("time did not advance") << "1000:100 2000:300 2000:350" << "350" << "-" << 1 << "1057";
        QTest::newRow("rate without decimals") << "1000:0 3500:1001" << "1001" << "400" << 1 << "3010";
        QTest::newRow("reset shows 0 at once") << "1000:100 2000:300 R" << "0" << "200" << 1 << "907";
        QTest::newRow("reset counts from next sample")
            << "1000:100 2000:300 R 3000:450 4000:500" << "50" << "50" << 3 << "1507";
        QTest::newRow("restarted counter") << "1000:100 2000:300 R 3000:400 4000:50" << "0" << "0" << 3 << "157";
        QTest::newRow("full reset back to absolute")
            << "1000:100 R 2000:300 F 3000:450 4000:700" << "700" << "250" << 1 << "2107";
        QTest::newRow("full reset only takes the sample") << "1000:100 2000:300 F 3000:450" << "-" << "-" << 0 << "-";
        QString minute = QStringLiteral("1000:0");
        for (int i = 2; i <= 40; ++i)
            minute += QStringLiteral(" %1:%2").arg(1000 * i).arg(10 * i);
        QTest::newRow("chart keeps 30 seconds") << minute << "400" << "10" << 31 << "1207";
    }
    void rowRefresh()
    {
        QFETCH(QString, steps);
        MonitorClock clock;
        clock.setManual(QDateTime(QDate(2026, 3, 2), QTime(12, 0)));
        CountersV2Panel panel;
        panel.setClock(&clock);
        CounterV2Control *row = panel.control(5);
        for (const QString &step : steps.split(' ')) {
            if (step == "R" || step == "F") {
                step == "R" ? row->form()->resetBtn->click() : panel.resetAll();
                continue;
            }
            clock.advance(1000);
            const quint64 count = step.section(':', 1).toULongLong();
            StatsThreadInfo info = makeRequest(7);
            info.capabilities = step == "P" ? 0x100u : CountersV2Panel::kCapability;
            info.statistics.sampleTimeMs = step.section(':', 0, 0).toULongLong();
            for (int i = 0; i < 16; ++i)
                info.statistics.u.configurable.counters[i] = i == 5 ? count : 3 * count + 7;
            panel.refresh(info);
        }
        const QCPGraphDataContainer &points = *row->form()->chart->graph(0)->data();
        QTEST(row->form()->totalLabel->text(), "total");
        QTEST(row->form()->rateLabel->text(), "rate");
        QTEST(points.size(), "chartPoints");
        QTEST(panel.control(4)->form()->totalLabel->text(), "otherTotal");
        if (row->form()->rateLabel->text() == QStringLiteral("-"))
            return; // no new point to check
        const double key = double(clock.now().toSecsSinceEpoch());
        QCOMPARE((points.constEnd() - 1)->key, key);
        QCOMPARE(QString::number((points.constEnd() - 1)->value, 'f', 0), row->form()->rateLabel->text());
        QCOMPARE(row->form()->chart->xAxis->range(), QCPRange(key - 29.75, key + 0.25));
        QCOMPARE(row->form()->chart->yAxis->range().lower, 0.0);
    }

    // Selecting a device loads its rules and pushes all sixteen;
    // an edit through the dialog then saves every row and pushes the one edited.
    void setDeviceAndEdit_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<quint64>("handle");
        QTest::addColumn<bool>("stored"); // the MAC names a group of the store
        QTest::newRow("device with stored rules") << kMac << quint64(42) << true;
        QTest::newRow("MAC of the wrong length") << "00:1a:2b" << quint64(42) << false;
        QTest::newRow("no device") << kMac << quint64(kNoDeviceHandle) << true;
    }
    void setDeviceAndEdit()
    {
        QFETCH(QString, mac);
        QFETCH(quint64, handle);
        QFETCH(bool, stored);
        QSettings settings(m_dir.filePath(QStringLiteral("setdevice")), QSettings::IniFormat);
        settings.clear();
        settings.setValue(kGroup + "counter3/isIPv4", 1);
        settings.setValue(kGroup + "counter3/ip", "01 02 02 0a");
        settings.setValue(kGroup + "counter3/ipMask", "ff ff ff ff");
        CountersV2Panel panel;
        panel.setSettings(&settings);
        panel.control(9)->setHidden(true);
        QSignalSpy spy(&panel, &CountersV2Panel::signal_set_v2counterconfig);
        panel.setDevice(handle, mac);
        const int pushes = handle == kNoDeviceHandle ? 0 : 16;
        QCOMPARE(spy.size(), pushes);
        for (int i = 0; i < spy.size(); ++i) {
            const auto info = spy.at(i).at(0).value<StatsThreadInfo>();
            QCOMPARE(info.handle, handle);
            QCOMPARE(dump(info.counterV2Config), dump(panel.control(i)->getConfig()));
        }
        QCOMPARE(panel.control(3)->form()->ipaddrLabel->text(), stored ? QStringLiteral("10.2.2.1") : QString());
        QCOMPARE(panel.control(9)->isHidden(), !stored);
        QTimer::singleShot(0, [] {
            auto *editor = qobject_cast<CounterV2Editor *>(QApplication::activeModalWidget());
            QVERIFY(editor);
            editor->form()->sizeCBox->setCurrentIndex(1);
            editor->form()->sizeTB->setText(QStringLiteral("1500"));
            editor->form()->buttonBox->button(QDialogButtonBox::Ok)->click();
        });
        panel.control(4)->form()->editBtn->click();
        QCOMPARE(panel.control(4)->getConfig().size, 1500u);
        QCOMPARE(spy.size(), pushes ? pushes + 1 : 0);
        if (pushes)
            QCOMPARE(dump(spy.last().at(0).value<StatsThreadInfo>().counterV2Config),
                     dump(panel.control(4)->getConfig()));
        QCOMPARE(settings.value(kGroup + "counter4/size").toInt(), stored ? 1500 : 0);
        QCOMPARE(settings.contains(kGroup + "counter15/hidden"), stored);
    }

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

    // The line drawn through a graph's pixel positions: runs within the band
    // (here half a pixel) keep only their ends; anything else stays a corner.
    void flatRuns_data()
    {
        using Points = QList<QPointF>;
        QTest::addColumn<Points>("points");
        QTest::addColumn<Points>("drawn");
        const double nan = qQNaN();
        QTest::newRow("too short") << Points{{0, 3}, {1, 3}} << Points{{0, 3}, {1, 3}};
        QTest::newRow("flat") << Points{{0, 3}, {1, 3}, {2, 3}, {3, 3}} << Points{{0, 3}, {3, 3}};
        QTest::newRow("within the band") << Points{{0, 3}, {1, 3.3}, {2, 2.9}, {3, 3.2}} << Points{{0, 3}, {3, 3.2}};
        QTest::newRow("steps") << Points{{0, 0}, {1, 0}, {2, 0}, {3, 5}, {4, 5}, {5, 5}, {6, 0}}
                               << Points{{0, 0}, {2, 0}, {3, 5}, {5, 5}, {6, 0}};
        QTest::newRow("slow drift") << Points{{0, 0}, {1, 0.2}, {2, 0.4}, {3, 0.6}, {4, 0.8}}
                                    << Points{{0, 0}, {2, 0.4}, {4, 0.8}};
        QTest::newRow("zigzag") << Points{{0, 0}, {1, 1}, {2, 0}, {3, 1}} << Points{{0, 0}, {1, 1}, {2, 0}, {3, 1}};
        QTest::newRow("gap") << Points{{0, 0}, {1, 0}, {2, 0}, {3, nan}, {4, 0}, {5, 0}, {6, 0}}
                             << Points{{0, 0}, {2, 0}, {3, nan}, {4, 0}, {6, 0}};
        QTest::newRow("going back") << Points{{0, 0}, {4, 0}, {2, 0}, {3, 0}} << Points{{0, 0}, {4, 0}, {2, 0}, {3, 0}};
    }
    void flatRuns()
    {
        QFETCH(QList<QPointF>, points);
        QFETCH(QList<QPointF>, drawn);
        const QList<QPointF> corners = ChartSeries::withoutFlatRunInteriors(points, 0.5);
        QCOMPARE(corners.size(), drawn.size());
        for (qsizetype i = 0; i < drawn.size(); ++i) {
            QCOMPARE(corners[i].x(), drawn[i].x());
            QVERIFY2(corners[i].y() == drawn[i].y() || (qIsNaN(corners[i].y()) && qIsNaN(drawn[i].y())),
                     qPrintable(QString::number(i)));
        }
    }

    // Charts behind another tab are not drawn every second, but the moment
    // their tab shows they are drawn with what came meanwhile.
    void drawnWhenShown()
    {
        QTabWidget tabs; // before the bench: the panel leaves the tabs when it goes
        Bench b;
        b.run(3);
        auto *other = new QWidget;
        tabs.addTab(other, QStringLiteral("Counters"));
        tabs.addTab(&b.panel, QStringLiteral("Charts"));
        tabs.resize(1240, 800);
        tabs.setCurrentWidget(&b.panel);
        tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tabs));
        tabs.setCurrentWidget(other);
        QSignalSpy drawnA(b.chart[0], &QCustomPlot::afterReplot), drawnB(b.chart[1], &QCustomPlot::afterReplot);
        b.run(57); // to a whole minute, a tick on the newest point
        QCOMPARE(drawnA.size() + drawnB.size(), 0);

        tabs.setCurrentWidget(&b.panel);
        QCOMPARE(drawnA.size(), 1);
        QCOMPARE(drawnB.size(), 1);
        for (QCustomPlot *chart : b.chart) {
            // The ticks are laid out by the drawing: they must be those of the newest window.
            const auto ticks = chart->xAxis->tickVector();
            QVERIFY(!ticks.isEmpty());
            QCOMPARE(ticks.last(), b.key());
            QCOMPARE(ticks.first(), b.key() - 90);
        }
        b.run(1);
        QCOMPARE(drawnA.size(), 2);
        QCOMPARE(drawnB.size(), 2);
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

    // The graphs shown for the scale, unit ("/s" or "%") and series chosen per port, and each chart's value axis
    // fitted to them after four refreshes (no point yet on the longer scales) with Port A's usage at 55.
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

    // Each point covers the difference over its step and carries the refresh's usage; Clear empties every graph and a
    // rebase makes the next refresh only take the baselines.
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

QTEST_MAIN(tst_CountersV2Panel)
#include "tst_countersv2panel.moc"
