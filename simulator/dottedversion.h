// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Versions written a.b.c.d, as scenarios and the image tool take them.

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lqsim {

using DottedVersion = std::array<uint8_t, 4>;

// Exactly four decimal parts of 0..255; no sign, no spaces, no empty part.
bool parseDottedVersion(std::string_view text, DottedVersion *out);
std::string dottedVersionText(const DottedVersion &version);

} // namespace lqsim
