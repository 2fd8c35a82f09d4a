// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The texts of the Timing tab's status, free of widgets so that the command
// line writes the same figures.

#pragma once

#include "lumenquillapi.h"

#include <QString>

#include <cstdint>

namespace TimingTexts {
// "System clock", "RTC", "GPS", "Manual", "SNTP"; empty for any other code.
QString timeSourceName(int32_t source);
// The satellite and PPS figures of GPSSats.
QString satellitesText(const TimingStatus &status);
// Device date (short locale format) and time, with " (UTC)".
QString deviceTimeText(const TimingStatus &status);
// PPS compensation of a slider value (0 or negative), "-50.06 ns".
QString ppsDelayText(int sliderValue);
} // namespace TimingTexts
