// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The library reads that describe a device: what identifies an arriving
// device, and the status of a poll, block by block as its capabilities ask.
// The statistics worker and the command line read a device the same way; the
// worker drops a failed read, the command line names the call that failed.

#pragma once

#include "statsthreadinfo.h"

// The result of a read sequence: 0, or the first failing call's answer and name.
struct DeviceRead {
    int code = 0;
    const char *failedCall = nullptr;
    explicit operator bool() const { return code == 0; }
};

// Type, capabilities, MAC, versions and (configurable devices) features.
DeviceRead readDeviceIdentity(uint64_t handle, StatsThreadInfo &info);

// The identity, then by capability: features, port speeds, link status and
// extra information; statistics; timing status; disk-dump status.
DeviceRead readDeviceStatus(uint64_t handle, StatsThreadInfo &info);
