// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Texts of the SFP tab beyond those tst_sfpdisplay shows: special link lengths,
// reserved and vendor-specific codes, flag words and dialog values.

#include "sfptexts.h"

#include <QTest>

#include <initializer_list>
#include <utility>

namespace T = SfpTexts;

namespace {

// One row per value: the text `format` gives it, and the one wanted.
template <typename Format>
void rows(const char *name, Format format, std::initializer_list<std::pair<uint32_t, const char *>> cases)
{
    for (const auto &[value, text] : cases)
        QTest::addRow("%s %u", name, value) << format(value) << QString(text);
}

} // namespace

class tst_SfpTexts : public QObject {
    Q_OBJECT
private slots:
    void texts_data()
    {
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("wanted");
        rows("single", T::lengthSingleMode,
             {{0, "Unspecified"}, {1550, "1.5km"} /* a double would round up */, {80000, "80.0km"},
              {0xffffffff, ">25.4km"}});
        rows("multi", T::lengthMultiMode, {{0, "Unspecified"}, {0xffffffff, ">2.54km"}, {0xfffffffe, "4294967294m"}});
        rows("copper", T::lengthCopper, {{0, "Unspecified"}, {0xffffffff, ">254m"}});
        rows("identifier", T::identifier,
             {{14, "CXP"}, {15, "Reserved (0x0f)"}, {127, "Reserved (0x7f)"}, {128, "Vendor specific (0x80)"}});
        rows("connector", T::connector, {{15, "RJ45"}, {0x22, "Reserved (0x22)"}, {0x90, "Vendor specific (0x90)"}});
        rows("encoding", T::encoding, {{7, "Reserved"}, {200, "Reserved"}});
        rows("rate", T::rateIdentifier,
             {{3, "Unspecified"}, {9, "Unspecified"}, {10, "FC-PI-5 (TX and RX)"}, {11, "Unallocated"}});
        rows("monitoring", T::monitoringType, {{3, "Ext. calibrated/OMA"}, {4, "None"}});
        rows("compliance", T::sff8472Compliance, {{5, "Rev 11.0 SFF-8472"}, {6, "Unknown"}});
        rows("sonet", T::sonetReachSpecifier, {{0, "SONET SR"}, {6, "SONET LR-3"}, {7, "Unknown"}});
        rows("oui", T::vendorOui, {{0xff3c4f1a, "0x3c4f1a"}});
        rows("bitrate", T::nominalBitRate, {{0, "Unspecified"}});

        // Warnings, alarms and status bits, as the three rows of the flag table.
        rows("flags", [](uint32_t f) { return T::warningFlags(f) + '|' + T::alarmFlags(f) + '|' + T::statusFlags(f); },
             {{LQ_SFP_ALARM_VOLTAGE | LQ_SFP_WARNING_RX_POWER | LQ_SFP_STATUS_RX_LOS, "RX Power |VCC |RX LOS "},
              {LQ_SFP_WARNING_BIAS | LQ_SFP_WARNING_TX_POWER, "TX Bias TX Power |None |"},
              {0x1fff, "Temperature VCC TX Bias TX Power RX Power |Temperature VCC TX Bias TX Power RX Power |"
                       "TX Disable TX Fault RX LOS "},
              {0xffffe000, "None |None |"}});

        const auto option = [](int word) { return [word](uint32_t value) { return T::optionValue(word, value); }; };
        rows("option 1", option(1), {{0, "Power Level 2"}, {1, "Power Level 1 or unspecified"}});
        rows("option 2", option(2), {{0, "Linear receiver output"}, {1, "Limiting receiver output"}});
        rows("option 3", option(3), {{0, "Implemented"}, {2, "Not Implemented"}}); // only LOS knows "inverted"
        rows("option 6", option(6), {{0, "Implemented"}, {3, "Not Implemented"}});
        rows("transceiver 18", [](uint32_t value) { return T::transceiverValue(18, value); }, {{9, "Unknown"}});

        // One byte beyond the field that must never be read as part of it.
        const auto field = [](const QByteArray &bytes) {
            return T::fieldText((bytes + 'X').constData(), size_t(bytes.size()));
        };
        QTest::newRow("field fills its array") << field("A2B3C") << "A2B3C";
        QTest::newRow("field empty") << field(QByteArray(5, '\0')) << "";
    }
    void texts()
    {
        QFETCH(QString, shown);
        QTEST(shown, "wanted");
    }
};

QTEST_APPLESS_MAIN(tst_SfpTexts)
#include "tst_sfptexts.moc"
