// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A pluggable SFP module as the device decodes it: identity read from the
// module memory, and digital diagnostics that drift with time and trip the
// module's alarm and warning flags.

#pragma once

#include "lumenquillapi.h"

#include <array>
#include <cstdint>
#include <string>

namespace lqsim {

struct SfpModuleSettings {
    bool present = true;
    std::string vendorName;
    uint32_t vendorOui = 0;
    std::string model;
    std::string revision;
    std::string dateCode;
    std::string serialNumber; // empty: made up from the seed and the port
    uint32_t nominalBitRate = 0;
    uint32_t bitRateMarginUpper = 0;
    uint32_t bitRateMarginLower = 0;
    uint32_t encoding = 0;
    uint32_t rateIdentifier = 0;
    uint32_t identifier = 3;
    uint32_t extendedIdentifier = 4;
    uint32_t connector = 7;
    uint32_t wavelength = 0;
    uint32_t diagnosticMonitoringType = 0;
    uint32_t sff8472Compliance = 0;
    uint32_t lengthSingleMode = 0;
    uint32_t lengthOm2 = 0;
    uint32_t lengthOm1 = 0;
    uint32_t lengthCopper = 0;
    uint32_t lengthOm3 = 0;
    // Declarations in the decoded sense: 0 means the module has the feature
    // or meets the code, non-zero that it does not.
    std::array<uint32_t, LQ_SFP_OPTION_WORDS> options{};
    std::array<uint32_t, LQ_SFP_TRANSCEIVER_WORDS> transceiver{};
    SfpDiagnostics nominal{};
    SfpDiagnostics lowAlarm{};
    SfpDiagnostics lowWarning{};
    SfpDiagnostics highWarning{};
    SfpDiagnostics highAlarm{};
    double wander = 1.0; // scales warm-up and drift; 0 holds the nominal values
    bool txFault = false;
};

// Defaults of a known module type ("10GBASE-SR", "10GBASE-LR", "1000BASE-SX");
// false for an unknown name.
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

void fillSfpPortInfo(const SfpModuleSettings &module, const SfpConditions &conditions, SfpPortInfo *out);
// 10 for a module running a 10 Gbit/s line, 1 for 1 Gbit/s.
int sfpLineGigabits(const SfpModuleSettings &module);

} // namespace lqsim
