// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Texts of the SFP tab: special link lengths, code tables with their reserved
// and vendor-specific ranges, flag words, measurements and dialog values.

#include "sfptexts.h"

#include <QTest>

#include <functional>
#include <map>

namespace {

using Format = std::function<QString(uint32_t)>;

const std::map<QString, Format> &formats()
{
    static const std::map<QString, Format> f{
        {"single", SfpTexts::lengthSingleMode},
        {"multi", SfpTexts::lengthMultiMode},
        {"copper", SfpTexts::lengthCopper},
        {"identifier", SfpTexts::identifier},
        {"connector", SfpTexts::connector},
        {"encoding", SfpTexts::encoding},
        {"rate", SfpTexts::rateIdentifier},
        {"monitoring", SfpTexts::monitoringType},
        {"compliance", SfpTexts::sff8472Compliance},
        {"extended", SfpTexts::extendedIdentifier},
        {"oui", SfpTexts::vendorOui},
        {"bitrate", SfpTexts::nominalBitRate},
        {"margin", SfpTexts::bitRateMargin},
        {"wavelength", SfpTexts::wavelength},
        {"sonet", SfpTexts::sonetReachSpecifier},
    };
    return f;
}

} // namespace

class tst_SfpTexts : public QObject {
    Q_OBJECT
private slots:
    void values_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<uint32_t>("value");
        QTest::addColumn<QString>("text");
        auto row = [](const char *format, uint32_t value, const char *text) {
            QTest::addRow("%s %u", format, value) << QString(format) << value << QString::fromUtf8(text);
        };
        row("single", 0, "Unspecified");
        row("single", 1500, "1.5km");
        row("single", 1550, "1.5km"); // a double would round this one up
        row("single", 80000, "80.0km");
        row("single", 0xfffffffe, ">254km");
        row("single", 0xffffffff, ">25.4km");
        row("multi", 0, "Unspecified");
        row("multi", 300, "300m");
        row("multi", 0xffffffff, ">2.54km");
        row("multi", 0xfffffffe, "4294967294m");
        row("copper", 0, "Unspecified");
        row("copper", 3, "3m");
        row("copper", 0xffffffff, ">254m");

        row("identifier", 3, "SFP or SFP+");
        row("identifier", 14, "CXP");
        row("identifier", 15, "Reserved (0x0f)");
        row("identifier", 127, "Reserved (0x7f)");
        row("identifier", 128, "Vendor specific (0x80)");
        row("connector", 7, "LC");
        row("connector", 15, "RJ45");
        row("connector", 0x22, "Reserved (0x22)");
        row("connector", 0x90, "Vendor specific (0x90)");
        row("encoding", 6, "64B/66B");
        row("encoding", 7, "Reserved");
        row("encoding", 200, "Reserved");
        row("rate", 3, "Unspecified");
        row("rate", 6, "SFF-8431 (TX and RX)");
        row("rate", 9, "Unspecified");
        row("rate", 10, "FC-PI-5 (TX and RX)");
        row("rate", 11, "Unallocated");
        row("monitoring", 3, "Ext. calibrated/OMA");
        row("monitoring", 4, "None");
        row("compliance", 5, "Rev 11.0 SFF-8472");
        row("compliance", 6, "Unknown");
        row("sonet", 0, "SONET SR");
        row("sonet", 6, "SONET LR-3");
        row("sonet", 7, "Unknown");

        row("extended", 4, "0x04");
        row("oui", 0xff3c4f1a, "0x3c4f1a");
        row("bitrate", 0, "Unspecified");
        row("bitrate", 103, "10300 Mbps");
        row("margin", 0, "Unspecified");
        row("margin", 5, "5%");
        row("wavelength", 1310, "1310 nm");
    }
    void values()
    {
        QFETCH(QString, format);
        QFETCH(uint32_t, value);
        QFETCH(QString, text);
        QCOMPARE(formats().at(format)(value), text);
    }

    void flagWords_data()
    {
        QTest::addColumn<uint32_t>("flags");
        QTest::addColumn<QString>("texts"); // warnings|alarms|status
        QTest::newRow("none") << 0x0u << "None |None |";
        QTest::newRow("0x421") << 0x421u << "Temperature |Temperature |TX Disable ";
        const uint32_t oneOfEach = LQ_SFP_ALARM_VOLTAGE | LQ_SFP_WARNING_RX_POWER | LQ_SFP_STATUS_RX_LOS;
        QTest::newRow("one of each, different") << oneOfEach << "RX Power |VCC |RX LOS ";
        QTest::newRow("warnings only") << uint32_t(LQ_SFP_WARNING_BIAS | LQ_SFP_WARNING_TX_POWER)
                                       << "TX Bias TX Power |None |";
        QTest::newRow("everything") << 0x1fffu
                                    << "Temperature VCC TX Bias TX Power RX Power |Temperature VCC TX Bias TX Power "
                                       "RX Power |TX Disable TX Fault RX LOS ";
        QTest::newRow("bits above the word") << 0xffffe000u << "None |None |";
    }
    void flagWords()
    {
        QFETCH(uint32_t, flags);
        QTEST(SfpTexts::warningFlags(flags) + '|' + SfpTexts::alarmFlags(flags) + '|' + SfpTexts::statusFlags(flags),
              "texts");
    }
    void measurements_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("temperature") << 0 << 38.46f << QString::fromUtf8("38.5°C");
        QTest::newRow("cold") << 0 << -5.0f << QString::fromUtf8("-5.0°C");
        QTest::newRow("voltage") << 1 << 3.3f << "3.30V";
        QTest::newRow("bias") << 2 << 6.6f << "6.600mA";
        QTest::newRow("rx power") << 4 << 0.0001f << "0.0001mW";
    }
    void measurements()
    {
        QFETCH(int, which);
        QFETCH(float, value);
        QFETCH(QString, text);
        static float SfpDiagnostics::*const members[] = {&SfpDiagnostics::temperature, &SfpDiagnostics::voltage,
                                                         &SfpDiagnostics::txBias, &SfpDiagnostics::txPower,
                                                         &SfpDiagnostics::rxPower};
        SfpDiagnostics set{};
        set.*members[which] = value;
        QCOMPARE(SfpTexts::measurement(set, which), text);
    }

    void dialogValues_data()
    {
        QTest::addColumn<bool>("option");
        QTest::addColumn<int>("word");
        QTest::addColumn<uint32_t>("value");
        QTest::addColumn<QString>("text");
        auto option = [](int word, uint32_t value, const char *text) {
            QTest::addRow("option %d = %u", word, value) << true << word << value << QString(text);
        };
        auto code = [](int word, uint32_t value, const char *text) {
            QTest::addRow("transceiver %d = %u", word, value) << false << word << value << QString(text);
        };
        option(0, 0, "Cooled laser transmitter");
        option(1, 0, "Power Level 2");
        option(2, 0, "Linear receiver output");
        option(3, 0, "Implemented");
        option(3, 2, "Not Implemented"); // only the LOS row knows "inverted"
        option(6, 0, "Implemented");
        option(6, 2, "Implemented, Inverted");
        option(6, 3, "Not Implemented");
        option(13, 1, "Not Implemented");
        code(0, 0, "Yes");
        code(55, 2, "No");
        code(18, 0, "SONET SR");
        code(18, 9, "Unknown");
    }
    void dialogValues()
    {
        QFETCH(bool, option);
        QFETCH(int, word);
        QFETCH(uint32_t, value);
        QFETCH(QString, text);
        QCOMPARE(option ? SfpTexts::optionValue(word, value) : SfpTexts::transceiverValue(word, value), text);
    }

    void fieldText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("terminated") << QByteArray("A2\0\0\0", 5) << "A2";
        QTest::newRow("fills the field") << QByteArray("A2B3C", 5) << "A2B3C";
        QTest::newRow("empty") << QByteArray(5, '\0') << "";
    }
    void fieldText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        // One byte beyond the field that must never be read as part of it.
        const QByteArray guarded = bytes + 'X';
        QCOMPARE(SfpTexts::fieldText(guarded.constData(), size_t(bytes.size())), text);
    }
};

QTEST_APPLESS_MAIN(tst_SfpTexts)
#include "tst_sfptexts.moc"
