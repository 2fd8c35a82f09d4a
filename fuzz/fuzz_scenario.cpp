// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Scenario files are written by hand and named by an environment variable, so
// the simulator must refuse any text with one error line and never crash. The
// same bytes go through the single-device reader that lqsim_plug uses.

#include "scenario.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    lqsim::Scenario scenario;
    std::string error;
    if (!lqsim::parseScenario(text, "fuzz.json", &scenario, &error)) {
        // The operator sees this line alone; it must say where.
        if (error.empty() || error.find('\n') != std::string::npos) {
            std::fprintf(stderr, "scenario refused without a one-line error: '%s'\n", error.c_str());
            std::abort();
        }
    }
    lqsim::DeviceDescription device;
    error.clear();
    if (!lqsim::parseDevice(text, "<text>", &device, &error) && error.empty())
        std::abort();
    return 0;
}
