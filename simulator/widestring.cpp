// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Wide strings to the bytes of a path.

#include "widestring.h"

#include <cstdint>

namespace lqsim {

std::optional<std::string> utf8FromWide(const wchar_t *text, size_t maxLength)
{
    if (!text)
        return std::nullopt;
    std::string out;
    for (size_t i = 0; text[i] != L'\0'; ++i) {
        if (i >= maxLength)
            return std::nullopt;
        auto c = static_cast<uint32_t>(text[i]);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<std::string> bytesFromWide(const wchar_t *text, size_t maxLength)
{
    if (!text)
        return std::nullopt;
    std::string out;
    for (size_t i = 0; text[i] != L'\0'; ++i) {
        const auto c = static_cast<uint32_t>(text[i]);
        if (i >= maxLength || c > 0xFF)
            return std::nullopt;
        out += static_cast<char>(c);
    }
    return out;
}

} // namespace lqsim
