// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The simulated device's reading of SFP module memory: one module image built
// byte by byte here, decoded against values worked out by hand (internally
// and externally calibrated), checksum failures, modules without
// diagnostics, the code mappings, and raw pages given in a scenario.

#include "devicephysics.h"
#include "sfpeeprom.h"
#include "sfpmodule.h"

#include <nlohmann/json.hpp>

#include <QtTest>

#include <cstring>

using namespace lqsim;

namespace {

constexpr uint64_t kT0 = 1760000000000ull;

void put(SfpPage &p, size_t offset, const char *text)
{
    std::memcpy(p.data() + offset, text, std::strlen(text));
}

void put16(SfpPage &p, size_t offset, uint16_t v)
{
    p[offset] = uint8_t(v >> 8);
    p[offset + 1] = uint8_t(v);
}

void put32(SfpPage &p, size_t offset, uint32_t v)
{
    put16(p, offset, uint16_t(v >> 16));
    put16(p, offset + 2, uint16_t(v));
}

uint8_t sum(const SfpPage &p, size_t first, size_t last)
{
    unsigned s = 0;
    for (size_t i = first; i <= last; ++i)
        s += p[i];
    return uint8_t(s);
}

void seal(SfpEeprom &e)
{
    e.a0[63] = sum(e.a0, 0, 62);
    e.a0[95] = sum(e.a0, 64, 94);
    e.a2[95] = sum(e.a2, 0, 94);
}

// A 10G SR optic that is also 1000BASE-SX and 1200 MB/s Fibre Channel,
// internally calibrated, with a few flags raised.
SfpEeprom handBuilt()
{
    SfpEeprom e;
    SfpPage &a0 = e.a0;
    const uint8_t head[] = {0x03, 0x04, 0x07, 0x10, 0x00, 0x00, 0x01, 0x40, 0x40, 0x0c, 0x80,
                            0x06, 0x67, 0x02, 0x00, 0x00, 0x08, 0x03, 0x00, 0x1e};
    std::memcpy(a0.data(), head, sizeof head);
    put(a0, 20, "QUILL OPTICS    ");
    a0[37] = 0x00, a0[38] = 0x90, a0[39] = 0x65;
    put(a0, 40, "QO-SFP10G-SR    ");
    put(a0, 56, "1A  ");
    put16(a0, 60, 850);
    a0[64] = 0x00, a0[65] = 0x1a, a0[66] = 5, a0[67] = 7;
    put(a0, 68, "QS1234567       ");
    put(a0, 84, "240229AB");
    a0[92] = 0x68, a0[93] = 0xf0, a0[94] = 0x04;

    SfpPage &a2 = e.a2;
    const uint16_t thresholds[] = {
        0x4b00, 0xfb00, 0x4600, 0x0000, // temperature 75, -5, 70, 0 °C
        36000,  30000,  35000,  31000,  // Vcc 3.6, 3.0, 3.5, 3.1 V
        6000,   1000,   5000,   1500,   // bias 12, 2, 10, 3 mA
        10000,  1000,   8000,   1500,   // TX power 1.0, 0.1, 0.8, 0.15 mW
        12500,  400,    10000,  600,    // RX power 1.25, 0.04, 1.0, 0.06 mW
    };
    for (size_t i = 0; i < 20; ++i)
        put16(a2, 2 * i, thresholds[i]);
    const uint16_t live[] = {0x2680, 33109, 3300, 5600, 4800}; // 38.5 °C, 3.3109 V, 6.6 mA, 0.56, 0.48 mW
    for (size_t i = 0; i < 5; ++i)
        put16(a2, 96 + 2 * i, live[i]);
    a2[110] = 0x82;                 // TX disabled, RX LOS
    a2[112] = 0x40, a2[113] = 0x40; // temperature low alarm, RX power low alarm
    a2[116] = 0x08, a2[117] = 0x80; // bias high warning, RX power high warning
    seal(e);
    return e;
}

// The same module externally calibrated.
SfpEeprom externallyCalibrated()
{
    SfpEeprom e = handBuilt();
    e.a0[92] = 0x58;
    SfpPage &a2 = e.a2;
    put32(a2, 56, 0);          // Rx_PWR(4)
    put32(a2, 60, 0);          // Rx_PWR(3)
    put32(a2, 64, 0x3a800000); // Rx_PWR(2) = 1/1024
    put32(a2, 68, 0x3fc00000); // Rx_PWR(1) = 1.5
    put32(a2, 72, 0xc1a00000); // Rx_PWR(0) = -20
    const uint16_t slopes[] = {0x0200, 0xff9c, 0x00c0, 0x000c, 0x0100, 0xfd00, 0x0080, 0x0032};
    for (size_t i = 0; i < 8; ++i)
        put16(a2, 76 + 2 * i, slopes[i]); // bias 2/-100, TX 0.75/12, T 1/-768, V 0.5/50
    const uint16_t live[] = {0x2980, 0xfa00, 1650, 7168, 2000};
    for (size_t i = 0; i < 5; ++i)
        put16(a2, 96 + 2 * i, live[i]);
    put16(a2, 0, 0x4e00);  // temperature high alarm
    put16(a2, 34, 100);    // RX power low alarm
    seal(e);
    return e;
}

SfpPortInfo decoded(const SfpEeprom &e)
{
    SfpPortInfo info;
    std::memset(&info, 0xa5, sizeof info); // every field must be written
    decodeSfpEeprom(e, &info);
    return info;
}

QList<int> wordsEqualTo(const uint32_t *words, int n, uint32_t value)
{
    QList<int> out;
    for (int k = 0; k < n; ++k) {
        if (words[k] == value)
            out << k;
    }
    return out;
}

} // namespace

class tst_SfpEeprom : public QObject {
    Q_OBJECT
private slots:
    void identityAndCodes()
    {
        const SfpPortInfo m = decoded(handBuilt());
        QCOMPARE(m.present, uint8_t(1));
        QCOMPARE(QByteArray(m.vendorName), QByteArray("QUILL OPTICS"));
        QCOMPARE(m.vendorOui, 0x009065u);
        QCOMPARE(QByteArray(m.model), QByteArray("QO-SFP10G-SR"));
        QCOMPARE(QByteArray(m.revision), QByteArray("1A"));
        QCOMPARE(QByteArray(m.dateCode), QByteArray("240229AB"));
        QCOMPARE(QByteArray(m.serialNumber), QByteArray("QS1234567"));
        QCOMPARE(m.identifier, 3u);
        QCOMPARE(m.extendedIdentifier, 4u);
        QCOMPARE(m.connector, 7u);
        QCOMPARE(m.encoding, 6u);
        QCOMPARE(m.nominalBitRate, 103u);
        QCOMPARE(m.rateIdentifier, 2u);
        QCOMPARE(m.bitRateMarginUpper, 5u);
        QCOMPARE(m.bitRateMarginLower, 7u);
        QCOMPARE(m.wavelength, 850u);
        QCOMPARE(m.diagnosticMonitoringType, 0u);
        QCOMPARE(m.sff8472Compliance, 4u);
        QCOMPARE(m.lengthSingleMode, 0u);
        QCOMPARE(m.lengthOm2, 80u);
        QCOMPARE(m.lengthOm1, 30u);
        QCOMPARE(m.lengthCopper, 0u);
        QCOMPARE(m.lengthOm3, 300u);
        // 10G SR, 1000BASE-SX, FC short distance, SN, M6, M5, 1200 MB/s; SONET SR.
        QCOMPARE(wordsEqualTo(m.transceiver, LQ_SFP_TRANSCEIVER_WORDS, 0),
                 QList<int>({3, 18, 26, 33, 37, 47, 48, 51}));
        QCOMPARE(wordsEqualTo(m.transceiver, LQ_SFP_TRANSCEIVER_WORDS, 1).size(), 48);
        const uint32_t options[] = {1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1};
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(m.options), sizeof m.options),
                 QByteArray(reinterpret_cast<const char *>(options), sizeof options));
    }

    void calibration_data()
    {
        QTest::addColumn<bool>("external");
        QTest::addColumn<uint32_t>("type");
        QTest::addColumn<float>("temperature");
        QTest::addColumn<float>("voltage");
        QTest::addColumn<float>("bias");
        QTest::addColumn<float>("txPower");
        QTest::addColumn<float>("rxPower");
        QTest::addColumn<float>("highAlarmTemperature");
        QTest::addColumn<float>("lowAlarmRxPower");
        QTest::newRow("internal") << false << 0u << 38.5f << 3.3109f << 6.6f << 0.56f << 0.48f << 75.0f << 0.04f;
        // T 10624 - 768 = 9856/256; V 0.5·64000 + 50 = 32050; bias 2·1650 - 100 = 3200 × 2 µA;
        // TX 0.75·7168 + 12 = 5388; RX 2000²/1024 + 1.5·2000 - 20 = 6886.25; RX LA 100 -> 139.765625.
        QTest::newRow("external") << true << 2u << 38.5f << 3.205f << 6.4f << 0.5388f << 0.688625f << 75.0f
                                  << 0.0139765625f;
    }
    void calibration()
    {
        QFETCH(bool, external);
        QFETCH(uint32_t, type);
        const SfpPortInfo m = decoded(external ? externallyCalibrated() : handBuilt());
        QCOMPARE(m.diagnosticMonitoringType, type);
        QFETCH(float, temperature);
        QFETCH(float, voltage);
        QFETCH(float, bias);
        QFETCH(float, txPower);
        QFETCH(float, rxPower);
        QFETCH(float, highAlarmTemperature);
        QFETCH(float, lowAlarmRxPower);
        QCOMPARE(m.value.temperature, temperature);
        QCOMPARE(m.value.voltage, voltage);
        QCOMPARE(m.value.txBias, bias);
        QCOMPARE(m.value.txPower, txPower);
        QCOMPARE(m.value.rxPower, rxPower);
        QCOMPARE(m.highAlarm.temperature, highAlarmTemperature);
        QCOMPARE(m.lowAlarm.rxPower, lowAlarmRxPower);
        if (!external) {
            QCOMPARE(m.lowAlarm.temperature, -5.0f);
            QCOMPARE(m.highWarning.temperature, 70.0f);
            QCOMPARE(m.lowWarning.voltage, 3.1f);
            QCOMPARE(m.highAlarm.txBias, 12.0f);
            QCOMPARE(m.lowWarning.txPower, 0.15f);
            QCOMPARE(m.highWarning.rxPower, 1.0f);
        }
        const uint32_t flags = LQ_SFP_ALARM_TEMPERATURE | LQ_SFP_ALARM_RX_POWER | LQ_SFP_WARNING_BIAS |
                               LQ_SFP_WARNING_RX_POWER | LQ_SFP_STATUS_TX_DISABLE | LQ_SFP_STATUS_RX_LOS;
        QCOMPARE(m.flags, flags);
    }

    void encodersInvertTheCalibration_data()
    {
        QTest::addColumn<bool>("external");
        QTest::newRow("internal") << false;
        QTest::newRow("external") << true;
    }
    void encodersInvertTheCalibration()
    {
        QFETCH(bool, external);
        SfpEeprom e = external ? externallyCalibrated() : handBuilt();
        const SfpDiagnostics wanted{-12.25f, 3.2f, 41.0f, 0.89f, 0.61f};
        setSfpMeasurements(e, wanted);
        setSfpThresholds(e, SfpThreshold::LowWarning, wanted);
        for (const SfpDiagnostics &got : {sfpMeasurements(e), sfpThresholds(e, SfpThreshold::LowWarning)}) {
            // Within one count of the coarsest calibration step.
            QVERIFY(std::fabs(got.temperature - wanted.temperature) <= 1.0f / 256);
            QVERIFY(std::fabs(got.voltage - wanted.voltage) <= 0.0001f);
            QVERIFY(std::fabs(got.txBias - wanted.txBias) <= 0.004f);
            QVERIFY(std::fabs(got.txPower - wanted.txPower) <= 0.0001f);
            QVERIFY(std::fabs(got.rxPower - wanted.rxPower) <= 0.001f);
        }
    }

    void monitoringTypeKeepsThresholds()
    {
        SfpEeprom e = handBuilt();
        std::memset(e.a2.data() + 56, 0, 36); // no constants yet
        setSfpMonitoringType(e, 3);
        sealSfpEeprom(e);
        QCOMPARE(e.a0[92], uint8_t(0x50)); // DDM, externally calibrated, OMA
        const SfpPortInfo m = decoded(e);
        QCOMPARE(m.diagnosticMonitoringType, 3u);
        QCOMPARE(m.highAlarm.temperature, 75.0f);
        QCOMPARE(m.lowAlarm.txPower, 0.1f);
        QCOMPARE(m.highAlarm.rxPower, 1.25f);
        setSfpMonitoringType(e, 4);
        QCOMPARE(e.a0[92], uint8_t(0x10));
    }

    void damagedOrMissing_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("offset");
        QTest::addColumn<uint8_t>("value");
        QTest::addColumn<bool>("baseRead");
        QTest::addColumn<bool>("extendedRead");
        QTest::addColumn<uint32_t>("type");
        QTest::newRow("base checksum") << 0 << 20 << uint8_t('X') << false << true << 0u;
        QTest::newRow("extended checksum") << 0 << 70 << uint8_t('X') << true << false << 4u;
        QTest::newRow("diagnostics checksum") << 2 << 5 << uint8_t(0x12) << true << true << 4u;
        QTest::newRow("live values are not summed") << 2 << 100 << uint8_t(0x12) << true << true << 0u;
        QTest::newRow("no diagnostics, sealed") << 0 << 92 << uint8_t(0x28) << true << true << 4u;
    }
    void damagedOrMissing()
    {
        QFETCH(int, page);
        QFETCH(int, offset);
        QFETCH(uint8_t, value);
        QFETCH(bool, baseRead);
        QFETCH(bool, extendedRead);
        QFETCH(uint32_t, type);
        SfpEeprom e = handBuilt();
        (page == 0 ? e.a0 : e.a2)[size_t(offset)] = value;
        if (QTest::currentDataTag() == QByteArray("no diagnostics, sealed"))
            seal(e);
        QCOMPARE(sfpBaseChecksumOk(e), baseRead);
        QCOMPARE(sfpExtendedChecksumOk(e), extendedRead);
        const SfpPortInfo m = decoded(e);
        QCOMPARE(m.present, uint8_t(1));
        QCOMPARE(QByteArray(m.vendorName), baseRead ? QByteArray("QUILL OPTICS") : QByteArray());
        QCOMPARE(m.identifier, baseRead ? 3u : 0u);
        QCOMPARE(m.lengthOm3, baseRead ? 300u : 0u);
        QCOMPARE(m.transceiver[3], baseRead ? 0u : 1u);
        QCOMPARE(QByteArray(m.serialNumber), extendedRead ? QByteArray("QS1234567") : QByteArray());
        QCOMPARE(m.options[4], extendedRead ? 0u : 1u);
        QCOMPARE(m.diagnosticMonitoringType, type);
        if (type == 4) {
            QCOMPARE(m.flags, 0u);
            QCOMPARE(m.value.temperature, 0.0f);
            QCOMPARE(m.highAlarm.temperature, 0.0f);
        } else {
            QVERIFY(m.flags != 0);
        }
    }

    void singleModeLength_data()
    {
        QTest::addColumn<uint32_t>("metres");
        QTest::addColumn<uint8_t>("km");
        QTest::addColumn<uint8_t>("hundreds");
        QTest::addColumn<uint32_t>("reported");
        QTest::newRow("unspecified") << 0u << uint8_t(0) << uint8_t(0) << 0u;
        QTest::newRow("1.5 km") << 1500u << uint8_t(2) << uint8_t(15) << 1500u;
        QTest::newRow("10 km") << 10000u << uint8_t(10) << uint8_t(100) << 10000u;
        QTest::newRow("80 km") << 80000u << uint8_t(80) << uint8_t(0xff) << 80000u;
        QTest::newRow("beyond 254 km") << 0xfffffffeu << uint8_t(0xff) << uint8_t(0xff) << 0xfffffffeu;
        QTest::newRow("too long for the km byte") << 300000u << uint8_t(0xff) << uint8_t(0xff) << 0xfffffffeu;
        QTest::newRow("beyond 25.4 km") << 0xffffffffu << uint8_t(0) << uint8_t(0xff) << 0xffffffffu;
    }
    void singleModeLength()
    {
        QFETCH(uint32_t, metres);
        QFETCH(uint8_t, km);
        QFETCH(uint8_t, hundreds);
        QFETCH(uint32_t, reported);
        SfpEeprom e = handBuilt();
        setSfpLength(e, sfpa0::LengthKm, metres);
        QCOMPARE(e.a0[14], km);
        QCOMPARE(e.a0[15], hundreds);
        seal(e);
        QCOMPARE(decoded(e).lengthSingleMode, reported);
    }

    void otherLengths_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<uint32_t>("metres");
        QTest::addColumn<uint8_t>("stored");
        QTest::addColumn<uint32_t>("reported");
        QTest::newRow("OM2 rounded to 10 m") << 16 << 82u << uint8_t(8) << 80u;
        QTest::newRow("OM1 beyond 2.54 km") << 17 << 0xffffffffu << uint8_t(0xff) << 0xffffffffu;
        QTest::newRow("OM3 too long for the byte") << 19 << 3000u << uint8_t(0xff) << 0xffffffffu;
        QTest::newRow("copper beyond 254 m") << 18 << 0xffffffffu << uint8_t(0xff) << 0xffffffffu;
    }
    void otherLengths()
    {
        QFETCH(int, offset);
        QFETCH(uint32_t, metres);
        QFETCH(uint8_t, stored);
        QFETCH(uint32_t, reported);
        SfpEeprom e = handBuilt();
        setSfpLength(e, size_t(offset), metres);
        QCOMPARE(e.a0[size_t(offset)], stored);
        seal(e);
        const SfpPortInfo m = decoded(e);
        const uint32_t byOffset[] = {m.lengthOm2, m.lengthOm1, m.lengthCopper, m.lengthOm3};
        QCOMPARE(byOffset[offset - 16], reported);
    }

    void codeBytes_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<uint8_t>("byte");
        QTest::addColumn<int>("extra"); // second byte for the SONET rows: A0h byte 5
        QTest::addColumn<QString>("field");
        QTest::addColumn<uint32_t>("reported");
        auto row = [](const char *name, int offset, uint8_t byte, int extra, const char *field, uint32_t reported) {
            QTest::newRow(name) << offset << byte << extra << QString(field) << reported;
        };
        row("connector MPO 2x16", 2, 0x0d, -1, "connector", 12);
        row("connector reserved 0Eh", 2, 0x0e, -1, "connector", 0x7f);
        row("connector HSSDC II", 2, 0x20, -1, "connector", 13);
        row("connector RJ45", 2, 0x22, -1, "connector", 15);
        row("connector no separable", 2, 0x23, -1, "connector", 0x23);
        row("connector vendor", 2, 0x91, -1, "connector", 0x91);
        row("SONET SR", 4, 0x00, 0x10, "sonet", 0);
        row("SONET SR-1", 4, 0x10, 0x00, "sonet", 1);
        row("SONET IR-1", 4, 0x12, 0x00, "sonet", 2);
        row("SONET IR-2", 4, 0x08, 0x02, "sonet", 3);
        row("SONET LR-1", 4, 0x14, 0x00, "sonet", 4);
        row("SONET LR-2", 4, 0x08, 0x40, "sonet", 5);
        row("SONET LR-3", 4, 0x1c, 0x00, "sonet", 6);
        row("SONET IR without specifier", 4, 0x02, 0x00, "sonet", 7);
        row("LOS pin inverted", 65, 0x04, -1, "los", 2);
        row("no LOS pin", 65, 0x18, -1, "los", 1);
        row("monitoring internal OMA", 92, 0x60, -1, "type", 1);
        row("monitoring external average", 92, 0x58, -1, "type", 2);
        row("monitoring without calibration bits", 92, 0x48, -1, "type", 0);
        row("rate above 25.4 GBd", 12, 0xff, -1, "rate", 13); // byte 66 = 5: 12.5 -> 13
    }
    void codeBytes()
    {
        QFETCH(int, offset);
        QFETCH(uint8_t, byte);
        QFETCH(int, extra);
        QFETCH(QString, field);
        QFETCH(uint32_t, reported);
        SfpEeprom e = handBuilt();
        e.a0[size_t(offset)] = byte;
        if (extra >= 0)
            e.a0[5] = uint8_t(extra);
        seal(e);
        const SfpPortInfo m = decoded(e);
        const std::map<QString, uint32_t> fields{{"connector", m.connector},
                                                 {"sonet", m.transceiver[18]},
                                                 {"los", m.options[6]},
                                                 {"type", m.diagnosticMonitoringType},
                                                 {"rate", m.nominalBitRate}};
        QCOMPARE(fields.at(field), reported);
        if (field == "rate") // byte 67 becomes a margin both ways
            QVERIFY(m.bitRateMarginUpper == 7 && m.bitRateMarginLower == 7);
    }

    void wordsRoundTrip()
    {
        // Each word set on its own lands on a bit of its own and reads back.
        for (int k = 0; k < LQ_SFP_TRANSCEIVER_WORDS + LQ_SFP_OPTION_WORDS; ++k) {
            const bool option = k >= LQ_SFP_TRANSCEIVER_WORDS;
            const int word = option ? k - LQ_SFP_TRANSCEIVER_WORDS : k;
            if (!option && word == 18)
                continue; // a code, not a flag
            SfpEeprom e;
            std::array<uint32_t, LQ_SFP_TRANSCEIVER_WORDS> codes;
            std::array<uint32_t, LQ_SFP_OPTION_WORDS> options;
            codes.fill(1);
            options.fill(1);
            codes[18] = 0;
            (option ? options[size_t(word)] : codes[size_t(word)]) = 0;
            setSfpTransceiverWords(e, codes);
            setSfpOptionWords(e, options);
            seal(e);
            const SfpPortInfo m = decoded(e);
            QList<int> yes = option ? wordsEqualTo(m.options, LQ_SFP_OPTION_WORDS, 0)
                                    : wordsEqualTo(m.transceiver, LQ_SFP_TRANSCEIVER_WORDS, 0);
            yes.removeAll(option ? -1 : 18);
            QCOMPARE(yes, QList<int>({word}));
        }
    }

    void statusNeedsSoftMonitoring_data()
    {
        QTest::addColumn<uint8_t>("enhanced");
        QTest::addColumn<uint32_t>("flags");
        QTest::newRow("soft monitoring") << uint8_t(0xf0) << uint32_t(LQ_SFP_STATUS_TX_DISABLE | LQ_SFP_STATUS_TX_FAULT);
        QTest::newRow("pins only") << uint8_t(0x80) << 0u;
    }
    void statusNeedsSoftMonitoring()
    {
        QFETCH(uint8_t, enhanced);
        QFETCH(uint32_t, flags);
        SfpModuleSettings module;
        QVERIFY(sfpModulePreset("10GBASE-SR", &module));
        module.eeprom.a0[93] = enhanced;
        sealSfpEeprom(module.eeprom);
        module.wander = 0;
        module.txFault = true;
        SfpConditions c;
        c.txDisabled = true;
        c.uptimeSeconds = 600;
        SfpPortInfo m;
        fillSfpPortInfo(module, c, &m);
        // The laser is off: TX power under its alarm threshold either way.
        QCOMPARE(m.flags & ~uint32_t(LQ_SFP_ALARM_TX_POWER | LQ_SFP_WARNING_TX_POWER), flags);
        QVERIFY(m.flags & LQ_SFP_ALARM_TX_POWER);
    }

    void scenarioRawPages()
    {
        const SfpEeprom e = externallyCalibrated();
        auto hex = [](const SfpPage &p) {
            return QByteArray(reinterpret_cast<const char *>(p.data()), 128).toHex(' ').toStdString();
        };
        nlohmann::json device = {{"sfp", {{"wander", 0}, {"b", {{"a0", hex(e.a0)}, {"a2", hex(e.a2)}}}}}};
        std::string error;
        const auto settings = DevicePhysics::parse(device, &error);
        QVERIFY2(settings, error.c_str());
        DevicePhysics physics(settings, LQ_CAP_CONFIGURABLE | LQ_CAP_SFP | LQ_CAP_STATS_PORTS, 3, kT0);
        DeviceFeatures f{};
        f.tap_mode = 1;
        physics.configure(f, DevicePortsSpeed{}, kT0);
        LinkStatus l;
        physics.linkStatus(kT0 + 1000, &l);
        const SfpPortInfo &m = l.sfp.portB;
        QCOMPARE(QByteArray(m.vendorName), QByteArray("QUILL OPTICS"));
        QCOMPARE(QByteArray(m.serialNumber), QByteArray("QS1234567")); // the page's, not made up
        QCOMPARE(m.diagnosticMonitoringType, 2u);
        // The page's readings become the nominal ones, measured afresh; the
        // status bits are the module's own (laser on, light in), not the page's.
        QCOMPARE(m.value.txBias, 6.4f);
        QCOMPARE(m.value.rxPower, 0.688625f);
        QCOMPARE(m.flags & uint32_t(LQ_SFP_STATUS_TX_DISABLE | LQ_SFP_STATUS_RX_LOS), 0u);
        QCOMPARE(QByteArray(l.sfp.portA.model), QByteArray("NP-10G-SR85"));

        device["sfp"]["b"]["a0"] = "03 04 zz";
        QVERIFY(!DevicePhysics::parse(device, &error));
        QCOMPARE(QString::fromStdString(error), QString("sfp.b.a0: must be hex bytes (found 'z')"));
    }
};

QTEST_GUILESS_MAIN(tst_SfpEeprom)
#include "tst_sfpeeprom.moc"
