// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The rule of one configurable counter away from any widget: its defaults,
// the texts of its summary, its address in the record's reversed byte order,
// and how it is kept in the settings store per device.

#pragma once

#include "lumenquillapi.h"

#include <QString>

#include <cstdint>
#include <optional>

class QSettings;

namespace CounterV2 {

constexpr int kCounters = LQ_COUNTERS_V2;
enum TriState : int32_t { DontCare = -1, Unchecked = 0, Checked = 1 };
enum SizeMode : int32_t { AnySize = -1, GreaterThan = 0, LessThan = 1, Equal = 2 };

using AddressBytes = uint8_t[16];

// Everything don't care, any size, no address, no port, counting packets.
CounterV2Config defaultConfig(int index = 0);

// Colour name of a tri-state (or of a port flag, 0 or 1) in the summary.
QString colourName(int32_t value);
// "Any size", "> 1500", "< 64", "= 60".
QString sizeText(const CounterV2Config &config);
// The address rule as wildcard text ("10.0.*.1") when exactly one family is
// required (set to 1), otherwise empty.
QString addressText(const CounterV2Config &config);
// The stored address and mask read as one family, as wildcard text.
QString familyAddressText(const CounterV2Config &config, bool ipv6);
// Wildcard text of one family into the record's reversed address and mask;
// false (and both left untouched) when the text is not a complete address.
bool parseFamilyAddress(const QString &text, bool ipv6, AddressBytes &address, AddressBytes &mask);

// "00 1a ff ..." of the sixteen stored bytes, and back; a part that is not a
// hexadecimal byte reads as 0.
QString bytesText(const AddressBytes &bytes);
void bytesFromText(const QString &text, AddressBytes &bytes);

// Settings group of a device's counters ("DeviceConfig/<12 hex digits>/StatsV2"),
// or empty when the MAC text is not the 17-character form.
QString settingsGroup(const QString &mac);
// Writes every key of one counter under "counter<index>"; false (nothing
// written) for a MAC text of the wrong length.
bool writeConfig(QSettings &settings, const QString &mac, const CounterV2Config &config, bool hidden);
// Reads counter `index` with the defaults for missing keys and out-of-range
// values corrected; nothing for a MAC text of the wrong length.
std::optional<CounterV2Config> readConfig(QSettings &settings, const QString &mac, int index);

} // namespace CounterV2
