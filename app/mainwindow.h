// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The main window: owner of the worker, the settings store, the timers, the
// current device and the tab rule. It routes every reply of the worker to the
// panels; the panels own their tabs.

#pragma once

#include "firmwarecatalog.h"
#include "lumenquilldevice.h"
#include "monitorclock.h"
#include "reportsaver.h"
#include "statisticssample.h"
#include "statsthreadinfo.h"

#include <QList>
#include <QMainWindow>
#include <QPair>

#include <memory>

class ChartsPanel;
class CountersPanel;
class DeviceComboBox;
class FeaturesPanel;
class LogPanel;
class NetworkPortsPanel;
class QProgressDialog;
class QSettings;
class QTimer;
class StatsThread;
class TimingPanel;
class VistagroveMonitor;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    uint64_t currentHandle() const { return m_currentHandle; }
    uint32_t currentType() const { return m_currentType; }
    bool updateInProgress() const { return m_updateInProgress; }
    DeviceComboBox *deviceSelector() const { return m_deviceSelector; }
    StatsThread *worker() const { return m_worker; }
    // The wall clock of the charts and the log; tests and benchmarks drive it.
    MonitorClock *monitorClock() { return &m_clock; }

    // Asks the worker to write a firmware image to a device. Refuses (with a
    // message) a path whose 8-bit form does not fit the request.
    void startFirmwareUpdate(uint64_t handle, const QString &path);

signals:
    void signal_get_features(StatsThreadInfo info);
    void signal_get_iface_status(StatsThreadInfo info);
    void signal_set_features(StatsThreadInfo info);
    void signal_save_features(StatsThreadInfo info);
    void signal_restart_device(StatsThreadInfo info);
    void signal_start_update(StatsThreadInfo info);
    void signal_dd_set_config(StatsThreadInfo info);
    void signal_dd_start(StatsThreadInfo info);
    void signal_dd_stop(StatsThreadInfo info);
    void signal_timing_resync(StatsThreadInfo info);
    void signal_set_v2counterconfig(StatsThreadInfo info);
    void signal_get_simplefilter(StatsThreadInfo info);
    void signal_get_dpifilter(StatsThreadInfo info);
    void signal_set_simplefilter(StatsThreadInfo info);
    void signal_set_dpifilter(StatsThreadInfo info);
    void signal_save_simplefilter(StatsThreadInfo info);
    void signal_save_dpifilter(StatsThreadInfo info);

public slots:
    void updateStats();
    void statusUpdate(StatsThreadInfo info);
    void addIface(StatsThreadInfo info);
    void delIface(StatsThreadInfo info);
    void changeDevice(int index);
    void slot_device_friendly_name_changed(LumenquillDevice dev);
    void resetAll(bool clearLog);
    void droppedUpdate(StatsThreadInfo info);
    void updateProgress(StatsThreadInfo info);
    void updateFinished(StatsThreadInfo info);
    void featuresUpdate(StatsThreadInfo info);
    void userChangedFeatures();
    void userSaveFeatures();
    void slot_restart_device();
    void slot_selected_fw_changed();
    void slot_set_fw();
    void slot_load_network_default();
    void slot_SelectFirmware();
    void userStartUpdate();

protected:
    void resizeEvent(QResizeEvent *event) override;
    // A firmware update never loses its manager half-way: closing waits for
    // it, with its progress shown, unless the operator keeps the window open.
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void showDeviceInfo(const StatsThreadInfo &info);
    // The once-a-second refresh of counters, gauges, log and charts from a
    // status record in the port-counter format.
    void refreshStatistics(const StatsThreadInfo &info);
    // SFP devices: the modules' own report, and their presence as the link text.
    void showSfpModules(const StatsThreadInfo &info);
    void applyCapabilities(bool enable);
    void rebuildTabs(uint32_t caps);
    void placeDeviceSelector();
    void showNoDevice();
    void fillFirmwareVariants();
    void endFirmwareUpdate();
    // The result box of an update, for the selected device only.
    void reportUpdateResult(const StatsThreadInfo &info);
    // Closes the window when a close was waiting for the update just ended.
    void closeIfWaiting();
    // The firmware catalog's offer of a newer image for an arriving device;
    // nothing is offered until the manager carries a catalog. Offers queue up
    // and are asked one at a time once the window is on screen.
    void offerNewerFirmware(const StatsThreadInfo &info);
    void offerPendingFirmware();
    int selectorIndexOf(uint64_t handle) const;
    // The current device as the exports name it.
    void labelReports(const LumenquillDevice &device);

    std::unique_ptr<Ui::MainWindow> m_ui;
    FeaturesPanel *m_featuresPanel = nullptr;
    CountersPanel *m_countersPanel = nullptr;
    ChartsPanel *m_chartsPanel = nullptr;
    LogPanel *m_logPanel = nullptr;
    NetworkPortsPanel *m_portsPanel = nullptr;
    TimingPanel *m_timingPanel = nullptr;
    StatsThread *m_worker = nullptr;
    QTimer *m_pollTimer = nullptr;
    QTimer *m_featuresTimer = nullptr;
    QSettings *m_settings = nullptr;
    // The device and folders of every export the panels offer.
    ReportSaver m_reports;
    VistagroveMonitor *m_vistagroveMonitor = nullptr;
    DeviceComboBox *m_deviceSelector = nullptr;
    QList<QPair<QWidget *, QString>> m_tabs; // every page with its title, in form order

    uint64_t m_currentHandle = kNoDeviceHandle;
    uint64_t m_shownHandle = kNoDeviceHandle; // the device the tabs were last set up for
    uint32_t m_currentType = 0;
    bool m_updateInProgress = false;
    uint64_t m_updatingHandle = kNoDeviceHandle;
    QProgressDialog *m_closeWait = nullptr; // shown while a close waits for the update
    QList<StatsThreadInfo> m_pendingOffers; // arrivals the catalog has a newer image for
    bool m_offerOpen = false;
    FirmwareCatalog m_firmwareCatalog;
    DeviceFeatures m_deviceFeatures{};     // the selected device's features as last read
    DevicePortsSpeed m_devicePortsSpeed{}; // and its port settings

    MonitorClock m_clock;
    StatisticsSample m_previousSample; // sample time 0: no previous sample
    bool m_linkUp = false;
};
