// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Meta-type registration of the device record.

#include "statsthreadinfo.h"

void registerStatsThreadInfo()
{
    qRegisterMetaType<StatsThreadInfo>("StatsThreadInfo");
}
