// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Capture tab's texts: byte counts, the buffer label, format extensions,
// and QTimespanSpinBox's typing and display.

#include "capturetexts.h"
#include "qtimespanspinbox.h"

#include <QTest>

namespace {

// The box's own conversions, called as the spin box machinery calls them.
class TimespanProbe : public QTimespanSpinBox {
public:
    using QTimespanSpinBox::validate;
    using QTimespanSpinBox::valueFromText;
};

} // namespace

class tst_CaptureTexts : public QObject {
    Q_OBJECT
private slots:
    void byteCount_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("below a KiB") << Q_UINT64_C(1023) << "1023 Bytes";
        QTest::newRow("one KiB") << Q_UINT64_C(1024) << "1.00 KBytes";
        QTest::newRow("MiB with fraction") << Q_UINT64_C(1572864) << "1.50 MBytes";
        QTest::newRow("one GiB") << Q_UINT64_C(1073741824) << "1.00 GBytes";
    }
    void byteCount()
    {
        QFETCH(quint64, bytes);
        QTEST(CaptureTexts::byteCount(bytes), "text");
    }

    void bufferSize_data()
    {
        QTest::addColumn<int>("megabytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("below a GiB") << 1023 << "1023 MBytes";
        QTest::newRow("one GiB") << 1024 << "1.00 GBytes";
        QTest::newRow("slider maximum") << 8192 << "8.00 GBytes";
    }
    void bufferSize()
    {
        QFETCH(int, megabytes);
        QTEST(CaptureTexts::bufferSize(megabytes), "text");
    }

    void withFormatExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("result");
        QTest::newRow("last dot only") << "trace.old.pcapng" << 1 << "trace.old.pcap";
        QTest::newRow("no dot") << "dump" << 2 << "dump.erf";
        QTest::newRow("emptied list") << "dump.erf" << -1 << "dump.pcapng";
        QTest::newRow("dotted folder") << "/data/run.2/dump" << 1 << "/data/run.2/dump.pcap";
    }
    void withFormatExtension()
    {
        QFETCH(QString, name);
        QFETCH(int, format);
        QTEST(CaptureTexts::withFormatExtension(name, format), "result");
    }

    void timespan_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("seconds"); // -1: refused
        QTest::addColumn<QString>("shown");
        QTest::newRow("one of each") << "1:1:1" << 3661 << "01:01:01";
        QTest::newRow("three-digit hours") << "100" << 360000 << "100:00:00";
        QTest::newRow("two colons alone") << "::" << 0 << "00:00:00";
        QTest::newRow("last of each") << "0:59:59" << 3599 << "00:59:59";
        QTest::newRow("60 minutes") << "1:60" << -1 << "";
        QTest::newRow("60 seconds") << "0:0:60" << -1 << "";
        QTest::newRow("four parts") << "1:2:3:4" << -1 << "";
        QTest::newRow("letter") << "1:x" << -1 << "";
        QTest::newRow("hours beyond int") << "99999999999" << -1 << "";
    }
    void timespan()
    {
        QFETCH(QString, typed);
        QFETCH(int, seconds);
        TimespanProbe box;
        box.setRange(0, 1000000);
        int pos = int(typed.size());
        QCOMPARE(box.validate(typed, pos), seconds < 0 ? QValidator::Invalid : QValidator::Acceptable);
        if (seconds < 0)
            return;
        QCOMPARE(box.valueFromText(typed), seconds);
        box.setValue(seconds);
        QTEST(box.text(), "shown");
    }
};

QTEST_MAIN(tst_CaptureTexts)
#include "tst_capturetexts.moc"
