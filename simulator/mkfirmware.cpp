// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// lqsim-mkfirmware: writes a firmware image that the simulated devices
// accept, for tests, demos and operators trying the update flow.

#include "crc32generator.h"
#include "dottedversion.h"
#include "firmwareimage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char *const kUsage = "usage: lqsim-mkfirmware --type N [--type N ...] --output FILE [options]\n"
                           "\n"
                           "Writes a LumenQuill firmware image for the simulated devices.\n"
                           "\n"
                           "  --type N          a device type the image fits (repeat, or N,M,...)\n"
                           "  --output FILE     where to write the image\n"
                           "  --software A.B.C.D  software version it installs (default 9.0.0.0)\n"
                           "  --hardware N      hardware firmware version it installs (default 1500)\n"
                           "  --payload FILE    take the payload from FILE instead of making one\n"
                           "  --payload-size N  bytes of made-up payload (default 65536)\n"
                           "  --corrupt         spoil one payload byte after the CRC is taken, so the\n"
                           "                    device refuses the image while verifying it\n"
                           "  --help            show this text\n";

[[noreturn]] void usageError(const std::string &message)
{
    std::fprintf(stderr, "lqsim-mkfirmware: %s\n\n%s", message.c_str(), kUsage);
    std::exit(2);
}

bool parseNumber(const std::string &text, unsigned long long max, unsigned long long *out)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19)
        return false;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (value > max)
        return false;
    *out = value;
    return true;
}

bool readFile(const std::string &path, std::vector<uint8_t> *out)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    uint8_t buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        out->insert(out->end(), buffer, buffer + n);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

// Looks like a compressed image (no long runs) and is the same every time,
// so two images made with the same options are byte-identical.
std::vector<uint8_t> madeUpPayload(size_t size)
{
    std::vector<uint8_t> payload(size);
    uint64_t state = 0x4c51465750415944ull;
    for (uint8_t &b : payload) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        b = uint8_t(state >> 24);
    }
    return payload;
}

} // namespace

int main(int argc, char **argv)
{
    lqsim::FirmwareImageHeader header;
    header.softwareVersion = {9, 0, 0, 0};
    header.hardwareVersion = 1500;
    std::string output;
    std::string payloadFile;
    unsigned long long payloadSize = 65536;
    bool corrupt = false;

    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usageError(option + " needs a value");
            return argv[++i];
        };
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (option == "--type") {
            std::string list = value();
            size_t start = 0;
            for (;;) {
                const size_t comma = list.find(',', start);
                unsigned long long type = 0;
                if (!parseNumber(list.substr(start, comma - start), 0xFFFFFFFFull, &type))
                    usageError("--type wants device type numbers, not \"" + list + "\"");
                header.deviceTypes.push_back(uint32_t(type));
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
        } else if (option == "--output") {
            output = value();
        } else if (option == "--software") {
            const std::string text = value();
            if (!lqsim::parseDottedVersion(text, &header.softwareVersion))
                usageError("--software wants a version a.b.c.d, not \"" + text + "\"");
        } else if (option == "--hardware") {
            unsigned long long hardware = 0;
            const std::string text = value();
            if (!parseNumber(text, 0xFFFFFFFFull, &hardware))
                usageError("--hardware wants a number, not \"" + text + "\"");
            header.hardwareVersion = uint32_t(hardware);
        } else if (option == "--payload") {
            payloadFile = value();
        } else if (option == "--payload-size") {
            const std::string text = value();
            if (!parseNumber(text, lqsim::firmwareimage::kMaxPayloadBytes, &payloadSize))
                usageError("--payload-size wants 0 to " + std::to_string(lqsim::firmwareimage::kMaxPayloadBytes) +
                           " bytes, not \"" + text + "\"");
        } else if (option == "--corrupt") {
            corrupt = true;
        } else {
            usageError("unknown option " + option);
        }
    }
    if (header.deviceTypes.empty())
        usageError("name at least one device type with --type");
    if (header.deviceTypes.size() > lqsim::firmwareimage::kMaxDeviceTypes)
        usageError("an image fits at most " + std::to_string(lqsim::firmwareimage::kMaxDeviceTypes) + " device types");
    if (output.empty())
        usageError("name the image file with --output");

    std::vector<uint8_t> payload;
    if (!payloadFile.empty()) {
        if (!readFile(payloadFile, &payload)) {
            std::fprintf(stderr, "lqsim-mkfirmware: cannot read %s: %s\n", payloadFile.c_str(), std::strerror(errno));
            return 1;
        }
        if (payload.size() > lqsim::firmwareimage::kMaxPayloadBytes) {
            std::fprintf(stderr, "lqsim-mkfirmware: %s is larger than any device's flash\n", payloadFile.c_str());
            return 1;
        }
    } else {
        payload = madeUpPayload(size_t(payloadSize));
    }
    if (corrupt && payload.empty())
        usageError("--corrupt needs a payload of at least one byte");

    CRC32Generator crc;
    header.payloadCrc = uint32_t(crc.Generate(reinterpret_cast<char *>(payload.data()), payload.size()));
    if (corrupt)
        payload[payload.size() / 2] ^= 0x5a;

    const std::vector<uint8_t> image = lqsim::firmwareimage::encode(header, payload);
    FILE *file = std::fopen(output.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "lqsim-mkfirmware: cannot write %s: %s\n", output.c_str(), std::strerror(errno));
        return 1;
    }
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "lqsim-mkfirmware: cannot write %s: %s\n", output.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}
