// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The counter sample of devices with configurable counters: twenty words of
// the statistics block from the sample time on, and the same saturating
// arithmetic the port counters use (a counter the device restarted never
// shows a wrapped or negative figure).

#pragma once

#include "lumenquillapi.h"

#include <array>
#include <cstdint>

struct CounterSample {
    static constexpr int kWords = 20;
    static constexpr int kCounters = LQ_COUNTERS_V2;
    std::array<uint64_t, kWords> words{};

    enum : int { SampleTime = 0, SoftwareDropped = 1, FirstCounter = 2 };

    static CounterSample from(const DeviceStatistics &statistics);

    uint64_t counter(int index) const { return words[std::size_t(FirstCounter + index)]; }
    uint64_t sampleTime() const { return words[SampleTime]; }
    void clear() { words.fill(0); }
    // this := this - other, word by word, saturating at zero.
    void subtract(const CounterSample &other);
};

CounterSample operator-(CounterSample a, const CounterSample &b);
