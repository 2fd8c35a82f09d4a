// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// One entry of the device selector: which device it is and what the operator
// calls it.

#pragma once

#include <QMetaType>
#include <QString>

#include <cstdint>

struct LumenquillDevice {
    uint64_t handle = 0;
    QString mac; // "ab:cd:ef:01:23:45", 17 characters
    uint32_t type = 0;
    QString friendlyName;
};

Q_DECLARE_METATYPE(LumenquillDevice)

void registerLumenquillDevice();
