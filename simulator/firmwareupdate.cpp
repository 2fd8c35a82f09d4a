// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Firmware image checks and the course of an update.

#include "firmwareupdate.h"

#include "lqsim.h"
#include "managercrc32.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace lqsim {

namespace {

bool readFile(const std::string &path, std::vector<uint8_t> *out)
{
    std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return false;
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    for (;;) {
        const size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        bytes.insert(bytes.end(), buffer, buffer + n);
        // Anything bigger is refused by the header check anyway; stop reading
        // before a mistaken path to a huge file costs real memory.
        if (bytes.size() > firmwareimage::kMaxPayloadBytes + 4096)
            break;
        if (n < sizeof buffer)
            break;
    }
    if (std::ferror(file.get()))
        return false;
    *out = std::move(bytes);
    return true;
}

} // namespace

ImageCheck checkImageFile(const std::string &path, uint32_t deviceType)
{
    ImageCheck check;
    std::vector<uint8_t> bytes;
    if (path.empty() || !readFile(path, &bytes)) {
        check.code = LQSIM_ERR_IMAGE_UNREADABLE;
        return check;
    }
    std::string why;
    if (firmwareimage::parse(bytes, &check.header, &why) != firmwareimage::ParseResult::Ok) {
        check.code = LQSIM_ERR_IMAGE_FOREIGN;
        return check;
    }
    if (!check.header.fits(deviceType)) {
        check.code = LQSIM_ERR_IMAGE_WRONG_DEVICE;
        return check;
    }
    const std::optional<uint32_t> crc =
        managerCrc32(bytes.data() + check.header.payloadOffset, check.header.payloadLength);
    if (!crc) {
        check.code = LQSIM_ERR_NO_CRC32;
        return check;
    }
    check.payloadIntact = *crc == check.header.payloadCrc;
    return check;
}

void FirmwareUpdate::start(const ImageCheck &image, uint64_t timelineMs)
{
    m_started = true;
    m_startMs = timelineMs;
    m_payloadIntact = image.payloadIntact;
    m_header = image.header;
}

bool FirmwareUpdate::running(uint64_t timelineMs) const
{
    if (!m_started)
        return false;
    const uint64_t elapsed = timelineMs - m_startMs;
    return m_payloadIntact ? elapsed < kTotalMs : elapsed < kVerifyMs;
}

int FirmwareUpdate::progress(uint64_t timelineMs, uint32_t *percent) const
{
    const uint64_t elapsed = timelineMs - m_startMs;
    if (elapsed < kVerifyMs) {
        *percent = 0;
        return LQ_FIRMWARE_UPDATE_RUNNING;
    }
    if (!m_payloadIntact) {
        // Refused before a single block was written: the old firmware stays.
        *percent = 0;
        return LQSIM_ERR_IMAGE_CORRUPT;
    }
    if (elapsed < kTotalMs) {
        // 100 only once it is really done, so the manager never shows a full
        // bar for an update still running.
        *percent = static_cast<uint32_t>(std::min<uint64_t>(99, (elapsed - kVerifyMs) * 100 / (kTotalMs - kVerifyMs)));
        return LQ_FIRMWARE_UPDATE_RUNNING;
    }
    *percent = 100;
    return 0;
}

std::optional<FirmwareImageHeader> FirmwareUpdate::installed(uint64_t timelineMs) const
{
    if (!m_started || !m_payloadIntact || timelineMs - m_startMs < kTotalMs)
        return std::nullopt;
    return m_header;
}

} // namespace lqsim
