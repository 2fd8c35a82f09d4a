// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The main window with its worker and simulated devices: which device is
// current, which tabs show, when it polls, arrivals, departures, refusals
// and friendly names.

#include "devicecombobox.h"
#include "devicemodel.h"
#include "deviceversion.h"
#include "modalanswerer.h"
#include "windowharness.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {
const char *const kMacA = "02:4c:51:00:01:0a";
const char *const kMacB = "02:4c:51:00:01:0b";
const QString kNoDevice = QStringLiteral("No device connected (off)");

QByteArray device(const char *mac, int type, const char *driver = "1.9.18.0")
{
    return WindowHarness::device(type, mac, QByteArray(",\"versions\":{\"driver\":\"") + driver + "\"}");
}
} // namespace

class tst_MainWindow : public QObject {
    Q_OBJECT
    std::unique_ptr<ModalAnswerer> m_boxes;
    std::unique_ptr<MainWindow> m_window;

    // Waits until the selector lists `count` devices.
    void open(const QList<QByteArray> &devices, int count)
    {
        QCOMPARE(lqsim_load_scenario_text(("{\"devices\":[" + devices.join(',') + "]}").constData()), 0);
        m_window = std::make_unique<MainWindow>();
        m_window->resize(1100, 760);
        lqsim_advance_clock(0);
        QTRY_COMPARE(deviceEntries(), count);
    }
    void plug(const char *mac, bool in)
    {
        QCOMPARE(in ? lqsim_plug(device(mac, 10).constData()) : lqsim_unplug(mac), 0);
        lqsim_advance_clock(0);
    }
    // Entries that stand for a device (the "No device connected" entry carries none).
    int deviceEntries() const
    {
        int n = 0;
        for (int i = 0; i < m_window->deviceSelector()->count(); ++i)
            n += m_window->deviceSelector()->itemData(i).canConvert<LumenquillDevice>() ? 1 : 0;
        return n;
    }
    // The selector's entries and whether it can be used.
    QString entries() const
    {
        QStringList texts;
        for (int i = 0; i < m_window->deviceSelector()->count(); ++i)
            texts << m_window->deviceSelector()->itemText(i);
        return texts.join(" | ") + (m_window->deviceSelector()->isEnabled() ? " (on)" : " (off)");
    }
    QString entry(const char *mac, const char *name = "Lumenquill") const { return QString(mac) + " - " + name; }
    QStringList tabs() const
    {
        auto *tabs = m_window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QStringList names;
        for (int i = 0; i < tabs->count(); ++i)
            names << tabs->widget(i)->objectName();
        return names;
    }
    QString label(const char *name) const { return m_window->findChild<QLabel *>(QLatin1String(name))->text(); }
    void verifyNoDevice()
    {
        QCOMPARE(m_window->currentHandle(), kNoDeviceHandle);
        QCOMPARE(entries(), kNoDevice);
        QCOMPARE(tabs(), QStringList{"featuresTab"});
        QCOMPARE(label("features_status_label"), QStringLiteral("No Device Connected"));
    }

private slots:
    void init()
    {
        WindowHarness::prepare(); // friendly names must not leak from one test into the next
        lqsim_use_manual_clock(1764892800000ull);
        lqsim_clear_failures();
        m_boxes = std::make_unique<ModalAnswerer>();
    }
    void cleanup()
    {
        m_window.reset();
        m_boxes.reset();
    }

    // The window polls once a second, only with a device and not while an
    // update is pending, and falls back to its empty state when the last goes.
    void pollsOnlyWithDeviceAndNotDuringUpdate()
    {
        open({}, 0);
        verifyNoDevice();
        auto *poll = m_window->findChild<QTimer *>(QStringLiteral("pollTimer"));
        QVERIFY(poll->isActive());
        QCOMPARE(poll->interval(), 1000);
        QSignalSpy polls(m_window.get(), &MainWindow::signal_get_iface_status);
        QMetaObject::invokeMethod(poll, "timeout");
        QCOMPARE(polls.size(), 0);

        plug(kMacA, true);
        QTRY_COMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
        QMetaObject::invokeMethod(poll, "timeout");
        QCOMPARE(polls.size(), 1);
        QCOMPARE(polls.first().first().value<StatsThreadInfo>().handle, lqsim_handle_of(kMacA));
        QTRY_VERIFY(label("features_link_speed_label").startsWith("Link Up"));

        // A path of 2047 bytes and the terminator fits; one byte more is refused.
        QSignalSpy updates(m_window.get(), &MainWindow::signal_start_update);
        m_window->startFirmwareUpdate(m_window->currentHandle(), "/" + QString(2047, 'x'));
        QCOMPARE(updates.size(), 0);
        QVERIFY(!m_window->updateInProgress());
        QCOMPARE(m_boxes->titles, QStringList{"Firmware Update"});
        QVERIFY(m_boxes->texts.first().contains(QLatin1String("2048 bytes")));
        // One the library refuses at once: no poll while it is pending.
        m_window->startFirmwareUpdate(m_window->currentHandle(), QString(2047, 'y'));
        QCOMPARE(updates.size(), 1);
        QCOMPARE(qstrlen(updates.first().first().value<StatsThreadInfo>().firmwarePath), 2047u);
        QVERIFY(m_window->updateInProgress());
        QMetaObject::invokeMethod(poll, "timeout");
        QCOMPARE(polls.size(), 1);
        QTRY_VERIFY(!m_window->updateInProgress());
        QCOMPARE(m_boxes->titles, (QStringList{"Firmware Update", "Firmware Update"}));
        QMetaObject::invokeMethod(poll, "timeout");
        QCOMPARE(polls.size(), 2);

        plug(kMacA, false);
        QTRY_COMPARE(m_window->currentHandle(), kNoDeviceHandle);
        verifyNoDevice();
        QCOMPARE(label("features_link_speed_label"), QString());
    }

    void firstDeviceBecomesCurrentWithItsTabs_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QStringList>("tabs");
        QTest::newRow("1G+ GPS PoE") << 10 << QStringList{"countersTab", "chartsTab", "LogTab", "networkPortsTab", "tab_3", "timingTab", "featuresTab", "captureTab"};
        QTest::newRow("10G GPS") << 12 << QStringList{"countersTab", "chartsTab", "LogTab", "tab_2", "tab_3", "timingTab", "featuresTab", "captureTab"};
        QTest::newRow("1G v6") << 14 << QStringList{"tab", "networkPortsTab", "tab_3", "featuresTab", "captureTab"};
        QTest::newRow("100") << 13 << QStringList{"countersTab", "chartsTab", "LogTab", "networkPortsTab", "featuresTab", "captureTab"};
        QTest::newRow("unknown") << 99 << QStringList{"featuresTab"};
    }
    void firstDeviceBecomesCurrentWithItsTabs()
    {
        QFETCH(int, type);
        open({device(kMacA, type)}, 1);
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
        QCOMPARE(m_window->currentType(), uint32_t(type));
        QTEST(tabs(), "tabs");
        QCOMPARE(entries(), entry(kMacA) + " (on)");
        auto *tabWidget = m_window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QCOMPARE(tabWidget->tabText(tabWidget->currentIndex()), QStringLiteral("Features"));
        // The first poll fills the device information.
        QMetaObject::invokeMethod(m_window.get(), "updateStats");
        QTRY_VERIFY(label("features_status_label").startsWith(deviceModel(uint32_t(type)).head));
    }

    // A second device is listed, not selected; choosing it switches the
    // window over, and unplugging it returns to the one that is left.
    void secondDeviceListedThenChosenThenUnplugged()
    {
        open({device(kMacA, 12), device(kMacB, 14)}, 2);
        DeviceComboBox *selector = m_window->deviceSelector();
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
        QCOMPARE(selector->currentIndex(), 0);
        QCOMPARE(selector->itemData(1).value<LumenquillDevice>().handle, lqsim_handle_of(kMacB));
        selector->setCurrentIndex(1);
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacB));
        QCOMPARE(tabs().first(), QStringLiteral("tab"));

        plug(kMacB, false);
        QTRY_COMPARE(entries(), entry(kMacA) + " (on)");
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
        QCOMPARE(m_window->currentType(), 12u);
        QVERIFY(tabs().contains(QStringLiteral("tab_2")));
    }

    void answersForAnotherDeviceAreIgnored()
    {
        open({device(kMacA, 10), device(kMacB, 12)}, 2);
        const auto box = [this](const char *name) { return m_window->findChild<QCheckBox *>(QLatin1String(name)); };
        QTRY_VERIFY(box("features_timestamps_check")->isChecked()); // the simulated device captures with timestamps
        // Span mode off: the link text speaks of Port A alone.
        QMetaObject::invokeMethod(m_window.get(), "updateStats");
        QTRY_COMPARE(label("features_link_speed_label"), QStringLiteral("Link Up 1Gbps Full Duplex"));
        const QString status = label("features_status_label");

        StatsThreadInfo other = makeRequest(lqsim_handle_of(kMacB));
        other.deviceType = 12;
        other.capabilities = LumenquillAPIGetDeviceCapabilities(12);
        other.extraInfo = LQ_USB_SUPER_SPEED;
        other.features.transmit_crc_errors = 1;
        m_window->statusUpdate(other);
        m_window->featuresUpdate(other);
        QCOMPARE(label("features_status_label"), status);
        QVERIFY(!box("features_transmit_crc_check")->isChecked());
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));

        StatsThreadInfo own = makeRequest(m_window->currentHandle());
        own.features.transmit_crc_errors = 2; // only 1 means on
        own.features.keep_crc = 1;
        m_window->featuresUpdate(own);
        QVERIFY(!box("features_transmit_crc_check")->isChecked());
        QVERIFY(box("features_keep_crc_check")->isChecked());
        QVERIFY(!box("features_timestamps_check")->isChecked());
    }

    void refusedDriverIsNeitherListedNorSelected()
    {
        open({device(kMacA, 10, "1.9.17.9"), device(kMacB, 14)}, 1);
        QCOMPARE(m_boxes->titles, QStringList{"Wrong driver version"});
        QCOMPARE(m_boxes->texts.first(), versionRefusal(kDriverVersionCheck, parseVersion("1.9.17.9")));
        QCOMPARE(m_boxes->icons.first(), QMessageBox::Critical);
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacB));
        QCOMPARE(entries(), entry(kMacB) + " (on)");
    }

    // Right click renames (a left click then does not open the list); the
    // name is kept per MAC and comes back with the device. The selector
    // keeps its corner as the window is resized.
    void friendlyNameSurvivesReplug()
    {
        open({device(kMacA, 10), device(kMacB, 14)}, 2);
        DeviceComboBox *selector = m_window->deviceSelector();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTest::mouseClick(selector, Qt::RightButton);
        QVERIFY(selector->isEditingName());
        QTest::mouseClick(selector, Qt::LeftButton);
        QVERIFY(!selector->view()->isVisible());
        selector->lineEdit()->setText(QStringLiteral("Lab tap"));
        QTest::keyClick(selector->lineEdit(), Qt::Key_Return);
        QVERIFY(!selector->isEditingName());
        QCOMPARE(entries(), entry(kMacA, "Lab tap") + " | " + entry(kMacB) + " (on)");
        QSettings stored(QSettings::NativeFormat, QSettings::UserScope, "Hollerby", "LumenquillManager");
        QCOMPARE(stored.value("DeviceConfig/024c5100010a/FriendlyName").toString(), QStringLiteral("Lab tap"));
        plug(kMacA, false);
        QTRY_COMPARE(deviceEntries(), 1);
        plug(kMacA, true);
        QTRY_COMPARE(entries(), entry(kMacB) + " | " + entry(kMacA, "Lab tap") + " (on)");

        for (const QSize size : {QSize(1400, 900), QSize(900, 700)}) {
            m_window->resize(size);
            QCoreApplication::processEvents();
            const QRect g = selector->geometry();
            QCOMPARE(QList<int>({g.width(), g.top(), m_window->width() - g.right() - 1}), QList<int>({300, 10, 10}));
        }
    }

    // A MAC text of another length is never a settings key; an emptied name stays empty.
    void friendlyNameStore()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("names.ini")), QSettings::IniFormat);
        for (const char *mac : {"02:4c:51:00:00", "02:4c:51:00:00:01:ff"}) {
            DeviceComboBox::storeFriendlyName(settings, {1, mac, 10, QStringLiteral("Lab")});
            QCOMPARE(DeviceComboBox::friendlyName(settings, mac), QStringLiteral("Bad MAC address"));
        }
        QVERIFY(settings.allKeys().isEmpty());
        DeviceComboBox::storeFriendlyName(settings, {2, QStringLiteral("02:4c:51:00:00:02"), 10, QString()});
        QCOMPARE(DeviceComboBox::friendlyName(settings, QStringLiteral("02:4c:51:00:00:02")), QString(""));
        QCOMPARE(settings.allKeys(), QStringList{"DeviceConfig/024c51000002/FriendlyName"});
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
