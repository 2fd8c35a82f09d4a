// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The simulated device's reading of SFP module memory: a module image built
// byte by byte here, decoded against values worked out by hand.

#include "devicephysics.h"
#include "sfpeeprom.h"
#include "sfpmodule.h"

#include <nlohmann/json.hpp>

#include <QtTest>

#include <cstring>
#include <map>
#include <numeric>
#include <tuple>

using namespace lqsim;

namespace {

const uint32_t kFlags = LQ_SFP_ALARM_TEMPERATURE | LQ_SFP_ALARM_RX_POWER | LQ_SFP_WARNING_BIAS |
                        LQ_SFP_WARNING_RX_POWER | LQ_SFP_STATUS_TX_DISABLE | LQ_SFP_STATUS_RX_LOS;

void put(SfpPage &p, size_t offset, const char *text)
{
    std::memcpy(p.data() + offset, text, std::strlen(text));
}

void put16(SfpPage &p, size_t offset, std::initializer_list<uint16_t> words)
{
    for (uint16_t v : words)
        p[offset++] = uint8_t(v >> 8), p[offset++] = uint8_t(v);
}

// The three checksums, summed here rather than by the code under test.
void seal(SfpEeprom &e)
{
    auto sum = [](const SfpPage &p, size_t first, size_t last) {
        return uint8_t(std::accumulate(p.begin() + first, p.begin() + last + 1, 0u));
    };
    e.a0[63] = sum(e.a0, 0, 62), e.a0[95] = sum(e.a0, 64, 94), e.a2[95] = sum(e.a2, 0, 94);
}

// A 10G SR optic that is also 1000BASE-SX and 1200 MB/s Fibre Channel,
// internally calibrated, with the flags of kFlags raised.
SfpEeprom handBuilt()
{
    SfpEeprom e;
    SfpPage &a0 = e.a0, &a2 = e.a2;
    const uint8_t head[] = {0x03, 0x04, 0x07, 0x10, 0x00, 0x00, 0x01, 0x40, 0x40, 0x0c,
                            0x80, 0x06, 0x67, 0x02, 0x00, 0x00, 0x08, 0x03, 0x00, 0x1e};
    std::memcpy(a0.data(), head, sizeof head);
    put(a0, 20, "QUILL OPTICS    ");
    a0[37] = 0x00, a0[38] = 0x90, a0[39] = 0x65;
    put(a0, 40, "QO-SFP10G-SR    ");
    put(a0, 56, "1A  ");
    put16(a0, 60, {850});
    a0[64] = 0x00, a0[65] = 0x1a, a0[66] = 5, a0[67] = 7;
    put(a0, 68, "QS1234567       ");
    put(a0, 84, "240229AB");
    a0[92] = 0x68, a0[93] = 0xf0, a0[94] = 0x04;
    // High alarm, low alarm, high warning, low warning of each measurement.
    put16(a2, 0, {0x4b00, 0xfb00, 0x4600, 0x0000, // temperature 75, -5, 70, 0 °C
                  36000, 30000, 35000, 31000,     // Vcc 3.6, 3.0, 3.5, 3.1 V
                  6000, 1000, 5000, 1500,         // bias 12, 2, 10, 3 mA
                  10000, 1000, 8000, 1500,        // TX power 1.0, 0.1, 0.8, 0.15 mW
                  12500, 400, 10000, 600});       // RX power 1.25, 0.04, 1.0, 0.06 mW
    put16(a2, 96, {0x2680, 33109, 3300, 5600, 4800}); // 38.5 °C, 3.3109 V, 6.6 mA, 0.56, 0.48 mW
    a2[110] = 0x82;                 // TX disabled, RX LOS
    a2[112] = 0x40, a2[113] = 0x40; // temperature low alarm, RX power low alarm
    a2[116] = 0x08, a2[117] = 0x80; // bias high warning, RX power high warning
    seal(e);
    return e;
}

// The same module externally calibrated: RX power ad²/1024 + 1.5·ad - 20,
// bias 2·ad - 100, TX power 0.75·ad + 12, temperature ad - 768, Vcc 0.5·ad + 50.
SfpEeprom externallyCalibrated()
{
    SfpEeprom e = handBuilt();
    e.a0[92] = 0x58;
    put16(e.a2, 56, {0, 0, 0, 0, 0x3a80, 0, 0x3fc0, 0, 0xc1a0, 0}); // floats Rx_PWR(4) ... Rx_PWR(0)
    put16(e.a2, 76, {0x0200, 0xff9c, 0x00c0, 0x000c, 0x0100, 0xfd00, 0x0080, 0x0032});
    put16(e.a2, 96, {0x2980, 0xfa00, 1650, 7168, 2000});
    put16(e.a2, 0, {0x4e00}); // temperature high alarm
    put16(e.a2, 34, {100});   // RX power low alarm
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

QList<float> set(const SfpDiagnostics &d)
{
    return {d.temperature, d.voltage, d.txBias, d.txPower, d.rxPower};
}

// Transceiver words, then option words (from 56 on), that are not 1 ("lacks it"): the index
// where the word is 0 ("has it"), index=value for any other value.
QStringList marked(const SfpPortInfo &m)
{
    QStringList out;
    for (int k = 0; k < LQ_SFP_TRANSCEIVER_WORDS + LQ_SFP_OPTION_WORDS; ++k) {
        const uint32_t v = k < LQ_SFP_TRANSCEIVER_WORDS ? m.transceiver[k] : m.options[k - LQ_SFP_TRANSCEIVER_WORDS];
        if (v != 1)
            out << (v ? QStringLiteral("%1=%2").arg(k).arg(v) : QString::number(k));
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
        QCOMPARE(QByteArrayList({m.vendorName, m.model, m.revision, m.dateCode, m.serialNumber}),
                 QByteArrayList({"QUILL OPTICS", "QO-SFP10G-SR", "1A", "240229AB", "QS1234567"}));
        QCOMPARE(QList<uint32_t>({m.present, m.vendorOui, m.identifier, m.extendedIdentifier, m.connector, m.encoding,
                                  m.nominalBitRate, m.rateIdentifier, m.bitRateMarginUpper, m.bitRateMarginLower,
                                  m.wavelength, m.diagnosticMonitoringType, m.sff8472Compliance, m.lengthSingleMode,
                                  m.lengthOm2, m.lengthOm1, m.lengthCopper, m.lengthOm3}),
                 QList<uint32_t>({1, 0x009065, 3, 4, 7, 6, 103, 2, 5, 7, 850, 0, 4, 0, 80, 30, 0, 300}));
        // 10G SR, 1000BASE-SX, FC short distance, SN, M6, M5, 1200 MB/s; SONET SR; the options of
        // TX_DISABLE, TX_FAULT and LOS pins, alarm and warning flags and soft monitoring.
        QCOMPARE(marked(m).join(' '), "3 18 26 33 37 47 48 51 60 61 62 63 64 65 66");
    }

    // The module as built, externally calibrated, and made externally calibrated by the encoder,
    // which gives unit constants to a module without any and keeps the thresholds.
    void calibration_data()
    {
        QTest::addColumn<int>("image");
        QTest::addColumn<uint8_t>("typeByte"); // A0h byte 92
        QTest::addColumn<uint32_t>("type");
        // Temperature, Vcc, bias, TX and RX power of the values, then of the high
        // alarm, low alarm, high warning and low warning thresholds.
        QTest::addColumn<QList<float>>("sets");
        const QList<float> internal{38.5f, 3.3109f, 6.6f, 0.56f, 0.48f, 75.0f, 3.6f, 12.0f, 1.0f, 1.25f,
                                    -5.0f, 3.0f,    2.0f, 0.1f,  0.04f, 70.0f, 3.5f, 10.0f, 0.8f, 1.0f,
                                    0.0f,  3.1f,    3.0f, 0.15f, 0.06f};
        QTest::newRow("internal") << 0 << uint8_t(0x68) << 0u << internal;
        // Values: T (10624 - 768) / 256, V 0.5·64000 + 50, bias 2·1650 - 100,
        // TX 0.75·7168 + 12, RX 2000²/1024 + 1.5·2000 - 20 = 6886.25 counts.
        QTest::newRow("external") << 1 << uint8_t(0x58) << 2u
                                  << QList<float>{38.5f, 3.205f, 6.4f, 0.5388f, 0.688625f,
                                                  75.0f, 1.805f, 23.8f, 0.7512f, 17.1317890625f,
                                                  -8.0f, 1.505f, 3.8f, 0.0762f, 0.0139765625f,
                                                  67.0f, 1.755f, 19.8f, 0.6012f, 11.263625f,
                                                  -3.0f, 1.555f, 5.8f, 0.1137f, 0.12315625f};
        QTest::newRow("made external, OMA") << 2 << uint8_t(0x50) << 3u << internal;
    }
    void calibration()
    {
        QFETCH(int, image);
        QFETCH(uint8_t, typeByte);
        SfpEeprom e = image == 1 ? externallyCalibrated() : handBuilt();
        if (image == 2) {
            std::memset(e.a2.data() + 56, 0, 36); // no constants
            setSfpMonitoringType(e, 3);
            seal(e);
        }
        QCOMPARE(e.a0[92], typeByte);
        const SfpPortInfo m = decoded(e);
        QTEST(m.diagnosticMonitoringType, "type");
        QTEST(set(m.value) + set(m.highAlarm) + set(m.lowAlarm) + set(m.highWarning) + set(m.lowWarning), "sets");
        QCOMPARE(m.flags, kFlags);
        // The encoders invert the calibration, within one count of its coarsest step.
        const SfpDiagnostics wanted{-12.25f, 3.2f, 41.0f, 0.89f, 0.61f};
        setSfpMeasurements(e, wanted);
        setSfpThresholds(e, SfpThreshold::LowWarning, wanted);
        const float tolerance[] = {1.0f / 256, 0.0001f, 0.004f, 0.0001f, 0.001f};
        for (const SfpDiagnostics &got : {sfpMeasurements(e), sfpThresholds(e, SfpThreshold::LowWarning)}) {
            for (int i = 0; i < 5; ++i)
                QVERIFY2(std::fabs(set(got)[i] - set(wanted)[i]) <= tolerance[i], qPrintable(QString::number(i)));
        }
        setSfpMonitoringType(e, 4); // no diagnostics: the other bits stay
        QCOMPARE(e.a0[92], uint8_t(typeByte & ~0x40));
    }

    // A bad checksum leaves the fields it covers unread; diagnostics need all three.
    void damagedOrMissing_data()
    {
        QTest::addColumn<int>("offset"); // from 256 on in A2h
        QTest::addColumn<uint8_t>("value");
        QTest::addColumn<bool>("reseal");
        QTest::addColumn<QString>("checksums"); // base, extended
        // Vendor | identifier, OM3 length, 10G SR word | serial number, TX_DISABLE
        // option | monitoring type, flags, temperature high alarm and value.
        QTest::addColumn<QString>("read");
        const char *all = "QUILL OPTICS|3 300 0|QS1234567 0|0 5777 75 38.5";
        const char *base = "QUILL OPTICS|3 300 0|QS1234567 0|4 0 0 0";
        QTest::newRow("base") << 20 << uint8_t('X') << false << "bad ok" << "|0 0 1|QS1234567 0|0 5777 75 38.5";
        QTest::newRow("extended") << 70 << uint8_t('X') << false << "ok bad" << "QUILL OPTICS|3 300 0| 1|4 0 0 0";
        QTest::newRow("diagnostics") << 256 + 5 << uint8_t(0x12) << false << "ok ok" << base;
        QTest::newRow("live values are not summed") << 256 + 100 << uint8_t(0x12) << false << "ok ok" << all;
        QTest::newRow("no diagnostics, sealed") << 92 << uint8_t(0x28) << true << "ok ok" << base;
    }
    void damagedOrMissing()
    {
        QFETCH(int, offset);
        QFETCH(uint8_t, value);
        QFETCH(bool, reseal);
        SfpEeprom e = handBuilt();
        (offset < 256 ? e.a0 : e.a2)[size_t(offset % 256)] = value;
        if (reseal)
            seal(e);
        QTEST(QString(sfpBaseChecksumOk(e) ? "ok " : "bad ") + (sfpExtendedChecksumOk(e) ? "ok" : "bad"), "checksums");
        const SfpPortInfo m = decoded(e);
        QCOMPARE(m.present, uint8_t(1));
        QTEST(QString::asprintf("%s|%u %u %u|%s %u|%u %u %g %g", m.vendorName, m.identifier, m.lengthOm3,
                                m.transceiver[3], m.serialNumber, m.options[4], m.diagnosticMonitoringType, m.flags,
                                double(m.highAlarm.temperature), double(m.value.temperature)),
              "read");
    }

    // Code and length bytes of A0h, the lengths written by the encoder first.
    void codeBytes_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("bytes"); // in hex, from the offset on
        QTest::addColumn<uint32_t>("reported");
        QTest::addColumn<qint64>("metres"); // encoded, or -1: the bytes are written as they are
        auto codes = [](const char *name, int offset, std::initializer_list<std::pair<const char *, uint32_t>> cases) {
            for (const auto &[bytes, reported] : cases)
                QTest::addRow("%s %s", name, bytes) << offset << QByteArray(bytes) << reported << qint64(-1);
        };
        auto lengths = [](const char *name, int offset,
                          std::initializer_list<std::tuple<uint32_t, const char *, uint32_t>> cases) {
            for (const auto &[metres, stored, reported] : cases)
                QTest::addRow("%s %u m", name, metres) << offset << QByteArray(stored) << reported << qint64(metres);
        };
        // MPO 2x16, reserved 0Eh, HSSDC II, RJ45, no separable connector, vendor specific.
        codes("connector", 2, {{"0d", 12}, {"0e", 0x7f}, {"20", 13}, {"22", 15}, {"23", 0x23}, {"91", 0x91}});
        // SR, SR-1, IR-1, IR-2, LR-1, LR-2, LR-3, IR without specifier.
        codes("sonet", 4,
              {{"0010", 0}, {"1000", 1}, {"1200", 2}, {"0802", 3}, {"1400", 4}, {"0840", 5}, {"1c00", 6}, {"0200", 7}});
        codes("los", 65, {{"04", 2}, {"18", 1}}); // inverted; no LOS pin
        codes("monitoring", 92, {{"60", 1}, {"58", 2}, {"48", 0}}); // internal OMA, external average, no bits
        codes("rate above 25.4 GBd", 12, {{"ff", 13}});             // byte 66 = 5: 12.5 -> 13
        // Single mode: unspecified, in 100 m, in km, beyond 254 km, too long for the km byte, beyond 25.4 km.
        lengths("single mode", 14,
                {{0, "0000", 0}, {1500, "020f", 1500}, {10000, "0a64", 10000}, {80000, "50ff", 80000},
                 {0xfffffffe, "ffff", 0xfffffffe}, {300000, "ffff", 0xfffffffe}, {0xffffffff, "00ff", 0xffffffff}});
        lengths("OM2", 16, {{82, "08", 80}}); // rounded to 10 m
        lengths("OM1", 17, {{0xffffffff, "ff", 0xffffffff}});
        lengths("OM3", 19, {{3000, "ff", 0xffffffff}}); // too long for the byte
        lengths("copper", 18, {{0xffffffff, "ff", 0xffffffff}});
    }
    void codeBytes()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, metres);
        SfpEeprom e = handBuilt();
        const QByteArray raw = QByteArray::fromHex(bytes);
        if (metres < 0) {
            std::memcpy(e.a0.data() + offset, raw.constData(), size_t(raw.size()));
        } else {
            setSfpLength(e, size_t(offset), uint32_t(metres));
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(e.a0.data()) + offset, raw.size()), raw);
        }
        seal(e);
        const SfpPortInfo m = decoded(e);
        const std::map<int, uint32_t> fields{
            {2, m.connector},  {4, m.transceiver[18]}, {12, m.nominalBitRate}, {14, m.lengthSingleMode},
            {16, m.lengthOm2}, {17, m.lengthOm1},      {18, m.lengthCopper},   {19, m.lengthOm3},
            {65, m.options[6]}, {92, m.diagnosticMonitoringType}};
        QTEST(fields.at(offset), "reported");
        if (offset == 12) // byte 67 becomes a margin both ways
            QVERIFY(m.bitRateMarginUpper == 7 && m.bitRateMarginLower == 7);
    }

    // Each word set on its own lands on a bit of its own and reads back.
    void wordsRoundTrip()
    {
        for (int k = 0; k < LQ_SFP_TRANSCEIVER_WORDS + LQ_SFP_OPTION_WORDS; ++k) {
            std::array<uint32_t, LQ_SFP_TRANSCEIVER_WORDS> codes;
            std::array<uint32_t, LQ_SFP_OPTION_WORDS> options;
            codes.fill(1), options.fill(1), codes[18] = 0; // word 18 is a code: SONET SR
            (k < LQ_SFP_TRANSCEIVER_WORDS ? codes[size_t(k)] : options[size_t(k - LQ_SFP_TRANSCEIVER_WORDS)]) = 0;
            SfpEeprom e;
            setSfpTransceiverWords(e, codes);
            setSfpOptionWords(e, options);
            seal(e);
            SfpPortInfo m = decoded(e);
            m.transceiver[18] = 1; // follows from the OC codes
            QCOMPARE(marked(m), k == 18 ? QStringList() : QStringList(QString::number(k)));
        }
    }

    // Status bits are readable only from a module with soft monitoring of the pins; the presets,
    // which have it, set them in tst_devicephysics.
    void statusNeedsSoftMonitoring()
    {
        SfpModuleSettings module;
        QVERIFY(sfpModulePreset("10GBASE-SR", &module));
        module.eeprom.a0[93] = 0x80; // alarm and warning flags alone
        sealSfpEeprom(module.eeprom);
        module.wander = 0, module.txFault = true;
        SfpConditions c;
        c.txDisabled = true, c.light = false, c.uptimeSeconds = 600;
        SfpPortInfo m;
        fillSfpPortInfo(module, c, &m);
        // The laser is off and no light comes in: power flags, but no status bits.
        QCOMPARE(m.flags, uint32_t(LQ_SFP_ALARM_TX_POWER | LQ_SFP_WARNING_TX_POWER | LQ_SFP_ALARM_RX_POWER |
                                   LQ_SFP_WARNING_RX_POWER));
    }

    void scenarioRawPages()
    {
        constexpr uint64_t kT0 = 1760000000000ull;
        const SfpEeprom e = externallyCalibrated();
        auto hex = [](const SfpPage &p) {
            return QByteArray(reinterpret_cast<const char *>(p.data()), 128).toHex(' ').toStdString();
        };
        nlohmann::json device = {{"sfp", {{"wander", 0}, {"b", {{"a0", hex(e.a0)}, {"a2", hex(e.a2)}}}}}};
        std::string error;
        const auto settings = DevicePhysics::parse(device, &error);
        QVERIFY2(settings, error.c_str());
        DevicePhysics physics(settings, LQ_CAP_CONFIGURABLE | LQ_CAP_SFP | LQ_CAP_STATS_PORTS, 3, kT0);
        physics.configure(DeviceFeatures{}, DevicePortsSpeed{}, kT0);
        LinkStatus l;
        physics.linkStatus(kT0 + 1000, &l);
        const SfpPortInfo &m = l.sfp.portB;
        // B's serial number is the page's; its readings become the nominal ones, measured afresh; the
        // status bits are the module's own (laser on, light in), not the page's.
        QCOMPARE(QString::asprintf("%s %s %s %u %g %g %u", m.vendorName, m.serialNumber, l.sfp.portA.model,
                                   m.diagnosticMonitoringType, double(m.value.txBias), double(m.value.rxPower),
                                   m.flags & uint32_t(LQ_SFP_STATUS_TX_DISABLE | LQ_SFP_STATUS_RX_LOS)),
                 "QUILL OPTICS QS1234567 NP-10G-SR85 2 6.4 0.688625 0");
        device["sfp"]["b"]["a0"] = "03 04 zz";
        QVERIFY(!DevicePhysics::parse(device, &error));
        QCOMPARE(QString::fromStdString(error), QString("sfp.b.a0: must be hex bytes (found 'z')"));
    }
};

QTEST_GUILESS_MAIN(tst_SfpEeprom)
#include "tst_sfpeeprom.moc"
