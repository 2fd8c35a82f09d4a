// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The firmware catalog reader, the newer-firmware decision, and the demo
// catalog against the default simulated devices.

#include "firmwarecatalog.h"
#include "lqsim.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString versionText(const FirmwareVersion &v)
{
    return QStringLiteral("%1.%2.%3.%4").arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]);
}

FirmwareVersion version(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    return {quint8(parts[0].toUInt()), quint8(parts[1].toUInt()), quint8(parts[2].toUInt()), quint8(parts[3].toUInt())};
}

// "key:name|file|a.b.c.d|hw,hw" per entry, ";"-separated, image paths relative to dir.
QString describe(const FirmwareCatalog &catalog, const QString &dir)
{
    QStringList entries;
    for (auto it = catalog.cbegin(); it != catalog.cend(); ++it) {
        QStringList hw;
        for (quint32 v : it->hardwareVersions)
            hw << QString::number(v);
        entries << QStringLiteral("%1:%2|%3|%4|%5")
                       .arg(it.key() == it->type ? QString::number(it.key()) : QStringLiteral("type mismatch"),
                            it->name, QString(it->path).remove(dir + QLatin1Char('/')),
                            versionText(it->softwareVersion), hw.join(QLatin1Char(',')));
    }
    return entries.join(QLatin1Char(';'));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class tst_FirmwareCatalog : public QObject {
    Q_OBJECT

private slots:
    void reader_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("expected");

        auto d = [](const QByteArray &children) { return "<device>" + children + "</device>"; };
        auto doc = [](const QByteArray &devices) { return "<devices>" + devices + "</devices>"; };
        const QByteArray a = "<type>3</type><file>a.img</file>";
        QTest::newRow("full entry") << doc(d("<name>v6</name><type>14</type><file>a.img</file><swversion>5.1.0.0"
                                             "</swversion><hwversion>1403</hwversion><hwversion>1500</hwversion>"))
                                    << true << "14:v6|a.img|5.1.0.0|1403,1500";
        QTest::newRow("root is not devices") << "<catalog>" + d(a) + "</catalog>" << false << "";
        QTest::newRow("image missing") << doc(d("<type>3</type><file>gone.img</file>")) << true << "";
        QTest::newRow("several types") << doc(d("<type>9</type><type>10</type><file>a.img</file>")) << true
                                       << "9:|a.img|0.0.0.0|;10:|a.img|0.0.0.0|";
        QTest::newRow("later entry with an image wins")
            << doc(d(a) + d("<type>3</type><file>b.img</file>") + d("<type>3</type><file>gone.img</file>")) << true
            << "3:|b.img|0.0.0.0|";
        // Stored after every child: what follows a missing image is lost.
        QTest::newRow("stored child by child")
            << doc(d(a + "<name>kept</name><file>gone.img</file><name>lost</name>")) << true << "3:kept|a.img|0.0.0.0|";
        QTest::newRow("other element in devices ends reading")
            << doc(d(a) + "<note/>" + d("<type>5</type><file>a.img</file>")) << false << "3:|a.img|0.0.0.0|";
        QTest::newRow("unknown child ends the entry")
            << doc(d(a + "<extra/><name>late</name>") + d("<type>5</type><file>a.img</file>")) << false
            << "3:|a.img|0.0.0.0|";
        QTest::newRow("numbers that do not parse read 0")
            << doc(d("<type>x</type><file>a.img</file><hwversion>-4</hwversion><swversion>1.z.3.300</swversion>"))
            << true << "0:|a.img|1.0.3.44|0";
        QTest::newRow("swversion of another length ignored")
            << doc(d(a + "<swversion>2.0.0.1</swversion><swversion>1.2.3</swversion>")) << true << "3:|a.img|2.0.0.1|";
        QTest::newRow("malformed document keeps earlier entries")
            << "<devices>" + d(a) + "<device><type>4</oops>" << false << "3:|a.img|0.0.0.0|";
    }

    void reader()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, complete);
        QFETCH(QString, expected);

        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("a.img")), "LQFW"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("b.img")), "LQFW"));
        const QString catalogFile = dir.filePath(QStringLiteral("firmware.xml"));
        QVERIFY(writeFile(catalogFile, "<?xml version=\"1.0\"?>\n" + xml));

        FirmwareCatalog catalog{{99, FirmwareCatalogEntry{}}}; // loading starts afresh
        QString problem;
        QVERIFY(loadFirmwareCatalog(catalog, catalogFile, &problem));
        QCOMPARE(describe(catalog, dir.path()), expected);
        QCOMPARE(problem.isEmpty(), complete);
    }

    void unreadableCatalogAndMissingType()
    {
        FirmwareCatalog catalog{{3, FirmwareCatalogEntry{}}};
        QVERIFY(!loadFirmwareCatalog(catalog, QStringLiteral("/nonexistent/firmware.xml")));
        QVERIFY(catalog.isEmpty());
        const FirmwareCatalogEntry missing = catalogEntryFor(catalog, 3);
        QCOMPARE(missing.type, -1);
        QVERIFY(missing.name.isEmpty() && missing.path.isEmpty() && missing.hardwareVersions.isEmpty());
        QVERIFY(!isNewerFirmwareAvailable(catalog, 3, version(QStringLiteral("0.0.0.0")), 0, 0));
    }

    void newerFirmware_data()
    {
        QTest::addColumn<QString>("catalogVersion");
        QTest::addColumn<QList<quint32>>("catalogHardware");
        QTest::addColumn<QString>("deviceVersion");
        QTest::addColumn<uint>("deviceHardware");
        QTest::addColumn<uint>("variant");
        QTest::addColumn<bool>("newer");

        using L = QList<quint32>;
        QTest::newRow("newer software") << "1.2.3.5" << L{1000} << "1.2.3.4" << 2000u << 0u << true;
        QTest::newRow("older software, newer hardware") << "1.2.2.9" << L{1500} << "1.2.3.4" << 1400u << 0u << true;
        QTest::newRow("older software, same hardware") << "1.2.2.9" << L{1400} << "1.2.3.4" << 1400u << 0u << false;
        QTest::newRow("variant 1 reads the second") << "1.2.2.9" << L{1000, 1500} << "1.2.3.4" << 1400u << 1u << true;
        QTest::newRow("variant beyond list, newer") << "1.2.3.5" << L{1000} << "1.2.3.4" << 1400u << 3u << true;
        QTest::newRow("variant beyond list, older") << "1.2.2.9" << L{9999} << "1.2.3.4" << 1400u << 1u << false;
        QTest::newRow("parts are unsigned") << "200.0.0.0" << L{} << "199.255.255.255" << 0u << 0u << true;
        QTest::newRow("first smaller part decides") << "1.0.255.255" << L{} << "1.1.0.0" << 0u << 0u << false;
    }

    void newerFirmware()
    {
        QFETCH(QString, catalogVersion);
        QFETCH(QList<quint32>, catalogHardware);
        QFETCH(QString, deviceVersion);
        QFETCH(uint, deviceHardware);
        QFETCH(uint, variant);
        QFETCH(bool, newer);

        const FirmwareCatalog catalog{
            {14, {QStringLiteral("v6"), 14, QStringLiteral("/fw/v6.img"), version(catalogVersion), catalogHardware}}};
        QCOMPARE(isNewerFirmwareAvailable(catalog, 14, version(deviceVersion), deviceHardware, quint8(variant)), newer);
    }

    // The catalog the build writes offers an update to the default scenario's
    // older tap only, with an image that tap takes, and nothing once it runs it.
    void demoCatalogAgainstDefaultDevices()
    {
        FirmwareCatalog catalog;
        QString problem;
        QVERIFY(loadFirmwareCatalog(catalog, QStringLiteral(LQ_DEMO_CATALOG_DIR "/firmware.xml"), &problem));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));

        lqsim_use_manual_clock(1764892800000ull);
        QCOMPARE(lqsim_load_startup_scenario(), 0);
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        auto offerFor = [&](const char *mac) -> std::optional<FirmwareOffer> {
            StatsThreadInfo info = makeRequest(lqsim_handle_of(mac));
            if (LumenquillAPIGetDeviceType(info.handle, &info.deviceType) != 0 ||
                LumenquillAPIGetVersions(info.handle, &info.versions) != 0 ||
                LumenquillAPIGetDeviceFeatures(info.handle, &info.features) != 0)
                return FirmwareOffer{}; // a device that is not there fails every check below
            return firmwareOfferFor(catalog, info);
        };
        const char *const older = "02:4c:51:00:00:03";
        QVERIFY(!offerFor("02:4c:51:00:00:01"));
        QVERIFY(!offerFor("02:4c:51:00:00:02"));
        const auto offer = offerFor(older);
        QVERIFY(offer && offer->entry.type == 14);

        QCOMPARE(LumenquillAPIFirmwareUpdateStart(lqsim_handle_of(older), offer->entry.path.toStdWString().c_str()), 0);
        lqsim_advance_clock(LQSIM_FIRMWARE_UPDATE_MS);
        uint32_t percent = 0;
        QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(lqsim_handle_of(older), &percent), 0);
        QCOMPARE(lqsim_replug(older), 0);
        lqsim_advance_clock(LQSIM_RESTART_MS);
        QVERIFY(!offerFor(older));
        QCOMPARE(LumenquillAPIUninitialize(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_FirmwareCatalog)
#include "tst_firmwarecatalog.moc"
