// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The SNTP client; see sntpclient.h.

#include "sntpclient.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// 1970 minus 1900 in seconds, modulo 2^32 (2^32 - 2208988800): adding it in
// 32-bit arithmetic turns NTP seconds into Unix seconds, wrapping in 2036
// exactly as the server's own field does.
constexpr uint32_t kUnixFromNtpSeconds = 2085978496u;
constexpr std::size_t kTransmitSecondsAt = 40;
constexpr std::size_t kTransmitFractionAt = 44;
constexpr long kWaitMicroseconds = 200000;

uint32_t bigEndian32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

int report(const char *line, int status)
{
    // The one console output of the manager; flushed so that it stays in
    // order with whatever the toolkit writes to stderr.
    std::puts(line);
    std::fflush(stdout);
    return status;
}

class SocketCloser {
public:
    explicit SocketCloser(int fd) : m_fd(fd) {}
    ~SocketCloser() { ::close(m_fd); }
    SocketCloser(const SocketCloser &) = delete;
    SocketCloser &operator=(const SocketCloser &) = delete;

private:
    int m_fd;
};

} // namespace

SntpTime sntpDecodeReply(const uint8_t *reply, std::size_t length)
{
    uint8_t packet[kSntpPacketBytes] = {};
    if (reply)
        std::memcpy(packet, reply, std::min(length, kSntpPacketBytes));
    SntpTime time;
    time.seconds = bigEndian32(packet + kTransmitSecondsAt) + kUnixFromNtpSeconds;
    // Through single precision on purpose (about 60 ns resolution): a clock
    // set only needs to know where in the second the reply lies, and the
    // figures stay those the manager has always produced.
    // A fraction in the last 128 steps of a second rounds up to a whole 2^32 in
    // single precision, which would read as 1 000 000 000 ns: the second's end
    // is kept inside it instead.
    const float fraction =
        std::min(static_cast<float>(bigEndian32(packet + kTransmitFractionAt)), std::nextafter(4294967296.0f, 0.0f));
    time.nanoseconds = static_cast<int32_t>(double(fraction) * 1e9 * (1.0 / 4294967296.0));
    return time;
}

int sntpQuery(const char *host, uint32_t *seconds, int32_t *nanoseconds)
{
    // Leap indicator 3 (not synchronised), version 3, client mode; poll 2^10 s.
    uint8_t request[kSntpPacketBytes] = {};
    request[0] = 0xDB;
    request[2] = 10;

    const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (fd < 0)
        return report("Error..", kSntpWaitFailed);
    const SocketCloser closer(fd);

    addrinfo *list = nullptr;
    const int resolved = ::getaddrinfo(host, "ntp", nullptr, &list);
    if (resolved != 0)
        return resolved;
    sockaddr_in server{};
    bool found = false;
    for (const addrinfo *entry = list; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof server) {
            std::memcpy(&server, entry->ai_addr, sizeof server);
            found = true;
        }
    }
    ::freeaddrinfo(list);
    // An IPv6-only name: the socket is IPv4, so there is nobody to ask.
    if (!found)
        return EAI_ADDRFAMILY;

    // A request that never left would only end in a pointless time-out.
    if (::sendto(fd, request, sizeof request, 0, reinterpret_cast<const sockaddr *>(&server), sizeof server) !=
        ssize_t(sizeof request))
        return report("Error..", kSntpWaitFailed);

    if (fd >= FD_SETSIZE)
        return report("Error..", kSntpWaitFailed);
    timeval wait{0, kWaitMicroseconds};
    int ready = 0;
    do {
        // Linux leaves the time still to wait in `wait`, so a signal does not
        // stretch the wait.
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        ready = ::select(fd + 1, &readable, nullptr, nullptr, &wait);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return report("Timeout..", kSntpTimeout);
    if (ready < 0)
        return report("Error..", kSntpWaitFailed);

    uint8_t reply[kSntpPacketBytes] = {};
    const ssize_t received = ::recv(fd, reply, sizeof reply, 0);
    if (received < 0)
        return int(received);
    const SntpTime time = sntpDecodeReply(reply, std::size_t(received));
    *seconds = time.seconds;
    *nanoseconds = time.nanoseconds;
    return 0;
}

bool sntpWholeSecond(const char *host, uint32_t *seconds)
{
    constexpr int kAttempts = 10;
    constexpr int32_t kEarliestNs = 200000000;
    constexpr int32_t kLatestNs = 700000000;
    constexpr auto kRetry = std::chrono::milliseconds(100);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        uint32_t replySeconds = 0;
        int32_t nanoseconds = 0;
        if (sntpQuery(host, &replySeconds, &nanoseconds) >= 0 && nanoseconds >= kEarliestNs &&
            nanoseconds <= kLatestNs) {
            *seconds = replySeconds;
            return true;
        }
        std::this_thread::sleep_for(kRetry);
    }
    return false;
}
