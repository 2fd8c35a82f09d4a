// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Network Ports rules without widgets: the auto-negotiation interlock, the
// port-speed record, link and PHY texts, MDI totals.

#include "portsettings.h"

#include <QTest>

#include <cstring>

using namespace PortSettings;

namespace {

// Box tokens in record field order.
const QStringList kTokens{"AN", "1000F", "100F", "100H", "10F", "10H", "APause", "SPause", "Master", "ForceMS"};

PortBoxes boxes(const QString &tokens)
{
    PortBoxes b;
    for (const QString &t : tokens.split(' ', Qt::SkipEmptyParts))
        b[static_cast<PortBox>(kTokens.indexOf(t))] = true;
    return b;
}

QString tokens(const PortBoxes &b)
{
    QStringList on;
    for (int i = 0; i < kPortBoxCount; ++i) {
        if (b[static_cast<PortBox>(i)])
            on << kTokens[i];
    }
    return on.join(' ');
}

void setWord(PortPhyStatus &phy, size_t offset, uint32_t value)
{
    std::memcpy(reinterpret_cast<char *>(&phy) + offset, &value, sizeof value);
}

} // namespace

class tst_PortSettings : public QObject {
    Q_OBJECT
private slots:
    void interlock_data()
    {
        QTest::addColumn<QString>("after"); // states once the click toggled the box
        QTest::addColumn<int>("clicked");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("enabled"); // auto-negotiation-only boxes; -1 left alone
        const int an = int(PortBox::AutoNegotiation);
        QTest::newRow("an off keeps 100TX-HD over 10TX-FD")
            << "1000F 100H 10F APause SPause Master ForceMS" << an << "100H" << 0;
        QTest::newRow("an off keeps 100TX-FD first") << "100F 100H 10F 10H" << an << "100F" << 0;
        QTest::newRow("an off keeps 10TX-FD over 10TX-HD") << "10F 10H" << an << "10F" << 0;
        QTest::newRow("an off keeps a lone 10TX-HD") << "1000F 10H" << an << "10H" << 0;
        QTest::newRow("an off without speed forces 100TX-FD") << "1000F SPause" << an << "100F" << 0;
        QTest::newRow("an on enables, changes nothing") << "AN 100H" << an << "AN 100H" << 1;
        QTest::newRow("forced 10TX-FD is the only speed")
            << "1000F 100F 10F 10H APause" << int(PortBox::Speed10Full) << "10F APause" << -1;
        QTest::newRow("forced box clicked again stays") << "" << int(PortBox::Speed100Half) << "100H" << -1;
        QTest::newRow("negotiated speeds independent")
            << "AN 100F 10F" << int(PortBox::Speed10Full) << "AN 100F 10F" << -1;
        QTest::newRow("negotiated speed off stays off") << "AN 100F" << int(PortBox::Speed10Half) << "AN 100F" << -1;
    }
    void interlock()
    {
        QFETCH(QString, after);
        QFETCH(int, clicked);
        QFETCH(QString, expected);
        QFETCH(int, enabled);
        const InterlockResult r = PortSettings::interlock(boxes(after), static_cast<PortBox>(clicked));
        QCOMPARE(tokens(r.checked), expected);
        QCOMPARE(r.negotiationBoxesEnabled.value_or(false), enabled == 1);
        QCOMPARE(r.negotiationBoxesEnabled.has_value(), enabled >= 0);
    }

    void portsSpeed_data()
    {
        QTest::addColumn<uint32_t>("tapMode");
        QTest::addColumn<QString>("sentB");
        QTest::newRow("plain tap copies Port A") << 1u << "AN 1000F 100F SPause Master";
        QTest::newRow("span keeps Port B") << 0u << "10H ForceMS";
        QTest::newRow("tap mode 2 is span") << 2u << "10H ForceMS";
    }
    void portsSpeed()
    {
        QFETCH(uint32_t, tapMode);
        QFETCH(QString, sentB);
        const QString portA = "AN 1000F 100F SPause Master";
        const DevicePortsSpeed record = buildPortsSpeed(boxes(portA), boxes("10H ForceMS"), tapMode);
        uint32_t w[20];
        std::memcpy(w, &record, sizeof w); // as the device reads it: Port A's ten words first
        for (int i = 0; i < kPortBoxCount; ++i) {
            QCOMPARE(w[i], portA.split(' ').contains(kTokens[i]) ? 1u : 0u);
            QCOMPARE(w[i + 10], sentB.split(' ').contains(kTokens[i]) ? 1u : 0u);
        }
    }

    void linkText_data()
    {
        QTest::addColumn<uint32_t>("speed");
        QTest::addColumn<uint32_t>("duplex");
        QTest::addColumn<QString>("text");
        QTest::newRow("10M full") << 0u << 0u << "10Mbps FDX";
        QTest::newRow("100M half") << 1u << 1u << "100Mbps HDX";
        QTest::newRow("1G full") << 2u << 0u << "1Gbps FDX";
        QTest::newRow("10G, duplex 7 is half") << 3u << 7u << "10Gbps HDX";
        QTest::newRow("unknown") << 4u << 0u << "Unknown";
        QTest::newRow("down") << 5u << 0u << "Down";
        QTest::newRow("undefined code") << 6u << 0u << "Unknown";
    }
    void linkText()
    {
        QFETCH(uint32_t, speed);
        QFETCH(uint32_t, duplex);
        QTEST(PortSettings::linkText(speed, duplex), "text");
    }

    // A flag of exactly 1 lights its own row and no other, against the record
    // layout; any other value reads as off.
    void flagRows_data()
    {
        QTest::addColumn<bool>("partnerTable");
        QTest::addColumn<int>("row");
        QTest::addColumn<uint32_t>("value");
        for (uint32_t value : {1u, 2u, 0xffffffffu}) {
            for (int row = 1; row < kPartnerRows; ++row)
                QTest::addRow("partner row %d = %x", row, value) << true << row << value;
            for (int row = 0; row < kFaultRows - 1; ++row)
                QTest::addRow("fault row %d = %x", row, value) << false << row << value;
        }
    }
    void flagRows()
    {
        QFETCH(bool, partnerTable);
        QFETCH(int, row);
        QFETCH(uint32_t, value);
        PortPhyStatus phy{};
        phy.partnerAutoNegCapable = 1;
        setWord(phy, size_t(partnerTable ? 0x04 + 4 * row : 0x34 + 4 * row), value);
        uint64_t total = 0;
        const PhyTexts t = PortSettings::phyTexts(phy, LQ_LINK_1G, total);
        for (int r = 1; r < kPartnerRows; ++r)
            QCOMPARE(t.partner[r], partnerTable && r == row && value == 1 ? "Yes" : "No");
        for (int r = 0; r < kFaultRows - 1; ++r) {
            const bool lit = !partnerTable && r == row && value == 1;
            QCOMPARE(t.faults[r], (r == 3 || r == 4) ? (lit ? "OK" : "Not OK") : (lit ? "Yes" : "No"));
        }
    }

    void phyTexts_data()
    {
        QTest::addColumn<uint32_t>("partner");
        QTest::addColumn<uint32_t>("resolution");
        QTest::addColumn<uint32_t>("speed");
        // partner rows 0, 1, 11; master/slave resolution, master/slave fault, MDI
        QTest::addColumn<QString>("texts");
        QTest::newRow("up, slave") << 1u << 3u << 2u << "Yes Yes Yes Slave Yes 0";
        QTest::newRow("up, master") << 1u << 0u << 2u << "Yes Yes Yes Master Yes 0";
        QTest::newRow("partner not auto-neg") << 0u << 3u << 2u << "No N/A N/A Slave Yes 0";
        QTest::newRow("partner flag 2") << 2u << 3u << 2u << "No N/A N/A Slave Yes 0";
        QTest::newRow("down") << 1u << 0u << 5u << "Yes Yes Yes N/A N/A N/A";
        QTest::newRow("unknown speed is up") << 1u << 3u << 4u << "Yes Yes Yes Slave Yes 0";
    }
    void phyTexts()
    {
        QFETCH(uint32_t, partner);
        QFETCH(uint32_t, resolution);
        QFETCH(uint32_t, speed);
        PortPhyStatus phy{};
        for (size_t offset = 0; offset < 0x78; offset += 4)
            setWord(phy, offset, 1);
        phy.partnerAutoNegCapable = partner;
        phy.masterSlaveResolution = resolution;
        uint64_t total = 0;
        const PhyTexts t = PortSettings::phyTexts(phy, speed, total);
        QTEST((QStringList{t.partner[0], t.partner[1], t.partner[11], t.masterSlave, t.faults[2], t.faults[17]}.join(
                  ' ')),
              "texts");
    }

    void mdiTotals_data()
    {
        QTest::addColumn<QList<int>>("speeds");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("grows while up") << QList<int>{2, 1} << QList<int>{3, 4} << QStringList{"3", "7"};
        QTest::newRow("down adds nothing")
            << QList<int>{2, 5, 0} << QList<int>{3, 100, 2} << QStringList{"3", "N/A", "5"};
        QTest::newRow("negative count subtracts") << QList<int>{2, 2} << QList<int>{5, -2} << QStringList{"5", "3"};
        QTest::newRow("below zero wraps") << QList<int>{2} << QList<int>{-1} << QStringList{"18446744073709551615"};
    }
    void mdiTotals()
    {
        QFETCH(QList<int>, speeds);
        QFETCH(QList<int>, counts);
        uint64_t total = 0;
        QStringList texts;
        for (int i = 0; i < speeds.size(); ++i) {
            PortPhyStatus phy{};
            phy.mdiCrossoverErrors = counts[i];
            texts << PortSettings::phyTexts(phy, uint32_t(speeds[i]), total).faults[17];
        }
        QTEST(texts, "shown");
    }
};

QTEST_APPLESS_MAIN(tst_PortSettings)
#include "tst_portsettings.moc"
