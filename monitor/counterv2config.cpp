// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Configurable-counter rules; see counterv2config.h.

#include "counterv2config.h"

#include "addressparsers.h"

#include <QSettings>
#include <QStringList>

#include <array>
#include <cstring>

namespace CounterV2 {

namespace {

constexpr int kMacTextLength = 17;

// The tri-state fields with their settings keys, in record order.
struct TriStateKey {
    const char *key;
    int32_t CounterV2Config::*field;
};
constexpr std::array<TriStateKey, 10> kTriStateKeys{{
    {"isIPv4", &CounterV2Config::ipv4},
    {"isIPv6", &CounterV2Config::ipv6},
    {"isbcast", &CounterV2Config::broadcast},
    {"ismcast", &CounterV2Config::multicast},
    {"isucast", &CounterV2Config::unicast},
    {"isicmp", &CounterV2Config::icmp},
    {"isudp", &CounterV2Config::udp},
    {"istcp", &CounterV2Config::tcp},
    {"iscrcValid", &CounterV2Config::crcValid},
    {"isDropped", &CounterV2Config::dropped},
}};

int readInt(const QSettings &settings, const QString &key, int fallback)
{
    bool ok = false;
    const int value = settings.value(key, fallback).toInt(&ok);
    return ok ? value : fallback;
}

} // namespace

CounterV2Config defaultConfig(int index)
{
    CounterV2Config config;
    std::memset(&config, 0, sizeof config);
    config.index = uint32_t(index);
    for (const TriStateKey &t : kTriStateKeys)
        config.*t.field = DontCare;
    config.sizeMode = AnySize;
    return config;
}

QString colourName(int32_t value)
{
    static const char *const kColours[] = {"silver", "red", "lime"};
    return QLatin1String(kColours[qBound(-1, value, 1) + 1]);
}

QString sizeText(const CounterV2Config &config)
{
    switch (config.sizeMode) {
    case GreaterThan:
        return QStringLiteral("> %1").arg(config.size);
    case LessThan:
        return QStringLiteral("< %1").arg(config.size);
    case Equal:
        return QStringLiteral("= %1").arg(config.size);
    default:
        return QStringLiteral("Any size");
    }
}

QString addressText(const CounterV2Config &config)
{
    if (config.ipv4 == Checked && config.ipv6 != Checked)
        return familyAddressText(config, false);
    if (config.ipv6 == Checked && config.ipv4 != Checked)
        return familyAddressText(config, true);
    return QString();
}

QString bytesText(const AddressBytes &bytes)
{
    QStringList parts;
    for (uint8_t byte : bytes)
        parts << QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0'));
    return parts.join(QLatin1Char(' '));
}

void bytesFromText(const QString &text, AddressBytes &bytes)
{
    std::memset(bytes, 0, sizeof(AddressBytes));
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size() && i < int(sizeof(AddressBytes)); ++i) {
        bool ok = false;
        const uint value = parts[i].toUInt(&ok, 16);
        bytes[i] = ok && value <= 0xff ? uint8_t(value) : 0;
    }
}

QString settingsGroup(const QString &mac)
{
    if (mac.size() != kMacTextLength)
        return QString();
    return QStringLiteral("DeviceConfig/%1/StatsV2").arg(QString(mac).remove(QLatin1Char(':')));
}

bool writeConfig(QSettings &settings, const QString &mac, const CounterV2Config &config, bool hidden)
{
    const QString group = settingsGroup(mac);
    if (group.isEmpty())
        return false;
    settings.beginGroup(group + QStringLiteral("/counter%1").arg(config.index));
    for (const TriStateKey &t : kTriStateKeys)
        settings.setValue(QLatin1String(t.key), int(config.*t.field));
    settings.setValue(QStringLiteral("size"), int(config.size));
    settings.setValue(QStringLiteral("sizeMode"), int(config.sizeMode));
    settings.setValue(QStringLiteral("ip"), bytesText(config.address));
    settings.setValue(QStringLiteral("ipMask"), bytesText(config.mask));
    settings.setValue(QStringLiteral("port1"), int(config.portA));
    settings.setValue(QStringLiteral("port2"), int(config.portB));
    settings.setValue(QStringLiteral("mode"), int(config.countingMode));
    settings.setValue(QStringLiteral("hidden"), hidden ? 1 : 0);
    settings.endGroup();
    return true;
}

std::optional<CounterV2Config> readConfig(QSettings &settings, const QString &mac, int index)
{
    const QString group = settingsGroup(mac);
    if (group.isEmpty())
        return std::nullopt;
    CounterV2Config config = defaultConfig(index);
    settings.beginGroup(group + QStringLiteral("/counter%1").arg(index));
    for (const TriStateKey &t : kTriStateKeys) {
        const int value = readInt(settings, QLatin1String(t.key), DontCare);
        config.*t.field = value >= DontCare && value <= Checked ? value : DontCare;
    }
    config.size = uint32_t(readInt(settings, QStringLiteral("size"), 0));
    const int sizeMode = readInt(settings, QStringLiteral("sizeMode"), AnySize);
    config.sizeMode = sizeMode >= AnySize && sizeMode <= Equal ? sizeMode : AnySize;
    const QString zero = bytesText(config.address);
    bytesFromText(settings.value(QStringLiteral("ip"), zero).toString(), config.address);
    bytesFromText(settings.value(QStringLiteral("ipMask"), zero).toString(), config.mask);
    // The device knows only 0 and 1 for these; anything else means "off".
    const auto flag = [&](const char *key) { return readInt(settings, QLatin1String(key), 0) == 1 ? 1 : 0; };
    config.portA = flag("port1");
    config.portB = flag("port2");
    config.countingMode = flag("mode");
    settings.endGroup();
    return config;
}

QString familyAddressText(const CounterV2Config &config, bool ipv6)
{
    const int n = ipv6 ? 16 : 4;
    QByteArray address(n, 0), mask(n, 0);
    for (int i = 0; i < n; ++i) {
        address[i] = char(config.address[n - 1 - i]);
        mask[i] = char(config.mask[n - 1 - i]);
    }
    QString text;
    AddressParsers::formatWithWildcards(AddressParsers::addressFromBytes(address),
                                        AddressParsers::addressFromBytes(mask), AddressParsers::kWildcard, text);
    return text;
}

bool parseFamilyAddress(const QString &text, bool ipv6, AddressBytes &address, AddressBytes &mask)
{
    QHostAddress parsedAddress, parsedMask;
    const int result = ipv6 ? AddressParsers::parseIPv6WithWildcards(text, parsedAddress, parsedMask)
                            : AddressParsers::parseIPv4WithWildcards(text, parsedAddress, parsedMask);
    if (result != 0)
        return false;
    const QByteArray addressBytes = AddressParsers::bytesFromAddress(parsedAddress);
    const QByteArray maskBytes = AddressParsers::bytesFromAddress(parsedMask);
    const int n = ipv6 ? 16 : 4;
    if (addressBytes.size() != n || maskBytes.size() != n)
        return false;
    std::memset(address, 0, sizeof(AddressBytes));
    std::memset(mask, 0, sizeof(AddressBytes));
    for (int i = 0; i < n; ++i) {
        address[n - 1 - i] = uint8_t(addressBytes[i]);
        mask[n - 1 - i] = uint8_t(maskBytes[i]);
    }
    return true;
}

} // namespace CounterV2
