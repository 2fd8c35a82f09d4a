// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Direct capture: the capture buffer and the PCAP-NG writer of one device.

#include "diskdump.h"

#include "devicephysics.h"
#include "lqsim.h"
#include "packetledger.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace lqsim {

namespace {

constexpr uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr uint32_t kInterfaceDescription = 0x00000001;
constexpr uint32_t kEnhancedPacket = 0x00000006;
constexpr uint32_t kInterfaceStatistics = 0x00000005;
// One port's statistics block: header, interface, timestamp, five 8-byte
// options, end of options, trailing length. A file keeps room for two.
constexpr uint64_t kStatisticsBlockBytes = 12 + 8 + 5 * 12 + 4 + 4;
constexpr uint16_t kLinkTypeEthernet = 1;
constexpr uint32_t kDefaultSnapLength = 65535;
constexpr uint64_t kWriteBufferBytes = 1 << 20;
constexpr uint32_t kCrcErrorFlag = 1u << 24; // epb_flags: link-layer CRC error
constexpr uint64_t kBufferLowWaterPercent = 50;

void put16(std::vector<uint8_t> &b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t> &b, uint32_t v)
{
    put16(b, uint16_t(v));
    put16(b, uint16_t(v >> 16));
}

void pad4(std::vector<uint8_t> &b)
{
    while (b.size() % 4)
        b.push_back(0);
}

void putOption(std::vector<uint8_t> &b, uint16_t code, const void *value, size_t length)
{
    put16(b, code);
    put16(b, uint16_t(length));
    const auto *bytes = static_cast<const uint8_t *>(value);
    b.insert(b.end(), bytes, bytes + length);
    pad4(b);
}

// Opens a block in b; finishBlock fills in its length at both ends.
void startBlock(std::vector<uint8_t> &b, uint32_t type)
{
    b.clear();
    put32(b, type);
    put32(b, 0);
}

void finishBlock(std::vector<uint8_t> &b)
{
    put32(b, 0);
    const uint32_t length = uint32_t(b.size());
    std::memcpy(b.data() + 4, &length, 4);            // pcapng is written in host order,
    std::memcpy(b.data() + b.size() - 4, &length, 4); // which the BOM tells readers
}

} // namespace

DiskDump::~DiskDump()
{
    // A device torn down mid-capture still leaves a complete file behind.
    stop(nullptr, m_lastMs);
}

void DiskDump::configure(const DiskDumpConfig &config, std::string pathUtf8)
{
    m_config = config;
    m_config.path = nullptr; // borrowed, and gone once the call returns
    m_path = std::move(pathUtf8);
    m_configured = true;
}

std::string DiskDump::fileName(const std::string &path, uint64_t index)
{
    if (index == 0)
        return path;
    // capture.pcapng -> capture_00001.pcapng; the extension is what follows
    // the last dot of the file name, not of a folder.
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    char number[32];
    std::snprintf(number, sizeof number, "_%05llu", static_cast<unsigned long long>(index));
    if (!hasExtension)
        return path + number;
    return path.substr(0, dot) + number + path.substr(dot);
}

int DiskDump::start(DevicePhysics &physics, const DeviceFeatures &features, uint64_t nowMs)
{
    if (!m_configured || m_path.empty())
        return LQSIM_ERR_NOT_READY;
    if (m_running)
        return 0;
    m_features = features;
    m_fileIndex = 0;
    m_filesOpened = 0;
    m_lastMs = nowMs;
    m_drainFromMs = nowMs;
    m_fill = 0;
    m_written = 0;
    m_dropped = 0;
    m_committedPackets = 0;
    m_uncommittedPackets = 0;
    m_alarm = false;
    m_error = 0;
    m_running = true;
    m_stepMark = mark(physics, nowMs);
    if (!openFile(nowMs))
        return 0;
    physics.openCaptureTap(nowMs);
    return 0;
}

void DiskDump::stop(DevicePhysics *physics, uint64_t nowMs)
{
    if (!m_running)
        return;
    if (physics) {
        pump(*physics, nowMs);
        physics->closeCaptureTap();
    }
    if (!m_running) // the last packets may have hit an error
        return;
    // What is in the buffer still reaches the disk before the writer stops.
    m_written += m_fill;
    m_fill = 0;
    m_alarm = false;
    closeFile();
    m_running = false;
}

void DiskDump::pump(DevicePhysics &physics, uint64_t nowMs)
{
    while (m_running && m_lastMs < nowMs) {
        const uint64_t to = std::min(nowMs, m_lastMs + kStepMs);
        step(physics, m_lastMs, to);
        m_lastMs = to;
        // Committing is a flush: once per write buffer's worth, as stdio would.
        if (m_fileBytes - m_committedBytes >= kWriteBufferBytes)
            commit();
    }
    if (!m_running)
        physics.closeCaptureTap();
}

void DiskDump::step(DevicePhysics &physics, uint64_t fromMs, uint64_t toMs)
{
    std::vector<CapturedPacket> packets;
    for (int port = 0; port < 2; ++port)
        physics.takeCapturedPackets(port, fromMs, toMs, &packets);
    // The host sees both ports interleaved in time.
    std::stable_sort(packets.begin(), packets.end(),
                     [](const CapturedPacket &a, const CapturedPacket &b) { return a.timestampNs < b.timestampNs; });
    const uint64_t bufferSize = m_config.bufferSize;
    const size_t count = packets.size();
    for (size_t i = 0; i < count && m_running; ++i) {
        // Spread evenly over the step: the tap keeps no finer simulator time.
        const uint64_t atMs = fromMs + (toMs - fromMs) * (i + 1) / count;
        const CapturedPacket &packet = packets[i];
        // The line packets a sample stands for arrive over the time since the
        // previous sample, while the disk drains the buffer: a single sample
        // may stand for more than the whole buffer without overrunning it.
        const uint64_t lineBytes = packet.represents * packet.data.size();
        const uint64_t drained = atMs > m_drainFromMs ? m_diskRate * (atMs - m_drainFromMs) / 1000 : 0;
        m_drainFromMs = std::max(m_drainFromMs, atMs);
        uint64_t level = m_fill + lineBytes;
        const uint64_t out = std::min(level, drained);
        level -= out;
        m_written += out;
        const uint64_t overflow = bufferSize != 0 && level > bufferSize ? level - bufferSize : 0;
        m_fill = level - overflow;
        m_dropped += overflow;
        if (overflow != 0)
            m_alarm = true;
        else if (bufferSize != 0 && m_fill * 100 > bufferSize * kHighWaterPercent)
            m_alarm = true;
        // The sample goes into the file when most of what it stands for
        // found room in the buffer.
        if (overflow * 2 <= lineBytes)
            writePacket(packet, atMs);
    }
    if (toMs > m_drainFromMs) {
        const uint64_t drained = std::min(m_fill, m_diskRate * (toMs - m_drainFromMs) / 1000);
        m_fill -= drained;
        m_written += drained;
        m_drainFromMs = toMs;
    }
    // Hysteresis, so that the alarm does not flicker at the mark.
    if (bufferSize == 0 || m_fill * 100 < bufferSize * kBufferLowWaterPercent)
        m_alarm = false;
    m_stepMark = mark(physics, toMs);
}

DiskDump::Mark DiskDump::mark(DevicePhysics &physics, uint64_t atMs)
{
    Mark m;
    m.deviceNs = physics.deviceTimeNs(atMs);
    for (int port = 0; port < 2; ++port) {
        const PortTotals t = physics.portTotals(atMs, port);
        PortCounts &c = m.ports[size_t(port)];
        c.received = t.validUnder64 + t.valid64To1522 + t.validOver1522 + t.invalidUnder64 + t.invalid64To1522 +
                     t.invalidOver1522;
        c.dropped = t.hardwareDropped;
        c.accepted = t.capturedPackets;
    }
    return m;
}

void DiskDump::writePacket(const CapturedPacket &packet, uint64_t atMs)
{
    const bool keepCrc = m_features.keep_crc != 0;
    const uint32_t captured = uint32_t(packet.data.size());
    const uint32_t original = keepCrc || packet.wireLength < 4 ? packet.wireLength : packet.wireLength - 4;

    startBlock(m_block, kEnhancedPacket);
    put32(m_block, uint32_t(packet.port));
    put32(m_block, uint32_t(packet.timestampNs >> 32));
    put32(m_block, uint32_t(packet.timestampNs));
    put32(m_block, captured);
    put32(m_block, std::max(original, captured));
    m_block.insert(m_block.end(), packet.data.begin(), packet.data.end());
    pad4(m_block);
    if (!packet.fcsValid) {
        putOption(m_block, 2, &kCrcErrorFlag, 4);
        putOption(m_block, 0, nullptr, 0);
    }
    finishBlock(m_block);

    const bool sizeFull = m_config.maxFileSize != 0 && m_filePackets != 0 &&
                          m_fileBytes + m_block.size() + 2 * kStatisticsBlockBytes > m_config.maxFileSize;
    const bool timeUp =
        m_config.maxFileDuration != 0 && atMs >= m_fileStartMs + uint64_t(m_config.maxFileDuration) * 1000;
    if (sizeFull || timeUp) {
        // closeFile and openFile reuse m_block for their own blocks.
        std::vector<uint8_t> block;
        block.swap(m_block);
        closeFile();
        if (!m_running)
            return;
        ++m_fileIndex;
        if (!openFile(atMs))
            return;
        block.swap(m_block);
    }
    if (writeBytes(m_block)) {
        ++m_filePackets;
        ++m_uncommittedPackets;
    }
}

bool DiskDump::openFile(uint64_t atMs)
{
    if (m_config.fileCount != 0 && m_filesOpened >= m_config.fileCount) {
        if (!m_config.loop) {
            // All the files asked for are written: the capture is complete.
            m_written += m_fill;
            m_fill = 0;
            m_running = false;
            return false;
        }
        // A ring: the oldest file makes room for the newest.
        std::remove(fileName(m_path, m_fileIndex - m_config.fileCount).c_str());
    }
    m_fileName = fileName(m_path, m_fileIndex);
    m_file = std::fopen(m_fileName.c_str(), "wb");
    if (!m_file) {
        fail(errno ? errno : EIO);
        return false;
    }
    std::setvbuf(m_file, nullptr, _IOFBF, kWriteBufferBytes);
    ++m_filesOpened;
    m_fileBytes = 0;
    m_committedBytes = 0;
    m_filePackets = 0;
    m_fileStartMs = atMs;
    m_fileMark = m_stepMark;

    startBlock(m_block, kSectionHeader);
    put32(m_block, 0x1A2B3C4D);
    put16(m_block, 1);
    put16(m_block, 0);
    put32(m_block, 0xFFFFFFFF); // section length unknown
    put32(m_block, 0xFFFFFFFF);
    finishBlock(m_block);
    if (!writeBytes(m_block))
        return false;

    const bool slicing = m_features.packet_slicing != 0 && m_features.slicing_length != 0;
    const uint32_t snapLength = slicing ? m_features.slicing_length : kDefaultSnapLength;
    for (const char *portName : {"Port A", "Port B"}) {
        startBlock(m_block, kInterfaceDescription);
        put16(m_block, kLinkTypeEthernet);
        put16(m_block, 0);
        put32(m_block, snapLength);
        putOption(m_block, 2, portName, std::strlen(portName)); // if_name
        const uint8_t nanoseconds = 9;
        putOption(m_block, 9, &nanoseconds, 1); // if_tsresol
        if (m_features.keep_crc) {
            const uint8_t fcsLength = 4;
            putOption(m_block, 13, &fcsLength, 1); // if_fcslen
        }
        putOption(m_block, 0, nullptr, 0);
        finishBlock(m_block);
        if (!writeBytes(m_block))
            return false;
    }
    // A file that exists is a readable capture file from the start.
    return commit();
}

void DiskDump::closeFile()
{
    if (!m_file)
        return;
    // Each port's statistics over the file's time, as capture tools close
    // their files; readers show them with the interfaces.
    for (uint32_t port = 0; port < 2; ++port) {
        const PortCounts &from = m_fileMark.ports[port];
        const PortCounts &to = m_stepMark.ports[port];
        startBlock(m_block, kInterfaceStatistics);
        put32(m_block, port);
        put32(m_block, uint32_t(m_stepMark.deviceNs >> 32));
        put32(m_block, uint32_t(m_stepMark.deviceNs));
        // Times are written as timestamps are, high word first; counts as
        // plain 64-bit numbers.
        const uint32_t start[2] = {uint32_t(m_fileMark.deviceNs >> 32), uint32_t(m_fileMark.deviceNs)};
        const uint32_t end[2] = {uint32_t(m_stepMark.deviceNs >> 32), uint32_t(m_stepMark.deviceNs)};
        const uint64_t received = to.received - from.received;
        const uint64_t dropped = to.dropped - from.dropped;
        const uint64_t accepted = to.accepted - from.accepted;
        putOption(m_block, 2, start, 8);     // isb_starttime
        putOption(m_block, 3, end, 8);       // isb_endtime
        putOption(m_block, 4, &received, 8); // isb_ifrecv
        putOption(m_block, 5, &dropped, 8);  // isb_ifdrop
        putOption(m_block, 6, &accepted, 8); // isb_filteraccept
        putOption(m_block, 0, nullptr, 0);
        finishBlock(m_block);
        if (!writeBytes(m_block))
            return;
    }
    if (!commit())
        return;
    std::FILE *file = m_file;
    m_file = nullptr;
    if (std::fclose(file) != 0)
        fail(errno ? errno : EIO);
}

bool DiskDump::writeBytes(const std::vector<uint8_t> &bytes)
{
    if (!m_file)
        return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        fail(errno ? errno : EIO);
        return false;
    }
    m_fileBytes += bytes.size();
    return true;
}

bool DiskDump::commit()
{
    if (!m_file)
        return false;
    if (std::fflush(m_file) != 0) {
        fail(errno ? errno : EIO);
        return false;
    }
    m_committedPackets += m_uncommittedPackets;
    m_uncommittedPackets = 0;
    m_committedBytes = m_fileBytes;
    return true;
}

void DiskDump::fail(int error)
{
    m_error = error;
    m_running = false;
    m_uncommittedPackets = 0;
    if (!m_file)
        return;
    std::FILE *file = m_file;
    m_file = nullptr;
    std::fclose(file);
    // A write that failed half way leaves a torn block at the end: cut the
    // file back to its last complete block, or remove it when it has none.
    // Only a regular file: the path may name a device.
    struct stat info {};
    if (::stat(m_fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    if (m_committedBytes == 0)
        std::remove(m_fileName.c_str());
    else if (::truncate(m_fileName.c_str(), off_t(m_committedBytes)) != 0)
        std::remove(m_fileName.c_str());
}

void DiskDump::status(DiskDumpStatus *out) const
{
    std::memset(out, 0, sizeof *out);
    out->running = m_running ? 1 : 0;
    out->bufferAlarm = m_alarm ? 1 : 0;
    out->bufferedBytes = m_fill;
    out->writtenBytes = m_written;
    out->droppedBytes = m_dropped;
    out->errorCode = m_error;
}

} // namespace lqsim
