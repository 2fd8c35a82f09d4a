// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The settings file outlives versions of the manager and is open to any
// editor. Whatever it holds, the configurable counters must read back as
// records the device accepts (the same record again after a write and a
// read), and the friendly name must make a selector entry.

#include "counterv2config.h"
#include "devicecombobox.h"

#include "fuzzsupport.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstring>

namespace {

const QString kMac = QStringLiteral("02:4c:51:00:00:01");
std::unique_ptr<QTemporaryDir> g_dir;
int g_run = 0;

bool sameRecord(const CounterV2Config &a, const CounterV2Config &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startWidgetApplication(argc, argv);
    g_dir = std::make_unique<QTemporaryDir>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A new name every time: QSettings keeps parsed files by name.
    const QString path = g_dir->filePath(QStringLiteral("settings%1.conf").arg(g_run++));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            fuzz::fail("cannot write the settings file");
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    {
        QSettings stored(path, QSettings::IniFormat);
        const QString rewrittenPath = path + QStringLiteral(".again");
        QSettings rewritten(rewrittenPath, QSettings::IniFormat);
        for (int index = 0; index < CounterV2::kCounters; ++index) {
            const auto config = CounterV2::readConfig(stored, kMac, index);
            fuzz::check(config.has_value(), "no counter for a good MAC");
            fuzz::check(config->sizeMode >= CounterV2::AnySize && config->sizeMode <= CounterV2::Equal,
                        "size mode out of range");
            fuzz::check(config->portA <= 1 && config->portB <= 1 && config->countingMode <= 1, "flag out of range");
            CounterV2::sizeText(*config);
            CounterV2::addressText(*config);
            CounterV2::familyAddressText(*config, false);
            CounterV2::familyAddressText(*config, true);
            fuzz::check(CounterV2::writeConfig(rewritten, kMac, *config, false), "a read counter cannot be written");
            const auto again = CounterV2::readConfig(rewritten, kMac, index);
            fuzz::check(again.has_value() && sameRecord(*config, *again), "counter changes on its round trip",
                        QString::number(index));
        }
        LumenquillDevice device;
        device.mac = kMac;
        device.friendlyName = DeviceComboBox::friendlyName(stored, kMac);
        DeviceComboBox selector;
        selector.addDevice(device, QString());
        fuzz::check(selector.itemText(0) == DeviceComboBox::entryText(device), "selector entry differs");
        QFile::remove(rewrittenPath);
    }
    QFile::remove(path);
    return 0;
}
