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

QCPGraphDataContainer &points(CounterV2Control *row)
{
    return *row->form()->chart->graph(0)->data();
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
    // through the editor's form and back, unchanged.
    void ruleRoundTrip()
    {
        CounterV2Config c = CounterV2::defaultConfig(11);
        c.ipv4 = 1, c.ipv6 = 0, c.broadcast = 0, c.multicast = 1, c.icmp = 0, c.udp = 1, c.tcp = 0, c.crcValid = 1;
        c.dropped = 0, c.size = 9000, c.sizeMode = 2, c.portB = 1, c.countingMode = 1;
        QVERIFY(CounterV2::parseFamilyAddress(QStringLiteral("192.168.*.7"), false, c.address, c.mask));
        QSettings settings(m_dir.filePath(QStringLiteral("roundtrip")), QSettings::IniFormat);
        QVERIFY(CounterV2::writeConfig(settings, kMac, c, false));
        QCOMPARE(settings.value(kGroup + "counter11/ip"), "07 00 a8 c0 00 00 00 00 00 00 00 00 00 00 00 00");
        QCOMPARE(settings.value(kGroup + "counter11/ipMask"), "ff 00 ff ff 00 00 00 00 00 00 00 00 00 00 00 00");
        settings.sync();
        QSettings reread(settings.fileName(), QSettings::IniFormat);
        const auto loaded = CounterV2::readConfig(reread, kMac, 11);
        QVERIFY(loaded);
        QCOMPARE(dump(*loaded), dump(c));

        CounterV2Editor editor;
        editor.setConfig(*loaded);
        QCOMPARE(editor.windowTitle(), QStringLiteral("Edit Counter 11"));
        QCOMPARE(editor.form()->ipv4TB->text(), QStringLiteral("192.168.*.7"));
        editor.form()->buttonBox->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(dump(editor.getConfig()), dump(c)); // "dropped" has no control and is kept
    }

    void loadCorrections_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("loaded"); // the fields that differ from the defaults
        QTest::newRow("isbcast 5") << "isbcast" << "5" << "";
        QTest::newRow("isIPv6 not a number") << "isIPv6" << "yes" << "";
        QTest::newRow("sizeMode 3") << "sizeMode" << "3" << "";
        QTest::newRow("sizeMode 2 kept") << "sizeMode" << "2" << "sizeMode 2";
        QTest::newRow("mode 2") << "mode" << "2" << "";
        QTest::newRow("port1 7") << "port1" << "7" << "";
        QTest::newRow("ip with bad parts") << "ip" << "zz 01 100 7f" << "address 00 01 00 7f";
    }
    void loadCorrections()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, loaded);
        QSettings settings(m_dir.filePath(QStringLiteral("corrections")), QSettings::IniFormat);
        settings.clear();
        settings.setValue(kGroup + "counter4/" + key, stored);
        CounterV2Config expected = CounterV2::defaultConfig(4);
        if (loaded.startsWith("sizeMode"))
            expected.sizeMode = 2;
        else if (loaded.startsWith("address"))
            CounterV2::bytesFromText(loaded.mid(8), expected.address);
        QCOMPARE(dump(*CounterV2::readConfig(settings, kMac, 4)), dump(expected));
    }

    void editorAccept_data()
    {
        QTest::addColumn<int>("v4");
        QTest::addColumn<int>("v6");
        QTest::addColumn<QString>("v4Text");
        QTest::addColumn<QString>("v6Text");
        QTest::addColumn<int>("sizeIndex");
        QTest::addColumn<QString>("sizeText");
        QTest::addColumn<QString>("stored"); // tri-states, size, address and mask as dump() shows them
        QTest::addColumn<QString>("summary");
        const QString zero = QStringLiteral("[00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00]");
        QTest::newRow("both families") << 2 << 2 << "10.0.0.1" << "fe80::1" << 0 << "64"
            << "1 1 0/-1 " + zero + " " + zero << " Any size";
        QTest::newRow("greater than 1500") << 1 << 1 << "10.0.0.1" << "" << 1 << "1500"
            << "-1 -1 1500/0 " + zero + " " + zero << " > 1500";
        QTest::newRow("ipv4 with wildcard") << 2 << 0 << "192.168.*.7" << "" << 2 << "60"
            << "1 0 60/1 [07 00 a8 c0 00 00 00 00 00 00 00 00 00 00 00 00] [ff 00 ff ff 00 00 00 00 00 00 00 00 00 00 00 00]"
            << "192.168.*.7 < 60";
        QTest::newRow("ipv6 with wildcard") << 0 << 2 << "" << "fe80::*" << 3 << ""
            << "0 1 0/2 [00 00 00 00 00 00 00 00 00 00 00 00 00 00 80 fe] [f0 ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff]"
            << "fe80:0000:0000:0000:0000:0000:0000:00** = 0";
    }
    void editorAccept()
    {
        QFETCH(int, v4);
        QFETCH(int, v6);
        QFETCH(QString, v4Text);
        QFETCH(QString, v6Text);
        QFETCH(int, sizeIndex);
        QFETCH(QString, sizeText);
        CounterV2Editor editor;
        editor.setConfig(CounterV2::defaultConfig(5));
        Ui::CounterV2Editor *f = editor.form();
        f->ipv4TB->setText(v4Text);
        f->ipv6TB->setText(v6Text);
        f->ipv4CB->setCheckState(Qt::CheckState(v4));
        f->ipv6CB->setCheckState(Qt::CheckState(v6));
        f->sizeCBox->setCurrentIndex(sizeIndex);
        f->sizeTB->setText(sizeText);
        f->buttonBox->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(editor.result(), int(QDialog::Accepted));

        const CounterV2Config c = editor.getConfig();
        QTEST(QStringLiteral("%1 %2 %3/%4 [%5] [%6]")
                  .arg(c.ipv4)
                  .arg(c.ipv6)
                  .arg(c.size)
                  .arg(c.sizeMode)
                  .arg(CounterV2::bytesText(c.address), CounterV2::bytesText(c.mask)),
              "stored");
        CounterV2Control row;
        row.setConfig(c);
        QTEST(row.form()->ipaddrLabel->text() + ' ' + row.form()->sizeLabel->text(), "summary");
    }

    void editorEnabling_data()
    {
        QTest::addColumn<int>("v4");
        QTest::addColumn<int>("v6");
        QTest::addColumn<int>("sizeIndex");
        QTest::addColumn<QString>("enabled");
        QTest::newRow("ipv4 only") << 2 << 1 << 1 << "ipv4TB sizeTB";
        QTest::newRow("ipv6 only") << 0 << 2 << 2 << "ipv6TB sizeTB";
        QTest::newRow("both") << 2 << 2 << 3 << "sizeTB";
        QTest::newRow("neither, any size") << 1 << 0 << 0 << "";
    }
    void editorEnabling()
    {
        QFETCH(int, v4);
        QFETCH(int, v6);
        QFETCH(int, sizeIndex);
        CounterV2Editor editor;
        editor.form()->ipv4CB->setCheckState(Qt::CheckState(v4));
        editor.form()->ipv6CB->setCheckState(Qt::CheckState(v6));
        editor.form()->sizeCBox->setCurrentIndex(sizeIndex);
        QStringList enabled;
        for (QLineEdit *box : {editor.form()->ipv4TB, editor.form()->ipv6TB, editor.form()->sizeTB})
            if (box->isEnabled())
                enabled << box->objectName();
        QTEST(enabled.join(' '), "enabled");
    }

    void incompleteAddressAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("keep editing") << int(QMessageBox::No) << false;
        QTest::newRow("save without address") << int(QMessageBox::Yes) << true;
    }
    void incompleteAddressAsks()
    {
        QFETCH(int, answer);
        QFETCH(bool, accepted);
        CounterV2Editor editor;
        editor.form()->ipv4CB->setCheckState(Qt::Checked);
        editor.form()->ipv4TB->setText(QStringLiteral("192.168."));
        QVERIFY(editor.form()->addressHint->text().contains(QStringLiteral("192.168.")));
        ModalAnswerer answerer{QMessageBox::StandardButton(answer)};
        editor.form()->buttonBox->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(answerer.titles, QStringList{QStringLiteral("Incomplete address")});
        QCOMPARE(editor.result() == QDialog::Accepted, accepted);
        QCOMPARE(editor.form()->ipv4TB->text(), QStringLiteral("192.168."));
        QCOMPARE(editor.getConfig().ipv4, accepted ? 1 : -1);
    }

    // Steps: "t:c" is a sample at time t with counter c, one second after the
    // previous one; "R" presses Reset, "F" requests the full reset.
    void rowRefresh_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("chartPoints");
        QTest::newRow("first sample only starts") << "1000:100" << "-" << "-" << 0;
        QTest::newRow("absolute total") << "1000:100 2000:300" << "300" << "200" << 1;
        QTest::newRow("time did not advance") << "1000:100 2000:300 2000:350" << "350" << "-" << 1;
        QTest::newRow("rate without decimals") << "1000:0 3500:1001" << "1001" << "400" << 1;
        QTest::newRow("reset shows 0 at once") << "1000:100 2000:300 R" << "0" << "200" << 1;
        QTest::newRow("reset counts from next sample") << "1000:100 2000:300 R 3000:450 4000:500" << "50" << "50" << 3;
        QTest::newRow("restarted counter") << "1000:100 2000:300 R 3000:400 4000:50" << "0" << "0" << 3;
        QTest::newRow("full reset back to absolute") << "1000:100 R 2000:300 F 3000:450 4000:700" << "700" << "250"
            << 1;
        QTest::newRow("full reset only takes the sample") << "1000:100 2000:300 F 3000:450" << "-" << "-" << 0;
        QString minute = QStringLiteral("1000:0");
        for (int i = 2; i <= 40; ++i)
            minute += QStringLiteral(" %1:%2").arg(1000 * i).arg(10 * i);
        QTest::newRow("chart keeps 30 seconds") << minute << "400" << "10" << 31;
    }
    void rowRefresh()
    {
        QFETCH(QString, steps);
        MonitorClock clock;
        clock.setManual(QDateTime(QDate(2026, 3, 2), QTime(12, 0)));
        CounterV2Control row;
        row.setClock(&clock);
        row.setIndex(5);
        for (const QString &step : steps.split(' ')) {
            if (step == "R" || step == "F") {
                step == "R" ? row.requestReset() : row.requestFullReset();
                continue;
            }
            clock.advance(1000);
            const quint64 count = step.section(':', 1).toULongLong();
            // Other counters carry other values, so reading the wrong word shows.
            const StatsThreadInfo info = record(step.section(':', 0, 0).toULongLong(),
                                                [count](int i) { return i == 5 ? count : 3 * count + 7; });
            row.showSample(CounterSample::from(info.statistics));
        }
        QTEST(row.form()->totalLabel->text(), "total");
        QTEST(row.form()->rateLabel->text(), "rate");
        QTEST(points(&row).size(), "chartPoints");
        if (row.form()->rateLabel->text() == QStringLiteral("-"))
            return; // no new point to check
        const double key = double(clock.now().toSecsSinceEpoch());
        const QCPGraphData last = *(points(&row).constEnd() - 1);
        QCOMPARE(last.key, key);
        QCOMPARE(QString::number(last.value, 'f', 0), row.form()->rateLabel->text());
        QCOMPARE(row.form()->chart->xAxis->range().upper, key + 0.25);
        QCOMPARE(row.form()->chart->xAxis->range().size(), 30.0);
        QCOMPARE(row.form()->chart->yAxis->range().lower, 0.0);
    }

    // Reset on one row against resetAll on all, through the panel's refresh.
    void panelResets()
    {
        CountersV2Panel panel;
        const auto tick = [&panel](quint64 n) {
            panel.refresh(record(1000 * n, [n](int i) { return 100 * n * quint64(i + 1); }));
        };
        const auto total = [&panel](int i) { return panel.control(i)->form()->totalLabel->text(); };
        panel.resetAll();
        tick(1);
        tick(2);
        panel.control(2)->form()->resetBtn->click();
        tick(3);
        tick(4);
        QCOMPARE(total(2), QStringLiteral("300"));  // 1200 - 900: counts from the reset
        QCOMPARE(total(3), QStringLiteral("1600")); // the device's absolute count
        StatsThreadInfo portCounters = record(5000, [](int) { return quint64(1); });
        portCounters.capabilities = 0x100;
        panel.refresh(portCounters);
        QCOMPARE(total(3), QStringLiteral("1600"));

        panel.resetAll();
        tick(5);
        QCOMPARE(total(2) + total(3), QStringLiteral("--"));
        QCOMPARE(points(panel.control(2)).size() + points(panel.control(3)).size(), 0);
        tick(6);
        QCOMPARE(total(2), QStringLiteral("1800"));
        QCOMPARE(panel.control(2)->form()->rateLabel->text(), QStringLiteral("300"));
    }

    void setDevice_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<quint64>("handle");
        QTest::addColumn<int>("pushes");
        QTest::addColumn<bool>("loads");
        QTest::newRow("device with stored rules") << kMac << quint64(42) << 16 << true;
        QTest::newRow("MAC of the wrong length") << "00:1a:2b" << quint64(42) << 16 << false;
        QTest::newRow("no device") << kMac << quint64(kNoDeviceHandle) << 0 << true;
    }
    void setDevice()
    {
        QFETCH(QString, mac);
        QFETCH(quint64, handle);
        QFETCH(bool, loads);
        QSettings settings(m_dir.filePath(QStringLiteral("setdevice")), QSettings::IniFormat);
        settings.clear();
        settings.setValue(kGroup + "counter3/isIPv4", 1);
        settings.setValue(kGroup + "counter3/ip", "01 02 02 0a");
        settings.setValue(kGroup + "counter3/ipMask", "ff ff ff ff");
        settings.setValue(kGroup + "counter7/isbcast", 5);

        CountersV2Panel panel;
        panel.setSettings(&settings);
        CounterV2Config marked = CounterV2::defaultConfig(7);
        marked.broadcast = 1;
        panel.control(7)->setConfig(marked);
        panel.control(9)->setHidden(true);
        QSignalSpy spy(&panel, &CountersV2Panel::signal_set_v2counterconfig);
        panel.setDevice(handle, mac);

        QTEST(int(spy.size()), "pushes");
        for (int i = 0; i < spy.size(); ++i) {
            const auto info = spy.at(i).at(0).value<StatsThreadInfo>();
            QCOMPARE(info.handle, handle);
            QCOMPARE(info.counterV2Config.index, uint32_t(i));
            QCOMPARE(dump(info.counterV2Config), dump(panel.control(i)->getConfig()));
        }
        QCOMPARE(panel.control(3)->form()->ipaddrLabel->text(), loads ? QStringLiteral("10.2.2.1") : QString());
        QCOMPARE(panel.control(7)->getConfig().broadcast, loads ? -1 : 1);
        QCOMPARE(panel.control(9)->isHidden(), !loads);
    }

    // Edit, the dialog, the save of all sixteen for the device, one push.
    void editSavesAndSends()
    {
        QSettings settings(m_dir.filePath(QStringLiteral("edit")), QSettings::IniFormat);
        CountersV2Panel panel;
        panel.setSettings(&settings);
        panel.setDevice(42, kMac);
        QSignalSpy spy(&panel, &CountersV2Panel::signal_set_v2counterconfig);
        QTimer::singleShot(0, [] {
            auto *editor = qobject_cast<CounterV2Editor *>(QApplication::activeModalWidget());
            QVERIFY(editor);
            editor->form()->sizeCBox->setCurrentIndex(1);
            editor->form()->sizeTB->setText(QStringLiteral("1500"));
            editor->form()->buttonBox->button(QDialogButtonBox::Ok)->click();
        });
        panel.control(4)->form()->editBtn->click();

        QCOMPARE(spy.size(), 1);
        const auto info = spy.at(0).at(0).value<StatsThreadInfo>();
        QCOMPARE(info.handle, quint64(42));
        QCOMPARE(dump(info.counterV2Config), dump(panel.control(4)->getConfig()));
        QCOMPARE(info.counterV2Config.index, 4u);
        QCOMPARE(info.counterV2Config.size, 1500u);
        for (int i = 0; i < 16; ++i)
            QVERIFY(settings.contains(kGroup + QStringLiteral("counter%1/hidden").arg(i)));
        QCOMPARE(settings.value(kGroup + "counter4/size").toInt(), 1500);
    }
};

QTEST_MAIN(tst_CountersV2Panel)
#include "tst_countersv2panel.moc"
