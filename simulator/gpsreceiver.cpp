// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Acquisition of the simulated GPS receiver and discipline of the timestamp
// oscillator, as functions of the time since power-up.

#include "gpsreceiver.h"

#include "simnoise.h"

#include <algorithm>
#include <cmath>

namespace lqsim {

namespace {

// Tracking starts after the receiver has searched for a while; partial fixes
// come once three satellites are tracked, the full fix at acquireSeconds.
constexpr double kFirstSatellite = 0.15;
constexpr double kPartialFix = 0.55;
constexpr double kGlonassStart = 0.30;

bool canFix(const GpsSettings &gps)
{
    return gps.present && gps.gpsSatellites + gps.glonassSatellites >= 4;
}

} // namespace

double gpsTimeKnownAt(const GpsSettings &gps)
{
    if (!gps.present || gps.gpsSatellites + gps.glonassSatellites == 0)
        return -1;
    return kFirstSatellite * gps.acquireSeconds;
}

double gpsFixAt(const GpsSettings &gps)
{
    return canFix(gps) ? gps.acquireSeconds : -1;
}

GpsReading gpsAt(const GpsSettings &gps, uint64_t seed, double u, double t)
{
    GpsReading r;
    if (!gps.present)
        return r;
    const uint64_t s = noise::mix(seed ^ 0x6b5000ull);
    const double a = std::max(gps.acquireSeconds, 1e-3);
    const double x = std::clamp((u - kFirstSatellite * a) / ((1.0 - kFirstSatellite) * a), 0.0, 1.0);
    const double y = std::clamp((u - kGlonassStart * a) / ((1.0 - kGlonassStart) * a), 0.0, 1.0);
    int gpsCount = int(std::lround(gps.gpsSatellites * std::pow(x, 0.6)));
    int glonassCount = int(std::lround(gps.glonassSatellites * std::pow(y, 0.7)));
    if (u >= a) {
        // Satellites rise and set; the count wanders by one or two.
        if (gps.gpsSatellites > 0)
            gpsCount = gps.gpsSatellites + int(std::lround(1.3 * noise::smooth(s, noise::StreamGps, t, 420.0)));
        if (gps.glonassSatellites > 0)
            glonassCount = gps.glonassSatellites + int(std::lround(1.3 * noise::smooth(s + 1, noise::StreamGps, t, 530.0)));
    }
    r.gpsSatellites = std::clamp(gpsCount, 0, 12);
    r.glonassSatellites = std::clamp(glonassCount, 0, 10);
    const int tracked = r.gpsSatellites + r.glonassSatellites;
    r.timeKnown = tracked > 0;
    if (u >= a && tracked >= 4 && canFix(gps))
        r.fixState = 2;
    else if (u >= kPartialFix * a && tracked >= 3)
        r.fixState = 1;
    if (r.fixState == 2) {
        // Low satellites are left out of the solution.
        const int excluded = int(noise::unit(s, noise::StreamGps, uint64_t(t / 60.0)) * 3.0);
        r.satellitesUsed = std::clamp(tracked - excluded, 4, 12);
        r.ppsValid = true;
        const double settle = 40.0 * std::exp(-(u - a) / 150.0);
        r.accuracyNs = std::max(5, int(std::lround(14.0 + settle + 4.0 * noise::smooth(s + 2, noise::StreamGps, t, 60.0))));
    } else if (r.fixState == 1) {
        r.satellitesUsed = std::min(3, tracked);
    }
    return r;
}

OscillatorReading oscillatorAt(const GpsSettings &gps, uint64_t seed, double u, double t)
{
    OscillatorReading r;
    double reference = -1;
    if (gps.externalPps)
        reference = 0;
    else if (canFix(gps))
        reference = gps.acquireSeconds;
    if (reference < 0 || u < reference)
        return r;
    r.referenced = true;
    const uint64_t s = noise::mix(seed ^ 0x05c1000ull);
    const double e = u - reference;
    const double lock = std::max(gps.lockSeconds, 1.0);
    const double tau = lock / 6.0;
    // The free-running oscillator starts hundreds of ns off; the loop pulls it
    // in with a little overshoot, then only the PPS jitter remains.
    const double sign = noise::unit(s, noise::StreamClock, 0) < 0.5 ? -1.0 : 1.0;
    const double start = sign * (400.0 + 600.0 * noise::unit(s, noise::StreamClock, 1));
    const double pull = start * std::exp(-e / tau) * std::cos(e / (1.3 * tau));
    const double jitter = 2.2 * noise::smooth(s, noise::StreamClock, t, 9.0) + 0.7 * noise::smooth(s + 1, noise::StreamClock, t, 1.7);
    r.deviationNs = pull + jitter;
    r.synced = e >= lock;
    return r;
}

} // namespace lqsim
