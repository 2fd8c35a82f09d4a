// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The memory of an SFP module (SFF-8472 pages A0h and A2h) and the device's
// decoding of it into the library's SfpPortInfo record. Also the encoders the
// simulator uses to build module images field by field; PHYSICS.md explains
// how record values map onto the bytes.

#pragma once

#include "lumenquillapi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lqsim {

using SfpPage = std::array<uint8_t, 256>;

struct SfpEeprom {
    SfpPage a0{}; // serial ID (two-wire address A0h)
    SfpPage a2{}; // diagnostics (A2h)
};

// Byte offsets of page A0h.
namespace sfpa0 {
enum : size_t {
    Identifier = 0,
    ExtIdentifier = 1,
    Connector = 2,
    Transceiver = 3, // eight bytes
    Encoding = 11,
    NominalRate = 12, // 100 MBd; FFh: see BitRateMax
    RateIdentifier = 13,
    LengthKm = 14,
    Length100m = 15,
    LengthOm2 = 16, // 10 m
    LengthOm1 = 17, // 10 m
    LengthCopper = 18, // 1 m
    LengthOm3 = 19, // 10 m
    VendorName = 20, // 16
    VendorOui = 37,  // 3, most significant first
    VendorPn = 40,   // 16
    VendorRev = 56,  // 4
    Wavelength = 60, // 2, big-endian nm
    CcBase = 63,
    Options = 64, // 2
    BitRateMax = 66,
    BitRateMin = 67,
    VendorSn = 68, // 16
    DateCode = 84, // 8: YYMMDD and a lot code
    MonitoringType = 92,
    EnhancedOptions = 93,
    Compliance = 94,
    CcExt = 95,
};
} // namespace sfpa0

// Byte offsets of page A2h.
namespace sfpa2 {
enum : size_t {
    Thresholds = 0,          // 5 measurements x {high alarm, low alarm, high warning, low warning}, 2 bytes each
    RxPowerCoefficients = 56, // five big-endian floats, Rx_PWR(4) first
    TxBiasSlope = 76,         // then offset; TX power, temperature, Vcc slope/offset pairs follow
    TxPowerSlope = 80,
    TemperatureSlope = 84,
    VoltageSlope = 88,
    CcDmi = 95,
    Measurements = 96, // temperature, Vcc, TX bias, TX power, RX power, 2 bytes each
    Status = 110,
    AlarmFlags = 112, // 2
    WarningFlags = 116, // 2
};
} // namespace sfpa2

// Bits of A0h byte 92 (diagnostic monitoring type).
constexpr uint8_t kSfpDdmImplemented = 0x40;
constexpr uint8_t kSfpInternallyCalibrated = 0x20;
constexpr uint8_t kSfpExternallyCalibrated = 0x10;
constexpr uint8_t kSfpAveragePower = 0x08;

// Bits of A0h byte 93 (enhanced options) the module's behaviour depends on.
constexpr uint8_t kSfpAlarmWarningFlags = 0x80;
constexpr uint8_t kSfpSoftTxDisable = 0x40;
constexpr uint8_t kSfpSoftTxFault = 0x20;
constexpr uint8_t kSfpSoftRxLos = 0x10;

// Bits of A2h byte 110.
constexpr uint8_t kSfpStatusTxDisable = 0x80;
constexpr uint8_t kSfpStatusTxFault = 0x04;
constexpr uint8_t kSfpStatusRxLos = 0x02;

// Threshold sets in the order A2h keeps them per measurement.
enum class SfpThreshold { HighAlarm, LowAlarm, HighWarning, LowWarning };

// External calibration constants of A2h bytes 56-91; the defaults leave the
// A/D values as they are.
struct SfpCalibration {
    std::array<float, 5> rxPower{0.0f, 1.0f, 0.0f, 0.0f, 0.0f}; // coefficient of ad^0 ... ad^4
    uint16_t txBiasSlope = 0x100;   // unsigned 8.8 fixed point
    int16_t txBiasOffset = 0;
    uint16_t txPowerSlope = 0x100;
    int16_t txPowerOffset = 0;
    uint16_t temperatureSlope = 0x100;
    int16_t temperatureOffset = 0;
    uint16_t voltageSlope = 0x100;
    int16_t voltageOffset = 0;
};

// ------------------------------------------------------------------ checksums

uint8_t sfpChecksum(const SfpPage &page, size_t first, size_t last); // low byte of the sum, last included
bool sfpBaseChecksumOk(const SfpEeprom &e);
bool sfpExtendedChecksumOk(const SfpEeprom &e);
bool sfpDiagnosticsChecksumOk(const SfpEeprom &e);
// Rewrites CC_BASE, CC_EXT and CC_DMI after an edit.
void sealSfpEeprom(SfpEeprom &e);

// ------------------------------------------------------------------ decoding

// Everything the device reports about a plugged module. A bad CC_BASE leaves
// the base fields unread (empty texts, codes 0, nothing declared); a bad
// CC_EXT does the same for the extended fields and reports no diagnostics; a
// bad CC_DMI reports no diagnostics.
void decodeSfpEeprom(const SfpEeprom &e, SfpPortInfo *out);

// Diagnostic monitoring type in the record's terms: 0-3, 4 = none.
uint32_t sfpMonitoringType(const SfpEeprom &e);
SfpDiagnostics sfpMeasurements(const SfpEeprom &e);
SfpDiagnostics sfpThresholds(const SfpEeprom &e, SfpThreshold which);
SfpCalibration sfpCalibration(const SfpEeprom &e);
std::string sfpText(const SfpPage &page, size_t offset, size_t length);

// ------------------------------------------------------------------ encoding
// None of these reseal the checksums.

void setSfpText(SfpPage &page, size_t offset, size_t length, const std::string &text);
// Big-endian unsigned value of `bytes` bytes.
void setSfpNumber(SfpPage &page, size_t offset, size_t bytes, uint32_t value);
// Record connector code (13-15 are SFF-8024's 20h-22h).
void setSfpConnector(SfpEeprom &e, uint32_t code);
// Record length in metres; `offset` is one of the A0h length bytes (LengthKm
// for the single-mode pair).
void setSfpLength(SfpEeprom &e, size_t offset, uint32_t metres);
// Words in the record's sense: 0 = the module has the feature or code.
void setSfpTransceiverWords(SfpEeprom &e, const std::array<uint32_t, LQ_SFP_TRANSCEIVER_WORDS> &words);
void setSfpOptionWords(SfpEeprom &e, const std::array<uint32_t, LQ_SFP_OPTION_WORDS> &words);
// Record type 0-4. Thresholds keep their values in engineering units; a
// module turning externally calibrated without constants gets unit ones.
void setSfpMonitoringType(SfpEeprom &e, uint32_t type);
void setSfpCalibration(SfpEeprom &e, const SfpCalibration &c);
// Engineering units in, A/D counts out through the module's calibration,
// clamped to what the counts can hold.
void setSfpThresholds(SfpEeprom &e, SfpThreshold which, const SfpDiagnostics &values);
void setSfpMeasurements(SfpEeprom &e, const SfpDiagnostics &values);

// "03 04 07 ..." or "030407...": 1 to 256 bytes into the start of a zeroed
// page; false with a reason otherwise.
bool parseSfpHex(const std::string &text, SfpPage *page, std::string *error);

} // namespace lqsim
