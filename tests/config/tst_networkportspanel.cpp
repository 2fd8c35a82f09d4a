// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Network Ports tab: its rules without widgets (interlock, link and PHY texts), then the
// panel (which box is which record word, span and loopback, status tables, enabling).

#include "networkportspanel.h"
#include "portsettings.h"
#include "ui_networkportspanel.h"

#include <QtTest>
#include <QtWidgets>

#include <cstring>
#include <tuple>

using namespace PortSettings;

namespace {

// A port's boxes in record field order, as object name suffixes.
const QStringList kBoxes{"AN", "1000F", "100F", "100H", "10F", "10H", "APause", "SPause", "Master", "ForceMS"};
constexpr uint32_t kCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_PORT_SPEED | LQ_CAP_PER_PORT_LINK | LQ_CAP_LOOPBACK;

QString tokens(const PortBoxes &b)
{
    QStringList on;
    for (int i = 0; i < kPortBoxCount; ++i) {
        if (b[static_cast<PortBox>(i)])
            on << kBoxes[i];
    }
    return on.join(' ');
}

QCheckBox *box(const NetworkPortsPanel &panel, QChar port, const QString &suffix)
{
    return panel.findChild<QCheckBox *>(QStringLiteral("port") + port + suffix);
}

// "Port A's checked boxes|Port B's".
QString checkedBoxes(const NetworkPortsPanel &panel)
{
    QStringList ports;
    for (QChar port : {'A', 'B'}) {
        PortBoxes b;
        for (int i = 0; i < kPortBoxCount; ++i)
            b[static_cast<PortBox>(i)] = box(panel, port, kBoxes[i])->isChecked();
        ports << tokens(b);
    }
    return ports.join('|');
}

// A PHY record with the 32-bit words from `offset` on, `count` of them, set to `value`.
PortPhyStatus phyWith(size_t offset, size_t count, uint32_t value)
{
    PortPhyStatus phy{};
    for (size_t i = 0; i < count; ++i)
        std::memcpy(reinterpret_cast<char *>(&phy) + offset + 4 * i, &value, sizeof value);
    return phy;
}

QString cell(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QStringLiteral("<none>");
}

// Boxes once the click toggled one, the box clicked, the boxes after the interlock, and
// whether the auto-negotiation-only boxes become usable (-1: left as they are). AN clicked
// off with every speed on runs end to end in tst_featuresflow.
// clang-format off
const struct InterlockRow { const char *name, *after, *clicked, *expected; int enabled; } kInterlock[] = {
    {"an off keeps 100TX-HD over 10TX-FD", "1000F 100H 10F APause SPause Master ForceMS", "AN", "100H", 0},
    {"an off keeps 10TX-FD over 10TX-HD", "10F 10H", "AN", "10F", 0},
    {"an off keeps a lone 10TX-HD", "1000F 10H", "AN", "10H", 0},
    {"an off without speed forces 100TX-FD", "1000F SPause", "AN", "100F", 0},
    {"an on enables, changes nothing", "AN 100H", "AN", "AN 100H", 1},
    {"forced 10TX-FD is the only speed", "1000F 100F 10F 10H APause", "10F", "10F APause", -1},
    {"forced box clicked again stays", "", "100H", "100H", -1},
    {"negotiated speeds independent", "AN 100F 10F", "10F", "AN 100F 10F", -1},
};
// clang-format on

} // namespace

class tst_NetworkPortsPanel : public QObject {
    Q_OBJECT
private slots:
    void interlock_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < int(std::size(kInterlock)); ++i)
            QTest::newRow(kInterlock[i].name) << i;
    }
    void interlock()
    {
        QFETCH(int, row);
        const InterlockRow &r = kInterlock[row];
        PortBoxes boxes;
        for (const QString &t : QString(r.after).split(' ', Qt::SkipEmptyParts))
            boxes[static_cast<PortBox>(kBoxes.indexOf(t))] = true;
        const InterlockResult result = PortSettings::interlock(boxes, static_cast<PortBox>(kBoxes.indexOf(r.clicked)));
        QCOMPARE(tokens(result.checked), QString(r.expected));
        QCOMPARE(result.negotiationBoxesEnabled.has_value(), r.enabled >= 0);
        QCOMPARE(result.negotiationBoxesEnabled.value_or(false), r.enabled == 1);
    }

    // A flag of exactly 1 lights its own row and no other, checked against the record layout
    // (partner rows 1-11, then fault rows 0-16); other values are off. Then, every flag 1 but
    // those given: link, master/slave, partner rows 0, 1, 11, master/slave fault and MDI total
    // shown. Duplex 0 is full, anything else half; code 4 (and undefined codes) is unknown but up.
    void phyTexts()
    {
        uint64_t total = 0;
        for (uint32_t value : {1u, 2u, 0xffffffffu}) {
            for (int lit = 0; lit < 28; ++lit) {
                PortPhyStatus phy = phyWith(size_t(0x08 + 4 * lit), 1, value);
                phy.partnerAutoNegCapable = 1;
                const PhyTexts t = PortSettings::phyTexts(phy, LQ_LINK_1G, total);
                QStringList shown(t.partner.begin() + 1, t.partner.end()), expected;
                shown += QStringList(t.faults.begin(), t.faults.end() - 1);
                for (int i = 0; i < 28; ++i) {
                    const bool on = i == lit && value == 1;
                    expected << ((i == 14 || i == 15) ? (on ? "OK" : "Not OK") : (on ? "Yes" : "No"));
                }
                QCOMPARE(shown, expected);
            }
        }
        const std::tuple<uint32_t, uint32_t, uint32_t, uint32_t, const char *> rows[] = {
            {1, 3, LQ_LINK_1G, 0, "1Gbps FDX|Slave Yes Yes Yes Yes 0"},
            {1, 0, LQ_LINK_10G, 7, "10Gbps HDX|Master Yes Yes Yes Yes 0"},
            {0, 3, LQ_LINK_10M, 0, "10Mbps FDX|Slave No N/A N/A Yes 0"},
            {2, 3, LQ_LINK_100M, 1, "100Mbps HDX|Slave No N/A N/A Yes 0"},
            {1, 0, LQ_LINK_DOWN, 0, "Down|N/A Yes Yes Yes N/A N/A"},
            {1, 3, LQ_LINK_UNKNOWN, 0, "Unknown|Slave Yes Yes Yes Yes 0"},
        };
        for (const auto &[partner, resolution, speed, duplex, text] : rows) {
            PortPhyStatus phy = phyWith(0, 0x78 / 4, 1);
            phy.partnerAutoNegCapable = partner;
            phy.masterSlaveResolution = resolution;
            total = 0;
            const PhyTexts t = PortSettings::phyTexts(phy, speed, total);
            const QStringList shown{t.masterSlave, t.partner[0], t.partner[1], t.partner[11], t.faults[2]};
            QCOMPARE(linkText(speed, duplex) + '|' + shown.join(' ') + ' ' + t.faults[17], QString(text));
        }
    }

    // Port A's interlock runs end to end in tst_featuresflow; here the panel applies it
    // to Port B's row, and not at all without per-port link settings.
    void panelInterlockNeedsPerPortLink()
    {
        for (uint32_t caps : {kCaps, uint32_t(LQ_CAP_PORT_SPEED)}) {
            NetworkPortsPanel panel;
            box(panel, 'B', "10F")->setChecked(true);
            box(panel, 'B', "SPause")->setChecked(true); // Port B's AN just clicked off
            panel.interlock(box(panel, 'B', "AN"), caps);
            const bool applied = caps & LQ_CAP_PER_PORT_LINK;
            QCOMPARE(checkedBoxes(panel), applied ? "|10F" : "|10F SPause");
            QCOMPARE(box(panel, 'B', "SPause")->isEnabled(), !applied);
            QVERIFY(box(panel, 'A', "SPause")->isEnabled());
        }
    }

    // Each box stands for its own word of the port-speed record, both ways; a word of 2 is off.
    // Port B copying Port A in a plain tap runs end to end in tst_featuresflow.
    void boxWords()
    {
        for (int word = 0; word < 20; ++word) {
            uint32_t words[20] = {}, read[20] = {};
            words[word] = read[word] = 1;
            words[(word + 7) % 20] = 2;
            DevicePortsSpeed ports;
            std::memcpy(&ports, words, sizeof ports);
            NetworkPortsPanel panel;
            panel.showFeatures(DeviceFeatures{}, ports, kCaps);
            QCOMPARE(checkedBoxes(panel), word < 10 ? kBoxes[word] + '|' : '|' + kBoxes[word - 10]);
            const DevicePortsSpeed sent = panel.portsSpeed(0);
            QVERIFY2(std::memcmp(&sent, read, sizeof sent) == 0, qPrintable(kBoxes[word % 10]));
        }
    }

    // A features answer's span and loopback shown (the SFP page's twin boxes follow the same
    // rule), then read back for an apply: tap_mode and loopback only.
    void showAndRead()
    {
        // caps, tap_mode and loopback read; span and loopback boxes; tap_mode and loopback sent
        const std::tuple<uint32_t, uint32_t, uint32_t, bool, bool, uint32_t, uint32_t> rows[] = {
            {kCaps, 0, 1, true, true, 0, 1},
            {kCaps, 1, 1, false, false, 1, 0}, // plain tap
            {kCaps, 2, 1, true, false, 0, 0},
            {kCaps, 0, 2, true, false, 0, 0},
            {LQ_CAP_PORT_SPEED, 0, 1, true, false, 0, 0},
            {LQ_CAP_LOOPBACK, 0, 1, false, true, 0, 1},    // no span support: tap_mode kept
            {kCaps | LQ_CAP_SFP, 2, 1, true, false, 2, 1}, // the SFP page's boxes are used
        };
        for (const auto &[caps, tapMode, loopbackWord, span, loopback, sentTap, sentLoopback] : rows) {
            NetworkPortsPanel panel;
            const Ui::NetworkPortsPanel *u = panel.form();
            u->spanModeCheckbox->setChecked(!span);
            u->loopbackCheckBox->setChecked(!loopback);
            DeviceFeatures features;
            std::memset(&features, 0xa5, sizeof features);
            features.tap_mode = tapMode;
            features.loopback = loopbackWord;
            panel.showFeatures(features, DevicePortsSpeed{}, caps);
            QCOMPARE(u->spanModeCheckbox->isChecked(), span);
            QCOMPARE(u->loopbackCheckBox->isChecked(), loopback);
            DeviceFeatures expected = features;
            expected.tap_mode = sentTap;
            expected.loopback = sentLoopback;
            panel.readFeatures(&features, caps);
            QVERIFY(std::memcmp(&features, &expected, sizeof features) == 0);
        }
    }

    // Which cell shows what; MDI totals per port, while up, signed, until reset; nothing
    // without per-port link status.
    void showStatus()
    {
        NetworkPortsPanel panel;
        const Ui::NetworkPortsPanel *u = panel.form();
        auto report = [&](uint32_t speedB, int32_t mdiA, int32_t mdiB, uint32_t caps = kCaps) {
            LinkStatus s{};
            s.portASpeed = LQ_LINK_1G;
            s.portBSpeed = speedB;
            s.portAPhy.partnerAutoNegCapable = s.portAPhy.advertise1000BaseTFull = 1;
            s.portBPhy.masterSlaveResolution = s.portBPhy.localReceiverOk = 1;
            s.portAPhy.mdiCrossoverErrors = mdiA;
            s.portBPhy.mdiCrossoverErrors = mdiB;
            panel.showStatus(s, caps);
            QStringList cells;
            for (int c : {1, 2})
                cells << QStringList{cell(u->physRegsTable1, 0, c), cell(u->physRegsTable1, 1, c),
                                     cell(u->physRegsTable2, 4, c), cell(u->physRegsTable3, 3, c),
                                     cell(u->physRegsTable3, 17, c)}
                             .join('|');
            return cells.join(" / ");
        };
        report(LQ_LINK_100M, 2, 1);
        QCOMPARE(report(LQ_LINK_DOWN, 3, 50), "1Gbps FDX|Master|Yes|Not OK|5 / Down|N/A|N/A|OK|N/A");
        report(LQ_LINK_1G, 100, 100, LQ_CAP_PORT_SPEED);
        for (const QTableWidget *table : {u->physRegsTable1, u->physRegsTable2, u->physRegsTable3}) {
            for (int row = 0; row < table->rowCount(); ++row)
                QCOMPARE(cell(table, row, 1) + cell(table, row, 2), QString());
        }
        QCOMPARE(report(LQ_LINK_1G, 1, 4), "1Gbps FDX|Master|Yes|Not OK|6 / 1Gbps FDX|Slave|N/A|OK|5");
        panel.resetMdiTotals();
        QStringList totals;
        for (int32_t count : {2, -1, -2}) {
            report(LQ_LINK_1G, count, 0);
            totals << cell(u->physRegsTable3, 17, 1);
        }
        QCOMPARE(totals, QStringList({"2", "1", "18446744073709551615"}));
    }

    void applyCapabilities()
    {
        // Enabled: span, loopback, portAAN, portA1000F (negotiating), portA1000F (forced), portBAN; PoE shown.
        const std::tuple<uint32_t, bool, uint32_t, const char *, bool> rows[] = {
            {kCaps | LQ_CAP_POE, true, 0, "111101", true},
            {kCaps, true, 1, "101100", false}, // plain tap: Port B and loopback unused
            {LQ_CAP_CONFIGURABLE | LQ_CAP_LOOPBACK, true, 0, "010000", false},
            {kCaps, false, 0, "000000", false}, // no device or a firmware update
        };
        for (const auto &[caps, on, tapMode, enabled, poe] : rows) {
            NetworkPortsPanel panel;
            const Ui::NetworkPortsPanel *u = panel.form();
            u->portAAN->setChecked(true);
            u->portBAN->setChecked(true);
            panel.applyCapabilities(caps, on, tapMode);
            const bool negotiating1000 = u->portA1000F->isEnabled();
            u->portAAN->setChecked(false);
            panel.applyCapabilities(caps, on, tapMode);
            QString shown;
            for (bool e : {u->spanModeCheckbox->isEnabled(), u->loopbackCheckBox->isEnabled(), u->portAAN->isEnabled(),
                           negotiating1000, u->portA1000F->isEnabled(), u->portBAN->isEnabled()})
                shown += e ? '1' : '0';
            QCOMPARE(shown, QString(enabled));
            QCOMPARE(u->groupBox_14->isVisibleTo(&panel), poe);
        }
    }
};

QTEST_MAIN(tst_NetworkPortsPanel)
#include "tst_networkportspanel.moc"
