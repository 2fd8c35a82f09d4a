// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Counters" tab of devices with configurable counters: sixteen counter
// rows, their refresh from the worker's status records, their rules kept per
// device in the settings store and sent to the device through the worker.

#pragma once

#include "monitorclock.h"
#include "statsthreadinfo.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class CounterV2Control;
class ReportSaver;
class QSettings;

namespace Ui {
class CountersV2Panel;
}

class CountersV2Panel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCounters = LQ_COUNTERS_V2;
    // Capability bit of devices that count by configurable rules.
    static constexpr uint32_t kCapability = 0x200;

    explicit CountersV2Panel(QWidget *parent = nullptr);
    ~CountersV2Panel() override;

    Ui::CountersV2Panel *form() const { return m_ui.get(); }
    // The row of counter `index` (0 to 15): layout item index + 1 of the container.
    CounterV2Control *control(int index) const;

    // The clock the charts' time axes follow; the system clock until set.
    void setClock(const MonitorClock *clock);
    // The application's settings store (not owned); nothing is loaded or
    // saved without one.
    void setSettings(QSettings *settings);
    // Device and save dialog of the charts' exports.
    void setReportSaver(ReportSaver *saver);

    // A device with configurable counters became current: load its rules
    // (when its MAC text has the 17-character form) and send all sixteen to
    // it, one signal_set_v2counterconfig per counter in index order.
    void setDevice(uint64_t handle, const QString &mac);
    uint64_t deviceHandle() const { return m_handle; }

    // One status record of the current device; records without the
    // configurable-counter capability are ignored.
    void refresh(const StatsThreadInfo &info);
    // Every row takes a zero baseline and restarts its chart at the next refresh.
    void resetAll();

public slots:
    // A row's rule was edited: save all sixteen for the device and send that one.
    void counterV2ConfigChanged(int index);
    // "Reset All" of the tab: every total counts from the next refresh.
    void resetAllCounters();

signals:
    void signal_set_v2counterconfig(StatsThreadInfo info);

private:
    void loadSettings();
    void saveSettings();
    void sendConfig(int index);

    std::unique_ptr<Ui::CountersV2Panel> m_ui;
    std::array<CounterV2Control *, kCounters> m_controls{};
    QSettings *m_settings = nullptr;
    uint64_t m_handle = kNoDeviceHandle;
    QString m_mac;
};
