// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Counts every device library call and makes chosen ones fail, so tests can
// reach the manager's failure paths without a misbehaving device.

#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <string_view>

namespace lqsim {

// The device library's functions, in the order of lumenquillapi.h.
enum class ApiFunction : int {
    AddNewDeviceCallback,
    AddDeviceGoneCallback,
    Initialize,
    Uninitialize,
    GetVersion,
    GetDeviceCapabilities,
    GetDeviceType,
    GetDeviceMAC,
    GetDeviceExtraInfo,
    GetVersions,
    GetLinkStatus,
    GetStatistics,
    GetTimingStatus,
    DiskDumpGetStatus,
    GetDeviceFeatures,
    GetDevicePortsSpeed,
    GetPacketFilter,
    GetDpiFilter,
    SetDeviceFeatures,
    SetDevicePortsSpeed,
    SetPacketFilter,
    SetDpiFilter,
    SetCounterV2,
    SetTimingTime,
    DiskDumpSetConfig,
    SaveDeviceFeatures,
    SavePacketFilter,
    SaveDpiFilter,
    RestartDevice,
    DiskDumpStart,
    DiskDumpStop,
    FirmwareUpdateStart,
    FirmwareUpdateGetProgress,
    GetHwFirmwaresDesc,
    Count
};

constexpr int kApiFunctionCount = static_cast<int>(ApiFunction::Count);

// "LumenquillAPIGetDeviceType" and so on.
const char *apiFunctionName(ApiFunction function);
std::optional<ApiFunction> apiFunctionByName(std::string_view name);
// The two answers that are plain values and have no way to report failure.
bool apiFunctionCanFail(ApiFunction function);

class FaultInjector {
public:
    enum class Mode { Once = 1, Always = 2, Rate = 3 };

    // Counts the call and answers the code it must fail with, if any.
    std::optional<int> enter(ApiFunction function);

    // false for a function that cannot fail, a zero code or a rate outside 0..1.
    bool arm(ApiFunction function, Mode mode, double rate, int code);
    void clear();
    uint64_t callCount(ApiFunction function) const;
    // Calls that answered an injected failure; reset with the call counts.
    uint64_t failureCount(ApiFunction function) const;
    void resetCallCounts();

private:
    struct Fault {
        Mode mode = Mode::Once;
        double rate = 0;
        int code = 0;
        // Each armed fault draws from its own generator, seeded from the
        // function alone, so a run that makes the same calls fails the same ones.
        std::mt19937_64 random;
    };

    mutable std::mutex m_mutex;
    std::array<std::optional<Fault>, kApiFunctionCount> m_faults;
    std::atomic<int> m_armed{0}; // lets the common, fault-free call skip the lock
    std::array<std::atomic<uint64_t>, kApiFunctionCount> m_calls{};
    std::array<std::atomic<uint64_t>, kApiFunctionCount> m_failures{};
};

} // namespace lqsim
