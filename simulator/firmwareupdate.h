// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// One device's firmware update: the image check done when the manager starts
// it, and the update's course on the simulator clock.

#pragma once

#include "firmwareimage.h"
#include "lqsim.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lqsim {

struct ImageCheck {
    int code = 0; // 0 or the LQSIM_ERR_* the start answers
    FirmwareImageHeader header;
    bool payloadIntact = false;
};

// Reads the image file, checks that it is ours and fits deviceType, and
// checks its payload through the manager's CRC32Generator. A payload that
// does not match its CRC is accepted here: the device finds out while
// verifying, as a real one only can once the image is on board.
ImageCheck checkImageFile(const std::string &path, uint32_t deviceType);

class FirmwareUpdate {
public:
    // The device first verifies the whole image, then writes it to flash.
    static constexpr uint64_t kVerifyMs = LQSIM_FIRMWARE_VERIFY_MS;
    static constexpr uint64_t kTotalMs = LQSIM_FIRMWARE_UPDATE_MS;

    void start(const ImageCheck &image, uint64_t timelineMs);
    bool started() const { return m_started; }
    bool running(uint64_t timelineMs) const;
    // LQ_FIRMWARE_UPDATE_RUNNING, 0 once written, or LQSIM_ERR_IMAGE_CORRUPT.
    int progress(uint64_t timelineMs, uint32_t *percent) const;
    // The image the device boots next time, once the update has finished well.
    std::optional<FirmwareImageHeader> installed(uint64_t timelineMs) const;

private:
    bool m_started = false;
    uint64_t m_startMs = 0;
    bool m_payloadIntact = false;
    FirmwareImageHeader m_header;
};

} // namespace lqsim
