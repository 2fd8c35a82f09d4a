// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Device reads; see devicereads.h.

#include "devicereads.h"

#define LQ_READ(call)                                                                                                  \
    do {                                                                                                               \
        const int code_ = (call);                                                                                      \
        if (code_ != 0)                                                                                                \
            return DeviceRead{code_, #call};                                                                           \
    } while (false)

DeviceRead readDeviceIdentity(uint64_t h, StatsThreadInfo &info)
{
    info = makeRequest(h);
    LQ_READ(LumenquillAPIGetDeviceType(h, &info.deviceType));
    info.capabilities = LumenquillAPIGetDeviceCapabilities(info.deviceType);
    LQ_READ(LumenquillAPIGetDeviceMAC(h, info.mac));
    LQ_READ(LumenquillAPIGetVersions(h, &info.versions));
    if (info.capabilities & LQ_CAP_CONFIGURABLE)
        LQ_READ(LumenquillAPIGetDeviceFeatures(h, &info.features));
    return {};
}

DeviceRead readDeviceStatus(uint64_t h, StatsThreadInfo &info)
{
    // The identity first, in the same order of calls.
    if (const DeviceRead identity = readDeviceIdentity(h, info); identity.code != 0)
        return identity;
    const uint32_t caps = info.capabilities;
    if (caps & LQ_CAP_CONFIGURABLE) {
        LQ_READ(LumenquillAPIGetDevicePortsSpeed(h, &info.portsSpeed));
        LQ_READ(LumenquillAPIGetLinkStatus(h, &info.linkStatus));
        LQ_READ(LumenquillAPIGetDeviceExtraInfo(h, &info.extraInfo));
    }
    if (caps & (LQ_CAP_STATS_PORTS | LQ_CAP_STATS_COUNTERS_V2))
        LQ_READ(LumenquillAPIGetStatistics(h, &info.statistics));
    if (caps & LQ_CAP_TIMING)
        LQ_READ(LumenquillAPIGetTimingStatus(h, &info.timingStatus));
    if (caps & LQ_CAP_CONFIGURABLE)
        LQ_READ(LumenquillAPIDiskDumpGetStatus(h, &info.diskDumpStatus));
    return {};
}
