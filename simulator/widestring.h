// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The manager hands paths over as NUL-terminated 32-bit wide strings, and
// not both the same way: a capture path holds code points, a firmware image
// path the bytes of the local 8-bit path, one per wide character (the
// manager's update thread widens each byte). The file system wants bytes.

#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace lqsim {

// Longest path, in wide characters, taken from the manager; a longer one means
// a missing terminator far more likely than a real path.
constexpr size_t kMaxWidePathLength = 4096;

// Capture paths: UTF-8 of a string of code points. Values that are no code
// point (surrogates, beyond U+10FFFF) become U+FFFD, so such a path simply
// names no existing file. nullopt for a null pointer or an over-long string.
std::optional<std::string> utf8FromWide(const wchar_t *text, size_t maxLength = kMaxWidePathLength);

// Firmware image paths: the bytes the wide characters carry, unchanged. nullopt
// for a null pointer, an over-long string, or a character that is no byte
// (above 0xFF, or negative): the caller did not widen a byte string.
std::optional<std::string> bytesFromWide(const wchar_t *text, size_t maxLength = kMaxWidePathLength);

} // namespace lqsim
