// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// SFP module memory: decoding into SfpPortInfo and the encoders behind the
// presets and scenario keys; see sfpeeprom.h.

#include "sfpeeprom.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace lqsim {

namespace {

constexpr int kMeasurements = 5; // temperature, Vcc, TX bias, TX power, RX power
constexpr uint32_t kUnknownReach = 7;
constexpr uint32_t kNoDiagnostics = 4;

// Size in engineering units of one count of the internally calibrated values.
constexpr double kUnit[kMeasurements] = {1.0 / 256.0, 0.0001, 0.002, 0.0001, 0.0001};

struct Bit {
    uint8_t byte; // A0h offset
    uint8_t mask;
};

// Transceiver word k of the record and its bit in A0h bytes 3-10; word 18,
// the SONET reach specifier, is a code decoded apart.
constexpr Bit kTransceiverBits[LQ_SFP_TRANSCEIVER_WORDS] = {
    {3, 0x80}, {3, 0x40}, {3, 0x20}, {3, 0x10},                        // 10G Ethernet ER, LRM, LR, SR
    {3, 0x08}, {3, 0x04}, {3, 0x02}, {3, 0x01},                        // Infiniband 1X SX, LX, copper active, passive
    {4, 0x20}, {4, 0x04}, {4, 0x02}, {4, 0x01},                        // OC-192 SR, OC-48 LR, IR, SR
    {5, 0x40}, {5, 0x20}, {5, 0x10}, {5, 0x04}, {5, 0x02}, {5, 0x01}, // OC-12 LR, IR, SR, OC-3 LR, IR, SR
    {4, 0x18},                                                         // SONET reach specifier bits 1 and 2
    {6, 0x80}, {6, 0x40}, {6, 0x20}, {6, 0x10},                        // BASE-PX, BX10, 100BASE-FX, LX/LX10
    {6, 0x08}, {6, 0x04}, {6, 0x02}, {6, 0x01},                        // 1000BASE-T, CX, LX, SX
    {4, 0x80}, {4, 0x40},                                              // ESCON MMF, SMF
    {7, 0x04}, {7, 0x02}, {7, 0x01}, {8, 0x80},                        // FC SA, LC, EL inter, EL intra
    {8, 0x40}, {8, 0x20}, {8, 0x10},                                   // FC SN, SL, LL
    {7, 0x80}, {7, 0x40}, {7, 0x20}, {7, 0x10}, {7, 0x08},             // FC lengths V, S, I, L, M
    {8, 0x08}, {8, 0x04},                                              // SFP+ active, passive cable
    {9, 0x80}, {9, 0x40}, {9, 0x20}, {9, 0x10}, {9, 0x08}, {9, 0x04}, {9, 0x01}, // FC media TW ... SM
    {10, 0x20}, {10, 0x80}, {10, 0x40}, {10, 0x10}, {10, 0x04}, {10, 0x01},     // FC 1600 ... 100 MB/s
};

constexpr uint8_t kReachBit1 = 0x10;
constexpr uint8_t kReachBit2 = 0x08;

// Option words 0-13 and their bits in A0h bytes 64, 65 and 93; word 6 (loss
// of signal) has a second bit for the inverted signal.
constexpr Bit kOptionBits[LQ_SFP_OPTION_WORDS] = {
    {64, 0x04}, {64, 0x02}, {64, 0x01}, {65, 0x20}, {65, 0x10}, {65, 0x08}, {65, 0x02},
    {93, 0x80}, {93, 0x40}, {93, 0x20}, {93, 0x10}, {93, 0x08}, {93, 0x04}, {93, 0x02},
};
constexpr uint8_t kLosInverted = 0x04;

uint16_t be16(const SfpPage &p, size_t offset)
{
    return uint16_t(p[offset] << 8 | p[offset + 1]);
}

void putBe16(SfpPage &p, size_t offset, uint16_t v)
{
    p[offset] = uint8_t(v >> 8);
    p[offset + 1] = uint8_t(v);
}

float beFloat(const SfpPage &p, size_t offset)
{
    const uint32_t bits = uint32_t(p[offset]) << 24 | uint32_t(p[offset + 1]) << 16 | uint32_t(p[offset + 2]) << 8 |
                          uint32_t(p[offset + 3]);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void putBeFloat(SfpPage &p, size_t offset, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    setSfpNumber(p, offset, 4, bits);
}

bool external(const SfpEeprom &e)
{
    return e.a0[sfpa0::MonitoringType] & kSfpExternallyCalibrated;
}

double rxPolynomial(const SfpCalibration &c, double ad)
{
    double v = 0;
    for (int i = 4; i >= 0; --i)
        v = v * ad + double(c.rxPower[size_t(i)]);
    return v;
}

// A/D counts of measurement i to engineering units.
double toUnits(const SfpEeprom &e, int i, uint16_t raw)
{
    const double ad = i == 0 ? double(int16_t(raw)) : double(raw);
    if (!external(e))
        return ad * kUnit[i];
    const SfpCalibration c = sfpCalibration(e);
    if (i == 4)
        return rxPolynomial(c, ad) * kUnit[i];
    const uint16_t slopes[] = {c.temperatureSlope, c.voltageSlope, c.txBiasSlope, c.txPowerSlope};
    const int16_t offsets[] = {c.temperatureOffset, c.voltageOffset, c.txBiasOffset, c.txPowerOffset};
    return (double(slopes[i]) / 256.0 * ad + double(offsets[i])) * kUnit[i];
}

uint16_t clampCounts(double counts, bool isSigned)
{
    const double lo = isSigned ? -32768.0 : 0.0, hi = isSigned ? 32767.0 : 65535.0;
    const double c = std::clamp(std::round(counts), lo, hi);
    return isSigned ? uint16_t(int16_t(c)) : uint16_t(c);
}

// Engineering units of measurement i to A/D counts, the inverse of toUnits.
uint16_t fromUnits(const SfpEeprom &e, int i, double value)
{
    const double units = value / kUnit[i];
    if (!external(e))
        return clampCounts(units, i == 0);
    const SfpCalibration c = sfpCalibration(e);
    if (i == 4) {
        // The polynomial rises over the counts; find the nearest count.
        uint32_t lo = 0, hi = 65535;
        while (lo < hi) {
            const uint32_t mid = (lo + hi) / 2;
            if (rxPolynomial(c, mid) < units)
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo > 0 && std::fabs(rxPolynomial(c, lo - 1) - units) <= std::fabs(rxPolynomial(c, lo) - units))
            --lo;
        return uint16_t(lo);
    }
    const uint16_t slopes[] = {c.temperatureSlope, c.voltageSlope, c.txBiasSlope, c.txPowerSlope};
    const int16_t offsets[] = {c.temperatureOffset, c.voltageOffset, c.txBiasOffset, c.txPowerOffset};
    if (!slopes[i])
        return 0;
    return clampCounts((units - offsets[i]) / (double(slopes[i]) / 256.0), i == 0);
}

float &member(SfpDiagnostics &d, int i)
{
    float *members[] = {&d.temperature, &d.voltage, &d.txBias, &d.txPower, &d.rxPower};
    return *members[i];
}

size_t thresholdOffset(int measurement, SfpThreshold which)
{
    return sfpa2::Thresholds + size_t(measurement) * 8 + size_t(which) * 2;
}

template <size_t N> void copyText(char (&dst)[N], const std::string &src)
{
    std::memset(dst, 0, N);
    std::memcpy(dst, src.data(), std::min(N - 1, src.size()));
}

// SFF-8024 connector codes to the record's: 20h-22h sit at 13-15 there, and
// the codes the record gives other names to are reported as reserved.
uint32_t connectorCode(uint8_t raw)
{
    if (raw == 0x0d)
        return 12; // MPO 2x16, an MPO parallel optic as well
    if (raw == 0x0e || raw == 0x0f)
        return 0x7f;
    if (raw >= 0x20 && raw <= 0x22)
        return 13u + (raw - 0x20u);
    return raw;
}

uint32_t singleModeLength(uint8_t km, uint8_t hundreds)
{
    if (hundreds != 0 && hundreds != 0xff)
        return hundreds * 100u; // the finer unit while it holds the length
    if (km == 0xff)
        return 0xfffffffeu; // beyond 254 km
    if (km != 0)
        return km * 1000u;
    return hundreds == 0xff ? 0xffffffffu : 0u; // beyond 25.4 km, or unspecified
}

uint32_t scaledLength(uint8_t value, uint32_t unit)
{
    if (value == 0xff)
        return 0xffffffffu;
    return value * unit;
}

uint32_t sonetReach(const SfpPage &a0)
{
    const bool bit1 = a0[4] & kReachBit1, bit2 = a0[4] & kReachBit2;
    const bool longReach = (a0[4] & 0x04) || (a0[5] & 0x44);
    const bool intermediate = (a0[4] & 0x02) || (a0[5] & 0x22);
    if (longReach)
        return bit1 && bit2 ? 6 : bit1 ? 4 : bit2 ? 5 : kUnknownReach;
    if (intermediate)
        return bit1 && !bit2 ? 2 : bit2 && !bit1 ? 3 : kUnknownReach;
    return !bit1 && !bit2 ? 0 : bit1 && !bit2 ? 1 : kUnknownReach;
}

} // namespace

// ------------------------------------------------------------------ checksums

uint8_t sfpChecksum(const SfpPage &page, size_t first, size_t last)
{
    unsigned sum = 0;
    for (size_t i = first; i <= last; ++i)
        sum += page[i];
    return uint8_t(sum);
}

bool sfpBaseChecksumOk(const SfpEeprom &e)
{
    return sfpChecksum(e.a0, 0, sfpa0::CcBase - 1) == e.a0[sfpa0::CcBase];
}

bool sfpExtendedChecksumOk(const SfpEeprom &e)
{
    return sfpChecksum(e.a0, sfpa0::Options, sfpa0::CcExt - 1) == e.a0[sfpa0::CcExt];
}

bool sfpDiagnosticsChecksumOk(const SfpEeprom &e)
{
    return sfpChecksum(e.a2, 0, sfpa2::CcDmi - 1) == e.a2[sfpa2::CcDmi];
}

void sealSfpEeprom(SfpEeprom &e)
{
    e.a0[sfpa0::CcBase] = sfpChecksum(e.a0, 0, sfpa0::CcBase - 1);
    e.a0[sfpa0::CcExt] = sfpChecksum(e.a0, sfpa0::Options, sfpa0::CcExt - 1);
    e.a2[sfpa2::CcDmi] = sfpChecksum(e.a2, 0, sfpa2::CcDmi - 1);
}

// ------------------------------------------------------------------ decoding

std::string sfpText(const SfpPage &page, size_t offset, size_t length)
{
    std::string s;
    for (size_t i = offset; i < offset + length && page[i]; ++i)
        s += page[i] >= 0x20 && page[i] <= 0x7e ? char(page[i]) : '?';
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

uint32_t sfpMonitoringType(const SfpEeprom &e)
{
    const uint8_t type = e.a0[sfpa0::MonitoringType];
    if (!(type & kSfpDdmImplemented))
        return kNoDiagnostics;
    return (type & kSfpExternallyCalibrated ? 2u : 0u) + (type & kSfpAveragePower ? 0u : 1u);
}

SfpCalibration sfpCalibration(const SfpEeprom &e)
{
    SfpCalibration c;
    for (int i = 0; i < 5; ++i)
        c.rxPower[size_t(i)] = beFloat(e.a2, sfpa2::RxPowerCoefficients + size_t(4 - i) * 4);
    c.txBiasSlope = be16(e.a2, sfpa2::TxBiasSlope);
    c.txBiasOffset = int16_t(be16(e.a2, sfpa2::TxBiasSlope + 2));
    c.txPowerSlope = be16(e.a2, sfpa2::TxPowerSlope);
    c.txPowerOffset = int16_t(be16(e.a2, sfpa2::TxPowerSlope + 2));
    c.temperatureSlope = be16(e.a2, sfpa2::TemperatureSlope);
    c.temperatureOffset = int16_t(be16(e.a2, sfpa2::TemperatureSlope + 2));
    c.voltageSlope = be16(e.a2, sfpa2::VoltageSlope);
    c.voltageOffset = int16_t(be16(e.a2, sfpa2::VoltageSlope + 2));
    return c;
}

SfpDiagnostics sfpMeasurements(const SfpEeprom &e)
{
    SfpDiagnostics d{};
    for (int i = 0; i < kMeasurements; ++i)
        member(d, i) = float(toUnits(e, i, be16(e.a2, sfpa2::Measurements + size_t(i) * 2)));
    return d;
}

SfpDiagnostics sfpThresholds(const SfpEeprom &e, SfpThreshold which)
{
    SfpDiagnostics d{};
    for (int i = 0; i < kMeasurements; ++i)
        member(d, i) = float(toUnits(e, i, be16(e.a2, thresholdOffset(i, which))));
    return d;
}

void decodeSfpEeprom(const SfpEeprom &e, SfpPortInfo *out)
{
    std::memset(out, 0, sizeof(*out));
    out->present = 1;
    std::fill(std::begin(out->options), std::end(out->options), 1u);
    std::fill(std::begin(out->transceiver), std::end(out->transceiver), 1u);
    out->transceiver[18] = kUnknownReach;
    out->diagnosticMonitoringType = kNoDiagnostics;
    const SfpPage &a0 = e.a0;
    const bool base = sfpBaseChecksumOk(e);
    const bool extended = sfpExtendedChecksumOk(e);

    if (base) {
        out->identifier = a0[sfpa0::Identifier];
        out->extendedIdentifier = a0[sfpa0::ExtIdentifier];
        out->connector = connectorCode(a0[sfpa0::Connector]);
        for (size_t k = 0; k < LQ_SFP_TRANSCEIVER_WORDS; ++k)
            out->transceiver[k] = a0[kTransceiverBits[k].byte] & kTransceiverBits[k].mask ? 0 : 1;
        out->transceiver[18] = sonetReach(a0);
        out->encoding = a0[sfpa0::Encoding];
        out->rateIdentifier = a0[sfpa0::RateIdentifier];
        out->lengthSingleMode = singleModeLength(a0[sfpa0::LengthKm], a0[sfpa0::Length100m]);
        out->lengthOm2 = scaledLength(a0[sfpa0::LengthOm2], 10);
        out->lengthOm1 = scaledLength(a0[sfpa0::LengthOm1], 10);
        out->lengthCopper = scaledLength(a0[sfpa0::LengthCopper], 1);
        out->lengthOm3 = scaledLength(a0[sfpa0::LengthOm3], 10);
        copyText(out->vendorName, sfpText(a0, sfpa0::VendorName, 16));
        out->vendorOui = uint32_t(a0[sfpa0::VendorOui]) << 16 | uint32_t(a0[sfpa0::VendorOui + 1]) << 8 |
                         a0[sfpa0::VendorOui + 2];
        copyText(out->model, sfpText(a0, sfpa0::VendorPn, 16));
        copyText(out->revision, sfpText(a0, sfpa0::VendorRev, 4));
        // Cables keep their compliance bits where optics keep the wavelength.
        if (!(a0[8] & 0x0c))
            out->wavelength = be16(a0, sfpa0::Wavelength);
        if (a0[sfpa0::NominalRate] != 0xff) {
            out->nominalBitRate = a0[sfpa0::NominalRate];
        } else if (extended) {
            // Above 25.4 GBd: byte 66 in units of 250 MBd, byte 67 a ± margin.
            out->nominalBitRate = (a0[sfpa0::BitRateMax] * 5u + 1) / 2;
        }
    }
    if (extended) {
        for (size_t k = 0; k < LQ_SFP_OPTION_WORDS; ++k)
            out->options[k] = a0[kOptionBits[k].byte] & kOptionBits[k].mask ? 0 : 1;
        if (out->options[6] && (a0[65] & kLosInverted))
            out->options[6] = 2;
        if (a0[sfpa0::NominalRate] != 0xff) {
            out->bitRateMarginUpper = a0[sfpa0::BitRateMax];
            out->bitRateMarginLower = a0[sfpa0::BitRateMin];
        } else {
            out->bitRateMarginUpper = out->bitRateMarginLower = a0[sfpa0::BitRateMin];
        }
        copyText(out->serialNumber, sfpText(a0, sfpa0::VendorSn, 16));
        copyText(out->dateCode, sfpText(a0, sfpa0::DateCode, 8));
        out->sff8472Compliance = a0[sfpa0::Compliance];
        const uint32_t type = sfpMonitoringType(e);
        if (type != kNoDiagnostics && sfpDiagnosticsChecksumOk(e))
            out->diagnosticMonitoringType = type;
    }
    if (out->diagnosticMonitoringType == kNoDiagnostics)
        return;

    out->value = sfpMeasurements(e);
    out->lowAlarm = sfpThresholds(e, SfpThreshold::LowAlarm);
    out->lowWarning = sfpThresholds(e, SfpThreshold::LowWarning);
    out->highAlarm = sfpThresholds(e, SfpThreshold::HighAlarm);
    out->highWarning = sfpThresholds(e, SfpThreshold::HighWarning);
    // Each measurement has a high and a low bit, two per measurement from
    // the top of byte 112 (116), RX power in the top of byte 113 (117).
    const uint16_t alarms = be16(e.a2, sfpa2::AlarmFlags), warnings = be16(e.a2, sfpa2::WarningFlags);
    uint32_t flags = 0;
    for (int i = 0; i < kMeasurements; ++i) {
        const uint16_t pair = uint16_t(0xc000u >> (2 * i));
        if (alarms & pair)
            flags |= LQ_SFP_ALARM_TEMPERATURE << i;
        if (warnings & pair)
            flags |= LQ_SFP_WARNING_TEMPERATURE << i;
    }
    const uint8_t status = e.a2[sfpa2::Status];
    if (status & kSfpStatusTxDisable)
        flags |= LQ_SFP_STATUS_TX_DISABLE;
    if (status & kSfpStatusTxFault)
        flags |= LQ_SFP_STATUS_TX_FAULT;
    if (status & kSfpStatusRxLos)
        flags |= LQ_SFP_STATUS_RX_LOS;
    out->flags = flags;
}

// ------------------------------------------------------------------ encoding

void setSfpText(SfpPage &page, size_t offset, size_t length, const std::string &text)
{
    for (size_t i = 0; i < length; ++i)
        page[offset + i] = i < text.size() ? uint8_t(text[i]) : uint8_t(' ');
}

void setSfpNumber(SfpPage &page, size_t offset, size_t bytes, uint32_t value)
{
    for (size_t i = 0; i < bytes; ++i)
        page[offset + i] = uint8_t(value >> (8 * (bytes - 1 - i)));
}

void setSfpConnector(SfpEeprom &e, uint32_t code)
{
    e.a0[sfpa0::Connector] = uint8_t(code >= 13 && code <= 15 ? 0x20 + (code - 13) : code);
}

void setSfpLength(SfpEeprom &e, size_t offset, uint32_t metres)
{
    // Rounded to the byte's unit; a length too long for it is FFh, "beyond".
    auto inUnits = [metres](uint32_t unit) -> uint8_t {
        if (metres == 0)
            return 0;
        if (metres == 0xffffffffu)
            return 0xff;
        const uint64_t n = (uint64_t(metres) + unit / 2) / unit;
        return n > 254 ? 0xff : uint8_t(std::max<uint64_t>(n, 1));
    };
    switch (offset) {
    case sfpa0::LengthKm:
    case sfpa0::Length100m:
        if (metres == 0xfffffffeu) {
            e.a0[sfpa0::LengthKm] = e.a0[sfpa0::Length100m] = 0xff;
        } else if (metres == 0xffffffffu) {
            e.a0[sfpa0::LengthKm] = 0;
            e.a0[sfpa0::Length100m] = 0xff;
        } else {
            const uint64_t km = (uint64_t(metres) + 500) / 1000;
            e.a0[sfpa0::LengthKm] = km > 254 ? 0xff : uint8_t(km);
            e.a0[sfpa0::Length100m] = inUnits(100);
        }
        break;
    case sfpa0::LengthCopper:
        e.a0[offset] = inUnits(1);
        break;
    default:
        e.a0[offset] = inUnits(10);
        break;
    }
}

void setSfpTransceiverWords(SfpEeprom &e, const std::array<uint32_t, LQ_SFP_TRANSCEIVER_WORDS> &words)
{
    for (size_t k = 0; k < LQ_SFP_TRANSCEIVER_WORDS; ++k) {
        if (k == 18)
            continue;
        uint8_t &byte = e.a0[kTransceiverBits[k].byte];
        byte = words[k] == 0 ? byte | kTransceiverBits[k].mask : byte & ~kTransceiverBits[k].mask;
    }
    // The specifier bits only; SR, IR or LR follows from the OC codes.
    static const uint8_t reach[] = {0, kReachBit1, kReachBit1, kReachBit2, kReachBit1, kReachBit2, kReachBit1 | kReachBit2};
    const uint8_t bits = words[18] < 7 ? reach[words[18]] : uint8_t(kReachBit1 | kReachBit2);
    e.a0[4] = uint8_t((e.a0[4] & ~(kReachBit1 | kReachBit2)) | bits);
}

void setSfpOptionWords(SfpEeprom &e, const std::array<uint32_t, LQ_SFP_OPTION_WORDS> &words)
{
    for (size_t k = 0; k < LQ_SFP_OPTION_WORDS; ++k) {
        uint8_t &byte = e.a0[kOptionBits[k].byte];
        byte = words[k] == 0 ? byte | kOptionBits[k].mask : byte & ~kOptionBits[k].mask;
    }
    if (words[6] == 2)
        e.a0[65] |= kLosInverted;
    else
        e.a0[65] &= uint8_t(~kLosInverted);
}

void setSfpCalibration(SfpEeprom &e, const SfpCalibration &c)
{
    for (int i = 0; i < 5; ++i)
        putBeFloat(e.a2, sfpa2::RxPowerCoefficients + size_t(4 - i) * 4, c.rxPower[size_t(i)]);
    const uint16_t pairs[] = {c.txBiasSlope,      uint16_t(c.txBiasOffset),      c.txPowerSlope,
                              uint16_t(c.txPowerOffset), c.temperatureSlope, uint16_t(c.temperatureOffset),
                              c.voltageSlope,     uint16_t(c.voltageOffset)};
    for (size_t i = 0; i < 8; ++i)
        putBe16(e.a2, sfpa2::TxBiasSlope + 2 * i, pairs[i]);
}

void setSfpMonitoringType(SfpEeprom &e, uint32_t type)
{
    constexpr SfpThreshold kAll[] = {SfpThreshold::HighAlarm, SfpThreshold::LowAlarm, SfpThreshold::HighWarning,
                                     SfpThreshold::LowWarning};
    SfpDiagnostics kept[4];
    for (size_t w = 0; w < 4; ++w)
        kept[w] = sfpThresholds(e, kAll[w]);
    uint8_t &byte = e.a0[sfpa0::MonitoringType];
    if (type >= kNoDiagnostics) {
        byte &= uint8_t(~kSfpDdmImplemented);
        return;
    }
    byte |= kSfpDdmImplemented;
    const bool ext = type >= 2;
    byte = uint8_t(ext ? (byte | kSfpExternallyCalibrated) & ~kSfpInternallyCalibrated
                       : (byte | kSfpInternallyCalibrated) & ~kSfpExternallyCalibrated);
    byte = uint8_t(type % 2 == 0 ? byte | kSfpAveragePower : byte & ~kSfpAveragePower);
    if (ext && std::all_of(e.a2.begin() + sfpa2::RxPowerCoefficients, e.a2.begin() + sfpa2::VoltageSlope + 4,
                           [](uint8_t b) { return b == 0; }))
        setSfpCalibration(e, SfpCalibration{});
    for (size_t w = 0; w < 4; ++w)
        setSfpThresholds(e, kAll[w], kept[w]);
}

void setSfpThresholds(SfpEeprom &e, SfpThreshold which, const SfpDiagnostics &values)
{
    SfpDiagnostics v = values;
    for (int i = 0; i < kMeasurements; ++i)
        putBe16(e.a2, thresholdOffset(i, which), fromUnits(e, i, double(member(v, i))));
}

void setSfpMeasurements(SfpEeprom &e, const SfpDiagnostics &values)
{
    SfpDiagnostics v = values;
    for (int i = 0; i < kMeasurements; ++i)
        putBe16(e.a2, sfpa2::Measurements + size_t(i) * 2, fromUnits(e, i, double(member(v, i))));
}

bool parseSfpHex(const std::string &text, SfpPage *page, std::string *error)
{
    page->fill(0);
    size_t n = 0;
    int pending = -1;
    for (char ch : text) {
        if (std::isspace(static_cast<unsigned char>(ch))) {
            if (pending >= 0) {
                *error = "must be whole bytes of two hex digits";
                return false;
            }
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(ch))) {
            *error = std::string("must be hex bytes (found '") + ch + "')";
            return false;
        }
        const int digit = std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0' : std::tolower(ch) - 'a' + 10;
        if (pending < 0) {
            pending = digit;
            continue;
        }
        if (n == page->size()) {
            *error = "must hold at most 256 bytes";
            return false;
        }
        (*page)[n++] = uint8_t(pending << 4 | digit);
        pending = -1;
    }
    if (pending >= 0) {
        *error = "must be whole bytes of two hex digits";
        return false;
    }
    if (n == 0) {
        *error = "must hold at least one byte";
        return false;
    }
    return true;
}

} // namespace lqsim
