// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The one per-device record that travels by value between the main window, the
// statistics worker, the firmware update threads and the device library. Most of
// it is a concatenation of library records that the library fills in place, so
// its layout is fixed byte for byte; the assertions below pin it.

#pragma once

#include "lumenquillapi.h"

#include <QMetaType>

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Marks "no device selected" in handle fields.
constexpr uint64_t kNoDeviceHandle = ~uint64_t(0);

// Room for the firmware image path, terminator included.
constexpr std::size_t kFirmwarePathBytes = 2048;

struct StatsThreadInfo {
    uint64_t handle;
    uint32_t deviceType;
    uint32_t capabilities;
    uint8_t mac[6];
    uint8_t reserved0[2];
    LinkStatus linkStatus;
    DeviceVersions versions;
    DeviceStatistics statistics;
    DiskDumpStatus diskDumpStatus;
    TimingStatus timingStatus;
    DiskDumpConfig diskDumpConfig; // its path is the record's only owning pointer
    DeviceFeatures features;
    TimingTimeSet timingTimeSet;
    CounterV2Config counterV2Config;
    PacketFilter packetFilter;
    DpiFilter dpiFilter;
    char firmwarePath[kFirmwarePathBytes]; // local 8-bit encoding, NUL-terminated
    uint8_t updateSucceeded;
    uint8_t reserved1[3];
    uint32_t updateProgress; // percent
    DevicePortsSpeed portsSpeed;
    uint32_t extraInfo; // low byte: USB connection speed
};

// A request carrying only what its receiver reads; every other byte is zero so
// that nothing uninitialised ever crosses a thread.
inline StatsThreadInfo makeRequest(uint64_t handle)
{
    StatsThreadInfo info{};
    info.handle = handle;
    return info;
}

static_assert(std::is_trivially_copyable_v<StatsThreadInfo>, "StatsThreadInfo is copied as raw bytes");
static_assert(std::is_standard_layout_v<StatsThreadInfo>, "StatsThreadInfo offsets must be well defined");
static_assert(offsetof(StatsThreadInfo, handle) == 0);
static_assert(offsetof(StatsThreadInfo, deviceType) == 8);
static_assert(offsetof(StatsThreadInfo, capabilities) == 12);
static_assert(offsetof(StatsThreadInfo, mac) == 16);
static_assert(offsetof(StatsThreadInfo, linkStatus) == 24);
static_assert(offsetof(StatsThreadInfo, versions) == 1376);
static_assert(offsetof(StatsThreadInfo, statistics) == 1392);
static_assert(offsetof(StatsThreadInfo, diskDumpStatus) == 1624);
static_assert(offsetof(StatsThreadInfo, timingStatus) == 1680);
static_assert(offsetof(StatsThreadInfo, diskDumpConfig) == 1752);
static_assert(offsetof(StatsThreadInfo, features) == 1800);
static_assert(offsetof(StatsThreadInfo, timingTimeSet) == 1868);
static_assert(offsetof(StatsThreadInfo, counterV2Config) == 1880);
static_assert(offsetof(StatsThreadInfo, packetFilter) == 1976);
static_assert(offsetof(StatsThreadInfo, dpiFilter) == 2044);
static_assert(offsetof(StatsThreadInfo, firmwarePath) == 2084);
static_assert(offsetof(StatsThreadInfo, updateSucceeded) == 4132);
static_assert(offsetof(StatsThreadInfo, updateProgress) == 4136);
static_assert(offsetof(StatsThreadInfo, portsSpeed) == 4140);
static_assert(offsetof(StatsThreadInfo, extraInfo) == 4220);
static_assert(sizeof(StatsThreadInfo) == 4224);

Q_DECLARE_METATYPE(StatsThreadInfo)

// Registers the record under the name "StatsThreadInfo" so queued connections
// can carry it. Call once before any such connection is used.
void registerStatsThreadInfo();
