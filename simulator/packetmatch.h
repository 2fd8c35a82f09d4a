// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The device's packet classifier: reads the headers of an Ethernet frame and
// decides whether a configurable counter rule, the header filter or the
// pattern filter selects it. Pure functions of the record and the frame, so the
// semantics of every record field can be tested on hand-made frames.

#pragma once

#include "lumenquillapi.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace lqsim {

enum class IpFamily : uint8_t { None, V4, V6 };
enum class Routing : uint8_t { Unicast, Multicast, Broadcast };

namespace ipproto {
constexpr int Icmp = 1;
constexpr int Igmp = 2;
constexpr int Tcp = 6;
constexpr int Udp = 17;
constexpr int Icmpv6 = 58;
} // namespace ipproto

// What the classifier reads from a frame. Addresses are in network order,
// IPv4 in the first four bytes. A field the frame is too short to hold (a
// collision fragment) is marked absent rather than read as zero.
struct PacketHeaders {
    std::array<uint8_t, 6> dstMac{};
    std::array<uint8_t, 6> srcMac{};
    Routing routing = Routing::Unicast; // from the destination MAC
    IpFamily family = IpFamily::None;   // from the EtherType, after up to two VLAN tags
    bool hasAddresses = false;
    std::array<uint8_t, 16> srcIp{};
    std::array<uint8_t, 16> dstIp{};
    int protocol = -1; // IPv4 protocol or the IPv6 header after extension headers; -1 unknown
    bool hasPorts = false; // TCP or UDP, first fragment, both ports present
    uint16_t srcPort = 0;
    uint16_t dstPort = 0;
};

// length is what the device holds of the frame, FCS excluded.
PacketHeaders parseHeaders(const uint8_t *frame, size_t length);

// What the device knows of a packet beyond its bytes.
struct PacketFacts {
    uint32_t wireLength = 0; // the frame on the line, FCS included; the size rule compares this
    bool crcValid = true;
    bool dropped = false; // lost by the capture path
};

// -1 (and any value but 0 and 1) does not care, 0 wants the attribute absent, 1 present.
inline bool triStateMatches(int32_t rule, bool attribute)
{
    return rule == 0 ? !attribute : (rule == 1 ? attribute : true);
}

// Whether a counter rule selects the packet: every tri-state, the size rule and
// the address rule. The ports the rule is enabled on and its counting mode are
// the caller's business. The address rule applies when any mask byte is
// non-zero: the address (last byte first in the record) compared bitwise under
// the mask with the source or the destination address. It is IPv6 when the
// rule asks for IPv6 and not IPv4, IPv4 when it asks for IPv4 and not IPv6,
// and otherwise IPv6 exactly when mask bytes 4 to 15 are in use.
bool counterRuleMatches(const CounterV2Config &rule, const PacketHeaders &headers, const PacketFacts &facts);

// Whether the header filter lets the packet through (always, while disabled).
// A criterion in use needs its field in the packet: an IP criterion an IP
// header of the family the record names, a port criterion TCP or UDP ports.
// Its mask bits then say which bytes are compared: MAC and IP masks one bit per
// stored (reversed) byte; port_mask bits 0 and 1 the low and high byte of the
// destination port, bits 2 and 3 those of the source port. In "source or
// destination" mode the source field holds the one value, matched against
// either end, and the destination field is not looked at.
bool packetFilterPasses(const PacketFilter &filter, const PacketHeaders &headers);

// Whether the pattern filter keeps the frame (always, while disabled). The
// pattern runs from its first to its last compared byte (mask bits 0 to 15);
// wildcards between them stand for one byte each, wildcards outside them for
// nothing. A pattern without compared bytes keeps every frame.
bool dpiFilterPasses(const DpiFilter &dpi, const uint8_t *frame, size_t length);

} // namespace lqsim
