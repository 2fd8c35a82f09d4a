// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A port's running averages since its last average reset: the time-weighted
// mean of the per-refresh bandwidth usage, and the CRC errors as a share of
// all packets seen since then.

#pragma once

#include "statisticssample.h"

#include <optional>

struct PortAverage {
    bool resetRequested = true;
    uint64_t baseTimeMs = 0;
    double bandwidth = 0; // percent
    uint64_t basePackets = 0;
    uint64_t baseCrcErrors = 0;

    struct Figures {
        // Unset when no time has passed since the reset: the gauge keeps
        // what it shows.
        std::optional<double> bandwidth;
        double crcErrors = 0;
    };

    // One refresh: `newest` is the refresh's newest sample, `previousRefreshMs`
    // the sample time of the refresh before, `usage` this refresh's usage.
    Figures update(const StatisticsSample &newest, int port, uint64_t previousRefreshMs, double usage);
};
