// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A pluggable SFP module: its memory image, and the live part of it (the
// digital diagnostics, which drift with time, and the alarm, warning and
// status bits they set) as the device reads it at each report.

#pragma once

#include "lumenquillapi.h"
#include "sfpeeprom.h"

#include <cstdint>
#include <string>

namespace lqsim {

struct SfpModuleSettings {
    bool present = true;
    // Pages A0h and A2h as programmed; the A2h measurements, status and flag
    // bytes are rewritten at every report.
    SfpEeprom eeprom;
    // The serial number is made up from the seed and the port at every
    // report, so that two simulated devices never share a module.
    bool serialFromSeed = false;
    SfpDiagnostics nominal{}; // readings the live values drift around
    double wander = 1.0;      // scales warm-up and drift; 0 holds the nominal values
    bool txFault = false;
};

// A known module type ("10GBASE-SR", "10GBASE-LR", "1000BASE-SX"), its image
// built from scratch; false for an unknown name.
bool sfpModulePreset(const std::string &type, SfpModuleSettings *out);
const char *sfpModuleTypes(); // the names above, for error messages

// The physical situation of a module at the moment of a report.
struct SfpConditions {
    bool txDisabled = false; // the port is disabled
    bool light = true;       // the link partner's transmitter reaches us
    double uptimeSeconds = 0;
    double tSeconds = 0; // simulator clock
    uint64_t seed = 0;
    int port = 0;
};

// The module memory as the device reads it under these conditions.
SfpEeprom sfpModuleMemory(const SfpModuleSettings &module, const SfpConditions &conditions);
// That memory decoded into the library's record.
void fillSfpPortInfo(const SfpModuleSettings &module, const SfpConditions &conditions, SfpPortInfo *out);
// 10 for a module running a 10 Gbit/s line, 1 for 1 Gbit/s.
int sfpLineGigabits(const SfpModuleSettings &module);

} // namespace lqsim
