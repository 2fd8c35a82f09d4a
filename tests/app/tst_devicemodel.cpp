// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The model table, the device information and link texts, packed versions
// and the admission checks of drivers and the device library.

#include "devicemodel.h"
#include "deviceversion.h"

#include <QTest>

class tst_DeviceModel : public QObject {
    Q_OBJECT
private slots:
    void modelTable_data()
    {
        QTest::addColumn<uint>("type");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<bool>("detailed");
        const auto row = [](uint type, const char *head, const char *picture, bool detailed) {
            QTest::addRow("%u", type) << type << QString(head) << QString(picture) << detailed;
        };
        const char *const unknown = "Unknown Lumenquill";
        row(0, unknown, ":/images/disconnected.png", false);
        row(1, "Bad firmware Lumenquill", ":/images/warning.png", false);
        row(2, unknown, ":/images/warning.png", false);
        row(3, "LumenQuill 1G Device Connected", ":/icons/1GIco.png", true);
        row(4, unknown, ":/icons/1GIco.png", false);
        row(5, "LumenQuill 1G+ Device Connected", ":/icons/1GPlusIco.png", true);
        row(6, "LumenQuill 1G v5 Device Connected", ":/icons/1GIco.png", true);
        row(7, "LumenQuill 1G v5 PoE Device Connected", ":/icons/1GIco.png", true);
        row(8, "LumenQuill 1G+ PoE Device Connected", ":/icons/1GPlusIco.png", true);
        row(9, "LumenQuill 1G+ GPS Device Connected", ":/icons/1GPlusIco.png", true);
        row(10, "LumenQuill 1G+ GPS PoE Device Connected", ":/icons/1GPlusIco.png", true);
        row(11, "LumenQuill 10G Device Connected", ":/icons/10GIco.png", true);
        row(12, "LumenQuill 10G GPS Device Connected", ":/icons/10GPlusIco.png", true);
        row(13, "LumenQuill 100 Device Connected", ":/icons/100Ico.png", true);
        row(14, "LumenQuill 1G v6 Device Connected", ":/icons/1GIco.png", true);
        row(15, unknown, ":/images/warning.png", false);
        row(0xFFFFFFFFu, unknown, ":/images/warning.png", false);
    }
    void modelTable()
    {
        QFETCH(uint, type);
        const DeviceModel model = deviceModel(type);
        QTEST(model.head, "head");
        QTEST(model.picture, "picture");
        QTEST(model.detailed, "detailed");
    }

    // Details for known models only, the USB line for all.
    void informationText_data()
    {
        QTest::addColumn<uint>("extraInfo");
        QTest::addColumn<QString>("usbLine");
        QTest::newRow("full speed") << 0x101u << "Usb : Full Speed\n";
        QTest::newRow("high speed") << 2u << "Usb : High Speed\n";
        QTest::newRow("super speed") << 0xFF03u << "Usb : Super Speed\n";
        QTest::newRow("unknown speed") << 4u << "";
        QTest::newRow("none") << 0u << "";
    }
    void informationText()
    {
        QFETCH(QString, usbLine);
        StatsThreadInfo info = makeRequest(1);
        const uint8_t sw[4] = {3, 1, 4, 1}, drv[4] = {1, 9, 18, 0}, mac[6] = {0x02, 0x4c, 0x51, 0x0a, 0xbc, 0x01};
        memcpy(info.versions.softwareVersion, sw, 4);
        memcpy(info.versions.driverVersion, drv, 4);
        memcpy(info.mac, mac, 6);
        info.versions.hardwareFirmwareVersion = 42;
        QFETCH(uint, extraInfo);
        info.extraInfo = extraInfo;
        QCOMPARE(deviceInformationText(info, 12),
                 "LumenQuill 10G GPS Device Connected\nDriver Version : 1.9.18.0\nSW Firmware Version : 3.1.4.1\n"
                 "HW Firmware Version : 0042\nMAC Address : 02:4c:51:0a:bc:01\n" + usbLine);
        QCOMPARE(deviceInformationText(info, 0), "Unknown Lumenquill" + usbLine);
        QCOMPARE(macText(info.mac), QString("02:4c:51:0a:bc:01"));
    }

    void linkTexts_data()
    {
        QTest::addColumn<QList<uint>>("speedDuplexAB");
        QTest::addColumn<QString>("perPort");
        QTest::addColumn<QString>("portAOnly");
        using L = QList<uint>;
        QTest::newRow("1G full / down") << L{2, 0, 5, 0} << "1Gbps Full Duplex / Down" << "Link Up 1Gbps Full Duplex";
        QTest::newRow("10G / 100 half") << L{3, 0, 1, 7} << "10Gbps Full Duplex / 100Mbps Half Duplex" << "Link Up 10Gbps Full Duplex";
        QTest::newRow("10M half / unknown") << L{0, 1, 4, 0} << "10Mbps Half Duplex / Unknown" << "Link Up 10Mbps Half Duplex";
        QTest::newRow("down / above 5") << L{5, 0, 9, 0} << "Down / Unknown" << "Link Down";
        QTest::newRow("unknown A") << L{4, 0, 2, 0} << "Unknown / 1Gbps Full Duplex" << "Link State Unknown";
        QTest::newRow("code above 5 on A") << L{6, 0, 2, 0} << "Unknown / 1Gbps Full Duplex" << "Link State Unknown";
    }
    void linkTexts()
    {
        QFETCH(QList<uint>, speedDuplexAB);
        StatsThreadInfo info = makeRequest(1);
        info.linkStatus.portASpeed = speedDuplexAB[0];
        info.linkStatus.portADuplex = speedDuplexAB[1];
        info.linkStatus.portBSpeed = speedDuplexAB[2];
        info.linkStatus.portBDuplex = speedDuplexAB[3];
        QTEST(linkText(info, true), "perPort");
        QTEST(linkText(info, false), "portAOnly");
    }

    void parseAndPrint_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("packed");
        QTest::addColumn<QString>("printed");
        QTest::newRow("driver lower bound") << "1.9.18.0" << quint32(0x00120901) << "1.9.18.0";
        QTest::newRow("parts keep their low byte") << "1.2.3.260" << quint32(0x04030201) << "1.2.3.4";
        QTest::newRow("three parts") << "1.9.18" << quint32(0) << "0.0.0.0";
        QTest::newRow("five parts") << "1.2.3.4.5" << quint32(0) << "0.0.0.0";
        QTest::newRow("empty") << "" << quint32(0) << "0.0.0.0";
        QTest::newRow("not numbers read 0") << "a.9.b.1" << quint32(0x01000900) << "0.9.0.1";
    }
    void parseAndPrint()
    {
        QFETCH(QString, text);
        QFETCH(quint32, packed);
        QCOMPARE(parseVersion(text), packed);
        QTEST(versionToString(parseVersion(text)), "printed");
        const uint8_t bytes[4] = {uint8_t(packed), uint8_t(packed >> 8), uint8_t(packed >> 16), uint8_t(packed >> 24)};
        QCOMPARE(versionFromBytes(bytes), packed);
    }

    // compareVersion orders two versions; checkVersionRange (against
    // 1.9.18.0-1.9.19.0) checks each part against the bounds' same part.
    void compareAndRange_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::addColumn<int>("range"); // of a
        QTest::newRow("equal, lower bound") << "1.9.18.0" << "1.9.18.0" << 0 << 0;
        QTest::newRow("upper bound") << "1.9.19.0" << "1.9.18.0" << 1 << 0;
        QTest::newRow("fourth part above the upper's") << "1.9.18.5" << "1.9.18.4" << 1 << 1;
        QTest::newRow("third part below the lower's") << "1.9.17.9" << "1.9.18.0" << -1 << -1;
        QTest::newRow("third part above") << "1.9.20.0" << "1.9.19.0" << 1 << 1;
        QTest::newRow("first part decides") << "2.0.0.0" << "1.9.99.99" << 1 << 1;
        QTest::newRow("first part below wins over later") << "0.9.99.0" << "1.0.0.0" << -1 << -1;
    }
    void compareAndRange()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(compareVersion(parseVersion(a), parseVersion(b)), order);
        QCOMPARE(compareVersion(parseVersion(b), parseVersion(a)), -order);
        QTEST(checkVersionRange(parseVersion(a), parseVersion("1.9.18.0"), parseVersion("1.9.19.0")), "range");
    }

    void refusalTexts_data()
    {
        QTest::addColumn<bool>("driver");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("text");
        QTest::newRow("driver accepted") << true << "1.9.19.0" << QString();
        QTest::newRow("driver too recent") << true << "1.9.18.5"
            << "Lumenquill Manager has detected that your devices uses a driver that is too recent.\n"
               "Please update Lumenquill Manager to use your device.\n"
               "Current version : 1.9.18.5\nRequired version : 1.9.18.0-1.9.19.0";
        QTest::newRow("driver old") << true << "1.9.17.9"
            << "Lumenquill Manager has detected that your devices uses an old driver version.\n"
               "Please update it to use your device.\n"
               "Current version : 1.9.17.9\nRequired version : 1.9.18.0-1.9.19.0";
        QTest::newRow("library accepted") << false << "2.3.13.0" << QString();
        QTest::newRow("library too recent") << false << "2.3.13.1"
            << "Lumenquill Manager has detected that you are using an API that is too recent.\n"
               "Please update Lumenquill Manager to use your device.\n"
               "Current version : 2.3.13.1\nRequired version : 2.3.13.0";
        QTest::newRow("library old") << false << "2.3.12.0"
            << "Lumenquill Manager has detected that you are using an old API version.\n"
               "Please update it to use your device.\n"
               "Current version : 2.3.12.0\nRequired version : 2.3.13.0";
    }
    void refusalTexts()
    {
        QFETCH(bool, driver);
        QFETCH(QString, version);
        QTEST(versionRefusal(driver ? kDriverVersionCheck : kLibraryVersionCheck, parseVersion(version)), "text");
    }
};

QTEST_APPLESS_MAIN(tst_DeviceModel)
#include "tst_devicemodel.moc"
