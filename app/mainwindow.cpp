// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The main window; see mainwindow.h.

#include "mainwindow.h"

#include "alarmlog.h"
#include "analysispanel.h"
#include "capturepanel.h"
#include "chartspanel.h"
#include "counterspanel.h"
#include "countersv2panel.h"
#include "devicecombobox.h"
#include "devicemodel.h"
#include "deviceversion.h"
#include "featurespanel.h"
#include "filterspanel.h"
#include "firmwarecatalog.h"
#include "firmwareupdatetexts.h"
#include "logpanel.h"
#include "networkportspanel.h"
#include "portsettings.h"
#include "sfpdisplay.h"
#include "statsthread.h"
#include "timingpanel.h"
#include "ui_mainwindow.h"
#include "vistagrovemonitor.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QCloseEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QResizeEvent>
#include <QSettings>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

#include <cstring>

namespace {
constexpr int kSelectorWidth = 300;
constexpr int kSelectorMargin = 10;
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), m_ui(std::make_unique<Ui::MainWindow>())
{
    m_ui->setupUi(this);
    m_featuresPanel = m_ui->featuresPanel;
    m_countersPanel = m_ui->countersPanel;
    m_chartsPanel = m_ui->chartsPanel;
    m_logPanel = m_ui->logPanel;
    m_portsPanel = m_ui->networkPortsPanel;
    m_chartsPanel->setClock(&m_clock);
    m_ui->countersV2Panel->setClock(&m_clock);
    m_timingPanel = m_ui->timingPanel;
    m_timingPanel->setClock([this] { return m_clock.now().toSecsSinceEpoch(); });
    m_vistagroveMonitor = new VistagroveMonitor(this);
    setWindowTitle(QStringLiteral("LumenQuill Manager - 2.5.27"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/LumenquillIco.png")));
    m_settings = new QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Hollerby"),
                               QStringLiteral("LumenquillManager"));
    // Before the worker can announce a device. Without a catalog nothing is
    // offered; manual updates still work.
    QString catalogProblem;
    if (loadFirmwareCatalog(m_firmwareCatalog, defaultCatalogPath(), &catalogProblem) && !catalogProblem.isEmpty())
        qWarning("Firmware catalog: %s", qPrintable(catalogProblem));

    m_worker = new StatsThread;
    m_pollTimer = new QTimer(this);
    m_pollTimer->setObjectName(QStringLiteral("pollTimer"));
    m_pollTimer->setInterval(1000);
    connect(m_pollTimer, &QTimer::timeout, this, &MainWindow::updateStats);
    m_featuresTimer = new QTimer(this);
    m_featuresTimer->setObjectName(QStringLiteral("featuresTimer"));
    m_featuresTimer->setInterval(1000);
    m_featuresTimer->setSingleShot(true);
    connect(m_featuresTimer, &QTimer::timeout, this, &MainWindow::userChangedFeatures);
    m_featuresPanel->showModelPicture(deviceModel(0).picture);

    // Requests to the worker: queued, handled one at a time in emission order.
    connect(this, &MainWindow::signal_get_features, m_worker, &StatsThread::slot_get_features);
    connect(this, &MainWindow::signal_get_iface_status, m_worker, &StatsThread::slot_get_iface_status);
    connect(this, &MainWindow::signal_set_features, m_worker, &StatsThread::slot_set_features);
    connect(this, &MainWindow::signal_save_features, m_worker, &StatsThread::slot_save_features);
    connect(this, &MainWindow::signal_restart_device, m_worker, &StatsThread::slot_restart_device);
    connect(this, &MainWindow::signal_start_update, m_worker, &StatsThread::slot_update_start);
    // The capture path travels once, panel to window to worker, and is
    // freed there.
    connect(m_ui->capturePanel, &CapturePanel::signal_dd_set_config, this, &MainWindow::signal_dd_set_config);
    connect(m_ui->capturePanel, &CapturePanel::signal_dd_start, this, &MainWindow::signal_dd_start);
    connect(m_ui->capturePanel, &CapturePanel::signal_dd_stop, this, &MainWindow::signal_dd_stop);
    connect(this, &MainWindow::signal_dd_set_config, m_worker, &StatsThread::slot_dd_set_config);
    connect(this, &MainWindow::signal_dd_start, m_worker, &StatsThread::slot_dd_start);
    connect(this, &MainWindow::signal_dd_stop, m_worker, &StatsThread::slot_dd_stop);
    connect(this, &MainWindow::signal_timing_resync, m_worker, &StatsThread::slot_timing_resync);
    connect(m_ui->countersV2Panel, &CountersV2Panel::signal_set_v2counterconfig, this,
            &MainWindow::signal_set_v2counterconfig);
    connect(this, &MainWindow::signal_set_v2counterconfig, m_worker, &StatsThread::slot_set_v2counterconfig);
    connect(this, &MainWindow::signal_get_simplefilter, m_worker, &StatsThread::slot_get_simple_filter);
    connect(this, &MainWindow::signal_get_dpifilter, m_worker, &StatsThread::slot_get_DPI_filter);
    FiltersPanel *filters = m_ui->filtersPanel;
    connect(filters, &FiltersPanel::signal_set_simplefilter, this, &MainWindow::signal_set_simplefilter);
    connect(filters, &FiltersPanel::signal_save_simplefilter, this, &MainWindow::signal_save_simplefilter);
    connect(filters, &FiltersPanel::signal_set_dpifilter, this, &MainWindow::signal_set_dpifilter);
    connect(filters, &FiltersPanel::signal_save_dpifilter, this, &MainWindow::signal_save_dpifilter);
    connect(this, &MainWindow::signal_set_simplefilter, m_worker, &StatsThread::slot_set_simple_filter);
    connect(this, &MainWindow::signal_set_dpifilter, m_worker, &StatsThread::slot_set_DPI_filter);
    connect(this, &MainWindow::signal_save_simplefilter, m_worker, &StatsThread::slot_save_simple_filter);
    connect(this, &MainWindow::signal_save_dpifilter, m_worker, &StatsThread::slot_save_DPI_filter);

    // Replies from the worker.
    connect(m_worker, &StatsThread::signal_add_iface, this, &MainWindow::addIface);
    connect(m_worker, &StatsThread::signal_del_iface, this, &MainWindow::delIface);
    connect(m_worker, &StatsThread::signal_status, this, &MainWindow::statusUpdate);
    connect(m_worker, &StatsThread::signal_update_progress, this, &MainWindow::updateProgress);
    connect(m_worker, &StatsThread::signal_update_status, this, &MainWindow::updateFinished);
    connect(m_worker, &StatsThread::signal_features, this, &MainWindow::featuresUpdate);
    connect(m_worker, &StatsThread::signal_sntp_failed, m_timingPanel, &TimingPanel::slot_sntp_failed);
    connect(m_timingPanel, &TimingPanel::signal_timing_resync, this, &MainWindow::signal_timing_resync);
    connect(m_worker, &StatsThread::signal_simple_filter, filters, &FiltersPanel::slot_simpleFilterReceived);
    connect(m_worker, &StatsThread::signal_DPI_filter, filters, &FiltersPanel::slot_DPIFilterReceived);

    // Operator actions only: program changes of these widgets are not clicks.
    connect(m_featuresPanel, &FeaturesPanel::signal_features_edited, this, &MainWindow::userChangedFeatures);
    for (QAbstractButton *box : m_portsPanel->applyButtons())
        connect(box, &QAbstractButton::clicked, this, &MainWindow::userChangedFeatures);
    for (QAbstractButton *box : m_timingPanel->applyButtons())
        connect(box, &QAbstractButton::clicked, this, &MainWindow::userChangedFeatures);
    for (QComboBox *combo : m_timingPanel->applyComboBoxes())
        connect(combo, &QComboBox::currentIndexChanged, this, &MainWindow::userChangedFeatures);
    // The compensation slider applies once it has rested for a second.
    connect(m_timingPanel, &TimingPanel::signal_pps_delay_changed, m_featuresTimer, qOverload<>(&QTimer::start));
    connect(m_timingPanel, &TimingPanel::signal_save_clicked, this, &MainWindow::userSaveFeatures);
    connect(m_ui->spanModeCheckbox2, &QCheckBox::clicked, this, &MainWindow::userChangedFeatures);
    connect(m_ui->loopbackCheckBox2, &QCheckBox::clicked, this, &MainWindow::userChangedFeatures);
    connect(m_featuresPanel, &FeaturesPanel::signal_save_clicked, this, &MainWindow::userSaveFeatures);
    connect(m_portsPanel, &NetworkPortsPanel::signal_save_clicked, this, &MainWindow::userSaveFeatures);
    connect(m_ui->features_save_btn3, &QPushButton::clicked, this, &MainWindow::userSaveFeatures);
    connect(m_portsPanel, &NetworkPortsPanel::signal_defaults_clicked, this, &MainWindow::slot_load_network_default);
    connect(m_featuresPanel, &FeaturesPanel::signal_restart_clicked, this, &MainWindow::slot_restart_device);
    connect(m_featuresPanel, &FeaturesPanel::signal_set_variant_clicked, this, &MainWindow::slot_set_fw);
    connect(m_featuresPanel, &FeaturesPanel::signal_browse_firmware_clicked, this, &MainWindow::slot_SelectFirmware);
    connect(m_featuresPanel, &FeaturesPanel::signal_flash_clicked, this, &MainWindow::userStartUpdate);

    m_currentHandle = kNoDeviceHandle;

    m_deviceSelector = new DeviceComboBox(this);
    m_deviceSelector->setObjectName(QStringLiteral("deviceSelector"));
    m_deviceSelector->resize(kSelectorWidth, m_deviceSelector->sizeHint().height());
    placeDeviceSelector();
    m_deviceSelector->addItem(QStringLiteral("No device connected"));
    m_deviceSelector->setEnabled(false);
    m_deviceSelector->show();
    connect(m_deviceSelector, &QComboBox::currentIndexChanged, this, &MainWindow::changeDevice);
    connect(m_deviceSelector, &DeviceComboBox::FriendlyNameChanged, this,
            &MainWindow::slot_device_friendly_name_changed);

    // The analysis panel is built and wired even though its tab is never
    // shown: the stack it may have started is still shut down with the window.
    m_ui->analysisPanel->setMonitor(m_vistagroveMonitor);
    m_ui->analysisPanel->setSettings(m_settings);
    m_ui->analysisPanel->loadSettings();
    m_ui->capturePanel->setSettings(m_settings);
    m_ui->countersV2Panel->setSettings(m_settings);

    m_reports.setSettings(m_settings);
    m_reports.setClock([this] { return m_clock.now().toUTC(); });
    m_countersPanel->setReportSaver(&m_reports);
    m_chartsPanel->setReportSaver(&m_reports);
    m_logPanel->setReportSaver(&m_reports);
    m_timingPanel->setReportSaver(&m_reports);
    m_ui->countersV2Panel->setReportSaver(&m_reports);
    m_ui->sfpDisp->setReportSaver(&m_reports);

    for (int i = 0; i < m_ui->tabWidget->count(); ++i)
        m_tabs.append({m_ui->tabWidget->widget(i), m_ui->tabWidget->tabText(i)});

    applyCapabilities(false);
    rebuildTabs(0);

    m_worker->startLibrary();
    m_pollTimer->start();
}

MainWindow::~MainWindow()
{
    m_featuresTimer->stop();
    m_pollTimer->stop();
    delete m_worker; // stops its thread, then shuts the library down
    delete m_pollTimer;
    delete m_featuresTimer;
    delete m_vistagroveMonitor; // stops and waits for the analysis processes
    m_vistagroveMonitor = nullptr;
    delete m_settings;
    // Pages taken out of the tab widget stay its children and go with the form.
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (!m_updateInProgress) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    if (m_closeWait)
        return;
    m_closeWait = new QProgressDialog(QStringLiteral("The firmware update is still running.\n"
                                                     "LumenQuill Manager closes as soon as it has finished."),
                                      QStringLiteral("Keep Open"), 0, 100, this);
    m_closeWait->setObjectName(QStringLiteral("closeWaitDialog"));
    m_closeWait->setWindowTitle(QStringLiteral("Firmware Update"));
    m_closeWait->setWindowModality(Qt::WindowModal);
    m_closeWait->setMinimumDuration(0);
    m_closeWait->setAutoClose(false);
    m_closeWait->setAutoReset(false);
    m_closeWait->setValue(m_featuresPanel->updateProgress());
    connect(m_closeWait, &QProgressDialog::canceled, this, [this] {
        m_closeWait->deleteLater();
        m_closeWait = nullptr;
    });
    m_closeWait->show();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    placeDeviceSelector();
}

void MainWindow::placeDeviceSelector()
{
    if (m_deviceSelector)
        m_deviceSelector->move(width() - m_deviceSelector->width() - kSelectorMargin, kSelectorMargin);
}

void MainWindow::updateStats()
{
    if (m_currentHandle == kNoDeviceHandle || m_updateInProgress)
        return;
    emit signal_get_iface_status(makeRequest(m_currentHandle));
}

void MainWindow::statusUpdate(StatsThreadInfo info)
{
    if (info.handle != m_currentHandle)
        return;
    showDeviceInfo(info);
    // The PHY tables belong to the link, not to the counter format: a device
    // with configurable counters has per-port link status too.
    if (info.capabilities & (LQ_CAP_STATS_PORTS | LQ_CAP_PER_PORT_LINK))
        m_portsPanel->showStatus(info.linkStatus, info.capabilities);
    if (info.capabilities & LQ_CAP_STATS_PORTS) {
        refreshStatistics(info);
        droppedUpdate(info);
    }
    if (info.capabilities & LQ_CAP_STATS_COUNTERS_V2) {
        m_ui->countersV2Panel->refresh(info);
        // The sixteenth counter doubles as the device's hardware drop total.
        m_featuresPanel->showHardwareDrops(info.statistics.u.configurable.counters[LQ_COUNTERS_V2 - 1]);
        droppedUpdate(info);
    }
    if (info.capabilities & LQ_CAP_SFP)
        showSfpModules(info);
    if (info.capabilities & LQ_CAP_TIMING)
        m_timingPanel->timingStatusUpdate(info);
    if (info.capabilities & LQ_CAP_CONFIGURABLE)
        m_ui->capturePanel->statusUpdate(info);
}

void MainWindow::showSfpModules(const StatsThreadInfo &info)
{
    m_ui->sfpDisp->sfpUpdate(&info.linkStatus.sfp);
    auto presence = [](const SfpPortInfo &port) {
        return port.present ? QStringLiteral("Module Present") : QStringLiteral("Module Absent");
    };
    m_featuresPanel->showLinkText(presence(info.linkStatus.sfp.portA) + QStringLiteral(" / ") +
                                  presence(info.linkStatus.sfp.portB));
}

void MainWindow::refreshStatistics(const StatsThreadInfo &info)
{
    // One stamp for every line this refresh writes.
    const QString stamp = logTimestamp(m_clock.now());
    const StatisticsSample newest = StatisticsSample::from(info.statistics);

    if (newest.words[StatisticsSample::LinkUp] < m_previousSample.words[StatisticsSample::LinkUp]) {
        // The link went down and came back since the last sample: everything
        // counts afresh, the log keeps its lines.
        resetAll(false);
        if (m_linkUp) {
            m_linkUp = false;
            m_logPanel->append(linkDownLine(stamp));
        }
    } else if (!m_linkUp) {
        m_linkUp = true;
        m_logPanel->append(linkUpLine(stamp));
    }

    StatisticsSample delta;
    if (m_previousSample.isEmpty())
        m_previousSample = newest;
    else
        delta = newest - m_previousSample;
    m_previousSample = newest;
    const std::array<double, 2> usage = {bandwidthUsage(delta, 0), bandwidthUsage(delta, 1)};

    m_countersPanel->refresh(m_previousSample, usage);

    m_featuresPanel->showHardwareDrops(m_previousSample.port(0, StatisticsSample::HardwareDropped) +
                                       m_previousSample.port(1, StatisticsSample::HardwareDropped));
    m_featuresPanel->showLinkTimes(durationText(m_previousSample.words[StatisticsSample::LinkUp]),
                                   secondsText(m_previousSample.words[StatisticsSample::LastLinkDown]));

    m_logPanel->evaluateAlarms(m_previousSample, usage, stamp);
    m_chartsPanel->sample(m_previousSample, usage);
}

void MainWindow::droppedUpdate(StatsThreadInfo info)
{
    const uint32_t caps = LumenquillAPIGetDeviceCapabilities(m_currentType);
    const uint64_t dropped =
        (caps & (LQ_CAP_STATS_PORTS | LQ_CAP_STATS_COUNTERS_V2)) ? info.statistics.droppedPackets : 0;
    m_featuresPanel->showSoftwareDrops(dropped);
}

void MainWindow::showDeviceInfo(const StatsThreadInfo &info)
{
    applyCapabilities(true);
    m_featuresPanel->showDeviceStatus(deviceInformationText(info, m_currentType));
    const uint32_t caps = info.capabilities;
    if (!(caps & LQ_CAP_SFP)) {
        const bool perPort = (caps & LQ_CAP_PER_PORT_LINK) && m_deviceFeatures.tap_mode == 0;
        m_featuresPanel->showLinkText(linkText(info, perPort));
    }
}

void MainWindow::applyCapabilities(bool enable)
{
    const uint32_t caps = LumenquillAPIGetDeviceCapabilities(m_currentType);
    const bool on = enable && !m_updateInProgress;
    m_featuresPanel->applyCapabilities(caps, on);
    m_portsPanel->applyCapabilities(caps, on, m_deviceFeatures.tap_mode);
    m_ui->capturePanel->applyCapabilities(caps, on);
    m_ui->filtersPanel->applyCapabilities(caps, on);
    m_timingPanel->applyCapabilities(caps, on);
    // The SFP page's twins of the span, loopback and save controls.
    if (!(on && (caps & LQ_CAP_CONFIGURABLE)))
        m_ui->features_save_btn3->setEnabled(false);
    m_ui->spanModeCheckbox2->setEnabled(on && (caps & LQ_CAP_PORT_SPEED));
    m_ui->loopbackCheckBox2->setEnabled(on && (caps & LQ_CAP_LOOPBACK) &&
                                        m_deviceFeatures.tap_mode == PortSettings::kTapModeSpanOn);
}

void MainWindow::rebuildTabs(uint32_t caps)
{
    QTabWidget *tabs = m_ui->tabWidget;
    while (tabs->count() > 0)
        tabs->removeTab(0);
    auto add = [&](int index) { tabs->addTab(m_tabs.at(index).first, m_tabs.at(index).second); };
    if (caps & LQ_CAP_STATS_PORTS) {
        add(0);
        add(1);
        add(2);
    }
    if (caps & LQ_CAP_STATS_COUNTERS_V2)
        add(3);
    if (caps & LQ_CAP_SFP)
        add(5);
    else if (caps & LQ_CAP_PORT_SPEED)
        add(4);
    if (caps & LQ_CAP_FILTERS)
        add(6);
    if (caps & LQ_CAP_TIMING)
        add(7);
    add(8);
    if (caps & LQ_CAP_CONFIGURABLE)
        add(9);
    // Page 10, the analysis panel, is built and wired but never shown.
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == QLatin1String("Features"))
            tabs->setCurrentIndex(i);
    }
}

void MainWindow::addIface(StatsThreadInfo info)
{
    const PackedVersion driver = versionFromBytes(info.versions.driverVersion);
    const QString driverRefusal = versionRefusal(kDriverVersionCheck, driver);
    if (!driverRefusal.isEmpty()) {
        QMessageBox::critical(this, QString::fromLatin1(kDriverVersionCheck.title), driverRefusal, QMessageBox::Ok);
        return;
    }
    const QString libraryRefusal = versionRefusal(kLibraryVersionCheck, LumenquillAPIGetVersion());
    if (!libraryRefusal.isEmpty()) {
        QMessageBox::critical(this, QString::fromLatin1(kLibraryVersionCheck.title), libraryRefusal, QMessageBox::Ok);
        return;
    }

    if (m_currentHandle == kNoDeviceHandle) {
        m_currentHandle = info.handle;
        m_currentType = info.deviceType;
        m_ui->filtersPanel->setCurrentHandle(m_currentHandle);
        m_timingPanel->setCurrentHandle(m_currentHandle);
        resetAll(true);
        // The entry added below becomes the selector's current one, and
        // changeDevice switches the window to it.
        m_deviceSelector->clear();
        m_deviceSelector->setEnabled(true);
    }

    LumenquillDevice device;
    device.handle = info.handle;
    device.mac = macText(info.mac);
    device.type = info.deviceType;
    device.friendlyName = DeviceComboBox::friendlyName(*m_settings, device.mac);
    m_deviceSelector->addDevice(device, deviceModel(info.deviceType).picture);

    offerNewerFirmware(info);
}

void MainWindow::offerNewerFirmware(const StatsThreadInfo &info)
{
    // One update at a time: a device that arrives meanwhile is offered
    // nothing; it can be updated by hand afterwards.
    if (m_updateInProgress || !firmwareOfferFor(m_firmwareCatalog, info))
        return;
    m_pendingOffers.append(info);
    QTimer::singleShot(0, this, &MainWindow::offerPendingFirmware);
}

void MainWindow::offerPendingFirmware()
{
    // Offers come one at a time, over a window the operator can see, and
    // wait while an update runs.
    if (m_offerOpen || m_updateInProgress || m_pendingOffers.isEmpty() || !isVisible())
        return;
    if (!windowHandle() || !windowHandle()->isExposed()) {
        QTimer::singleShot(100, this, &MainWindow::offerPendingFirmware);
        return;
    }
    const StatsThreadInfo info = m_pendingOffers.takeFirst();
    const int entry = selectorIndexOf(info.handle);
    const auto offer = firmwareOfferFor(m_firmwareCatalog, info);
    if (entry < 0 || !offer) { // the device left before its turn
        offerPendingFirmware();
        return;
    }
    const auto device = m_deviceSelector->itemData(entry).value<LumenquillDevice>();
    QMessageBox box(QMessageBox::Question, offer->title, offer->question, QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("firmwareOfferBox"));
    box.setInformativeText(firmwareOfferDetails(info, device.friendlyName, offer->entry));
    m_offerOpen = true;
    const bool accepted = box.exec() == QMessageBox::Yes;
    m_offerOpen = false;
    // The answer may come after the device has gone.
    const int current = selectorIndexOf(info.handle);
    if (accepted && current >= 0) {
        // Progress and result belong to the device shown.
        m_deviceSelector->setCurrentIndex(current);
        m_featuresPanel->setFirmwareFile(offer->entry.name);
        startFirmwareUpdate(info.handle, offer->entry.path);
    }
    QTimer::singleShot(0, this, &MainWindow::offerPendingFirmware);
}

int MainWindow::selectorIndexOf(uint64_t handle) const
{
    for (int i = 0; i < m_deviceSelector->count(); ++i) {
        const QVariant data = m_deviceSelector->itemData(i);
        if (data.canConvert<LumenquillDevice>() && data.value<LumenquillDevice>().handle == handle)
            return i;
    }
    return -1;
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    QTimer::singleShot(0, this, &MainWindow::offerPendingFirmware);
}

void MainWindow::slot_SelectFirmware()
{
    // A cancelled dialog clears the field: no stale image is flashed by mistake.
    m_featuresPanel->setFirmwareFile(QFileDialog::getOpenFileName(
        this, tr("Open Firmware File"), QStringLiteral("/home"), QStringLiteral("LumenQuill Firmware File (*.img)")));
}

void MainWindow::userStartUpdate()
{
    startFirmwareUpdate(m_currentHandle, m_featuresPanel->firmwareFile());
}

void MainWindow::endFirmwareUpdate()
{
    m_updateInProgress = false;
    m_updatingHandle = kNoDeviceHandle;
    applyCapabilities(m_currentHandle != kNoDeviceHandle);
    QTimer::singleShot(0, this, &MainWindow::offerPendingFirmware);
}

void MainWindow::closeIfWaiting()
{
    if (!m_closeWait)
        return;
    m_closeWait->deleteLater();
    m_closeWait = nullptr;
    close();
}

void MainWindow::delIface(StatsThreadInfo info)
{
    // A device that leaves in the middle of its update will not report the
    // end of it.
    if (m_updateInProgress && info.handle == m_updatingHandle) {
        endFirmwareUpdate();
        closeIfWaiting();
    }
    for (int i = selectorIndexOf(info.handle); i >= 0; i = selectorIndexOf(info.handle))
        m_deviceSelector->removeItem(i);
    if (m_deviceSelector->count() == 0)
        showNoDevice();
}

void MainWindow::showNoDevice()
{
    m_currentHandle = kNoDeviceHandle;
    m_shownHandle = kNoDeviceHandle;
    m_ui->capturePanel->setDevice(kNoDeviceHandle, 0);
    m_ui->filtersPanel->setCurrentHandle(kNoDeviceHandle);
    m_timingPanel->setCurrentHandle(kNoDeviceHandle);
    m_featuresPanel->showNoDevice();
    applyCapabilities(false);
    m_deviceSelector->addItem(QStringLiteral("No device connected"));
    m_deviceSelector->setEnabled(false);
    m_featuresPanel->showModelPicture(deviceModel(0).picture);
}

void MainWindow::changeDevice(int index)
{
    if (index < 0 || m_currentHandle == kNoDeviceHandle) {
        rebuildTabs(0);
        m_featuresPanel->showModelPicture(deviceModel(0).picture);
        return;
    }
    const QVariant data = m_deviceSelector->itemData(index);
    if (!data.canConvert<LumenquillDevice>())
        return;
    const auto device = data.value<LumenquillDevice>();
    // The selector's index also moves when an entry above the current one
    // goes away; the device shown has not changed then, nor has its history.
    if (device.handle == m_shownHandle)
        return;
    m_shownHandle = device.handle;
    m_currentHandle = device.handle;
    m_currentType = device.type;
    labelReports(device);
    m_ui->filtersPanel->setCurrentHandle(m_currentHandle);
    m_timingPanel->setCurrentHandle(m_currentHandle);
    m_featuresPanel->showModelPicture(deviceModel(m_currentType).picture);

    const uint32_t caps = LumenquillAPIGetDeviceCapabilities(m_currentType);
    rebuildTabs(caps);
    emit signal_get_features(makeRequest(m_currentHandle));
    resetAll(true);
    m_portsPanel->resetMdiTotals();
    m_ui->capturePanel->setDevice(m_currentHandle, caps);
    if (caps & LQ_CAP_STATS_COUNTERS_V2)
        m_ui->countersV2Panel->setDevice(m_currentHandle, device.mac);
    if (caps & LQ_CAP_FILTERS) {
        emit signal_get_simplefilter(makeRequest(m_currentHandle));
        emit signal_get_dpifilter(makeRequest(m_currentHandle));
    }
    fillFirmwareVariants();
}

void MainWindow::fillFirmwareVariants()
{
    QStringList names;
    HwFirmwaresDesc list{};
    // A failed read leaves the list empty: there is nothing to choose from.
    if (LumenquillAPIGetHwFirmwaresDesc(m_currentHandle, &list) == 0) {
        const int count = qBound(0, int(list.count), LQ_MAX_HW_FIRMWARES);
        for (int i = 0; i < count; ++i) {
            const char *name = list.names[i];
            names << QString::fromLatin1(name, qsizetype(strnlen(name, LQ_HW_FIRMWARE_NAME_BYTES)));
        }
    }
    m_featuresPanel->setFirmwareVariants(names);
}

void MainWindow::featuresUpdate(StatsThreadInfo info)
{
    if (info.handle != m_currentHandle)
        return;
    m_deviceFeatures = info.features;
    m_devicePortsSpeed = info.portsSpeed;
    const uint32_t caps = LumenquillAPIGetDeviceCapabilities(m_currentType);
    m_featuresPanel->showFeatures(m_deviceFeatures, caps);
    m_portsPanel->showFeatures(m_deviceFeatures, m_devicePortsSpeed, caps);
    m_timingPanel->showFeatures(m_deviceFeatures, caps, m_featuresTimer->isActive());
    for (const auto &[box, checked] :
         {std::pair{m_ui->spanModeCheckbox2, PortSettings::spanShown(m_deviceFeatures, caps)},
          std::pair{m_ui->loopbackCheckBox2, PortSettings::loopbackShown(m_deviceFeatures, caps)}}) {
        const QSignalBlocker blocker(box);
        box->setChecked(checked);
    }
}

void MainWindow::userChangedFeatures()
{
    if (m_currentHandle == kNoDeviceHandle)
        return;
    const uint32_t caps = LumenquillAPIGetDeviceCapabilities(m_currentType);
    m_portsPanel->interlock(sender(), caps);
    m_featuresPanel->readFeatures(&m_deviceFeatures, caps);
    if (caps & LQ_CAP_SFP)
        PortSettings::storeSpanLoopback(&m_deviceFeatures, caps, m_ui->spanModeCheckbox2->isChecked(),
                                        m_ui->loopbackCheckBox2->isChecked());
    else
        m_portsPanel->readFeatures(&m_deviceFeatures, caps);
    m_timingPanel->readFeatures(&m_deviceFeatures, caps);
    // Devices without per-port link settings get their port settings back as
    // last read.
    StatsThreadInfo request = makeRequest(m_currentHandle);
    request.features = m_deviceFeatures;
    request.portsSpeed =
        (caps & LQ_CAP_PER_PORT_LINK) ? m_portsPanel->portsSpeed(m_deviceFeatures.tap_mode) : m_devicePortsSpeed;
    emit signal_set_features(request);
    emit signal_get_features(request);
    m_featuresPanel->setSaveEnabled(true);
    m_portsPanel->setSaveEnabled(true);
    m_ui->features_save_btn3->setEnabled(true);
    m_timingPanel->setSaveEnabled(true);
}

void MainWindow::slot_load_network_default()
{
    m_portsPanel->setDefaults();
    userChangedFeatures();
}

void MainWindow::userSaveFeatures()
{
    if (m_currentHandle == kNoDeviceHandle)
        return;
    emit signal_save_features(makeRequest(m_currentHandle));
    QMessageBox::information(this, QStringLiteral("Save Configuration"),
                             QStringLiteral("Configuration has been saved on the LumenQuill device."), QMessageBox::Ok);
    m_featuresPanel->setSaveEnabled(false);
    m_timingPanel->setSaveEnabled(false);
    m_portsPanel->setSaveEnabled(true);
    m_ui->features_save_btn3->setEnabled(true);
}

void MainWindow::slot_restart_device()
{
    if (m_currentHandle != kNoDeviceHandle)
        emit signal_restart_device(makeRequest(m_currentHandle));
}

void MainWindow::slot_selected_fw_changed()
{
    // Choosing a variant changes nothing until "Set".
}

void MainWindow::slot_set_fw()
{
    m_featuresPanel->holdFirmwareVariantSet();
    // The one place the GUI thread talks to the library itself; any refusal
    // ends the sequence, and "Set" stays disabled until the next features answer.
    DeviceFeatures local{};
    if (LumenquillAPIGetDeviceFeatures(m_currentHandle, &local) != 0)
        return;
    local.firmware_variant = static_cast<uint8_t>(m_featuresPanel->selectedFirmwareVariant());
    if (LumenquillAPISetDeviceFeatures(m_currentHandle, local) != 0)
        return;
    if (LumenquillAPISaveDeviceFeatures(m_currentHandle) != 0)
        return;
    slot_restart_device();
}

void MainWindow::slot_device_friendly_name_changed(LumenquillDevice dev)
{
    DeviceComboBox::storeFriendlyName(*m_settings, dev);
    if (dev.handle == m_currentHandle)
        labelReports(dev);
}

void MainWindow::labelReports(const LumenquillDevice &device)
{
    // The model as the information block heads it, without its greeting.
    QString model = deviceModel(device.type).head;
    model.remove(QStringLiteral(" Device Connected"));
    m_reports.setDevice({device.friendlyName, device.mac, model});
}

void MainWindow::resetAll(bool clearLog)
{
    m_countersPanel->counters_reset();
    m_countersPanel->clearToZero();
    m_ui->countersV2Panel->resetAll();
    m_chartsPanel->graphs_clear();
    m_chartsPanel->requestRebase();
    if (clearLog)
        m_logPanel->on_log_clear_btn_clicked();
    m_previousSample.clear();
    m_timingPanel->slot_timing_graph_reset();
}

void MainWindow::startFirmwareUpdate(uint64_t handle, const QString &path)
{
    if (handle == kNoDeviceHandle || m_updateInProgress)
        return;
    const QByteArray local = path.toLocal8Bit();
    const QString pathProblem = FirmwareUpdateTexts::pathProblem(local);
    if (!pathProblem.isEmpty()) {
        QMessageBox::critical(this, FirmwareUpdateTexts::title(), pathProblem, QMessageBox::Ok);
        return;
    }
    m_updateInProgress = true;
    m_updatingHandle = handle;
    applyCapabilities(false);
    StatsThreadInfo request = makeRequest(handle);
    std::memcpy(request.firmwarePath, local.constData(), std::size_t(local.size()) + 1);
    emit signal_start_update(request);
}

void MainWindow::updateProgress(StatsThreadInfo info)
{
    if (info.handle == m_currentHandle)
        m_featuresPanel->showUpdateProgress(int(info.updateProgress));
    if (m_closeWait && info.handle == m_updatingHandle)
        m_closeWait->setValue(int(info.updateProgress));
}

void MainWindow::updateFinished(StatsThreadInfo info)
{
    // The end of the update that holds the window, whichever device is
    // selected now, gives the controls back; only the selected device's
    // result is reported.
    const bool heldWindow = m_updateInProgress && info.handle == m_updatingHandle;
    if (heldWindow)
        endFirmwareUpdate();
    reportUpdateResult(info);
    // A close that waited for this update happens once its result has been seen.
    if (heldWindow)
        closeIfWaiting();
}

void MainWindow::reportUpdateResult(const StatsThreadInfo &info)
{
    if (info.handle != m_currentHandle)
        return;
    const QString text = FirmwareUpdateTexts::result(info.updateSucceeded);
    if (info.updateSucceeded)
        QMessageBox::information(this, FirmwareUpdateTexts::title(), text, QMessageBox::Ok);
    else
        QMessageBox::critical(this, FirmwareUpdateTexts::title(), text, QMessageBox::Ok);
}
