// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Running averages; see portaverage.h.

#include "portaverage.h"

PortAverage::Figures PortAverage::update(const StatisticsSample &newest, int port, uint64_t previousRefreshMs,
                                         double usage)
{
    using W = StatisticsSample::PortWord;
    const uint64_t now = newest.words[StatisticsSample::SampleTime];
    const uint64_t packets = newest.port(port, W::ValidPackets) + newest.port(port, W::InvalidPackets);
    const uint64_t crcErrors = newest.port(port, W::Invalid64To1522);
    if (resetRequested) {
        resetRequested = false;
        baseTimeMs = now;
        bandwidth = 0;
        basePackets = packets;
        baseCrcErrors = crcErrors;
    }

    Figures figures;
    if (now != baseTimeMs) {
        // Differences of the times in double: a device that starts its clock
        // again must not wrap them into centuries.
        const double sinceBase = double(previousRefreshMs) - double(baseTimeMs);
        const double interval = double(now) - double(previousRefreshMs);
        bandwidth = (sinceBase * bandwidth + interval * usage) / (double(now) - double(baseTimeMs));
        figures.bandwidth = bandwidth;
    }
    // The bases are not clamped: the counters start over only with a reset,
    // and every reset takes the bases again. The "+ 1" keeps the divisor
    // above zero right after a reset.
    const float divisor = float(packets + 1 - basePackets);
    figures.crcErrors = double(float((crcErrors - baseCrcErrors) * 100) / divisor);
    return figures;
}
