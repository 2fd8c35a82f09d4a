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

// "h:mm:ss" of a duration in milliseconds.
QString durationText(uint64_t ms);
// "1.234 s" of a duration in milliseconds.
QString secondsText(uint64_t ms);
