// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The command line's library session; see devicesession.h.

#include "devicesession.h"

#include "lumenquillapi.h"

#include <algorithm>
#include <chrono>

DeviceSession::~DeviceSession()
{
    close();
}

int DeviceSession::open(int quietMs, int maxMs)
{
    LumenquillAPIAddNewDeviceCallback(&DeviceSession::onNewDevice, this);
    LumenquillAPIAddDeviceGoneCallback(&DeviceSession::onDeviceGone, this);
    const int rc = LumenquillAPIInitialize();
    m_open = true;
    if (rc != 0) {
        // A refused start is shut down like any other.
        close();
        return rc;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(maxMs);
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        const uint64_t seen = m_arrivals;
        const auto quietEnd = std::min(deadline, Clock::now() + std::chrono::milliseconds(quietMs));
        m_arrived.wait_until(lock, quietEnd, [&] { return m_arrivals != seen; });
        if (m_arrivals == seen || Clock::now() >= deadline)
            break;
    }
    return 0;
}

void DeviceSession::close()
{
    if (!m_open)
        return;
    m_open = false;
    LumenquillAPIUninitialize();
    // The library keeps its callbacks past the shutdown; a later start in
    // this process must not call back into a session that is gone.
    LumenquillAPIAddNewDeviceCallback(&DeviceSession::ignore, nullptr);
    LumenquillAPIAddDeviceGoneCallback(&DeviceSession::ignore, nullptr);
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_handles.clear();
}

std::vector<uint64_t> DeviceSession::handles() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_handles;
}

bool DeviceSession::present(uint64_t handle) const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return std::find(m_handles.begin(), m_handles.end(), handle) != m_handles.end();
}

void DeviceSession::ignore(uint64_t, void *) {}

void DeviceSession::onNewDevice(uint64_t handle, void *context)
{
    auto *self = static_cast<DeviceSession *>(context);
    {
        const std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_handles.push_back(handle);
        ++self->m_arrivals;
    }
    self->m_arrived.notify_all();
}

void DeviceSession::onDeviceGone(uint64_t handle, void *context)
{
    auto *self = static_cast<DeviceSession *>(context);
    const std::lock_guard<std::mutex> lock(self->m_mutex);
    self->m_handles.erase(std::remove(self->m_handles.begin(), self->m_handles.end(), handle), self->m_handles.end());
}
