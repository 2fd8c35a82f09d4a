// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The SFP text report; see sfpreport.h.

#include "sfpreport.h"

#include "sfptexts.h"

namespace SfpReport {

QStringList optionCaptions()
{
    return {QStringLiteral("Cooled Transceiver Declaration"),
            QStringLiteral("Power Level Declaration"),
            QStringLiteral("Linear Receiver Output Implementation"),
            QStringLiteral("RATE_SELECT Implementation"),
            QStringLiteral("TX_DISABLE Implementation"),
            QStringLiteral("TX_FAULT Implementation"),
            QStringLiteral("Loss of Signal Implementation"),
            QStringLiteral("Alarm/Warning flags"),
            QStringLiteral("Soft TX_DISABLE control and monitoring"),
            QStringLiteral("Soft TX_FAULT monitoring"),
            QStringLiteral("Soft RX_LOS monitoring"),
            QStringLiteral("Soft RATE_SELECT control and monitoring"),
            QStringLiteral("Application Select control"),
            QStringLiteral("Soft Rate Select control")};
}

QString hexDump(const void *data, size_t size)
{
    const auto *bytes = static_cast<const unsigned char *>(data);
    QString out;
    for (size_t row = 0; row < size; row += 16) {
        QString hex, ascii;
        for (size_t i = row; i < row + 16; ++i) {
            if (i < size) {
                hex += QStringLiteral("%1 ").arg(bytes[i], 2, 16, QLatin1Char('0'));
                ascii += (bytes[i] >= 0x20 && bytes[i] < 0x7f) ? QChar(bytes[i]) : QLatin1Char('.');
            } else {
                hex += QLatin1String("   ");
            }
        }
        out += QStringLiteral("%1  %2 %3\n").arg(row, 4, 16, QLatin1Char('0')).arg(hex, ascii);
    }
    return out;
}

namespace {

namespace T = SfpTexts;

constexpr int kCaptionWidth = 40;
constexpr int kCellWidth = 14;

QString line(const QString &caption, const QString &value)
{
    QString text = QStringLiteral("  %1 %2").arg(caption + QLatin1Char(':'), -kCaptionWidth).arg(value);
    // No trailing blanks: some flag texts end in one, and a ticket system may mark them.
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text + QLatin1Char('\n');
}

QString diagnostics(const SfpPortInfo &m)
{
    if (m.diagnosticMonitoringType == T::kNoDiagnostics)
        return QStringLiteral("  The module has no diagnostics.\n");
    static const char *const measures[] = {"Temperature", "Vcc", "TX Bias", "TX Power", "RX Power"};
    static const T::Threshold columns[] = {T::Threshold::LowAlarm, T::Threshold::LowWarning, T::Threshold::HighWarning,
                                           T::Threshold::HighAlarm};
    // Without the alarm and warning flags option the module keeps no
    // thresholds; the tab leaves those cells empty and so does the report.
    const bool thresholds = m.options[T::kAlarmWarningFlagsOption] != 1;
    QString out = QStringLiteral("  %1").arg(QString(), -14);
    for (const char *caption : {"Low alarm", "Low warning", "High warning", "High alarm", "Value"})
        out += QStringLiteral("%1").arg(QLatin1String(caption), kCellWidth);
    out += QLatin1Char('\n');
    for (int r = 0; r < 5; ++r) {
        out += QStringLiteral("  %1").arg(QLatin1String(measures[r]), -14);
        for (T::Threshold column : columns)
            out += QStringLiteral("%1").arg(
                thresholds ? T::measurement(T::thresholdSet(m, column), r) : QStringLiteral("-"), kCellWidth);
        out += QStringLiteral("%1\n").arg(T::measurement(m.value, r), kCellWidth);
    }
    if (thresholds) {
        out += line(QStringLiteral("Warnings"), T::warningFlags(m.flags));
        out += line(QStringLiteral("Alarms"), T::alarmFlags(m.flags));
        out += line(QStringLiteral("Status Bits"), T::statusFlags(m.flags));
    } else {
        out += QStringLiteral("  The module reports no alarm and warning flags.\n");
    }
    return out;
}

QString port(const QString &name, const SfpPortInfo &m)
{
    QString out = QStringLiteral("\n== %1 ==\n").arg(name);
    out += line(QStringLiteral("Status"), T::presence(m.present));
    if (m.present) {
        out += QStringLiteral("\nIdentity\n");
        out += line(QStringLiteral("Vendor name"), T::fieldText(m.vendorName));
        out += line(QStringLiteral("Vendor OUI"), T::vendorOui(m.vendorOui));
        out += line(QStringLiteral("Model"), T::fieldText(m.model));
        out += line(QStringLiteral("Revision"), T::fieldText(m.revision));
        out += line(QStringLiteral("Date code"), T::fieldText(m.dateCode));
        out += line(QStringLiteral("Serial number"), T::fieldText(m.serialNumber));
        out += QStringLiteral("\nRates\n");
        out += line(QStringLiteral("Bitrate, nominal"), T::nominalBitRate(m.nominalBitRate));
        out += line(QStringLiteral("Upper bitrate margin"), T::bitRateMargin(m.bitRateMarginUpper));
        out += line(QStringLiteral("Lower bitrate margin"), T::bitRateMargin(m.bitRateMarginLower));
        out += line(QStringLiteral("Encoding"), T::encoding(m.encoding));
        out += line(QStringLiteral("Rate ID"), T::rateIdentifier(m.rateIdentifier));
        out += QStringLiteral("\nType\n");
        out += line(QStringLiteral("Identifier"), T::identifier(m.identifier));
        out += line(QStringLiteral("Ext. Identifier"), T::extendedIdentifier(m.extendedIdentifier));
        out += line(QStringLiteral("Connector"), T::connector(m.connector));
        out += line(QStringLiteral("Wavelength"), T::wavelength(m.wavelength));
        out += line(QStringLiteral("Diagnostic monitoring type"), T::monitoringType(m.diagnosticMonitoringType));
        out += line(QStringLiteral("SFF-8472 compliance"), T::sff8472Compliance(m.sff8472Compliance));
        out += QStringLiteral("\nLengths\n");
        out += line(QStringLiteral("Length 9/125µm fiber"), T::lengthSingleMode(m.lengthSingleMode));
        out += line(QStringLiteral("Length 50/125µm OM2 fiber"), T::lengthMultiMode(m.lengthOm2));
        out += line(QStringLiteral("Length 62.5/125µm OM1 fiber"), T::lengthMultiMode(m.lengthOm1));
        out += line(QStringLiteral("Length copper and active cable"), T::lengthCopper(m.lengthCopper));
        out += line(QStringLiteral("Length 50/125µm fiber"), T::lengthMultiMode(m.lengthOm3));
        out += QStringLiteral("\nDiagnostics\n") + diagnostics(m);
        out += QStringLiteral("\nOptions\n");
        const QStringList captions = optionCaptions();
        for (int k = 0; k < LQ_SFP_OPTION_WORDS; ++k)
            out +=
                line(captions.value(k),
                     QStringLiteral("%1 (word %2 = %3)").arg(T::optionValue(k, m.options[k])).arg(k).arg(m.options[k]));
    }
    // The library reads the module's A0h and A2h memory and hands over only
    // this decoded record; these are its bytes exactly as received.
    out += QStringLiteral("\nRecord from the device library (%1 bytes, hex)\n").arg(sizeof m);
    out += hexDump(&m, sizeof m);
    return out;
}

} // namespace

QString report(const SfpInfo &info, const QStringList &header)
{
    QString out = QStringLiteral("SFP modules\n");
    for (const QString &entry : header)
        out += entry + QLatin1Char('\n');
    if (!info.valid)
        return out + QStringLiteral("\nThe device has sent no SFP data.\n");
    out += port(QStringLiteral("Port A"), info.portA);
    out += port(QStringLiteral("Port B"), info.portB);
    return out;
}

} // namespace SfpReport
