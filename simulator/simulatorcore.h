// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The simulator behind the library: the plugged devices and their handles,
// the simulator clock, the thread that announces arrivals and departures, and
// the manager's callbacks. One lock guards it all, and it is never held while
// a callback runs: the manager's new-device callback calls straight back into
// the library.

#pragma once

#include "fairmutex.h"
#include "faultinjector.h"
#include "lqsim.h"
#include "lumenquillapi.h"
#include "simulateddevice.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lqsim {

class SimulatorCore {
public:
    // The one simulator of the process. Never destroyed, so that a late call
    // during process exit still finds it; its thread is stopped at exit.
    static SimulatorCore &instance();

    FaultInjector &faults() { return m_faults; }

    // Every device library function calls this first: counts the call,
    // notes it when it comes after an uninitialise, and answers the code an
    // injected failure makes it fail with, if any.
    std::optional<int> enterCall(ApiFunction function);
    // Calls other than initialise made after an uninitialise left the library
    // stopped, since the last initialise.
    uint64_t callsAfterUninitialize() const { return m_callsAfterUninitialize; }

    // ---- the library side
    void setNewDeviceCallback(LumenquillAPIDeviceCallback callback, void *context);
    void setDeviceGoneCallback(LumenquillAPIDeviceCallback callback, void *context);
    int initialize();
    int uninitialize();
    uint32_t libraryVersion();

    // Runs f(device, timelineMs) under the lock on the announced device with
    // that handle; LQSIM_ERR_UNKNOWN_HANDLE when there is none.
    template <typename F> int withDevice(uint64_t handle, F &&f)
    {
        std::lock_guard lock(m_mutex);
        SimulatedDevice *device = findByHandleLocked(handle);
        if (!device)
            return LQSIM_ERR_UNKNOWN_HANDLE;
        return f(*device, timelineLocked());
    }
    int restart(uint64_t handle);
    int firmwareUpdateStart(uint64_t handle, const wchar_t *path);

    // ---- the control side
    int loadScenarioText(std::string_view text, const std::string &source);
    int loadScenarioFile(const std::string &path);
    int loadStartupScenario();
    int plug(std::string_view deviceJson);
    int unplug(std::string_view mac);
    int replug(std::string_view mac);
    uint64_t handleOf(std::string_view mac);
    int deviceCount();
    bool initialized();

    void useManualClock(uint64_t startMs);
    void useRealClock();
    void advanceClock(uint64_t ms);
    uint64_t nowMs();

    // Runs f(device, timelineMs) under the lock on the plugged device with
    // that MAC text, announced or not; -1 when there is none.
    template <typename F> int withDeviceByMac(std::string_view mac, F &&f)
    {
        std::lock_guard lock(m_mutex);
        SimulatedDevice *device = findByMacLocked(mac);
        if (!device)
            return -1;
        return f(*device, timelineLocked());
    }

private:
    SimulatorCore();

    struct Callback {
        LumenquillAPIDeviceCallback function = nullptr;
        void *context = nullptr;
    };
    enum class EventKind { Arrive, Gone };
    struct Event {
        EventKind kind = EventKind::Arrive;
        uint64_t deviceId = 0; // Arrive
        uint64_t handle = 0;   // Gone
    };
    struct Delivery {
        Callback callback;
        uint64_t handle = 0;
    };

    void run(uint64_t generation);
    bool deliverDueEventLocked(std::unique_lock<FairMutex> &lock);
    bool eventDueLocked() const;
    void queueLocked(EventKind kind, uint64_t dueTimelineMs, uint64_t deviceId, uint64_t handle);
    void stopLocked();
    // The capture writers' periodic work; true when any capture runs.
    bool pumpDiskDumpsLocked();
    bool onSimulatorThreadLocked() const;

    uint64_t timelineLocked() const;
    uint64_t clockLocked() const { return timelineLocked() + uint64_t(m_epochOffsetMs); }

    SimulatedDevice *findByHandleLocked(uint64_t handle);
    SimulatedDevice *findByMacLocked(std::string_view mac);
    void addDeviceLocked(DeviceDescription description);
    void removeAllDevicesLocked();
    // Leaves the manager now and returns after the restart delay.
    void sendAwayLocked(SimulatedDevice &device);

    FaultInjector m_faults;
    // Atomics, not the lock: counting must not order the callers' calls.
    std::atomic<bool> m_uninitialized{false}; // by a call, not merely never started
    std::atomic<uint64_t> m_callsAfterUninitialize{0};

    // Serialises initialise and uninitialise callers with each other, so that
    // an uninitialise returns only once the thread has really stopped.
    std::mutex m_lifecycleMutex;

    mutable FairMutex m_mutex;
    std::condition_variable_any m_wake;  // the simulator thread: something changed
    std::condition_variable_any m_quiet; // clock advancers: an event was handled
    std::thread m_thread;
    std::thread::id m_threadId;
    bool m_running = false;
    uint64_t m_generation = 0; // a new one per initialise; an old thread stops
    int m_deliveries = 0;      // callbacks running right now

    Callback m_newDevice;
    Callback m_deviceGone;

    std::vector<std::unique_ptr<SimulatedDevice>> m_devices;
    uint64_t m_nextDeviceId = 1;
    // Handles look nothing like indexes, so a manager mixing the two fails fast.
    uint64_t m_nextHandle = 0x4c510001;
    uint32_t m_libraryVersion = kDefaultLibraryVersion;

    // Events in due order; the sequence number keeps same-time events in the
    // order they were queued (devices arrive in scenario order).
    std::map<std::pair<uint64_t, uint64_t>, Event> m_events;
    uint64_t m_nextSequence = 0;

    // The clock. The timeline only ever moves forward; setting the clock
    // moves the offset, so events and running updates keep their durations.
    bool m_manual = false;
    uint64_t m_manualTimelineMs = 0;
    std::chrono::steady_clock::time_point m_realBase;
    uint64_t m_realBaseTimelineMs = 0;
    int64_t m_epochOffsetMs = 0;
};

} // namespace lqsim
