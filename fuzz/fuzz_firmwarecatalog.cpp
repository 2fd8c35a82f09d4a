// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// firmware.xml is read at every start from an installed folder that anyone
// with the right to that folder may change. The reader must stop cleanly on
// any text, and every entry it keeps must answer the update question.

#include "firmwarecatalog.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Entries count only when their image exists, so the seeds name this one.
std::unique_ptr<QTemporaryDir> g_dir;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    g_dir = std::make_unique<QTemporaryDir>();
    QFile image(g_dir->filePath(QStringLiteral("image.lqfw")));
    if (!image.open(QIODevice::WriteOnly))
        std::abort();
    image.write("LQFW");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    FirmwareCatalog catalog;
    FirmwareCatalogReader reader(&catalog, g_dir->path());
    if (!reader.read(&buffer) && reader.errorString().isEmpty()) {
        // Stopped early (an empty document) with nothing to tell; fine, as
        // long as nothing was kept from it.
        if (!catalog.isEmpty())
            std::abort();
    }
    for (auto it = catalog.cbegin(); it != catalog.cend(); ++it) {
        if (it->type != it.key()) {
            std::fprintf(stderr, "entry stored under type %d says %d\n", it.key(), it->type);
            std::abort();
        }
        StatsThreadInfo device = makeRequest(1);
        device.deviceType = quint32(it.key());
        // Every variant the entry lists, and one past them.
        for (quint8 variant = 0; variant <= quint8(qMin<qsizetype>(it->hardwareVersions.size(), 254)); ++variant) {
            device.features.firmware_variant = variant;
            isNewerFirmwareAvailable(catalog, it.key(), FirmwareVersion{}, 0, variant);
            firmwareOfferFor(catalog, device);
        }
    }
    return 0;
}
