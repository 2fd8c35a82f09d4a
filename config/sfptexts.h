// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// How the SFP tab and its two dialogs write each value of a decoded module
// record. Kept free of widgets so that every text can be checked on its own.

#pragma once

#include "lumenquillapi.h"

#include <QString>

#include <cstddef>

namespace SfpTexts {

// The threshold columns of the measurement table, left to right. The table
// shows high warning before high alarm; the record keeps high alarm first.
enum class Threshold { LowAlarm, LowWarning, HighWarning, HighAlarm };

QString presence(uint8_t present);
// A NUL-terminated field that may fill its array without the terminator.
QString fieldText(const char *field, size_t size);
template <size_t N> QString fieldText(const char (&field)[N])
{
    return fieldText(field, N);
}

QString vendorOui(uint32_t oui);
QString nominalBitRate(uint32_t hundredsOfMbits);
QString bitRateMargin(uint32_t percent);
QString encoding(uint32_t code);
QString rateIdentifier(uint32_t code);
QString identifier(uint32_t code);
QString extendedIdentifier(uint32_t value);
QString connector(uint32_t code);
QString wavelength(uint32_t nanometres);
QString monitoringType(uint32_t code);
QString sff8472Compliance(uint32_t code);

QString lengthSingleMode(uint32_t metres);
QString lengthMultiMode(uint32_t metres); // OM1, OM2 and 50/125 µm rows
QString lengthCopper(uint32_t metres);

QString temperature(float celsius);
QString voltage(float volts);
QString bias(float milliamperes);
QString power(float milliwatts);
// Measurement i (0 temperature, 1 voltage, 2 bias, 3 TX power, 4 RX power)
// of a set, in its unit.
QString measurement(const SfpDiagnostics &set, int i);
const SfpDiagnostics &thresholdSet(const SfpPortInfo &port, Threshold which);

QString warningFlags(uint32_t flags);
QString alarmFlags(uint32_t flags);
QString statusFlags(uint32_t flags);

// Transceiver word k: "Yes"/"No", or the SONET reach specifier for word 18.
QString transceiverValue(int word, uint32_t value);
QString sonetReachSpecifier(uint32_t code);
// Option word k (0 to 13) as the options dialog shows it.
QString optionValue(int word, uint32_t value);

constexpr int kSonetReachWord = 18;
constexpr int kAlarmWarningFlagsOption = 7;
constexpr uint32_t kNoDiagnostics = 4;

} // namespace SfpTexts
