// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The main window with its worker and simulated devices: the current device, its tabs,
// polling, arrivals, departures, refusals, friendly names; the texts it builds.

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
#include <QTextEdit>
#include <QWheelEvent>

#include <qcustomplot.h>

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

    // Waits until the selector shows `listed`; `root` continues the scenario's
    // top-level object (",\"library_version\":...").
    void open(const QList<QByteArray> &devices, const QString &listed, const QByteArray &root = {})
    {
        QCOMPARE(lqsim_load_scenario_text(("{\"devices\":[" + devices.join(',') + "]" + root + "}").constData()), 0);
        m_window = std::make_unique<MainWindow>();
        m_window->resize(1100, 760);
        lqsim_advance_clock(0);
        QTRY_COMPARE(entries(), listed);
    }
    void plug(const char *mac, bool in)
    {
        QCOMPARE(in ? lqsim_plug(device(mac, 10).constData()) : lqsim_unplug(mac), 0);
        lqsim_advance_clock(0);
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
    QString both() const { return entry(kMacA) + " | " + entry(kMacB) + " (on)"; }
    QString tabs() const
    {
        auto *tabs = m_window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QStringList names;
        for (int i = 0; i < tabs->count(); ++i)
            names << tabs->widget(i)->objectName();
        return names.join(' ');
    }
    QString label(const char *name) const { return m_window->findChild<QLabel *>(QLatin1String(name))->text(); }
    void verifyNoDevice()
    {
        QCOMPARE(m_window->currentHandle(), kNoDeviceHandle);
        QCOMPARE(entries(), kNoDevice);
        QCOMPARE(tabs(), QStringLiteral("featuresTab"));
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
        open({}, kNoDevice);
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
        QTest::addColumn<QString>("tabs");
        const QString monitor = "countersTab chartsTab LogTab ";
        QTest::newRow("1G+ GPS PoE") << 10 << monitor + "networkPortsTab tab_3 timingTab featuresTab captureTab";
        QTest::newRow("10G GPS") << 12 << monitor + "tab_2 tab_3 timingTab featuresTab captureTab";
        QTest::newRow("1G v6") << 14 << "tab networkPortsTab tab_3 featuresTab captureTab";
        QTest::newRow("100") << 13 << monitor + "networkPortsTab featuresTab captureTab";
        QTest::newRow("unknown") << 99 << "featuresTab";
    }
    void firstDeviceBecomesCurrentWithItsTabs()
    {
        QFETCH(int, type);
        open({device(kMacA, type)}, entry(kMacA) + " (on)");
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
        QCOMPARE(m_window->currentType(), uint32_t(type));
        QTEST(tabs(), "tabs");
        auto *tabWidget = m_window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QCOMPARE(tabWidget->tabText(tabWidget->currentIndex()), QStringLiteral("Features"));
        // The first poll fills the device information.
        QMetaObject::invokeMethod(m_window.get(), "updateStats");
        QTRY_VERIFY(label("features_status_label").startsWith(deviceModel(uint32_t(type)).head));
    }

    // A second device is listed, not selected, and answers for it are ignored;
    // choosing it switches the window over, and unplugging it returns to the first.
    void secondDeviceIgnoredThenChosenThenUnplugged()
    {
        open({device(kMacA, 10), device(kMacB, 14)}, both());
        DeviceComboBox *selector = m_window->deviceSelector();
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
        QCOMPARE(selector->currentIndex(), 0);
        QCOMPARE(selector->itemData(1).value<LumenquillDevice>().handle, lqsim_handle_of(kMacB));
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

        selector->setCurrentIndex(1);
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacB));
        QVERIFY(tabs().startsWith("tab "));
        plug(kMacB, false);
        QTRY_COMPARE(entries(), entry(kMacA) + " (on)");
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
        QCOMPARE(m_window->currentType(), 10u);
        QVERIFY(tabs().contains(" timingTab "));
    }

    // A device whose driver, or a library whose version, the manager does not
    // support is refused with one box per arrival and never listed or selected.
    void refusedVersionsAreNeitherListedNorSelected_data()
    {
        QTest::addColumn<QByteArray>("driverA");
        QTest::addColumn<QByteArray>("library");
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("text");
        const QString api = QString::fromLatin1(kLibraryVersionCheck.title);
        QTest::newRow("old driver") << QByteArray("1.9.17.9") << QByteArray() << entry(kMacB) + " (on)"
                                    << QStringList{"Wrong driver version"}
                                    << versionRefusal(kDriverVersionCheck, parseVersion("1.9.17.9"));
        QTest::newRow("old library") << QByteArray("1.9.18.0") << QByteArray("2.3.12.9") << kNoDevice
                                     << QStringList{api, api}
                                     << versionRefusal(kLibraryVersionCheck, parseVersion("2.3.12.9"));
        QTest::newRow("newer library") << QByteArray("1.9.18.0") << QByteArray("2.4.0.0") << kNoDevice
                                       << QStringList{api, api}
                                       << versionRefusal(kLibraryVersionCheck, parseVersion("2.4.0.0"));
    }
    void refusedVersionsAreNeitherListedNorSelected()
    {
        QFETCH(QByteArray, driverA);
        QFETCH(QByteArray, library);
        QFETCH(QString, listed);
        const QByteArray root = library.isEmpty() ? QByteArray() : ",\"library_version\":\"" + library + '"';
        open({device(kMacA, 10, driverA.constData()), device(kMacB, 14)}, listed, root);
        QTRY_COMPARE(m_boxes->titles.size(), 2 - int(library.isEmpty()));
        QTEST(m_boxes->titles, "titles");
        QFETCH(QString, text);
        QVERIFY(!text.isEmpty());
        QCOMPARE(m_boxes->texts.first(), text);
        QCOMPARE(m_boxes->icons.first(), QMessageBox::Critical);
        QCOMPARE(entries(), listed);
        QCOMPARE(m_window->currentHandle(), library.isEmpty() ? lqsim_handle_of(kMacB) : kNoDeviceHandle);
    }

    // The device being watched keeps its counters, charts and log when a device
    // listed above it leaves; only a real change of device starts afresh.
    void unplugAboveCurrentKeepsItsHistory()
    {
        const char *const macC = "02:4c:51:00:01:0c";
        open({device(kMacA, 10), device(kMacB, 10), device(macC, 10)},
             both().chopped(5) + " | " + entry(macC) + " (on)");
        DeviceComboBox *selector = m_window->deviceSelector();
        selector->setCurrentIndex(2);
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(macC));
        auto *log = m_window->findChild<QTextEdit *>(QStringLiteral("log_txt"));
        auto *graph = m_window->findChild<QCustomPlot *>(QStringLiteral("graphs_a"))->graph(17);
        for (int i = 0; i < 3; ++i) {
            const int points = graph->dataCount();
            lqsim_advance_clock(1000);
            QMetaObject::invokeMethod(m_window.get(), "updateStats");
            QTRY_COMPARE(graph->dataCount(), points + 1);
        }
        const QString logged = log->toPlainText();
        QVERIFY(logged.contains(QStringLiteral("Link Up")));
        const QString total = m_window->findChild<QLabel *>(QStringLiteral("features_link_up_label"))->text();

        plug(kMacA, false);
        QTRY_COMPARE(entries(), entry(kMacB) + " | " + entry(macC) + " (on)");
        QCOMPARE(selector->currentIndex(), 1);
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(macC));
        QCOMPARE(log->toPlainText(), logged);
        QCOMPARE(graph->dataCount(), 3);
        QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("features_link_up_label"))->text(), total);
        // The next refresh goes on from the last sample rather than from zero.
        lqsim_advance_clock(1000);
        QMetaObject::invokeMethod(m_window.get(), "updateStats");
        QTRY_COMPARE(graph->dataCount(), 4);
        QVERIFY(graph->data()->at(3)->value > 0);

        // Choosing another device still starts afresh.
        selector->setCurrentIndex(0);
        QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacB));
        QCOMPARE(graph->dataCount(), 0);
        QVERIFY(log->toPlainText().isEmpty());
    }

    // Right click renames (a left click then does not open the list); the name is kept per MAC and comes back with
    // the device. The selector keeps its corner as the window is resized.
    void friendlyNameSurvivesReplug()
    {
        open({device(kMacA, 10), device(kMacB, 14)}, both());
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
        const qint64 iconBefore = selector->itemIcon(0).cacheKey();
        plug(kMacA, false);
        QTRY_COMPARE(entries(), entry(kMacB) + " (on)");
        plug(kMacA, true);
        QTRY_COMPARE(entries(), entry(kMacB) + " | " + entry(kMacA, "Lab tap") + " (on)");
        // The model's picture is loaded once, not once per arrival: every new
        // picture would add its scaled copies to the pixmap cache.
        QCOMPARE(selector->itemIcon(1).cacheKey(), iconBefore);

        for (const QSize size : {QSize(1400, 900), QSize(900, 700)}) {
            m_window->resize(size);
            QCoreApplication::processEvents();
            const QRect g = selector->geometry();
            QCOMPARE(QList<int>({g.width(), g.top(), m_window->width() - g.right() - 1}), QList<int>({300, 10, 10}));
        }
    }

    // A rename belongs to the entry it began on: another entry (arrow key, wheel,
    // the renamed device leaving) or another list ends it with nothing stored. The
    // name is taken exactly as typed, even when it reads like an entry's text.
    void renameStaysWithItsEntry_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("listed"); // with %1 for A's entry
        QTest::addColumn<QString>("stored"); // A's stored name; null: none
        const QString rest = " | " + entry(kMacB) + " (on)";
        const QString mine = "Lab tap";
        QTest::newRow("enter") << mine << "enter"
                               << "%1" + rest << mine;
        QTest::newRow("focus leaves") << mine << "focus"
                                      << "%1" + rest << mine;
        QTest::newRow("prefix of an entry") << "02:4c"
                                            << "enter"
                                            << "%1" + rest << "02:4c";
        QTest::newRow("text of another entry") << entry(kMacB) << "enter"
                                               << "%1" + rest << entry(kMacB);
        QTest::newRow("arrow down") << mine << "down" << entry(kMacA) + rest << QString();
        QTest::newRow("wheel") << mine << "wheel" << entry(kMacA) + rest << QString();
        QTest::newRow("renamed device leaves") << mine << "unplug" << entry(kMacB) + " (on)" << QString();
        QTest::newRow("another device arrives")
            << mine << "plug" << entry(kMacA) + rest.chopped(5) + " | " + entry("02:4c:51:00:01:0c") + " (on)"
            << QString();
    }
    void renameStaysWithItsEntry()
    {
        QFETCH(QString, typed);
        QFETCH(QString, action);
        QFETCH(QString, stored);
        open({device(kMacA, 10), device(kMacB, 14)}, both());
        DeviceComboBox *selector = m_window->deviceSelector();
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTest::mouseClick(selector, Qt::RightButton);
        QVERIFY(selector->isEditingName());
        QLineEdit *edit = selector->lineEdit();
        QCOMPARE(edit->selectedText(), QStringLiteral("Lumenquill"));
        QTest::keyClicks(edit, typed);
        if (action == "enter") {
            QTest::keyClick(edit, Qt::Key_Return);
        } else if (action == "focus") {
            m_window->findChild<QWidget *>(QStringLiteral("tabWidget"))->setFocus();
        } else if (action == "down") {
            QTest::keyClick(edit, Qt::Key_Down);
        } else if (action == "wheel") {
            const QPointF at = QPointF(selector->rect().center());
            QWheelEvent wheel(at, selector->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(selector, &wheel);
        } else {
            plug(action == "unplug" ? kMacA : "02:4c:51:00:01:0c", action == "plug");
            QTRY_COMPARE(selector->count(), action == "plug" ? 3 : 1);
        }
        QTRY_VERIFY(!selector->isEditingName());
        QFETCH(QString, listed);
        QCOMPARE(entries(), stored.isNull() ? listed : listed.arg(entry(kMacA, stored.toUtf8().constData())));
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Hollerby", "LumenquillManager");
        QCOMPARE(settings.value("DeviceConfig/024c5100010a/FriendlyName").toString(), stored);
        QVERIFY(!settings.contains("DeviceConfig/024c5100010b/FriendlyName"));
        if (action == "enter" || action == "focus")
            QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
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

    // The model table, device information and link texts, packed versions and the
    // admission checks of drivers and the device library.
    void modelTable_data()
    {
        QTest::addColumn<uint>("type");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<bool>("detailed");
        const auto row = [](uint type, const char *head, const char *picture, bool detailed) {
            QTest::addRow("%u", type) << type << QString(head) << QString(picture) << detailed;
        };
        const char *const unknown = "Unknown Lumenquill";
        row(0, unknown, ":/images/disconnected.png", false);
        row(1, "Bad firmware Lumenquill", ":/images/warning.png", false);
        row(2, unknown, ":/images/warning.png", false);
        row(3, "LumenQuill 1G Device Connected", ":/icons/1GIco.png", true);
        row(4, unknown, ":/icons/1GIco.png", false);
        row(5, "LumenQuill 1G+ Device Connected", ":/icons/1GPlusIco.png", true);
        row(6, "LumenQuill 1G v5 Device Connected", ":/icons/1GIco.png", true);
        row(7, "LumenQuill 1G v5 PoE Device Connected", ":/icons/1GIco.png", true);
        row(8, "LumenQuill 1G+ PoE Device Connected", ":/icons/1GPlusIco.png", true);
        row(9, "LumenQuill 1G+ GPS Device Connected", ":/icons/1GPlusIco.png", true);
        row(10, "LumenQuill 1G+ GPS PoE Device Connected", ":/icons/1GPlusIco.png", true);
        row(11, "LumenQuill 10G Device Connected", ":/icons/10GIco.png", true);
        row(12, "LumenQuill 10G GPS Device Connected", ":/icons/10GPlusIco.png", true);
        row(13, "LumenQuill 100 Device Connected", ":/icons/100Ico.png", true);
        row(14, "LumenQuill 1G v6 Device Connected", ":/icons/1GIco.png", true);
        row(15, unknown, ":/images/warning.png", false);
    }
    void modelTable()
    {
        QFETCH(uint, type);
        const DeviceModel model = deviceModel(type);
        QTEST(model.head, "head");
        QTEST(model.picture, "picture");
        QTEST(model.detailed, "detailed");
    }

    // Details for known models only, the USB line for all.
    void informationText_data()
    {
        QTest::addColumn<uint>("extraInfo");
        QTest::addColumn<QString>("usbLine");
        QTest::newRow("full speed") << 0x101u << "Usb : Full Speed\n";
        QTest::newRow("high speed") << 2u << "Usb : High Speed\n";
        QTest::newRow("super speed") << 0xFF03u << "Usb : Super Speed\n";
        QTest::newRow("unknown speed") << 4u << "";
    }
    void informationText()
    {
        QFETCH(QString, usbLine);
        StatsThreadInfo info = makeRequest(1);
        const uint8_t sw[4] = {3, 1, 4, 1}, drv[4] = {1, 9, 18, 0}, mac[6] = {0x02, 0x4c, 0x51, 0x0a, 0xbc, 0x01};
        memcpy(info.versions.softwareVersion, sw, 4);
        memcpy(info.versions.driverVersion, drv, 4);
        memcpy(info.mac, mac, 6);
        info.versions.hardwareFirmwareVersion = 42;
        QFETCH(uint, extraInfo);
        info.extraInfo = extraInfo;
        QCOMPARE(deviceInformationText(info, 12),
                 "LumenQuill 10G GPS Device Connected\nDriver Version : 1.9.18.0\nSW Firmware Version : 3.1.4.1\n"
                 "HW Firmware Version : 0042\nMAC Address : 02:4c:51:0a:bc:01\n" +
                     usbLine);
        // A model without details still puts the USB line on a line of its own.
        QCOMPARE(deviceInformationText(info, 0), "Unknown Lumenquill" + (usbLine.isEmpty() ? "" : "\n" + usbLine));
        QCOMPARE(macText(info.mac), QString("02:4c:51:0a:bc:01"));
    }

    void linkTexts_data()
    {
        QTest::addColumn<QList<uint>>("speedDuplexAB");
        QTest::addColumn<QString>("perPort");
        QTest::addColumn<QString>("portAOnly");
        using L = QList<uint>;
        QTest::newRow("1G full / down") << L{2, 0, 5, 0} << "1Gbps Full Duplex / Down"
                                        << "Link Up 1Gbps Full Duplex";
        QTest::newRow("10G / 100 half") << L{3, 0, 1, 7} << "10Gbps Full Duplex / 100Mbps Half Duplex"
                                        << "Link Up 10Gbps Full Duplex";
        QTest::newRow("10M half / unknown") << L{0, 1, 4, 0} << "10Mbps Half Duplex / Unknown"
                                            << "Link Up 10Mbps Half Duplex";
        QTest::newRow("down / above 5") << L{5, 0, 9, 0} << "Down / Unknown"
                                        << "Link Down";
        QTest::newRow("unknown A") << L{4, 0, 2, 0} << "Unknown / 1Gbps Full Duplex"
                                   << "Link State Unknown";
    }
    void linkTexts()
    {
        QFETCH(QList<uint>, speedDuplexAB);
        StatsThreadInfo info = makeRequest(1);
        info.linkStatus.portASpeed = speedDuplexAB[0];
        info.linkStatus.portADuplex = speedDuplexAB[1];
        info.linkStatus.portBSpeed = speedDuplexAB[2];
        info.linkStatus.portBDuplex = speedDuplexAB[3];
        QTEST(linkText(info, true), "perPort");
        QTEST(linkText(info, false), "portAOnly");
    }

    void parseAndPrint_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("packed");
        QTest::addColumn<QString>("printed");
        QTest::newRow("driver lower bound") << "1.9.18.0" << quint32(0x00120901) << "1.9.18.0";
        QTest::newRow("parts keep their low byte") << "1.2.3.260" << quint32(0x04030201) << "1.2.3.4";
        QTest::newRow("three parts") << "1.9.18" << quint32(0) << "0.0.0.0";
        QTest::newRow("five parts") << "1.2.3.4.5" << quint32(0) << "0.0.0.0";
        QTest::newRow("not numbers read 0") << "a.9.b.1" << quint32(0x01000900) << "0.9.0.1";
    }
    void parseAndPrint()
    {
        QFETCH(QString, text);
        QFETCH(quint32, packed);
        QCOMPARE(parseVersion(text), packed);
        QTEST(versionToString(parseVersion(text)), "printed");
        const uint8_t bytes[4] = {uint8_t(packed), uint8_t(packed >> 8), uint8_t(packed >> 16), uint8_t(packed >> 24)};
        QCOMPARE(versionFromBytes(bytes), packed);
    }

    // compareVersion orders two versions; checkVersionRange (against
    // 1.9.18.0-1.9.19.0) checks each part against the bounds' same part.
    void compareAndRange_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("order");
        QTest::addColumn<int>("range"); // of a
        QTest::newRow("equal, lower bound") << "1.9.18.0"
                                            << "1.9.18.0" << 0 << 0;
        QTest::newRow("upper bound") << "1.9.19.0"
                                     << "1.9.18.0" << 1 << 0;
        QTest::newRow("fourth part above the upper's") << "1.9.18.5"
                                                       << "1.9.18.4" << 1 << 1;
        QTest::newRow("third part below the lower's") << "1.9.17.9"
                                                      << "1.9.18.0" << -1 << -1;
        QTest::newRow("third part above") << "1.9.20.0"
                                          << "1.9.19.0" << 1 << 1;
        QTest::newRow("first part decides") << "2.0.0.0"
                                            << "1.9.99.99" << 1 << 1;
        QTest::newRow("first part below wins over later") << "0.9.99.0"
                                                          << "1.0.0.0" << -1 << -1;
    }
    void compareAndRange()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, order);
        QCOMPARE(compareVersion(parseVersion(a), parseVersion(b)), order);
        QCOMPARE(compareVersion(parseVersion(b), parseVersion(a)), -order);
        QTEST(checkVersionRange(parseVersion(a), parseVersion("1.9.18.0"), parseVersion("1.9.19.0")), "range");
    }

    void refusalTexts_data()
    {
        QTest::addColumn<bool>("driver");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("text");
        QTest::newRow("driver accepted") << true << "1.9.19.0" << QString();
        QTest::newRow("driver too recent")
            << true << "1.9.18.5"
            << "Lumenquill Manager has detected that your devices uses a driver that is too recent.\n"
               "Please update Lumenquill Manager to use your device.\n"
               "Current version : 1.9.18.5\nRequired version : 1.9.18.0-1.9.19.0";
        QTest::newRow("driver old") << true << "1.9.17.9"
                                    << "Lumenquill Manager has detected that your devices uses an old driver version.\n"
                                       "Please update it to use your device.\n"
                                       "Current version : 1.9.17.9\nRequired version : 1.9.18.0-1.9.19.0";
        QTest::newRow("library accepted") << false << "2.3.13.0" << QString();
        QTest::newRow("library too recent")
            << false << "2.3.13.1"
            << "Lumenquill Manager has detected that you are using an API that is too recent.\n"
               "Please update Lumenquill Manager to use your device.\n"
               "Current version : 2.3.13.1\nRequired version : 2.3.13.0";
        QTest::newRow("library old") << false << "2.3.12.0"
                                     << "Lumenquill Manager has detected that you are using an old API version.\n"
                                        "Please update it to use your device.\n"
                                        "Current version : 2.3.12.0\nRequired version : 2.3.13.0";
    }
    void refusalTexts()
    {
        QFETCH(bool, driver);
        QFETCH(QString, version);
        QTEST(versionRefusal(driver ? kDriverVersionCheck : kLibraryVersionCheck, parseVersion(version)), "text");
    }
};

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
