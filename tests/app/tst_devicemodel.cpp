// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The model table, the device information text and the link texts.

#include "devicemodel.h"

#include <QTest>

class tst_DeviceModel : public QObject {
    Q_OBJECT
private slots:
    void modelTable_data();
    void modelTable();
    void informationText_data();
    void informationText();
    void linkTexts_data();
    void linkTexts();
};

void tst_DeviceModel::modelTable_data()
{
    QTest::addColumn<uint>("type");
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<bool>("detailed");
    const QString unknown = "Unknown Lumenquill";
    QTest::newRow("0") << 0u << unknown << ":/images/disconnected.png" << false;
    QTest::newRow("1") << 1u << "Bad firmware Lumenquill" << ":/images/warning.png" << false;
    QTest::newRow("2") << 2u << unknown << ":/images/warning.png" << false;
    QTest::newRow("3") << 3u << "LumenQuill 1G Device Connected" << ":/icons/1GIco.png" << true;
    QTest::newRow("4") << 4u << unknown << ":/icons/1GIco.png" << false;
    QTest::newRow("5") << 5u << "LumenQuill 1G+ Device Connected" << ":/icons/1GPlusIco.png" << true;
    QTest::newRow("6") << 6u << "LumenQuill 1G v5 Device Connected" << ":/icons/1GIco.png" << true;
    QTest::newRow("7") << 7u << "LumenQuill 1G v5 PoE Device Connected" << ":/icons/1GIco.png" << true;
    QTest::newRow("8") << 8u << "LumenQuill 1G+ PoE Device Connected" << ":/icons/1GPlusIco.png" << true;
    QTest::newRow("9") << 9u << "LumenQuill 1G+ GPS Device Connected" << ":/icons/1GPlusIco.png" << true;
    QTest::newRow("10") << 10u << "LumenQuill 1G+ GPS PoE Device Connected" << ":/icons/1GPlusIco.png" << true;
    QTest::newRow("11") << 11u << "LumenQuill 10G Device Connected" << ":/icons/10GIco.png" << true;
    QTest::newRow("12") << 12u << "LumenQuill 10G GPS Device Connected" << ":/icons/10GPlusIco.png" << true;
    QTest::newRow("13") << 13u << "LumenQuill 100 Device Connected" << ":/icons/100Ico.png" << true;
    QTest::newRow("14") << 14u << "LumenQuill 1G v6 Device Connected" << ":/icons/1GIco.png" << true;
    QTest::newRow("15") << 15u << unknown << ":/images/warning.png" << false;
    QTest::newRow("huge") << 0xFFFFFFFFu << unknown << ":/images/warning.png" << false;
}

void tst_DeviceModel::modelTable()
{
    QFETCH(uint, type);
    QFETCH(QString, head);
    QFETCH(QString, picture);
    QFETCH(bool, detailed);
    const DeviceModel model = deviceModel(type);
    QCOMPARE(model.head, head);
    QCOMPARE(model.picture, picture);
    QCOMPARE(model.detailed, detailed);

    StatsThreadInfo info = makeRequest(1);
    const QString text = deviceInformationText(info, type);
    QVERIFY(text.startsWith(head));
    QCOMPARE(text.contains(QLatin1String("Driver Version")), detailed);
}

void tst_DeviceModel::informationText_data()
{
    QTest::addColumn<uint>("extraInfo");
    QTest::addColumn<QString>("usbLine");
    QTest::newRow("full speed") << 0x101u << "Usb : Full Speed\n";
    QTest::newRow("high speed") << 2u << "Usb : High Speed\n";
    QTest::newRow("super speed") << 0xFF03u << "Usb : Super Speed\n";
    QTest::newRow("unknown speed") << 4u << "";
    QTest::newRow("none") << 0u << "";
}

void tst_DeviceModel::informationText()
{
    QFETCH(uint, extraInfo);
    QFETCH(QString, usbLine);
    StatsThreadInfo info = makeRequest(1);
    const uint8_t sw[4] = {3, 1, 4, 1};
    const uint8_t drv[4] = {1, 9, 18, 0};
    const uint8_t mac[6] = {0x02, 0x4c, 0x51, 0x0a, 0xbc, 0x01};
    memcpy(info.versions.softwareVersion, sw, 4);
    memcpy(info.versions.driverVersion, drv, 4);
    memcpy(info.mac, mac, 6);
    info.versions.hardwareFirmwareVersion = 42;
    info.extraInfo = extraInfo;
    QCOMPARE(deviceInformationText(info, 12),
             QString("LumenQuill 10G GPS Device Connected\nDriver Version : 1.9.18.0\nSW Firmware Version : 3.1.4.1\n"
                     "HW Firmware Version : 0042\nMAC Address : 02:4c:51:0a:bc:01\n") + usbLine);
    // Unknown models show no details, but still the USB line.
    QCOMPARE(deviceInformationText(info, 0), QString("Unknown Lumenquill") + usbLine);
    QCOMPARE(macText(info.mac), QString("02:4c:51:0a:bc:01"));
}

void tst_DeviceModel::linkTexts_data()
{
    QTest::addColumn<uint>("speedA");
    QTest::addColumn<uint>("duplexA");
    QTest::addColumn<uint>("speedB");
    QTest::addColumn<uint>("duplexB");
    QTest::addColumn<QString>("perPort");
    QTest::addColumn<QString>("portAOnly");
    QTest::newRow("1G full / down") << 2u << 0u << 5u << 0u << "1Gbps Full Duplex / Down" << "Link Up 1Gbps Full Duplex";
    QTest::newRow("10G / 100 half") << 3u << 0u << 1u << 7u << "10Gbps Full Duplex / 100Mbps Half Duplex" << "Link Up 10Gbps Full Duplex";
    QTest::newRow("10M half / unknown") << 0u << 1u << 4u << 0u << "10Mbps Half Duplex / Unknown" << "Link Up 10Mbps Half Duplex";
    QTest::newRow("down / above 5") << 5u << 0u << 9u << 0u << "Down / Unknown" << "Link Down";
    QTest::newRow("unknown A") << 4u << 0u << 2u << 0u << "Unknown / 1Gbps Full Duplex" << "Link State Unknown";
    QTest::newRow("code above 5 on A") << 6u << 0u << 2u << 0u << "Unknown / 1Gbps Full Duplex" << "Link State Unknown";
}

void tst_DeviceModel::linkTexts()
{
    QFETCH(uint, speedA);
    QFETCH(uint, duplexA);
    QFETCH(uint, speedB);
    QFETCH(uint, duplexB);
    QFETCH(QString, perPort);
    QFETCH(QString, portAOnly);
    StatsThreadInfo info = makeRequest(1);
    info.linkStatus.portASpeed = speedA;
    info.linkStatus.portADuplex = duplexA;
    info.linkStatus.portBSpeed = speedB;
    info.linkStatus.portBDuplex = duplexB;
    QCOMPARE(linkText(info, true), perPort);
    QCOMPARE(linkText(info, false), portAOnly);
}

QTEST_APPLESS_MAIN(tst_DeviceModel)
#include "tst_devicemodel.moc"
