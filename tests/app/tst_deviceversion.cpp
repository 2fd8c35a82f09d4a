// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Packed versions and the admission checks of drivers and the device library.

#include "deviceversion.h"

#include <QTest>

class tst_DeviceVersion : public QObject {
    Q_OBJECT
private slots:
    void parseAndPrint_data();
    void parseAndPrint();
    void compare_data();
    void compare();
    void rangeIsCheckedPerComponent_data();
    void rangeIsCheckedPerComponent();
    void refusalTexts_data();
    void refusalTexts();
};

void tst_DeviceVersion::parseAndPrint_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("packed");
    QTest::addColumn<QString>("printed");
    QTest::newRow("driver lower bound") << "1.9.18.0" << quint32(0x00120901) << "1.9.18.0";
    QTest::newRow("library") << "2.3.13.0" << quint32(0x000D0302) << "2.3.13.0";
    QTest::newRow("parts keep their low byte") << "1.2.3.260" << quint32(0x04030201) << "1.2.3.4";
    QTest::newRow("three parts") << "1.9.18" << quint32(0) << "0.0.0.0";
    QTest::newRow("five parts") << "1.2.3.4.5" << quint32(0) << "0.0.0.0";
    QTest::newRow("empty") << "" << quint32(0) << "0.0.0.0";
    QTest::newRow("not numbers read 0") << "a.9.b.1" << quint32(0x01000900) << "0.9.0.1";
}

void tst_DeviceVersion::parseAndPrint()
{
    QFETCH(QString, text);
    QFETCH(quint32, packed);
    QFETCH(QString, printed);
    QCOMPARE(parseVersion(text), packed);
    QCOMPARE(versionToString(parseVersion(text)), printed);
    const uint8_t bytes[4] = {uint8_t(packed), uint8_t(packed >> 8), uint8_t(packed >> 16), uint8_t(packed >> 24)};
    QCOMPARE(versionFromBytes(bytes), packed);
}

void tst_DeviceVersion::compare_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("result");
    QTest::newRow("equal") << "1.9.18.0" << "1.9.18.0" << 0;
    QTest::newRow("first part decides") << "2.0.0.0" << "1.9.99.99" << 1;
    QTest::newRow("later part decides") << "1.9.18.0" << "1.9.19.0" << -1;
    QTest::newRow("last part") << "2.3.13.1" << "2.3.13.0" << 1;
}

void tst_DeviceVersion::compare()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, result);
    QCOMPARE(compareVersion(parseVersion(a), parseVersion(b)), result);
    QCOMPARE(compareVersion(parseVersion(b), parseVersion(a)), -result);
}

void tst_DeviceVersion::rangeIsCheckedPerComponent_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("result");
    QTest::newRow("lower bound") << "1.9.18.0" << 0;
    QTest::newRow("upper bound") << "1.9.19.0" << 0;
    QTest::newRow("fourth part above the upper's") << "1.9.18.5" << 1;
    QTest::newRow("third part below the lower's") << "1.9.17.9" << -1;
    QTest::newRow("third part above") << "1.9.20.0" << 1;
    QTest::newRow("first part above") << "2.0.0.0" << 1;
    QTest::newRow("first part below wins over later") << "0.9.99.0" << -1;
}

void tst_DeviceVersion::rangeIsCheckedPerComponent()
{
    QFETCH(QString, version);
    QFETCH(int, result);
    QCOMPARE(checkVersionRange(parseVersion(version), parseVersion("1.9.18.0"), parseVersion("1.9.19.0")), result);
}

void tst_DeviceVersion::refusalTexts_data()
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

void tst_DeviceVersion::refusalTexts()
{
    QFETCH(bool, driver);
    QFETCH(QString, version);
    QFETCH(QString, text);
    const VersionCheck &check = driver ? kDriverVersionCheck : kLibraryVersionCheck;
    QCOMPARE(versionRefusal(check, parseVersion(version)), text);
}

QTEST_APPLESS_MAIN(tst_DeviceVersion)
#include "tst_deviceversion.moc"
