// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Direct capture of one device to PCAP-NG files on the workstation: its
// configuration, the capture buffer between the device and the disk, and the
// writer that rotates the files.
//
// The tap hands over a sample of the line (at most a few hundred packets per
// second and port), each packet standing for `represents` real ones. The files
// hold the sample; the buffer and the status figures (buffered, written and
// dropped bytes) count the bytes of the line the sample stands for, so that a
// busy 10G link overruns the buffer as the real one would.

#pragma once

#include "lumenquillapi.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace lqsim {

class DevicePhysics;
struct CapturedPacket;

class DiskDump {
public:
    // The simulated disk the capture buffer drains into, bytes per second,
    // unless the scenario's disk_mbps says otherwise: a plain SATA SSD.
    static constexpr uint64_t kDiskBytesPerSecond = 400ull * 1000 * 1000;
    // Above this share of the buffer the buffer alarm is raised, in percent.
    static constexpr uint64_t kHighWaterPercent = 80;
    // The writer works through the simulator clock in steps of this length.
    static constexpr uint64_t kStepMs = 100;

    DiskDump() = default;
    ~DiskDump();
    DiskDump(const DiskDump &) = delete;
    DiskDump &operator=(const DiskDump &) = delete;

    // The manager frees the configuration's path right after the call, so the
    // path is copied (as UTF-8) before this returns. pathUtf8 is the already
    // converted path.
    void configure(const DiskDumpConfig &config, std::string pathUtf8);
    bool configured() const { return m_configured; }
    void setDiskBytesPerSecond(uint64_t rate) { m_diskRate = rate; }
    // The configuration as last set, its path pointer cleared.
    const DiskDumpConfig &config() const { return m_config; }
    const std::string &path() const { return m_path; }

    // LQSIM_ERR_NOT_READY without a configuration; starting twice is harmless.
    // A file that cannot be created is reported in the status, not here: the
    // manager learns of it the way it learns of a full disk.
    int start(DevicePhysics &physics, const DeviceFeatures &features, uint64_t nowMs);
    // Writes what the tap holds up to nowMs (when physics is given), then
    // everything still buffered, and closes the file complete.
    void stop(DevicePhysics *physics, uint64_t nowMs);
    // Takes the tap's packets up to nowMs (simulator clock of the device) and
    // writes them through the buffer.
    void pump(DevicePhysics &physics, uint64_t nowMs);
    bool running() const { return m_running; }
    void status(DiskDumpStatus *out) const;
    // Packets in the files (some perhaps still in the write buffer) and files
    // opened by the current or last capture, for
    // the control API (a ring deletes files, so they need not all exist).
    uint64_t packetsWritten() const { return m_committedPackets + m_uncommittedPackets; }
    uint64_t filesOpened() const { return m_filesOpened; }

    // The name of the file with sequence number `index` (0 is the path itself).
    static std::string fileName(const std::string &path, uint64_t index);

private:
    // One port's counts since power-on, as the interface statistics give them.
    struct PortCounts {
        uint64_t received = 0; // frames on the line, bad ones included
        uint64_t dropped = 0;  // lost in the device's capture buffer
        uint64_t accepted = 0; // passed the header and pattern filters on to the host
    };
    // The device at a moment of the writer's clock.
    struct Mark {
        uint64_t deviceNs = 0;
        std::array<PortCounts, 2> ports{};
    };
    static Mark mark(DevicePhysics &physics, uint64_t atMs);

    void step(DevicePhysics &physics, uint64_t fromMs, uint64_t toMs);
    void writePacket(const CapturedPacket &packet, uint64_t atMs);
    bool openFile(uint64_t atMs);
    void closeFile();
    bool writeBytes(const std::vector<uint8_t> &bytes);
    bool commit();
    void fail(int error);

    bool m_configured = false;
    uint64_t m_diskRate = kDiskBytesPerSecond;
    bool m_running = false;
    DiskDumpConfig m_config{};
    std::string m_path;

    // Capture state.
    DeviceFeatures m_features{};
    std::FILE *m_file = nullptr;
    std::string m_fileName;
    uint64_t m_fileIndex = 0; // sequence number of the open file
    uint64_t m_filesOpened = 0;
    uint64_t m_fileBytes = 0;
    uint64_t m_committedBytes = 0; // of the open file, known to be on disk
    uint64_t m_uncommittedPackets = 0;
    uint64_t m_filePackets = 0;
    uint64_t m_fileStartMs = 0;
    // The device counts in whole steps: the open file's statistics run from
    // the start of the step it was opened in to the start of the step it is
    // closed in (at a stop, the stop), where the next file's begin.
    Mark m_fileMark;            // when the open file was opened
    Mark m_stepMark;            // at m_lastMs
    uint64_t m_lastMs = 0;      // the tap has been read up to here
    uint64_t m_drainFromMs = 0; // the buffer has drained up to here
    uint64_t m_fill = 0;        // line bytes in the buffer
    uint64_t m_written = 0;
    uint64_t m_dropped = 0;
    uint64_t m_committedPackets = 0;
    bool m_alarm = false;
    int m_error = 0;
    std::vector<uint8_t> m_block; // scratch for one block
};

} // namespace lqsim
