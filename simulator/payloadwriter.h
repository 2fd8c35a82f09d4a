// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The application bytes of the simulated frames: what each service of the
// office puts into a TCP segment or UDP datagram, framed the way its protocol
// frames it, so that a capture of the simulated wire dissects like a real one.

#pragma once

#include <cstddef>
#include <cstdint>

namespace lqsim {

// The services of the office's flows, by what their payload looks like.
enum class App : uint8_t { None, Tls, Http, Smb, Dns, Quic, Rtp, Ping, MpegTs, Mdns, Dhcp, Nbns, Ssh, Lldp, Nd };

enum class Filler : uint8_t { Random, Text, Zero, Hex };

// Fills out[from, to) with bytes that depend on their offset only (and on id
// for the random kinds), so that a frame written in part shows exactly the
// bytes of the whole one. Text starts its page at textBase.
void fill(uint8_t *out, size_t from, size_t to, Filler kind, uint64_t id, size_t textBase);

// Where a payload goes and what it is made from.
struct PayloadSpot {
    uint8_t *out = nullptr;
    size_t from = 0;              // first payload byte in the frame
    size_t to = 0;                // one past the payload's last byte in the frame
    size_t end = 0;               // nothing at or past this offset is written (a frame written in part)
    uint64_t id = 0;              // seeds the bytes that differ from packet to packet
    bool request = true;          // client to server, or a one-way sender
    const uint8_t *mac = nullptr; // the sender's MAC address
};

// Writes the whole payload [from, to) of a service, every length field
// agreeing with the payload's size.
void writePayload(App app, const PayloadSpot &spot);

} // namespace lqsim
