// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// lqfw: writes firmware images that the simulated devices accept, and the
// demo firmware catalog, for tests, demos and operators trying the update flow.

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

const char *const kUsage = "usage: lqfw --type N [--type N ...] --output FILE [options]\n"
                           "       lqfw --demo-catalog DIR\n"
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
                           "  --name TEXT       also print the image's <device> entry for firmware.xml,\n"
                           "                    with TEXT as the name the operator sees\n"
                           "  --demo-catalog DIR  write the demo catalog (firmware.xml and its images)\n"
                           "                    into DIR instead of a single image\n"
                           "  --help            show this text\n";

[[noreturn]] void usageError(const std::string &message)
{
    std::fprintf(stderr, "lqfw: %s\n\n%s", message.c_str(), kUsage);
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

bool writeFile(const std::string &path, const void *data, size_t size)
{
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "lqfw: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) {
        std::fprintf(stderr, "lqfw: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    return true;
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

bool writeImage(lqsim::FirmwareImageHeader header, std::vector<uint8_t> payload, bool corrupt,
                const std::string &output)
{
    CRC32Generator crc;
    header.payloadCrc = uint32_t(crc.Generate(reinterpret_cast<char *>(payload.data()), payload.size()));
    if (corrupt)
        payload[payload.size() / 2] ^= 0x5a;
    const std::vector<uint8_t> image = lqsim::firmwareimage::encode(header, payload);
    return writeFile(output, image.data(), image.size());
}

std::string xmlEscaped(const std::string &text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// One catalog entry. The manager compares hardware firmware versions per
// firmware variant; these images install one hardware version whatever the
// variant, so it is listed once for each.
std::string catalogEntry(const std::string &name, const std::string &file, const lqsim::FirmwareImageHeader &header,
                         unsigned variants)
{
    std::string xml = "  <device>\n    <name>" + xmlEscaped(name) + "</name>\n";
    for (uint32_t type : header.deviceTypes)
        xml += "    <type>" + std::to_string(type) + "</type>\n";
    xml += "    <file>" + xmlEscaped(file) + "</file>\n";
    xml += "    <swversion>" + lqsim::dottedVersionText(header.softwareVersion) + "</swversion>\n";
    for (unsigned i = 0; i < variants; ++i)
        xml += "    <hwversion>" + std::to_string(header.hardwareVersion) + "</hwversion>\n";
    return xml + "  </device>\n";
}

std::string baseName(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct DemoImage {
    const char *name;
    const char *file;
    std::vector<uint32_t> types;
    lqsim::DottedVersion software;
    uint32_t hardware;
    unsigned variants;
};

// The compiled-in scenario runs the GPS and 10G taps on exactly these
// versions and the 1G v6 tap on an older one, so the demo offers one update.
const std::vector<DemoImage> &demoImages()
{
    static const std::vector<DemoImage> images = {
        {"LumenQuill 1G+ GPS", "lumenquill-1g-plus-gps.img", {9, 10}, {3, 4, 2, 0}, 1207, 1},
        {"LumenQuill 10G", "lumenquill-10g.img", {11, 12}, {4, 1, 0, 3}, 2104, 1},
        {"LumenQuill 1G v6", "lumenquill-1g-v6.img", {14}, {5, 1, 0, 0}, 1403, 2},
    };
    return images;
}

int writeDemoCatalog(const std::string &dir)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!-- Demo catalog for the simulated devices, written by lqfw -->\n"
                      "<devices>\n";
    for (const DemoImage &demo : demoImages()) {
        lqsim::FirmwareImageHeader header;
        header.deviceTypes = demo.types;
        header.softwareVersion = demo.software;
        header.hardwareVersion = demo.hardware;
        if (!writeImage(header, madeUpPayload(65536), false, dir + "/" + demo.file))
            return 1;
        xml += catalogEntry(demo.name, demo.file, header, demo.variants);
    }
    xml += "</devices>\n";
    // Written last, so a catalog never names an image that is not there yet.
    return writeFile(dir + "/firmware.xml", xml.data(), xml.size()) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    lqsim::FirmwareImageHeader header;
    header.softwareVersion = {9, 0, 0, 0};
    header.hardwareVersion = 1500;
    std::string output;
    std::string payloadFile;
    std::string catalogName;
    std::string demoCatalogDir;
    bool named = false;
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
        } else if (option == "--name") {
            catalogName = value();
            named = true;
        } else if (option == "--demo-catalog") {
            demoCatalogDir = value();
        } else {
            usageError("unknown option " + option);
        }
    }
    if (!demoCatalogDir.empty()) {
        if (argc != 3)
            usageError("--demo-catalog takes no other option");
        return writeDemoCatalog(demoCatalogDir);
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
            std::fprintf(stderr, "lqfw: cannot read %s: %s\n", payloadFile.c_str(), std::strerror(errno));
            return 1;
        }
        if (payload.size() > lqsim::firmwareimage::kMaxPayloadBytes) {
            std::fprintf(stderr, "lqfw: %s is larger than any device's flash\n", payloadFile.c_str());
            return 1;
        }
    } else {
        payload = madeUpPayload(size_t(payloadSize));
    }
    if (corrupt && payload.empty())
        usageError("--corrupt needs a payload of at least one byte");

    if (!writeImage(header, std::move(payload), corrupt, output))
        return 1;
    if (named)
        std::fputs(catalogEntry(catalogName, baseName(output), header, 1).c_str(), stdout);
    return 0;
}
