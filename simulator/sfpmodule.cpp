// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Presets and diagnostics of the simulated SFP modules.

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

void commonOptics(SfpModuleSettings *m)
{
    m->present = true;
    m->vendorName = "NORTHFIELD PHOTON";
    m->vendorOui = kVendorOui;
    m->revision = "A2";
    m->dateCode = "250314";
    m->identifier = 3;         // SFP or SFP+
    m->extendedIdentifier = 4; // serial ID module definition
    m->connector = 7;          // LC
    m->diagnosticMonitoringType = 0;
    // Uncooled, power level 1, limiting output, no rate select; TX_DISABLE,
    // TX_FAULT, LOS, alarm/warning flags and the soft controls are there.
    m->options = {1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1};
    m->transceiver.fill(1);
    m->transceiver[18] = 0; // SONET reach specifier code, not a flag
    m->wander = 1.0;
    m->txFault = false;
}

template <size_t N> void copyText(char (&dst)[N], const std::string &src)
{
    std::memset(dst, 0, N);
    std::memcpy(dst, src.data(), std::min(N - 1, src.size()));
}

float measure(const SfpDiagnostics &d, int i)
{
    switch (i) {
    case 0:
        return d.temperature;
    case 1:
        return d.voltage;
    case 2:
        return d.txBias;
    case 3:
        return d.txPower;
    default:
        return d.rxPower;
    }
}

} // namespace

const char *sfpModuleTypes()
{
    return "10GBASE-SR, 10GBASE-LR or 1000BASE-SX";
}

bool sfpModulePreset(const std::string &type, SfpModuleSettings *m)
{
    if (type == "10GBASE-SR") {
        commonOptics(m);
        m->model = "NP-10G-SR85";
        m->nominalBitRate = 103;
        m->encoding = 6; // 64B/66B
        m->wavelength = 850;
        m->sff8472Compliance = 4;
        m->lengthSingleMode = 0;
        m->lengthOm2 = 82;
        m->lengthOm1 = 33;
        m->lengthCopper = 0;
        m->lengthOm3 = 300;
        m->transceiver[3] = 0; // 10G BASE-SR
        m->nominal = diag(38.5f, 3.31f, 6.6f, 0.56f, 0.48f);
        m->lowAlarm = diag(-5.0f, 2.97f, 2.0f, 0.1259f, 0.0407f);
        m->lowWarning = diag(0.0f, 3.13f, 3.0f, 0.1585f, 0.0646f);
        m->highWarning = diag(70.0f, 3.47f, 10.5f, 0.7943f, 1.0f);
        m->highAlarm = diag(75.0f, 3.63f, 12.0f, 1.0f, 1.2589f);
        return true;
    }
    if (type == "10GBASE-LR") {
        commonOptics(m);
        m->model = "NP-10G-LR31";
        m->nominalBitRate = 103;
        m->encoding = 6;
        m->wavelength = 1310;
        m->sff8472Compliance = 4;
        m->lengthSingleMode = 10000;
        m->lengthOm2 = 0;
        m->lengthOm1 = 0;
        m->lengthCopper = 0;
        m->lengthOm3 = 0;
        m->transceiver[2] = 0; // 10G BASE-LR
        m->nominal = diag(41.0f, 3.30f, 36.5f, 0.89f, 0.61f);
        m->lowAlarm = diag(-5.0f, 2.97f, 15.0f, 0.2512f, 0.0200f);
        m->lowWarning = diag(0.0f, 3.13f, 20.0f, 0.3162f, 0.0251f);
        m->highWarning = diag(70.0f, 3.47f, 70.0f, 1.5849f, 1.2589f);
        m->highAlarm = diag(75.0f, 3.63f, 80.0f, 1.9953f, 1.5849f);
        return true;
    }
    if (type == "1000BASE-SX") {
        commonOptics(m);
        m->model = "NP-1G-SX85";
        m->nominalBitRate = 13;
        m->encoding = 1; // 8B10B
        m->wavelength = 850;
        m->sff8472Compliance = 2;
        m->lengthSingleMode = 0;
        m->lengthOm2 = 550;
        m->lengthOm1 = 275;
        m->lengthCopper = 0;
        m->lengthOm3 = 0;
        m->transceiver[26] = 0; // 1000BASE-SX
        m->nominal = diag(36.0f, 3.30f, 6.0f, 0.32f, 0.28f);
        m->lowAlarm = diag(-5.0f, 2.97f, 2.0f, 0.0891f, 0.0158f);
        m->lowWarning = diag(0.0f, 3.13f, 3.0f, 0.1122f, 0.0200f);
        m->highWarning = diag(70.0f, 3.47f, 10.5f, 0.7943f, 1.0f);
        m->highAlarm = diag(75.0f, 3.63f, 12.0f, 1.0f, 1.2589f);
        return true;
    }
    return false;
}

int sfpLineGigabits(const SfpModuleSettings &module)
{
    return module.nominalBitRate >= 50 ? 10 : 1;
}

void fillSfpPortInfo(const SfpModuleSettings &module, const SfpConditions &c, SfpPortInfo *out)
{
    std::memset(out, 0, sizeof(*out));
    out->present = 1;
    copyText(out->vendorName, module.vendorName);
    out->vendorOui = module.vendorOui & 0xffffff;
    copyText(out->model, module.model);
    copyText(out->revision, module.revision);
    copyText(out->dateCode, module.dateCode);
    if (module.serialNumber.empty()) {
        char serial[20];
        std::snprintf(serial, sizeof serial, "NP%s%04X", module.dateCode.substr(0, 6).c_str(),
                      unsigned(noise::hash(c.seed, noise::StreamSfp, uint64_t(c.port), 0x5e) & 0xffff));
        copyText(out->serialNumber, serial);
    } else {
        copyText(out->serialNumber, module.serialNumber);
    }
    out->nominalBitRate = module.nominalBitRate;
    out->bitRateMarginUpper = module.bitRateMarginUpper;
    out->bitRateMarginLower = module.bitRateMarginLower;
    out->encoding = module.encoding;
    out->rateIdentifier = module.rateIdentifier;
    out->identifier = module.identifier;
    out->extendedIdentifier = module.extendedIdentifier;
    out->connector = module.connector;
    out->wavelength = module.wavelength;
    out->diagnosticMonitoringType = module.diagnosticMonitoringType;
    out->sff8472Compliance = module.sff8472Compliance;
    out->lengthSingleMode = module.lengthSingleMode;
    out->lengthOm2 = module.lengthOm2;
    out->lengthOm1 = module.lengthOm1;
    out->lengthCopper = module.lengthCopper;
    out->lengthOm3 = module.lengthOm3;
    std::copy(module.options.begin(), module.options.end(), out->options);
    std::copy(module.transceiver.begin(), module.transceiver.end(), out->transceiver);

    uint32_t flags = 0;
    if (c.txDisabled)
        flags |= LQ_SFP_STATUS_TX_DISABLE;
    if (module.txFault)
        flags |= LQ_SFP_STATUS_TX_FAULT;
    if (!c.light)
        flags |= LQ_SFP_STATUS_RX_LOS;

    if (module.diagnosticMonitoringType <= 3) {
        const uint64_t s = noise::mix(c.seed ^ (0x5f9000ull + uint64_t(c.port)));
        auto drift = [&](int which, double periodSeconds) {
            return noise::smooth(noise::mix(s + uint64_t(which)), noise::StreamSfp, c.tSeconds, periodSeconds);
        };
        const double w = module.wander;
        const SfpDiagnostics &n = module.nominal;
        // The module warms up over its first minutes, then follows the room
        // and the airflow.
        const double warmUp = 8.0 * std::exp(-c.uptimeSeconds / 300.0);
        const double t = n.temperature + w * (1.6 * drift(0, 900.0) + 0.3 * drift(1, 41.0) - warmUp);
        const double v = n.voltage + w * (0.018 * drift(2, 1300.0) + 0.004 * drift(3, 17.0));
        // The laser driver raises the bias current as the laser warms.
        const double bias = n.txBias * (1.0 + 0.012 * (t - n.temperature)) + w * n.txBias * 0.01 * drift(4, 60.0);
        const double tx = c.txDisabled ? 0.0001
                                       : n.txPower * (1.0 - 0.004 * (t - n.temperature)) * (1.0 + w * 0.02 * drift(5, 300.0));
        const double rx = c.light ? n.rxPower * (1.0 + w * 0.04 * drift(6, 200.0)) : 0.0001;
        out->value = SfpDiagnostics{float(t), float(v), float(std::max(0.0, bias)), float(std::max(0.0, tx)),
                                    float(std::max(0.0, rx))};
        out->lowAlarm = module.lowAlarm;
        out->lowWarning = module.lowWarning;
        out->highWarning = module.highWarning;
        out->highAlarm = module.highAlarm;
        for (int i = 0; i < 5; ++i) {
            const float value = measure(out->value, i);
            if (value > measure(module.highAlarm, i) || value < measure(module.lowAlarm, i))
                flags |= LQ_SFP_ALARM_TEMPERATURE << i;
            if (value > measure(module.highWarning, i) || value < measure(module.lowWarning, i))
                flags |= LQ_SFP_WARNING_TEMPERATURE << i;
        }
    }
    out->flags = flags;
}

} // namespace lqsim
