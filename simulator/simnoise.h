// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Counter-based randomness for the simulated hardware: every random figure is a
// hash of (seed, stream, position), so a value at a given time never depends on
// how often or in which order the device was asked before.

#pragma once

#include <cmath>
#include <cstdint>

namespace lqsim::noise {

// Streams keep unrelated figures of one device uncorrelated.
enum Stream : uint64_t {
    StreamLoadSlow = 1,
    StreamLoadFast,
    StreamLoadPhase,
    StreamBurst,
    StreamErrors,
    StreamErrorWeather,
    StreamSoftwareDrops,
    StreamPhyEvents,
    StreamCrossover,
    StreamRole,
    StreamSfp,
    StreamGps,
    StreamClock,
    StreamPackets
};

inline uint64_t mix(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

inline uint64_t hash(uint64_t seed, uint64_t stream, uint64_t a, uint64_t b = 0)
{
    return mix(mix(mix(seed ^ (stream * 0xd1342543de82ef95ull)) ^ a) ^ (b * 0xa0761d6478bd642full));
}

// Uniform in [0, 1).
inline double unit(uint64_t seed, uint64_t stream, uint64_t a, uint64_t b = 0)
{
    return double(hash(seed, stream, a, b) >> 11) * (1.0 / 9007199254740992.0);
}

// Uniform in [-1, 1).
inline double symmetric(uint64_t seed, uint64_t stream, uint64_t a, uint64_t b = 0)
{
    return unit(seed, stream, a, b) * 2.0 - 1.0;
}

// Smooth wander in [-1, 1]: random knots every periodSeconds joined by cosine
// interpolation, so the figure never jumps between two neighbouring samples.
inline double smooth(uint64_t seed, uint64_t stream, double tSeconds, double periodSeconds)
{
    const double x = tSeconds / periodSeconds;
    const double k = std::floor(x);
    const double f = x - k;
    const auto knot = static_cast<uint64_t>(static_cast<int64_t>(k));
    const double a = symmetric(seed, stream, knot);
    const double b = symmetric(seed, stream, knot + 1);
    const double w = (1.0 - std::cos(f * 3.14159265358979323846)) * 0.5;
    return a + (b - a) * w;
}

// An integer count whose mean is lambda: rare events (CRC errors, crossover
// errors) then arrive irregularly instead of on a fixed beat.
inline uint64_t countOf(double lambda, double u)
{
    if (!(lambda > 0.0))
        return 0;
    return static_cast<uint64_t>(std::floor(lambda + u));
}

} // namespace lqsim::noise
