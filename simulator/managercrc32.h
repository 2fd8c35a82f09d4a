// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The CRC-32 of firmware payloads, computed by the CRC32Generator class that
// the manager exports from its executable, as the device library has always
// done it.

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace lqsim {

// nullopt when the process does not export CRC32Generator (a program that is
// not the manager, or one linked without exporting its symbols).
std::optional<uint32_t> managerCrc32(const uint8_t *data, size_t length);

} // namespace lqsim
