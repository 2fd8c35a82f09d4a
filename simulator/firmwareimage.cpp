// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Firmware image header encoding and checking; layout in firmwareimage.h.

#include "firmwareimage.h"

#include <algorithm>
#include <cstring>

namespace lqsim {

bool FirmwareImageHeader::fits(uint32_t deviceType) const
{
    return std::find(deviceTypes.begin(), deviceTypes.end(), deviceType) != deviceTypes.end();
}

namespace firmwareimage {

namespace {

void put16(std::vector<uint8_t> &out, uint16_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put32(std::vector<uint8_t> &out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(uint8_t(value >> shift));
}

uint16_t get16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t get32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

} // namespace

std::vector<uint8_t> encode(const FirmwareImageHeader &header, const std::vector<uint8_t> &payload)
{
    const auto typeCount = static_cast<uint32_t>(header.deviceTypes.size());
    const uint32_t headerBytes = kFixedHeaderBytes + 4 * typeCount;
    std::vector<uint8_t> out;
    out.reserve(headerBytes + payload.size());
    for (char c : kMagic)
        out.push_back(uint8_t(c));
    put16(out, kFormatVersion);
    put16(out, static_cast<uint16_t>(headerBytes));
    for (uint8_t part : header.softwareVersion)
        out.push_back(part);
    put32(out, header.hardwareVersion);
    put32(out, static_cast<uint32_t>(payload.size()));
    put32(out, header.payloadCrc);
    put32(out, typeCount);
    put32(out, 0);
    for (uint32_t type : header.deviceTypes)
        put32(out, type);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

ParseResult parse(const std::vector<uint8_t> &file, FirmwareImageHeader *out, std::string *error)
{
    auto fail = [error](ParseResult result, const char *why) {
        if (error)
            *error = why;
        return result;
    };
    if (file.size() < kFixedHeaderBytes || std::memcmp(file.data(), kMagic, 4) != 0)
        return fail(ParseResult::NotAnImage, "no LumenQuill firmware image magic");
    const uint8_t *p = file.data();
    if (get16(p + 4) != kFormatVersion)
        return fail(ParseResult::NotAnImage, "unknown image header version");

    FirmwareImageHeader header;
    const uint32_t headerBytes = get16(p + 6);
    const uint32_t typeCount = get32(p + 24);
    if (typeCount == 0 || typeCount > kMaxDeviceTypes || headerBytes != kFixedHeaderBytes + 4 * typeCount)
        return fail(ParseResult::NotAnImage, "inconsistent image header");
    if (file.size() < headerBytes)
        return fail(ParseResult::Truncated, "image header is cut short");
    std::copy(p + 8, p + 12, header.softwareVersion.begin());
    header.hardwareVersion = get32(p + 12);
    header.payloadLength = get32(p + 16);
    header.payloadCrc = get32(p + 20);
    header.payloadOffset = headerBytes;
    for (uint32_t i = 0; i < typeCount; ++i)
        header.deviceTypes.push_back(get32(p + kFixedHeaderBytes + 4 * i));
    if (header.payloadLength > kMaxPayloadBytes)
        return fail(ParseResult::NotAnImage, "payload length beyond any device's flash");
    // A file that ends early or runs on past its payload was not written by
    // us (or not completely); either way flashing it would be a gamble.
    if (file.size() != uint64_t(headerBytes) + header.payloadLength)
        return fail(ParseResult::Truncated, "file size does not match the payload length");

    *out = std::move(header);
    return ParseResult::Ok;
}

} // namespace firmwareimage

} // namespace lqsim
