// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A minimal SNTP client: one request to one time server, one short wait, and
// the server's transmit time as Unix seconds and nanoseconds. Used by the
// statistics worker to set a device clock to UTC.

#pragma once

#include <cstddef>
#include <cstdint>

// The server a device clock is set from: the public NTP pool, whose name
// always resolves to servers near the workstation.
inline constexpr char kSntpServer[] = "pool.ntp.org";

inline constexpr std::size_t kSntpPacketBytes = 48;

// No reply within the wait (200 ms); "Timeout.." has been printed.
inline constexpr int kSntpTimeout = -1;
// Waiting failed, or the request could not be sent; "Error.." has been printed.
inline constexpr int kSntpWaitFailed = -2;

struct SntpTime {
    uint32_t seconds = 0;    // since 1970-01-01 UTC, modulo 2^32
    int32_t nanoseconds = 0; // within the second, about 60 ns resolution
};

// The transmit time of a server reply of `length` bytes. Only the transmit
// timestamp is read; bytes a short reply lacks read as zero.
SntpTime sntpDecodeReply(const uint8_t *reply, std::size_t length);

// Asks `host` (resolved with the "ntp" service; the last IPv4 address found is
// used) for the time. Answers 0 with both outputs set; the non-zero
// getaddrinfo code when the name does not resolve (EAI_ADDRFAMILY when it has
// no IPv4 address); kSntpTimeout; kSntpWaitFailed; or the negative result of
// recv. Blocks for at most about 200 ms.
int sntpQuery(const char *host, uint32_t *seconds, int32_t *nanoseconds);

// The whole second a device clock is set to: asks `host` up to ten times, a
// tenth of a second apart, and takes the first reply that lies well inside its
// second (0.2 to 0.7 s), so the network delay cannot carry the time across a
// second boundary. True with *seconds set; false when no reply qualified.
// Blocks for up to about three seconds.
bool sntpWholeSecond(const char *host, uint32_t *seconds);
