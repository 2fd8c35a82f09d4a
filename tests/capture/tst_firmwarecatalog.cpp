// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The firmware catalog reader and the newer-firmware decision. The demo
// catalog against the default devices is tst_featuresflow's.

#include "firmwarecatalog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

FirmwareVersion version(const QString &text)
{
    const QStringList p = text.split(QLatin1Char('.'));
    return {quint8(p[0].toUInt()), quint8(p[1].toUInt()), quint8(p[2].toUInt()), quint8(p[3].toUInt())};
}

// "key:name|file|a.b.c.d|hw,hw" per entry, ";"-separated, image paths relative to dir.
QString describe(const FirmwareCatalog &catalog, const QString &dir)
{
    QStringList entries;
    for (auto it = catalog.cbegin(); it != catalog.cend(); ++it) {
        QStringList hw;
        for (quint32 v : it->hardwareVersions)
            hw << QString::number(v);
        const FirmwareVersion &s = it->softwareVersion;
        entries << QStringLiteral("%1:%2|%3|%4.%5.%6.%7|%8")
                       .arg(it.key() == it->type ? QString::number(it.key()) : QStringLiteral("type mismatch"),
                            it->name, QString(it->path).remove(dir + QLatin1Char('/')))
                       .arg(s[0]).arg(s[1]).arg(s[2]).arg(s[3])
                       .arg(hw.join(QLatin1Char(',')));
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
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("a.img"), "LQFW") && writeFile(dir.filePath("b.img"), "LQFW"));
        QVERIFY(writeFile(dir.filePath("firmware.xml"), "<?xml version=\"1.0\"?>\n" + xml));
        FirmwareCatalog catalog{{99, FirmwareCatalogEntry{}}}; // loading starts afresh
        QString problem;
        QVERIFY(loadFirmwareCatalog(catalog, dir.filePath("firmware.xml"), &problem));
        QTEST(describe(catalog, dir.path()), "expected");
        QTEST(problem.isEmpty(), "complete");
    }

    void unreadableCatalogAndMissingType()
    {
        FirmwareCatalog catalog{{3, FirmwareCatalogEntry{}}};
        QVERIFY(!loadFirmwareCatalog(catalog, QStringLiteral("/nonexistent/firmware.xml")));
        QVERIFY(catalog.isEmpty());
        const FirmwareCatalogEntry missing = catalogEntryFor(catalog, 3);
        QCOMPARE(missing.type, -1);
        QVERIFY(missing.name.isEmpty() && missing.path.isEmpty() && missing.hardwareVersions.isEmpty());
        QVERIFY(!isNewerFirmwareAvailable(catalog, 3, version("0.0.0.0"), 0, 0));
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
        const FirmwareCatalog catalog{{14, {"v6", 14, "/fw/v6.img", version(catalogVersion), catalogHardware}}};
        QTEST(isNewerFirmwareAvailable(catalog, 14, version(deviceVersion), deviceHardware, quint8(variant)), "newer");
    }
};

QTEST_GUILESS_MAIN(tst_FirmwareCatalog)
#include "tst_firmwarecatalog.moc"
