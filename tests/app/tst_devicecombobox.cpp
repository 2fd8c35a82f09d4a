// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Friendly names in the settings store: where they are kept, their default,
// and MAC texts that are never used as keys.

#include "devicecombobox.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class tst_DeviceComboBox : public QObject {
    Q_OBJECT
private slots:
    void namesKeptPerMac_data();
    void namesKeptPerMac();
    void entryCarriesDeviceAndText();

private:
    QTemporaryDir m_dir;
};

void tst_DeviceComboBox::namesKeptPerMac_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("named") << "02:4c:51:00:00:01" << "Lab tap" << "DeviceConfig/024c51000001/FriendlyName" << "Lab tap";
    QTest::newRow("empty name is kept") << "02:4c:51:00:00:02" << "" << "DeviceConfig/024c51000002/FriendlyName" << "";
    QTest::newRow("short MAC") << "02:4c:51:00:00" << "Lab" << "" << "Bad MAC address";
    QTest::newRow("long MAC") << "02:4c:51:00:00:01:ff" << "Lab" << "" << "Bad MAC address";
}

void tst_DeviceComboBox::namesKeptPerMac()
{
    QFETCH(QString, mac);
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(QString, readBack);
    QSettings settings(m_dir.filePath(QStringLiteral("names.ini")), QSettings::IniFormat);
    settings.clear();
    if (mac.size() == 17)
        QCOMPARE(DeviceComboBox::friendlyName(settings, mac), QStringLiteral("Lumenquill"));

    LumenquillDevice device{1, mac, 10, name};
    DeviceComboBox::storeFriendlyName(settings, device);
    QCOMPARE(DeviceComboBox::friendlyName(settings, mac), readBack);
    if (key.isEmpty())
        QVERIFY(settings.allKeys().isEmpty());
    else
        QCOMPARE(settings.allKeys(), QStringList{key});
}

void tst_DeviceComboBox::entryCarriesDeviceAndText()
{
    DeviceComboBox box;
    box.addDevice({7, QStringLiteral("02:4c:51:00:00:07"), 12, QStringLiteral("Core uplink")},
                  QStringLiteral(":/no/such/icon.png"));
    box.addDevice({8, QStringLiteral("02:4c:51:00:00:08"), 0, QStringLiteral("Spare")}, QString());
    QCOMPARE(box.itemText(0), QStringLiteral("02:4c:51:00:00:07 - Core uplink"));
    QCOMPARE(box.itemData(1).value<LumenquillDevice>().handle, uint64_t(8));
    QVERIFY(box.itemIcon(1).isNull());
    QCOMPARE(box.insertPolicy(), QComboBox::NoInsert);
}

QTEST_MAIN(tst_DeviceComboBox)
#include "tst_devicecombobox.moc"
