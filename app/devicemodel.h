// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What the manager knows of each device type: the information text shown on the
// Features tab and the model picture. Also the device texts built from a
// status record (device information, link state).

#pragma once

#include "firmwarecatalog.h"
#include "statsthreadinfo.h"

#include <QString>

struct DeviceModel {
    QString head;    // first line of the information text
    QString picture; // resource path of the model picture
    bool detailed;   // versions and MAC follow the head
};

DeviceModel deviceModel(uint32_t deviceType);

// The information text: model head, details for known models, and the USB line.
QString deviceInformationText(const StatsThreadInfo &info, uint32_t deviceType);

// "ab:cd:..." with lower-case digits, as the selector and the settings use it.
QString macText(const uint8_t mac[6]);

// One port's link as "1Gbps Full Duplex"-style text for the Features tab.
QString linkText(const StatsThreadInfo &info, bool perPort);

// The lines under a firmware offer's question: which device it means (name,
// MAC, model) and the versions, installed -> offered.
QString firmwareOfferDetails(const StatsThreadInfo &device, const QString &friendlyName,
                             const FirmwareCatalogEntry &entry);
