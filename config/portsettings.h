// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The rules behind the Network Ports tab, free of widgets: the auto-negotiation
// interlock of a port's boxes, the port-speed record, span and loopback as the
// device encodes them, and the texts of the PHY status tables.

#pragma once

#include "lumenquillapi.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace PortSettings {

// tap_mode as the device reports it: 1 is a plain tap, anything else is span.
constexpr uint32_t kTapModeSpanOn = 0;
constexpr uint32_t kTapModeSpanOff = 1;

// A port's boxes, in the field order of PortSpeedSettings.
enum class PortBox {
    AutoNegotiation,
    Speed1000Full,
    Speed100Full,
    Speed100Half,
    Speed10Full,
    Speed10Half,
    AsymmetricPause,
    SymmetricPause,
    Master,
    ForceMasterSlave,
};
constexpr int kPortBoxCount = 10;

struct PortBoxes {
    bool autoNegotiation = false;
    bool speed1000Full = false;
    bool speed100Full = false;
    bool speed100Half = false;
    bool speed10Full = false;
    bool speed10Half = false;
    bool asymmetricPause = false;
    bool symmetricPause = false;
    bool master = false;
    bool forceMasterSlave = false;

    bool &operator[](PortBox box);
    bool operator[](PortBox box) const;
    bool operator==(const PortBoxes &other) const;
    bool operator!=(const PortBoxes &other) const { return !(*this == other); }
};

// The boxes that only mean something while the port negotiates: 1000TX-FD,
// both pauses, master and force master/slave.
bool needsAutoNegotiation(PortBox box);

struct InterlockResult {
    PortBoxes checked;
    // Set when the click changes whether the auto-negotiation-only boxes may
    // be used; empty when their enabling stays as it is.
    std::optional<bool> negotiationBoxesEnabled;
};

// `boxes` are the states after the click on `clicked` (a click toggles first).
InterlockResult interlock(const PortBoxes &boxes, PortBox clicked);

// "Default": negotiate everything, both pauses, no forced master/slave.
PortBoxes defaultPortBoxes();

PortBoxes fromSettings(const PortSpeedSettings &settings); // on only when exactly 1
PortSpeedSettings toSettings(const PortBoxes &boxes);

// A plain tap (tap_mode 1) runs both ports alike, so Port B follows Port A
// whatever its own boxes show.
DevicePortsSpeed buildPortsSpeed(const PortBoxes &portA, const PortBoxes &portB, uint32_t tapMode);

// Span and loopback boxes (both pages) for a features answer.
bool spanShown(const DeviceFeatures &features, uint32_t caps);
bool loopbackShown(const DeviceFeatures &features, uint32_t caps);
// The inverse, for the boxes of the page in use: tap_mode only with span
// support (else kept as last read), loopback 0 without loopback support.
void storeSpanLoopback(DeviceFeatures *features, uint32_t caps, bool spanChecked, bool loopbackChecked);

// "10Mbps" … "10Gbps" for a link speed code; null for down, unknown and
// undefined codes.
const char *linkSpeedName(uint32_t speedCode);
// "1Gbps FDX", "Unknown" (code 4 and undefined codes), "Down" (code 5).
QString linkText(uint32_t speedCode, uint32_t duplex);
bool linkUp(uint32_t speedCode);

constexpr int kPartnerRows = 12;
constexpr int kFaultRows = 18;

struct PhyTexts {
    QString masterSlave;
    std::array<QString, kPartnerRows> partner;
    std::array<QString, kFaultRows> faults;
};

// One port's PHY rows. The MDI crossover count of a report is added to
// `mdiTotal` only while the link is up.
PhyTexts phyTexts(const PortPhyStatus &phy, uint32_t speedCode, uint64_t &mdiTotal);

} // namespace PortSettings
