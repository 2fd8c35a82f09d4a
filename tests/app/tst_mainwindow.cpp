// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The main window with its worker and the simulated devices: which device is
// current, which tabs show, when the window polls, and what arrivals,
// departures and refusals do.

#include "devicecombobox.h"
#include "devicemodel.h"
#include "lqsim.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "statsthread.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const char *const kMacA = "02:4c:51:00:01:0a";
const char *const kMacB = "02:4c:51:00:01:0b";

QByteArray device(const char *mac, int type, const char *driver = "1.9.18.0")
{
    return QByteArray("{\"type\":") + QByteArray::number(type) + ",\"mac\":\"" + mac +
           "\",\"versions\":{\"driver\":\"" + driver + "\"}}";
}

QByteArray scenario(const QList<QByteArray> &devices)
{
    QByteArray json = "{\"devices\":[";
    for (int i = 0; i < devices.size(); ++i)
        json += (i ? "," : "") + devices.at(i);
    return json + "]}";
}

// Entries that stand for a device (the "No device connected" entry carries none).
int deviceEntries(const DeviceComboBox *selector)
{
    int n = 0;
    for (int i = 0; i < selector->count(); ++i)
        n += selector->itemData(i).canConvert<LumenquillDevice>() ? 1 : 0;
    return n;
}

QStringList tabTitles(const MainWindow &window)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->widget(i)->objectName();
    return titles;
}

} // namespace

class tst_MainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsWithFeaturesOnly();
    void firstDeviceBecomesCurrentWithItsTabs_data();
    void firstDeviceBecomesCurrentWithItsTabs();
    void secondDeviceListedNotSelected();
    void pollsOnlyWithDeviceAndNotDuringUpdate();
    void replyForAnotherDeviceChangesNothing();
    void tooLongFirmwarePathIsRefused();
    void featuresAnswerShownForCurrentDeviceOnly();
    void unplugCurrentSelectsRemaining();
    void unplugLastReturnsToNoDevice();
    void refusedDriverIsNeitherListedNorSelected();
    void friendlyNameSurvivesReplug();
    void selectorKeepsItsCorner();

private:
    void open(const QList<QByteArray> &devices, int expectedEntries);
    QLabel *label(const char *name) const { return m_window->findChild<QLabel *>(QLatin1String(name)); }

    std::unique_ptr<ModalAnswerer> m_boxes;
    std::unique_ptr<MainWindow> m_window;
};

void tst_MainWindow::initTestCase()
{
    registerStatsThreadInfo();
    registerLumenquillDevice();
}

void tst_MainWindow::init()
{
    lqsim_use_manual_clock(1764892800000ull);
    lqsim_clear_failures();
    // Friendly names must not leak from one test into the next.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Hollerby", "LumenquillManager");
    settings.clear();
    settings.sync();
    m_boxes = std::make_unique<ModalAnswerer>();
}

void tst_MainWindow::cleanup()
{
    m_window.reset();
    m_boxes.reset();
}

void tst_MainWindow::open(const QList<QByteArray> &devices, int expectedEntries)
{
    QCOMPARE(lqsim_load_scenario_text(scenario(devices).constData()), 0);
    m_window = std::make_unique<MainWindow>();
    m_window->resize(1100, 760);
    lqsim_advance_clock(0);
    QTRY_COMPARE(deviceEntries(m_window->deviceSelector()), expectedEntries);
}

void tst_MainWindow::startsWithFeaturesOnly()
{
    open({}, 0);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("LumenQuill Manager - 2.5.27"));
    QCOMPARE(tabTitles(*m_window), QStringList{"featuresTab"});
    QCOMPARE(m_window->deviceSelector()->count(), 1);
    QCOMPARE(m_window->deviceSelector()->itemText(0), QStringLiteral("No device connected"));
    QVERIFY(!m_window->deviceSelector()->isEnabled());
    QCOMPARE(m_window->currentHandle(), kNoDeviceHandle);
    QCOMPARE(label("features_status_label")->text(), QStringLiteral("No Device Connected"));
}

void tst_MainWindow::firstDeviceBecomesCurrentWithItsTabs_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("tabs");
    QTest::newRow("1G+ GPS PoE") << 10 << QStringList{"countersTab", "chartsTab", "LogTab", "networkPortsTab", "tab_3", "timingTab", "featuresTab", "captureTab"};
    QTest::newRow("10G GPS") << 12 << QStringList{"countersTab", "chartsTab", "LogTab", "tab_2", "tab_3", "timingTab", "featuresTab", "captureTab"};
    QTest::newRow("1G v6") << 14 << QStringList{"tab", "networkPortsTab", "tab_3", "featuresTab", "captureTab"};
    QTest::newRow("100") << 13 << QStringList{"countersTab", "chartsTab", "LogTab", "networkPortsTab", "featuresTab", "captureTab"};
    QTest::newRow("unknown") << 99 << QStringList{"featuresTab"};
}

void tst_MainWindow::firstDeviceBecomesCurrentWithItsTabs()
{
    QFETCH(int, type);
    QFETCH(QStringList, tabs);
    open({device(kMacA, type)}, 1);
    QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
    QCOMPARE(m_window->currentType(), uint32_t(type));
    QCOMPARE(tabTitles(*m_window), tabs);
    QVERIFY(m_window->deviceSelector()->isEnabled());
    QCOMPARE(m_window->deviceSelector()->itemText(0), QString::fromLatin1(kMacA) + QStringLiteral(" - Lumenquill"));
    auto *tabWidget = m_window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QCOMPARE(tabWidget->tabText(tabWidget->currentIndex()), QStringLiteral("Features"));

    // The first poll fills the device information.
    QMetaObject::invokeMethod(m_window.get(), "updateStats");
    QTRY_VERIFY(label("features_status_label")->text().startsWith(deviceModel(uint32_t(type)).head));
}

void tst_MainWindow::secondDeviceListedNotSelected()
{
    open({device(kMacA, 10), device(kMacB, 14)}, 2);
    QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
    QCOMPARE(m_window->deviceSelector()->currentIndex(), 0);
    QCOMPARE(m_window->deviceSelector()->itemData(1).value<LumenquillDevice>().handle, lqsim_handle_of(kMacB));

    // Choosing it switches the window over.
    m_window->deviceSelector()->setCurrentIndex(1);
    QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacB));
    QCOMPARE(tabTitles(*m_window).first(), QStringLiteral("tab"));
}

void tst_MainWindow::pollsOnlyWithDeviceAndNotDuringUpdate()
{
    open({}, 0);
    auto *poll = m_window->findChild<QTimer *>(QStringLiteral("pollTimer"));
    QVERIFY(poll);
    QVERIFY(poll->isActive());
    QCOMPARE(poll->interval(), 1000);

    QSignalSpy polls(m_window.get(), &MainWindow::signal_get_iface_status);
    QMetaObject::invokeMethod(poll, "timeout");
    QCOMPARE(polls.size(), 0); // no device

    QCOMPARE(lqsim_plug(device(kMacA, 10).constData()), 0);
    lqsim_advance_clock(0);
    QTRY_COMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
    QMetaObject::invokeMethod(poll, "timeout");
    QCOMPARE(polls.size(), 1);
    QCOMPARE(polls.first().first().value<StatsThreadInfo>().handle, lqsim_handle_of(kMacA));

    // An update that the library refuses at once: no poll while it is pending,
    // polling again as soon as its status has arrived.
    m_window->startFirmwareUpdate(m_window->currentHandle(), QStringLiteral("/nonexistent/image.img"));
    QVERIFY(m_window->updateInProgress());
    QMetaObject::invokeMethod(poll, "timeout");
    QCOMPARE(polls.size(), 1);
    QTRY_VERIFY(!m_window->updateInProgress());
    QCOMPARE(m_boxes->titles, QStringList{"Firmware Update"});
    QMetaObject::invokeMethod(poll, "timeout");
    QCOMPARE(polls.size(), 2);
}

void tst_MainWindow::replyForAnotherDeviceChangesNothing()
{
    open({device(kMacA, 10), device(kMacB, 12)}, 2);
    const QString before = label("features_status_label")->text();
    StatsThreadInfo other = makeRequest(lqsim_handle_of(kMacB));
    other.deviceType = 12;
    other.capabilities = LumenquillAPIGetDeviceCapabilities(12);
    other.extraInfo = LQ_USB_SUPER_SPEED;
    m_window->statusUpdate(other);
    QCOMPARE(label("features_status_label")->text(), before);
    QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacA));
}

void tst_MainWindow::tooLongFirmwarePathIsRefused()
{
    open({device(kMacA, 10)}, 1);
    QSignalSpy updates(m_window.get(), &MainWindow::signal_start_update);
    // 2047 bytes and the terminator fit; one byte more does not.
    m_window->startFirmwareUpdate(m_window->currentHandle(), QStringLiteral("/") + QString(2047, QLatin1Char('x')));
    QCOMPARE(updates.size(), 0);
    QVERIFY(!m_window->updateInProgress());
    QCOMPARE(m_boxes->titles, QStringList{"Firmware Update"});
    QVERIFY(m_boxes->texts.first().contains(QLatin1String("2048 bytes")));

    m_window->startFirmwareUpdate(m_window->currentHandle(), QString(2047, QLatin1Char('y')));
    QCOMPARE(updates.size(), 1);
    QCOMPARE(qstrlen(updates.first().first().value<StatsThreadInfo>().firmwarePath), 2047u);
    QTRY_VERIFY(!m_window->updateInProgress()); // the library refuses the missing file
}

void tst_MainWindow::featuresAnswerShownForCurrentDeviceOnly()
{
    open({device(kMacA, 10), device(kMacB, 14)}, 2);
    auto *timestamps = m_window->findChild<QCheckBox *>(QStringLiteral("features_timestamps_check"));
    auto *transmitCrc = m_window->findChild<QCheckBox *>(QStringLiteral("features_transmit_crc_check"));
    QTRY_VERIFY(timestamps->isChecked()); // the simulated device captures with timestamps

    // Span mode off: the link text speaks of Port A alone.
    QMetaObject::invokeMethod(m_window.get(), "updateStats");
    QTRY_COMPARE(label("features_link_speed_label")->text(), QStringLiteral("Link Up 1Gbps Full Duplex"));

    StatsThreadInfo other = makeRequest(lqsim_handle_of(kMacB));
    other.features.transmit_crc_errors = 1;
    m_window->featuresUpdate(other);
    QVERIFY(!transmitCrc->isChecked());

    StatsThreadInfo own = makeRequest(m_window->currentHandle());
    own.features.transmit_crc_errors = 2; // only 1 means on
    own.features.keep_crc = 1;
    m_window->featuresUpdate(own);
    QVERIFY(!transmitCrc->isChecked());
    QVERIFY(m_window->findChild<QCheckBox *>(QStringLiteral("features_keep_crc_check"))->isChecked());
    QVERIFY(!timestamps->isChecked());
}

void tst_MainWindow::unplugCurrentSelectsRemaining()
{
    open({device(kMacA, 10), device(kMacB, 12)}, 2);
    const uint64_t remaining = lqsim_handle_of(kMacB);
    QCOMPARE(lqsim_unplug(kMacA), 0);
    lqsim_advance_clock(0);
    QTRY_COMPARE(m_window->deviceSelector()->count(), 1);
    QCOMPARE(m_window->currentHandle(), remaining);
    QCOMPARE(m_window->currentType(), 12u);
    QVERIFY(tabTitles(*m_window).contains(QStringLiteral("tab_2")));
}

void tst_MainWindow::unplugLastReturnsToNoDevice()
{
    open({device(kMacA, 10)}, 1);
    QCOMPARE(lqsim_unplug(kMacA), 0);
    lqsim_advance_clock(0);
    QTRY_COMPARE(m_window->currentHandle(), kNoDeviceHandle);
    QCOMPARE(m_window->deviceSelector()->count(), 1);
    QCOMPARE(m_window->deviceSelector()->itemText(0), QStringLiteral("No device connected"));
    QVERIFY(!m_window->deviceSelector()->isEnabled());
    QCOMPARE(tabTitles(*m_window), QStringList{"featuresTab"});
    QCOMPARE(label("features_status_label")->text(), QStringLiteral("No Device Connected"));
    QCOMPARE(label("features_link_speed_label")->text(), QString());
}

void tst_MainWindow::refusedDriverIsNeitherListedNorSelected()
{
    open({device(kMacA, 10, "1.9.17.9"), device(kMacB, 14)}, 1);
    QCOMPARE(m_boxes->titles, QStringList{"Wrong driver version"});
    QCOMPARE(m_boxes->texts.first(),
             QStringLiteral("Lumenquill Manager has detected that your devices uses an old driver version.\n"
                            "Please update it to use your device.\n"
                            "Current version : 1.9.17.9\nRequired version : 1.9.18.0-1.9.19.0"));
    QCOMPARE(m_boxes->icons.first(), QMessageBox::Critical);
    QCOMPARE(m_window->currentHandle(), lqsim_handle_of(kMacB));
    QCOMPARE(m_window->deviceSelector()->count(), 1);
    QVERIFY(m_window->deviceSelector()->itemText(0).startsWith(QLatin1String(kMacB)));
}

void tst_MainWindow::friendlyNameSurvivesReplug()
{
    open({device(kMacA, 10), device(kMacB, 14)}, 2);
    DeviceComboBox *selector = m_window->deviceSelector();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    QTest::mouseClick(selector, Qt::RightButton);
    QVERIFY(selector->isEditingName());
    // A left click while editing does not open the list.
    QTest::mouseClick(selector, Qt::LeftButton);
    QVERIFY(!selector->view()->isVisible());
    selector->lineEdit()->setText(QStringLiteral("Lab tap"));
    QTest::keyClick(selector->lineEdit(), Qt::Key_Return);
    QVERIFY(!selector->isEditingName());
    QCOMPARE(selector->itemText(0), QString::fromLatin1(kMacA) + QStringLiteral(" - Lab tap"));
    QCOMPARE(selector->itemText(1), QString::fromLatin1(kMacB) + QStringLiteral(" - Lumenquill"));

    QCOMPARE(lqsim_unplug(kMacA), 0);
    lqsim_advance_clock(0);
    QTRY_COMPARE(deviceEntries(selector), 1);
    QCOMPARE(lqsim_plug(device(kMacA, 10).constData()), 0);
    lqsim_advance_clock(0);
    QTRY_COMPARE(deviceEntries(selector), 2);
    QCOMPARE(selector->itemText(1), QString::fromLatin1(kMacA) + QStringLiteral(" - Lab tap"));
    QCOMPARE(selector->itemText(0), QString::fromLatin1(kMacB) + QStringLiteral(" - Lumenquill"));
}

void tst_MainWindow::selectorKeepsItsCorner()
{
    open({}, 0);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    for (const QSize size : {QSize(1100, 760), QSize(1400, 900), QSize(900, 700)}) {
        m_window->resize(size);
        QCoreApplication::processEvents();
        const QRect g = m_window->deviceSelector()->geometry();
        QCOMPARE(g.width(), 300);
        QCOMPARE(g.top(), 10);
        QCOMPARE(m_window->width() - g.right() - 1, 10);
    }
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
