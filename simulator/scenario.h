// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Scenario files: which devices are plugged in and how they are set up. The
// format is described in README.md next to this file.

#pragma once

#include "devicephysics.h"
#include "lumenquillapi.h"
#include "macaddress.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lqsim {

// 2.3.13.0, the only library version the manager accepts.
constexpr uint32_t kDefaultLibraryVersion = 0x000D0302;

// Objects and arrays nest at most this deep in a scenario (the top-level
// object is level 1). Real scenarios need six levels; the bound is there so
// that a hostile file is refused before anything walks it recursively.
constexpr int kMaxScenarioNesting = 64;
// Scenario files larger than this are refused unread, so that a path to an
// endless file (a device, a pipe) cannot exhaust memory.
constexpr size_t kMaxScenarioFileBytes = 16u << 20;

struct DeviceDescription {
    uint32_t type = 0;
    MacAddress mac{};
    DeviceVersions versions{};
    uint32_t usbSpeed = LQ_USB_SUPER_SPEED;
    DeviceFeatures features{};
    DevicePortsSpeed portsSpeed{};
    std::vector<std::string> firmwareVariants;
    uint64_t seed = 0;
    // The workstation disk direct capture drains into, MB (10^6 bytes) per second.
    uint32_t diskMbps = 400;
    std::shared_ptr<const PhysicsSettings> physics;
};

struct Scenario {
    uint32_t libraryVersion = kDefaultLibraryVersion;
    std::vector<DeviceDescription> devices;
};

// Both parsers answer false with *error set to the one line to print, e.g.
//   lumenquill simulator: /tmp/s.json:7: devices[1].mac: "zz" is not a MAC address
// source names the text in that line: a file path, or "<text>".
bool parseScenario(std::string_view text, const std::string &source, Scenario *out, std::string *error);
// One entry of a scenario's "devices" array on its own (plugging a device).
bool parseDevice(std::string_view text, const std::string &source, DeviceDescription *out, std::string *error);

// The compiled-in scenario: three devices that between them show every tab.
const char *defaultScenarioJson();

// The line for a file that cannot be read at all.
std::string unreadableScenarioError(const std::string &path, const std::string &why);

} // namespace lqsim
