// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Texts of the SFP tab; see sfptexts.h.

#include "sfptexts.h"

#include <QStringList>

#include <cstring>

namespace SfpTexts {

namespace {

// A code from a table of consecutive values starting at 0, else the generic
// reserved / vendor-specific text of SFF-8024.
QString tableCode(uint32_t code, const QStringList &names)
{
    if (code < uint32_t(names.size()))
        return names[int(code)];
    return QString::asprintf(code < 128 ? "Reserved (0x%02x)" : "Vendor specific (0x%02x)", code);
}

QString fixed(float value, int decimals, const QString &pattern)
{
    return pattern.arg(double(value), 0, 'f', decimals);
}

// Names of the set bits among five consecutive ones from `first`, each with
// its trailing blank, or "None " when there is none.
QString flagNames(uint32_t flags, uint32_t first)
{
    static const char *const names[] = {"Temperature ", "VCC ", "TX Bias ", "TX Power ", "RX Power "};
    QString out;
    for (int i = 0; i < 5; ++i) {
        if (flags & (first << i))
            out += QLatin1String(names[i]);
    }
    return out.isEmpty() ? QStringLiteral("None ") : out;
}

} // namespace

QString presence(uint8_t present)
{
    return present ? QStringLiteral("Present") : QStringLiteral("Absent");
}

QString fieldText(const char *field, size_t size)
{
    const void *end = std::memchr(field, '\0', size);
    const size_t length = end ? size_t(static_cast<const char *>(end) - field) : size;
    return QString::fromLatin1(field, qsizetype(length));
}

QString vendorOui(uint32_t oui)
{
    return QString::asprintf("0x%06x", oui & 0xffffffu);
}

QString nominalBitRate(uint32_t hundredsOfMbits)
{
    if (!hundredsOfMbits)
        return QStringLiteral("Unspecified");
    return QStringLiteral("%1 Mbps").arg(quint64(hundredsOfMbits) * 100);
}

QString bitRateMargin(uint32_t percent)
{
    if (!percent)
        return QStringLiteral("Unspecified");
    return QStringLiteral("%1%").arg(percent);
}

QString encoding(uint32_t code)
{
    static const QStringList names{"Unspecified", "8B10B", "4B5B", "NRZ", "Manchester", "SONET Scrambled", "64B/66B"};
    return code < uint32_t(names.size()) ? names[int(code)] : QStringLiteral("Reserved");
}

QString rateIdentifier(uint32_t code)
{
    switch (code) {
    case 0:
    case 3:
    case 5:
    case 7:
    case 9:
        return QStringLiteral("Unspecified");
    case 1:
        return QStringLiteral("SFF-8079");
    case 2:
        return QStringLiteral("SFF-8431 (RX Only)");
    case 4:
        return QStringLiteral("SFF-8431 (TX Only)");
    case 6:
        return QStringLiteral("SFF-8431 (TX and RX)");
    case 8:
        return QStringLiteral("FC-PI-5 (RX Only)");
    case 10:
        return QStringLiteral("FC-PI-5 (TX and RX)");
    default:
        return QStringLiteral("Unallocated");
    }
}

QString identifier(uint32_t code)
{
    static const QStringList names{"Unknown", "GBIC",  "Soldered to MB", "SFP or SFP+", "300 pin XBI",
                                   "XENPAK",  "XFP",   "XFF",            "XFP-E",       "XPAK",
                                   "X2",      "DWDM-SFP", "QSFP",        "QSFP+",       "CXP"};
    return tableCode(code, names);
}

QString extendedIdentifier(uint32_t value)
{
    return QString::asprintf("0x%02x", value);
}

QString connector(uint32_t code)
{
    static const QStringList names{"Unknown",
                                   "SC",
                                   "FC style 1 copper connector",
                                   "FC style 2 copper connector",
                                   "BNC/TNC",
                                   "FC coaxial headers",
                                   "FiberJack",
                                   "LC",
                                   "MT-RJ",
                                   "MU",
                                   "SG",
                                   "Optical pigtail",
                                   "MPO Parallel Optic",
                                   "HSSDC II",
                                   "Copper pigtail",
                                   "RJ45"};
    return tableCode(code, names);
}

QString wavelength(uint32_t nanometres)
{
    return QStringLiteral("%1 nm").arg(nanometres);
}

QString monitoringType(uint32_t code)
{
    static const QStringList names{"Int. calibrated/Av. power", "Int. calibrated/OMA", "Ext. calibrated/Av. power",
                                   "Ext. calibrated/OMA"};
    return code < uint32_t(names.size()) ? names[int(code)] : QStringLiteral("None");
}

QString sff8472Compliance(uint32_t code)
{
    static const QStringList names{"Undefined",         "Rev 9.3 SFF-8472",  "Rev 9.5 SFF-8472",
                                   "Rev 10.2 SFF-8472", "Rev 10.4 SFF-8472", "Rev 11.0 SFF-8472"};
    return code < uint32_t(names.size()) ? names[int(code)] : QStringLiteral("Unknown");
}

QString lengthSingleMode(uint32_t metres)
{
    switch (metres) {
    case 0:
        return QStringLiteral("Unspecified");
    case 0xfffffffeu:
        return QStringLiteral(">254km");
    case 0xffffffffu:
        return QStringLiteral(">25.4km");
    default:
        // Divided as a 32-bit float, which settles the halfway cases:
        // 1550 m reads "1.5km", not "1.6km".
        return QString::asprintf("%0.1fkm", double(float(metres) / 1000.0f));
    }
}

QString lengthMultiMode(uint32_t metres)
{
    if (metres == 0)
        return QStringLiteral("Unspecified");
    if (metres == 0xffffffffu)
        return QStringLiteral(">2.54km");
    return QStringLiteral("%1m").arg(metres);
}

QString lengthCopper(uint32_t metres)
{
    if (metres == 0)
        return QStringLiteral("Unspecified");
    if (metres == 0xffffffffu)
        return QStringLiteral(">254m");
    return QStringLiteral("%1m").arg(metres);
}

QString temperature(float celsius)
{
    return fixed(celsius, 1, QStringLiteral("%1\u00b0C"));
}

QString voltage(float volts)
{
    return fixed(volts, 2, QStringLiteral("%1V"));
}

QString bias(float milliamperes)
{
    return fixed(milliamperes, 3, QStringLiteral("%1mA"));
}

QString power(float milliwatts)
{
    return fixed(milliwatts, 4, QStringLiteral("%1mW"));
}

QString measurement(const SfpDiagnostics &set, int i)
{
    switch (i) {
    case 0:
        return temperature(set.temperature);
    case 1:
        return voltage(set.voltage);
    case 2:
        return bias(set.txBias);
    case 3:
        return power(set.txPower);
    default:
        return power(set.rxPower);
    }
}

const SfpDiagnostics &thresholdSet(const SfpPortInfo &port, Threshold which)
{
    switch (which) {
    case Threshold::LowAlarm:
        return port.lowAlarm;
    case Threshold::LowWarning:
        return port.lowWarning;
    case Threshold::HighWarning:
        return port.highWarning;
    case Threshold::HighAlarm:
        break;
    }
    return port.highAlarm;
}

QString warningFlags(uint32_t flags)
{
    return flagNames(flags, LQ_SFP_WARNING_TEMPERATURE);
}

QString alarmFlags(uint32_t flags)
{
    return flagNames(flags, LQ_SFP_ALARM_TEMPERATURE);
}

QString statusFlags(uint32_t flags)
{
    QString out;
    if (flags & LQ_SFP_STATUS_TX_DISABLE)
        out += QLatin1String("TX Disable ");
    if (flags & LQ_SFP_STATUS_TX_FAULT)
        out += QLatin1String("TX Fault ");
    if (flags & LQ_SFP_STATUS_RX_LOS)
        out += QLatin1String("RX LOS ");
    return out;
}

QString transceiverValue(int word, uint32_t value)
{
    if (word == kSonetReachWord)
        return sonetReachSpecifier(value);
    return value == 0 ? QStringLiteral("Yes") : QStringLiteral("No");
}

QString sonetReachSpecifier(uint32_t code)
{
    static const QStringList names{"SONET SR",   "SONET SR-1", "SONET IR-1", "SONET IR-2",
                                   "SONET LR-1", "SONET LR-2", "SONET LR-3"};
    return code < uint32_t(names.size()) ? names[int(code)] : QStringLiteral("Unknown");
}

QString optionValue(int word, uint32_t value)
{
    switch (word) {
    case 0:
        return value == 0 ? QStringLiteral("Cooled laser transmitter")
                          : QStringLiteral("Uncooled laser transmitter or unspecified");
    case 1:
        return value == 0 ? QStringLiteral("Power Level 2") : QStringLiteral("Power Level 1 or unspecified");
    case 2:
        return value == 0 ? QStringLiteral("Linear receiver output") : QStringLiteral("Limiting receiver output");
    case 6:
        if (value == 2)
            return QStringLiteral("Implemented, Inverted");
        break;
    default:
        break;
    }
    return value == 0 ? QStringLiteral("Implemented") : QStringLiteral("Not Implemented");
}

} // namespace SfpTexts
