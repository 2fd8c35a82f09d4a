// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Network Ports tab through its widgets: clicks and the interlock, program
// changes that are not clicks, what an apply reads, the status tables with
// their MDI totals, and enabling by capabilities.

#include "networkportspanel.h"
#include "ui_networkportspanel.h"

#include <QCheckBox>
#include <QTableWidget>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

const QStringList kSuffixes{"AN", "1000F", "100F", "100H", "10F", "10H", "APause", "SPause", "Master", "ForceMS"};
constexpr uint32_t kCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_PORT_SPEED | LQ_CAP_PER_PORT_LINK | LQ_CAP_LOOPBACK;

QCheckBox *box(const NetworkPortsPanel &panel, QChar port, const QString &suffix)
{
    return panel.findChild<QCheckBox *>(QStringLiteral("port") + port + suffix);
}

void setPort(const NetworkPortsPanel &panel, QChar port, const QString &checked)
{
    for (const QString &s : kSuffixes)
        box(panel, port, s)->setChecked(checked.split(' ').contains(s));
}

QString checkedBoxes(const NetworkPortsPanel &panel, QChar port)
{
    QStringList on;
    for (const QString &s : kSuffixes) {
        if (box(panel, port, s)->isChecked())
            on << s;
    }
    return on.join(' ');
}

// Toggles of the apply boxes from now on; program changes must make none.
std::shared_ptr<int> countToggles(const NetworkPortsPanel &panel)
{
    auto count = std::make_shared<int>(0);
    for (QAbstractButton *b : panel.applyButtons())
        QObject::connect(b, &QAbstractButton::toggled, [count] { ++*count; });
    return count;
}

LinkStatus linkRecord(uint32_t speedA, uint32_t speedB, int32_t mdiA, int32_t mdiB)
{
    LinkStatus s;
    std::memset(&s, 0, sizeof s);
    s.portASpeed = speedA;
    s.portBSpeed = speedB;
    s.portBDuplex = 1;
    s.portAPhy.partnerAutoNegCapable = s.portAPhy.advertise1000BaseTFull = 1;
    s.portBPhy.masterSlaveResolution = s.portBPhy.localReceiverOk = 1;
    s.portAPhy.mdiCrossoverErrors = mdiA;
    s.portBPhy.mdiCrossoverErrors = mdiB;
    return s;
}

QString cell(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QStringLiteral("<none>");
}

} // namespace

class tst_NetworkPortsPanel : public QObject {
    Q_OBJECT
private slots:
    void interlock_data()
    {
        QTest::addColumn<uint32_t>("caps");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<QString>("portA");
        QTest::addColumn<QString>("portB");
        QTest::addColumn<bool>("dependentsEnabled");
        auto row = [](const char *name, uint32_t caps, const char *clicked, const char *a, const char *b, bool on) {
            QTest::newRow(name) << caps << QString(clicked) << QString(a) << QString(b) << on;
        };
        row("port A auto-neg off", kCaps, "portAAN", "100H", "AN 10F SPause", false);
        row("port B auto-neg off", kCaps, "portBAN", "AN 1000F 100H 10F APause SPause Master", "10F", false);
        row("no per-port link settings", LQ_CAP_PORT_SPEED, "portAAN", "1000F 100H 10F APause SPause Master",
            "AN 10F SPause", true);
    }
    void interlock()
    {
        QFETCH(uint32_t, caps);
        QFETCH(QString, clicked);
        NetworkPortsPanel panel;
        setPort(panel, 'A', "AN 1000F 100H 10F APause SPause Master");
        setPort(panel, 'B', "AN 10F SPause");
        // As the main window wires it: every apply box runs the interlock.
        for (QAbstractButton *b : panel.applyButtons())
            connect(b, &QAbstractButton::clicked, &panel, [&panel, b, caps] { panel.interlock(b, caps); });
        const auto toggles = countToggles(panel);

        panel.findChild<QCheckBox *>(clicked)->click();

        QTEST(checkedBoxes(panel, 'A'), "portA");
        QTEST(checkedBoxes(panel, 'B'), "portB");
        QCOMPARE(*toggles, 1); // the click itself
        for (const char *s : {"1000F", "APause", "SPause", "Master", "ForceMS"})
            QTEST(box(panel, clicked.at(4), s)->isEnabled(), "dependentsEnabled");
    }

    // Each box stands for its own word of the port-speed record, both ways.
    void boxWords_data()
    {
        QTest::addColumn<int>("word");
        for (int word = 0; word < 20; ++word)
            QTest::addRow("port%c%s", word < 10 ? 'A' : 'B', qPrintable(kSuffixes[word % 10])) << word;
    }
    void boxWords()
    {
        QFETCH(int, word);
        const QChar port = word < 10 ? 'A' : 'B';
        uint32_t words[20] = {};
        words[word] = 1;
        DevicePortsSpeed ports;
        std::memcpy(&ports, words, sizeof ports);
        NetworkPortsPanel panel;
        panel.showFeatures(DeviceFeatures{}, ports, kCaps);
        QCOMPARE(checkedBoxes(panel, port) + checkedBoxes(panel, port == 'A' ? 'B' : 'A'), kSuffixes[word % 10]);

        const DevicePortsSpeed sent = panel.portsSpeed(0);
        QVERIFY(std::memcmp(&sent, words, sizeof sent) == 0);
    }

    // Also the rule the SFP page's twin boxes follow.
    void showFeatures_data()
    {
        QTest::addColumn<uint32_t>("caps");
        QTest::addColumn<uint32_t>("tapMode");
        QTest::addColumn<uint32_t>("loopbackWord");
        QTest::addColumn<bool>("span");
        QTest::addColumn<bool>("loopback");
        QTest::newRow("span with loopback") << kCaps << 0u << 1u << true << true;
        QTest::newRow("plain tap hides loopback") << kCaps << 1u << 1u << false << false;
        QTest::newRow("tap mode 2: span, no loopback") << kCaps << 2u << 1u << true << false;
        QTest::newRow("loopback 2 is off") << kCaps << 0u << 2u << true << false;
        QTest::newRow("no loopback capability") << uint32_t(LQ_CAP_PORT_SPEED) << 0u << 1u << true << false;
        QTest::newRow("no span capability") << uint32_t(LQ_CAP_LOOPBACK) << 0u << 1u << false << true;
    }
    void showFeatures()
    {
        QFETCH(uint32_t, caps);
        QFETCH(uint32_t, tapMode);
        QFETCH(uint32_t, loopbackWord);
        QFETCH(bool, span);
        QFETCH(bool, loopback);
        NetworkPortsPanel panel;
        panel.form()->spanModeCheckbox->setChecked(!span);
        panel.form()->loopbackCheckBox->setChecked(!loopback);
        setPort(panel, 'A', kSuffixes.join(' '));
        const auto toggles = countToggles(panel);
        DeviceFeatures features{};
        features.tap_mode = tapMode;
        features.loopback = loopbackWord;
        DevicePortsSpeed ports{};
        ports.portA.auto_negotiation = 1;
        ports.portA.speed_10_half = 2; // anything but 1 is off
        ports.portB.master = 1;

        panel.showFeatures(features, ports, caps);
        QCOMPARE(panel.form()->spanModeCheckbox->isChecked(), span);
        QCOMPARE(panel.form()->loopbackCheckBox->isChecked(), loopback);
        QCOMPARE(checkedBoxes(panel, 'A'), QString("AN"));
        QCOMPARE(checkedBoxes(panel, 'B'), QString("Master"));
        QCOMPARE(*toggles, 0);
    }

    void setDefaults()
    {
        for (bool span : {true, false}) {
            NetworkPortsPanel panel;
            panel.form()->spanModeCheckbox->setChecked(span);
            panel.form()->loopbackCheckBox->setChecked(true);
            setPort(panel, 'A', "100H Master ForceMS");
            const auto toggles = countToggles(panel);
            panel.setDefaults();
            QCOMPARE(panel.form()->spanModeCheckbox->isChecked(), span);
            QVERIFY(!panel.form()->loopbackCheckBox->isChecked());
            for (QChar port : {'A', 'B'})
                QCOMPARE(checkedBoxes(panel, port), QString("AN 1000F 100F 100H 10F 10H APause SPause"));
            QCOMPARE(*toggles, 0);
        }
    }

    // What an apply takes from the tab: tap_mode and loopback (every other
    // field as last read), then the port-speed record for that tap mode.
    void readForApply_data()
    {
        QTest::addColumn<uint32_t>("caps");
        QTest::addColumn<bool>("span");
        QTest::addColumn<uint32_t>("tapMode");
        QTest::addColumn<uint32_t>("loopback");
        QTest::newRow("span") << kCaps << true << 0u << 1u;
        QTest::newRow("plain tap copies Port A") << kCaps << false << 1u << 1u;
        QTest::newRow("no span capability keeps tap mode") << uint32_t(LQ_CAP_LOOPBACK) << true << 9u << 1u;
        QTest::newRow("no loopback capability sends 0") << uint32_t(LQ_CAP_PORT_SPEED) << true << 0u << 0u;
        QTest::newRow("SFP page in use") << (kCaps | LQ_CAP_SFP) << true << 9u << 7u;
    }
    void readForApply()
    {
        QFETCH(uint32_t, caps);
        QFETCH(bool, span);
        NetworkPortsPanel panel;
        panel.form()->spanModeCheckbox->setChecked(span);
        panel.form()->loopbackCheckBox->setChecked(true);
        setPort(panel, 'A', "AN 1000F SPause");
        setPort(panel, 'B', "10H ForceMS");
        DeviceFeatures features;
        std::memset(&features, 0xa5, sizeof features);
        features.tap_mode = 9;
        features.loopback = 7;
        DeviceFeatures expected = features;
        QFETCH(uint32_t, tapMode);
        QFETCH(uint32_t, loopback);
        expected.tap_mode = tapMode;
        expected.loopback = loopback;

        panel.readFeatures(&features, caps);
        QVERIFY(std::memcmp(&features, &expected, sizeof features) == 0);
        const DevicePortsSpeed ports = panel.portsSpeed(features.tap_mode);
        const bool copied = tapMode == 1;
        QCOMPARE(ports.portA.speed_1000_full, 1u);
        QCOMPARE(ports.portB.speed_1000_full, copied ? 1u : 0u);
        QCOMPARE(ports.portB.force_master_slave, copied ? 0u : 1u);
    }

    void showStatus()
    {
        NetworkPortsPanel panel;
        const Ui::NetworkPortsPanel *u = panel.form();
        panel.showStatus(linkRecord(LQ_LINK_1G, LQ_LINK_100M, 2, 1), kCaps);
        panel.showStatus(linkRecord(LQ_LINK_1G, LQ_LINK_DOWN, 3, 50), kCaps);
        const QStringList a{cell(u->physRegsTable1, 0, 1), cell(u->physRegsTable1, 1, 1), cell(u->physRegsTable2, 4, 1),
                            cell(u->physRegsTable3, 3, 1), cell(u->physRegsTable3, 17, 1)};
        QCOMPARE(a, QString("1Gbps FDX|Master|Yes|Not OK|5").split('|'));
        const QStringList b{cell(u->physRegsTable1, 0, 2), cell(u->physRegsTable1, 1, 2), cell(u->physRegsTable2, 4, 2),
                            cell(u->physRegsTable3, 3, 2), cell(u->physRegsTable3, 17, 2)};
        QCOMPARE(b, QString("Down|N/A|N/A|OK|N/A").split('|'));

        // Without per-port link status nothing is shown and nothing counted.
        panel.showStatus(linkRecord(LQ_LINK_1G, LQ_LINK_1G, 100, 100), LQ_CAP_PORT_SPEED);
        for (const QTableWidget *table : {u->physRegsTable1, u->physRegsTable2, u->physRegsTable3}) {
            for (int row = 0; row < table->rowCount(); ++row) {
                QCOMPARE(cell(table, row, 1) + cell(table, row, 2), QString());
                QVERIFY(!cell(table, row, 0).isEmpty());
            }
        }
        panel.showStatus(linkRecord(LQ_LINK_1G, LQ_LINK_1G, 1, 4), kCaps);
        QCOMPARE(cell(u->physRegsTable3, 17, 1), QString("6"));
        QCOMPARE(cell(u->physRegsTable3, 17, 2), QString("5"));
        panel.resetMdiTotals();
        panel.showStatus(linkRecord(LQ_LINK_1G, LQ_LINK_1G, 2, 0), kCaps);
        QCOMPARE(cell(u->physRegsTable3, 17, 1), QString("2"));
    }

    void applyCapabilities_data()
    {
        QTest::addColumn<uint32_t>("caps");
        QTest::addColumn<bool>("on");
        QTest::addColumn<uint32_t>("tapMode");
        // span, loopback, portAAN, portA1000F (auto-neg on), portA1000F (auto-neg off), portBAN
        QTest::addColumn<QList<bool>>("enabled");
        QTest::addColumn<bool>("poe");
        QTest::newRow("span mode") << (kCaps | LQ_CAP_POE) << true << 0u
                                   << QList<bool>{true, true, true, true, false, true} << true;
        QTest::newRow("plain tap: Port B and loopback off")
            << kCaps << true << 1u << QList<bool>{true, false, true, true, false, false} << false;
        QTest::newRow("no span capability") << uint32_t(LQ_CAP_CONFIGURABLE | LQ_CAP_LOOPBACK) << true << 0u
                                            << QList<bool>{false, true, false, false, false, false} << false;
        QTest::newRow("firmware update") << kCaps << false << 0u << QList<bool>(6, false) << false;
    }
    void applyCapabilities()
    {
        QFETCH(uint32_t, caps);
        QFETCH(bool, on);
        QFETCH(uint32_t, tapMode);
        NetworkPortsPanel panel;
        const Ui::NetworkPortsPanel *u = panel.form();
        u->portAAN->setChecked(true);
        u->portBAN->setChecked(true);
        panel.applyCapabilities(caps, on, tapMode);
        const bool negotiating1000 = u->portA1000F->isEnabled();
        u->portAAN->setChecked(false);
        panel.applyCapabilities(caps, on, tapMode);
        QTEST((QList<bool>{u->spanModeCheckbox->isEnabled(), u->loopbackCheckBox->isEnabled(), u->portAAN->isEnabled(),
                           negotiating1000, u->portA1000F->isEnabled(), u->portBAN->isEnabled()}),
              "enabled");
        QTEST(u->groupBox_14->isVisibleTo(&panel), "poe");
    }
};

QTEST_MAIN(tst_NetworkPortsPanel)
#include "tst_networkportspanel.moc"
