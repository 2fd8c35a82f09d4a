// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Capture tab: start and stop through a real worker and the simulated
// device, the status display, error reporting, the format list and Browse.

#include "capturepanel.h"
#include "lqsim.h"
#include "modalanswerer.h"
#include "statsthread.h"
#include "ui_capturepanel.h"
#include "workerprobe.h"

#include <QFileDialog>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char *const kMac = "02:4c:51:00:00:01";
constexpr uint32_t kCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_PCAPNG;

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

} // namespace

class tst_CapturePanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerStatsThreadInfo();
        lqsim_use_manual_clock(1764892800000ull);
    }

    // Values at the edges: a size fraction below one byte, a buffer beyond 4 GiB.
    void startAndStopThroughWorker()
    {
        const QByteArray scenario = QByteArray("{\"devices\":[{\"type\":3,\"mac\":\"") + kMac + "\"}]}";
        QCOMPARE(lqsim_load_scenario_text(scenario.constData()), 0);
        lqsim_reset_call_counts();
        StatsThread worker;
        WorkerProbe probe(&worker);
        worker.startLibrary();
        lqsim_advance_clock(0);
        QTRY_COMPARE(probe.added.size(), 1);
        const uint64_t handle = probe.added.first().handle;

        ModalAnswerer answerer;
        QTemporaryDir dir;
        CapturePanel panel;
        Ui::CapturePanel *ui = panel.form();
        connect(&panel, &CapturePanel::signal_dd_set_config, &worker, &StatsThread::slot_dd_set_config);
        connect(&panel, &CapturePanel::signal_dd_start, &worker, &StatsThread::slot_dd_start);
        connect(&panel, &CapturePanel::signal_dd_stop, &worker, &StatsThread::slot_dd_stop);
        QStringList sent;
        connect(&panel, &CapturePanel::signal_dd_set_config, this, [&] { sent << "config"; });
        connect(&panel, &CapturePanel::signal_dd_start, this,
                [&](StatsThreadInfo i) { sent << (i.diskDumpConfig.path ? "start with a second path" : "start"); });
        connect(&panel, &CapturePanel::signal_dd_stop, this, [&] { sent << "stop"; });
        panel.setDevice(handle, LumenquillAPIGetDeviceCapabilities(3));
        const QString path = dir.filePath(QStringLiteral("trace-\u00e9.pcapng"));
        ui->capture_filename->setText(path);
        ui->capture_loop->setChecked(true);
        ui->capture_size->setValue(0.01);
        ui->capture_count->setValue(99999);
        ui->capture_duration->setValue(1000000);
        ui->maxCacheSizeTrackBar->setValue(8192);

        QTest::mouseClick(ui->capture_start_btn, Qt::LeftButton);
        QCOMPARE(sent, QStringList({"config", "start"}));
        QVERIFY(!ui->capture_start_btn->isEnabled());
        QTRY_COMPARE(lqsim_call_count("LumenquillAPIDiskDumpStart"), uint64_t(1));
        DiskDumpConfig seen{};
        char seenPath[512] = {};
        QCOMPARE(lqsim_last_disk_dump_config(kMac, &seen, seenPath, sizeof seenPath), 0);
        QCOMPARE(QString::fromUtf8(seenPath), path);
        QCOMPARE((QList<quint64>{seen.loop, seen.fileFormat, seen.maxFileSize, seen.bufferSize, seen.fileCount,
                                 seen.maxFileDuration}),
                 (QList<quint64>{1, 0, 10485, Q_UINT64_C(8192) << 20, 99999, 1000000}));

        // The device's own status turns the button into Stop, and back.
        for (const char *expected : {"Stop Capture", "Start Capture"}) {
            probe.request("slot_get_iface_status", makeRequest(handle));
            QTRY_VERIFY(!probe.status.isEmpty());
            panel.statusUpdate(probe.status.takeLast());
            QCOMPARE(ui->capture_start_btn->text(), QString::fromLatin1(expected));
            QVERIFY(ui->capture_start_btn->isEnabled());
            QTest::mouseClick(ui->capture_start_btn, Qt::LeftButton);
            QTRY_COMPARE(lqsim_call_count("LumenquillAPIDiskDumpStop"), uint64_t(1));
        }
        QCOMPARE(sent, QStringList({"config", "start", "stop", "config", "start"}));
        QCOMPARE(answerer.titles, QStringList());
    }

    void startWithoutDeviceDoesNothing()
    {
        CapturePanel panel;
        panel.setDevice(7, kCaps);
        panel.setDevice(kNoDeviceHandle, 0); // the last device left
        QSignalSpy config(&panel, &CapturePanel::signal_dd_set_config);
        QSignalSpy start(&panel, &CapturePanel::signal_dd_start);
        QSignalSpy stop(&panel, &CapturePanel::signal_dd_stop);
        QTest::mouseClick(panel.form()->capture_start_btn, Qt::LeftButton);
        QCOMPARE(config.size() + start.size() + stop.size(), 0);
        QVERIFY(panel.form()->capture_start_btn->isEnabled());
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
        for (const QString &title : answerer.titles)
            QCOMPARE(title, QStringLiteral("Direct Capture"));
        // Re-selecting the device keeps what it reported; another device's
        // error is its own, even with the same code.
        const auto before = answerer.titles.size();
        panel.setDevice(7, kCaps);
        panel.statusUpdate(status(7, codes.last()));
        QCOMPARE(answerer.titles.size(), before);
        panel.setDevice(9, kCaps);
        panel.statusUpdate(status(9, -5));
        QCOMPARE(answerer.titles.size(), before + 1);
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
};

QTEST_MAIN(tst_CapturePanel)
#include "tst_capturepanel.moc"
