// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Features, Network Ports and Capture tabs against simulated devices: applying,
// saving, restarting, firmware variants and updates, port settings, direct capture.

#include "devicecombobox.h"
#include "modalanswerer.h"
#include "windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QScopeGuard>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cerrno>

namespace {
const char *const kMac = "02:4c:51:00:02:01";
const char *const kOldMac = "02:4c:51:00:05:01";
const char *const kOtherMac = "02:4c:51:00:05:02";
const QString kOffer = "There is a new firmware available for your Lumenquill.\nDo you want to update it now?";

template <typename T> QByteArray bytes(const T &record)
{
    return QByteArray(reinterpret_cast<const char *>(&record), sizeof record);
}

// The tool's output, or a failed test when it does not run cleanly.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok =
        process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    if (!ok)
        QTest::qFail(qPrintable(program + ": " + out), __FILE__, __LINE__);
    return out;
}
} // namespace

class tst_FeaturesFlow : public QObject {
    Q_OBJECT
    WindowHarness h;
    std::unique_ptr<ModalAnswerer> m_boxes;

    // The controls come alive with the device's first status.
    bool open(int type, const QByteArray &extra = {}, const char *mac = kMac)
    {
        if (!h.open(mac, WindowHarness::device(type, mac, extra)))
            return false;
        h.poll();
        return QTest::qWaitFor([&] { return box("features_keep_crc_check")->isEnabled(); });
    }
    // Firmware offers come from the demo catalog the build writes.
    void useDemoCatalog(QMessageBox::StandardButton answer)
    {
        qputenv("LUMENQUILL_FIRMWARE_DIR", LQ_DEMO_CATALOG_DIR);
        m_boxes->setAnswer(answer);
    }
    QCheckBox *box(const char *name) const { return h.child<QCheckBox>(name); }
    QPushButton *button(const char *name) const { return h.child<QPushButton>(name); }
    // The controls an update holds: Restart, Flash, and Set on models with variants.
    bool controlsOn(bool on) const
    {
        const bool variants = LumenquillAPIGetDeviceCapabilities(h.window->currentType()) & LQ_CAP_FIRMWARE_VARIANTS;
        return button("restart_device_btn")->isEnabled() == on && button("features_flash_btn")->isEnabled() == on &&
               button("FirmwareSelectionBT")->isEnabled() == (on && variants);
    }
    // The update polls its progress once a second of real time; the bar's values.
    QList<int> runUpdate(int seconds)
    {
        QList<int> progress;
        for (int s = 0; s < seconds && h.window->updateInProgress(); ++s) {
            lqsim_advance_clock(1000);
            QTest::qWait(60);
            progress << h.child<QProgressBar>("progressBar")->value();
        }
        return progress;
    }

private slots:
    void init()
    {
        WindowHarness::prepare();
        lqsim_clear_failures();
        m_boxes = std::make_unique<ModalAnswerer>();
    }
    void cleanup()
    {
        h.close();
        m_boxes.reset();
        qunsetenv("LUMENQUILL_FIRMWARE_DIR");
    }

    // A click applies the whole record and reads it back; Save asks the device to
    // keep it, and what was saved survives a restart.
    void applySaveRestart_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("sentSlicingLength");
        QTest::addColumn<bool>("lengthShown");
        QTest::newRow("slicing length adjustable") << 10 << 200 << true;
        QTest::newRow("fixed slicing length sends 0") << 3 << 0 << false;
    }
    void applySaveRestart()
    {
        QFETCH(int, type);
        QFETCH(int, sentSlicingLength);
        QVERIFY(open(type, ",\"features\":{\"slicing_length\":200,\"packet_slicing\":1}"));
        QTRY_VERIFY(box("features_packet_slicing_check")->isChecked());
        QTEST(h.child<QSpinBox>("features_packet_slicing_length")->isVisibleTo(h.window.get()), "lengthShown");
        const uint64_t before = lqsim_handle_of(kMac);
        DeviceFeatures features{}, sent{};
        DevicePortsSpeed ports{}, sentPorts{};
        QCOMPARE(LumenquillAPIGetDeviceFeatures(before, &features), 0);
        QCOMPARE(LumenquillAPIGetDevicePortsSpeed(before, &ports), 0);
        QVERIFY(!button("features_save_btn")->isEnabled());
        lqsim_reset_call_counts();

        box("features_keep_crc_check")->click();
        QTRY_COMPARE(lqsim_call_count("LumenquillAPIGetDeviceFeatures"), uint64_t(1)); // the read-back
        QCOMPARE(lqsim_last_features(kMac, &sent), 0);
        QCOMPARE(lqsim_last_ports_speed(kMac, &sentPorts), 0);
        features.keep_crc = 1;
        features.slicing_length = uint16_t(sentSlicingLength);
        QCOMPARE(bytes(sent), bytes(features));
        QCOMPARE(bytes(sentPorts), bytes(ports));
        QVERIFY(button("features_save_btn")->isEnabled() && button("features_save_btn2")->isEnabled());

        button("features_save_btn")->click();
        QCOMPARE(m_boxes->titles, QStringList{"Save Configuration"});
        QCOMPARE(m_boxes->texts, QStringList{"Configuration has been saved on the LumenQuill device."});
        QVERIFY(!button("features_save_btn")->isEnabled());
        QVERIFY(button("features_save_btn2")->isEnabled() && button("features_save_btn3")->isEnabled());
        QTRY_COMPARE(lqsim_call_count("LumenquillAPISaveDeviceFeatures"), uint64_t(1));
        button("restart_device_btn")->click();
        QTRY_COMPARE(lqsim_call_count("LumenquillAPIRestartDevice"), uint64_t(1));
        lqsim_advance_clock(LQSIM_RESTART_MS + 1000);
        // The device goes and comes back through the worker: slow under a sanitizer on a busy machine.
        QTRY_VERIFY_WITH_TIMEOUT(h.window->currentHandle() != kNoDeviceHandle && h.window->currentHandle() != before,
                                 20000);
        QCOMPARE(h.window->currentHandle(), lqsim_handle_of(kMac));
        QTRY_VERIFY(box("features_keep_crc_check")->isChecked());
    }

    // "Set" reads the features, sets the chosen variant, saves and restarts; any refusal ends the sequence. A list
    // the device cannot give is empty, and Set then asks for variant 0.
    void firmwareVariantSet_data()
    {
        QTest::addColumn<QByteArray>("failing");
        QTest::addColumn<int>("saves");
        QTest::addColumn<int>("restarts");
        QTest::newRow("accepted") << QByteArray() << 1 << 1;
        QTest::newRow("read refused") << QByteArray("LumenquillAPIGetDeviceFeatures") << 0 << 0;
        QTest::newRow("set refused") << QByteArray("LumenquillAPISetDeviceFeatures") << 0 << 0;
        QTest::newRow("save refused") << QByteArray("LumenquillAPISaveDeviceFeatures") << 1 << 0;
        QTest::newRow("no variant list") << QByteArray("LumenquillAPIGetHwFirmwaresDesc") << 1 << 1;
    }
    void firmwareVariantSet()
    {
        QFETCH(QByteArray, failing);
        QFETCH(int, saves);
        QFETCH(int, restarts);
        const bool noList = failing == "LumenquillAPIGetHwFirmwaresDesc";
        if (noList)
            QCOMPARE(lqsim_fail(failing.constData(), LQSIM_FAIL_ALWAYS, 0, -3), 0);
        QVERIFY(open(14, QByteArray(",\"firmware_variants\":[\"Standard\",\"Counters\"]") +
                             (noList ? ",\"features\":{\"firmware_variant\":1}" : "")));
        auto *variants = h.child<QComboBox>("FirmwareSelectionCB");
        QCOMPARE(variants->count(), noList ? 0 : 2);
        if (!noList) {
            QTRY_VERIFY(h.child<QWidget>("FirmwareSelection")->isVisibleTo(h.window.get()));
            QCOMPARE(variants->itemText(1), QStringLiteral("Counters"));
            variants->setCurrentIndex(1);
        }
        lqsim_reset_call_counts();
        if (!noList && !failing.isEmpty())
            QCOMPARE(lqsim_fail(failing.constData(), LQSIM_FAIL_ONCE, 0, -3), 0);
        QTRY_VERIFY(button("FirmwareSelectionBT")->isEnabled());
        button("FirmwareSelectionBT")->click();
        QVERIFY(!button("FirmwareSelectionBT")->isEnabled());
        QCOMPARE(lqsim_call_count("LumenquillAPISaveDeviceFeatures"), uint64_t(saves));
        if (restarts)
            QTRY_COMPARE(lqsim_call_count("LumenquillAPIRestartDevice"), uint64_t(1));
        QTest::qWait(50);
        QCOMPARE(lqsim_call_count("LumenquillAPIRestartDevice"), uint64_t(restarts));
        DeviceFeatures sent{};
        if (saves) {
            QCOMPARE(lqsim_last_features(kMac, &sent), 0);
            QCOMPARE(sent.firmware_variant, uint8_t(noList ? 0 : 1));
        }
        // Set comes back with the device's next features answer, not with a poll:
        // a refused Set cannot be hammered, an accepted one is not sent twice.
        if (restarts) {
            const uint64_t before = h.window->currentHandle();
            lqsim_advance_clock(LQSIM_RESTART_MS);
            QTRY_VERIFY(h.window->currentHandle() != before && h.window->currentHandle() != kNoDeviceHandle);
            h.poll();
        } else {
            for (int i = 0; i < 3; ++i) {
                h.poll();
                QCoreApplication::processEvents();
                QVERIFY(!button("FirmwareSelectionBT")->isEnabled());
            }
            h.probe->request("slot_get_features", makeRequest(h.window->currentHandle()));
        }
        QTRY_VERIFY(button("FirmwareSelectionBT")->isEnabled());
    }

    // Port settings apply at once. Forcing Port A to 100TX-FD sends the whole record (Port B copies Port A outside
    // span mode) and the link comes up at 100 Mbit/s; "Default" brings auto-negotiation back and keeps span mode.
    void portSettingsApplyAtOnce()
    {
        QVERIFY(open(10));
        QTRY_VERIFY(box("portAAN")->isChecked());
        box("portAAN")->click();
        QVERIFY(box("portA100F")->isChecked());
        for (const char *dependent : {"portA1000F", "portAAPause", "portASPause", "portAMaster", "portAForceMS"})
            QVERIFY2(!box(dependent)->isEnabled() && !box(dependent)->isChecked(), dependent);
        DevicePortsSpeed sent{};
        QTRY_COMPARE(lqsim_last_ports_speed(kMac, &sent), 0);
        const PortSpeedSettings &a = sent.portA;
        QCOMPARE(a.auto_negotiation, 0u);
        QCOMPARE(a.speed_100_full, 1u);
        QCOMPARE(a.speed_1000_full + a.speed_100_half + a.speed_10_full + a.speed_10_half, 0u);
        QCOMPARE(bytes(sent.portB), bytes(a));
        QVERIFY(button("features_save_btn2")->isEnabled());
        h.poll();
        QTRY_COMPARE(h.child<QLabel>("features_link_speed_label")->text(), QString("Link Up 100Mbps Full Duplex"));
        QTRY_COMPARE(h.child<QTableWidget>("physRegsTable1")->item(0, 1)->text(), QString("100Mbps FDX"));

        box("spanModeCheckbox")->click();
        DeviceFeatures features{};
        QTRY_VERIFY(lqsim_last_features(kMac, &features) == 0 && features.tap_mode == 0);
        button("network_default_button")->click();
        QTRY_VERIFY(lqsim_last_ports_speed(kMac, &sent) == 0 && sent.portA.auto_negotiation == 1);
        for (const PortSpeedSettings &port : {sent.portA, sent.portB}) {
            QCOMPARE(port.auto_negotiation + port.speed_1000_full + port.speed_100_full + port.speed_100_half +
                         port.speed_10_full + port.speed_10_half + port.asymmetric_pause + port.symmetric_pause,
                     8u);
            QCOMPARE(port.master + port.force_master_slave, 0u);
        }
        QCOMPARE(lqsim_last_features(kMac, &features), 0);
        QCOMPARE(features.tap_mode + features.loopback, 0u);
        QVERIFY(box("spanModeCheckbox")->isChecked());
    }

    void offeredUpdateRunsWithProgressToSuccess()
    {
        useDemoCatalog(QMessageBox::Yes);
        QVERIFY(h.open(kOldMac,
                       WindowHarness::device(
                           14, kOldMac, R"(,"versions":{"software":"5.0.6.1","driver":"1.9.18.0","hardware":1402})")));
        h.window->show();
        QTRY_COMPARE(m_boxes->texts.value(0), kOffer);
        QVERIFY(h.window->updateInProgress());
        QVERIFY(LumenquillAPIGetDeviceCapabilities(14) & LQ_CAP_FIRMWARE_VARIANTS);
        QVERIFY(!h.child<QLineEdit>("features_firmware_file")->text().isEmpty());
        // A features answer meanwhile does not release Set (the window handles it first).
        const auto answers = h.probe->features.size();
        h.probe->request("slot_get_features", makeRequest(lqsim_handle_of(kOldMac)));
        QTRY_VERIFY(h.probe->features.size() > answers);
        QVERIFY(h.child<QWidget>("FirmwareSelection")->isVisibleTo(h.window.get()));
        QVERIFY(controlsOn(false));
        const QList<int> progress = runUpdate(10);
        QTRY_COMPARE(m_boxes->texts.size(), 2);
        QCOMPARE(m_boxes->texts.at(1),
                 QString("Firmware successfully updated.\nPlease disconnect and reconnect your Lumenquill device."));
        QVERIFY(std::is_sorted(progress.begin(), progress.end()));
        QVERIFY(progress.first() < 100);
        QCOMPARE(h.child<QProgressBar>("progressBar")->value(), 100);
        QVERIFY(!h.window->updateInProgress());
        QVERIFY(controlsOn(true));
    }

    // Offers wait for the window to be on screen, come one at a time and name their device and versions; the device
    // whose offer is accepted becomes the selected one, so the progress and result shown are its own.
    void offersNameTheirDeviceOneAtATime()
    {
        const char *const first = "02:4c:51:00:02:01";
        const QByteArray old = R"(,"versions":{"software":"5.0.6.1","driver":"1.9.18.0","hardware":1402})";
        const QByteArray current10 = R"(,"versions":{"software":"3.4.2.0","driver":"1.9.18.0","hardware":1207})";
        useDemoCatalog(QMessageBox::No);
        m_boxes->queueAnswers({QMessageBox::No, QMessageBox::Yes});
        lqsim_use_manual_clock(1764892800000ull);
        QCOMPARE(lqsim_load_scenario_text("{\"devices\":[" + WindowHarness::device(10, first, current10) + ',' +
                                          WindowHarness::device(14, kOldMac, old) + ',' +
                                          WindowHarness::device(14, kOtherMac, old) + "]}"),
                 0);
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Hollerby", "LumenquillManager")
            .setValue("DeviceConfig/024c51000502/FriendlyName", "Rack 2 tap");
        QVERIFY(h.start(first));
        QTRY_COMPARE(h.window->deviceSelector()->count(), 3);
        QTest::qWait(100);
        QVERIFY(m_boxes->texts.isEmpty()); // nothing over a window nobody sees
        h.window->show();
        QTRY_COMPARE(m_boxes->texts.size(), 2);
        QCOMPARE(m_boxes->texts, QStringList({kOffer, kOffer}));
        QCOMPARE(m_boxes->mostOpenAtOnce, 1);
        QCOMPARE(m_boxes->details,
                 QStringList({"Device: Lumenquill (02:4c:51:00:05:01)\nModel: LumenQuill 1G v6\n"
                              "Firmware: 5.0.6.1 \u2192 5.1.0.0\nHardware firmware: 1402 \u2192 1403",
                              "Device: Rack 2 tap (02:4c:51:00:05:02)\nModel: LumenQuill 1G v6\n"
                              "Firmware: 5.0.6.1 \u2192 5.1.0.0\nHardware firmware: 1402 \u2192 1403"}));
        QCOMPARE(h.window->currentHandle(), lqsim_handle_of(kOtherMac));
        QVERIFY(h.window->updateInProgress());
        runUpdate(12);
        QTRY_COMPARE(m_boxes->texts.size(), 3);
        QCOMPARE(m_boxes->texts.at(2),
                 QString("Firmware successfully updated.\nPlease disconnect and reconnect your Lumenquill device."));
        QCOMPARE(h.child<QProgressBar>("progressBar")->value(), 100);
    }

    void corruptImageFails()
    {
        QTemporaryDir dir;
        const QString image = dir.filePath("corrupt.img");
        QCOMPARE(QProcess::execute(LQSIM_MKFIRMWARE, {"--type", "10", "--corrupt", "--output", image}), 0);
        useDemoCatalog(QMessageBox::No);
        QVERIFY(open(10, R"(,"versions":{"software":"3.4.2.0","driver":"1.9.18.0","hardware":1207})", kOtherMac));
        QVERIFY(controlsOn(true));
        h.child<QLineEdit>("features_firmware_file")->setText(image);
        button("features_flash_btn")->click();
        QVERIFY(h.window->updateInProgress());
        QVERIFY(controlsOn(false));
        runUpdate(20);
        QTRY_COMPARE(m_boxes->texts.value(0), QString("Firmware update failed.\nPlease check the specified file "
                                                      "exists and is a LumenQuill Firmware."));
        QCOMPARE(m_boxes->icons.value(0), QMessageBox::Critical);
        QVERIFY(!h.window->updateInProgress());
        QVERIFY(controlsOn(true));
    }

    // The Network Ports status tables show the link of every device with per-port link status, whatever its
    // counter format: the 1G v6 tap has configurable counters only.
    void portStatusTablesFollowTheLink_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("port counters") << 10;
        QTest::newRow("configurable counters") << 14;
    }
    void portStatusTablesFollowTheLink()
    {
        QFETCH(int, type);
        QVERIFY(open(type));
        h.poll();
        auto *links = h.child<QTableWidget>("physRegsTable1");
        QTRY_VERIFY(links->item(0, 1) && links->item(0, 2));
        QCOMPARE(links->item(0, 1)->text(), QString("1Gbps FDX"));
        QVERIFY(!links->item(1, 1)->text().isEmpty());
        QVERIFY(!h.child<QTableWidget>("physRegsTable2")->item(0, 1)->text().isEmpty());
    }

    // Closing the window while an update runs waits for it with its progress shown, or keeps the window open when
    // the operator says so; a window that goes without a close stops polling the update first. Either way no
    // library call follows the library's shutdown.
    void closeDuringUpdate_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("waits for the update") << "close";
        QTest::newRow("kept open") << "keep open";
        QTest::newRow("window destroyed") << "destroy";
    }
    void closeDuringUpdate()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        const QString image = dir.filePath("fw.img");
        QCOMPARE(QProcess::execute(LQSIM_MKFIRMWARE, {"--type", "10", "--output", image}), 0);
        QVERIFY(open(10));
        h.window->show();
        h.child<QLineEdit>("features_firmware_file")->setText(image);
        button("features_flash_btn")->click();
        QVERIFY(h.window->updateInProgress());
        QTRY_VERIFY(!h.probe->progress.isEmpty()); // the update has started
        lqsim_advance_clock(LQSIM_FIRMWARE_VERIFY_MS + 1000);
        QTRY_VERIFY_WITH_TIMEOUT(h.child<QProgressBar>("progressBar")->value() > 0, 5000);
        if (how == "destroy") {
            h.close();
        } else {
            QVERIFY(!h.window->close());
            QVERIFY(h.window->isVisible());
            auto *wait = h.child<QProgressDialog>("closeWaitDialog");
            QVERIFY(wait);
            QTRY_VERIFY(wait->isVisible());
            QCOMPARE(wait->value(), h.child<QProgressBar>("progressBar")->value());
            if (how == "keep open") {
                const auto buttons = wait->findChildren<QPushButton *>();
                QCOMPARE(buttons.size(), 1);
                QCOMPARE(buttons.first()->text(), QString("Keep Open"));
                buttons.first()->click();
            }
            runUpdate(20);
            QTRY_COMPARE(m_boxes->texts.value(0), QString("Firmware successfully updated.\n"
                                                          "Please disconnect and reconnect your Lumenquill device."));
            QTRY_COMPARE(h.window->isVisible(), how == "keep open");
            QCOMPARE(h.child<QProgressDialog>("closeWaitDialog"), nullptr);
            h.close();
        }
        // Long enough for the update's next progress poll.
        QTest::qWait(1500);
        QCOMPARE(lqsim_is_initialized(), 0);
        QCOMPARE(lqsim_calls_after_uninitialize(), uint64_t(0));
    }

    // An image in a folder whose name has letters beyond ASCII is chosen with Browse and flashed; the device comes
    // back with the image's software.
    void flashFromFolderWithAccents()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Zoë Hérö")));
        const QString image = dir.filePath(QStringLiteral("Zoë Hérö/fw-é.img"));
        QCOMPARE(QProcess::execute(LQSIM_MKFIRMWARE, {"--type", "10", "--software", "9.1.2.3", "--output", image}), 0);
        QVERIFY(open(10));
        QTimer chooser;
        connect(&chooser, &QTimer::timeout, this, [&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                dialog->selectFile(image);
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
        chooser.start(5);
        button("pushButton_2")->click();
        QCOMPARE(h.child<QLineEdit>("features_firmware_file")->text(), image);
        button("features_flash_btn")->click();
        QVERIFY(h.window->updateInProgress());
        runUpdate(20);
        QTRY_COMPARE(m_boxes->texts.value(0), QString("Firmware successfully updated.\n"
                                                      "Please disconnect and reconnect your Lumenquill device."));
        const uint64_t before = lqsim_handle_of(kMac);
        QCOMPARE(lqsim_replug(kMac), 0);
        lqsim_advance_clock(LQSIM_RESTART_MS);
        QTRY_VERIFY(lqsim_handle_of(kMac) != before && lqsim_handle_of(kMac) != 0);
        DeviceVersions versions{};
        QCOMPARE(LumenquillAPIGetVersions(lqsim_handle_of(kMac), &versions), 0);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(versions.softwareVersion), 4),
                 QByteArray("\x09\x01\x02\x03"));
    }

    // On the default devices the demo catalog offers an update to the older tap alone, which "Yes" selects. The
    // operator then looks at another device: the update's result is not reported there, yet the window gets its
    // controls back, and the updated tap is not offered the image again when it comes back.
    void updateOfAnotherDeviceReleasesTheWindow()
    {
        const char *const older = "02:4c:51:00:00:03";
        useDemoCatalog(QMessageBox::Yes);
        lqsim_use_manual_clock(1764892800000ull);
        QCOMPARE(lqsim_load_startup_scenario(), 0);
        QVERIFY(h.start("02:4c:51:00:00:01"));
        h.window->show();
        QTRY_COMPARE(h.window->deviceSelector()->count(), 3);
        QTRY_COMPARE(m_boxes->texts, QStringList{kOffer});
        QVERIFY(h.window->updateInProgress());
        QCOMPARE(h.window->currentHandle(), lqsim_handle_of(older));
        h.window->deviceSelector()->setCurrentIndex(0);
        QCOMPARE(h.window->currentHandle(), lqsim_handle_of("02:4c:51:00:00:01"));
        runUpdate(10);
        QTRY_VERIFY_WITH_TIMEOUT(!h.window->updateInProgress(), 5000);
        QCOMPARE(m_boxes->texts.size(), 1);
        QVERIFY(controlsOn(true));

        // The window handles an arrival before the probe hears of it.
        const uint64_t before = lqsim_handle_of(older);
        QCOMPARE(lqsim_replug(older), 0);
        lqsim_advance_clock(LQSIM_RESTART_MS);
        QTRY_VERIFY_WITH_TIMEOUT(
            lqsim_handle_of(older) != before && h.probe->added.last().handle == lqsim_handle_of(older), 20000);
        QCOMPARE(m_boxes->texts.size(), 1);
        QVERIFY(!h.window->updateInProgress());
    }

    // Start and Stop in the Capture tab with simulated traffic between. A missing output folder is made on request
    // (a fresh account has no documents folder); a capture that cannot write tells the operator once, not at every
    // poll, with the file and the system's reason.
    void capture_data()
    {
        QTest::addColumn<QString>("file"); // in a temporary folder; empty: the default on a fresh home
        QTest::addColumn<bool>("makeFolder");
        QTest::addColumn<int>("error"); // -1: nothing starts
        QTest::newRow("Wireshark's tools read the file") << "run-\u00e9.pcapng" << true << 0;
        QTest::newRow("fresh home, defaults") << "" << true << 0;
        QTest::newRow("folder made on request") << "new/deeper/run.pcapng" << true << 0;
        QTest::newRow("folder not made") << "new/run.pcapng" << false << -1;
        QTest::newRow("unwritable file") << "taken.pcapng" << true << EISDIR;
    }
    void capture()
    {
        QFETCH(QString, file);
        QFETCH(bool, makeFolder);
        QFETCH(int, error);
        QTemporaryDir dir;
        const QByteArray home = qgetenv("HOME");
        const auto restoreHome = qScopeGuard([&] { qputenv("HOME", home); });
        const bool defaults = file.isEmpty();
        if (defaults) {
            qputenv("HOME", dir.path().toLocal8Bit());
            file = dir.filePath("Documents/capture.pcapng");
        } else {
            file = dir.filePath(file);
        }
        if (error == EISDIR)
            QVERIFY(QDir().mkpath(file));
        QVERIFY(open(10));
        auto *field = h.child<QLineEdit>("capture_filename");
        if (defaults)
            QCOMPARE(field->text(), file);
        else
            field->setText(file);
        m_boxes->setAnswer(makeFolder ? QMessageBox::Yes : QMessageBox::No);
        lqsim_reset_call_counts();
        QPushButton *start = button("capture_start_btn");
        QVERIFY(start->isEnabled());
        start->click();
        // Only a missing folder is asked about.
        const QString folder = QFileInfo(file).absolutePath();
        if (folder == dir.path())
            QVERIFY(m_boxes->titles.isEmpty());
        else
            QCOMPARE(m_boxes->texts,
                     QStringList{QString("The folder %1 does not exist.\nDo you want to create it?").arg(folder)});
        if (error < 0) {
            QVERIFY(start->isEnabled());
            QVERIFY(!QFileInfo::exists(folder));
            h.poll();
            QCOMPARE(lqsim_call_count("LumenquillAPIDiskDumpStart"), uint64_t(0));
            QCOMPARE(m_boxes->titles.size(), 1);
            return;
        }
        m_boxes->titles.clear();
        m_boxes->texts.clear();
        StatsThreadInfo last;
        for (int s = 0; s < 5; ++s)
            last = h.poll();
        QCOMPARE(last.diskDumpStatus.errorCode, error);
        QCOMPARE(bool(last.diskDumpStatus.running), !error);
        QTRY_VERIFY(start->isEnabled());
        if (error) {
            QTRY_COMPARE(m_boxes->titles, QStringList{"Direct Capture"});
            QCOMPARE(m_boxes->texts.first(), QString("There was an error during the direct capture process.\nPlease "
                                                     "check you have permission to write to the specified file and "
                                                     "disk is not full."));
            QCOMPARE(m_boxes->details.first(), "File: " + file + "\nReason: " + qt_error_string(error));
            QCOMPARE(start->text(), QString("Start Capture"));
            return;
        }
        start->click(); // Stop
        const StatsThreadInfo stopped = h.poll();
        QVERIFY(!stopped.diskDumpStatus.running);
        QCOMPARE(stopped.diskDumpStatus.errorCode, 0);
        QCOMPARE(m_boxes->titles, QStringList());

        const QString info = run("capinfos", {"-M", file});
        QVERIFY2(info.contains(QRegularExpression("Number of interfaces in file:\\s+2")), qPrintable(info));
        const QRegularExpressionMatch packets = QRegularExpression("Number of packets:\\s+(\\d+)").match(info);
        QVERIFY2(packets.hasMatch() && packets.captured(1).toInt() > 0, qPrintable(info));
        // Every frame on one of the two ports (tshark's own notes are other lines).
        const QStringList names =
            run("tshark", {"-r", file, "-T", "fields", "-e", "frame.interface_name"}).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(names.count("Port A") + names.count("Port B"), packets.captured(1).toInt());
        QVERIFY(names.contains("Port A") && names.contains("Port B"));
    }
};

QTEST_MAIN(tst_FeaturesFlow)
#include "tst_featuresflow.moc"
