// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The device library's C functions. Each one is counted and may be made to
// fail by the control API before it touches a device, and none lets a C++
// exception cross into the manager.

#include "lumenquillapi.h"

#include "capabilities.h"
#include "lqsim.h"
#include "simulatorcore.h"
#include "widestring.h"

#include <cstring>

using lqsim::ApiFunction;
using lqsim::SimulatedDevice;
using lqsim::SimulatorCore;

namespace {

SimulatorCore &core()
{
    return SimulatorCore::instance();
}

template <typename Body> int guarded(ApiFunction function, Body &&body)
{
    try {
        if (const std::optional<int> code = core().enterCall(function))
            return *code;
        return body();
    } catch (...) {
        return LQSIM_ERR_INTERNAL;
    }
}

// A call on one announced device; `pointer` is the caller's record (or
// anything non-null for calls that take none).
template <typename Body> int onDevice(ApiFunction function, uint64_t handle, const void *pointer, Body &&body)
{
    return guarded(function, [&] {
        return core().withDevice(handle, [&](SimulatedDevice &device, uint64_t timeline) {
            if (!pointer)
                return int(LQSIM_ERR_INVALID_ARGUMENT);
            return body(device, timeline);
        });
    });
}

const void *const kNoRecord = &kNoRecord;

} // namespace

extern "C" {

int LumenquillAPIAddNewDeviceCallback(LumenquillAPIDeviceCallback callback, void *context)
{
    return guarded(ApiFunction::AddNewDeviceCallback, [&] {
        core().setNewDeviceCallback(callback, context);
        return 0;
    });
}

int LumenquillAPIAddDeviceGoneCallback(LumenquillAPIDeviceCallback callback, void *context)
{
    return guarded(ApiFunction::AddDeviceGoneCallback, [&] {
        core().setDeviceGoneCallback(callback, context);
        return 0;
    });
}

int LumenquillAPIInitialize(void)
{
    return guarded(ApiFunction::Initialize, [] { return core().initialize(); });
}

int LumenquillAPIUninitialize(void)
{
    return guarded(ApiFunction::Uninitialize, [] { return core().uninitialize(); });
}

uint32_t LumenquillAPIGetVersion(void)
{
    try {
        core().enterCall(ApiFunction::GetVersion);
        return core().libraryVersion();
    } catch (...) {
        return lqsim::kDefaultLibraryVersion;
    }
}

uint32_t LumenquillAPIGetDeviceCapabilities(uint32_t deviceType)
{
    // A pure answer by type: counted, never failed, and it needs no device.
    try {
        core().enterCall(ApiFunction::GetDeviceCapabilities);
    } catch (...) {
    }
    return lqsim::capabilitiesOf(deviceType);
}

int LumenquillAPIGetDeviceType(uint64_t handle, uint32_t *deviceType)
{
    return onDevice(ApiFunction::GetDeviceType, handle, deviceType, [&](SimulatedDevice &d, uint64_t) {
        *deviceType = d.type();
        return 0;
    });
}

int LumenquillAPIGetDeviceMAC(uint64_t handle, uint8_t mac[6])
{
    return onDevice(ApiFunction::GetDeviceMAC, handle, mac, [&](SimulatedDevice &d, uint64_t) {
        std::memcpy(mac, d.mac().data(), 6);
        return 0;
    });
}

int LumenquillAPIGetDeviceExtraInfo(uint64_t handle, uint32_t *extraInfo)
{
    return onDevice(ApiFunction::GetDeviceExtraInfo, handle, extraInfo,
                    [&](SimulatedDevice &d, uint64_t) { return d.extraInfo(extraInfo); });
}

int LumenquillAPIGetVersions(uint64_t handle, DeviceVersions *versions)
{
    return onDevice(ApiFunction::GetVersions, handle, versions,
                    [&](SimulatedDevice &d, uint64_t) { return d.versions(versions); });
}

int LumenquillAPIGetLinkStatus(uint64_t handle, LinkStatus *status)
{
    return onDevice(ApiFunction::GetLinkStatus, handle, status,
                    [&](SimulatedDevice &d, uint64_t t) { return d.linkStatus(t, status); });
}

int LumenquillAPIGetStatistics(uint64_t handle, DeviceStatistics *statistics)
{
    return onDevice(ApiFunction::GetStatistics, handle, statistics,
                    [&](SimulatedDevice &d, uint64_t t) { return d.statistics(t, statistics); });
}

int LumenquillAPIGetTimingStatus(uint64_t handle, TimingStatus *status)
{
    return onDevice(ApiFunction::GetTimingStatus, handle, status,
                    [&](SimulatedDevice &d, uint64_t t) { return d.timingStatus(t, status); });
}

int LumenquillAPIDiskDumpGetStatus(uint64_t handle, DiskDumpStatus *status)
{
    return onDevice(ApiFunction::DiskDumpGetStatus, handle, status,
                    [&](SimulatedDevice &d, uint64_t t) {
                        // Up to the moment, not to the last step of the capture thread.
                        d.pumpDiskDump(t);
                        return d.diskDumpStatus(status);
                    });
}

int LumenquillAPIGetDeviceFeatures(uint64_t handle, DeviceFeatures *features)
{
    return onDevice(ApiFunction::GetDeviceFeatures, handle, features,
                    [&](SimulatedDevice &d, uint64_t) { return d.features(features); });
}

int LumenquillAPIGetDevicePortsSpeed(uint64_t handle, DevicePortsSpeed *portsSpeed)
{
    return onDevice(ApiFunction::GetDevicePortsSpeed, handle, portsSpeed,
                    [&](SimulatedDevice &d, uint64_t) { return d.portsSpeed(portsSpeed); });
}

int LumenquillAPIGetPacketFilter(uint64_t handle, PacketFilter *filter)
{
    return onDevice(ApiFunction::GetPacketFilter, handle, filter,
                    [&](SimulatedDevice &d, uint64_t) { return d.packetFilter(filter); });
}

int LumenquillAPIGetDpiFilter(uint64_t handle, DpiFilter *filter)
{
    return onDevice(ApiFunction::GetDpiFilter, handle, filter,
                    [&](SimulatedDevice &d, uint64_t) { return d.dpiFilter(filter); });
}

int LumenquillAPISetDeviceFeatures(uint64_t handle, DeviceFeatures features)
{
    return onDevice(ApiFunction::SetDeviceFeatures, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t t) { return d.setFeatures(features, t); });
}

int LumenquillAPISetDevicePortsSpeed(uint64_t handle, DevicePortsSpeed portsSpeed)
{
    return onDevice(ApiFunction::SetDevicePortsSpeed, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t t) { return d.setPortsSpeed(portsSpeed, t); });
}

int LumenquillAPISetPacketFilter(uint64_t handle, PacketFilter filter)
{
    return onDevice(ApiFunction::SetPacketFilter, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t t) { return d.setPacketFilter(filter, t); });
}

int LumenquillAPISetDpiFilter(uint64_t handle, DpiFilter filter)
{
    return onDevice(ApiFunction::SetDpiFilter, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t t) { return d.setDpiFilter(filter, t); });
}

int LumenquillAPISetCounterV2(uint64_t handle, CounterV2Config config)
{
    return onDevice(ApiFunction::SetCounterV2, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t t) { return d.setCounterV2(config, t); });
}

int LumenquillAPISetTimingTime(uint64_t handle, TimingTimeSet timeSet)
{
    return onDevice(ApiFunction::SetTimingTime, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t t) { return d.setTimingTime(timeSet, t); });
}

int LumenquillAPIDiskDumpSetConfig(uint64_t handle, DiskDumpConfig config)
{
    // The path is borrowed: the manager frees it as soon as we return.
    return onDevice(ApiFunction::DiskDumpSetConfig, handle, config.path, [&](SimulatedDevice &d, uint64_t t) {
        std::optional<std::string> path = lqsim::utf8FromWide(config.path);
        if (!path)
            return int(LQSIM_ERR_INVALID_ARGUMENT);
        return d.diskDumpSetConfig(config, std::move(*path), t);
    });
}

int LumenquillAPISaveDeviceFeatures(uint64_t handle)
{
    return onDevice(ApiFunction::SaveDeviceFeatures, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t) { return d.saveFeatures(); });
}

int LumenquillAPISavePacketFilter(uint64_t handle)
{
    return onDevice(ApiFunction::SavePacketFilter, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t) { return d.savePacketFilter(); });
}

int LumenquillAPISaveDpiFilter(uint64_t handle)
{
    return onDevice(ApiFunction::SaveDpiFilter, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t) { return d.saveDpiFilter(); });
}

int LumenquillAPIRestartDevice(uint64_t handle)
{
    return guarded(ApiFunction::RestartDevice, [&] { return core().restart(handle); });
}

int LumenquillAPIDiskDumpStart(uint64_t handle)
{
    return onDevice(ApiFunction::DiskDumpStart, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t timeline) { return d.diskDumpStart(timeline); });
}

int LumenquillAPIDiskDumpStop(uint64_t handle)
{
    return onDevice(ApiFunction::DiskDumpStop, handle, kNoRecord,
                    [&](SimulatedDevice &d, uint64_t timeline) { return d.diskDumpStop(timeline); });
}

int LumenquillAPIFirmwareUpdateStart(uint64_t handle, const wchar_t *path)
{
    return guarded(ApiFunction::FirmwareUpdateStart, [&] { return core().firmwareUpdateStart(handle, path); });
}

int LumenquillAPIFirmwareUpdateGetProgress(uint64_t handle, uint32_t *percent)
{
    return onDevice(ApiFunction::FirmwareUpdateGetProgress, handle, percent,
                    [&](SimulatedDevice &d, uint64_t t) { return d.firmwareProgress(t, percent); });
}

int LumenquillAPIGetHwFirmwaresDesc(uint64_t handle, HwFirmwaresDesc *list)
{
    return onDevice(ApiFunction::GetHwFirmwaresDesc, handle, list,
                    [&](SimulatedDevice &d, uint64_t) { return d.hwFirmwares(list); });
}

} // extern "C"
