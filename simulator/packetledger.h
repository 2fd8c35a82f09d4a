// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Books every sampled packet of a device into what the device reports: the
// port totals and size classes, the sixteen configurable counters and the
// capture path (hardware drops, header filter, pattern filter, CRC-error
// forwarding, FCS keeping, slicing). All of them add up the same whole-number
// weights, so they agree with one another exactly. It also keeps, on request,
// the packets the capture path passed, for the direct capture writer.

#pragma once

#include "lumenquillapi.h"
#include "packetsampler.h"
#include "trafficmodel.h"

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

namespace lqsim {

// Settings of the capture path that decide what reaches the host.
struct CaptureSettings {
    PacketFilter filter{};
    DpiFilter dpi{};
    bool keepCrc = false;
    bool transmitCrcErrors = false;
    uint32_t sliceLength = 0; // 0: whole frames
};

// One port as the device counts it. Valid frames include those the capture
// path dropped; sizes are on the line, FCS included.
struct PortTotals {
    uint64_t validUnder64 = 0;
    uint64_t valid64To1522 = 0;
    uint64_t validOver1522 = 0;
    uint64_t invalidUnder64 = 0;
    uint64_t invalid64To1522 = 0;
    uint64_t invalidOver1522 = 0;
    uint64_t validBytes = 0;
    uint64_t hardwareDropped = 0;
    uint64_t capturedPackets = 0; // reached the host
    uint64_t capturedBytes = 0;   // as the host received them: FCS per keep_crc, sliced
};

// A packet the capture path passed, as a capture file stores it.
struct CapturedPacket {
    int port = 0;
    uint64_t timestampNs = 0;   // device clock: since 1970, or since power-up while the clock is not set
    uint32_t wireLength = 0;    // the frame on the line, FCS included
    uint64_t represents = 1;    // packets of the line that reached the host in its stead, itself included
    uint32_t fcs = 0;           // as on the line (sent least significant byte first)
    bool fcsValid = true;
    std::vector<uint8_t> data;  // what the host received: the FCS only with keep_crc, cut to the slicing length
};

// Where a step lies on the simulator clock and on the device clock.
struct StepClock {
    uint64_t startNs = 0;        // simulator clock
    uint64_t lengthNs = 0;
    int64_t deviceOffsetNs = 0;  // device clock minus simulator clock
};

class PacketLedger {
public:
    static constexpr int kDropCounter = LQ_COUNTERS_V2 - 1;

    explicit PacketLedger(std::array<const TrafficMix *, 2> mixes);

    // A rule counts on from the counter's value; index must be below 16.
    void setRule(const CounterV2Config &rule);
    void setCapture(const CaptureSettings &capture);

    // Books one step of one port; answers the packets that reached the host.
    uint64_t book(int port, const std::vector<SampledPacket> &samples, const StepClock &clock);

    const PortTotals &totals(int port) const { return m_totals[size_t(port)]; }
    uint64_t counter(int index) const { return m_counters[size_t(index)]; }

    // The capture tap keeps up to `limit` passed packets per port, oldest
    // dropped first, from now on. Closing forgets them.
    void openTap(size_t limit);
    void closeTap();
    bool tapOpen() const { return m_tapLimit > 0; }
    // Hands over, oldest first, the kept packets of `port` whose simulator
    // time lies in [fromNs, toNs); those before fromNs, and those the limit
    // pushed out, are counted in *missed (when given) and forgotten.
    size_t takeTap(int port, uint64_t fromNs, uint64_t toNs, std::vector<CapturedPacket> *out, uint64_t *missed);

private:
    struct TapRecord {
        PacketDraw packet;
        uint64_t simulatorNs = 0;
        uint64_t deviceNs = 0;
        uint64_t represents = 0;
        uint32_t captureLength = 0;
        bool keepCrc = false;
    };

    std::array<const TrafficMix *, 2> m_mixes;
    std::array<PortTotals, 2> m_totals;
    std::array<CounterV2Config, LQ_COUNTERS_V2> m_rules{};
    std::array<CounterV2Config, LQ_COUNTERS_V2> m_anyDrop{}; // the rules with the drop criterion left out
    std::array<uint64_t, LQ_COUNTERS_V2> m_counters{};
    std::array<std::vector<int>, 2> m_active; // counters enabled on each port
    bool m_dropTotal = true;                  // the last counter counts hardware drops
    CaptureSettings m_capture;

    size_t m_tapLimit = 0;
    std::array<std::deque<TapRecord>, 2> m_tap;
    std::array<uint64_t, 2> m_tapMissed{};
    std::vector<uint8_t> m_frame;
};

} // namespace lqsim
