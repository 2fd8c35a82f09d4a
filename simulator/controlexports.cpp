// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The control and test API (lqsim.h): what tests, benchmarks and demos use
// to drive the simulated devices. The manager never calls these.

#include "lqsim.h"

#include "faultinjector.h"
#include "simulatorcore.h"

#include <algorithm>
#include <cstring>

using lqsim::ApiFunction;
using lqsim::FaultInjector;
using lqsim::SimulatedDevice;
using lqsim::SimulatorCore;

namespace {

SimulatorCore &core()
{
    return SimulatorCore::instance();
}

template <typename Body> auto guarded(Body &&body, decltype(body()) onError) -> decltype(body())
{
    try {
        return body();
    } catch (...) {
        return onError;
    }
}

template <typename T> int copyLast(const char *mac, T *out, const std::optional<T> &(SimulatedDevice::*last)() const)
{
    if (!mac || !out)
        return -1;
    return guarded(
        [&] {
            return core().withDeviceByMac(mac, [&](SimulatedDevice &device, uint64_t) {
                const std::optional<T> &value = (device.*last)();
                if (!value)
                    return -1;
                *out = *value;
                return 0;
            });
        },
        -1);
}

} // namespace

extern "C" {

int lqsim_load_scenario_text(const char *json)
{
    if (!json)
        return -1;
    return guarded([&] { return core().loadScenarioText(json, "<text>"); }, -1);
}

int lqsim_load_scenario_file(const char *path)
{
    if (!path)
        return -1;
    return guarded([&] { return core().loadScenarioFile(path); }, -1);
}

int lqsim_load_startup_scenario(void)
{
    return guarded([] { return core().loadStartupScenario(); }, -1);
}

void lqsim_use_manual_clock(uint64_t startMs)
{
    core().useManualClock(startMs);
}

void lqsim_use_real_clock(void)
{
    core().useRealClock();
}

void lqsim_advance_clock(uint64_t ms)
{
    core().advanceClock(ms);
}

uint64_t lqsim_now_ms(void)
{
    return core().nowMs();
}

int lqsim_plug(const char *deviceJson)
{
    if (!deviceJson)
        return -1;
    return guarded([&] { return core().plug(deviceJson); }, -1);
}

int lqsim_unplug(const char *mac)
{
    if (!mac)
        return -1;
    return guarded([&] { return core().unplug(mac); }, -1);
}

int lqsim_replug(const char *mac)
{
    if (!mac)
        return -1;
    return guarded([&] { return core().replug(mac); }, -1);
}

uint64_t lqsim_handle_of(const char *mac)
{
    if (!mac)
        return 0;
    return guarded([&] { return core().handleOf(mac); }, uint64_t(0));
}

int lqsim_device_count(void)
{
    return guarded([] { return core().deviceCount(); }, 0);
}

int lqsim_is_initialized(void)
{
    return guarded([] { return core().initialized() ? 1 : 0; }, 0);
}

int lqsim_fail(const char *function, int mode, double rate, int code)
{
    if (!function)
        return -1;
    const std::optional<ApiFunction> which = lqsim::apiFunctionByName(function);
    if (!which)
        return -1;
    return core().faults().arm(*which, static_cast<FaultInjector::Mode>(mode), rate, code) ? 0 : -1;
}

void lqsim_clear_failures(void)
{
    core().faults().clear();
}

uint64_t lqsim_call_count(const char *function)
{
    if (!function)
        return 0;
    const std::optional<ApiFunction> which = lqsim::apiFunctionByName(function);
    return which ? core().faults().callCount(*which) : 0;
}

uint64_t lqsim_failure_count(const char *function)
{
    if (!function)
        return 0;
    const std::optional<ApiFunction> which = lqsim::apiFunctionByName(function);
    return which ? core().faults().failureCount(*which) : 0;
}

void lqsim_reset_call_counts(void)
{
    core().faults().resetCallCounts();
}

uint64_t lqsim_calls_after_uninitialize(void)
{
    return core().callsAfterUninitialize();
}

int lqsim_set_link(const char *mac, int port, int up)
{
    if (!mac)
        return -1;
    return guarded(
        [&] {
            return core().withDeviceByMac(mac, [&](SimulatedDevice &device, uint64_t timeline) {
                return device.setLinkDown(port, up == 0, timeline);
            });
        },
        -1);
}

int lqsim_set_sfp_module(const char *mac, int port, int present)
{
    if (!mac)
        return -1;
    return guarded(
        [&] {
            return core().withDeviceByMac(mac, [&](SimulatedDevice &device, uint64_t timeline) {
                if (!(device.capabilities() & LQ_CAP_SFP))
                    return -1;
                return device.setSfpPresent(port, present != 0, timeline);
            });
        },
        -1);
}

int lqsim_last_features(const char *mac, DeviceFeatures *out)
{
    return copyLast(mac, out, &SimulatedDevice::lastFeatures);
}

int lqsim_last_ports_speed(const char *mac, DevicePortsSpeed *out)
{
    return copyLast(mac, out, &SimulatedDevice::lastPortsSpeed);
}

int lqsim_last_counter_v2(const char *mac, uint32_t index, CounterV2Config *out)
{
    if (!mac || !out || index >= LQ_COUNTERS_V2)
        return -1;
    return guarded(
        [&] {
            return core().withDeviceByMac(mac, [&](SimulatedDevice &device, uint64_t) {
                const std::optional<CounterV2Config> &value = device.lastCounterV2(index);
                if (!value)
                    return -1;
                *out = *value;
                return 0;
            });
        },
        -1);
}

int lqsim_last_packet_filter(const char *mac, PacketFilter *out)
{
    return copyLast(mac, out, &SimulatedDevice::lastPacketFilter);
}

int lqsim_last_dpi_filter(const char *mac, DpiFilter *out)
{
    return copyLast(mac, out, &SimulatedDevice::lastDpiFilter);
}

int lqsim_last_timing_time(const char *mac, TimingTimeSet *out)
{
    return copyLast(mac, out, &SimulatedDevice::lastTimingTime);
}

int lqsim_last_disk_dump_config(const char *mac, DiskDumpConfig *out, char *pathOut, size_t pathSize)
{
    if (!mac || !out)
        return -1;
    return guarded(
        [&] {
            return core().withDeviceByMac(mac, [&](SimulatedDevice &device, uint64_t) {
                const lqsim::DiskDump &dump = device.diskDump();
                if (!dump.configured())
                    return -1;
                *out = dump.config();
                if (pathOut && pathSize > 0) {
                    const size_t n = std::min(pathSize - 1, dump.path().size());
                    std::memcpy(pathOut, dump.path().data(), n);
                    pathOut[n] = '\0';
                }
                return 0;
            });
        },
        -1);
}

int lqsim_disk_dump_written(const char *mac, uint64_t *packets, uint64_t *files)
{
    if (!mac || !packets || !files)
        return -1;
    return guarded(
        [&] {
            return core().withDeviceByMac(mac, [&](SimulatedDevice &device, uint64_t) {
                *packets = device.diskDump().packetsWritten();
                *files = device.diskDump().filesOpened();
                return 0;
            });
        },
        -1);
}

} // extern "C"
