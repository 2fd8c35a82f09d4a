// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Network Ports tab's rules; see portsettings.h.

#include "portsettings.h"

namespace PortSettings {

namespace {

using BoxMember = bool PortBoxes::*;
constexpr std::array<BoxMember, kPortBoxCount> kBoxMembers{
    &PortBoxes::autoNegotiation, &PortBoxes::speed1000Full,    &PortBoxes::speed100Full,    &PortBoxes::speed100Half,
    &PortBoxes::speed10Full,     &PortBoxes::speed10Half,      &PortBoxes::asymmetricPause, &PortBoxes::symmetricPause,
    &PortBoxes::master,          &PortBoxes::forceMasterSlave,
};

using SettingMember = uint32_t PortSpeedSettings::*;
constexpr std::array<SettingMember, kPortBoxCount> kSettingMembers{
    &PortSpeedSettings::auto_negotiation,   &PortSpeedSettings::speed_1000_full, &PortSpeedSettings::speed_100_full,
    &PortSpeedSettings::speed_100_half,     &PortSpeedSettings::speed_10_full,   &PortSpeedSettings::speed_10_half,
    &PortSpeedSettings::asymmetric_pause,   &PortSpeedSettings::symmetric_pause, &PortSpeedSettings::master,
    &PortSpeedSettings::force_master_slave,
};

constexpr std::array<PortBox, 5> kSpeedBoxes{PortBox::Speed1000Full, PortBox::Speed100Full, PortBox::Speed100Half,
                                             PortBox::Speed10Full, PortBox::Speed10Half};

bool isForcedSpeed(PortBox box)
{
    return box == PortBox::Speed100Full || box == PortBox::Speed100Half || box == PortBox::Speed10Full ||
           box == PortBox::Speed10Half;
}

QString yesNo(uint32_t flag)
{
    return flag == 1 ? QStringLiteral("Yes") : QStringLiteral("No");
}

QString okText(uint32_t flag)
{
    return flag == 1 ? QStringLiteral("OK") : QStringLiteral("Not OK");
}

const QString &notAvailable()
{
    static const QString text = QStringLiteral("N/A");
    return text;
}

} // namespace

bool &PortBoxes::operator[](PortBox box)
{
    return this->*kBoxMembers[static_cast<size_t>(box)];
}

bool PortBoxes::operator[](PortBox box) const
{
    return this->*kBoxMembers[static_cast<size_t>(box)];
}

bool PortBoxes::operator==(const PortBoxes &other) const
{
    for (BoxMember m : kBoxMembers) {
        if (this->*m != other.*m)
            return false;
    }
    return true;
}

bool needsAutoNegotiation(PortBox box)
{
    return box == PortBox::Speed1000Full || box == PortBox::AsymmetricPause || box == PortBox::SymmetricPause ||
           box == PortBox::Master || box == PortBox::ForceMasterSlave;
}

InterlockResult interlock(const PortBoxes &boxes, PortBox clicked)
{
    InterlockResult result{boxes, std::nullopt};
    PortBoxes &b = result.checked;

    if (clicked == PortBox::AutoNegotiation) {
        result.negotiationBoxesEnabled = b.autoNegotiation;
        if (!b.autoNegotiation) {
            for (int i = 0; i < kPortBoxCount; ++i) {
                if (needsAutoNegotiation(static_cast<PortBox>(i)))
                    b[static_cast<PortBox>(i)] = false;
            }
            // A forced link runs one speed: keep the fastest one chosen.
            if (b.speed100Full) {
                b.speed100Half = b.speed10Full = b.speed10Half = false;
            } else if (b.speed100Half) {
                b.speed10Full = b.speed10Half = false;
            } else if (b.speed10Full) {
                b.speed10Half = false;
            } else if (!b.speed10Half) {
                b.speed100Full = true;
            }
        }
        return result;
    }

    if (!b.autoNegotiation && isForcedSpeed(clicked)) {
        // The boxes act as one choice; a click on the chosen one keeps it.
        for (PortBox speed : kSpeedBoxes)
            b[speed] = speed == clicked;
    }
    return result;
}

PortBoxes defaultPortBoxes()
{
    PortBoxes b;
    b.autoNegotiation = true;
    for (PortBox speed : kSpeedBoxes)
        b[speed] = true;
    b.asymmetricPause = b.symmetricPause = true;
    b.master = b.forceMasterSlave = false;
    return b;
}

PortBoxes fromSettings(const PortSpeedSettings &settings)
{
    PortBoxes b;
    for (size_t i = 0; i < kBoxMembers.size(); ++i)
        b.*kBoxMembers[i] = settings.*kSettingMembers[i] == 1;
    return b;
}

PortSpeedSettings toSettings(const PortBoxes &boxes)
{
    PortSpeedSettings s{};
    for (size_t i = 0; i < kBoxMembers.size(); ++i)
        s.*kSettingMembers[i] = boxes.*kBoxMembers[i] ? 1u : 0u;
    return s;
}

DevicePortsSpeed buildPortsSpeed(const PortBoxes &portA, const PortBoxes &portB, uint32_t tapMode)
{
    DevicePortsSpeed record{};
    record.portA = toSettings(portA);
    record.portB = tapMode == kTapModeSpanOff ? record.portA : toSettings(portB);
    return record;
}

bool spanShown(const DeviceFeatures &features, uint32_t caps)
{
    return (caps & LQ_CAP_PORT_SPEED) && features.tap_mode != kTapModeSpanOff;
}

bool loopbackShown(const DeviceFeatures &features, uint32_t caps)
{
    // Loopback is a span-mode feature: a plain tap never shows it, whatever
    // the loopback word says.
    return (caps & LQ_CAP_LOOPBACK) && features.tap_mode == kTapModeSpanOn && features.loopback == 1;
}

void storeSpanLoopback(DeviceFeatures *features, uint32_t caps, bool spanChecked, bool loopbackChecked)
{
    features->loopback = ((caps & LQ_CAP_LOOPBACK) && loopbackChecked) ? 1u : 0u;
    if (caps & LQ_CAP_PORT_SPEED)
        features->tap_mode = spanChecked ? kTapModeSpanOn : kTapModeSpanOff;
}

const char *linkSpeedName(uint32_t speedCode)
{
    switch (speedCode) {
    case LQ_LINK_10M:
        return "10Mbps";
    case LQ_LINK_100M:
        return "100Mbps";
    case LQ_LINK_1G:
        return "1Gbps";
    case LQ_LINK_10G:
        return "10Gbps";
    default:
        return nullptr;
    }
}

QString linkText(uint32_t speedCode, uint32_t duplex)
{
    if (speedCode == LQ_LINK_DOWN)
        return QStringLiteral("Down");
    const char *speed = linkSpeedName(speedCode);
    if (!speed)
        return QStringLiteral("Unknown");
    return QString::asprintf("%s %s", speed, duplex == 0 ? "FDX" : "HDX");
}

bool linkUp(uint32_t speedCode)
{
    return speedCode != LQ_LINK_DOWN;
}

PhyTexts phyTexts(const PortPhyStatus &phy, uint32_t speedCode, uint64_t &mdiTotal)
{
    const bool up = linkUp(speedCode);
    PhyTexts t;
    t.masterSlave =
        !up ? notAvailable() : (phy.masterSlaveResolution == 0 ? QStringLiteral("Master") : QStringLiteral("Slave"));

    const uint32_t partner[kPartnerRows] = {
        phy.partnerAutoNegCapable,    phy.partnerNextPageCapable,
        phy.nextPageRequest,          phy.acknowledge,
        phy.advertise1000BaseTFull,   phy.advertise1000BaseTHalf,
        phy.advertise100BaseTxFull,   phy.advertise100BaseTxHalf,
        phy.advertise10BaseTFull,     phy.advertise10BaseTHalf,
        phy.advertiseAsymmetricPause, phy.advertiseSymmetricPause,
    };
    // Without auto-negotiation on the other side its abilities are unknown.
    const bool partnerNegotiates = phy.partnerAutoNegCapable == 1;
    for (int row = 0; row < kPartnerRows; ++row)
        t.partner[row] = (row == 0 || partnerNegotiates) ? yesNo(partner[row]) : notAvailable();

    if (up)
        mdiTotal += static_cast<uint64_t>(static_cast<int64_t>(phy.mdiCrossoverErrors));

    t.faults = {
        yesNo(phy.parallelDetectionFault),
        yesNo(phy.remoteFault),
        up ? yesNo(phy.masterSlaveFault) : notAvailable(),
        okText(phy.localReceiverOk),
        okText(phy.remoteReceiverOk),
        yesNo(phy.idleErrorCount),
        yesNo(phy.lock100BaseTxError),
        yesNo(phy.receive100BaseTxError),
        yesNo(phy.transmit100BaseTxError),
        yesNo(phy.ssd100BaseTxError),
        yesNo(phy.esd100BaseTxError),
        yesNo(phy.lock1000BaseTError),
        yesNo(phy.receive1000BaseTError),
        yesNo(phy.transmit1000BaseTError),
        yesNo(phy.ssd1000BaseTError),
        yesNo(phy.esd1000BaseTError),
        yesNo(phy.carrierExtension1000BaseTError),
        up ? QString::asprintf("%llu", static_cast<unsigned long long>(mdiTotal)) : notAvailable(),
    };
    return t;
}

} // namespace PortSettings
