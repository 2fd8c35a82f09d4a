// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The timing side of a device: a GPS receiver that searches the sky after
// power-up, and the timestamp oscillator that it (or an external PPS)
// disciplines.

#pragma once

#include <cstdint>

namespace lqsim {

struct GpsSettings {
    bool present = true;
    double acquireSeconds = 45; // power-up to a full fix
    double lockSeconds = 60;    // PPS reference to a locked oscillator
    bool externalPps = false;
    int gpsSatellites = 9;     // in view once the search is over
    int glonassSatellites = 6;
};

struct GpsReading {
    int fixState = 0; // 0 none, 1 partial, 2 fix
    int gpsSatellites = 0;
    int glonassSatellites = 0;
    int satellitesUsed = 0;
    bool ppsValid = false;
    int accuracyNs = 0;
    bool timeKnown = false; // UTC is known from at least one satellite
};

struct OscillatorReading {
    bool referenced = false; // a PPS to compare against exists
    bool synced = false;
    double deviationNs = 0;
};

GpsReading gpsAt(const GpsSettings &gps, uint64_t seed, double uptimeSeconds, double tSeconds);
// Uptime at which the receiver first knows UTC; negative when it never will.
double gpsTimeKnownAt(const GpsSettings &gps);
// Uptime at which a full fix comes; negative when the sky never allows one.
double gpsFixAt(const GpsSettings &gps);
OscillatorReading oscillatorAt(const GpsSettings &gps, uint64_t seed, double uptimeSeconds, double tSeconds);

} // namespace lqsim
