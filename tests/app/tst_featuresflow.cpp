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
#include <QLabel>
#include <QTableWidget>
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
        QVERIFY(child<QPushButton>("features_save_btn")->isEnabled());
        QVERIFY(child<QPushButton>("features_save_btn2")->isEnabled());
        child<QPushButton>("features_save_btn")->click();
        QCOMPARE(m_boxes->titles, QStringList{"Save Configuration"});
        QCOMPARE(m_boxes->texts, QStringList{"Configuration has been saved on the LumenQuill device."});
        QVERIFY(!child<QPushButton>("features_save_btn")->isEnabled());
        QVERIFY(child<QPushButton>("features_save_btn2")->isEnabled());
        QVERIFY(child<QPushButton>("features_save_btn3")->isEnabled());
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

    void emptyVariantListSetsVariantZero()
    {
        // A list the device cannot give is an empty list.
        QCOMPARE(lqsim_fail("LumenquillAPIGetHwFirmwaresDesc", LQSIM_FAIL_ALWAYS, 0, -3), 0);
        open(QByteArray("{\"type\":14,\"mac\":\"") + kMac +
             "\",\"firmware_variants\":[\"Standard\",\"Counters\"],\"features\":{\"firmware_variant\":1}}");
        QCOMPARE(child<QComboBox>("FirmwareSelectionCB")->count(), 0);
        QTRY_VERIFY(child<QPushButton>("FirmwareSelectionBT")->isEnabled());
        child<QPushButton>("FirmwareSelectionBT")->click();
        DeviceFeatures sent{};
        QCOMPARE(lqsim_last_features(kMac, &sent), 0);
        QCOMPARE(sent.firmware_variant, uint8_t(0));
    }

    // Forcing Port A to 100TX-FD: the whole record and both port halves go
    // to the device (Port B copies Port A outside span mode), the link comes
    // up at 100 Mbit/s and the window says so after one poll.
    void forcedPortSpeedLinksAtThatSpeed()
    {
        open(QByteArray("{\"type\":10,\"mac\":\"") + kMac + "\"}");
        QTRY_VERIFY(child<QCheckBox>("portAAN")->isChecked());
        child<QCheckBox>("portAAN")->click();
        QVERIFY(child<QCheckBox>("portA100F")->isChecked());
        QVERIFY(!child<QCheckBox>("portA1000F")->isChecked() && !child<QCheckBox>("portA1000F")->isEnabled());
        DevicePortsSpeed sent{};
        QTRY_COMPARE(lqsim_last_ports_speed(kMac, &sent), 0);
        QCOMPARE(sent.portA.auto_negotiation, 0u);
        QCOMPARE(sent.portA.speed_100_full, 1u);
        QCOMPARE(sent.portA.speed_1000_full + sent.portA.speed_100_half + sent.portA.speed_10_full +
                     sent.portA.speed_10_half,
                 0u);
        QCOMPARE(std::memcmp(&sent.portA, &sent.portB, sizeof sent.portA), 0);
        QVERIFY(child<QPushButton>("features_save_btn2")->isEnabled());

        lqsim_advance_clock(1000);
        QMetaObject::invokeMethod(m_window.get(), "updateStats");
        QTRY_COMPARE(child<QLabel>("features_link_speed_label")->text(), QString("Link Up 100Mbps Full Duplex"));
        QTRY_COMPARE(child<QTableWidget>("physRegsTable1")->item(0, 1)->text(), QString("100Mbps FDX"));
    }

    void defaultAppliesAtOnceAndKeepsSpan()
    {
        open(QByteArray("{\"type\":10,\"mac\":\"") + kMac + "\"}");
        child<QCheckBox>("spanModeCheckbox")->click();
        DeviceFeatures features{};
        QTRY_VERIFY(lqsim_last_features(kMac, &features) == 0 && features.tap_mode == 0);
        QTRY_VERIFY(child<QCheckBox>("portBAN")->isEnabled());
        child<QCheckBox>("portBAN")->click(); // Port B forced, on its own in span mode
        DevicePortsSpeed ports{};
        QTRY_VERIFY(lqsim_last_ports_speed(kMac, &ports) == 0 && ports.portB.auto_negotiation == 0);
        QCOMPARE(ports.portA.auto_negotiation, 1u);

        child<QPushButton>("network_default_button")->click();
        QTRY_VERIFY(lqsim_last_ports_speed(kMac, &ports) == 0 && ports.portB.auto_negotiation == 1);
        for (const PortSpeedSettings &port : {ports.portA, ports.portB}) {
            QCOMPARE(port.speed_1000_full + port.speed_100_full + port.speed_100_half + port.speed_10_full +
                         port.speed_10_half + port.asymmetric_pause + port.symmetric_pause,
                     7u);
            QCOMPARE(port.master + port.force_master_slave, 0u);
        }
        QCOMPARE(lqsim_last_features(kMac, &features), 0);
        QCOMPARE(features.tap_mode, 0u);
        QCOMPARE(features.loopback, 0u);
        QVERIFY(child<QCheckBox>("spanModeCheckbox")->isChecked());
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
