// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Firmware images arrive from wherever the operator points the file dialog.
// The simulated device's reader must refuse anything that is not an image,
// and an image it accepts must come back byte for byte from its own header.

#include "firmwareimage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace lqsim;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::vector<uint8_t> file(data, data + size);
    FirmwareImageHeader header;
    std::string error;
    const auto result = firmwareimage::parse(file, &header, &error);
    if (result != firmwareimage::ParseResult::Ok) {
        if (error.empty())
            std::abort();
        return 0;
    }
    if (header.deviceTypes.empty() || header.deviceTypes.size() > firmwareimage::kMaxDeviceTypes ||
        uint64_t(header.payloadOffset) + header.payloadLength > size) {
        std::fprintf(stderr, "accepted header points outside the file\n");
        std::abort();
    }
    const std::vector<uint8_t> payload(file.begin() + header.payloadOffset,
                                       file.begin() + header.payloadOffset + header.payloadLength);
    const std::vector<uint8_t> again = firmwareimage::encode(header, payload);
    FirmwareImageHeader reread;
    if (firmwareimage::parse(again, &reread, &error) != firmwareimage::ParseResult::Ok ||
        reread.deviceTypes != header.deviceTypes || reread.softwareVersion != header.softwareVersion ||
        reread.hardwareVersion != header.hardwareVersion || reread.payloadLength != header.payloadLength ||
        reread.payloadCrc != header.payloadCrc) {
        std::fprintf(stderr, "image does not survive encode after parse: %s\n", error.c_str());
        std::abort();
    }
    return 0;
}
