// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// CRC32Generator against check values and zlib, and its members exported to the
// device library through the executable's dynamic symbol table.

#include "crc32generator.h"

#include <QRandomGenerator>
#include <QTest>

#include <dlfcn.h>
#include <zlib.h>

class tst_CRC32Generator : public QObject {
    Q_OBJECT
private slots:
    void checksum_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<quint32>("crc"); // 0: take zlib's
        QTest::newRow("123456789") << QByteArray("123456789") << quint32(0xCBF43926);
        QTest::newRow("abc") << QByteArray("abc") << quint32(0x352441C2);
        QRandomGenerator rng(20261205);
        for (int length : {0, 1, 2, 3, 4, 5, 7, 8, 15, 16, 63, 64, 255, 256, 1000, 4096, 65537}) {
            QByteArray data(length, Qt::Uninitialized);
            for (char &c : data)
                c = char(rng.bounded(256));
            QTest::addRow("random %d", length) << data << quint32(0);
        }
    }

    // Generate at once, and Init then pieces of uneven sizes (empty ones too)
    // fed alternately through both feeding members, which must be interchangeable.
    void checksum()
    {
        QFETCH(QByteArray, data);
        QFETCH(quint32, crc);
        const uLong reference = crc32(0, reinterpret_cast<const Bytef *>(data.constData()), uInt(data.size()));
        QCOMPARE(reference, crc ? uLong(crc) : reference);
        CRC32Generator gen;
        QCOMPARE(gen.Generate(data.data(), static_cast<unsigned long>(data.size())), reference);
        gen.Init();
        int at = 0;
        for (int i = 0; at < data.size(); ++i) {
            const int n = qMin(int(data.size()) - at, QList<int>{1, 0, 7, 1, 300, 13, 0, 680}.at(i % 8));
            if (i % 2)
                gen.CRC32_UpdateChecksum(data.data() + at, static_cast<unsigned long>(n));
            else
                gen.Accumulate(data.data() + at, n);
            at += n;
        }
        QCOMPARE(gen.Get(), reference);
    }

    // Get() and CRC32_FinishChecksum() both finish the running value in place.
    void finishingTwiceComplements()
    {
        CRC32Generator gen;
        QByteArray data("123456789");
        gen.CRC32_InitChecksum();
        gen.CRC32_UpdateChecksum(data.data(), 9);
        QCOMPARE(gen.Get(), 0xCBF43926ul);
        QCOMPARE(gen.Get(), 0xCBF43926ul ^ 0xFFFFFFFFul);
        gen.Init();
        gen.Accumulate(data.data(), 3);
        gen.CRC32_FinishChecksum();
        QCOMPARE(gen.Get(), 0x884863D2ul ^ 0xFFFFFFFFul); // CRC-32 of "123"
    }

    // The library resolves the members from the running program, as here.
    void membersExportedForTheLibrary()
    {
        void *self = dlopen(nullptr, RTLD_NOW);
        QVERIFY(self);
        for (const char *symbol :
             {"_ZN14CRC32GeneratorC1Ev", "_ZN14CRC32Generator14make_crc_tableEv", "_ZN14CRC32Generator4InitEv",
              "_ZN14CRC32Generator18CRC32_InitChecksumEv", "_ZN14CRC32Generator10AccumulateEPci",
              "_ZN14CRC32Generator20CRC32_UpdateChecksumEPcm", "_ZN14CRC32Generator3GetEv",
              "_ZN14CRC32Generator20CRC32_FinishChecksumEv", "_ZN14CRC32Generator8GenerateEPcm"})
            QVERIFY2(dlsym(self, symbol) != nullptr, symbol);
        dlclose(self);
    }
};

QTEST_APPLESS_MAIN(tst_CRC32Generator)
#include "tst_crc32generator.moc"
