// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Features tab against a simulated device: a click applies the whole
// record at once and reads it back, "Save" asks the device to keep it,
// "Restart" and the firmware variant "Set" go through the device.

#include "devicecombobox.h"
#include "lqsim.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "statsthread.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

#include <cstring>
#include <memory>

namespace {
const char *const kMac = "02:4c:51:00:02:01";
}

class tst_FeaturesFlow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerStatsThreadInfo();
        registerLumenquillDevice();
    }

    void init()
    {
        lqsim_use_manual_clock(1764892800000ull);
        lqsim_clear_failures();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Hollerby", "LumenquillManager").clear();
        m_boxes = std::make_unique<ModalAnswerer>();
    }

    void cleanup()
    {
        m_window.reset();
        m_boxes.reset();
    }

    void clickAppliesWholeRecordAndReadsBack_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("sentSlicingLength");
        QTest::addColumn<bool>("lengthShown");
        QTest::newRow("slicing length adjustable") << 10 << 200 << true;
        QTest::newRow("fixed slicing length sends 0") << 3 << 0 << false;
    }

    void clickAppliesWholeRecordAndReadsBack()
    {
        QFETCH(int, type);
        QFETCH(int, sentSlicingLength);
        QFETCH(bool, lengthShown);
        open(QByteArray("{\"type\":") + QByteArray::number(type) + ",\"mac\":\"" + kMac +
             "\",\"features\":{\"slicing_length\":200,\"packet_slicing\":1}}");
        auto *keepCrc = child<QCheckBox>("features_keep_crc_check");
        QTRY_VERIFY(child<QCheckBox>("features_packet_slicing_check")->isChecked());
        QCOMPARE(child<QSpinBox>("features_packet_slicing_length")->isVisibleTo(m_window.get()), lengthShown);

        DeviceFeatures before{};
        DevicePortsSpeed ports{};
        QCOMPARE(LumenquillAPIGetDeviceFeatures(handle(), &before), 0);
        QCOMPARE(LumenquillAPIGetDevicePortsSpeed(handle(), &ports), 0);
        QVERIFY(!child<QPushButton>("features_save_btn")->isEnabled());
        lqsim_reset_call_counts();

        keepCrc->click();
        QTRY_COMPARE(lqsim_call_count("LumenquillAPIGetDeviceFeatures"), uint64_t(1)); // the read-back
        DeviceFeatures sent{};
        DevicePortsSpeed sentPorts{};
        QCOMPARE(lqsim_last_features(kMac, &sent), 0);
        QCOMPARE(lqsim_last_ports_speed(kMac, &sentPorts), 0);
        DeviceFeatures expected = before;
        expected.keep_crc = 1;
        expected.slicing_length = uint16_t(sentSlicingLength);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(&sent), sizeof sent),
                 QByteArray(reinterpret_cast<char *>(&expected), sizeof expected));
        QCOMPARE(std::memcmp(&sentPorts, &ports, sizeof ports), 0);
        QVERIFY(child<QPushButton>("features_save_btn")->isEnabled());
    }

    void saveAsksTheDeviceToKeepIt()
    {
        open(QByteArray("{\"type\":10,\"mac\":\"") + kMac + "\"}");
        child<QCheckBox>("features_disable_portb_check")->click();
        DeviceFeatures applied{};
        QTRY_VERIFY(lqsim_last_features(kMac, &applied) == 0 && applied.disable_port_b == 1);
        child<QPushButton>("features_save_btn")->click();
        QCOMPARE(m_boxes->titles, QStringList{"Save Configuration"});
        QCOMPARE(m_boxes->texts, QStringList{"Configuration has been saved on the LumenQuill device."});
        QVERIFY(!child<QPushButton>("features_save_btn")->isEnabled());
        QTRY_COMPARE(lqsim_call_count("LumenquillAPISaveDeviceFeatures"), uint64_t(1));

        // What was saved survives a restart.
        const uint64_t before = handle();
        child<QPushButton>("restart_device_btn")->click();
        QTRY_COMPARE(lqsim_call_count("LumenquillAPIRestartDevice"), uint64_t(1));
        lqsim_advance_clock(LQSIM_RESTART_MS + 1000);
        QTRY_VERIFY(m_window->currentHandle() != kNoDeviceHandle && m_window->currentHandle() != before);
        QCOMPARE(m_window->currentHandle(), handle());
        QTRY_VERIFY(child<QCheckBox>("features_disable_portb_check")->isChecked());
    }

    void firmwareVariantSet_data()
    {
        QTest::addColumn<QByteArray>("failing");
        QTest::addColumn<int>("saves");
        QTest::addColumn<int>("restarts");
        QTest::newRow("accepted") << QByteArray() << 1 << 1;
        QTest::newRow("read refused") << QByteArray("LumenquillAPIGetDeviceFeatures") << 0 << 0;
        QTest::newRow("set refused") << QByteArray("LumenquillAPISetDeviceFeatures") << 0 << 0;
        QTest::newRow("save refused") << QByteArray("LumenquillAPISaveDeviceFeatures") << 1 << 0;
    }

    void firmwareVariantSet()
    {
        QFETCH(QByteArray, failing);
        QFETCH(int, saves);
        QFETCH(int, restarts);
        open(QByteArray("{\"type\":14,\"mac\":\"") + kMac + "\",\"firmware_variants\":[\"Standard\",\"Counters\"]}");
        auto *variants = child<QComboBox>("FirmwareSelectionCB");
        QTRY_VERIFY(child<QWidget>("FirmwareSelection")->isVisibleTo(m_window.get()));
        QCOMPARE(variants->count(), 2);
        QCOMPARE(variants->itemText(1), QStringLiteral("Counters"));
        variants->setCurrentIndex(1);
        lqsim_reset_call_counts();
        if (!failing.isEmpty())
            QCOMPARE(lqsim_fail(failing.constData(), LQSIM_FAIL_ONCE, 0, -3), 0);

        child<QPushButton>("FirmwareSelectionBT")->click();
        QVERIFY(!child<QPushButton>("FirmwareSelectionBT")->isEnabled());
        QCOMPARE(lqsim_call_count("LumenquillAPISaveDeviceFeatures"), uint64_t(saves));
        if (restarts)
            QTRY_COMPARE(lqsim_call_count("LumenquillAPIRestartDevice"), uint64_t(1));
        QTest::qWait(50);
        QCOMPARE(lqsim_call_count("LumenquillAPIRestartDevice"), uint64_t(restarts));
        DeviceFeatures sent{};
        if (saves) {
            QCOMPARE(lqsim_last_features(kMac, &sent), 0);
            QCOMPARE(sent.firmware_variant, uint8_t(1));
        }
    }

private:
    void open(const QByteArray &deviceJson)
    {
        QCOMPARE(lqsim_load_scenario_text(("{\"devices\":[" + deviceJson + "]}").constData()), 0);
        m_window = std::make_unique<MainWindow>();
        lqsim_advance_clock(0);
        QTRY_COMPARE(m_window->currentHandle(), handle());
        // The controls come alive with the first status of the device.
        QMetaObject::invokeMethod(m_window.get(), "updateStats");
        QTRY_VERIFY(child<QCheckBox>("features_keep_crc_check")->isEnabled());
    }
    uint64_t handle() const { return lqsim_handle_of(kMac); }
    template <typename W> W *child(const char *name) const { return m_window->findChild<W *>(QLatin1String(name)); }

    std::unique_ptr<ModalAnswerer> m_boxes;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(tst_FeaturesFlow)
#include "tst_featuresflow.moc"
