// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What the simulated wire carries: the mix of flows seen on one port (families,
// routing, protocols, sizes, addresses) and how the load on the line varies.
// The device integrates packet totals per "bin" (a fixed sub-mix); everything
// that classifies packets (configurable counters, header filter, pattern
// filter, slicing) is turned into a per-bin fraction once, when it is set.

#pragma once

#include "lumenquillapi.h"

#include <array>
#include <cstdint>
#include <vector>

namespace lqsim {

// One port's traffic profile; see PHYSICS.md for the scenario keys.
struct TrafficProfile {
    double load = 0.3;          // mean wire occupancy of the steady traffic, 0..1
    double burstiness = 0.3;    // how often bulk transfers burst towards line rate, 0..1
    double periodSeconds = 600; // slow swell of the steady traffic
    double ipv6 = 0.15;         // share of IP traffic that is IPv6
    double multicast = 0.03;    // share of packets sent to multicast groups
    double broadcast = 0.01;    // share of packets sent to broadcast
    double jumbo = 0.0;         // share of LAN bulk frames sent as 9018-byte jumbos
    double crcErrors = 2e-6;    // CRC errors per packet
    double collisions = 2e-7;   // runt fragments per packet (far more on half duplex)
    double jabbers = 5e-8;      // oversized bad frames per packet
    double dropThreshold = 0.92; // line occupancy above which the capture path drops
    double softwareDrops = 5e-7; // host-side drops per captured packet
};

// Packet bins. Valid traffic comes from a steady pool and a burst pool; each is
// split by size class and by whether the capture path dropped it.
enum Bin : int {
    BinBaseUnder,
    BinBaseMid,
    BinBaseOver,
    BinBurstMid,
    BinBurstOver,
    BinBaseUnderDropped,
    BinBaseMidDropped,
    BinBaseOverDropped,
    BinBurstMidDropped,
    BinBurstOverDropped,
    BinCollision,
    BinCrc,
    BinJabber,
    BinCount
};

constexpr bool binIsValid(int bin) { return bin < BinCollision; }
constexpr bool binIsDropped(int bin) { return bin >= BinBaseUnderDropped && bin <= BinBurstOverDropped; }

// Settings of the capture path that decide what reaches the host.
struct CaptureSettings {
    PacketFilter filter{};
    DpiFilter dpi{};
    bool keepCrc = false;
    bool transmitCrcErrors = false;
    bool slicing = false;
    uint32_t slicingLength = 0;
};

struct CaptureFactors {
    std::array<double, BinCount> packetFraction{}; // share of the bin's packets captured
    std::array<double, BinCount> bytesPerPacket{}; // captured bytes per captured packet
};

// The packet mix of one port under one profile.
class TrafficMix {
public:
    TrafficMix(const TrafficProfile &profile, int port);

    // Share of its pool's packets that a kept bin holds: the steady bins
    // split the steady pool, the burst bins the burst pool.
    double poolShare(int bin) const { return m_poolShare[size_t(bin)]; }
    double meanSize(int bin) const { return m_meanSize[size_t(bin)]; }
    // Mean bytes on the line per packet, preamble and gap included.
    double steadyWireSize() const { return m_steadyWire; }
    double burstWireSize() const { return m_burstWire; }

    // Fraction of a bin's packets (or bytes) that a configurable counter rule
    // selects, ports aside.
    double counterFraction(const CounterV2Config &rule, int bin, bool bytes) const;
    CaptureFactors captureFactors(const CaptureSettings &capture) const;

private:
    struct Cell {
        int flow = 0;
        uint32_t size = 0;
        double share = 0; // of the bin's packets
    };

    void addPool(const std::vector<Cell> &pool, int underBin, int midBin, int overBin);
    double flowAddressFraction(int flow, const CounterV2Config &rule) const;
    double flowFilterFraction(int flow, const PacketFilter &filter) const;
    double flowDpiFraction(int flow, const DpiFilter &dpi) const;

    int m_port = 0;
    std::array<std::vector<Cell>, BinCount> m_cells;
    std::array<double, BinCount> m_poolShare{};
    std::array<double, BinCount> m_meanSize{};
    double m_steadyWire = 84;
    double m_burstWire = 1538;
};

struct LoadSample {
    double steady = 0; // wire occupancy, 0..1
    double burst = 0;  // extra occupancy of bulk bursts; steady + burst <= 1
};

// Line occupancy of a port at a moment (seconds of the simulator clock).
LoadSample loadAt(const TrafficProfile &profile, uint64_t seed, int port, double tSeconds);
// Multiplier of the error rates; errors come in spells rather than evenly.
double errorWeather(uint64_t seed, int port, double tSeconds);

} // namespace lqsim
