// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The capability table of the device models. Every capability bit is carried
// by at least one model, so a scenario can show every part of the manager.

#include "capabilities.h"

#include "lumenquillapi.h"

namespace lqsim {

namespace {

// The 1G tap every later 1G model grew from.
constexpr uint32_t k1G = LQ_CAP_CONFIGURABLE | LQ_CAP_PORT_SPEED | LQ_CAP_FIRMWARE_FLASH | LQ_CAP_STATS_PORTS |
                         LQ_CAP_PER_PORT_LINK | LQ_CAP_LOOPBACK | LQ_CAP_PCAPNG;
constexpr uint32_t k1GPlus = k1G | LQ_CAP_FILTERS | LQ_CAP_SLICING_LENGTH;
constexpr uint32_t k1GPlusGps = k1GPlus | LQ_CAP_TIMING;
constexpr uint32_t k1Gv5 = k1G | LQ_CAP_FIRMWARE_VARIANTS;
constexpr uint32_t k10G = LQ_CAP_CONFIGURABLE | LQ_CAP_PORT_SPEED | LQ_CAP_FIRMWARE_FLASH | LQ_CAP_SFP |
                          LQ_CAP_FILTERS | LQ_CAP_STATS_PORTS | LQ_CAP_LOOPBACK | LQ_CAP_PCAPNG | LQ_CAP_SLICING_LENGTH;
constexpr uint32_t k1Gv6 = LQ_CAP_CONFIGURABLE | LQ_CAP_PORT_SPEED | LQ_CAP_FIRMWARE_FLASH | LQ_CAP_FILTERS |
                           LQ_CAP_STATS_COUNTERS_V2 | LQ_CAP_PER_PORT_LINK | LQ_CAP_LOOPBACK | LQ_CAP_PCAPNG |
                           LQ_CAP_SLICING_LENGTH | LQ_CAP_FIRMWARE_VARIANTS;

} // namespace

uint32_t capabilitiesOf(uint32_t deviceType)
{
    switch (deviceType) {
    case 3:
        return k1G;
    case 5:
        return k1GPlus;
    case 6:
        return k1Gv5;
    case 7:
        return k1Gv5 | LQ_CAP_POE;
    case 8:
        return k1GPlus | LQ_CAP_POE;
    case 9:
        return k1GPlusGps;
    case 10:
        return k1GPlusGps | LQ_CAP_POE;
    case 11:
        return k10G;
    case 12:
        return k10G | LQ_CAP_TIMING;
    case 13:
        return k1G & ~uint32_t(LQ_CAP_LOOPBACK); // the 100 Mbit/s tap has no loopback relay
    case 14:
        return k1Gv6;
    default:
        return 0;
    }
}

} // namespace lqsim
