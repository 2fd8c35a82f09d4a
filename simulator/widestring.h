// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The manager hands paths over as 32-bit wide strings of code points; the
// file system wants UTF-8.

#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace lqsim {

// Longest path, in code points, taken from the manager; a longer one means a
// missing terminator far more likely than a real path.
constexpr size_t kMaxWidePathLength = 4096;

// UTF-8 of a NUL-terminated wide string. Values that are no code point
// (surrogates, beyond U+10FFFF) become U+FFFD, so such a path simply names no
// existing file. nullopt for a null pointer or an over-long string.
std::optional<std::string> utf8FromWide(const wchar_t *text, size_t maxLength = kMaxWidePathLength);

} // namespace lqsim
