// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Call counting and injected failures of the device library functions.

#include "faultinjector.h"

namespace lqsim {

namespace {

constexpr std::array<const char *, kApiFunctionCount> kNames = {
    "LumenquillAPIAddNewDeviceCallback",
    "LumenquillAPIAddDeviceGoneCallback",
    "LumenquillAPIInitialize",
    "LumenquillAPIUninitialize",
    "LumenquillAPIGetVersion",
    "LumenquillAPIGetDeviceCapabilities",
    "LumenquillAPIGetDeviceType",
    "LumenquillAPIGetDeviceMAC",
    "LumenquillAPIGetDeviceExtraInfo",
    "LumenquillAPIGetVersions",
    "LumenquillAPIGetLinkStatus",
    "LumenquillAPIGetStatistics",
    "LumenquillAPIGetTimingStatus",
    "LumenquillAPIDiskDumpGetStatus",
    "LumenquillAPIGetDeviceFeatures",
    "LumenquillAPIGetDevicePortsSpeed",
    "LumenquillAPIGetPacketFilter",
    "LumenquillAPIGetDpiFilter",
    "LumenquillAPISetDeviceFeatures",
    "LumenquillAPISetDevicePortsSpeed",
    "LumenquillAPISetPacketFilter",
    "LumenquillAPISetDpiFilter",
    "LumenquillAPISetCounterV2",
    "LumenquillAPISetTimingTime",
    "LumenquillAPIDiskDumpSetConfig",
    "LumenquillAPISaveDeviceFeatures",
    "LumenquillAPISavePacketFilter",
    "LumenquillAPISaveDpiFilter",
    "LumenquillAPIRestartDevice",
    "LumenquillAPIDiskDumpStart",
    "LumenquillAPIDiskDumpStop",
    "LumenquillAPIFirmwareUpdateStart",
    "LumenquillAPIFirmwareUpdateGetProgress",
    "LumenquillAPIGetHwFirmwaresDesc",
};

} // namespace

const char *apiFunctionName(ApiFunction function)
{
    return kNames[static_cast<size_t>(function)];
}

std::optional<ApiFunction> apiFunctionByName(std::string_view name)
{
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (name == kNames[i])
            return static_cast<ApiFunction>(i);
    }
    return std::nullopt;
}

bool apiFunctionCanFail(ApiFunction function)
{
    return function != ApiFunction::GetVersion && function != ApiFunction::GetDeviceCapabilities;
}

std::optional<int> FaultInjector::enter(ApiFunction function)
{
    const auto index = static_cast<size_t>(function);
    m_calls[index].fetch_add(1, std::memory_order_relaxed);
    if (m_armed.load(std::memory_order_acquire) == 0)
        return std::nullopt;

    std::lock_guard lock(m_mutex);
    std::optional<Fault> &fault = m_faults[index];
    if (!fault)
        return std::nullopt;
    const int code = fault->code;
    const auto fail = [&] {
        m_failures[index].fetch_add(1, std::memory_order_relaxed);
        return code;
    };
    switch (fault->mode) {
    case Mode::Once:
        fault.reset();
        m_armed.fetch_sub(1, std::memory_order_release);
        return fail();
    case Mode::Always:
        return fail();
    case Mode::Rate:
        if (std::uniform_real_distribution<double>(0.0, 1.0)(fault->random) < fault->rate)
            return fail();
        return std::nullopt;
    }
    return std::nullopt;
}

bool FaultInjector::arm(ApiFunction function, Mode mode, double rate, int code)
{
    if (!apiFunctionCanFail(function) || code == 0)
        return false;
    if (mode != Mode::Once && mode != Mode::Always && mode != Mode::Rate)
        return false;
    if (mode == Mode::Rate && !(rate >= 0.0 && rate <= 1.0))
        return false;

    std::lock_guard lock(m_mutex);
    std::optional<Fault> &fault = m_faults[static_cast<size_t>(function)];
    if (!fault)
        m_armed.fetch_add(1, std::memory_order_release);
    fault = Fault{mode, rate, code, std::mt19937_64(0x4c51u + static_cast<uint64_t>(function))};
    return true;
}

void FaultInjector::clear()
{
    std::lock_guard lock(m_mutex);
    for (auto &fault : m_faults)
        fault.reset();
    m_armed.store(0, std::memory_order_release);
}

uint64_t FaultInjector::callCount(ApiFunction function) const
{
    return m_calls[static_cast<size_t>(function)].load(std::memory_order_relaxed);
}

uint64_t FaultInjector::failureCount(ApiFunction function) const
{
    return m_failures[static_cast<size_t>(function)].load(std::memory_order_relaxed);
}

void FaultInjector::resetCallCounts()
{
    for (auto &count : m_calls)
        count.store(0, std::memory_order_relaxed);
    for (auto &count : m_failures)
        count.store(0, std::memory_order_relaxed);
}

} // namespace lqsim
