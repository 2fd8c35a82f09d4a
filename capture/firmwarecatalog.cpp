// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Reading firmware.xml and deciding on firmware offers.

#include "firmwarecatalog.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

const QString kInstalledCatalogDir = QStringLiteral("/usr/share/lumenquill/firmware");
const QString kCatalogFileName = QStringLiteral("firmware.xml");

// Catalogs are written by hand; a number that does not parse counts as 0
// rather than spoiling the entry.
quint32 catalogNumber(const QString &text)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

FirmwareCatalogReader::FirmwareCatalogReader(FirmwareCatalog *catalog, const QString &catalogDir)
    : m_catalog(catalog), m_catalogDir(catalogDir)
{
}

bool FirmwareCatalogReader::read(QIODevice *device)
{
    m_xml.setDevice(device);
    m_stopReason.clear();
    if (!m_xml.readNextStartElement())
        return false;
    if (m_xml.name() != QLatin1String("devices")) {
        m_xml.raiseError(QStringLiteral("not a firmware catalog: the root element is \"%1\", not \"devices\"")
                             .arg(m_xml.name().toString()));
        return false;
    }
    // Any end tag met here ends the catalog: after an element that is not a
    // "device" (which is stepped into, not skipped) and after a "device" that
    // an unknown child cut short. Catalogs in the field rely on exactly this.
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("device"))
            readDevice();
        else
            noteStop(QStringLiteral("unexpected element \"%1\" in \"devices\"").arg(m_xml.name().toString()));
    }
    if (m_xml.hasError())
        return false;
    if (m_xml.isEndElement() && m_xml.name() == QLatin1String("devices"))
        return true;
    if (m_stopReason.isEmpty())
        noteStop(QStringLiteral("unexpected end of \"%1\"").arg(m_xml.name().toString()));
    return false;
}

QString FirmwareCatalogReader::errorString() const
{
    if (m_xml.hasError())
        return QStringLiteral("line %1, column %2: %3")
            .arg(m_xml.lineNumber())
            .arg(m_xml.columnNumber())
            .arg(m_xml.errorString());
    if (!m_stopReason.isEmpty())
        return m_stopReason + QStringLiteral("; the entries after it are not read");
    return {};
}

void FirmwareCatalogReader::noteStop(const QString &why)
{
    if (m_stopReason.isEmpty())
        m_stopReason = QStringLiteral("line %1: %2").arg(m_xml.lineNumber()).arg(why);
}

void FirmwareCatalogReader::readDevice()
{
    FirmwareCatalogEntry entry;
    QList<qint32> types;
    while (m_xml.readNextStartElement()) {
        const QStringView name = m_xml.name();
        if (name == QLatin1String("name")) {
            entry.name = m_xml.readElementText();
        } else if (name == QLatin1String("file")) {
            entry.path = m_catalogDir + QLatin1Char('/') + m_xml.readElementText();
        } else if (name == QLatin1String("hwversion")) {
            entry.hardwareVersions.append(catalogNumber(m_xml.readElementText()));
        } else if (name == QLatin1String("swversion")) {
            const QStringList parts = m_xml.readElementText().split(QLatin1Char('.'));
            if (parts.size() == 4) {
                for (int i = 0; i < 4; ++i)
                    entry.softwareVersion[std::size_t(i)] = quint8(catalogNumber(parts[i]) & 0xFF);
            }
        } else if (name == QLatin1String("type")) {
            types.append(qint32(catalogNumber(m_xml.readElementText())));
        } else {
            // Descended into, not skipped: the end tag that follows ends
            // this entry (and, at the level above, the catalog).
            noteStop(QStringLiteral("unknown element \"%1\" in \"device\"").arg(name.toString()));
        }
        if (m_xml.hasError())
            return;
        // Stored after every child, so an entry counts as soon as it names
        // an image that exists, whatever follows.
        if (QFileInfo(entry.path).isFile())
            storeUnderTypes(entry, types);
    }
}

void FirmwareCatalogReader::storeUnderTypes(const FirmwareCatalogEntry &entry, const QList<qint32> &types)
{
    for (qint32 type : types) {
        FirmwareCatalogEntry stored = entry;
        stored.type = type;
        m_catalog->insert(type, stored);
    }
}

bool loadFirmwareCatalog(FirmwareCatalog &catalog, const QString &catalogFile, QString *problem)
{
    catalog.clear();
    if (problem)
        problem->clear();
    QFile file(catalogFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (problem)
            *problem = QStringLiteral("%1: %2").arg(catalogFile, file.errorString());
        return false;
    }
    FirmwareCatalogReader reader(&catalog, QFileInfo(catalogFile).path());
    if (!reader.read(&file) && problem)
        *problem = QStringLiteral("%1: %2").arg(catalogFile, reader.errorString());
    return true;
}

QString firmwareCatalogDirectory(const QString &overrideDir)
{
    // Never a folder found relative to the executable: a manager started from
    // a build tree or a staging folder would then offer whatever catalog lies
    // there (the simulator's demo images) to real devices.
    return overrideDir.isEmpty() ? kInstalledCatalogDir : overrideDir;
}

QString defaultCatalogPath()
{
    return firmwareCatalogDirectory(qEnvironmentVariable("LUMENQUILL_FIRMWARE_DIR")) + QLatin1Char('/') +
           kCatalogFileName;
}

bool isNewerFirmwareAvailable(const FirmwareCatalog &catalog, qint32 deviceType, const FirmwareVersion &softwareVersion,
                              quint32 hardwareFirmwareVersion, quint8 firmwareVariant)
{
    const auto found = catalog.constFind(deviceType);
    if (found == catalog.constEnd())
        return false;
    const FirmwareCatalogEntry &entry = found.value();
    for (std::size_t i = 0; i < softwareVersion.size(); ++i) {
        if (entry.softwareVersion[i] > softwareVersion[i])
            return true;
        if (entry.softwareVersion[i] < softwareVersion[i])
            break;
    }
    // The software alone does not call for an update; a newer hardware
    // firmware for the variant in force still does.
    if (firmwareVariant < entry.hardwareVersions.size())
        return entry.hardwareVersions.at(firmwareVariant) > hardwareFirmwareVersion;
    return false;
}

FirmwareCatalogEntry catalogEntryFor(const FirmwareCatalog &catalog, qint32 deviceType)
{
    return catalog.value(deviceType, FirmwareCatalogEntry{});
}

std::optional<FirmwareOffer> firmwareOfferFor(const FirmwareCatalog &catalog, const StatsThreadInfo &device)
{
    const auto type = qint32(device.deviceType);
    FirmwareVersion software{};
    std::copy(std::begin(device.versions.softwareVersion), std::end(device.versions.softwareVersion), software.begin());
    if (!isNewerFirmwareAvailable(catalog, type, software, device.versions.hardwareFirmwareVersion,
                                  device.features.firmware_variant))
        return std::nullopt;
    return FirmwareOffer{catalogEntryFor(catalog, type), QStringLiteral("Firmware Update"),
                         QStringLiteral("There is a new firmware available for your Lumenquill.\n"
                                        "Do you want to update it now?")};
}
