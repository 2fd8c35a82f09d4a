// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The flows of a small office network seen through a tap (clients on the Port A
// side, servers and the Internet router on the Port B side), their packet mix,
// and the classification of that mix by counters and capture filters.

#include "trafficmodel.h"

#include "simnoise.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace lqsim {

namespace {

enum class Family : uint8_t { None, V4, V6 };
enum class Cast : uint8_t { Unicast, Multicast, Broadcast };
enum class L4 : uint8_t { None, Icmp, Udp, Tcp, Other };
enum Group { GroupUnicastV4, GroupUnicastV6, GroupMulticastV4, GroupMulticastV6, GroupMulticastL2, GroupBroadcast, GroupCount };
enum Bulk { NotBulk, InternetBulk, LanBulk };

constexpr uint32_t kJumboFrame = 9018;
constexpr uint32_t kFullFrame = 1518;
constexpr uint32_t kRuntFragment = 48;
constexpr uint32_t kJabberFrame = 2048;
constexpr uint32_t kFixedSliceLength = 64; // used when the device has no adjustable length

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

// A byte string written as a literal, embedded NULs included.
template <size_t N> std::string bytesOf(const char (&literal)[N])
{
    return std::string(literal, N - 1);
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
    std::string payloadA;
    std::string payloadB;
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
        const HostRange dnsV6 = v6Range(v6(0x2001, 0x0db8, 0x0050, 0x0053), 1, {0x02, 0x1a, 0x2b, 0x00, 0x32, 0x35}, false);
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

        const std::string tlsHello = bytesOf("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03");
        const std::string tlsData = bytesOf("\x17\x03\x03");
        const std::string smb = bytesOf("\x00\x00\x10\x00\xfe" "SMB");
        const std::string dnsQuery = bytesOf("\x5a\x17\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x03" "www\x07" "example\x03" "com\x00");
        const std::string dnsAnswer = bytesOf("\x5a\x17\x81\x80\x00\x01\x00\x01\x00\x00\x00\x00\x03" "www\x07" "example\x03" "com\x00");
        const std::string quic = bytesOf("\xc3\x00\x00\x00\x01");
        const std::string rtp = bytesOf("\x80\x00\x1f\x40");
        const std::string ping = bytesOf("abcdefghijklmnopqrstuvwabcdefghi");
        const std::string ts = bytesOf("\x47\x40\x11\x10");
        const std::string mdnsQuery = bytesOf("\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x08" "_printer\x04" "_tcp\x05" "local\x00");
        const std::string dhcp = bytesOf("\x01\x01\x06\x00\x39\x03\xf3\x26");
        const std::string netbios = bytesOf("\x82\x28\x01\x10\x00\x01\x00\x00\x00\x00\x00\x00\x20" "EOEBFDEBFAEFFCCACACACACACACACACA");

        std::vector<Flow> t;
        // clang-format off
        t.push_back({GroupUnicastV4, 0.38, Family::V4, Cast::Unicast, L4::Tcp, clientsV4, internetV4, 49152, 16384, 443, false, 1.0, 1.3,
                     {{64, 0.62}, {590, 0.18}, {1518, 0.20}}, {{1518, 0.78}, {64, 0.08}, {1230, 0.14}}, tlsHello, tlsData, InternetBulk});
        t.push_back({GroupUnicastV4, 0.06, Family::V4, Cast::Unicast, L4::Tcp, clientsV4, internetV4, 49152, 16384, 80, false, 1.0, 1.4,
                     {{64, 0.5}, {420, 0.5}}, {{1518, 0.85}, {64, 0.05}, {800, 0.10}},
                     "GET /index.html HTTP/1.1\r\nHost: www.example.com\r\n", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n", NotBulk});
        t.push_back({GroupUnicastV4, 0.22, Family::V4, Cast::Unicast, L4::Tcp, clientsV4, lanServersV4, 49152, 16384, 445, false, 1.0, 1.0,
                     {{64, 0.40}, {1518, 0.60}}, {{1518, 0.70}, {64, 0.30}}, smb, smb, LanBulk});
        t.push_back({GroupUnicastV4, 0.05, Family::V4, Cast::Unicast, L4::Udp, clientsV4, dnsV4, 49152, 16384, 53, false, 1.0, 1.0,
                     {{82, 1.0}}, {{178, 0.7}, {330, 0.3}}, dnsQuery, dnsAnswer, NotBulk});
        t.push_back({GroupUnicastV4, 0.14, Family::V4, Cast::Unicast, L4::Udp, clientsV4, quicV4, 49152, 16384, 443, false, 1.0, 1.2,
                     {{84, 0.4}, {1292, 0.6}}, {{1392, 0.85}, {84, 0.15}}, quic, quic, NotBulk});
        t.push_back({GroupUnicastV4, 0.05, Family::V4, Cast::Unicast, L4::Udp, clientsV4, voipV4, 16384, 1000, 16384, false, 1.0, 1.0,
                     {{214, 1.0}}, {{214, 1.0}}, rtp, rtp, NotBulk});
        t.push_back({GroupUnicastV4, 0.02, Family::V4, Cast::Unicast, L4::Icmp, clientsV4, gatewayV4, 0, 1, 0, false, 1.0, 1.0,
                     {{98, 1.0}}, {{98, 1.0}}, ping, ping, NotBulk});
        t.push_back({GroupUnicastV4, 0.08, Family::V4, Cast::Unicast, L4::Tcp, clientsV4, lanServersV4, 49152, 16384, 22, false, 1.0, 1.0,
                     {{64, 0.5}, {110, 0.5}}, {{110, 0.4}, {64, 0.2}, {1518, 0.4}}, "SSH-2.0-", "SSH-2.0-", NotBulk});
        t.push_back({GroupUnicastV6, 0.55, Family::V6, Cast::Unicast, L4::Tcp, clientsV6, internetV6, 49152, 16384, 443, false, 1.0, 1.3,
                     {{84, 0.62}, {610, 0.18}, {1518, 0.20}}, {{1518, 0.78}, {84, 0.08}, {1250, 0.14}}, tlsHello, tlsData, InternetBulk});
        t.push_back({GroupUnicastV6, 0.30, Family::V6, Cast::Unicast, L4::Udp, clientsV6, internetV6, 49152, 16384, 443, false, 1.0, 1.2,
                     {{104, 0.4}, {1292, 0.6}}, {{1392, 0.85}, {104, 0.15}}, quic, quic, NotBulk});
        t.push_back({GroupUnicastV6, 0.08, Family::V6, Cast::Unicast, L4::Udp, clientsV6, dnsV6, 49152, 16384, 53, false, 1.0, 1.0,
                     {{102, 1.0}}, {{198, 0.7}, {350, 0.3}}, dnsQuery, dnsAnswer, NotBulk});
        t.push_back({GroupUnicastV6, 0.07, Family::V6, Cast::Unicast, L4::Icmp, clientsV6, dnsV6, 0, 1, 0, false, 1.0, 1.0,
                     {{118, 1.0}}, {{118, 1.0}}, ping, ping, NotBulk});
        t.push_back({GroupMulticastV4, 0.60, Family::V4, Cast::Multicast, L4::Udp, videoSource, videoGroups, 5004, 1, 5004, true, 0.05, 1.0,
                     {{1358, 1.0}}, {}, ts, ts, NotBulk});
        t.push_back({GroupMulticastV4, 0.25, Family::V4, Cast::Multicast, L4::Udp, clientsV4, mdnsV4, 5353, 1, 5353, true, 1.0, 0.6,
                     {{120, 0.5}, {380, 0.5}}, {}, mdnsQuery, mdnsQuery, NotBulk});
        t.push_back({GroupMulticastV4, 0.15, Family::V4, Cast::Multicast, L4::Other, clientsV4, igmpV4, 0, 1, 0, true, 1.0, 0.3,
                     {{64, 1.0}}, {}, "", "", NotBulk});
        t.push_back({GroupMulticastV6, 0.60, Family::V6, Cast::Multicast, L4::Icmp, clientsV6, allNodesV6, 0, 1, 0, true, 1.0, 1.0,
                     {{86, 0.6}, {118, 0.4}}, {}, "", "", NotBulk});
        t.push_back({GroupMulticastV6, 0.40, Family::V6, Cast::Multicast, L4::Udp, clientsV6, mdnsV6, 5353, 1, 5353, true, 1.0, 0.6,
                     {{140, 0.5}, {400, 0.5}}, {}, mdnsQuery, mdnsQuery, NotBulk});
        t.push_back({GroupMulticastL2, 1.00, Family::None, Cast::Multicast, L4::None, switchPort, lldpGroup, 0, 1, 0, true, 1.0, 1.0,
                     {{256, 1.0}}, {}, "", "", NotBulk});
        t.push_back({GroupBroadcast, 0.50, Family::None, Cast::Broadcast, L4::None, clientsL2, bcastL2, 0, 1, 0, true, 1.0, 0.4,
                     {{60, 0.03}, {64, 0.97}}, {}, "", "", NotBulk});
        t.push_back({GroupBroadcast, 0.15, Family::V4, Cast::Broadcast, L4::Udp, dhcpClient, limitedBcast, 68, 1, 67, true, 1.0, 0.2,
                     {{342, 1.0}}, {}, dhcp, dhcp, NotBulk});
        t.push_back({GroupBroadcast, 0.35, Family::V4, Cast::Broadcast, L4::Udp, clientsV4, subnetBcast, 137, 1, 137, true, 1.0, 0.5,
                     {{92, 1.0}}, {}, netbios, netbios, NotBulk});
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
    const std::string *payload = nullptr;
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
        v.payload = &f.payloadA;
    } else {
        v.src = &f.server;
        v.dst = &f.client;
        v.srcPort = f.serverPort;
        v.srcPorts = 1;
        v.dstPort = f.clientPort;
        v.dstPorts = f.clientPorts;
        v.sizes = &f.sizesB;
        v.payload = &f.payloadB;
    }
    v.weight = f.weight * (port == 0 ? f.weightA : f.weightB);
    return v;
}

bool triState(int32_t rule, bool attribute)
{
    if (rule == 0)
        return !attribute;
    if (rule == 1)
        return attribute;
    return true; // -1 and anything unexpected: don't care
}

bool sizeMatches(const CounterV2Config &rule, uint32_t size)
{
    switch (rule.sizeMode) {
    case 0:
        return size > rule.size;
    case 1:
        return size < rule.size;
    case 2:
        return size == rule.size;
    default:
        return true;
    }
}

template <size_t N> bool allZero(const uint8_t (&bytes)[N])
{
    return std::all_of(std::begin(bytes), std::end(bytes), [](uint8_t b) { return b == 0; });
}

// Records keep addresses last byte first; compare against a network-order one.
bool reversedIpMatches(const std::array<uint8_t, 16> &ip, int length, const uint8_t *stored, const uint8_t *storedMask)
{
    for (int k = 0; k < length; ++k) {
        const uint8_t m = storedMask[length - 1 - k];
        if ((ip[size_t(k)] & m) != (stored[length - 1 - k] & m))
            return false;
    }
    return true;
}

// Byte i of a reversed record field is compared when bit i of the mask is set.
bool reversedBytesMatch(const uint8_t *host, int length, const uint8_t *stored, unsigned maskBits)
{
    for (int i = 0; i < length; ++i) {
        if ((maskBits & (1u << i)) && stored[i] != host[length - 1 - i])
            return false;
    }
    return true;
}

double portShare(uint16_t first, uint16_t count, uint16_t wanted)
{
    return (wanted >= first && uint32_t(wanted) < uint32_t(first) + count) ? 1.0 / count : 0.0;
}

void put16(std::vector<uint8_t> &b, unsigned v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

// A representative frame of a flow, for the pattern filter to look into.
std::vector<uint8_t> frameOf(const View &v, int s, int d, uint16_t sport, uint16_t dport)
{
    const Flow &f = *v.flow;
    std::vector<uint8_t> b;
    b.reserve(160);
    const auto dmac = v.dst->macOf(d);
    const auto smac = v.src->macOf(s);
    b.insert(b.end(), dmac.begin(), dmac.end());
    b.insert(b.end(), smac.begin(), smac.end());
    const auto sip = v.src->ipOf(s);
    const auto dip = v.dst->ipOf(d);
    unsigned l4Length = f.l4 == L4::Tcp ? 20 : (f.l4 == L4::None ? 0 : 8);
    const unsigned payloadLength = unsigned(v.payload->size());
    uint8_t proto = 0;
    switch (f.l4) {
    case L4::Tcp:
        proto = 6;
        break;
    case L4::Udp:
        proto = 17;
        break;
    case L4::Icmp:
        proto = f.family == Family::V6 ? 58 : 1;
        break;
    case L4::Other:
        proto = 2;
        break;
    case L4::None:
        break;
    }
    if (f.family == Family::V4) {
        put16(b, 0x0800);
        const unsigned total = 20 + l4Length + payloadLength;
        b.insert(b.end(), {0x45, 0x00});
        put16(b, total);
        b.insert(b.end(), {0x1c, 0x46, 0x40, 0x00, 0x40, proto, 0x00, 0x00});
        b.insert(b.end(), sip.begin(), sip.begin() + 4);
        b.insert(b.end(), dip.begin(), dip.begin() + 4);
    } else if (f.family == Family::V6) {
        put16(b, 0x86dd);
        b.insert(b.end(), {0x60, 0x00, 0x00, 0x00});
        put16(b, l4Length + payloadLength);
        b.insert(b.end(), {proto, 0x40});
        b.insert(b.end(), sip.begin(), sip.end());
        b.insert(b.end(), dip.begin(), dip.end());
    } else if (f.cast == Cast::Broadcast) {
        // ARP request: who has the gateway
        put16(b, 0x0806);
        b.insert(b.end(), {0x00, 0x01, 0x08, 0x00, 0x06, 0x04, 0x00, 0x01});
        b.insert(b.end(), smac.begin(), smac.end());
        b.insert(b.end(), {10, 20, 1, uint8_t(10 + s)});
        b.insert(b.end(), {0, 0, 0, 0, 0, 0, 192, 168, 50, 1});
    } else {
        put16(b, 0x88cc);
        b.insert(b.end(), {0x02, 0x07, 0x04});
        b.insert(b.end(), smac.begin(), smac.end());
        b.insert(b.end(), {0x04, 0x04, 0x05, 'p', 'o', 'r', 't', '7'});
    }
    switch (f.l4) {
    case L4::Tcp:
        put16(b, sport);
        put16(b, dport);
        b.insert(b.end(), {0x6b, 0x3c, 0x11, 0x02, 0x00, 0x00, 0x9a, 0x41, 0x50, 0x18, 0x01, 0xf6, 0x00, 0x00, 0x00, 0x00});
        break;
    case L4::Udp:
        put16(b, sport);
        put16(b, dport);
        put16(b, 8 + payloadLength);
        put16(b, 0);
        break;
    case L4::Icmp:
        b.insert(b.end(), {uint8_t(f.family == Family::V6 ? 128 : 8), 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x2a});
        break;
    case L4::Other:
        b.insert(b.end(), {0x16, 0x00, 0x00, 0x00, 224, 0, 0, 251});
        break;
    case L4::None:
        break;
    }
    b.insert(b.end(), v.payload->begin(), v.payload->end());
    return b;
}

} // namespace

TrafficMix::TrafficMix(const TrafficProfile &profile, int port)
    : m_port(port)
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

    std::vector<Cell> steady;
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
                steady.push_back({int(i), sw.size, flowShare * sw.weight / total});
        }
    }

    // Bursts are bulk data: LAN file transfers and Internet downloads.
    std::vector<Cell> burst;
    for (size_t i = 0; i < table.size(); ++i) {
        const Flow &f = table[i];
        if (f.bulk == LanBulk) {
            burst.push_back({int(i), kFullFrame, 0.5 * (1.0 - profile.jumbo)});
            if (profile.jumbo > 0)
                burst.push_back({int(i), kJumboFrame, 0.5 * profile.jumbo});
        } else if (f.bulk == InternetBulk) {
            const double familyShare = f.family == Family::V6 ? v6share : 1.0 - v6share;
            if (familyShare > 0)
                burst.push_back({int(i), kFullFrame, 0.5 * familyShare});
        }
    }

    addPool(steady, BinBaseUnder, BinBaseMid, BinBaseOver);
    addPool(burst, -1, BinBurstMid, BinBurstOver);

    auto wire = [](const std::vector<Cell> &pool) {
        double total = 0, weight = 0;
        for (const Cell &c : pool) {
            total += c.share * (c.size + 20.0);
            weight += c.share;
        }
        return weight > 0 ? total / weight : 84.0;
    };
    m_steadyWire = wire(steady);
    m_burstWire = wire(burst);

    // Errors hit whatever happens to be on the line; a collision leaves a
    // fragment, a jabber an overlong frame.
    double total = 0;
    for (const Cell &c : steady)
        total += c.share;
    for (const Cell &c : steady) {
        m_cells[BinCollision].push_back({c.flow, kRuntFragment, c.share / total});
        m_cells[BinJabber].push_back({c.flow, kJabberFrame, c.share / total});
    }
    m_cells[BinCrc] = m_cells[BinBaseMid];
    m_meanSize[BinCollision] = kRuntFragment;
    m_meanSize[BinJabber] = kJabberFrame;
    m_meanSize[BinCrc] = m_meanSize[BinBaseMid];
}

void TrafficMix::addPool(const std::vector<Cell> &pool, int underBin, int midBin, int overBin)
{
    double total = 0;
    for (const Cell &c : pool)
        total += c.share;
    if (total <= 0)
        return;
    for (const Cell &c : pool) {
        int bin = c.size < 64 ? underBin : (c.size <= 1522 ? midBin : overBin);
        if (bin < 0)
            bin = midBin;
        m_cells[size_t(bin)].push_back({c.flow, c.size, c.share / total});
    }
    for (int bin : {underBin, midBin, overBin}) {
        if (bin < 0)
            continue;
        auto &cells = m_cells[size_t(bin)];
        double share = 0, bytes = 0;
        for (const Cell &c : cells) {
            share += c.share;
            bytes += c.share * c.size;
        }
        m_poolShare[size_t(bin)] = share;
        if (share > 0) {
            for (Cell &c : cells)
                c.share /= share;
            m_meanSize[size_t(bin)] = bytes / share;
        }
        // What the capture path drops has the same make-up as what it keeps.
        m_cells[size_t(bin + BinBaseUnderDropped)] = cells;
        m_meanSize[size_t(bin + BinBaseUnderDropped)] = m_meanSize[size_t(bin)];
    }
}

double TrafficMix::flowAddressFraction(int flow, const CounterV2Config &rule) const
{
    if (allZero(rule.mask))
        return 1.0;
    const View v = viewOf(flows()[size_t(flow)], m_port);
    const Family family = rule.ipv6 == 1 ? Family::V6 : Family::V4;
    if (v.flow->family != family)
        return 0.0;
    auto share = [&](const HostRange &r) {
        int hits = 0;
        for (int h = 0; h < r.hosts; ++h)
            hits += reversedIpMatches(r.ipOf(h), r.ipLength(), rule.address, rule.mask) ? 1 : 0;
        return double(hits) / r.hosts;
    };
    // The rule names one address; a packet matches when either end has it.
    const double fs = share(*v.src);
    const double fd = share(*v.dst);
    return 1.0 - (1.0 - fs) * (1.0 - fd);
}

double TrafficMix::counterFraction(const CounterV2Config &rule, int bin, bool bytes) const
{
    const auto &cells = m_cells[size_t(bin)];
    if (cells.empty() || !triState(rule.crcValid, binIsValid(bin)) || !triState(rule.dropped, binIsDropped(bin)))
        return 0.0;
    const auto &table = flows();
    std::vector<double> addressShare(table.size(), -1.0);
    double num = 0, den = 0;
    for (const Cell &c : cells) {
        const double w = c.share * (bytes ? double(c.size) : 1.0);
        den += w;
        const Flow &f = table[size_t(c.flow)];
        if (!triState(rule.ipv4, f.family == Family::V4) || !triState(rule.ipv6, f.family == Family::V6)
            || !triState(rule.broadcast, f.cast == Cast::Broadcast) || !triState(rule.multicast, f.cast == Cast::Multicast)
            || !triState(rule.unicast, f.cast == Cast::Unicast) || !triState(rule.icmp, f.l4 == L4::Icmp)
            || !triState(rule.udp, f.l4 == L4::Udp) || !triState(rule.tcp, f.l4 == L4::Tcp) || !sizeMatches(rule, c.size))
            continue;
        double &a = addressShare[size_t(c.flow)];
        if (a < 0)
            a = flowAddressFraction(c.flow, rule);
        num += w * a;
    }
    return den > 0 ? std::min(1.0, num / den) : 0.0;
}

double TrafficMix::flowFilterFraction(int flow, const PacketFilter &filter) const
{
    const View v = viewOf(flows()[size_t(flow)], m_port);
    const Flow &f = *v.flow;
    const uint32_t fields = filter.fields;
    const bool macEither = filter.modes & LQ_FILTER_MODE_MAC;
    const bool ipEither = filter.modes & LQ_FILTER_MODE_IP;
    const bool portEither = filter.modes & LQ_FILTER_MODE_PORT;
    const bool useDstMac = (fields & LQ_FILTER_DST_MAC) && !macEither;
    const bool useSrcMac = fields & LQ_FILTER_SRC_MAC;
    const bool useDstIp = (fields & LQ_FILTER_DST_IP) && !ipEither;
    const bool useSrcIp = fields & LQ_FILTER_SRC_IP;
    const bool useDstPort = (fields & LQ_FILTER_DST_PORT) && !portEither;
    const bool useSrcPort = fields & LQ_FILTER_SRC_PORT;

    if (useDstIp || useSrcIp) {
        const Family wanted = (fields & LQ_FILTER_IPV6) ? Family::V6 : Family::V4;
        if (f.family != wanted)
            return 0.0;
    }
    double portFraction = 1.0;
    if (useDstPort || useSrcPort) {
        if (f.l4 != L4::Tcp && f.l4 != L4::Udp)
            return 0.0;
        const bool dstCompared = filter.port_mask & 0x3;
        const bool srcCompared = filter.port_mask & 0xc;
        if (portEither) {
            if (srcCompared) {
                const double fs = portShare(v.srcPort, v.srcPorts, filter.src_port);
                const double fd = portShare(v.dstPort, v.dstPorts, filter.src_port);
                portFraction = 1.0 - (1.0 - fs) * (1.0 - fd);
            }
        } else {
            if (useDstPort && dstCompared)
                portFraction *= portShare(v.dstPort, v.dstPorts, filter.dst_port);
            if (useSrcPort && srcCompared)
                portFraction *= portShare(v.srcPort, v.srcPorts, filter.src_port);
        }
    }
    if (portFraction <= 0)
        return 0.0;

    const unsigned dstMacMask = filter.mac_mask & 0x3f;
    const unsigned srcMacMask = (filter.mac_mask >> 6) & 0x3f;
    const int ipLength = (fields & LQ_FILTER_IPV6) ? 16 : 4;
    auto ipOk = [&](const HostRange &r, int h, const uint8_t *stored, unsigned mask) {
        if (r.family == Family::None)
            return false;
        const auto ip = r.ipOf(h);
        return reversedBytesMatch(ip.data(), ipLength, stored, mask);
    };
    auto macOk = [&](const HostRange &r, int h, const uint8_t *stored, unsigned mask) {
        const auto mac = r.macOf(h);
        return reversedBytesMatch(mac.data(), 6, stored, mask);
    };
    int hits = 0;
    for (int s = 0; s < v.src->hosts; ++s) {
        for (int d = 0; d < v.dst->hosts; ++d) {
            bool ok = true;
            if (macEither && useSrcMac)
                ok = macOk(*v.src, s, filter.src_mac, srcMacMask) || macOk(*v.dst, d, filter.src_mac, srcMacMask);
            else
                ok = (!useDstMac || macOk(*v.dst, d, filter.dst_mac, dstMacMask))
                    && (!useSrcMac || macOk(*v.src, s, filter.src_mac, srcMacMask));
            if (ok && ipEither && useSrcIp)
                ok = ipOk(*v.src, s, filter.src_ip, filter.src_ip_mask) || ipOk(*v.dst, d, filter.src_ip, filter.src_ip_mask);
            else if (ok)
                ok = (!useDstIp || ipOk(*v.dst, d, filter.dst_ip, filter.dst_ip_mask))
                    && (!useSrcIp || ipOk(*v.src, s, filter.src_ip, filter.src_ip_mask));
            hits += ok ? 1 : 0;
        }
    }
    return portFraction * double(hits) / (double(v.src->hosts) * v.dst->hosts);
}

double TrafficMix::flowDpiFraction(int flow, const DpiFilter &dpi) const
{
    const unsigned mask = dpi.pattern_mask & 0xffff;
    if (mask == 0)
        return 1.0;
    int first = 0;
    while (!(mask & (1u << first)))
        ++first;
    int last = 15;
    while (!(mask & (1u << last)))
        --last;
    const View v = viewOf(flows()[size_t(flow)], m_port);
    // A sample of conversations stands for the whole flow; the pattern may
    // name an address or a port that only some of them carry.
    const int srcSamples = std::min<int>(8, v.src->hosts);
    const int dstSamples = std::min<int>(4, v.dst->hosts);
    int hits = 0;
    for (int i = 0; i < srcSamples; ++i) {
        for (int j = 0; j < dstSamples; ++j) {
            const int s = i * v.src->hosts / srcSamples;
            const int d = j * v.dst->hosts / dstSamples;
            const uint16_t sport = uint16_t(v.srcPort + (uint32_t(i * 7919 + j * 104729) % v.srcPorts));
            const uint16_t dport = uint16_t(v.dstPort + (uint32_t(j * 7919 + i * 104729) % v.dstPorts));
            const auto frame = frameOf(v, s, d, sport, dport);
            const int span = last - first + 1;
            bool found = false;
            for (int o = 0; !found && o + span <= int(frame.size()); ++o) {
                found = true;
                for (int k = first; k <= last && found; ++k) {
                    if ((mask & (1u << k)) && frame[size_t(o + k - first)] != dpi.pattern[k])
                        found = false;
                }
            }
            hits += found ? 1 : 0;
        }
    }
    return double(hits) / (srcSamples * dstSamples);
}

CaptureFactors TrafficMix::captureFactors(const CaptureSettings &capture) const
{
    const auto &table = flows();
    std::vector<double> pass(table.size(), 1.0);
    for (size_t i = 0; i < table.size(); ++i) {
        if (capture.filter.enabled)
            pass[i] *= flowFilterFraction(int(i), capture.filter);
        if (capture.dpi.enabled && pass[i] > 0)
            pass[i] *= flowDpiFraction(int(i), capture.dpi);
    }
    const uint32_t slice = capture.slicing ? (capture.slicingLength ? capture.slicingLength : kFixedSliceLength) : 0;
    CaptureFactors out;
    for (int bin = 0; bin < BinCount; ++bin) {
        // The capture path never sees what it dropped, and sees bad frames
        // only when it is told to forward them.
        if (binIsDropped(bin) || (!binIsValid(bin) && !capture.transmitCrcErrors))
            continue;
        double packets = 0, bytes = 0;
        for (const Cell &c : m_cells[size_t(bin)]) {
            const double p = c.share * pass[size_t(c.flow)];
            double length = capture.keepCrc ? c.size : std::max<double>(0.0, c.size - 4.0);
            if (slice)
                length = std::min<double>(length, slice);
            packets += p;
            bytes += p * length;
        }
        out.packetFraction[size_t(bin)] = std::min(1.0, packets);
        out.bytesPerPacket[size_t(bin)] = packets > 0 ? bytes / packets : 0.0;
    }
    return out;
}

LoadSample loadAt(const TrafficProfile &profile, uint64_t seed, int port, double tSeconds)
{
    const uint64_t s = noise::mix(seed ^ (0x51a7e0000ull + uint64_t(port)));
    constexpr double twoPi = 6.28318530717958647692;
    const double phase = twoPi * noise::unit(s, noise::StreamLoadPhase, 0);
    const double swell = 0.3 * std::sin(twoPi * tSeconds / profile.periodSeconds + phase);
    const double wander = 0.22 * noise::smooth(s, noise::StreamLoadSlow, tSeconds, 23.0)
        + 0.07 * noise::smooth(s, noise::StreamLoadFast, tSeconds, 0.9);
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
