// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The configurable-counters tab offscreen: rules through the settings store
// and the editor, a row's totals, rates and chart across resets, and the
// panel's loading, saving and pushes to the worker.

#include "countersv2panel.h"
#include "counterv2config.h"
#include "counterv2control.h"
#include "counterv2editor.h"
#include "modalanswerer.h"
#include "ui_counterv2control.h"
#include "ui_counterv2editor.h"

#include <qcustomplot.h>

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kMac = QStringLiteral("00:1a:2b:3c:4d:5e");
const QString kGroup = QStringLiteral("DeviceConfig/001a2b3c4d5e/StatsV2/");

StatsThreadInfo record(quint64 timeMs, const std::function<quint64(int)> &counter)
{
    StatsThreadInfo info = makeRequest(7);
    info.capabilities = CountersV2Panel::kCapability;
    info.statistics.sampleTimeMs = timeMs;
    for (int i = 0; i < 16; ++i)
        info.statistics.u.configurable.counters[i] = counter(i);
    return info;
}

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

} // namespace

class tst_CountersV2Panel : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { registerStatsThreadInfo(); }

    // An IPv4 rule with every other field set goes to the store and back, and
    // through the editor's form and back, unchanged. Stored values the device
    // cannot take are read as "don't care", "any size", "off" or a zero byte.
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
    void editorAccept_data()
    {
        QTest::addColumn<QList<int>>("states");   // IPv4 and IPv6 check states, size choice, answer to the question
        QTest::addColumn<QStringList>("texts");   // IPv4, IPv6 and size boxes
        QTest::addColumn<QString>("stored"); // tri-states, size, address and mask as dump() shows them
        QTest::addColumn<QString>("summary");
        const QString zero = '[' + QStringList(16, "00").join(' ') + ']', none = zero + ' ' + zero;
        QTest::newRow("both families") << QList<int>{2, 2, 0, 0} << QStringList{"10.0.0.1", "fe80::1", "64"}
                                       << "1 1 0/-1 " + none << " Any size";
        QTest::newRow("greater than 1500") << QList<int>{1, 1, 1, 0} << QStringList{"10.0.0.1", "", "1500"}
                                           << "-1 -1 1500/0 " + none << " > 1500";
        QTest::newRow("ipv4 with wildcard")
            << QList<int>{2, 0, 2, 0} << QStringList{"192.168.*.7", "", "60"}
            << "1 0 60/1 [07 00 a8 c0 00 00 00 00 00 00 00 00 00 00 00 00] [ff 00 ff ff 00 00 00 00 00 00 00 00 00 00 00 00]"
            << "192.168.*.7 < 60";
        QTest::newRow("ipv6 with wildcard")
            << QList<int>{0, 2, 3, 0} << QStringList{"", "fe80::*", ""}
            << "0 1 0/2 [00 00 00 00 00 00 00 00 00 00 00 00 00 00 80 fe] [f0 ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff]"
            << "fe80:0000:0000:0000:0000:0000:0000:00** = 0";
        QTest::newRow("incomplete, keep editing")
            << QList<int>{2, 0, 0, QMessageBox::No} << QStringList{"192.168.", "", ""} << "-1 -1 0/-1 " + none
            << " Any size";
        QTest::newRow("incomplete, save without address")
            << QList<int>{2, 0, 0, QMessageBox::Yes} << QStringList{"192.168.", "", ""} << "1 0 0/-1 " + none
            << "*.*.*.* Any size";
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

    // Steps on row 5 of the panel: "t:c" is a sample at time t with counter c,
    // one second after the previous step; "R" presses the row's Reset, "F" is
    // the full reset of all rows, "P" a record of port counters, which the
    // panel ignores. Row 4 counts 3 c + 7 and is never reset on its own.
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
            StatsThreadInfo info = record(step.section(':', 0, 0).toULongLong(),
                                          [count](int i) { return i == 5 ? count : 3 * count + 7; });
            if (step == "P")
                info.capabilities = 0x100;
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
};

QTEST_MAIN(tst_CountersV2Panel)
#include "tst_countersv2panel.moc"
