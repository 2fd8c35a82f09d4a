// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The firmware image file of the simulated devices: a small little-endian
// header naming the device types it fits and the versions it installs,
// followed by the payload. Pure byte work, no file or checksum code, so the
// library, the image tool and the tests share one definition.
//
//   offset size
//        0    4  magic "LQFW"
//        4    2  header format version (1)
//        6    2  header size in bytes (32 + 4 * type count)
//        8    4  software version a.b.c.d, a first
//       12    4  hardware firmware version
//       16    4  payload length in bytes
//       20    4  CRC-32 of the payload (ISO-HDLC, as CRC32Generator computes it)
//       24    4  number of device types (1..32)
//       28    4  reserved, 0
//       32  4*n  device types
//   header size  payload

#pragma once

#include "dottedversion.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lqsim {

struct FirmwareImageHeader {
    std::vector<uint32_t> deviceTypes;
    DottedVersion softwareVersion{};
    uint32_t hardwareVersion = 0;
    uint32_t payloadLength = 0;
    uint32_t payloadCrc = 0;
    uint32_t payloadOffset = 0; // filled by parsing

    bool fits(uint32_t deviceType) const;
};

namespace firmwareimage {

constexpr char kMagic[4] = {'L', 'Q', 'F', 'W'};
constexpr uint16_t kFormatVersion = 1;
constexpr uint32_t kFixedHeaderBytes = 32;
constexpr uint32_t kMaxDeviceTypes = 32;
// Far more than any device's flash; a bigger file is not one of ours.
constexpr uint32_t kMaxPayloadBytes = 64u << 20;

// The whole file. header.payloadLength is set from the payload; the caller
// supplies the payload's CRC in header.payloadCrc.
std::vector<uint8_t> encode(const FirmwareImageHeader &header, const std::vector<uint8_t> &payload);

enum class ParseResult { Ok, NotAnImage, Truncated };

// Reads and checks the header of a whole file (not the payload's CRC, which
// needs the manager's CRC32Generator). *error says what is wrong.
ParseResult parse(const std::vector<uint8_t> &file, FirmwareImageHeader *out, std::string *error);

} // namespace firmwareimage

} // namespace lqsim
