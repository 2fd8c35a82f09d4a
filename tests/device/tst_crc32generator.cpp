// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// CRC32Generator against its check values and against zlib, and its export to
// the device library through the executable's dynamic symbol table.

#include "crc32generator.h"

#include <QRandomGenerator>
#include <QTest>

#include <dlfcn.h>
#include <zlib.h>

#include <memory>

class tst_CRC32Generator : public QObject {
    Q_OBJECT
private slots:
    void checkValues_data();
    void checkValues();
    void getTwiceComplements();
    void splitFeedingEqualsGenerate_data();
    void splitFeedingEqualsGenerate();
    void agreesWithZlib();
    void finishLeavesChecksumInRunningValue();
    void membersExportedForTheLibrary_data();
    void membersExportedForTheLibrary();
};

void tst_CRC32Generator::checkValues_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<quint32>("crc");
    QTest::newRow("123456789") << QByteArray("123456789") << quint32(0xCBF43926);
    QTest::newRow("abc") << QByteArray("abc") << quint32(0x352441C2);
    QTest::newRow("empty") << QByteArray() << quint32(0);
    QTest::newRow("one zero byte") << QByteArray(1, '\0') << quint32(0xD202EF8D);
    QTest::newRow("high bytes") << QByteArray("\xff\xfe\x80", 3) << quint32(crc32(0, reinterpret_cast<const Bytef *>("\xff\xfe\x80"), 3));
}

void tst_CRC32Generator::checkValues()
{
    QFETCH(QByteArray, data);
    QFETCH(quint32, crc);
    auto gen = std::make_unique<CRC32Generator>();
    QCOMPARE(gen->Generate(data.data(), static_cast<unsigned long>(data.size())), static_cast<unsigned long>(crc));

    gen->Init();
    gen->Accumulate(data.data(), static_cast<int>(data.size()));
    QCOMPARE(gen->Get(), static_cast<unsigned long>(crc));
}

void tst_CRC32Generator::getTwiceComplements()
{
    CRC32Generator gen;
    QByteArray data("123456789");
    gen.CRC32_InitChecksum();
    gen.CRC32_UpdateChecksum(data.data(), 9);
    QCOMPARE(gen.Get(), 0xCBF43926ul);
    QCOMPARE(gen.Get(), 0xCBF43926ul ^ 0xFFFFFFFFul);
}

void tst_CRC32Generator::splitFeedingEqualsGenerate_data()
{
    QTest::addColumn<QList<int>>("pieces");
    QTest::newRow("one piece") << QList<int>{1000};
    QTest::newRow("bytewise start") << QList<int>{1, 1, 1, 997};
    QTest::newRow("uneven") << QList<int>{7, 0, 300, 13, 680};
    QTest::newRow("empty pieces") << QList<int>{0, 0, 1000, 0};
}

void tst_CRC32Generator::splitFeedingEqualsGenerate()
{
    QFETCH(QList<int>, pieces);
    QByteArray data(1000, Qt::Uninitialized);
    QRandomGenerator rng(42);
    for (char &c : data)
        c = static_cast<char>(rng.bounded(256));

    CRC32Generator whole;
    const unsigned long expected = whole.Generate(data.data(), 1000);

    // Alternate both feeding members; they must be interchangeable.
    CRC32Generator split;
    split.Init();
    int at = 0;
    bool useAccumulate = true;
    for (int n : pieces) {
        if (useAccumulate)
            split.Accumulate(data.data() + at, n);
        else
            split.CRC32_UpdateChecksum(data.data() + at, static_cast<unsigned long>(n));
        useAccumulate = !useAccumulate;
        at += n;
    }
    QCOMPARE(at, 1000);
    QCOMPARE(split.Get(), expected);
}

void tst_CRC32Generator::agreesWithZlib()
{
    QRandomGenerator rng(20261205);
    CRC32Generator gen;
    for (int length : {1, 2, 3, 4, 5, 7, 8, 15, 16, 63, 64, 255, 256, 1023, 4096, 65537}) {
        QByteArray data(length, Qt::Uninitialized);
        for (char &c : data)
            c = static_cast<char>(rng.bounded(256));
        const uLong reference = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef *>(data.constData()),
                                      static_cast<uInt>(length));
        QCOMPARE(gen.Generate(data.data(), static_cast<unsigned long>(length)), static_cast<unsigned long>(reference));
    }
}

void tst_CRC32Generator::finishLeavesChecksumInRunningValue()
{
    CRC32Generator gen;
    QByteArray data("abc");
    gen.Init();
    gen.Accumulate(data.data(), 3);
    gen.CRC32_FinishChecksum();
    // Get() finishes again, so it now answers the complement of the checksum.
    QCOMPARE(gen.Get(), 0x352441C2ul ^ 0xFFFFFFFFul);
}

void tst_CRC32Generator::membersExportedForTheLibrary_data()
{
    QTest::addColumn<QByteArray>("symbol");
    QTest::newRow("constructor") << QByteArray("_ZN14CRC32GeneratorC1Ev");
    QTest::newRow("make_crc_table") << QByteArray("_ZN14CRC32Generator14make_crc_tableEv");
    QTest::newRow("Init") << QByteArray("_ZN14CRC32Generator4InitEv");
    QTest::newRow("CRC32_InitChecksum") << QByteArray("_ZN14CRC32Generator18CRC32_InitChecksumEv");
    QTest::newRow("Accumulate") << QByteArray("_ZN14CRC32Generator10AccumulateEPci");
    QTest::newRow("CRC32_UpdateChecksum") << QByteArray("_ZN14CRC32Generator20CRC32_UpdateChecksumEPcm");
    QTest::newRow("Get") << QByteArray("_ZN14CRC32Generator3GetEv");
    QTest::newRow("CRC32_FinishChecksum") << QByteArray("_ZN14CRC32Generator20CRC32_FinishChecksumEv");
    QTest::newRow("Generate") << QByteArray("_ZN14CRC32Generator8GenerateEPcm");
}

void tst_CRC32Generator::membersExportedForTheLibrary()
{
    QFETCH(QByteArray, symbol);
    // The library resolves the members from the running program, as here.
    void *self = dlopen(nullptr, RTLD_NOW);
    QVERIFY(self);
    QVERIFY2(dlsym(self, symbol.constData()) != nullptr, symbol.constData());
    dlclose(self);
}

QTEST_APPLESS_MAIN(tst_CRC32Generator)
#include "tst_crc32generator.moc"
