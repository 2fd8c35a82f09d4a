// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// MAC address text in both directions.

#include "macaddress.h"

#include <cstdio>

namespace lqsim {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool parseMac(std::string_view text, MacAddress *out)
{
    if (text.size() != 17)
        return false;
    MacAddress mac{};
    for (size_t i = 0; i < 6; ++i) {
        const size_t at = i * 3;
        const int high = hexDigit(text[at]);
        const int low = hexDigit(text[at + 1]);
        if (high < 0 || low < 0)
            return false;
        if (i < 5 && text[at + 2] != ':')
            return false;
        mac[i] = static_cast<uint8_t>(high * 16 + low);
    }
    *out = mac;
    return true;
}

std::string macText(const MacAddress &mac)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

} // namespace lqsim
