// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Firmware updates through the window: the catalog's offer when an older
// device arrives, the progress bar and the result box, a corrupt image, the
// controls held while the update runs, and the window getting its controls
// back when the update ends on a device that is no longer selected.

#include "lqsim.h"
#include "mainwindow.h"
#include "modalanswerer.h"

#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const char *const kOldTap = R"({"type":14,"mac":"02:4c:51:00:05:01",
    "versions":{"software":"5.0.6.1","driver":"1.9.18.0","hardware":1402}})";
const char *const kOtherTap = R"({"type":10,"mac":"02:4c:51:00:05:02",
    "versions":{"software":"3.4.2.0","driver":"1.9.18.0","hardware":1207}})";
const QString kOffer = QStringLiteral("There is a new firmware available for your Lumenquill.\nDo you want to update it now?");
} // namespace

class tst_FirmwareFlow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerStatsThreadInfo();
        registerLumenquillDevice();
        qputenv("LUMENQUILL_FIRMWARE_DIR", LQ_DEMO_CATALOG_DIR);
    }

    void init()
    {
        lqsim_use_manual_clock(1764892800000ull);
        lqsim_clear_failures();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Hollerby", "LumenquillManager").clear();
    }

    void cleanup()
    {
        m_window.reset();
        m_boxes.reset();
    }

    void offeredUpdateRunsWithProgressToSuccess()
    {
        open(QMessageBox::Yes, {kOldTap});
        QTRY_COMPARE(m_boxes->texts.value(0), kOffer);
        QVERIFY(m_window->updateInProgress());
        QVERIFY(!child<QPushButton>("restart_device_btn")->isEnabled());
        QVERIFY(!child<QPushButton>("FirmwareSelectionBT")->isEnabled());
        QVERIFY(!child<QLineEdit>("features_firmware_file")->text().isEmpty());

        QList<int> progress;
        for (int s = 0; s < 10 && m_boxes->texts.size() < 2; ++s) {
            lqsim_advance_clock(1000);
            QTest::qWait(60);
            progress << child<QProgressBar>("progressBar")->value();
        }
        QTRY_COMPARE(m_boxes->texts.size(), 2);
        QCOMPARE(m_boxes->texts.at(1),
                 QString("Firmware successfully updated.\nPlease disconnect and reconnect your Lumenquill device."));
        QVERIFY(std::is_sorted(progress.begin(), progress.end()));
        QVERIFY(progress.first() < 100);
        QCOMPARE(child<QProgressBar>("progressBar")->value(), 100);
        QVERIFY(!m_window->updateInProgress());
        QVERIFY(child<QPushButton>("restart_device_btn")->isEnabled());
        QVERIFY(child<QPushButton>("FirmwareSelectionBT")->isEnabled());
    }

    void corruptImageFails()
    {
        QTemporaryDir dir;
        const QString image = dir.filePath("corrupt.img");
        QCOMPARE(QProcess::execute(LQSIM_MKFIRMWARE, {"--type", "10", "--corrupt", "--output", image}), 0);
        open(QMessageBox::No, {kOtherTap});
        QTRY_VERIFY(child<QPushButton>("features_flash_btn")->isEnabled());
        child<QLineEdit>("features_firmware_file")->setText(image);
        child<QPushButton>("features_flash_btn")->click();
        QVERIFY(m_window->updateInProgress());
        QVERIFY(!child<QPushButton>("features_flash_btn")->isEnabled());
        for (int s = 0; s < 20 && m_boxes->texts.isEmpty(); ++s) {
            lqsim_advance_clock(1000);
            QTest::qWait(50);
        }
        QTRY_COMPARE(m_boxes->texts.value(0),
                     QString("Firmware update failed.\nPlease check the specified file exists and is a LumenQuill Firmware."));
        QCOMPARE(m_boxes->icons.value(0), QMessageBox::Critical);
        QVERIFY(!m_window->updateInProgress());
        QVERIFY(child<QPushButton>("features_flash_btn")->isEnabled());
    }

    // The offer goes to the arriving device while another one stays
    // selected: its result is not reported, yet the window gets its
    // controls back once that update has ended.
    void updateOfAnotherDeviceReleasesTheWindow()
    {
        open(QMessageBox::Yes, {kOtherTap, kOldTap});
        QTRY_COMPARE(m_boxes->texts.value(0), kOffer);
        QVERIFY(m_window->updateInProgress());
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of("02:4c:51:00:05:02"));
        // The update polls its progress once a second of real time.
        for (int s = 0; s < 10 && m_window->updateInProgress(); ++s) {
            lqsim_advance_clock(1000);
            QTest::qWait(60);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->updateInProgress(), 5000);
        QCOMPARE(m_boxes->texts.size(), 1);
        QVERIFY(child<QPushButton>("restart_device_btn")->isEnabled());
    }

private:
    void open(QMessageBox::StandardButton answer, const QList<const char *> &devices)
    {
        QByteArray json = "{\"devices\":[";
        for (const char *d : devices)
            json += QByteArray(d) + (d == devices.last() ? "" : ",");
        QCOMPARE(lqsim_load_scenario_text((json + "]}").constData()), 0);
        m_boxes = std::make_unique<ModalAnswerer>(answer);
        m_window = std::make_unique<MainWindow>();
        lqsim_advance_clock(0);
        QTRY_VERIFY(m_window->currentHandle() != kNoDeviceHandle);
        QMetaObject::invokeMethod(m_window.get(), "updateStats");
    }
    template <typename W> W *child(const char *name) const { return m_window->findChild<W *>(QLatin1String(name)); }

    std::unique_ptr<ModalAnswerer> m_boxes;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(tst_FirmwareFlow)
#include "tst_firmwareflow.moc"
