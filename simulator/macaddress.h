// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// MAC addresses as scenarios and the control API name devices.

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lqsim {

using MacAddress = std::array<uint8_t, 6>;

// Six two-digit hexadecimal bytes joined by ':'; either case is accepted so
// that a scenario copied from another tool's output still works.
bool parseMac(std::string_view text, MacAddress *out);
// Lower-case, the form the manager shows and the control API documents.
std::string macText(const MacAddress &mac);

} // namespace lqsim
