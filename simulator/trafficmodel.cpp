// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The flows of a small office network seen through a tap (clients on the Port A
// side, servers and the Internet router on the Port B side), their packet mix,
// and the frames that make up each flow, byte by byte.

#include "trafficmodel.h"

#include "payloadwriter.h"
#include "simnoise.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lqsim {

namespace {

enum class Family : uint8_t { None, V4, V6 };
enum class Cast : uint8_t { Unicast, Multicast, Broadcast };
enum class L4 : uint8_t { None, Icmp, Udp, Tcp, Other };
enum Group {
    GroupUnicastV4,
    GroupUnicastV6,
    GroupMulticastV4,
    GroupMulticastV6,
    GroupMulticastL2,
    GroupBroadcast,
    GroupCount
};
enum Bulk { NotBulk, InternetBulk, LanBulk };

constexpr uint32_t kJumboFrame = 9018;
constexpr uint32_t kFullFrame = 1518;
constexpr uint32_t kRuntFragment = 48;
constexpr uint32_t kJabberFrame = 2048;

// Consecutive hosts: the last address byte and, when each host has its own
// interface, the last MAC byte count up from the first host.
struct HostRange {
    Family family = Family::None;
    std::array<uint8_t, 16> ip{}; // network order; IPv4 in the first four bytes
    std::array<uint8_t, 6> mac{};
    uint16_t hosts = 1;
    bool macPerHost = false;

    int ipLength() const { return family == Family::V6 ? 16 : 4; }
    std::array<uint8_t, 16> ipOf(int h) const
    {
        auto out = ip;
        if (family != Family::None)
            out[size_t(ipLength() - 1)] = uint8_t(out[size_t(ipLength() - 1)] + h);
        return out;
    }
    std::array<uint8_t, 6> macOf(int h) const
    {
        auto out = mac;
        if (macPerHost)
            out[5] = uint8_t(out[5] + h);
        return out;
    }
};

HostRange v4Range(std::array<uint8_t, 4> ip, uint16_t hosts, std::array<uint8_t, 6> mac, bool macPerHost)
{
    HostRange r;
    r.family = Family::V4;
    std::copy(ip.begin(), ip.end(), r.ip.begin());
    r.mac = mac;
    r.hosts = hosts;
    r.macPerHost = macPerHost;
    return r;
}

HostRange v6Range(std::array<uint8_t, 16> ip, uint16_t hosts, std::array<uint8_t, 6> mac, bool macPerHost)
{
    HostRange r;
    r.family = Family::V6;
    r.ip = ip;
    r.mac = mac;
    r.hosts = hosts;
    r.macPerHost = macPerHost;
    return r;
}

HostRange l2Range(std::array<uint8_t, 6> mac, uint16_t hosts, bool macPerHost)
{
    HostRange r;
    r.mac = mac;
    r.hosts = hosts;
    r.macPerHost = macPerHost;
    return r;
}

std::array<uint8_t, 16> v6(uint16_t a, uint16_t b, uint16_t c, uint16_t last)
{
    std::array<uint8_t, 16> ip{};
    ip[0] = uint8_t(a >> 8);
    ip[1] = uint8_t(a);
    ip[2] = uint8_t(b >> 8);
    ip[3] = uint8_t(b);
    ip[4] = uint8_t(c >> 8);
    ip[5] = uint8_t(c);
    ip[14] = uint8_t(last >> 8);
    ip[15] = uint8_t(last);
    return ip;
}

struct SizeWeight {
    uint32_t size;
    double weight;
};

struct Flow {
    Group group;
    double weight; // within its group
    Family family;
    Cast cast;
    L4 l4;
    HostRange client;
    HostRange server;
    uint16_t clientPort;
    uint16_t clientPorts;
    uint16_t serverPort;
    bool oneWay; // the same sender on both ports (multicast, broadcast)
    double weightA;
    double weightB;
    std::vector<SizeWeight> sizesA; // client to server, or every frame of a one-way flow
    std::vector<SizeWeight> sizesB;
    App app;
    Bulk bulk;
};

// The office: clients on the Port A side; servers, the router and the
// Internet behind Port B.
const std::vector<Flow> &flows()
{
    static const std::vector<Flow> table = [] {
        const std::array<uint8_t, 6> router{0x00, 0x1e, 0x58, 0x40, 0x0c, 0x01};
        const std::array<uint8_t, 6> clientMac{0x02, 0x1a, 0x2b, 0x00, 0x01, 0x0a};
        const std::array<uint8_t, 6> bcastMac{0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
        const HostRange clientsV4 = v4Range({10, 20, 1, 10}, 120, clientMac, true);
        const HostRange clientsV6 = v6Range(v6(0x2001, 0x0db8, 0x0020, 0x0100), 120, clientMac, true);
        const HostRange internetV4 = v4Range({203, 0, 113, 20}, 40, router, false);
        const HostRange quicV4 = v4Range({198, 51, 100, 30}, 24, router, false);
        const HostRange internetV6 = v6Range(v6(0x2001, 0x0db8, 0x8000, 0x0020), 40, router, false);
        const HostRange lanServersV4 = v4Range({192, 168, 50, 10}, 6, {0x02, 0x1a, 0x2b, 0x00, 0x32, 0x0a}, true);
        const HostRange dnsV4 = v4Range({192, 168, 50, 53}, 1, {0x02, 0x1a, 0x2b, 0x00, 0x32, 0x35}, false);
        const HostRange dnsV6 =
            v6Range(v6(0x2001, 0x0db8, 0x0050, 0x0053), 1, {0x02, 0x1a, 0x2b, 0x00, 0x32, 0x35}, false);
        const HostRange voipV4 = v4Range({192, 168, 50, 20}, 1, {0x02, 0x1a, 0x2b, 0x00, 0x32, 0x14}, false);
        const HostRange gatewayV4 = v4Range({192, 168, 50, 1}, 1, router, false);
        const HostRange videoSource = v4Range({192, 168, 50, 30}, 1, {0x02, 0x1a, 0x2b, 0x00, 0x32, 0x1e}, false);
        const HostRange videoGroups = v4Range({239, 1, 1, 1}, 4, {0x01, 0x00, 0x5e, 0x01, 0x01, 0x01}, true);
        const HostRange mdnsV4 = v4Range({224, 0, 0, 251}, 1, {0x01, 0x00, 0x5e, 0x00, 0x00, 0xfb}, false);
        const HostRange igmpV4 = v4Range({224, 0, 0, 22}, 1, {0x01, 0x00, 0x5e, 0x00, 0x00, 0x16}, false);
        const HostRange allNodesV6 = v6Range(v6(0xff02, 0, 0, 0x0001), 1, {0x33, 0x33, 0x00, 0x00, 0x00, 0x01}, false);
        const HostRange mdnsV6 = v6Range(v6(0xff02, 0, 0, 0x00fb), 1, {0x33, 0x33, 0x00, 0x00, 0x00, 0xfb}, false);
        const HostRange dhcpClient = v4Range({0, 0, 0, 0}, 1, {0x02, 0x1a, 0x2b, 0x00, 0x01, 0xf0}, false);
        const HostRange limitedBcast = v4Range({255, 255, 255, 255}, 1, bcastMac, false);
        const HostRange subnetBcast = v4Range({10, 20, 1, 255}, 1, bcastMac, false);
        const HostRange switchPort = l2Range({0x00, 0x1e, 0x58, 0x40, 0x0c, 0x02}, 1, false);
        const HostRange lldpGroup = l2Range({0x01, 0x80, 0xc2, 0x00, 0x00, 0x0e}, 1, false);
        const HostRange clientsL2 = l2Range(clientMac, 120, true);
        const HostRange bcastL2 = l2Range(bcastMac, 1, false);

        std::vector<Flow> t;
        // clang-format off
        t.push_back({GroupUnicastV4, 0.38, Family::V4, Cast::Unicast, L4::Tcp, clientsV4, internetV4, 49152, 16384, 443, false, 1.0, 1.3,
                     {{64, 0.62}, {590, 0.18}, {1518, 0.20}}, {{1518, 0.78}, {64, 0.08}, {1230, 0.14}}, App::Tls, InternetBulk});
        t.push_back({GroupUnicastV4, 0.06, Family::V4, Cast::Unicast, L4::Tcp, clientsV4, internetV4, 49152, 16384, 80, false, 1.0, 1.4,
                     {{64, 0.5}, {420, 0.5}}, {{1518, 0.85}, {64, 0.05}, {800, 0.10}},
                     App::Http, NotBulk});
        t.push_back({GroupUnicastV4, 0.22, Family::V4, Cast::Unicast, L4::Tcp, clientsV4, lanServersV4, 49152, 16384, 445, false, 1.0, 1.0,
                     {{64, 0.40}, {1518, 0.60}}, {{1518, 0.70}, {64, 0.30}}, App::Smb, LanBulk});
        t.push_back({GroupUnicastV4, 0.05, Family::V4, Cast::Unicast, L4::Udp, clientsV4, dnsV4, 49152, 16384, 53, false, 1.0, 1.0,
                     {{82, 1.0}}, {{178, 0.7}, {330, 0.3}}, App::Dns, NotBulk});
        // QUIC clients keep below 49999: Wireshark finds no connection for the short headers of a sample, and
        // would hand them to whatever claims the client's port (Elasticsearch, Eurex) as malformed.
        t.push_back({GroupUnicastV4, 0.14, Family::V4, Cast::Unicast, L4::Udp, clientsV4, quicV4, 49152, 840, 443, false, 1.0, 1.2,
                     {{84, 0.4}, {1292, 0.6}}, {{1392, 0.85}, {84, 0.15}}, App::Quic, NotBulk});
        // Voice on RTP ports below 17220, which Wireshark gives to IEEE 1722 streams.
        t.push_back({GroupUnicastV4, 0.05, Family::V4, Cast::Unicast, L4::Udp, clientsV4, voipV4, 16384, 800, 16384, false, 1.0, 1.0,
                     {{214, 1.0}}, {{214, 1.0}}, App::Rtp, NotBulk});
        t.push_back({GroupUnicastV4, 0.02, Family::V4, Cast::Unicast, L4::Icmp, clientsV4, gatewayV4, 0, 1, 0, false, 1.0, 1.0,
                     {{98, 1.0}}, {{98, 1.0}}, App::Ping, NotBulk});
        t.push_back({GroupUnicastV4, 0.08, Family::V4, Cast::Unicast, L4::Tcp, clientsV4, lanServersV4, 49152, 16384, 22, false, 1.0, 1.0,
                     {{64, 0.5}, {110, 0.5}}, {{110, 0.4}, {64, 0.2}, {1518, 0.4}}, App::Ssh, NotBulk});
        t.push_back({GroupUnicastV6, 0.55, Family::V6, Cast::Unicast, L4::Tcp, clientsV6, internetV6, 49152, 16384, 443, false, 1.0, 1.3,
                     {{84, 0.62}, {610, 0.18}, {1518, 0.20}}, {{1518, 0.78}, {84, 0.08}, {1250, 0.14}}, App::Tls, InternetBulk});
        // QUIC clients keep below 49999: Wireshark finds no connection for the short headers of a sample, and
        // would hand them to whatever claims the client's port (Elasticsearch, Eurex) as malformed.
        t.push_back({GroupUnicastV6, 0.30, Family::V6, Cast::Unicast, L4::Udp, clientsV6, internetV6, 49152, 840, 443, false, 1.0, 1.2,
                     {{104, 0.4}, {1292, 0.6}}, {{1392, 0.85}, {104, 0.15}}, App::Quic, NotBulk});
        t.push_back({GroupUnicastV6, 0.08, Family::V6, Cast::Unicast, L4::Udp, clientsV6, dnsV6, 49152, 16384, 53, false, 1.0, 1.0,
                     {{102, 1.0}}, {{198, 0.7}, {350, 0.3}}, App::Dns, NotBulk});
        t.push_back({GroupUnicastV6, 0.07, Family::V6, Cast::Unicast, L4::Icmp, clientsV6, dnsV6, 0, 1, 0, false, 1.0, 1.0,
                     {{118, 1.0}}, {{118, 1.0}}, App::Ping, NotBulk});
        t.push_back({GroupMulticastV4, 0.60, Family::V4, Cast::Multicast, L4::Udp, videoSource, videoGroups, 5004, 1, 5004, true, 0.05, 1.0,
                     {{1358, 1.0}}, {}, App::MpegTs, NotBulk});
        t.push_back({GroupMulticastV4, 0.25, Family::V4, Cast::Multicast, L4::Udp, clientsV4, mdnsV4, 5353, 1, 5353, true, 1.0, 0.6,
                     {{120, 0.5}, {380, 0.5}}, {}, App::Mdns, NotBulk});
        t.push_back({GroupMulticastV4, 0.15, Family::V4, Cast::Multicast, L4::Other, clientsV4, igmpV4, 0, 1, 0, true, 1.0, 0.3,
                     {{64, 1.0}}, {}, App::None, NotBulk});
        // Neighbour discovery options come in units of 8 bytes: advertisements with the sender's link-layer
        // address, some with a nonce as well, in the shares that keep the flow's mean frame at 98.8 bytes.
        t.push_back({GroupMulticastV6, 0.60, Family::V6, Cast::Multicast, L4::Icmp, clientsV6, allNodesV6, 0, 1, 0, true, 1.0, 1.0,
                     {{90, 19.0 / 30}, {114, 11.0 / 30}}, {}, App::Nd, NotBulk});
        t.push_back({GroupMulticastV6, 0.40, Family::V6, Cast::Multicast, L4::Udp, clientsV6, mdnsV6, 5353, 1, 5353, true, 1.0, 0.6,
                     {{140, 0.5}, {400, 0.5}}, {}, App::Mdns, NotBulk});
        t.push_back({GroupMulticastL2, 1.00, Family::None, Cast::Multicast, L4::None, switchPort, lldpGroup, 0, 1, 0, true, 1.0, 1.0,
                     {{256, 1.0}}, {}, App::Lldp, NotBulk});
        t.push_back({GroupBroadcast, 0.50, Family::None, Cast::Broadcast, L4::None, clientsL2, bcastL2, 0, 1, 0, true, 1.0, 0.4,
                     {{60, 0.03}, {64, 0.97}}, {}, App::None, NotBulk});
        t.push_back({GroupBroadcast, 0.15, Family::V4, Cast::Broadcast, L4::Udp, dhcpClient, limitedBcast, 68, 1, 67, true, 1.0, 0.2,
                     {{342, 1.0}}, {}, App::Dhcp, NotBulk});
        // A name query holds 50 bytes of UDP payload, whatever the name.
        t.push_back({GroupBroadcast, 0.35, Family::V4, Cast::Broadcast, L4::Udp, clientsV4, subnetBcast, 137, 1, 137, true, 1.0, 0.5,
                     {{96, 1.0}}, {}, App::Nbns, NotBulk});
        // clang-format on
        return t;
    }();
    return table;
}

// A flow as one port sees it.
struct View {
    const Flow *flow = nullptr;
    const HostRange *src = nullptr;
    const HostRange *dst = nullptr;
    uint16_t srcPort = 0;
    uint16_t srcPorts = 1;
    uint16_t dstPort = 0;
    uint16_t dstPorts = 1;
    const std::vector<SizeWeight> *sizes = nullptr;
    double weight = 0;
};

View viewOf(const Flow &f, int port)
{
    View v;
    v.flow = &f;
    if (f.oneWay || port == 0) {
        v.src = &f.client;
        v.dst = &f.server;
        v.srcPort = f.clientPort;
        v.srcPorts = f.clientPorts;
        v.dstPort = f.serverPort;
        v.dstPorts = 1;
        v.sizes = &f.sizesA;
    } else {
        v.src = &f.server;
        v.dst = &f.client;
        v.srcPort = f.serverPort;
        v.srcPorts = 1;
        v.dstPort = f.clientPort;
        v.dstPorts = f.clientPorts;
        v.sizes = &f.sizesB;
    }
    v.weight = f.weight * (port == 0 ? f.weightA : f.weightB);
    return v;
}

// The Internet checksum's one's complement sum of a block, in network byte
// order. The sum does not care about byte order, so it adds native words
// eight bytes at a time and swaps the result.
uint32_t sum16(const uint8_t *p, size_t n, uint32_t acc)
{
    uint64_t native = 0;
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        native += (w & 0xffffffffu) + (w >> 32);
    }
    for (; n >= 2; p += 2, n -= 2) {
        uint16_t w;
        std::memcpy(&w, p, 2);
        native += w;
    }
    uint32_t tail = n ? uint32_t(p[0]) << 8 : 0;
    while (native >> 16)
        native = (native & 0xffff) + (native >> 16);
    const auto folded = uint32_t(native);
    if constexpr (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)
        tail += ((folded & 0xff) << 8) | (folded >> 8);
    else
        tail += folded;
    return acc + tail;
}

uint16_t fold(uint32_t acc)
{
    while (acc >> 16)
        acc = (acc & 0xffff) + (acc >> 16);
    return uint16_t(~acc);
}

// Four tables, so the CRC takes four bytes a step.
constexpr std::array<std::array<uint32_t, 256>, 4> makeCrcTables()
{
    std::array<std::array<uint32_t, 256>, 4> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        for (size_t k = 1; k < 4; ++k)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff];
    }
    return t;
}
constexpr auto kCrcTables = makeCrcTables();

struct WeightedCell {
    uint16_t flow;
    uint32_t size;
    double share;
};

} // namespace

TrafficMix::TrafficMix(const TrafficProfile &profile, int port) : m_port(port)
{
    const auto &table = flows();
    const double b = profile.broadcast;
    const double m = profile.multicast;
    const double v6share = profile.ipv6;
    std::array<double, GroupCount> groupShare{};
    groupShare[GroupBroadcast] = b;
    groupShare[GroupMulticastL2] = m * 0.02;
    groupShare[GroupMulticastV4] = m * 0.98 * (1.0 - v6share);
    groupShare[GroupMulticastV6] = m * 0.98 * v6share;
    groupShare[GroupUnicastV4] = (1.0 - b - m) * (1.0 - v6share);
    groupShare[GroupUnicastV6] = (1.0 - b - m) * v6share;

    std::array<double, GroupCount> groupWeight{};
    for (const Flow &f : table)
        groupWeight[f.group] += viewOf(f, port).weight;

    auto sizesWithJumbo = [&](const Flow &f, const std::vector<SizeWeight> &sizes) {
        std::vector<SizeWeight> out;
        for (const SizeWeight &sw : sizes) {
            if (f.bulk == LanBulk && sw.size == kFullFrame && profile.jumbo > 0) {
                out.push_back({kFullFrame, sw.weight * (1.0 - profile.jumbo)});
                out.push_back({kJumboFrame, sw.weight * profile.jumbo});
            } else {
                out.push_back(sw);
            }
        }
        return out;
    };

    std::vector<WeightedCell> steady;
    for (size_t i = 0; i < table.size(); ++i) {
        const View v = viewOf(table[i], port);
        if (v.weight <= 0 || groupWeight[v.flow->group] <= 0)
            continue;
        const double flowShare = groupShare[v.flow->group] * v.weight / groupWeight[v.flow->group];
        const auto sizes = sizesWithJumbo(table[i], *v.sizes);
        double total = 0;
        for (const SizeWeight &sw : sizes)
            total += sw.weight;
        for (const SizeWeight &sw : sizes) {
            if (sw.weight > 0 && flowShare > 0)
                steady.push_back({uint16_t(i), sw.size, flowShare * sw.weight / total});
        }
    }

    // Bursts are bulk data: LAN file transfers and Internet downloads.
    std::vector<WeightedCell> burst;
    for (size_t i = 0; i < table.size(); ++i) {
        const Flow &f = table[i];
        if (f.bulk == LanBulk) {
            burst.push_back({uint16_t(i), kFullFrame, 0.5 * (1.0 - profile.jumbo)});
            if (profile.jumbo > 0)
                burst.push_back({uint16_t(i), kJumboFrame, 0.5 * profile.jumbo});
        } else if (f.bulk == InternetBulk) {
            const double familyShare = f.family == Family::V6 ? v6share : 1.0 - v6share;
            if (familyShare > 0)
                burst.push_back({uint16_t(i), kFullFrame, 0.5 * familyShare});
        }
    }

    auto install = [this](Pool pool, const std::vector<WeightedCell> &cells) {
        double total = 0, wire = 0;
        for (const WeightedCell &c : cells) {
            total += c.share;
            wire += c.share * (c.size + 20.0);
        }
        if (total <= 0)
            return;
        double running = 0;
        for (const WeightedCell &c : cells) {
            if (c.share <= 0)
                continue;
            running += c.share / total;
            m_cells[size_t(pool)].push_back({c.flow, c.size});
            m_cumulative[size_t(pool)].push_back(running);
        }
        m_cumulative[size_t(pool)].back() = 1.0;
        m_meanWire[size_t(pool)] = wire / total;
    };
    install(Pool::Steady, steady);
    install(Pool::Burst, burst);
}

PacketDraw TrafficMix::draw(Pool pool, uint64_t key, uint64_t index) const
{
    PacketDraw d;
    const auto &cells = m_cells[size_t(pool)];
    if (cells.empty())
        return d;
    // A Weyl sequence: successive indices step by the golden ratio around the
    // unit interval, which no run of draws visits unevenly.
    const uint64_t weyl = key + index * 0x9e3779b97f4a7c15ull;
    const double u = double(weyl >> 11) * (1.0 / 9007199254740992.0);
    const auto &cumulative = m_cumulative[size_t(pool)];
    const size_t c = std::min(cells.size() - 1,
                              size_t(std::upper_bound(cumulative.begin(), cumulative.end(), u) - cumulative.begin()));
    const Cell &cell = cells[c];
    const View v = viewOf(flows()[cell.flow], m_port);
    const uint64_t h = noise::mix(noise::mix(key ^ 0x5bd1e9955bd1e995ull) + index);
    d.id = h;
    d.length = d.intended = cell.size;
    d.flow = cell.flow;
    d.srcHost = uint16_t((h & 0xffff) % v.src->hosts);
    d.dstHost = uint16_t(((h >> 16) & 0xffff) % v.dst->hosts);
    d.srcPort = uint16_t(v.srcPort + ((h >> 32) & 0xffff) % v.srcPorts);
    d.dstPort = uint16_t(v.dstPort + ((h >> 48) & 0xffff) % v.dstPorts);
    return d;
}

PacketDraw TrafficMix::damaged(PacketDraw packet, Damage how)
{
    packet.intended = std::clamp<uint32_t>(packet.intended, 64, kFullFrame);
    packet.damage = how;
    switch (how) {
    case Damage::None:
    case Damage::BadFcs:
        packet.length = packet.intended;
        break;
    case Damage::Runt:
        packet.length = kRuntFragment;
        break;
    case Damage::Jabber:
        packet.length = kJabberFrame;
        break;
    }
    return packet;
}

size_t TrafficMix::writeFrame(const PacketDraw &d, uint8_t *out, bool headersOnly) const
{
    const Flow &f = flows()[d.flow];
    const View v = viewOf(f, m_port);
    const size_t onLine = d.length - 4;
    const size_t body = d.intended - 4;
    size_t n = 0;
    auto u8 = [&](unsigned x) { out[n++] = uint8_t(x); };
    auto u16 = [&](unsigned x) {
        u8(x >> 8);
        u8(x);
    };
    auto u32 = [&](uint32_t x) {
        u16(x >> 16);
        u16(x & 0xffff);
    };
    auto put = [&](const uint8_t *p, size_t length) {
        std::memcpy(out + n, p, length);
        n += length;
    };

    const auto dmac = v.dst->macOf(d.dstHost);
    const auto smac = v.src->macOf(d.srcHost);
    const auto sip = v.src->ipOf(d.srcHost);
    const auto dip = v.dst->ipOf(d.dstHost);
    put(dmac.data(), 6);
    put(smac.data(), 6);

    const bool v6 = f.family == Family::V6;
    const size_t ipStart = 14;
    size_t l4Start = 14;
    size_t ipEnd = 14;
    uint8_t protocol = 0;
    size_t checksumAt = 0; // offset of the transport checksum, 0 for none
    bool pseudoHeader = false;
    if (f.family == Family::None && f.cast == Cast::Broadcast) {
        // ARP: who has the gateway?
        u16(0x0806);
        u16(1);
        u16(0x0800);
        u8(6);
        u8(4);
        u16(1);
        put(smac.data(), 6);
        const uint8_t spa[4] = {10, 20, 1, uint8_t(10 + d.srcHost)};
        put(spa, 4);
        const uint8_t target[10] = {0, 0, 0, 0, 0, 0, 192, 168, 50, 1};
        put(target, 10);
        ipEnd = n;
    } else if (f.family == Family::None) {
        // LLDP: its TLVs fill the frame, so it needs no padding.
        u16(0x88cc);
        ipEnd = body;
    } else {
        const size_t ipHeader = v6 ? 40 : 20;
        const size_t room = body - 14;
        size_t l4Length = 0;
        switch (f.l4) {
        case L4::Tcp: {
            // Minimum-size frames carry bare acknowledgements and padding.
            const size_t segment = room > ipHeader + 20 && body > 60 ? room - ipHeader - 20 : 0;
            l4Length = 20 + segment;
            protocol = 6;
            break;
        }
        case L4::Udp:
            l4Length = room > ipHeader + 8 ? room - ipHeader : 8;
            protocol = 17;
            break;
        case L4::Icmp:
            l4Length = room > ipHeader + 8 ? room - ipHeader : 8;
            protocol = v6 ? 58 : 1;
            break;
        case L4::Other:
            l4Length = 16; // IGMPv3 membership report with one group record
            protocol = 2;
            break;
        case L4::None:
            break;
        }
        const bool linkLocalGroup =
            v6 ? (dip[0] == 0xff && (dip[1] & 0x0f) == 2) : (dip[0] == 224 && dip[1] == 0 && dip[2] == 0);
        const unsigned ttl = protocol == 2 ? 1 : (linkLocalGroup ? 255 : 64);
        if (v6) {
            u16(0x86dd);
            u32(0x60000000u | uint32_t(d.id & 0xfffff));
            u16(unsigned(l4Length));
            u8(protocol);
            u8(ttl);
            put(sip.data(), 16);
            put(dip.data(), 16);
        } else {
            u16(0x0800);
            u8(0x45);
            u8(f.serverPort == 16384 ? 0xb8 : 0x00); // voice rides expedited forwarding
            u16(unsigned(20 + l4Length));
            u16(unsigned(d.id >> 16) & 0xffff);
            u16(0x4000);
            u8(ttl);
            u8(protocol);
            u16(0);
            put(sip.data(), 4);
            put(dip.data(), 4);
            const uint16_t c = fold(sum16(out + ipStart, 20, 0));
            out[ipStart + 10] = uint8_t(c >> 8);
            out[ipStart + 11] = uint8_t(c);
        }
        l4Start = n;
        ipEnd = l4Start + l4Length;
        const bool request = m_port == 0 || f.oneWay;
        switch (f.l4) {
        case L4::Tcp:
            u16(d.srcPort);
            u16(d.dstPort);
            u32(uint32_t(d.id));
            u32(uint32_t(d.id >> 32));
            u8(0x50);
            u8(l4Length > 20 ? 0x18 : 0x10);
            u16(request ? 0xfaf0 : 0x01f6);
            u32(0);
            checksumAt = l4Start + 16;
            pseudoHeader = true;
            break;
        case L4::Udp:
            u16(d.srcPort);
            u16(d.dstPort);
            u16(unsigned(l4Length));
            u16(0);
            checksumAt = l4Start + 6;
            pseudoHeader = true;
            break;
        case L4::Icmp:
            if (f.cast == Cast::Multicast) {
                // Unsolicited neighbour advertisement to all nodes.
                u8(136);
                u8(0);
                u16(0);
                u32(0x20000000u);
                put(sip.data(), 16);
            } else {
                u8(v6 ? (request ? 128 : 129) : (request ? 8 : 0));
                u8(0);
                u16(0);
                u16(1);
                u16(unsigned(d.id & 0xffff));
            }
            checksumAt = l4Start + 2;
            pseudoHeader = v6;
            break;
        case L4::Other: {
            u8(0x22);
            u8(0);
            u16(0);
            u16(0);
            u16(1);
            u8(4);
            u8(0);
            u16(0);
            const uint8_t group[4] = {239, 1, 1, 1};
            put(group, 4);
            checksumAt = l4Start + 2;
            break;
        }
        case L4::None:
            break;
        }
    }

    // Payload, padding up to the intended size (zeros, as the MAC sends), and
    // whatever a jabbering sender appends beyond it.
    const size_t end = headersOnly ? std::min(onLine, kHeaderBytes) : std::max(onLine, body);
    PayloadSpot spot;
    spot.out = out;
    spot.from = n;
    spot.to = ipEnd;
    spot.end = std::min(ipEnd, end);
    spot.id = d.id;
    spot.request = m_port == 0 || f.oneWay;
    spot.mac = smac.data();
    writePayload(f.app, spot);
    fill(out, std::max(n, ipEnd), std::min(body, end), Filler::Zero, 0, 0);
    fill(out, std::max(n, body), end, Filler::Random, ~d.id, 0);

    if (!headersOnly && checksumAt) {
        const size_t l4Length = ipEnd - l4Start;
        uint32_t acc = 0;
        if (pseudoHeader) {
            acc = v6 ? sum16(out + ipStart + 8, 32, 0) : sum16(out + ipStart + 12, 8, 0);
            acc += uint32_t(protocol) + uint32_t(l4Length & 0xffff) + uint32_t(l4Length >> 16);
        }
        uint16_t c = fold(sum16(out + l4Start, l4Length, acc));
        if (protocol == 17 && c == 0)
            c = 0xffff;
        out[checksumAt] = uint8_t(c >> 8);
        out[checksumAt + 1] = uint8_t(c);
    }
    return headersOnly ? std::min(onLine, kHeaderBytes) : onLine;
}

uint32_t TrafficMix::fcs(const PacketDraw &packet, const uint8_t *frame, size_t length)
{
    const uint32_t crc = ethernetCrc32(frame, length);
    return packet.damage == Damage::None ? crc : crc ^ (uint32_t(packet.id >> 32) | 1u);
}

uint32_t ethernetCrc32(const uint8_t *data, size_t length)
{
    uint32_t c = 0xffffffffu;
    size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        c ^= uint32_t(data[i]) | uint32_t(data[i + 1]) << 8 | uint32_t(data[i + 2]) << 16 | uint32_t(data[i + 3]) << 24;
        c = kCrcTables[3][c & 0xff] ^ kCrcTables[2][(c >> 8) & 0xff] ^ kCrcTables[1][(c >> 16) & 0xff] ^
            kCrcTables[0][c >> 24];
    }
    for (; i < length; ++i)
        c = kCrcTables[0][(c ^ data[i]) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

LoadSample loadAt(const TrafficProfile &profile, uint64_t seed, int port, double tSeconds)
{
    const uint64_t s = noise::mix(seed ^ (0x51a7e0000ull + uint64_t(port)));
    constexpr double twoPi = 6.28318530717958647692;
    const double phase = twoPi * noise::unit(s, noise::StreamLoadPhase, 0);
    const double swell = 0.3 * std::sin(twoPi * tSeconds / profile.periodSeconds + phase);
    const double wander = 0.22 * noise::smooth(s, noise::StreamLoadSlow, tSeconds, 23.0) +
                          0.07 * noise::smooth(s, noise::StreamLoadFast, tSeconds, 0.9);
    LoadSample out;
    out.steady = std::clamp(profile.load * (1.0 + swell + wander), 0.0, 0.98);

    // A burst may start anywhere in an 8-second slot and lasts under 8 s, so
    // only this slot and the one before can cover the moment.
    constexpr double slot = 8.0;
    const auto k = static_cast<int64_t>(std::floor(tSeconds / slot));
    double burst = 0;
    for (int64_t j = k - 1; j <= k; ++j) {
        const auto key = static_cast<uint64_t>(j);
        if (noise::unit(s, noise::StreamBurst, key, 0) >= profile.burstiness * 0.45)
            continue;
        const double start = double(j) * slot + slot * noise::unit(s, noise::StreamBurst, key, 1);
        const double u = noise::unit(s, noise::StreamBurst, key, 2);
        const double duration = 0.4 + 6.5 * u * u;
        const double height = 0.35 + 0.65 * noise::unit(s, noise::StreamBurst, key, 3);
        if (tSeconds < start || tSeconds >= start + duration)
            continue;
        const double ramp = std::min({1.0, (tSeconds - start) / 0.15, (start + duration - tSeconds) / 0.15});
        burst = std::max(burst, height * ramp);
    }
    out.burst = burst * (1.0 - out.steady);
    return out;
}

double errorWeather(uint64_t seed, int port, double tSeconds)
{
    const uint64_t s = noise::mix(seed ^ (0xe770e0000ull + uint64_t(port)));
    const double w = std::max(0.0, noise::smooth(s, noise::StreamErrorWeather, tSeconds, 90.0));
    return 0.25 + 4.5 * w * w;
}

} // namespace lqsim
