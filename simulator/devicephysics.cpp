// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The simulated hardware of one device: links, PHYs, traffic counters,
// configurable counters, capture path, SFP modules, GPS and device clock.
//
// Scenario members read here (all optional; PHYSICS.md has the long form).
// "traffic", "ports" and "sfp" take their keys either at their top level (both
// ports) or inside "a" / "b" (one port, overriding the top level):
//
//   "traffic": { "load": 0.3, "burstiness": 0.3, "periodSeconds": 600,
//                "ipv6": 0.15, "multicast": 0.03, "broadcast": 0.01, "jumbo": 0,
//                "crcErrors": 2e-6, "collisions": 2e-7, "jabbers": 5e-8,
//                "dropThreshold": 0.92, "softwareDrops": 5e-7, "samples": 200, "a": {...}, "b": {...} }
//   "ports":   { "media": "copper" | "10G",
//                "partner": { "connected": true, "autoNegotiation": true,
//                             "abilities": ["1000full", "1000half", "100full", "100half", "10full", "10half"],
//                             "pause": ["symmetric", "asymmetric"], "role": "auto" | "master" | "slave" },
//                "flaps": [ { "at": 120, "for": 2.5 } ], "a": {...}, "b": {...} }
//   "sfp":     { "present": true, "type": "10GBASE-SR" | "10GBASE-LR" | "1000BASE-SX",
//                "a0": "03 04 07 ...", "a2": "...",  (raw pages, hex)
//                "vendorName", "vendorOui", "model", "revision", "dateCode", "serialNumber",
//                "nominalBitRate", "bitRateMarginUpper", "bitRateMarginLower", "encoding",
//                "rateIdentifier", "identifier", "extendedIdentifier", "connector", "wavelength",
//                "diagnosticMonitoringType", "sff8472Compliance", "lengthSingleMode", "lengthOm2",
//                "lengthOm1", "lengthCopper", "lengthOm3", "options": [14 words], "transceiver": [56 words],
//                "lowAlarm" / "lowWarning" / "highWarning" / "highAlarm" (written into A2h),
//                "diagnostics" (the nominal reading):
//                    { "temperature", "voltage", "txBias", "txPower", "rxPower" },
//                "wander": 1, "txFault": false, "a": {...}, "b": {...} }
//   "gps":     { "present": true, "acquireSeconds": 45, "lockSeconds": 60, "externalPps": false,
//                "gpsSatellites": 9, "glonassSatellites": 6 }
//
// Port A defaults to a 10GBASE-SR module, Port B to a 10GBASE-LR one; "type"
// restores a preset before the other keys of the same object apply.
//
// The sixteenth configurable counter doubles as the hardware drop total: while
// its rule enables neither port (which includes a rule never set), it counts
// the packets the capture path dropped on both ports; once a rule enables a
// port it counts that rule like the other fifteen, continuing from its value.

#include "devicephysics.h"

#include "gpsreceiver.h"
#include "packetledger.h"
#include "packetsampler.h"
#include "sfpmodule.h"
#include "simnoise.h"
#include "trafficmodel.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace lqsim {

namespace {

using Json = nlohmann::json;

constexpr uint64_t kFineStepMs = 100;
constexpr uint64_t kCoarseStepMs = 1000;
// Long gaps are replayed in coarse steps except for their last hour, which
// keeps a ten-hour jump cheap while recent figures stay finely resolved.
constexpr uint64_t kFineHorizonMs = 3600 * 1000;
// Packets are drawn at the profile's full sample rate only for the ten seconds
// before a read; older parts of a gap are thinned out, the more the older, so
// a long jump stays cheap. The line totals do not depend on the density.
constexpr uint64_t kDenseSamplingMs = 10 * 1000;
constexpr double kThinSampling = 1.0 / 32;
constexpr double kSparseSampling = 1.0 / 256;
// Slicing length of models that have no adjustable one.
constexpr uint32_t kFixedSliceLength = 64;

enum Ability { Ability1000Full, Ability1000Half, Ability100Full, Ability100Half, Ability10Full, Ability10Half, AbilityCount };
constexpr std::array<const char *, AbilityCount> kAbilityNames{"1000full", "1000half", "100full", "100half", "10full", "10half"};
constexpr std::array<uint32_t, AbilityCount> kAbilitySpeed{LQ_LINK_1G, LQ_LINK_1G, LQ_LINK_100M, LQ_LINK_100M, LQ_LINK_10M, LQ_LINK_10M};
constexpr std::array<bool, AbilityCount> kAbilityHalf{false, true, false, true, false, true};

enum class Media { Copper, TenGig };
enum class Role { Auto, Master, Slave };

struct PartnerSettings {
    bool connected = true;
    bool autoNegotiation = true;
    std::array<bool, AbilityCount> abilities{true, true, true, true, true, true};
    bool symmetricPause = true;
    bool asymmetricPause = true;
    Role role = Role::Auto;
};

struct Flap {
    uint64_t atMs = 0; // after power-on
    uint64_t durationMs = 0;
};

struct PortPhysics {
    Media media = Media::Copper;
    PartnerSettings partner;
    std::vector<Flap> flaps;
};

} // namespace

struct PhysicsSettings {
    std::array<PortPhysics, 2> ports;
    std::array<TrafficProfile, 2> traffic;
    std::array<SfpModuleSettings, 2> sfp;
    GpsSettings gps;
};

namespace {

// ------------------------------------------------------------------ parsing

struct ParseError {
    std::string text;
};

[[noreturn]] void fail(const std::string &path, const std::string &what)
{
    throw ParseError{path + ": " + what};
}

std::string numberText(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

double number(const Json &v, const std::string &path, double lo, double hi)
{
    if (!v.is_number())
        fail(path, "must be a number");
    const double d = v.get<double>();
    if (!(d >= lo && d <= hi))
        fail(path, "must be between " + numberText(lo) + " and " + numberText(hi));
    return d;
}

uint32_t whole(const Json &v, const std::string &path, uint32_t lo, uint32_t hi)
{
    if (!v.is_number_integer())
        fail(path, "must be a whole number");
    if (v.is_number_unsigned() ? v.get<uint64_t>() > hi || v.get<uint64_t>() < lo
                               : v.get<int64_t>() < int64_t(lo) || v.get<int64_t>() > int64_t(hi))
        fail(path, "must be between " + std::to_string(lo) + " and " + std::to_string(hi));
    return uint32_t(v.get<int64_t>());
}

bool boolean(const Json &v, const std::string &path)
{
    if (!v.is_boolean())
        fail(path, "must be true or false");
    return v.get<bool>();
}

std::string text(const Json &v, const std::string &path, size_t maxLength)
{
    if (!v.is_string())
        fail(path, "must be a string");
    std::string s = v.get<std::string>();
    if (s.size() > maxLength)
        fail(path, "must be at most " + std::to_string(maxLength) + " characters");
    for (unsigned char c : s) {
        if (c < 0x20 || c > 0x7e)
            fail(path, "must be printable ASCII");
    }
    return s;
}

void requireObject(const Json &v, const std::string &path)
{
    if (!v.is_object())
        fail(path, "must be an object");
}

std::string indexed(const std::string &path, size_t i)
{
    return path + "[" + std::to_string(i) + "]";
}

// Applies the keys of obj through apply(key, value, path), which answers
// false for a key it does not know. `first` is applied before the others
// because it resets what they refine.
template <typename F> void eachMember(const Json &obj, const std::string &path, const char *first, F apply)
{
    requireObject(obj, path);
    if (first && obj.contains(first) && !apply(std::string(first), obj.at(first), path + "." + first))
        fail(path + "." + first, "unknown member");
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        if (first && it.key() == first)
            continue;
        if (!apply(it.key(), it.value(), path + "." + it.key()))
            fail(path + "." + it.key(), "unknown member");
    }
}

// A per-port member: top-level keys for both ports, then "a" and "b".
template <typename T, typename F>
void perPortMember(const Json &device, const char *name, std::array<T, 2> &out, const char *first, F apply)
{
    const auto it = device.find(name);
    if (it == device.end())
        return;
    const std::string path = name;
    requireObject(*it, path);
    Json common = Json::object();
    for (auto m = it->begin(); m != it->end(); ++m) {
        if (m.key() != "a" && m.key() != "b")
            common[m.key()] = m.value();
    }
    for (T &port : out)
        eachMember(common, path, first, [&](const std::string &k, const Json &v, const std::string &p) { return apply(port, k, v, p); });
    for (int p = 0; p < 2; ++p) {
        const char *portName = p == 0 ? "a" : "b";
        if (it->contains(portName))
            eachMember(it->at(portName), path + "." + portName, first,
                       [&](const std::string &k, const Json &v, const std::string &kp) { return apply(out[size_t(p)], k, v, kp); });
    }
}

bool applyTraffic(TrafficProfile &t, const std::string &key, const Json &v, const std::string &path)
{
    struct Field {
        const char *name;
        double TrafficProfile::*member;
        double lo;
        double hi;
    };
    static const Field fields[] = {
        {"load", &TrafficProfile::load, 0, 1},
        {"burstiness", &TrafficProfile::burstiness, 0, 1},
        {"periodSeconds", &TrafficProfile::periodSeconds, 1, 86400},
        {"ipv6", &TrafficProfile::ipv6, 0, 1},
        {"multicast", &TrafficProfile::multicast, 0, 0.5},
        {"broadcast", &TrafficProfile::broadcast, 0, 0.5},
        {"jumbo", &TrafficProfile::jumbo, 0, 1},
        {"crcErrors", &TrafficProfile::crcErrors, 0, 0.1},
        {"collisions", &TrafficProfile::collisions, 0, 0.1},
        {"jabbers", &TrafficProfile::jabbers, 0, 0.1},
        {"dropThreshold", &TrafficProfile::dropThreshold, 0.5, 1},
        {"softwareDrops", &TrafficProfile::softwareDrops, 0, 0.1},
        {"samples", &TrafficProfile::samples, 1, 10000},
    };
    for (const Field &f : fields) {
        if (key == f.name) {
            t.*f.member = number(v, path, f.lo, f.hi);
            return true;
        }
    }
    return false;
}

void applyPartner(PartnerSettings &partner, const Json &obj, const std::string &path)
{
    eachMember(obj, path, nullptr, [&](const std::string &key, const Json &v, const std::string &p) {
        if (key == "connected") {
            partner.connected = boolean(v, p);
        } else if (key == "autoNegotiation") {
            partner.autoNegotiation = boolean(v, p);
        } else if (key == "abilities") {
            if (!v.is_array())
                fail(p, "must be an array of abilities");
            partner.abilities.fill(false);
            for (size_t i = 0; i < v.size(); ++i) {
                const std::string name = text(v[i], indexed(p, i), 16);
                const auto found = std::find_if(kAbilityNames.begin(), kAbilityNames.end(), [&](const char *n) { return name == n; });
                if (found == kAbilityNames.end())
                    fail(indexed(p, i), "unknown ability \"" + name + "\" (1000full, 1000half, 100full, 100half, 10full or 10half)");
                partner.abilities[size_t(found - kAbilityNames.begin())] = true;
            }
        } else if (key == "pause") {
            if (!v.is_array())
                fail(p, "must be an array");
            partner.symmetricPause = partner.asymmetricPause = false;
            for (size_t i = 0; i < v.size(); ++i) {
                const std::string name = text(v[i], indexed(p, i), 16);
                if (name == "symmetric")
                    partner.symmetricPause = true;
                else if (name == "asymmetric")
                    partner.asymmetricPause = true;
                else
                    fail(indexed(p, i), "must be \"symmetric\" or \"asymmetric\"");
            }
        } else if (key == "role") {
            const std::string role = text(v, p, 16);
            if (role == "auto")
                partner.role = Role::Auto;
            else if (role == "master")
                partner.role = Role::Master;
            else if (role == "slave")
                partner.role = Role::Slave;
            else
                fail(p, "must be \"auto\", \"master\" or \"slave\"");
        } else {
            return false;
        }
        return true;
    });
}

bool applyPort(PortPhysics &port, const std::string &key, const Json &v, const std::string &path)
{
    if (key == "media") {
        const std::string media = text(v, path, 16);
        if (media == "copper")
            port.media = Media::Copper;
        else if (media == "10G")
            port.media = Media::TenGig;
        else
            fail(path, "must be \"copper\" or \"10G\"");
    } else if (key == "partner") {
        applyPartner(port.partner, v, path);
    } else if (key == "flaps") {
        if (!v.is_array())
            fail(path, "must be an array of {\"at\", \"for\"} objects");
        port.flaps.clear();
        for (size_t i = 0; i < v.size(); ++i) {
            Flap flap;
            bool hasAt = false, hasFor = false;
            eachMember(v[i], indexed(path, i), nullptr, [&](const std::string &k, const Json &fv, const std::string &p) {
                if (k == "at") {
                    flap.atMs = uint64_t(std::llround(number(fv, p, 0, 1e9) * 1000.0));
                    hasAt = true;
                } else if (k == "for") {
                    flap.durationMs = uint64_t(std::llround(number(fv, p, 0.001, 86400) * 1000.0));
                    hasFor = true;
                } else {
                    return false;
                }
                return true;
            });
            if (!hasAt || !hasFor)
                fail(indexed(path, i), "needs both \"at\" and \"for\"");
            port.flaps.push_back(flap);
        }
        std::sort(port.flaps.begin(), port.flaps.end(), [](const Flap &a, const Flap &b) { return a.atMs < b.atMs; });
    } else {
        return false;
    }
    return true;
}

void applyDiagnostics(SfpDiagnostics &d, const Json &obj, const std::string &path, double lo, double hi)
{
    eachMember(obj, path, nullptr, [&](const std::string &key, const Json &v, const std::string &p) {
        if (key == "temperature")
            d.temperature = float(number(v, p, -128, 128));
        else if (key == "voltage")
            d.voltage = float(number(v, p, lo, hi));
        else if (key == "txBias")
            d.txBias = float(number(v, p, lo, 131));
        else if (key == "txPower")
            d.txPower = float(number(v, p, lo, 6.5535));
        else if (key == "rxPower")
            d.rxPower = float(number(v, p, lo, 6.5535));
        else
            return false;
        return true;
    });
}

// An "sfp" member edits the module image in place: field keys encode the
// record's value into its bytes and reseal the checksums, "a0" / "a2" replace
// a page as given. nlohmann::json objects iterate in key order, so raw pages
// are in place before the field keys of the same object refine them.
bool applySfp(SfpModuleSettings &m, const std::string &key, const Json &v, const std::string &path)
{
    SfpEeprom &e = m.eeprom;
    struct Text {
        const char *name;
        size_t offset;
        size_t length;
    };
    static const Text texts[] = {
        {"vendorName", sfpa0::VendorName, 16}, {"model", sfpa0::VendorPn, 16},    {"revision", sfpa0::VendorRev, 4},
        {"dateCode", sfpa0::DateCode, 8},      {"serialNumber", sfpa0::VendorSn, 16},
    };
    struct Number {
        const char *name;
        size_t offset;
        size_t bytes;
        uint32_t hi;
    };
    static const Number numbers[] = {
        {"vendorOui", sfpa0::VendorOui, 3, 0xffffff},
        {"nominalBitRate", sfpa0::NominalRate, 1, 255},
        {"bitRateMarginUpper", sfpa0::BitRateMax, 1, 255},
        {"bitRateMarginLower", sfpa0::BitRateMin, 1, 255},
        {"encoding", sfpa0::Encoding, 1, 255},
        {"rateIdentifier", sfpa0::RateIdentifier, 1, 255},
        {"identifier", sfpa0::Identifier, 1, 255},
        {"extendedIdentifier", sfpa0::ExtIdentifier, 1, 255},
        {"wavelength", sfpa0::Wavelength, 2, 65535},
        {"sff8472Compliance", sfpa0::Compliance, 1, 255},
    };
    static const Number lengths[] = {
        {"lengthSingleMode", sfpa0::LengthKm, 0, 0xffffffffu}, {"lengthOm2", sfpa0::LengthOm2, 0, 0xffffffffu},
        {"lengthOm1", sfpa0::LengthOm1, 0, 0xffffffffu},       {"lengthCopper", sfpa0::LengthCopper, 0, 0xffffffffu},
        {"lengthOm3", sfpa0::LengthOm3, 0, 0xffffffffu},
    };
    static const std::pair<const char *, SfpThreshold> thresholds[] = {
        {"lowAlarm", SfpThreshold::LowAlarm},
        {"lowWarning", SfpThreshold::LowWarning},
        {"highWarning", SfpThreshold::HighWarning},
        {"highAlarm", SfpThreshold::HighAlarm},
    };
    for (const Text &t : texts) {
        if (key == t.name) {
            const std::string value = text(v, path, t.length);
            if (t.offset == sfpa0::VendorSn)
                m.serialFromSeed = value.empty();
            setSfpText(e.a0, t.offset, t.length, value);
            sealSfpEeprom(e);
            return true;
        }
    }
    for (const Number &n : numbers) {
        if (key == n.name) {
            setSfpNumber(e.a0, n.offset, n.bytes, whole(v, path, 0, n.hi));
            sealSfpEeprom(e);
            return true;
        }
    }
    for (const Number &n : lengths) {
        if (key == n.name) {
            setSfpLength(e, n.offset, whole(v, path, 0, n.hi));
            sealSfpEeprom(e);
            return true;
        }
    }
    for (const auto &t : thresholds) {
        if (key == t.first) {
            SfpDiagnostics d = sfpThresholds(e, t.second);
            applyDiagnostics(d, v, path, 0, 6.5535);
            setSfpThresholds(e, t.second, d);
            sealSfpEeprom(e);
            return true;
        }
    }
    auto wordArray = [&](auto &array) {
        if (!v.is_array() || v.size() != array.size())
            fail(path, "must be an array of " + std::to_string(array.size()) + " whole numbers");
        for (size_t i = 0; i < array.size(); ++i)
            array[i] = whole(v[i], indexed(path, i), 0, 0xffffffffu);
    };
    if (key == "present") {
        m.present = boolean(v, path);
    } else if (key == "type") {
        const std::string type = text(v, path, 32);
        const bool present = m.present;
        if (!sfpModulePreset(type, &m))
            fail(path, std::string("must be one of ") + sfpModuleTypes());
        m.present = present;
    } else if (key == "a0" || key == "a2") {
        std::string why;
        if (!parseSfpHex(text(v, path, 4096), key == "a0" ? &e.a0 : &e.a2, &why))
            fail(path, why);
        if (key == "a0")
            m.serialFromSeed = false;
        else
            m.nominal = sfpMeasurements(e);
    } else if (key == "connector") {
        setSfpConnector(e, whole(v, path, 0, 255));
        sealSfpEeprom(e);
    } else if (key == "diagnosticMonitoringType") {
        setSfpMonitoringType(e, whole(v, path, 0, 4));
        sealSfpEeprom(e);
    } else if (key == "options") {
        std::array<uint32_t, LQ_SFP_OPTION_WORDS> words{};
        wordArray(words);
        setSfpOptionWords(e, words);
        sealSfpEeprom(e);
    } else if (key == "transceiver") {
        std::array<uint32_t, LQ_SFP_TRANSCEIVER_WORDS> words{};
        wordArray(words);
        setSfpTransceiverWords(e, words);
        sealSfpEeprom(e);
    } else if (key == "diagnostics") {
        applyDiagnostics(m.nominal, v, path, 0, 6.5535);
    } else if (key == "wander") {
        m.wander = number(v, path, 0, 10);
    } else if (key == "txFault") {
        m.txFault = boolean(v, path);
    } else {
        return false;
    }
    return true;
}

void checkThresholds(const SfpModuleSettings &m, const std::string &path)
{
    if (sfpMonitoringType(m.eeprom) == 4)
        return;
    static const char *names[] = {"temperature", "voltage", "txBias", "txPower", "rxPower"};
    auto get = [](const SfpDiagnostics &d, int i) {
        const float values[] = {d.temperature, d.voltage, d.txBias, d.txPower, d.rxPower};
        return values[i];
    };
    const SfpDiagnostics lowAlarm = sfpThresholds(m.eeprom, SfpThreshold::LowAlarm);
    const SfpDiagnostics lowWarning = sfpThresholds(m.eeprom, SfpThreshold::LowWarning);
    const SfpDiagnostics highWarning = sfpThresholds(m.eeprom, SfpThreshold::HighWarning);
    const SfpDiagnostics highAlarm = sfpThresholds(m.eeprom, SfpThreshold::HighAlarm);
    for (int i = 0; i < 5; ++i) {
        if (get(lowWarning, i) < get(lowAlarm, i))
            fail(path + ".lowWarning." + names[i], "must not be below lowAlarm");
        if (get(highWarning, i) < get(lowWarning, i))
            fail(path + ".highWarning." + names[i], "must not be below lowWarning");
        if (get(highAlarm, i) < get(highWarning, i))
            fail(path + ".highAlarm." + names[i], "must not be below highWarning");
    }
}

void applyGps(GpsSettings &g, const Json &obj)
{
    eachMember(obj, "gps", nullptr, [&](const std::string &key, const Json &v, const std::string &p) {
        if (key == "present")
            g.present = boolean(v, p);
        else if (key == "acquireSeconds")
            g.acquireSeconds = number(v, p, 0, 86400);
        else if (key == "lockSeconds")
            g.lockSeconds = number(v, p, 1, 86400);
        else if (key == "externalPps")
            g.externalPps = boolean(v, p);
        else if (key == "gpsSatellites")
            g.gpsSatellites = int(whole(v, p, 0, 12));
        else if (key == "glonassSatellites")
            g.glonassSatellites = int(whole(v, p, 0, 10));
        else
            return false;
        return true;
    });
}

PhysicsSettings defaultSettings()
{
    PhysicsSettings s;
    // Port A carries the clients' requests, Port B the heavier answers.
    s.traffic[0].load = 0.22;
    s.traffic[1].load = 0.38;
    sfpModulePreset("10GBASE-SR", &s.sfp[0]);
    sfpModulePreset("10GBASE-LR", &s.sfp[1]);
    return s;
}

// ------------------------------------------------------------------ model helpers

uint64_t lineBytesPerSecond(uint32_t speed)
{
    switch (speed) {
    case LQ_LINK_10M:
        return 1250000;
    case LQ_LINK_100M:
        return 12500000;
    case LQ_LINK_1G:
        return 125000000;
    case LQ_LINK_10G:
        return 1250000000;
    default:
        return 0;
    }
}

struct Resolved {
    bool up = false;
    uint32_t speed = LQ_LINK_DOWN;
    uint32_t duplex = 0; // 0 full, 1 half
    bool slave = false;
    bool negotiated = false;
    bool masterSlaveFault = false;
    bool parallelDetectionFault = false;
};

struct PortState {
    Resolved link;
    bool forcedDown = false;
    bool sfpPresent = true;
    uint64_t upSinceMs = 0;
    uint64_t downSinceMs = 0;
    std::optional<TrafficMix> mix;
    std::optional<PacketSampler> sampler;
    uint64_t lastPhyReportMs = 0;
    int32_t pendingCrossovers = 0;
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(int64_t z, int *year, int *month, int *day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *day = int(doy - (153 * mp + 2) / 5 + 1);
    *month = int(mp < 10 ? mp + 3 : mp - 9);
    *year = int(y + (*month <= 2 ? 1 : 0));
}

double hourlyChance(double elapsedSeconds, double perHour)
{
    return 1.0 - std::exp(-elapsedSeconds * perHour / 3600.0);
}

} // namespace

// ------------------------------------------------------------------ state

struct DevicePhysics::State {
    std::shared_ptr<const PhysicsSettings> m_settings;
    uint32_t m_caps = 0;
    uint64_t m_seed = 0;
    uint64_t m_powerOnMs = 0;
    DeviceFeatures m_features{};
    DevicePortsSpeed m_portsSpeed{};
    CaptureSettings m_capture;
    std::array<PortState, 2> m_ports;
    std::optional<PacketLedger> m_ledger;
    std::vector<SampledPacket> m_samples;
    uint64_t m_integratedToMs = 0;
    uint64_t m_softwareDrops = 0;
    uint64_t m_lastLinkDownMs = 0;

    // Device clock. Until set it counts from the epoch, like an uninitialised
    // timestamp counter.
    bool m_configured = false;
    int m_clockSource = LQ_TIME_SOURCE_SYSTEM;
    bool m_clockSet = true;
    int64_t m_clockOffsetMs = 0;
    int64_t m_gpsTakesClockAtMs = -1; // a pending hand-over of the clock to GPS time

    bool hasSfp() const { return m_caps & LQ_CAP_SFP; }
    bool hasTiming() const { return m_caps & LQ_CAP_TIMING; }
    bool portDisabled(int p) const { return p == 0 ? m_features.disable_port_a : m_features.disable_port_b; }
    const PortSpeedSettings &portSpeed(int p) const { return p == 0 ? m_portsSpeed.portA : m_portsSpeed.portB; }
    double uptimeSeconds(uint64_t nowMs) const { return nowMs > m_powerOnMs ? double(nowMs - m_powerOnMs) / 1000.0 : 0.0; }

    bool inFlap(int p, uint64_t nowMs) const;
    uint64_t nextFlapBoundary(uint64_t afterMs) const;
    Resolved resolve(int p, uint64_t nowMs) const;
    Resolved resolveCopper(int p) const;
    void updateLinks(uint64_t nowMs);
    void advance(uint64_t nowMs);
    void integrate(uint64_t fromMs, uint64_t toMs, uint64_t readMs);
    void integrateChunk(uint64_t fromMs, uint64_t toMs, uint64_t cellMidMs, double density);
    void refreshCapture();
    int64_t deviceClockOffsetNs(uint64_t atMs) const;
    void fillPhy(int p, uint64_t nowMs, PortPhyStatus *out);
    void settleClock(uint64_t nowMs);
    void latchClock(uint64_t nowMs);
};

bool DevicePhysics::State::inFlap(int p, uint64_t nowMs) const
{
    const uint64_t up = nowMs - std::min(nowMs, m_powerOnMs);
    for (const Flap &f : m_settings->ports[size_t(p)].flaps) {
        if (up >= f.atMs && up < f.atMs + f.durationMs)
            return true;
    }
    return false;
}

uint64_t DevicePhysics::State::nextFlapBoundary(uint64_t afterMs) const
{
    uint64_t next = UINT64_MAX;
    for (const PortPhysics &port : m_settings->ports) {
        for (const Flap &f : port.flaps) {
            for (uint64_t edge : {m_powerOnMs + f.atMs, m_powerOnMs + f.atMs + f.durationMs}) {
                if (edge > afterMs)
                    next = std::min(next, edge);
            }
        }
    }
    return next;
}

Resolved DevicePhysics::State::resolveCopper(int p) const
{
    const PartnerSettings &partner = m_settings->ports[size_t(p)].partner;
    const PortSpeedSettings &local = portSpeed(p);
    const std::array<bool, AbilityCount> advertised{local.speed_1000_full != 0, false, local.speed_100_full != 0,
                                                    local.speed_100_half != 0, local.speed_10_full != 0, local.speed_10_half != 0};
    auto firstOf = [](const std::array<bool, AbilityCount> &set) {
        for (int a = 0; a < AbilityCount; ++a) {
            if (set[size_t(a)])
                return a;
        }
        return -1;
    };
    auto supportsSpeed = [](const std::array<bool, AbilityCount> &set, uint32_t speed) {
        for (int a = 0; a < AbilityCount; ++a) {
            if (set[size_t(a)] && kAbilitySpeed[size_t(a)] == speed)
                return true;
        }
        return false;
    };
    Resolved r;
    auto upWith = [&](uint32_t speed, bool half) {
        r.up = true;
        r.speed = speed;
        r.duplex = half ? 1 : 0;
    };
    const int partnerForced = firstOf(partner.abilities); // a partner without negotiation runs its best mode
    if (local.auto_negotiation) {
        if (partner.autoNegotiation) {
            for (int a = 0; a < AbilityCount; ++a) {
                if (advertised[size_t(a)] && partner.abilities[size_t(a)]) {
                    upWith(kAbilitySpeed[size_t(a)], kAbilityHalf[size_t(a)]);
                    r.negotiated = true;
                    break;
                }
            }
        } else if (partnerForced >= 0 && kAbilitySpeed[size_t(partnerForced)] != LQ_LINK_1G) {
            // Parallel detection finds the speed but not the duplex, so the
            // standard makes us assume half duplex.
            if (supportsSpeed(advertised, kAbilitySpeed[size_t(partnerForced)]))
                upWith(kAbilitySpeed[size_t(partnerForced)], true);
            else
                r.parallelDetectionFault = true;
        }
    } else {
        const std::array<bool, AbilityCount> forcedSet{local.speed_1000_full != 0, false, local.speed_100_full != 0,
                                                       local.speed_100_half != 0, local.speed_10_full != 0, local.speed_10_half != 0};
        const int forced = firstOf(forcedSet);
        if (forced == Ability1000Full) {
            // 1000BASE-T cannot run without negotiation; "forced" gigabit
            // negotiates with nothing else on offer.
            if (partner.autoNegotiation && partner.abilities[Ability1000Full]) {
                upWith(LQ_LINK_1G, false);
                r.negotiated = true;
            }
        } else if (forced >= 0) {
            const uint32_t speed = kAbilitySpeed[size_t(forced)];
            const bool ok = partner.autoNegotiation ? supportsSpeed(partner.abilities, speed)
                                                    : partnerForced >= 0 && kAbilitySpeed[size_t(partnerForced)] == speed;
            if (ok)
                upWith(speed, kAbilityHalf[size_t(forced)]);
        }
    }
    if (r.up && r.speed == LQ_LINK_1G) {
        const bool localForced = local.force_master_slave != 0;
        const bool localMaster = local.master != 0;
        if (localForced && partner.role != Role::Auto) {
            if (localMaster == (partner.role == Role::Master)) {
                r = Resolved{};
                r.masterSlaveFault = true;
                return r;
            }
            r.slave = !localMaster;
        } else if (localForced) {
            r.slave = !localMaster;
        } else if (partner.role != Role::Auto) {
            r.slave = partner.role == Role::Master;
        } else {
            r.slave = !localMaster; // both sides merely prefer; ours decides
        }
    }
    return r;
}

Resolved DevicePhysics::State::resolve(int p, uint64_t nowMs) const
{
    const PortPhysics &port = m_settings->ports[size_t(p)];
    const PortState &ps = m_ports[size_t(p)];
    Resolved r;
    if (portDisabled(p) || ps.forcedDown || inFlap(p, nowMs) || !port.partner.connected)
        return r;
    if (hasSfp()) {
        if (!ps.sfpPresent)
            return r;
        r.up = true;
        r.speed = sfpLineGigabits(m_settings->sfp[size_t(p)]) == 10 ? LQ_LINK_10G : LQ_LINK_1G;
        return r;
    }
    if (port.media == Media::TenGig) {
        r.up = true;
        r.speed = LQ_LINK_10G;
        return r;
    }
    return resolveCopper(p);
}

void DevicePhysics::State::updateLinks(uint64_t nowMs)
{
    for (int p = 0; p < 2; ++p) {
        PortState &ps = m_ports[size_t(p)];
        const Resolved r = resolve(p, nowMs);
        const bool wasUp = ps.link.up;
        if (r.up && (!wasUp || r.speed != ps.link.speed || r.duplex != ps.link.duplex)) {
            m_lastLinkDownMs = wasUp ? 0 : nowMs - ps.downSinceMs;
            ps.upSinceMs = nowMs;
            // Crossover detection often stumbles once while a link trains.
            if (noise::unit(m_seed, noise::StreamCrossover, uint64_t(p), nowMs) < 0.5)
                ++ps.pendingCrossovers;
        } else if (!r.up && wasUp) {
            ps.downSinceMs = nowMs;
        }
        ps.link = r;
    }
}

void DevicePhysics::State::advance(uint64_t nowMs)
{
    while (m_integratedToMs < nowMs) {
        const uint64_t next = std::min(nowMs, nextFlapBoundary(m_integratedToMs));
        integrate(m_integratedToMs, next, nowMs);
        m_integratedToMs = next;
        updateLinks(next);
    }
}

void DevicePhysics::State::integrate(uint64_t fromMs, uint64_t toMs, uint64_t readMs)
{
    const uint64_t coarseUntil = toMs - fromMs > kFineHorizonMs ? (toMs - kFineHorizonMs) / kCoarseStepMs * kCoarseStepMs : fromMs;
    uint64_t cursor = fromMs;
    while (cursor < toMs) {
        const bool coarse = cursor < coarseUntil;
        const uint64_t step = coarse ? kCoarseStepMs : kFineStepMs;
        const uint64_t cellStart = cursor / step * step;
        uint64_t end = std::min(cellStart + step, toMs);
        if (coarse)
            end = std::min(end, coarseUntil);
        const uint64_t age = readMs - end;
        const double density = age < kDenseSamplingMs ? 1.0 : (age < kFineHorizonMs ? kThinSampling : kSparseSampling);
        integrateChunk(cursor, end, cellStart + step / 2, density);
        cursor = end;
    }
}

void DevicePhysics::State::integrateChunk(uint64_t fromMs, uint64_t toMs, uint64_t cellMidMs, double density)
{
    const double dt = double(toMs - fromMs) / 1000.0;
    const double t = double(cellMidMs) / 1000.0;
    uint64_t captured = 0;
    double peakOccupancy = 0;
    StepClock clock;
    clock.startNs = fromMs * 1000000;
    clock.lengthNs = (toMs - fromMs) * 1000000;
    clock.deviceOffsetNs = deviceClockOffsetNs(fromMs);
    for (int p = 0; p < 2; ++p) {
        PortState &ps = m_ports[size_t(p)];
        if (!ps.link.up)
            continue;
        const TrafficProfile &profile = m_settings->traffic[size_t(p)];
        const TrafficMix &mix = *ps.mix;
        const double line = double(lineBytesPerSecond(ps.link.speed));
        const LoadSample load = loadAt(profile, m_seed, p, t);
        const double occupancy = load.steady + load.burst;
        peakOccupancy = std::max(peakOccupancy, occupancy);
        StepLoad step;
        step.steadyWire = load.steady * line * dt;
        step.burstWire = load.burst * line * dt;
        // Above the threshold the capture buffer overflows: the excess is lost
        // evenly across whatever is on the line.
        step.dropShare = occupancy > profile.dropThreshold ? (occupancy - profile.dropThreshold) / occupancy : 0.0;
        step.samples = profile.samples * dt * density;
        const double packets = step.steadyWire / mix.meanWire(Pool::Steady) + step.burstWire / mix.meanWire(Pool::Burst);
        const double weather = errorWeather(m_seed, p, t);
        // Half duplex lines collide as a matter of course.
        const double rates[3] = {profile.collisions * (ps.link.duplex ? 400.0 : 1.0), profile.crcErrors, profile.jabbers};
        for (size_t e = 0; e < 3; ++e) {
            const double u = noise::unit(m_seed, noise::StreamErrors, uint64_t(p) * 8 + e, fromMs);
            step.errors[e] = noise::countOf(packets * rates[e] * weather, u);
        }
        m_samples.clear();
        ps.sampler->step(step, &m_samples);
        captured += m_ledger->book(p, m_samples, clock);
    }
    if (captured > 0) {
        // The host keeps up until the line gets busy.
        const double rate = std::max(m_settings->traffic[0].softwareDrops, m_settings->traffic[1].softwareDrops);
        const double pressure = 1.0 + 6.0 * std::max(0.0, peakOccupancy - 0.6) / 0.4;
        m_softwareDrops += noise::countOf(double(captured) * rate * pressure,
                                          noise::unit(m_seed, noise::StreamSoftwareDrops, fromMs));
    }
}

void DevicePhysics::State::refreshCapture()
{
    m_capture.keepCrc = m_features.keep_crc != 0;
    m_capture.transmitCrcErrors = m_features.transmit_crc_errors != 0;
    m_capture.sliceLength = 0;
    if (m_features.packet_slicing)
        m_capture.sliceLength = m_features.slicing_length ? m_features.slicing_length : kFixedSliceLength;
    m_ledger->setCapture(m_capture);
}

// The device clock as timingStatus reads it, including a hand-over to GPS
// time that has fallen due; packets are stamped with it.
int64_t DevicePhysics::State::deviceClockOffsetNs(uint64_t atMs) const
{
    constexpr int64_t kNsPerMs = 1000000;
    if (m_gpsTakesClockAtMs >= 0 && int64_t(atMs) >= m_gpsTakesClockAtMs)
        return 0;
    return m_clockSet ? m_clockOffsetMs * kNsPerMs : -int64_t(m_powerOnMs) * kNsPerMs;
}

void DevicePhysics::State::fillPhy(int p, uint64_t nowMs, PortPhyStatus *out)
{
    PortState &ps = m_ports[size_t(p)];
    const uint64_t previous = ps.lastPhyReportMs;
    const double elapsed = double(nowMs - std::min(nowMs, previous)) / 1000.0;
    ps.lastPhyReportMs = nowMs;
    const int32_t crossovers = ps.pendingCrossovers;
    ps.pendingCrossovers = 0;

    std::memset(out, 0, sizeof(*out));
    const Resolved &r = ps.link;
    out->masterSlaveFault = r.masterSlaveFault;
    out->parallelDetectionFault = r.parallelDetectionFault;
    if (!r.up)
        return;
    out->localReceiverOk = 1;
    out->remoteReceiverOk = 1;
    const bool copper = !hasSfp() && m_settings->ports[size_t(p)].media == Media::Copper;
    if (!copper)
        return;

    const PartnerSettings &partner = m_settings->ports[size_t(p)].partner;
    if (r.negotiated) {
        // The partner's base and next pages, as the last negotiation left them.
        const bool gigabit = partner.abilities[Ability1000Full] || partner.abilities[Ability1000Half];
        out->partnerAutoNegCapable = 1;
        out->partnerNextPageCapable = gigabit;
        out->nextPageRequest = gigabit;
        out->acknowledge = 1;
        out->advertise1000BaseTFull = partner.abilities[Ability1000Full];
        out->advertise1000BaseTHalf = partner.abilities[Ability1000Half];
        out->advertise100BaseTxFull = partner.abilities[Ability100Full];
        out->advertise100BaseTxHalf = partner.abilities[Ability100Half];
        out->advertise10BaseTFull = partner.abilities[Ability10Full];
        out->advertise10BaseTHalf = partner.abilities[Ability10Half];
        out->advertiseAsymmetricPause = partner.asymmetricPause;
        out->advertiseSymmetricPause = partner.symmetricPause;
    }
    out->masterSlaveResolution = r.speed == LQ_LINK_1G && r.slave ? 1 : 0;

    // Latched error bits: each report shows what happened since the last one.
    auto chance = [&](int which) { return noise::unit(m_seed, noise::StreamPhyEvents, uint64_t(p) * 64 + uint64_t(which), nowMs); };
    const bool trainedSinceLastReport = ps.upSinceMs > previous;
    out->remoteFault = chance(0) < hourlyChance(elapsed, 0.1);
    if (r.speed == LQ_LINK_100M) {
        out->lock100BaseTxError = trainedSinceLastReport;
        out->receive100BaseTxError = chance(1) < hourlyChance(elapsed, 2.0);
        out->transmit100BaseTxError = chance(2) < hourlyChance(elapsed, 0.3);
        out->ssd100BaseTxError = chance(3) < hourlyChance(elapsed, 1.0);
        out->esd100BaseTxError = chance(4) < hourlyChance(elapsed, 1.0);
    } else if (r.speed == LQ_LINK_1G) {
        out->lock1000BaseTError = trainedSinceLastReport;
        out->receive1000BaseTError = chance(5) < hourlyChance(elapsed, 2.0);
        out->transmit1000BaseTError = chance(6) < hourlyChance(elapsed, 0.3);
        out->ssd1000BaseTError = chance(7) < hourlyChance(elapsed, 1.0);
        out->esd1000BaseTError = chance(8) < hourlyChance(elapsed, 1.0);
        out->carrierExtension1000BaseTError = chance(9) < hourlyChance(elapsed, 0.3);
        out->idleErrorCount = uint8_t(std::min<uint64_t>(255, noise::countOf(elapsed / 1200.0, chance(10))));
    }
    const uint64_t spontaneous = noise::countOf(elapsed / 900.0, chance(11));
    out->mdiCrossoverErrors = int32_t(std::min<uint64_t>(1000, uint64_t(crossovers) + spontaneous));
}

void DevicePhysics::State::latchClock(uint64_t nowMs)
{
    // The clock was initialised at boot from the stored settings; later
    // changes to the source wait for the next power-up.
    m_configured = true;
    m_gpsTakesClockAtMs = -1;
    switch (m_features.timestamp_init_source) {
    case LQ_TIME_SOURCE_SYSTEM:
        m_clockSource = LQ_TIME_SOURCE_SYSTEM;
        m_clockSet = true;
        m_clockOffsetMs = 0;
        break;
    case LQ_TIME_SOURCE_RTC:
        // A battery clock is off by a second or two.
        m_clockSource = LQ_TIME_SOURCE_RTC;
        m_clockSet = true;
        m_clockOffsetMs = int64_t(noise::symmetric(m_seed, noise::StreamClock, 7) * 2500.0);
        break;
    case LQ_TIME_SOURCE_GPS: {
        m_clockSource = LQ_TIME_SOURCE_NONE;
        m_clockSet = false;
        const double fix = hasTiming() ? gpsFixAt(m_settings->gps) : -1;
        if (fix >= 0) {
            const double ready = fix + (m_features.wait_for_sync ? m_settings->gps.lockSeconds : 0.0);
            m_gpsTakesClockAtMs = int64_t(m_powerOnMs + uint64_t(std::llround(ready * 1000.0)));
        }
        break;
    }
    default:
        m_clockSource = LQ_TIME_SOURCE_NONE;
        m_clockSet = false;
        break;
    }
    settleClock(nowMs);
}

void DevicePhysics::State::settleClock(uint64_t nowMs)
{
    if (m_gpsTakesClockAtMs >= 0 && int64_t(nowMs) >= m_gpsTakesClockAtMs) {
        m_clockSource = LQ_TIME_SOURCE_GPS;
        m_clockSet = true;
        m_clockOffsetMs = 0;
        m_gpsTakesClockAtMs = -1;
    }
}

// ------------------------------------------------------------------ public interface

std::shared_ptr<const PhysicsSettings> DevicePhysics::parse(const nlohmann::json &device, std::string *error)
{
    try {
        if (!device.is_object())
            fail("(device)", "must be an object");
        PhysicsSettings s = defaultSettings();
        perPortMember(device, "traffic", s.traffic, nullptr, applyTraffic);
        perPortMember(device, "ports", s.ports, nullptr, applyPort);
        perPortMember(device, "sfp", s.sfp, "type", applySfp);
        if (device.contains("gps"))
            applyGps(s.gps, device.at("gps"));
        for (int p = 0; p < 2; ++p) {
            const std::string port = p == 0 ? "a" : "b";
            const TrafficProfile &t = s.traffic[size_t(p)];
            if (t.multicast + t.broadcast > 0.5)
                fail("traffic." + port, "multicast and broadcast together must not exceed 0.5");
            checkThresholds(s.sfp[size_t(p)], "sfp." + port);
        }
        if (error)
            error->clear();
        return std::make_shared<const PhysicsSettings>(std::move(s));
    } catch (const ParseError &e) {
        if (error)
            *error = e.text;
        return nullptr;
    }
}

std::shared_ptr<const PhysicsSettings> DevicePhysics::defaults()
{
    static const auto settings = std::make_shared<const PhysicsSettings>(defaultSettings());
    return settings;
}

DevicePhysics::DevicePhysics(std::shared_ptr<const PhysicsSettings> settings, uint32_t capabilities, uint64_t seed,
                             uint64_t powerOnMs)
    : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.m_settings = settings ? std::move(settings) : defaults();
    s.m_caps = capabilities;
    s.m_seed = seed;
    s.m_powerOnMs = powerOnMs;
    s.m_integratedToMs = powerOnMs;
    s.m_features.tap_mode = 1;
    // Until told otherwise the ports offer everything, as after a factory reset.
    for (PortSpeedSettings *p : {&s.m_portsSpeed.portA, &s.m_portsSpeed.portB}) {
        p->auto_negotiation = 1;
        p->speed_1000_full = p->speed_100_full = p->speed_100_half = p->speed_10_full = p->speed_10_half = 1;
        p->asymmetric_pause = p->symmetric_pause = 1;
    }
    for (int p = 0; p < 2; ++p) {
        PortState &ps = s.m_ports[size_t(p)];
        ps.mix.emplace(s.m_settings->traffic[size_t(p)], p);
        ps.sampler.emplace(*ps.mix, seed, p);
        ps.sfpPresent = s.m_settings->sfp[size_t(p)].present;
        ps.downSinceMs = powerOnMs;
        ps.lastPhyReportMs = powerOnMs;
    }
    s.m_ledger.emplace(std::array<const TrafficMix *, 2>{&*s.m_ports[0].mix, &*s.m_ports[1].mix});
    s.refreshCapture();
    s.updateLinks(powerOnMs);
}

DevicePhysics::~DevicePhysics() = default;

void DevicePhysics::configure(const DeviceFeatures &features, const DevicePortsSpeed &ports, uint64_t nowMs)
{
    State &s = *m_state;
    s.advance(nowMs);
    const bool captureChanged = features.keep_crc != s.m_features.keep_crc
        || features.transmit_crc_errors != s.m_features.transmit_crc_errors
        || features.packet_slicing != s.m_features.packet_slicing || features.slicing_length != s.m_features.slicing_length;
    s.m_features = features;
    s.m_portsSpeed = ports;
    if (captureChanged)
        s.refreshCapture();
    if (!s.m_configured)
        s.latchClock(nowMs);
    s.updateLinks(std::max(nowMs, s.m_integratedToMs));
}

void DevicePhysics::setCounterV2(const CounterV2Config &config, uint64_t nowMs)
{
    State &s = *m_state;
    if (config.index >= LQ_COUNTERS_V2)
        return;
    s.advance(nowMs);
    s.m_ledger->setRule(config);
}

void DevicePhysics::setPacketFilter(const PacketFilter &filter, uint64_t nowMs)
{
    State &s = *m_state;
    s.advance(nowMs);
    s.m_capture.filter = filter;
    s.refreshCapture();
}

void DevicePhysics::setDpiFilter(const DpiFilter &filter, uint64_t nowMs)
{
    State &s = *m_state;
    s.advance(nowMs);
    s.m_capture.dpi = filter;
    s.refreshCapture();
}

void DevicePhysics::setTime(const TimingTimeSet &timeSet, uint64_t nowMs)
{
    State &s = *m_state;
    s.settleClock(nowMs);
    switch (timeSet.source) {
    case LQ_TIME_SOURCE_GPS: {
        // The receiver knows UTC as soon as it tracks one satellite; a request
        // before that is carried out then.
        const double known = s.hasTiming() ? gpsTimeKnownAt(s.m_settings->gps) : -1;
        if (known < 0)
            return;
        const auto at = int64_t(s.m_powerOnMs + uint64_t(std::llround(known * 1000.0)));
        s.m_gpsTakesClockAtMs = std::max<int64_t>(at, int64_t(nowMs));
        s.settleClock(nowMs);
        break;
    }
    case LQ_TIME_SOURCE_SNTP:
    case LQ_TIME_SOURCE_MANUAL:
        s.m_gpsTakesClockAtMs = -1;
        s.m_clockSource = int(timeSet.source);
        s.m_clockSet = true;
        s.m_clockOffsetMs = int64_t(timeSet.seconds) * 1000 - int64_t(nowMs);
        break;
    default:
        break;
    }
}

void DevicePhysics::setLinkForcedDown(int port, bool down, uint64_t nowMs)
{
    State &s = *m_state;
    if (port < 0 || port > 1)
        return;
    s.advance(nowMs);
    s.m_ports[size_t(port)].forcedDown = down;
    s.updateLinks(std::max(nowMs, s.m_integratedToMs));
}

void DevicePhysics::setSfpPresent(int port, bool present, uint64_t nowMs)
{
    State &s = *m_state;
    if (port < 0 || port > 1 || !s.hasSfp())
        return;
    s.advance(nowMs);
    s.m_ports[size_t(port)].sfpPresent = present;
    s.updateLinks(std::max(nowMs, s.m_integratedToMs));
}

void DevicePhysics::statistics(uint64_t nowMs, DeviceStatistics *out)
{
    State &s = *m_state;
    s.advance(nowMs);
    std::memset(out, 0, sizeof(*out));
    out->sampleTimeMs = nowMs;
    out->droppedPackets = s.m_softwareDrops;
    if (s.m_caps & LQ_CAP_STATS_PORTS) {
        uint64_t lastUp = 0;
        bool anyUp = false;
        for (int p = 0; p < 2; ++p) {
            const PortState &ps = s.m_ports[size_t(p)];
            PortCounters &c = p == 0 ? out->u.ports.portA : out->u.ports.portB;
            const PortTotals &t = s.m_ledger->totals(p);
            c.validUnder64 = t.validUnder64;
            c.valid64To1522 = t.valid64To1522;
            c.validOver1522 = t.validOver1522;
            c.invalidUnder64 = t.invalidUnder64;
            c.invalid64To1522 = t.invalid64To1522;
            c.invalidOver1522 = t.invalidOver1522;
            c.validBytes = t.validBytes;
            c.hardwareDropped = t.hardwareDropped;
            c.validPackets = c.validUnder64 + c.valid64To1522 + c.validOver1522;
            c.invalidPackets = c.invalidUnder64 + c.invalid64To1522 + c.invalidOver1522;
            c.capacity = ps.link.up ? lineBytesPerSecond(ps.link.speed) : 0;
            if (ps.link.up) {
                anyUp = true;
                lastUp = std::max(lastUp, ps.upSinceMs);
            }
        }
        out->u.ports.linkUpMs = anyUp ? nowMs - lastUp : 0;
        out->u.ports.lastLinkDownMs = s.m_lastLinkDownMs;
    } else if (s.m_caps & LQ_CAP_STATS_COUNTERS_V2) {
        for (int i = 0; i < LQ_COUNTERS_V2; ++i)
            out->u.configurable.counters[i] = s.m_ledger->counter(i);
    }
}

void DevicePhysics::linkStatus(uint64_t nowMs, LinkStatus *out)
{
    State &s = *m_state;
    s.advance(nowMs);
    std::memset(out, 0, sizeof(*out));
    for (int p = 0; p < 2; ++p) {
        const PortState &ps = s.m_ports[size_t(p)];
        const uint32_t speed = ps.link.up ? ps.link.speed : uint32_t(LQ_LINK_DOWN);
        const uint32_t duplex = ps.link.up ? ps.link.duplex : 0;
        if (p == 0) {
            out->portASpeed = speed;
            out->portADuplex = duplex;
        } else {
            out->portBSpeed = speed;
            out->portBDuplex = duplex;
        }
        s.fillPhy(p, nowMs, p == 0 ? &out->portAPhy : &out->portBPhy);
    }
    if (s.hasSfp()) {
        out->sfp.valid = 1;
        for (int p = 0; p < 2; ++p) {
            const PortState &ps = s.m_ports[size_t(p)];
            SfpPortInfo *info = p == 0 ? &out->sfp.portA : &out->sfp.portB;
            if (!ps.sfpPresent)
                continue;
            SfpConditions c;
            c.txDisabled = s.portDisabled(p);
            c.light = s.m_settings->ports[size_t(p)].partner.connected && !ps.forcedDown && !s.inFlap(p, nowMs);
            c.uptimeSeconds = s.uptimeSeconds(nowMs);
            c.tSeconds = double(nowMs) / 1000.0;
            c.seed = s.m_seed;
            c.port = p;
            fillSfpPortInfo(s.m_settings->sfp[size_t(p)], c, info);
        }
    }
}

void DevicePhysics::timingStatus(uint64_t nowMs, TimingStatus *out)
{
    State &s = *m_state;
    s.settleClock(nowMs);
    std::memset(out, 0, sizeof(*out));
    const double uptime = s.uptimeSeconds(nowMs);
    const double t = double(nowMs) / 1000.0;
    if (s.hasTiming()) {
        const GpsSettings &gps = s.m_settings->gps;
        const GpsReading g = gpsAt(gps, s.m_seed, uptime, t);
        const OscillatorReading o = oscillatorAt(gps, s.m_seed, uptime, t);
        out->gpsFixState = g.fixState;
        out->satellitesUsed = g.satellitesUsed;
        out->gpsSatellites = g.gpsSatellites;
        out->glonassSatellites = g.glonassSatellites;
        out->gpsPpsValid = g.ppsValid;
        out->ppsAccuracyNs = g.ppsValid ? g.accuracyNs : 0;
        out->externalPps = gps.externalPps;
        out->oscillatorSynced = o.synced;
        out->ppsDeviationNs = o.referenced ? o.deviationNs : 0.0;
        // The device's own summary word: module, fix, PPS, lock, external
        // PPS, clock set, forced PPS and PPS output, one bit each.
        out->statusWord = (gps.present ? 0x1 : 0) | (g.fixState == 2 ? 0x2 : 0) | (g.ppsValid ? 0x4 : 0) | (o.synced ? 0x8 : 0)
            | (gps.externalPps ? 0x10 : 0) | (s.m_clockSet ? 0x20 : 0) | (s.m_features.force_pps ? 0x40 : 0)
            | (s.m_features.pps_output ? 0x80 : 0);
    }
    out->timeSource = s.m_clockSource;
    const int64_t deviceMs = s.m_clockSet ? int64_t(nowMs) + s.m_clockOffsetMs : int64_t(nowMs - std::min(nowMs, s.m_powerOnMs));
    const int64_t seconds = deviceMs >= 0 ? deviceMs / 1000 : (deviceMs - 999) / 1000;
    const int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const int64_t secondOfDay = seconds - days * 86400;
    civilFromDays(days, &out->year, &out->month, &out->day);
    out->hour = int32_t(secondOfDay / 3600);
    out->minute = int32_t(secondOfDay / 60 % 60);
    out->second = int32_t(secondOfDay % 60);
}

void DevicePhysics::captured(uint64_t nowMs, uint64_t *packets, uint64_t *bytes)
{
    State &s = *m_state;
    s.advance(nowMs);
    uint64_t p = 0, b = 0;
    for (int port = 0; port < 2; ++port) {
        p += s.m_ledger->totals(port).capturedPackets;
        b += s.m_ledger->totals(port).capturedBytes;
    }
    if (packets)
        *packets = p;
    if (bytes)
        *bytes = b;
}

PortTotals DevicePhysics::portTotals(uint64_t nowMs, int port)
{
    State &s = *m_state;
    s.advance(nowMs);
    return port == 0 || port == 1 ? s.m_ledger->totals(port) : PortTotals{};
}

uint64_t DevicePhysics::deviceTimeNs(uint64_t nowMs)
{
    State &s = *m_state;
    s.advance(nowMs);
    return uint64_t(std::max<int64_t>(0, int64_t(nowMs * 1000000) + s.deviceClockOffsetNs(nowMs)));
}

void DevicePhysics::openCaptureTap(uint64_t nowMs, size_t perPortLimit)
{
    State &s = *m_state;
    s.advance(nowMs);
    s.m_ledger->openTap(perPortLimit);
}

void DevicePhysics::closeCaptureTap()
{
    m_state->m_ledger->closeTap();
}

size_t DevicePhysics::takeCapturedPackets(int port, uint64_t fromMs, uint64_t toMs, std::vector<CapturedPacket> *out,
                                          uint64_t *missed)
{
    State &s = *m_state;
    if (port < 0 || port > 1 || !out)
        return 0;
    s.advance(toMs);
    return s.m_ledger->takeTap(port, fromMs * 1000000, toMs * 1000000, out, missed);
}

} // namespace lqsim
