// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Reading scenario files. Every mistake is reported as one line naming the
// source, the line and the JSON path of the field, because the operator's
// next step is to open the file there; the scenario is then refused whole.

#include "scenario.h"

#include "capabilities.h"
#include "dottedversion.h"
#include "jsonlocation.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <new>
#include <vector>

namespace lqsim {

namespace {

using nlohmann::json;

const char *const kPrefix = "lumenquill simulator: ";

struct FieldError {
    JsonPath path;
    std::string message;
};

[[noreturn]] void fail(const JsonPath &path, std::string message)
{
    throw FieldError{path, std::move(message)};
}

// A value as the operator wrote it, short enough for one line.
std::string shown(const json &value)
{
    std::string text = value.dump();
    if (text.size() > 40)
        text = text.substr(0, 37) + "...";
    return text;
}

void requireObject(const json &value, const JsonPath &path)
{
    if (!value.is_object())
        fail(path, "must be an object, not " + shown(value));
}

void allowOnly(const json &object, const JsonPath &path, std::initializer_list<const char *> known)
{
    for (const auto &item : object.items()) {
        const bool isKnown =
            std::any_of(known.begin(), known.end(), [&](const char *name) { return item.key() == name; });
        if (!isKnown)
            fail(childPath(path, item.key()), "unknown field");
    }
}

uint64_t readUnsigned(const json &value, const JsonPath &path, uint64_t min, uint64_t max)
{
    if (!value.is_number_integer())
        fail(path, "must be an integer, not " + shown(value));
    if (value.is_number_unsigned()) {
        const auto n = value.get<uint64_t>();
        if (n >= min && n <= max)
            return n;
    }
    fail(path, "must be between " + std::to_string(min) + " and " + std::to_string(max) + ", not " + shown(value));
}

int64_t readSigned(const json &value, const JsonPath &path, int64_t min, int64_t max)
{
    if (!value.is_number_integer())
        fail(path, "must be an integer, not " + shown(value));
    const bool fits = value.is_number_unsigned() ? value.get<uint64_t>() <= uint64_t(max)
                                                 : value.get<int64_t>() >= min && value.get<int64_t>() <= max;
    if (!fits)
        fail(path, "must be between " + std::to_string(min) + " and " + std::to_string(max) + ", not " + shown(value));
    return value.get<int64_t>();
}

// The devices take any 32-bit value in their flag words (the manager treats
// all but 1 as off), and true/false reads more naturally in a scenario.
uint32_t readWord(const json &value, const JsonPath &path)
{
    if (value.is_boolean())
        return value.get<bool>() ? 1 : 0;
    if (!value.is_number_integer())
        fail(path, "must be true, false or an integer, not " + shown(value));
    return static_cast<uint32_t>(readUnsigned(value, path, 0, std::numeric_limits<uint32_t>::max()));
}

std::string readString(const json &value, const JsonPath &path)
{
    if (!value.is_string())
        fail(path, "must be a string, not " + shown(value));
    return value.get<std::string>();
}

void readVersion(const json &value, const JsonPath &path, uint8_t out[4])
{
    const std::string text = readString(value, path);
    DottedVersion version{};
    if (!parseDottedVersion(text, &version))
        fail(path, shown(value) + " is not a version a.b.c.d (each part 0..255)");
    std::copy(version.begin(), version.end(), out);
}

void readVersions(const json &value, const JsonPath &path, DeviceVersions *out)
{
    requireObject(value, path);
    allowOnly(value, path, {"software", "driver", "hardware"});
    if (value.contains("software"))
        readVersion(value["software"], childPath(path, "software"), out->softwareVersion);
    if (value.contains("driver"))
        readVersion(value["driver"], childPath(path, "driver"), out->driverVersion);
    if (value.contains("hardware"))
        out->hardwareFirmwareVersion = static_cast<uint32_t>(
            readUnsigned(value["hardware"], childPath(path, "hardware"), 0, std::numeric_limits<uint32_t>::max()));
}

void readFeatures(const json &value, const JsonPath &path, DeviceFeatures *f)
{
    requireObject(value, path);
    // Each field once: its name, and how to read it into the record.
    struct Word {
        const char *name;
        uint32_t DeviceFeatures::*field;
    };
    static const Word kWords[] = {
        {"transmit_crc_errors", &DeviceFeatures::transmit_crc_errors},
        {"keep_crc", &DeviceFeatures::keep_crc},
        {"disable_port_a", &DeviceFeatures::disable_port_a},
        {"disable_port_b", &DeviceFeatures::disable_port_b},
        {"packet_slicing", &DeviceFeatures::packet_slicing},
        {"tap_mode", &DeviceFeatures::tap_mode},
        {"loopback", &DeviceFeatures::loopback},
        {"timestamps", &DeviceFeatures::timestamps},
        {"force_pps", &DeviceFeatures::force_pps},
        {"timestamp_init_source", &DeviceFeatures::timestamp_init_source},
        {"wait_for_sync", &DeviceFeatures::wait_for_sync},
        {"pps_output", &DeviceFeatures::pps_output},
        {"port_a_timestamp", &DeviceFeatures::port_a_timestamp},
        {"port_b_timestamp", &DeviceFeatures::port_b_timestamp},
    };
    for (const auto &item : value.items()) {
        const JsonPath at = childPath(path, item.key());
        const auto word =
            std::find_if(std::begin(kWords), std::end(kWords), [&](const Word &w) { return item.key() == w.name; });
        if (word != std::end(kWords))
            f->*(word->field) = readWord(item.value(), at);
        else if (item.key() == "pps_delay")
            f->pps_delay = static_cast<int16_t>(readSigned(item.value(), at, -32768, 32767));
        else if (item.key() == "slicing_length")
            f->slicing_length = static_cast<uint16_t>(readUnsigned(item.value(), at, 0, 65535));
        else if (item.key() == "firmware_variant")
            f->firmware_variant = static_cast<uint8_t>(readUnsigned(item.value(), at, 0, 255));
        else
            fail(at, "unknown field");
    }
}

void readPortSpeed(const json &value, const JsonPath &path, PortSpeedSettings *p)
{
    requireObject(value, path);
    struct Word {
        const char *name;
        uint32_t PortSpeedSettings::*field;
    };
    static const Word kWords[] = {
        {"auto_negotiation", &PortSpeedSettings::auto_negotiation},
        {"speed_1000_full", &PortSpeedSettings::speed_1000_full},
        {"speed_100_full", &PortSpeedSettings::speed_100_full},
        {"speed_100_half", &PortSpeedSettings::speed_100_half},
        {"speed_10_full", &PortSpeedSettings::speed_10_full},
        {"speed_10_half", &PortSpeedSettings::speed_10_half},
        {"asymmetric_pause", &PortSpeedSettings::asymmetric_pause},
        {"symmetric_pause", &PortSpeedSettings::symmetric_pause},
        {"master", &PortSpeedSettings::master},
        {"force_master_slave", &PortSpeedSettings::force_master_slave},
    };
    for (const auto &item : value.items()) {
        const auto word =
            std::find_if(std::begin(kWords), std::end(kWords), [&](const Word &w) { return item.key() == w.name; });
        if (word == std::end(kWords))
            fail(childPath(path, item.key()), "unknown field");
        p->*(word->field) = readWord(item.value(), childPath(path, item.key()));
    }
}

void readPortsSpeed(const json &value, const JsonPath &path, DevicePortsSpeed *out)
{
    requireObject(value, path);
    allowOnly(value, path, {"a", "b"});
    if (value.contains("a"))
        readPortSpeed(value["a"], childPath(path, "a"), &out->portA);
    if (value.contains("b"))
        readPortSpeed(value["b"], childPath(path, "b"), &out->portB);
}

std::vector<std::string> readVariants(const json &value, const JsonPath &path)
{
    if (!value.is_array())
        fail(path, "must be an array of names, not " + shown(value));
    if (value.empty() || value.size() > LQ_MAX_HW_FIRMWARES)
        fail(path, "must name 1 to " + std::to_string(LQ_MAX_HW_FIRMWARES) + " firmware variants, not " +
                       std::to_string(value.size()));
    std::vector<std::string> names;
    for (size_t i = 0; i < value.size(); ++i) {
        const JsonPath at = elementPath(path, i);
        const std::string name = readString(value[i], at);
        const bool printable = std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7e; });
        if (name.empty() || name.size() >= LQ_HW_FIRMWARE_NAME_BYTES || !printable)
            fail(at, shown(value[i]) + " must be 1 to " + std::to_string(LQ_HW_FIRMWARE_NAME_BYTES - 1) +
                         " printable ASCII characters");
        names.push_back(name);
    }
    return names;
}

// A fixed seed per MAC: the same device shows the same traffic in every run.
uint64_t seedFromMac(const MacAddress &mac)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t b : mac) {
        hash ^= b;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

DeviceDescription defaultsFor(uint32_t type, const MacAddress &mac)
{
    const uint32_t caps = capabilitiesOf(type);
    DeviceDescription d;
    d.type = type;
    d.mac = mac;
    d.versions = DeviceVersions{{2, 8, 4, 0}, {1, 9, 18, 0}, 1180, {}};
    d.features.tap_mode = 1;
    d.features.timestamps = 1;
    d.features.timestamp_init_source = (caps & LQ_CAP_TIMING) ? LQ_TIME_SOURCE_GPS : LQ_TIME_SOURCE_SYSTEM;
    d.features.slicing_length = (caps & LQ_CAP_SLICING_LENGTH) ? 64 : 0;
    for (PortSpeedSettings *port : {&d.portsSpeed.portA, &d.portsSpeed.portB})
        *port = PortSpeedSettings{1, 1, 1, 1, 1, 1, 1, 1, 0, 0};
    if (caps & LQ_CAP_FIRMWARE_VARIANTS)
        d.firmwareVariants = {"Standard capture", "Counters and filters"};
    d.seed = seedFromMac(mac);
    return d;
}

DeviceDescription readDevice(const json &value, const JsonPath &path)
{
    requireObject(value, path);
    allowOnly(value, path,
              {"description", "type", "mac", "versions", "usb_speed", "features", "ports_speed", "firmware_variants",
               "seed", "ports", "traffic", "sfp", "gps", "disk_mbps"});
    if (!value.contains("type"))
        fail(childPath(path, "type"), "missing; every device needs its type");
    if (!value.contains("mac"))
        fail(childPath(path, "mac"), "missing; every device needs its MAC address");
    if (value.contains("description"))
        readString(value["description"], childPath(path, "description"));

    const auto type = static_cast<uint32_t>(
        readUnsigned(value["type"], childPath(path, "type"), 0, std::numeric_limits<uint32_t>::max()));
    const std::string macString = readString(value["mac"], childPath(path, "mac"));
    MacAddress mac{};
    if (!parseMac(macString, &mac))
        fail(childPath(path, "mac"), shown(value["mac"]) + " is not a MAC address");

    DeviceDescription d = defaultsFor(type, mac);
    const uint32_t caps = capabilitiesOf(type);
    if (value.contains("versions"))
        readVersions(value["versions"], childPath(path, "versions"), &d.versions);
    if (value.contains("usb_speed"))
        d.usbSpeed = static_cast<uint32_t>(readUnsigned(value["usb_speed"], childPath(path, "usb_speed"), 1, 3));
    if (value.contains("features"))
        readFeatures(value["features"], childPath(path, "features"), &d.features);
    if (value.contains("ports_speed"))
        readPortsSpeed(value["ports_speed"], childPath(path, "ports_speed"), &d.portsSpeed);
    if (value.contains("firmware_variants")) {
        const JsonPath at = childPath(path, "firmware_variants");
        if (!(caps & LQ_CAP_FIRMWARE_VARIANTS))
            fail(at, "device type " + std::to_string(type) + " has no firmware variants");
        d.firmwareVariants = readVariants(value["firmware_variants"], at);
    }
    if (!d.firmwareVariants.empty() && d.features.firmware_variant >= d.firmwareVariants.size())
        fail(childPath(childPath(path, "features"), "firmware_variant"),
             "must name one of the " + std::to_string(d.firmwareVariants.size()) + " firmware variants (0 to " +
                 std::to_string(d.firmwareVariants.size() - 1) + ")");
    if (value.contains("disk_mbps"))
        d.diskMbps = static_cast<uint32_t>(readUnsigned(value["disk_mbps"], childPath(path, "disk_mbps"), 1, 100000));
    if (value.contains("seed"))
        d.seed = readUnsigned(value["seed"], childPath(path, "seed"), 0, std::numeric_limits<uint64_t>::max());

    // The physical members belong to the simulated hardware, which reports
    // its own mistakes as "<path>: <what>" relative to the device.
    std::string physicsError;
    d.physics = DevicePhysics::parse(value, &physicsError);
    if (!d.physics) {
        const size_t colon = physicsError.find(": ");
        if (colon == std::string::npos)
            fail(path, physicsError.empty() ? std::string("not accepted by the device hardware") : physicsError);
        JsonPath at = path;
        for (const JsonPathStep &step : parseJsonPathText(std::string_view(physicsError).substr(0, colon)))
            at.push_back(step);
        fail(at, physicsError.substr(colon + 2));
    }
    return d;
}

Scenario readScenario(const json &value)
{
    const JsonPath root;
    requireObject(value, root);
    allowOnly(value, root, {"description", "library_version", "devices"});
    Scenario scenario;
    if (value.contains("description"))
        readString(value["description"], childPath(root, "description"));
    if (value.contains("library_version")) {
        uint8_t v[4] = {};
        readVersion(value["library_version"], childPath(root, "library_version"), v);
        scenario.libraryVersion =
            uint32_t(v[0]) | (uint32_t(v[1]) << 8) | (uint32_t(v[2]) << 16) | (uint32_t(v[3]) << 24);
    }
    const JsonPath devicesPath = childPath(root, "devices");
    if (!value.contains("devices"))
        fail(devicesPath, "missing; a scenario lists its devices (an empty list is fine)");
    const json &devices = value["devices"];
    if (!devices.is_array())
        fail(devicesPath, "must be an array, not " + shown(devices));
    for (size_t i = 0; i < devices.size(); ++i) {
        const JsonPath at = elementPath(devicesPath, i);
        DeviceDescription device = readDevice(devices[i], at);
        for (size_t j = 0; j < scenario.devices.size(); ++j) {
            if (scenario.devices[j].mac == device.mac)
                fail(childPath(at, "mac"),
                     "\"" + macText(device.mac) + "\" is already used by devices[" + std::to_string(j) + "]");
        }
        scenario.devices.push_back(std::move(device));
    }
    return scenario;
}

std::string errorLine(const std::string &source, int line, const std::string &what)
{
    std::string text = kPrefix + source + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what;
    // One line, whatever a message or a file name holds.
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

std::string syntaxError(std::string_view text, const std::string &source, const json::parse_error &e)
{
    // nlohmann counts the bytes it has read, the offending one included.
    size_t offset = e.byte > 0 ? e.byte - 1 : 0;
    if (offset >= text.size() && !text.empty() && text.back() == '\n')
        offset = text.size() - 1;
    // Its message repeats line and column; keep only what went wrong.
    std::string what = e.what();
    const size_t column = what.find("column ");
    const size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
    if (colon != std::string::npos)
        what = what.substr(colon + 2);
    return errorLine(source, lineAtOffset(text, offset), "invalid JSON: " + what);
}

// A number beyond what a double holds ("1e999"): nlohmann names the number
// but not its place, so the line is that of its first appearance.
std::string numberError(std::string_view text, const std::string &source, const json::out_of_range &e)
{
    const std::string what = e.what();
    const size_t open = what.find('\'');
    const size_t close = open == std::string::npos ? open : what.find('\'', open + 1);
    const std::string number = close == std::string::npos ? std::string() : what.substr(open + 1, close - open - 1);
    const size_t at = number.empty() ? std::string_view::npos : text.find(number);
    return errorLine(source, lineAtOffset(text, at == std::string_view::npos ? 0 : at),
                     "invalid JSON: number out of range" + (number.empty() ? std::string() : ": " + number));
}

// Thrown by the parser callback at the first container past the bound.
struct TooDeep {};

// The offset and path of the first object or array nested deeper than
// kMaxScenarioNesting. Only asked once the parser has accepted the text up to
// that container, so a plain scan finds strings and brackets where the parser
// did. Keys are shown as written, escapes and all.
size_t findTooDeep(std::string_view text, JsonPath *path)
{
    struct Level {
        bool isArray = false;
        size_t index = 0;
        std::string key;
    };
    std::vector<Level> open;
    std::string lastString;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            const size_t start = ++i;
            while (i < text.size() && text[i] != '"')
                i += text[i] == '\\' ? 2 : 1;
            lastString = std::string(text.substr(start, std::min(i, text.size()) - start));
        } else if (c == ':' && !open.empty()) {
            open.back().key = lastString;
        } else if (c == ',' && !open.empty()) {
            ++open.back().index;
        } else if (c == '{' || c == '[') {
            if (open.size() >= size_t(kMaxScenarioNesting)) {
                path->clear();
                for (const Level &parent : open)
                    path->push_back({parent.isArray ? std::string() : parent.key, parent.index, parent.isArray});
                return i;
            }
            open.push_back({c == '[', 0, {}});
        } else if ((c == '}' || c == ']') && !open.empty()) {
            open.pop_back();
        }
    }
    return text.size();
}

template <typename Result, typename Reader>
bool parseWith(std::string_view text, const std::string &source, const char *rootName, Reader read, Result *out,
               std::string *error)
{
    // The parser itself keeps its own stack, but everything after it (the
    // readers, dump(), the line finder) recurses along the nesting.
    const auto boundDepth = [](int depth, json::parse_event_t event, json &) {
        const bool opens = event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
        if (opens && depth >= kMaxScenarioNesting)
            throw TooDeep{};
        return true;
    };
    const auto fieldError = [&](const JsonPath &at, int line, const std::string &message) {
        const std::string path = at.empty() ? std::string(rootName) : jsonPathText(at);
        *error = errorLine(source, line, path + ": " + message);
        return false;
    };
    try {
        json value;
        try {
            value = json::parse(text.begin(), text.end(), boundDepth);
        } catch (const json::parse_error &e) {
            *error = syntaxError(text, source, e);
            return false;
        } catch (const json::out_of_range &e) {
            *error = numberError(text, source, e);
            return false;
        } catch (const TooDeep &) {
            JsonPath at;
            const size_t offset = findTooDeep(text, &at);
            return fieldError(at, lineAtOffset(text, offset),
                              "nested deeper than " + std::to_string(kMaxScenarioNesting) +
                                  " levels of objects and arrays");
        }
        try {
            *out = read(value);
            return true;
        } catch (const FieldError &e) {
            return fieldError(e.path, jsonLineOf(text, e.path), e.message);
        }
    } catch (const std::bad_alloc &) {
        *error = errorLine(source, 0, "too large to read: out of memory");
        return false;
    }
}

} // namespace

bool parseScenario(std::string_view text, const std::string &source, Scenario *out, std::string *error)
{
    return parseWith(text, source, "scenario", &readScenario, out, error);
}

bool parseDevice(std::string_view text, const std::string &source, DeviceDescription *out, std::string *error)
{
    return parseWith(
        text, source, "device", [](const json &value) { return readDevice(value, JsonPath()); }, out, error);
}

std::string unreadableScenarioError(const std::string &path, const std::string &why)
{
    return errorLine(path, 0, "cannot read the scenario: " + why);
}

} // namespace lqsim
