// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Statistics sample arithmetic; see statisticssample.h.

#include "statisticssample.h"

#include <algorithm>
#include <cstring>

static_assert(sizeof(StatisticsSample) == 224, "the sample is the 28 words from the sample time on");

StatisticsSample StatisticsSample::from(const DeviceStatistics &statistics)
{
    StatisticsSample sample;
    std::memcpy(sample.words.data(),
                reinterpret_cast<const char *>(&statistics) + offsetof(DeviceStatistics, sampleTimeMs),
                sizeof sample.words);
    return sample;
}

void StatisticsSample::subtract(const StatisticsSample &other)
{
    for (int i = 0; i < kWords; ++i) {
        const std::size_t w = std::size_t(i);
        words[w] = words[w] > other.words[w] ? words[w] - other.words[w] : 0;
    }
    for (int base : kPortBase)
        words[std::size_t(base + Capacity)] = other.words[std::size_t(base + Capacity)];
}

StatisticsSample operator-(StatisticsSample a, const StatisticsSample &b)
{
    a.subtract(b);
    return a;
}

double bandwidthUsage(const StatisticsSample &difference, int portIndex)
{
    const uint64_t capacity = difference.port(portIndex, StatisticsSample::Capacity);
    if (capacity == 0)
        return 0;
    const double used = double(difference.port(portIndex, StatisticsSample::ValidBytes)) +
                        20.0 * double(difference.port(portIndex, StatisticsSample::ValidPackets));
    return std::min(100.0, used * 100.0 / double(capacity));
}

uint64_t intervalPackets(const StatisticsSample &difference, int portIndex)
{
    return difference.port(portIndex, StatisticsSample::ValidPackets) +
           difference.port(portIndex, StatisticsSample::InvalidPackets);
}

std::optional<double> ratePerSecond(uint64_t count, uint64_t intervalMs)
{
    if (intervalMs == 0)
        return std::nullopt;
    return double(count) / (double(intervalMs) / 1000.0);
}

std::optional<double> packetShare(uint64_t count, uint64_t packets)
{
    if (packets == 0)
        return std::nullopt;
    return double(count) * 100.0 / double(packets);
}

QString rateText(uint64_t count, uint64_t intervalMs)
{
    const std::optional<double> rate = ratePerSecond(count, intervalMs);
    return rate ? QString::asprintf("%.0lf", *rate) : QStringLiteral("-");
}

QString shareText(uint64_t count, uint64_t packets)
{
    const std::optional<double> share = packetShare(count, packets);
    return share ? QString::asprintf("%.2lf", *share) : QStringLiteral("-");
}

QString usageText(double usage)
{
    // The gauge takes a float: the table shows the figure the gauge shows.
    return QString::asprintf("%.2lf", double(float(usage)));
}

QString durationText(uint64_t ms)
{
    return QString::asprintf("%d:%02d:%02d", int(ms / 3600000), int((ms / 60000) % 60), int((ms / 1000) % 60));
}

QString secondsText(uint64_t ms)
{
    return QString::asprintf("%.3f s", double(ms) / 1000.0);
}
