// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What the simulated wire carries: the mix of flows seen on one port (families,
// routing, protocols, sizes, addresses), how the load on the line varies, and
// the packets themselves. A packet is drawn from a port's mix by its index in a
// stream and built into real frame bytes on demand, so the same seed and index
// always give the same bytes.

#pragma once

#include <array>
#include <cstddef>
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
    double samples = 200;       // packets drawn per simulated second to stand for the line's
};

// Steady traffic is the office's everyday mix; bursts are bulk transfers.
enum class Pool : uint8_t { Steady, Burst };
enum class Damage : uint8_t { None, BadFcs, Runt, Jabber };

constexpr size_t kMaxFrameBytes = 9018; // a jumbo frame, FCS included
constexpr size_t kHeaderBytes = 128;    // what writeFrame gives with headersOnly, at most

// Everything a packet's bytes are made from.
struct PacketDraw {
    uint64_t id = 0;        // seeds the bytes that differ from packet to packet
    uint32_t length = 0;    // on the line, FCS included
    uint32_t intended = 0;  // the frame the sender meant; differs from length for runts and jabbers
    uint16_t flow = 0;
    Damage damage = Damage::None;
    uint16_t srcHost = 0;
    uint16_t dstHost = 0;
    uint16_t srcPort = 0;
    uint16_t dstPort = 0;

    uint32_t wireBytes() const { return length + 20; } // preamble and inter-frame gap included
};

// The packet mix of one port under one profile.
class TrafficMix {
public:
    TrafficMix(const TrafficProfile &profile, int port);

    bool hasTraffic(Pool pool) const { return !m_cells[size_t(pool)].empty(); }
    // Mean line bytes per packet, preamble and gap included.
    double meanWire(Pool pool) const { return m_meanWire[size_t(pool)]; }

    // Packet `index` of the stream `key`. Consecutive indices walk the mix
    // evenly (a low-discrepancy sequence over its cells), so any run of draws
    // holds each kind of packet in close to its share; hosts and ports within
    // a flow are picked at random.
    PacketDraw draw(Pool pool, uint64_t key, uint64_t index) const;
    // The same packet spoilt on the line: a bad FCS, a collision fragment or a
    // jabber. The frame underneath is cut to an ordinary size first.
    static PacketDraw damaged(PacketDraw packet, Damage how);

    // Writes the frame's bytes without the FCS and answers how many there are.
    // Whole (out holds kMaxFrameBytes), with correct IP, TCP, UDP and ICMP
    // checksums; or, with headersOnly, at most the first kHeaderBytes (out
    // holds kHeaderBytes) with the transport checksums left 0, which is all the
    // header matchers read.
    size_t writeFrame(const PacketDraw &packet, uint8_t *out, bool headersOnly) const;
    // The FCS the frame carries on the line: right for intact frames, wrong
    // for damaged ones. Sent least significant byte first.
    static uint32_t fcs(const PacketDraw &packet, const uint8_t *frame, size_t length);

private:
    struct Cell {
        uint16_t flow = 0;
        uint32_t size = 0;
    };

    int m_port = 0;
    std::array<std::vector<Cell>, 2> m_cells;
    std::array<std::vector<double>, 2> m_cumulative; // running share, ending at 1
    std::array<double, 2> m_meanWire{84, 1538};
};

// IEEE 802.3 CRC-32 as the FCS uses it.
uint32_t ethernetCrc32(const uint8_t *data, size_t length);

struct LoadSample {
    double steady = 0; // wire occupancy, 0..1
    double burst = 0;  // extra occupancy of bulk bursts; steady + burst <= 1
};

// Line occupancy of a port at a moment (seconds of the simulator clock).
LoadSample loadAt(const TrafficProfile &profile, uint64_t seed, int port, double tSeconds);
// Multiplier of the error rates; errors come in spells rather than evenly.
double errorWeather(uint64_t seed, int port, double tSeconds);

} // namespace lqsim
