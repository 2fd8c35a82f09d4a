// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Capture tab: what Start sends, the status display, error reporting, the format
// list, Browse, its texts and QTimespanSpinBox; the firmware catalog and its offers.

#include "capturepanel.h"
#include "capturetexts.h"
#include "firmwarecatalog.h"
#include "modalanswerer.h"
#include "qtimespanspinbox.h"
#include "statsthreadinfo.h"
#include "ui_capturepanel.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QFileDialog>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdlib>

namespace {
constexpr uint32_t kCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_PCAPNG;

// The box's own conversions, called as the spin box machinery calls them.
struct TimespanProbe : QTimespanSpinBox {
    using QTimespanSpinBox::validate;
    using QTimespanSpinBox::valueFromText;
};

StatsThreadInfo status(uint64_t handle, int32_t errorCode = 0)
{
    StatsThreadInfo info = makeRequest(handle);
    info.capabilities = kCaps;
    info.diskDumpStatus.errorCode = errorCode;
    return info;
}

// Answers the next file dialog with `name`, or cancels it when `name` is empty.
void answerFileDialog(const QString &name, QString *directory)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        *directory = dialog->directory().absolutePath();
        dialog->selectFile(name);
        // QDialog's slots, so that the file dialog's own checks run.
        name.isEmpty() ? static_cast<QDialog *>(dialog)->reject() : static_cast<QDialog *>(dialog)->accept();
    });
    timer->start(5);
}

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
        QStringList sw, hw;
        for (quint8 part : it->softwareVersion)
            sw << QString::number(part);
        for (quint32 v : it->hardwareVersions)
            hw << QString::number(v);
        entries << QStringList{it.key() == it->type ? QString::number(it.key()) : "type mismatch", it->name}.join(':') +
                       '|' + QStringList{QString(it->path).remove(dir + '/'), sw.join('.'), hw.join(',')}.join('|');
    }
    return entries.join(QLatin1Char(';'));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
} // namespace

class tst_CapturePanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerStatsThreadInfo(); }

    // Start does nothing once the last device left. With a device it sends the tab's
    // settings (a size fraction below one byte, a buffer beyond 4 GiB), then a start
    // request without a second copy of the path. Stop runs end to end in tst_featuresflow.
    void startSendsTheSettings()
    {
        CapturePanel panel;
        Ui::CapturePanel *ui = panel.form();
        QSignalSpy config(&panel, &CapturePanel::signal_dd_set_config);
        QSignalSpy start(&panel, &CapturePanel::signal_dd_start);
        QSignalSpy stop(&panel, &CapturePanel::signal_dd_stop);
        panel.setDevice(7, kCaps);
        panel.setDevice(kNoDeviceHandle, 0);
        QTest::mouseClick(ui->capture_start_btn, Qt::LeftButton);
        QCOMPARE(config.size() + start.size() + stop.size(), 0);
        QVERIFY(ui->capture_start_btn->isEnabled());
        panel.setDevice(7, kCaps);
        QTemporaryDir dir; // an existing folder: a missing one is asked about first
        const QString file = dir.filePath(QStringLiteral("trace-\u00e9.pcapng"));
        ui->capture_filename->setText(file);
        ui->capture_loop->setChecked(true);
        ui->capture_size->setValue(0.01);
        ui->capture_count->setValue(99999);
        ui->capture_duration->setValue(1000000);
        ui->maxCacheSizeTrackBar->setValue(8192);
        QTest::mouseClick(ui->capture_start_btn, Qt::LeftButton);
        QCOMPARE(config.size() + start.size(), 2);
        QVERIFY(!ui->capture_start_btn->isEnabled()); // until the next status
        const DiskDumpConfig sent = config.first().first().value<StatsThreadInfo>().diskDumpConfig;
        QCOMPARE(QString::fromWCharArray(sent.path), file);
        std::free(sent.path); // the worker's to free
        QCOMPARE((QList<quint64>{sent.loop, sent.fileFormat, sent.maxFileSize, sent.bufferSize, sent.fileCount,
                                 sent.maxFileDuration}),
                 (QList<quint64>{1, LQ_DISK_DUMP_FORMAT_PCAPNG, 10485, Q_UINT64_C(8192) << 20, 99999, 1000000}));
        const StatsThreadInfo started = start.first().first().value<StatsThreadInfo>();
        QCOMPARE(started.handle, uint64_t(7));
        QVERIFY(!started.diskDumpConfig.path);
    }

    void statusDisplay()
    {
        CapturePanel panel;
        Ui::CapturePanel *ui = panel.form();
        panel.setDevice(7, kCaps);
        StatsThreadInfo info = status(7);
        for (bool running : {true, false}) { // the alarm comes with the capture and goes with it
            info.diskDumpStatus = {running, running, {}, 1048576, 1073741824, 1023, 0, {}};
            panel.statusUpdate(info);
            const QStringList shown{ui->capture_written_label->text(), ui->capture_used_cache_label->text(),
                                    ui->capture_dropped_label->text()};
            QCOMPARE(shown, QStringList({"1.00 GBytes", "1.00 MBytes", "1023 Bytes"}));
            QCOMPARE(panel.captureRunning(), running);
            QCOMPARE(ui->capture_start_btn->text(), running ? "Stop Capture" : "Start Capture");
            QCOMPARE(ui->pushButton_4->isEnabled(), !running); // settings stay as started
            const QPalette palette = ui->capture_used_cache_label->palette();
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                QCOMPARE(palette.color(group, QPalette::WindowText) == QColor(Qt::red), running);
        }
    }

    void errorReportedOncePerNewCode_data()
    {
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<int>("boxes");
        QTest::newRow("no error") << QList<int>{0, 0, 0} << 0;
        QTest::newRow("persisting error") << QList<int>{0, -5, -5, -5, -5, -5, -5} << 1;
        QTest::newRow("changed code") << QList<int>{-5, -5, -6, -6} << 2;
        QTest::newRow("cleared and back") << QList<int>{-5, 0, -5} << 2;
    }
    void errorReportedOncePerNewCode()
    {
        QFETCH(QList<int>, codes);
        ModalAnswerer answerer;
        CapturePanel panel;
        panel.setDevice(7, kCaps);
        // Queued like the worker's replies, so polls also arrive while a box is open.
        int delivered = 0;
        for (int code : codes)
            QTimer::singleShot(0, &panel, [&, code] {
                ++delivered;
                panel.statusUpdate(status(7, code));
            });
        QTRY_COMPARE(delivered, codes.size());
        QTEST(int(answerer.titles.size()), "boxes");
        QCOMPARE(answerer.titles.filter("Direct Capture").size(), answerer.titles.size());
        // Re-selecting the device keeps what it reported; another device's error is its own.
        const auto before = answerer.titles.size();
        panel.setDevice(7, kCaps);
        panel.statusUpdate(status(7, codes.last()));
        QCOMPARE(answerer.titles.size(), before);
        panel.setDevice(9, kCaps);
        panel.statusUpdate(status(9, -5));
        QCOMPARE(answerer.titles.size(), before + 1);
    }

    // Every failed Start shows on the status line with the system's reason, also when it
    // fails as the one before did; the box still comes once per new code.
    void failedStartOnStatusLine_data()
    {
        QTest::addColumn<QList<int>>("codes");  // the device's code after each Start; 0: it runs
        QTest::addColumn<QStringList>("lines"); // the status line then
        QTest::addColumn<int>("boxes");
        const QString denied = "Direct capture failed: " + qt_error_string(EACCES);
        const QString full = "Direct capture failed: " + qt_error_string(ENOSPC);
        QTest::newRow("same fault twice") << QList<int>{EACCES, EACCES} << QStringList{denied, denied} << 1;
        QTest::newRow("another fault") << QList<int>{EACCES, ENOSPC} << QStringList{denied, full} << 2;
        QTest::newRow("then it runs") << QList<int>{EACCES, 0} << QStringList{denied, ""} << 1;
        QTest::newRow("no errno") << QList<int>{-7} << QStringList{"Direct capture failed: error code -7"} << 1;
    }
    void failedStartOnStatusLine()
    {
        QFETCH(QList<int>, codes);
        ModalAnswerer answerer;
        CapturePanel panel;
        connect(&panel, &CapturePanel::signal_dd_set_config, this,
                [](const StatsThreadInfo &info) { std::free(info.diskDumpConfig.path); });
        panel.setDevice(7, kCaps);
        QTemporaryDir dir; // an existing folder: a missing one would be asked about first
        panel.form()->capture_filename->setText(dir.filePath("run.pcapng"));
        panel.statusUpdate(status(7));
        auto *line = panel.findChild<QLabel *>("capture_status_label");
        QVERIFY(line);
        QCOMPARE(line->textFormat(), Qt::PlainText);
        QStringList lines;
        for (int code : codes) {
            line->setText("left over");
            QTest::mouseClick(panel.form()->capture_start_btn, Qt::LeftButton);
            QCOMPARE(line->text(), QString()); // a new attempt starts with a clean line
            StatsThreadInfo info = status(7, code);
            info.diskDumpStatus.running = code == 0;
            panel.statusUpdate(info);
            lines << line->text();
        }
        QTEST(lines, "lines");
        QTEST(int(answerer.titles.size()), "boxes");
        QCOMPARE(answerer.titles.filter("Direct Capture").size(), answerer.titles.size());
    }

    void browse_data()
    {
        QTest::addColumn<QString>("answer"); // empty: cancelled
        QTest::addColumn<uint32_t>("caps");
        QTest::addColumn<QString>("result");
        QTest::newRow("extension appended") << "dump" << kCaps << "dump.pcapng";
        QTest::newRow("upper-case extension kept") << "DUMP.PCAPNG" << kCaps << "DUMP.PCAPNG";
        QTest::newRow("no PCAP-NG") << "dump.pcapng" << uint32_t(LQ_CAP_CONFIGURABLE) << "dump.pcapng.pcapng";
        QTest::newRow("cancelled") << "" << kCaps << "old.pcapng";
    }
    void browse()
    {
        QFETCH(QString, answer);
        QFETCH(uint32_t, caps);
        QFETCH(QString, result);
        QTemporaryDir dir;
        QSettings settings(dir.filePath("settings.ini"), QSettings::IniFormat);
        CapturePanel panel;
        Ui::CapturePanel *ui = panel.form();
        panel.setSettings(&settings);
        QCOMPARE(ui->capture_filename->text(),
                 QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/capture.pcapng");
        ui->capture_filename->setText(dir.filePath("old.erf"));
        // A new device's format list, and the name follows it.
        panel.setDevice(7, caps);
        QCOMPARE(ui->capture_filetype->count(), caps & LQ_CAP_PCAPNG ? 1 : 0);
        QCOMPARE(ui->capture_filetype->currentText(), QString(caps & LQ_CAP_PCAPNG ? "PCAP-NG" : ""));
        QCOMPARE(ui->capture_filename->text(), dir.filePath("old.pcapng"));
        QString startDirectory;
        answerFileDialog(answer.isEmpty() ? answer : dir.filePath(answer), &startDirectory);
        QTest::mouseClick(ui->pushButton_4, Qt::LeftButton);
        QCOMPARE(startDirectory, dir.path());
        QCOMPARE(ui->capture_filename->text(), dir.filePath(result));
        // Remembered for the next start, and only when a name was chosen.
        CapturePanel next;
        next.setSettings(&settings);
        QCOMPARE(next.form()->capture_filename->text() == dir.filePath(result), !answer.isEmpty());
    }

    // Byte counts, the buffer slider's label from its megabytes, and "name|format"
    // given the extension of that entry of the format list.
    void texts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("below a KiB") << "bytes"
                                     << "1023"
                                     << "1023 Bytes";
        QTest::newRow("one KiB") << "bytes"
                                 << "1024"
                                 << "1.00 KBytes";
        QTest::newRow("MiB with fraction") << "bytes"
                                           << "1572864"
                                           << "1.50 MBytes";
        QTest::newRow("one GiB") << "bytes"
                                 << "1073741824"
                                 << "1.00 GBytes";
        QTest::newRow("slider below a GiB") << "slider"
                                            << "1023"
                                            << "1023 MBytes";
        QTest::newRow("slider at a GiB") << "slider"
                                         << "1024"
                                         << "1.00 GBytes";
        QTest::newRow("slider maximum") << "slider"
                                        << "8192"
                                        << "8.00 GBytes";
        QTest::newRow("last dot only") << "name"
                                       << "trace.old.pcapng|1"
                                       << "trace.old.pcap";
        QTest::newRow("no dot") << "name"
                                << "dump|2"
                                << "dump.erf";
        QTest::newRow("emptied list") << "name"
                                      << "dump.erf|-1"
                                      << "dump.pcapng";
        QTest::newRow("dotted folder") << "name"
                                       << "/data/run.2/dump|1"
                                       << "/data/run.2/dump.pcap";
    }
    void texts()
    {
        QFETCH(QString, kind);
        QFETCH(QString, value);
        if (kind == "name")
            QTEST(CaptureTexts::withFormatExtension(value.section('|', 0, 0), value.section('|', 1).toInt()), "text");
        else if (kind == "bytes")
            QTEST(CaptureTexts::byteCount(value.toULongLong()), "text");
        else
            QTEST(CaptureTexts::bufferSize(value.toInt()), "text");
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
        if (seconds >= 0) {
            QCOMPARE(box.valueFromText(typed), seconds);
            box.setValue(seconds);
            QTEST(box.text(), "shown");
        }
    }

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
        QTest::newRow("no catalog file") << QByteArray() << false << "";
    }
    void reader()
    {
        QFETCH(QByteArray, xml);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("a.img"), "LQFW") && writeFile(dir.filePath("b.img"), "LQFW"));
        QVERIFY(xml.isNull() || writeFile(dir.filePath("firmware.xml"), "<?xml version=\"1.0\"?>\n" + xml));
        FirmwareCatalog catalog{{99, FirmwareCatalogEntry{}}}; // loading starts afresh
        QString problem;
        QCOMPARE(loadFirmwareCatalog(catalog, dir.filePath("firmware.xml"), &problem), !xml.isNull());
        QTEST(describe(catalog, dir.path()), "expected");
        QTEST(problem.isEmpty(), "complete");
        // A type without an entry: empty texts, type -1, nothing newer.
        const FirmwareCatalogEntry missing = catalogEntryFor(catalog, 99);
        QCOMPARE(missing.type, -1);
        QVERIFY(missing.name.isEmpty() && missing.path.isEmpty() && missing.hardwareVersions.isEmpty());
        QVERIFY(!isNewerFirmwareAvailable(catalog, 99, version("0.0.0.0"), 0, 0));
    }

    // The vendor's catalog is the only one read unless the environment names
    // another: a catalog beside the executable (the simulator's demo catalog
    // in a build tree or a staged install) must not reach real devices.
    void catalogLocation_data()
    {
        QTest::addColumn<QByteArray>("overrideDir");
        QTest::addColumn<bool>("catalogBesideExecutable");
        QTest::addColumn<QString>("expected");
        const QString vendor = QStringLiteral("/usr/share/lumenquill/firmware/firmware.xml");
        QTest::newRow("nothing set") << QByteArray() << false << vendor;
        QTest::newRow("catalog beside the executable") << QByteArray() << true << vendor;
        QTest::newRow("empty variable") << QByteArray("") << true << vendor;
        QTest::newRow("variable names a folder") << QByteArray("/opt/fw") << true << "/opt/fw/firmware.xml";
    }
    void catalogLocation()
    {
        QFETCH(QByteArray, overrideDir);
        QFETCH(bool, catalogBesideExecutable);
        const QString beside = QCoreApplication::applicationDirPath() + "/../share/lumenquill/firmware";
        const QString besideFile = beside + "/firmware.xml";
        auto cleanup = qScopeGuard([&] {
            QFile::remove(besideFile);
            QDir().rmpath(beside);
            qunsetenv("LUMENQUILL_FIRMWARE_DIR");
        });
        if (catalogBesideExecutable)
            QVERIFY(QDir().mkpath(beside) && writeFile(besideFile, "<?xml version=\"1.0\"?>\n<devices/>"));
        if (overrideDir.isNull())
            qunsetenv("LUMENQUILL_FIRMWARE_DIR");
        else
            qputenv("LUMENQUILL_FIRMWARE_DIR", overrideDir);
        QTEST(defaultCatalogPath(), "expected");
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

QTEST_MAIN(tst_CapturePanel)
#include "tst_capturepanel.moc"
