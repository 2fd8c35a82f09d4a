// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Counter sample arithmetic; see countersample.h.

#include "countersample.h"

#include <cstddef>
#include <cstring>

static_assert(CounterSample::kCounters == 16);
static_assert(sizeof(CounterSample) == 160, "the sample is the 20 words from the sample time on");
static_assert(offsetof(DeviceStatistics, sampleTimeMs) + sizeof(CounterSample) <= sizeof(DeviceStatistics));
static_assert(offsetof(DeviceStatistics, u.configurable.counters) ==
                  offsetof(DeviceStatistics, sampleTimeMs) + CounterSample::FirstCounter * sizeof(uint64_t),
              "counter i is word 2 + i of the sample");

CounterSample CounterSample::from(const DeviceStatistics &statistics)
{
    CounterSample sample;
    std::memcpy(sample.words.data(),
                reinterpret_cast<const char *>(&statistics) + offsetof(DeviceStatistics, sampleTimeMs),
                sizeof sample.words);
    return sample;
}

void CounterSample::subtract(const CounterSample &other)
{
    for (std::size_t w = 0; w < words.size(); ++w)
        words[w] = words[w] > other.words[w] ? words[w] - other.words[w] : 0;
}

CounterSample operator-(CounterSample a, const CounterSample &b)
{
    a.subtract(b);
    return a;
}
