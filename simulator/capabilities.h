// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What each device model can do, by device type.

#pragma once

#include <cstdint>

namespace lqsim {

// The capability word of a device type; 0 for types no model answers to.
uint32_t capabilitiesOf(uint32_t deviceType);

} // namespace lqsim
