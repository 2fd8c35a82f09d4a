// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The scenario the simulator plugs in when no file is named: one device of
// each family, so that between them they show every tab of the manager.
// Kept as scenario text, read by the same parser as files, so it can never
// hold what a file could not.

#include "scenario.h"

namespace lqsim {

const char *defaultScenarioJson()
{
    return R"json({
  "description": "Three taps that between them show every tab of the manager",
  "devices": [
    {
      "description": "1G+ GPS PoE tap on the office uplink",
      "type": 10,
      "mac": "02:4c:51:00:00:01",
      "versions": { "software": "3.4.2.0", "driver": "1.9.18.0", "hardware": 1207 },
      "usb_speed": 3
    },
    {
      "description": "10G GPS tap with an SR module on A and an LR module on B",
      "type": 12,
      "mac": "02:4c:51:00:00:02",
      "versions": { "software": "4.1.0.3", "driver": "1.9.19.0", "hardware": 2104 },
      "usb_speed": 3,
      "sfp": { "a": { "type": "10GBASE-SR" }, "b": { "type": "10GBASE-LR" } },
      "traffic": { "a": { "load": 0.18 }, "b": { "load": 0.31 } }
    },
    {
      "description": "1G v6 tap with configurable counters and two firmware variants",
      "type": 14,
      "mac": "02:4c:51:00:00:03",
      "versions": { "software": "5.0.6.1", "driver": "1.9.18.0", "hardware": 1402 },
      "usb_speed": 2,
      "firmware_variants": ["Standard capture", "Counters and filters"],
      "features": { "packet_slicing": 1, "slicing_length": 128 },
      "ports": { "b": { "partner": { "abilities": ["100full", "100half", "10full", "10half"] } } }
    }
  ]
})json";
}

} // namespace lqsim
