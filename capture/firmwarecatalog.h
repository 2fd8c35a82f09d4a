// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The firmware catalog: which image fits which device type, read once from
// firmware.xml, and the decision whether an arriving device is offered a
// newer image. No widgets here; the window only shows the question.

#pragma once

#include "statsthreadinfo.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QXmlStreamReader>

#include <array>
#include <optional>

class QIODevice;

// Software firmware version a.b.c.d, a first (most significant).
using FirmwareVersion = std::array<quint8, 4>;

struct FirmwareCatalogEntry {
    QString name;
    qint32 type = -1; // -1 marks a failed lookup
    QString path;
    FirmwareVersion softwareVersion{};
    QList<quint32> hardwareVersions; // index = firmware variant
};

using FirmwareCatalog = QMap<qint32, FirmwareCatalogEntry>;

// Reads firmware.xml into a catalog. Image paths are made from the catalog
// directory, so the same file works wherever the catalog is installed.
class FirmwareCatalogReader {
public:
    FirmwareCatalogReader(FirmwareCatalog *catalog, const QString &catalogDir);

    // Adds what the document holds to the catalog. False when the document
    // is not a catalog, is malformed, or its reading stopped before the end
    // of "devices"; the entries read until then are kept all the same.
    bool read(QIODevice *device);
    QString errorString() const;

private:
    void readDevice();
    void storeUnderTypes(const FirmwareCatalogEntry &entry, const QList<qint32> &types);
    void noteStop(const QString &why);

    QXmlStreamReader m_xml;
    FirmwareCatalog *m_catalog = nullptr;
    QString m_catalogDir;
    QString m_stopReason;
};

// Clears the catalog and fills it from the file. Answers whether the file
// could be opened; a problem with its contents is described in *problem
// (empty when the whole file was read).
bool loadFirmwareCatalog(FirmwareCatalog &catalog, const QString &catalogFile, QString *problem = nullptr);

// The catalog's folder: overrideDir when it is not empty, otherwise the
// vendor's /usr/share/lumenquill/firmware, wherever the manager itself lies.
QString firmwareCatalogDirectory(const QString &overrideDir);

// firmware.xml in the folder above, with the override taken from the
// environment variable LUMENQUILL_FIRMWARE_DIR.
QString defaultCatalogPath();

bool isNewerFirmwareAvailable(const FirmwareCatalog &catalog, qint32 deviceType, const FirmwareVersion &softwareVersion,
                              quint32 hardwareFirmwareVersion, quint8 firmwareVariant);

// The entry stored for the type, or an entry with empty texts and type -1.
FirmwareCatalogEntry catalogEntryFor(const FirmwareCatalog &catalog, qint32 deviceType);

// What the window asks the operator when a device arrives with an older
// firmware than the catalog offers: on Yes it shows entry.name in the image
// field and starts the update with entry.path.
struct FirmwareOffer {
    FirmwareCatalogEntry entry;
    QString title;
    QString question;
};

// The offer for a device as announced (its type, versions and features), or
// nothing when the catalog has no newer image for it.
std::optional<FirmwareOffer> firmwareOfferFor(const FirmwareCatalog &catalog, const StatsThreadInfo &device);
