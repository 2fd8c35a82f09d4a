// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Presets and live diagnostics of the simulated SFP modules.

#include "sfpmodule.h"

#include "simnoise.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace lqsim {

namespace {

constexpr uint32_t kVendorOui = 0x3c4f1a;

SfpDiagnostics diag(float temperature, float voltage, float bias, float tx, float rx)
{
    return SfpDiagnostics{temperature, voltage, bias, tx, rx};
}

struct Thresholds {
    SfpDiagnostics lowAlarm, lowWarning, highWarning, highAlarm;
};

// What every preset shares: an LC optic of our house vendor with the usual
// hardware pins and soft monitoring, alarm and warning flags included.
void commonOptics(SfpModuleSettings *m, uint8_t monitoringType)
{
    *m = SfpModuleSettings{};
    SfpEeprom &e = m->eeprom;
    e.a0[sfpa0::Identifier] = 0x03;    // SFP or SFP+
    e.a0[sfpa0::ExtIdentifier] = 0x04; // serial ID module definition
    e.a0[sfpa0::Connector] = 0x07;     // LC
    setSfpText(e.a0, sfpa0::VendorName, 16, "NORTHFIELD OPTIC");
    setSfpNumber(e.a0, sfpa0::VendorOui, 3, kVendorOui);
    setSfpText(e.a0, sfpa0::VendorRev, 4, "A2");
    setSfpText(e.a0, sfpa0::VendorSn, 16, "");
    setSfpText(e.a0, sfpa0::DateCode, 8, "250314");
    e.a0[64] = 0x00; // uncooled, power level 1, limiting receiver output
    e.a0[65] = 0x1a; // TX_DISABLE, TX_FAULT and LOS pins; no RATE_SELECT
    e.a0[sfpa0::MonitoringType] = monitoringType;
    e.a0[sfpa0::EnhancedOptions] = kSfpAlarmWarningFlags | kSfpSoftTxDisable | kSfpSoftTxFault | kSfpSoftRxLos;
    m->serialFromSeed = true;
}

void finish(SfpModuleSettings *m, const Thresholds &t, const SfpDiagnostics &nominal)
{
    setSfpThresholds(m->eeprom, SfpThreshold::LowAlarm, t.lowAlarm);
    setSfpThresholds(m->eeprom, SfpThreshold::LowWarning, t.lowWarning);
    setSfpThresholds(m->eeprom, SfpThreshold::HighWarning, t.highWarning);
    setSfpThresholds(m->eeprom, SfpThreshold::HighAlarm, t.highAlarm);
    m->nominal = nominal;
    setSfpMeasurements(m->eeprom, nominal);
    sealSfpEeprom(m->eeprom);
}

float measure(const SfpDiagnostics &d, int i)
{
    const float values[] = {d.temperature, d.voltage, d.txBias, d.txPower, d.rxPower};
    return values[i];
}

} // namespace

const char *sfpModuleTypes()
{
    return "10GBASE-SR, 10GBASE-LR or 1000BASE-SX";
}

bool sfpModulePreset(const std::string &type, SfpModuleSettings *m)
{
    if (type == "10GBASE-SR") {
        // Internally calibrated: the A/D values are engineering units.
        commonOptics(m, kSfpDdmImplemented | kSfpInternallyCalibrated | kSfpAveragePower);
        SfpEeprom &e = m->eeprom;
        e.a0[3] = 0x10; // 10G BASE-SR
        e.a0[sfpa0::Encoding] = 6; // 64B/66B
        e.a0[sfpa0::NominalRate] = 103;
        setSfpLength(e, sfpa0::LengthOm2, 80);
        setSfpLength(e, sfpa0::LengthOm1, 30);
        setSfpLength(e, sfpa0::LengthOm3, 300);
        setSfpText(e.a0, sfpa0::VendorPn, 16, "NP-10G-SR85");
        setSfpNumber(e.a0, sfpa0::Wavelength, 2, 850);
        e.a0[sfpa0::Compliance] = 4; // rev 10.4
        finish(m,
               {diag(-5.0f, 2.97f, 2.0f, 0.1259f, 0.0407f), diag(0.0f, 3.13f, 3.0f, 0.1585f, 0.0646f),
                diag(70.0f, 3.47f, 10.5f, 0.7943f, 1.0f), diag(75.0f, 3.63f, 12.0f, 1.0f, 1.2589f)},
               diag(38.5f, 3.31f, 6.6f, 0.56f, 0.48f));
        return true;
    }
    if (type == "10GBASE-LR") {
        // Externally calibrated: an A/D converter that reads 3 °C warm, bias
        // counts of 4 µA, a TX power gain of 0.75 and a slightly compressing
        // RX power curve.
        commonOptics(m, kSfpDdmImplemented | kSfpExternallyCalibrated | kSfpAveragePower);
        SfpEeprom &e = m->eeprom;
        e.a0[3] = 0x20; // 10G BASE-LR
        e.a0[sfpa0::Encoding] = 6;
        e.a0[sfpa0::NominalRate] = 103;
        e.a0[sfpa0::BitRateMax] = 3;
        e.a0[sfpa0::BitRateMin] = 3;
        setSfpLength(e, sfpa0::LengthKm, 10000);
        setSfpText(e.a0, sfpa0::VendorPn, 16, "NP-10G-LR31");
        setSfpText(e.a0, sfpa0::VendorRev, 4, "B1");
        setSfpNumber(e.a0, sfpa0::Wavelength, 2, 1310);
        e.a0[sfpa0::Compliance] = 5; // rev 11.0
        SfpCalibration c;
        c.rxPower = {2.0f, 1.25f, -1.5e-6f, 0.0f, 0.0f};
        c.txBiasSlope = 0x0200;
        c.txPowerSlope = 0x00c0;
        c.txPowerOffset = 12;
        c.temperatureOffset = -768;
        c.voltageOffset = 50;
        setSfpCalibration(e, c);
        finish(m,
               {diag(-5.0f, 2.97f, 15.0f, 0.2512f, 0.0200f), diag(0.0f, 3.13f, 20.0f, 0.3162f, 0.0251f),
                diag(70.0f, 3.47f, 70.0f, 1.5849f, 1.2589f), diag(75.0f, 3.63f, 80.0f, 1.9953f, 1.5849f)},
               diag(41.0f, 3.30f, 36.5f, 0.89f, 0.61f));
        return true;
    }
    if (type == "1000BASE-SX") {
        commonOptics(m, kSfpDdmImplemented | kSfpInternallyCalibrated | kSfpAveragePower);
        SfpEeprom &e = m->eeprom;
        e.a0[6] = 0x01; // 1000BASE-SX
        e.a0[7] = 0x40; // FC short distance
        e.a0[8] = 0x40; // FC shortwave laser without OFC
        e.a0[9] = 0x0c; // FC multi-mode 62.5 and 50 µm
        e.a0[10] = 0x01; // FC 100 MB/s
        e.a0[sfpa0::Encoding] = 1; // 8B10B
        e.a0[sfpa0::NominalRate] = 13;
        setSfpLength(e, sfpa0::LengthOm2, 550);
        setSfpLength(e, sfpa0::LengthOm1, 270);
        setSfpText(e.a0, sfpa0::VendorPn, 16, "NP-1G-SX85");
        setSfpNumber(e.a0, sfpa0::Wavelength, 2, 850);
        e.a0[sfpa0::Compliance] = 2; // rev 9.5
        finish(m,
               {diag(-5.0f, 2.97f, 2.0f, 0.0891f, 0.0158f), diag(0.0f, 3.13f, 3.0f, 0.1122f, 0.0200f),
                diag(70.0f, 3.47f, 10.5f, 0.7943f, 1.0f), diag(75.0f, 3.63f, 12.0f, 1.0f, 1.2589f)},
               diag(36.0f, 3.30f, 6.0f, 0.32f, 0.28f));
        return true;
    }
    return false;
}

int sfpLineGigabits(const SfpModuleSettings &module)
{
    const SfpPage &a0 = module.eeprom.a0;
    const double rate = a0[sfpa0::NominalRate] == 0xff ? a0[sfpa0::BitRateMax] * 2.5 : a0[sfpa0::NominalRate];
    return rate >= 50 ? 10 : 1;
}

SfpEeprom sfpModuleMemory(const SfpModuleSettings &module, const SfpConditions &c)
{
    SfpEeprom e = module.eeprom;
    if (module.serialFromSeed) {
        char serial[20];
        std::snprintf(serial, sizeof serial, "NP%s%04X", sfpText(e.a0, sfpa0::DateCode, 6).c_str(),
                      unsigned(noise::hash(c.seed, noise::StreamSfp, uint64_t(c.port), 0x5e) & 0xffff));
        setSfpText(e.a0, sfpa0::VendorSn, 16, serial);
        // The module's own memory is consistent: only this checksum follows.
        e.a0[sfpa0::CcExt] = sfpChecksum(e.a0, sfpa0::Options, sfpa0::CcExt - 1);
    }
    if (!(e.a0[sfpa0::MonitoringType] & kSfpDdmImplemented))
        return e;

    const uint64_t s = noise::mix(c.seed ^ (0x5f9000ull + uint64_t(c.port)));
    auto drift = [&](int which, double periodSeconds) {
        return noise::smooth(noise::mix(s + uint64_t(which)), noise::StreamSfp, c.tSeconds, periodSeconds);
    };
    const double w = module.wander;
    const SfpDiagnostics &n = module.nominal;
    // The module warms up over its first minutes, then follows the room and
    // the airflow.
    const double warmUp = 8.0 * std::exp(-c.uptimeSeconds / 300.0);
    const double t = n.temperature + w * (1.6 * drift(0, 900.0) + 0.3 * drift(1, 41.0) - warmUp);
    const double v = n.voltage + w * (0.018 * drift(2, 1300.0) + 0.004 * drift(3, 17.0));
    // The laser driver raises the bias current as the laser warms.
    const double bias = n.txBias * (1.0 + 0.012 * (t - n.temperature)) + w * n.txBias * 0.01 * drift(4, 60.0);
    const double tx = c.txDisabled ? 0.0001
                                   : n.txPower * (1.0 - 0.004 * (t - n.temperature)) * (1.0 + w * 0.02 * drift(5, 300.0));
    const double rx = c.light ? n.rxPower * (1.0 + w * 0.04 * drift(6, 200.0)) : 0.0001;
    setSfpMeasurements(e, SfpDiagnostics{float(t), float(v), float(std::max(0.0, bias)), float(std::max(0.0, tx)),
                                         float(std::max(0.0, rx))});

    // The module compares what it measured, through its own calibration,
    // with its thresholds: two bits (high, low) per measurement.
    uint16_t alarms = 0, warnings = 0;
    if (e.a0[sfpa0::EnhancedOptions] & kSfpAlarmWarningFlags) {
        const SfpDiagnostics value = sfpMeasurements(e);
        const SfpDiagnostics highAlarm = sfpThresholds(e, SfpThreshold::HighAlarm);
        const SfpDiagnostics lowAlarm = sfpThresholds(e, SfpThreshold::LowAlarm);
        const SfpDiagnostics highWarning = sfpThresholds(e, SfpThreshold::HighWarning);
        const SfpDiagnostics lowWarning = sfpThresholds(e, SfpThreshold::LowWarning);
        for (int i = 0; i < 5; ++i) {
            const uint16_t high = uint16_t(0x8000u >> (2 * i)), low = uint16_t(high >> 1);
            const float x = measure(value, i);
            if (x > measure(highAlarm, i))
                alarms |= high;
            if (x < measure(lowAlarm, i))
                alarms |= low;
            if (x > measure(highWarning, i))
                warnings |= high;
            if (x < measure(lowWarning, i))
                warnings |= low;
        }
    }
    setSfpNumber(e.a2, sfpa2::AlarmFlags, 2, alarms);
    setSfpNumber(e.a2, sfpa2::WarningFlags, 2, warnings);

    // Pin states, readable where the module offers soft monitoring of them.
    const uint8_t soft = e.a0[sfpa0::EnhancedOptions];
    uint8_t status = 0;
    if (c.txDisabled && (soft & kSfpSoftTxDisable))
        status |= kSfpStatusTxDisable;
    if (module.txFault && (soft & kSfpSoftTxFault))
        status |= kSfpStatusTxFault;
    if (!c.light && (soft & kSfpSoftRxLos))
        status |= kSfpStatusRxLos;
    e.a2[sfpa2::Status] = status;
    return e;
}

void fillSfpPortInfo(const SfpModuleSettings &module, const SfpConditions &c, SfpPortInfo *out)
{
    decodeSfpEeprom(sfpModuleMemory(module, c), out);
}

} // namespace lqsim
