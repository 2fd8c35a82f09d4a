// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Device registry, clock, event thread and callbacks of the simulator.

#include "simulatorcore.h"

#include "firmwareupdate.h"
#include "macaddress.h"
#include "scenario.h"
#include "widestring.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lqsim {

namespace {

using Clock = std::chrono::steady_clock;

SimulatorCore *g_core = nullptr;

// Set on the simulator's own threads (the running one and any stopped one
// still returning from a callback): they must never wait for themselves.
thread_local bool t_simulatorThread = false;

// One write, so that the line arrives whole even when the manager's threads
// write to stderr at the same moment.
void printLine(const std::string &line)
{
    const std::string text = line + '\n';
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        done += size_t(n);
    }
}

// Answers false with *why set when the file cannot be read or is larger
// than any scenario; reading stops there, so an endless file ends too.
bool readScenarioFile(const std::string &path, std::string *out, std::string *why)
{
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *why = std::strerror(errno);
        return false;
    }
    char buffer[16384];
    size_t n = 0;
    bool tooLarge = false;
    while (!tooLarge && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        out->append(buffer, n);
        tooLarge = out->size() > kMaxScenarioFileBytes;
    }
    const bool failed = !tooLarge && std::ferror(file) != 0;
    if (failed)
        *why = std::strerror(errno);
    std::fclose(file);
    if (tooLarge)
        *why = "larger than " + std::to_string(kMaxScenarioFileBytes >> 20) + " MiB";
    return !failed && !tooLarge;
}

uint64_t wallClockMs()
{
    return uint64_t(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

// Stops the simulator thread when the process exits without uninitialising
// the library, so that no callback reaches a manager already torn down.
struct StopAtExit {
    ~StopAtExit()
    {
        if (g_core)
            g_core->uninitialize();
    }
} g_stopAtExit;

} // namespace

SimulatorCore &SimulatorCore::instance()
{
    static SimulatorCore *core = [] {
        g_core = new SimulatorCore;
        return g_core;
    }();
    return *core;
}

SimulatorCore::SimulatorCore() : m_realBase(Clock::now()), m_epochOffsetMs(int64_t(wallClockMs()))
{
    loadStartupScenario();
}

// ------------------------------------------------------------------ clock

uint64_t SimulatorCore::timelineLocked() const
{
    if (m_manual)
        return m_manualTimelineMs;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_realBase);
    return m_realBaseTimelineMs + uint64_t(elapsed.count());
}

void SimulatorCore::useManualClock(uint64_t startMs)
{
    std::lock_guard lock(m_mutex);
    const uint64_t timeline = timelineLocked();
    m_manual = true;
    m_manualTimelineMs = timeline;
    if (startMs != 0)
        m_epochOffsetMs = int64_t(startMs) - int64_t(timeline);
    m_wake.notify_all();
}

void SimulatorCore::useRealClock()
{
    std::lock_guard lock(m_mutex);
    const uint64_t timeline = timelineLocked();
    m_manual = false;
    m_realBase = Clock::now();
    m_realBaseTimelineMs = timeline;
    m_wake.notify_all();
}

void SimulatorCore::advanceClock(uint64_t ms)
{
    std::unique_lock lock(m_mutex);
    if (m_manual)
        m_manualTimelineMs += ms;
    else
        m_realBaseTimelineMs += ms;
    // The capture files follow the clock at once, so that a test on the
    // manual clock finds them written when this returns.
    pumpDiskDumpsLocked();
    m_wake.notify_all();
    // From a callback the events could only be handled after it returns.
    if (!m_running || onSimulatorThreadLocked())
        return;
    const uint64_t generation = m_generation;
    m_quiet.wait(lock,
                 [&] { return !m_running || m_generation != generation || (m_deliveries == 0 && !eventDueLocked()); });
}

uint64_t SimulatorCore::nowMs()
{
    std::lock_guard lock(m_mutex);
    return clockLocked();
}

// ------------------------------------------------------------------ thread

bool SimulatorCore::onSimulatorThreadLocked() const
{
    return t_simulatorThread;
}

bool SimulatorCore::eventDueLocked() const
{
    return !m_events.empty() && m_events.begin()->first.first <= timelineLocked();
}

void SimulatorCore::queueLocked(EventKind kind, uint64_t dueTimelineMs, uint64_t deviceId, uint64_t handle)
{
    m_events.emplace(std::make_pair(dueTimelineMs, m_nextSequence++), Event{kind, deviceId, handle});
    m_wake.notify_all();
}

bool SimulatorCore::deliverDueEventLocked(std::unique_lock<FairMutex> &lock)
{
    if (!eventDueLocked())
        return false;
    const Event event = m_events.begin()->second;
    m_events.erase(m_events.begin());

    Delivery delivery;
    if (event.kind == EventKind::Gone) {
        delivery = Delivery{m_deviceGone, event.handle};
    } else {
        const auto it =
            std::find_if(m_devices.begin(), m_devices.end(), [&](const auto &d) { return d->id() == event.deviceId; });
        // Unplugged (or announced some other way) while the arrival was due.
        if (it == m_devices.end() || (*it)->presence() == SimulatedDevice::Presence::Present)
            return true;
        SimulatedDevice &device = **it;
        if (device.presence() == SimulatedDevice::Presence::Restarting || device.powerCyclePending())
            device.powerCycle(timelineLocked(), clockLocked());
        device.announce(m_nextHandle++);
        delivery = Delivery{m_newDevice, device.handle()};
    }
    if (!delivery.callback.function)
        return true;

    ++m_deliveries;
    lock.unlock();
    delivery.callback.function(delivery.handle, delivery.callback.context);
    lock.lock();
    --m_deliveries;
    m_quiet.notify_all();
    return true;
}

bool SimulatorCore::pumpDiskDumpsLocked()
{
    bool any = false;
    const uint64_t now = timelineLocked();
    for (const auto &device : m_devices) {
        device->pumpDiskDump(now);
        any = any || device->diskDumpRunning();
    }
    return any;
}

void SimulatorCore::run(uint64_t generation)
{
    t_simulatorThread = true;
    std::unique_lock lock(m_mutex);
    while (m_running && m_generation == generation) {
        if (deliverDueEventLocked(lock))
            continue;
        m_quiet.notify_all();
        const bool capturing = pumpDiskDumpsLocked();
        if (!m_manual && (capturing || !m_events.empty())) {
            // On the wall clock a running capture wakes the thread every step.
            uint64_t waitMs = capturing ? lqsim::DiskDump::kStepMs : UINT64_MAX;
            if (!m_events.empty()) {
                const uint64_t due = m_events.begin()->first.first;
                const uint64_t now = timelineLocked();
                waitMs = std::min(waitMs, due > now ? due - now : 0);
            }
            m_wake.wait_for(lock, std::chrono::milliseconds(waitMs));
        } else {
            m_wake.wait(lock);
        }
    }
    m_quiet.notify_all();
}

// ------------------------------------------------------------------ library side

void SimulatorCore::setNewDeviceCallback(LumenquillAPIDeviceCallback callback, void *context)
{
    std::lock_guard lock(m_mutex);
    m_newDevice = Callback{callback, context};
}

void SimulatorCore::setDeviceGoneCallback(LumenquillAPIDeviceCallback callback, void *context)
{
    std::lock_guard lock(m_mutex);
    m_deviceGone = Callback{callback, context};
}

std::optional<int> SimulatorCore::enterCall(ApiFunction function)
{
    if (function != ApiFunction::Initialize && m_uninitialized)
        ++m_callsAfterUninitialize;
    return m_faults.enter(function);
}

int SimulatorCore::initialize()
{
    if (t_simulatorThread) {
        // A callback initialising: fine while the library runs; once it is
        // being stopped, starting again from here could only deadlock.
        std::lock_guard lock(m_mutex);
        return m_running ? 0 : LQSIM_ERR_BUSY;
    }
    std::lock_guard lifecycle(m_lifecycleMutex);
    std::lock_guard lock(m_mutex);
    m_uninitialized = false;
    m_callsAfterUninitialize = 0;
    if (m_running)
        return 0;
    m_running = true;
    const uint64_t generation = ++m_generation;
    const uint64_t now = timelineLocked();
    for (const auto &device : m_devices)
        queueLocked(EventKind::Arrive, now, device->id(), 0);
    m_thread = std::thread([this, generation] { run(generation); });
    m_threadId = m_thread.get_id();
    return 0;
}

void SimulatorCore::stopLocked()
{
    // Under the lock, so that a call which finds its device still announced
    // is not counted as coming after.
    m_uninitialized = true;
    m_running = false;
    ++m_generation;
    m_events.clear();
    // Handles die with the session; every device is announced afresh by the
    // next initialise, a restarting one rebooted.
    for (const auto &device : m_devices) {
        if (device->presence() == SimulatedDevice::Presence::Restarting)
            device->setPowerCyclePending();
        device->withdraw(SimulatedDevice::Presence::Waiting);
    }
    m_threadId = std::thread::id();
    m_wake.notify_all();
    m_quiet.notify_all();
}

int SimulatorCore::uninitialize()
{
    if (t_simulatorThread) {
        // From a callback: the thread cannot join itself. It stops as soon as
        // the callback returns, and delivers nothing more.
        std::lock_guard lock(m_mutex);
        if (m_running && m_threadId == std::this_thread::get_id()) {
            stopLocked();
            m_thread.detach();
        }
        return 0;
    }
    std::lock_guard lifecycle(m_lifecycleMutex);
    std::thread thread;
    {
        std::lock_guard lock(m_mutex);
        m_uninitialized = true;
        if (!m_running)
            return 0;
        stopLocked();
        thread = std::move(m_thread);
    }
    if (thread.joinable())
        thread.join();
    return 0;
}

uint32_t SimulatorCore::libraryVersion()
{
    std::lock_guard lock(m_mutex);
    return m_libraryVersion;
}

SimulatedDevice *SimulatorCore::findByHandleLocked(uint64_t handle)
{
    if (handle == 0)
        return nullptr;
    for (const auto &device : m_devices) {
        if (device->handle() == handle)
            return device.get();
    }
    return nullptr;
}

SimulatedDevice *SimulatorCore::findByMacLocked(std::string_view mac)
{
    MacAddress wanted{};
    if (!parseMac(mac, &wanted))
        return nullptr;
    for (const auto &device : m_devices) {
        if (device->mac() == wanted)
            return device.get();
    }
    return nullptr;
}

void SimulatorCore::sendAwayLocked(SimulatedDevice &device)
{
    const uint64_t handle = device.handle();
    const uint64_t now = timelineLocked();
    if (device.withdraw(SimulatedDevice::Presence::Restarting))
        queueLocked(EventKind::Gone, now, 0, handle);
    queueLocked(EventKind::Arrive, now + LQSIM_RESTART_MS, device.id(), 0);
}

int SimulatorCore::restart(uint64_t handle)
{
    std::lock_guard lock(m_mutex);
    SimulatedDevice *device = findByHandleLocked(handle);
    if (!device)
        return LQSIM_ERR_UNKNOWN_HANDLE;
    // Rebooting mid-flash is what bricks real devices; ours refuse.
    if (device->firmwareUpdateRunning(timelineLocked()))
        return LQSIM_ERR_BUSY;
    sendAwayLocked(*device);
    return 0;
}

int SimulatorCore::firmwareUpdateStart(uint64_t handle, const wchar_t *path)
{
    uint32_t type = 0;
    const int ready = withDevice(handle, [&](SimulatedDevice &device, uint64_t timeline) {
        type = device.type();
        return device.canStartFirmwareUpdate(timeline);
    });
    if (ready != 0)
        return ready;
    // The manager widens each byte of the local 8-bit path into one wide
    // character; read it back the same way, or a non-ASCII path names a
    // file that does not exist.
    const std::optional<std::string> bytes = bytesFromWide(path);
    if (!bytes)
        return LQSIM_ERR_INVALID_ARGUMENT;

    // Reading and checking the image may take a while; other threads keep
    // working meanwhile, and the device may even leave.
    const ImageCheck image = checkImageFile(*bytes, type);
    if (image.code != 0)
        return image.code;
    return withDevice(handle, [&](SimulatedDevice &device, uint64_t timeline) {
        const int again = device.canStartFirmwareUpdate(timeline);
        if (again != 0)
            return again;
        device.startFirmwareUpdate(image, timeline);
        return 0;
    });
}

// ------------------------------------------------------------------ control side

void SimulatorCore::addDeviceLocked(DeviceDescription description)
{
    auto device =
        std::make_unique<SimulatedDevice>(m_nextDeviceId++, std::move(description), timelineLocked(), clockLocked());
    if (m_running)
        queueLocked(EventKind::Arrive, timelineLocked(), device->id(), 0);
    m_devices.push_back(std::move(device));
}

void SimulatorCore::removeAllDevicesLocked()
{
    const uint64_t now = timelineLocked();
    for (const auto &device : m_devices) {
        const uint64_t handle = device->handle();
        if (device->withdraw(SimulatedDevice::Presence::Waiting) && m_running)
            queueLocked(EventKind::Gone, now, 0, handle);
    }
    m_devices.clear();
}

int SimulatorCore::loadScenarioText(std::string_view text, const std::string &source)
{
    Scenario scenario;
    std::string error;
    const bool ok = parseScenario(text, source, &scenario, &error);
    if (!ok)
        printLine(error);
    std::lock_guard lock(m_mutex);
    removeAllDevicesLocked();
    m_libraryVersion = ok ? scenario.libraryVersion : kDefaultLibraryVersion;
    for (DeviceDescription &description : scenario.devices)
        addDeviceLocked(std::move(description));
    return ok ? 0 : -1;
}

int SimulatorCore::loadScenarioFile(const std::string &path)
{
    std::string text;
    std::string why;
    if (!readScenarioFile(path, &text, &why)) {
        printLine(unreadableScenarioError(path, why));
        std::lock_guard lock(m_mutex);
        removeAllDevicesLocked();
        m_libraryVersion = kDefaultLibraryVersion;
        return -1;
    }
    return loadScenarioText(text, path);
}

int SimulatorCore::loadStartupScenario()
{
    const char *path = std::getenv("LUMENQUILL_SIM_SCENARIO");
    if (path && *path)
        return loadScenarioFile(path);
    return loadScenarioText(defaultScenarioJson(), "<default scenario>");
}

int SimulatorCore::plug(std::string_view deviceJson)
{
    DeviceDescription description;
    std::string error;
    if (!parseDevice(deviceJson, "<text>", &description, &error)) {
        printLine(error);
        return -1;
    }
    const MacAddress mac = description.mac;
    {
        std::lock_guard lock(m_mutex);
        const bool taken =
            std::any_of(m_devices.begin(), m_devices.end(), [&](const auto &d) { return d->mac() == mac; });
        if (!taken) {
            addDeviceLocked(std::move(description));
            return 0;
        }
    }
    printLine("lumenquill simulator: <text>: mac: \"" + macText(mac) + "\" is already plugged");
    return -1;
}

int SimulatorCore::unplug(std::string_view mac)
{
    std::lock_guard lock(m_mutex);
    SimulatedDevice *device = findByMacLocked(mac);
    if (!device)
        return -1;
    const uint64_t handle = device->handle();
    if (device->withdraw(SimulatedDevice::Presence::Waiting) && m_running)
        queueLocked(EventKind::Gone, timelineLocked(), 0, handle);
    m_devices.erase(std::find_if(m_devices.begin(), m_devices.end(), [&](const auto &d) { return d.get() == device; }));
    return 0;
}

int SimulatorCore::replug(std::string_view mac)
{
    std::lock_guard lock(m_mutex);
    SimulatedDevice *device = findByMacLocked(mac);
    if (!device || device->firmwareUpdateRunning(timelineLocked()))
        return -1;
    switch (device->presence()) {
    case SimulatedDevice::Presence::Present:
        sendAwayLocked(*device);
        break;
    case SimulatedDevice::Presence::Waiting:
        // Not announced yet: it reboots on its way in.
        device->setPowerCyclePending();
        break;
    case SimulatedDevice::Presence::Restarting:
        break; // already on its way back
    }
    return 0;
}

uint64_t SimulatorCore::handleOf(std::string_view mac)
{
    std::lock_guard lock(m_mutex);
    const SimulatedDevice *device = findByMacLocked(mac);
    return device ? device->handle() : 0;
}

int SimulatorCore::deviceCount()
{
    std::lock_guard lock(m_mutex);
    return int(m_devices.size());
}

bool SimulatorCore::initialized()
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

} // namespace lqsim
