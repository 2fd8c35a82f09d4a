// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// One simulated device's settings, records and life cycle.

#include "simulateddevice.h"

#include "capabilities.h"
#include "lqsim.h"

#include <algorithm>
#include <cstring>

namespace lqsim {

SimulatedDevice::SimulatedDevice(uint64_t id, DeviceDescription description, uint64_t timelineMs, uint64_t clockMs)
    : m_id(id), m_description(std::move(description)), m_capabilities(capabilitiesOf(m_description.type)),
      m_versions(m_description.versions), m_features(m_description.features), m_savedFeatures(m_description.features),
      m_ports(m_description.portsSpeed), m_savedPorts(m_description.portsSpeed)
{
    m_diskDump.setDiskBytesPerSecond(uint64_t(m_description.diskMbps) * 1000 * 1000);
    boot(timelineMs, clockMs);
}

SimulatedDevice::~SimulatedDevice() = default;

void SimulatedDevice::boot(uint64_t timelineMs, uint64_t clockMs)
{
    m_bootTimelineMs = timelineMs;
    m_bootClockMs = clockMs;
    auto settings = m_description.physics ? m_description.physics : DevicePhysics::defaults();
    m_physics = std::make_unique<DevicePhysics>(std::move(settings), m_capabilities, m_description.seed, clockMs);
    m_physics->configure(m_features, m_ports, clockMs);
    if (has(LQ_CAP_FILTERS)) {
        m_physics->setPacketFilter(m_filter, clockMs);
        m_physics->setDpiFilter(m_dpi, clockMs);
    }
    // A pulled cable or module stays pulled through a reboot.
    for (int port = 0; port < 2; ++port) {
        if (m_linkDown[size_t(port)])
            m_physics->setLinkForcedDown(port, *m_linkDown[size_t(port)], clockMs);
        if (m_sfpPresent[size_t(port)])
            m_physics->setSfpPresent(port, *m_sfpPresent[size_t(port)], clockMs);
    }
}

void SimulatedDevice::announce(uint64_t handle)
{
    m_handle = handle;
    m_presence = Presence::Present;
}

bool SimulatedDevice::withdraw(Presence next)
{
    const bool wasAnnounced = m_presence == Presence::Present;
    m_presence = next;
    m_handle = 0;
    // Capture needs the device streaming; the writer stops when it leaves,
    // closing its file complete with what it has taken so far.
    m_diskDump.stop(m_physics.get(), 0);
    return wasAnnounced;
}

void SimulatedDevice::powerCycle(uint64_t timelineMs, uint64_t clockMs)
{
    if (const std::optional<FirmwareImageHeader> image = m_update.installed(timelineMs)) {
        std::copy(image->softwareVersion.begin(), image->softwareVersion.end(), m_versions.softwareVersion);
        m_versions.hardwareFirmwareVersion = image->hardwareVersion;
    }
    m_update = FirmwareUpdate();
    m_features = m_savedFeatures;
    m_ports = m_savedPorts;
    m_filter = m_savedFilter;
    m_dpi = m_savedDpi;
    m_diskDump.stop(m_physics.get(), 0);
    m_powerCyclePending = false;
    boot(timelineMs, clockMs);
}

int SimulatedDevice::versions(DeviceVersions *out) const
{
    *out = m_versions;
    return 0;
}

int SimulatedDevice::extraInfo(uint32_t *out) const
{
    *out = m_description.usbSpeed;
    return 0;
}

int SimulatedDevice::features(DeviceFeatures *out) const
{
    if (!has(LQ_CAP_CONFIGURABLE))
        return LQSIM_ERR_NOT_SUPPORTED;
    *out = m_features;
    return 0;
}

int SimulatedDevice::setFeatures(const DeviceFeatures &features, uint64_t timelineMs)
{
    if (!has(LQ_CAP_CONFIGURABLE))
        return LQSIM_ERR_NOT_SUPPORTED;
    m_features = features;
    m_lastFeatures = features;
    m_physics->configure(m_features, m_ports, clockAt(timelineMs));
    return 0;
}

int SimulatedDevice::portsSpeed(DevicePortsSpeed *out) const
{
    if (!has(LQ_CAP_CONFIGURABLE))
        return LQSIM_ERR_NOT_SUPPORTED;
    *out = m_ports;
    return 0;
}

int SimulatedDevice::setPortsSpeed(const DevicePortsSpeed &ports, uint64_t timelineMs)
{
    if (!has(LQ_CAP_CONFIGURABLE))
        return LQSIM_ERR_NOT_SUPPORTED;
    m_ports = ports;
    m_lastPortsSpeed = ports;
    m_physics->configure(m_features, m_ports, clockAt(timelineMs));
    return 0;
}

int SimulatedDevice::saveFeatures()
{
    if (!has(LQ_CAP_CONFIGURABLE))
        return LQSIM_ERR_NOT_SUPPORTED;
    // One save button per tab, one flash record: the port settings go with
    // the features.
    m_savedFeatures = m_features;
    m_savedPorts = m_ports;
    return 0;
}

int SimulatedDevice::packetFilter(PacketFilter *out) const
{
    if (!has(LQ_CAP_FILTERS))
        return LQSIM_ERR_NOT_SUPPORTED;
    *out = m_filter;
    return 0;
}

int SimulatedDevice::setPacketFilter(const PacketFilter &filter, uint64_t timelineMs)
{
    if (!has(LQ_CAP_FILTERS))
        return LQSIM_ERR_NOT_SUPPORTED;
    m_filter = filter;
    m_lastPacketFilter = filter;
    m_physics->setPacketFilter(m_filter, clockAt(timelineMs));
    return 0;
}

int SimulatedDevice::savePacketFilter()
{
    if (!has(LQ_CAP_FILTERS))
        return LQSIM_ERR_NOT_SUPPORTED;
    m_savedFilter = m_filter;
    return 0;
}

int SimulatedDevice::dpiFilter(DpiFilter *out) const
{
    if (!has(LQ_CAP_FILTERS))
        return LQSIM_ERR_NOT_SUPPORTED;
    *out = m_dpi;
    return 0;
}

int SimulatedDevice::setDpiFilter(const DpiFilter &filter, uint64_t timelineMs)
{
    if (!has(LQ_CAP_FILTERS))
        return LQSIM_ERR_NOT_SUPPORTED;
    m_dpi = filter;
    m_lastDpiFilter = filter;
    m_physics->setDpiFilter(m_dpi, clockAt(timelineMs));
    return 0;
}

int SimulatedDevice::saveDpiFilter()
{
    if (!has(LQ_CAP_FILTERS))
        return LQSIM_ERR_NOT_SUPPORTED;
    m_savedDpi = m_dpi;
    return 0;
}

int SimulatedDevice::setCounterV2(const CounterV2Config &config, uint64_t timelineMs)
{
    if (!has(LQ_CAP_STATS_COUNTERS_V2))
        return LQSIM_ERR_NOT_SUPPORTED;
    if (config.index >= LQ_COUNTERS_V2)
        return LQSIM_ERR_INVALID_ARGUMENT;
    m_lastCounters[config.index] = config;
    m_physics->setCounterV2(config, clockAt(timelineMs));
    return 0;
}

int SimulatedDevice::setTimingTime(const TimingTimeSet &timeSet, uint64_t timelineMs)
{
    if (!has(LQ_CAP_TIMING))
        return LQSIM_ERR_NOT_SUPPORTED;
    if (timeSet.source != LQ_TIME_SOURCE_GPS && timeSet.source != LQ_TIME_SOURCE_SNTP)
        return LQSIM_ERR_INVALID_ARGUMENT;
    m_lastTimingTime = timeSet;
    m_physics->setTime(timeSet, clockAt(timelineMs));
    return 0;
}

int SimulatedDevice::linkStatus(uint64_t timelineMs, LinkStatus *out)
{
    m_physics->linkStatus(clockAt(timelineMs), out);
    return 0;
}

int SimulatedDevice::statistics(uint64_t timelineMs, DeviceStatistics *out)
{
    if (!has(LQ_CAP_STATS_PORTS | LQ_CAP_STATS_COUNTERS_V2))
        return LQSIM_ERR_NOT_SUPPORTED;
    m_physics->statistics(clockAt(timelineMs), out);
    return 0;
}

int SimulatedDevice::timingStatus(uint64_t timelineMs, TimingStatus *out)
{
    if (!has(LQ_CAP_TIMING))
        return LQSIM_ERR_NOT_SUPPORTED;
    m_physics->timingStatus(clockAt(timelineMs), out);
    return 0;
}

int SimulatedDevice::diskDumpSetConfig(const DiskDumpConfig &config, std::string pathUtf8, uint64_t timelineMs)
{
    if (!has(LQ_CAP_CONFIGURABLE))
        return LQSIM_ERR_NOT_SUPPORTED;
    if (config.fileFormat != LQ_DISK_DUMP_FORMAT_PCAPNG)
        return LQSIM_ERR_NOT_SUPPORTED;
    // The running capture names, rotates and deletes its files by its own
    // configuration; the device takes a new one only once it has stopped,
    // which a capture with a file count may have done by itself by now.
    pumpDiskDump(timelineMs);
    if (m_diskDump.running())
        return LQSIM_ERR_BUSY;
    m_diskDump.configure(config, std::move(pathUtf8));
    return 0;
}

int SimulatedDevice::diskDumpStart(uint64_t timelineMs)
{
    if (!has(LQ_CAP_CONFIGURABLE))
        return LQSIM_ERR_NOT_SUPPORTED;
    return m_diskDump.start(*m_physics, m_features, clockAt(timelineMs));
}

int SimulatedDevice::diskDumpStop(uint64_t timelineMs)
{
    if (!has(LQ_CAP_CONFIGURABLE))
        return LQSIM_ERR_NOT_SUPPORTED;
    m_diskDump.stop(m_physics.get(), clockAt(timelineMs));
    return 0;
}

void SimulatedDevice::pumpDiskDump(uint64_t timelineMs)
{
    if (m_diskDump.running())
        m_diskDump.pump(*m_physics, clockAt(timelineMs));
}

int SimulatedDevice::diskDumpStatus(DiskDumpStatus *out) const
{
    if (!has(LQ_CAP_CONFIGURABLE))
        return LQSIM_ERR_NOT_SUPPORTED;
    m_diskDump.status(out);
    return 0;
}

int SimulatedDevice::hwFirmwares(HwFirmwaresDesc *out) const
{
    std::memset(out, 0, sizeof *out);
    if (!has(LQ_CAP_FIRMWARE_VARIANTS))
        return 0;
    const size_t count = std::min<size_t>(m_description.firmwareVariants.size(), LQ_MAX_HW_FIRMWARES);
    for (size_t i = 0; i < count; ++i) {
        const std::string &name = m_description.firmwareVariants[i];
        std::memcpy(out->names[i], name.data(), std::min<size_t>(name.size(), LQ_HW_FIRMWARE_NAME_BYTES - 1));
    }
    out->count = static_cast<int32_t>(count);
    return 0;
}

int SimulatedDevice::canStartFirmwareUpdate(uint64_t timelineMs) const
{
    if (!has(LQ_CAP_FIRMWARE_FLASH))
        return LQSIM_ERR_NOT_SUPPORTED;
    if (m_update.running(timelineMs))
        return LQSIM_ERR_BUSY;
    return 0;
}

void SimulatedDevice::startFirmwareUpdate(const ImageCheck &image, uint64_t timelineMs)
{
    m_update.start(image, timelineMs);
}

int SimulatedDevice::firmwareProgress(uint64_t timelineMs, uint32_t *percent) const
{
    if (!m_update.started())
        return LQSIM_ERR_NOT_READY;
    return m_update.progress(timelineMs, percent);
}

int SimulatedDevice::setLinkDown(int port, bool down, uint64_t timelineMs)
{
    if (port != 0 && port != 1)
        return -1;
    m_linkDown[size_t(port)] = down;
    m_physics->setLinkForcedDown(port, down, clockAt(timelineMs));
    return 0;
}

int SimulatedDevice::setSfpPresent(int port, bool present, uint64_t timelineMs)
{
    if (port != 0 && port != 1)
        return -1;
    m_sfpPresent[size_t(port)] = present;
    m_physics->setSfpPresent(port, present, clockAt(timelineMs));
    return 0;
}

} // namespace lqsim
