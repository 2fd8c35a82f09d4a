// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Header parsing and the matching rules of counters and capture filters.

#include "packetmatch.h"

#include <algorithm>
#include <cstring>

namespace lqsim {

namespace {

uint16_t be16(const uint8_t *p)
{
    return uint16_t((p[0] << 8) | p[1]);
}

// Records store addresses last byte first: stored[i] pairs with the packet's
// byte length - 1 - i, and mask bit i says whether that pair is compared.
bool reversedBytesMatch(const uint8_t *packet, int length, const uint8_t *stored, unsigned maskBits)
{
    for (int i = 0; i < length; ++i) {
        if ((maskBits & (1u << i)) && stored[i] != packet[length - 1 - i])
            return false;
    }
    return true;
}

// The counter record's mask is a byte mask in the same reversed order.
bool maskedAddressMatches(const uint8_t *packet, int length, const uint8_t *address, const uint8_t *mask)
{
    for (int k = 0; k < length; ++k) {
        const uint8_t m = mask[length - 1 - k];
        if ((packet[k] & m) != (address[length - 1 - k] & m))
            return false;
    }
    return true;
}

// Port bytes: bit 0 the low byte, bit 1 the high one, as the other masks count
// from the last byte.
bool portMatches(uint16_t port, uint16_t wanted, unsigned maskBits)
{
    if ((maskBits & 1u) && (port & 0xff) != (wanted & 0xff))
        return false;
    if ((maskBits & 2u) && (port >> 8) != (wanted >> 8))
        return false;
    return true;
}

bool isIpv6Extension(int header)
{
    return header == 0 || header == 43 || header == 44 || header == 60;
}

} // namespace

PacketHeaders parseHeaders(const uint8_t *frame, size_t length)
{
    PacketHeaders h;
    if (length < 14) {
        // Not even a MAC header: whatever is there of the addresses.
        std::memcpy(h.dstMac.data(), frame, std::min<size_t>(length, 6));
        if (length > 6)
            std::memcpy(h.srcMac.data(), frame + 6, std::min<size_t>(length - 6, 6));
    } else {
        std::memcpy(h.dstMac.data(), frame, 6);
        std::memcpy(h.srcMac.data(), frame + 6, 6);
    }
    if (std::all_of(h.dstMac.begin(), h.dstMac.end(), [](uint8_t b) { return b == 0xff; }))
        h.routing = Routing::Broadcast;
    else if (h.dstMac[0] & 0x01)
        h.routing = Routing::Multicast;
    if (length < 14)
        return h;

    size_t at = 12;
    uint16_t type = be16(frame + at);
    for (int tags = 0; tags < 2 && (type == 0x8100 || type == 0x88a8) && at + 6 <= length; ++tags) {
        at += 4;
        type = be16(frame + at);
    }
    at += 2;
    const uint8_t *ip = frame + at;
    const size_t room = length - std::min(length, at);
    size_t l4 = 0;
    bool firstFragment = true;
    if (type == 0x0800) {
        h.family = IpFamily::V4;
        if (room >= 10)
            h.protocol = ip[9];
        if (room < 20 || (ip[0] & 0x0f) < 5)
            return h;
        h.hasAddresses = true;
        std::memcpy(h.srcIp.data(), ip + 12, 4);
        std::memcpy(h.dstIp.data(), ip + 16, 4);
        firstFragment = (be16(ip + 6) & 0x1fff) == 0;
        l4 = at + size_t(ip[0] & 0x0f) * 4;
    } else if (type == 0x86dd) {
        h.family = IpFamily::V6;
        if (room < 40) {
            if (room >= 7 && !isIpv6Extension(ip[6]))
                h.protocol = ip[6];
            return h;
        }
        h.hasAddresses = true;
        std::memcpy(h.srcIp.data(), ip + 8, 16);
        std::memcpy(h.dstIp.data(), ip + 24, 16);
        int next = ip[6];
        l4 = at + 40;
        while (isIpv6Extension(next)) {
            if (l4 + 8 > length) {
                next = -1;
                break;
            }
            const uint8_t *ext = frame + l4;
            if (next == 44) {
                firstFragment = (be16(ext + 2) & 0xfff8) == 0;
                l4 += 8;
            } else {
                l4 += (size_t(ext[1]) + 1) * 8;
            }
            next = ext[0];
        }
        h.protocol = next;
    } else {
        return h;
    }
    if ((h.protocol == ipproto::Tcp || h.protocol == ipproto::Udp) && firstFragment && l4 + 4 <= length) {
        h.hasPorts = true;
        h.srcPort = be16(frame + l4);
        h.dstPort = be16(frame + l4 + 2);
    }
    return h;
}

bool counterRuleMatches(const CounterV2Config &rule, const PacketHeaders &h, const PacketFacts &facts)
{
    const bool icmp = (h.family == IpFamily::V4 && h.protocol == ipproto::Icmp)
        || (h.family == IpFamily::V6 && h.protocol == ipproto::Icmpv6);
    if (!triStateMatches(rule.ipv4, h.family == IpFamily::V4) || !triStateMatches(rule.ipv6, h.family == IpFamily::V6)
        || !triStateMatches(rule.broadcast, h.routing == Routing::Broadcast)
        || !triStateMatches(rule.multicast, h.routing == Routing::Multicast)
        || !triStateMatches(rule.unicast, h.routing == Routing::Unicast) || !triStateMatches(rule.icmp, icmp)
        || !triStateMatches(rule.udp, h.protocol == ipproto::Udp) || !triStateMatches(rule.tcp, h.protocol == ipproto::Tcp)
        || !triStateMatches(rule.crcValid, facts.crcValid) || !triStateMatches(rule.dropped, facts.dropped))
        return false;

    switch (rule.sizeMode) {
    case 0:
        if (!(facts.wireLength > rule.size))
            return false;
        break;
    case 1:
        if (!(facts.wireLength < rule.size))
            return false;
        break;
    case 2:
        if (facts.wireLength != rule.size)
            return false;
        break;
    default:
        break;
    }

    const auto maskInUse = [&](int from, int to) {
        return std::any_of(rule.mask + from, rule.mask + to, [](uint8_t b) { return b != 0; });
    };
    if (!maskInUse(0, 16))
        return true;
    bool v6;
    if (rule.ipv6 == 1 && rule.ipv4 != 1)
        v6 = true;
    else if (rule.ipv4 == 1 && rule.ipv6 != 1)
        v6 = false;
    else
        v6 = maskInUse(4, 16);
    if (h.family != (v6 ? IpFamily::V6 : IpFamily::V4) || !h.hasAddresses)
        return false;
    const int length = v6 ? 16 : 4;
    return maskedAddressMatches(h.srcIp.data(), length, rule.address, rule.mask)
        || maskedAddressMatches(h.dstIp.data(), length, rule.address, rule.mask);
}

bool packetFilterPasses(const PacketFilter &f, const PacketHeaders &h)
{
    if (!f.enabled)
        return true;
    const bool macEither = f.modes & LQ_FILTER_MODE_MAC;
    const bool ipEither = f.modes & LQ_FILTER_MODE_IP;
    const bool portEither = f.modes & LQ_FILTER_MODE_PORT;
    const bool useDstMac = (f.fields & LQ_FILTER_DST_MAC) && !macEither;
    const bool useSrcMac = f.fields & LQ_FILTER_SRC_MAC;
    const bool useDstIp = (f.fields & LQ_FILTER_DST_IP) && !ipEither;
    const bool useSrcIp = f.fields & LQ_FILTER_SRC_IP;
    const bool useDstPort = (f.fields & LQ_FILTER_DST_PORT) && !portEither;
    const bool useSrcPort = f.fields & LQ_FILTER_SRC_PORT;

    const unsigned dstMacMask = f.mac_mask & 0x3fu;
    const unsigned srcMacMask = (f.mac_mask >> 6) & 0x3fu;
    if (macEither && useSrcMac) {
        if (!reversedBytesMatch(h.srcMac.data(), 6, f.src_mac, srcMacMask)
            && !reversedBytesMatch(h.dstMac.data(), 6, f.src_mac, srcMacMask))
            return false;
    } else {
        if (useDstMac && !reversedBytesMatch(h.dstMac.data(), 6, f.dst_mac, dstMacMask))
            return false;
        if (useSrcMac && !reversedBytesMatch(h.srcMac.data(), 6, f.src_mac, srcMacMask))
            return false;
    }

    if (useDstIp || useSrcIp) {
        const bool v6 = f.fields & LQ_FILTER_IPV6;
        if (h.family != (v6 ? IpFamily::V6 : IpFamily::V4) || !h.hasAddresses)
            return false;
        const int length = v6 ? 16 : 4;
        if (ipEither && useSrcIp) {
            if (!reversedBytesMatch(h.srcIp.data(), length, f.src_ip, f.src_ip_mask)
                && !reversedBytesMatch(h.dstIp.data(), length, f.src_ip, f.src_ip_mask))
                return false;
        } else {
            if (useDstIp && !reversedBytesMatch(h.dstIp.data(), length, f.dst_ip, f.dst_ip_mask))
                return false;
            if (useSrcIp && !reversedBytesMatch(h.srcIp.data(), length, f.src_ip, f.src_ip_mask))
                return false;
        }
    }

    if (useDstPort || useSrcPort) {
        if (!h.hasPorts)
            return false;
        const unsigned dstBits = f.port_mask & 0x3u;
        const unsigned srcBits = (f.port_mask >> 2) & 0x3u;
        if (portEither && useSrcPort) {
            if (!portMatches(h.srcPort, f.src_port, srcBits) && !portMatches(h.dstPort, f.src_port, srcBits))
                return false;
        } else {
            if (useDstPort && !portMatches(h.dstPort, f.dst_port, dstBits))
                return false;
            if (useSrcPort && !portMatches(h.srcPort, f.src_port, srcBits))
                return false;
        }
    }
    return true;
}

bool dpiFilterPasses(const DpiFilter &dpi, const uint8_t *frame, size_t length)
{
    if (!dpi.enabled)
        return true;
    const unsigned mask = dpi.pattern_mask & 0xffffu;
    if (mask == 0)
        return true;
    int first = 0;
    while (!(mask & (1u << first)))
        ++first;
    int last = 15;
    while (!(mask & (1u << last)))
        --last;
    const size_t span = size_t(last - first + 1);
    if (length < span)
        return false;
    const uint8_t anchor = dpi.pattern[first];
    const uint8_t *end = frame + (length - span + 1);
    for (const uint8_t *at = frame; at < end; ++at) {
        at = static_cast<const uint8_t *>(std::memchr(at, anchor, size_t(end - at)));
        if (!at)
            return false;
        bool found = true;
        for (int k = first + 1; k <= last && found; ++k) {
            if ((mask & (1u << k)) && at[k - first] != dpi.pattern[k])
                found = false;
        }
        if (found)
            return true;
    }
    return false;
}

} // namespace lqsim
