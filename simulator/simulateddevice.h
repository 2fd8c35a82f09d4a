// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// One simulated device as the library sees it: the settings in force and the
// saved ones, what the manager last set, direct capture, firmware update, and
// its hardware. Not thread-safe; the simulator core serialises every call.
//
// Times: "timeline" is the simulator's monotonic milliseconds, which never
// jump when a test sets the clock; the hardware runs on the simulator clock
// as it read when the device powered on, advanced by the timeline since.

#pragma once

#include "devicephysics.h"
#include "diskdump.h"
#include "firmwareupdate.h"
#include "scenario.h"

#include <array>
#include <memory>
#include <optional>

namespace lqsim {

class SimulatedDevice {
public:
    enum class Presence {
        Waiting,    // plugged, not announced yet (library not initialised, or arrival due)
        Present,    // announced; its handle works
        Restarting, // gone from the manager, back after LQSIM_RESTART_MS
    };

    SimulatedDevice(uint64_t id, DeviceDescription description, uint64_t timelineMs, uint64_t clockMs);
    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice &) = delete;
    SimulatedDevice &operator=(const SimulatedDevice &) = delete;

    uint64_t id() const { return m_id; }
    const MacAddress &mac() const { return m_description.mac; }
    uint32_t type() const { return m_description.type; }
    uint32_t capabilities() const { return m_capabilities; }

    Presence presence() const { return m_presence; }
    uint64_t handle() const { return m_handle; }
    void announce(uint64_t handle);
    // Leaves the manager; true when it had been announced (a device-gone is due).
    bool withdraw(Presence next);
    // Reboot: the saved settings come into force, a finished firmware update is
    // installed, the hardware starts afresh. Anything not saved is lost.
    void powerCycle(uint64_t timelineMs, uint64_t clockMs);
    bool powerCyclePending() const { return m_powerCyclePending; }
    void setPowerCyclePending() { m_powerCyclePending = true; }

    // Library operations. Each answers 0 or an LQSIM_ERR_* code; pointers are
    // checked by the caller.
    int versions(DeviceVersions *out) const;
    int extraInfo(uint32_t *out) const;
    int features(DeviceFeatures *out) const;
    int setFeatures(const DeviceFeatures &features, uint64_t timelineMs);
    int portsSpeed(DevicePortsSpeed *out) const;
    int setPortsSpeed(const DevicePortsSpeed &ports, uint64_t timelineMs);
    int saveFeatures();
    int packetFilter(PacketFilter *out) const;
    int setPacketFilter(const PacketFilter &filter, uint64_t timelineMs);
    int savePacketFilter();
    int dpiFilter(DpiFilter *out) const;
    int setDpiFilter(const DpiFilter &filter, uint64_t timelineMs);
    int saveDpiFilter();
    int setCounterV2(const CounterV2Config &config, uint64_t timelineMs);
    int setTimingTime(const TimingTimeSet &timeSet, uint64_t timelineMs);
    int linkStatus(uint64_t timelineMs, LinkStatus *out);
    int statistics(uint64_t timelineMs, DeviceStatistics *out);
    int timingStatus(uint64_t timelineMs, TimingStatus *out);
    // LQSIM_ERR_BUSY while a capture runs.
    int diskDumpSetConfig(const DiskDumpConfig &config, std::string pathUtf8, uint64_t timelineMs);
    int diskDumpStart(uint64_t timelineMs);
    int diskDumpStop(uint64_t timelineMs);
    // Periodic work of the capture writer, up to timelineMs.
    void pumpDiskDump(uint64_t timelineMs);
    bool diskDumpRunning() const { return m_diskDump.running(); }
    int diskDumpStatus(DiskDumpStatus *out) const;
    int hwFirmwares(HwFirmwaresDesc *out) const;
    // Checks that an update may start now; the image is checked by the caller
    // without the simulator lock held.
    int canStartFirmwareUpdate(uint64_t timelineMs) const;
    void startFirmwareUpdate(const ImageCheck &image, uint64_t timelineMs);
    int firmwareProgress(uint64_t timelineMs, uint32_t *percent) const;
    bool firmwareUpdateRunning(uint64_t timelineMs) const { return m_update.running(timelineMs); }

    // Physical events from the control API; they outlast restarts.
    int setLinkDown(int port, bool down, uint64_t timelineMs);
    int setSfpPresent(int port, bool present, uint64_t timelineMs);

    // What the manager last set, for the control API's read-backs.
    const std::optional<DeviceFeatures> &lastFeatures() const { return m_lastFeatures; }
    const std::optional<DevicePortsSpeed> &lastPortsSpeed() const { return m_lastPortsSpeed; }
    const std::optional<CounterV2Config> &lastCounterV2(uint32_t index) const { return m_lastCounters[index]; }
    const std::optional<PacketFilter> &lastPacketFilter() const { return m_lastPacketFilter; }
    const std::optional<DpiFilter> &lastDpiFilter() const { return m_lastDpiFilter; }
    const std::optional<TimingTimeSet> &lastTimingTime() const { return m_lastTimingTime; }
    const DiskDump &diskDump() const { return m_diskDump; }

private:
    bool has(uint32_t capability) const { return (m_capabilities & capability) != 0; }
    uint64_t clockAt(uint64_t timelineMs) const { return m_bootClockMs + (timelineMs - m_bootTimelineMs); }
    void boot(uint64_t timelineMs, uint64_t clockMs);

    uint64_t m_id = 0;
    DeviceDescription m_description;
    uint32_t m_capabilities = 0;
    Presence m_presence = Presence::Waiting;
    uint64_t m_handle = 0;
    bool m_powerCyclePending = false;

    uint64_t m_bootTimelineMs = 0;
    uint64_t m_bootClockMs = 0;
    std::unique_ptr<DevicePhysics> m_physics;

    DeviceVersions m_versions{};
    DeviceFeatures m_features{};
    DeviceFeatures m_savedFeatures{};
    DevicePortsSpeed m_ports{};
    DevicePortsSpeed m_savedPorts{};
    PacketFilter m_filter{};
    PacketFilter m_savedFilter{};
    DpiFilter m_dpi{};
    DpiFilter m_savedDpi{};

    std::optional<DeviceFeatures> m_lastFeatures;
    std::optional<DevicePortsSpeed> m_lastPortsSpeed;
    std::array<std::optional<CounterV2Config>, LQ_COUNTERS_V2> m_lastCounters;
    std::optional<PacketFilter> m_lastPacketFilter;
    std::optional<DpiFilter> m_lastDpiFilter;
    std::optional<TimingTimeSet> m_lastTimingTime;

    DiskDump m_diskDump;
    FirmwareUpdate m_update;
    std::array<std::optional<bool>, 2> m_linkDown;
    std::array<std::optional<bool>, 2> m_sfpPresent;
};

} // namespace lqsim
