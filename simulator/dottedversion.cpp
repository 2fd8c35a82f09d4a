// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// a.b.c.d version text in both directions.

#include "dottedversion.h"

namespace lqsim {

bool parseDottedVersion(std::string_view text, DottedVersion *out)
{
    DottedVersion version{};
    size_t part = 0;
    size_t digits = 0;
    unsigned value = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        const bool end = i == text.size();
        const char c = end ? '.' : text[i];
        if (c == '.') {
            if (digits == 0 || part >= 4)
                return false;
            version[part++] = static_cast<uint8_t>(value);
            digits = 0;
            value = 0;
        } else if (c >= '0' && c <= '9') {
            value = value * 10 + unsigned(c - '0');
            // Four digits already exceed a byte; stopping here also keeps
            // a long run of digits from overflowing.
            if (++digits > 3 || value > 255)
                return false;
        } else {
            return false;
        }
    }
    if (part != 4)
        return false;
    *out = version;
    return true;
}

std::string dottedVersionText(const DottedVersion &version)
{
    return std::to_string(version[0]) + '.' + std::to_string(version[1]) + '.' + std::to_string(version[2]) + '.' +
           std::to_string(version[3]);
}

} // namespace lqsim
