// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// lqctl's hold on the device library for the length of one command: the
// callbacks that track which handles are announced, the bounded wait for the
// arrivals to settle after LumenquillAPIInitialize, and the shutdown.

#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

class DeviceSession {
public:
    DeviceSession() = default;
    ~DeviceSession();
    DeviceSession(const DeviceSession &) = delete;
    DeviceSession &operator=(const DeviceSession &) = delete;

    // Registers the callbacks and initialises the library; 0 or the
    // library's refusal. Then waits until no device has arrived for quietMs,
    // at most maxMs in all.
    int open(int quietMs, int maxMs);
    // Uninitialises the library; no callback runs once it returns.
    void close();

    // The handles announced and not gone, in arrival order.
    std::vector<uint64_t> handles() const;
    bool present(uint64_t handle) const;

private:
    static void onNewDevice(uint64_t handle, void *context);
    static void onDeviceGone(uint64_t handle, void *context);
    static void ignore(uint64_t handle, void *context);

    // Callbacks come on the library's thread while commands run on the main one.
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<uint64_t> m_handles;
    uint64_t m_arrivals = 0;
    bool m_open = false;
};
