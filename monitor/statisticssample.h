// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The statistics sample: the 28 words of a device's port-counter statistics
// from the sample time on, and the arithmetic the counters, gauges, charts
// and alarms share. Counters only grow on the device; a difference that would
// go negative (the device started counting again) saturates at zero.

#pragma once

#include "lumenquillapi.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

struct StatisticsSample {
    static constexpr int kWords = 28;
    std::array<uint64_t, kWords> words{};

    // Word indices.
    enum : int { SampleTime = 0, SoftwareDropped = 1, LinkUp = 2, LastLinkDown = 3 };
    static constexpr int kPortBase[2] = {4, 15};
    // Words of a port's block, from its base.
    enum PortWord : int {
        ValidUnder64 = 0,
        Valid64To1522 = 1,
        ValidOver1522 = 2,
        InvalidUnder64 = 3,
        Invalid64To1522 = 4,
        InvalidOver1522 = 5,
        ValidBytes = 6,
        Capacity = 7,
        ValidPackets = 8,
        InvalidPackets = 9,
        HardwareDropped = 10,
    };

    // The rows of a port's counters tables, packet table then error table.
    static constexpr std::array<PortWord, 5> kPacketRows = {ValidPackets, ValidUnder64, Valid64To1522, ValidOver1522,
                                                            ValidBytes};
    static constexpr std::array<PortWord, 4> kErrorRows = {InvalidPackets, InvalidUnder64, Invalid64To1522,
                                                           InvalidOver1522};

    static StatisticsSample from(const DeviceStatistics &statistics);

    uint64_t port(int portIndex, PortWord word) const { return words[std::size_t(kPortBase[portIndex] + word)]; }
    bool isEmpty() const { return words[SampleTime] == 0; }
    void clear() { words.fill(0); }

    // this := this - other, word by word, saturating at zero; the capacity
    // words are levels, not counters, and take other's value.
    void subtract(const StatisticsSample &other);
};

StatisticsSample operator-(StatisticsSample a, const StatisticsSample &b);

// Share of the line a port used over the interval of a difference, in percent:
// (bytes + 20 per packet for preamble and gap) / capacity, at most 100; 0 when
// the device reports no capacity.
double bandwidthUsage(const StatisticsSample &difference, int portIndex);

// Packets of both kinds a port saw over the interval of a difference: the
// whole that each row's share is taken of.
uint64_t intervalPackets(const StatisticsSample &difference, int portIndex);
// A count per second over an interval; nothing when two samples share their
// sample time.
std::optional<double> ratePerSecond(uint64_t count, uint64_t intervalMs);
// A count's share of the interval's packets in percent; nothing without packets.
std::optional<double> packetShare(uint64_t count, uint64_t packets);

// The "Rate (/s)" text of a count over an interval. Two samples with the same
// sample time have no interval; the rate is then shown as "-".
QString rateText(uint64_t count, uint64_t intervalMs);
// The "%" text of a count's share of the interval's packets, "-" without packets.
QString shareText(uint64_t count, uint64_t packets);
// The "%" text of the bytes row: the bandwidth usage as the gauge receives it.
QString usageText(double usage);

// "h:mm:ss" of a duration in milliseconds.
QString durationText(uint64_t ms);
// "1.234 s" of a duration in milliseconds.
QString secondsText(uint64_t ms);
