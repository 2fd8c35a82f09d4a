// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Timing" tab: GPS, PPS, oscillator and device clock status, the chart of
// the deviation from PPS, the timestamp and PPS settings (part of the device's
// features record, applied and saved by the main window) and the clock set
// from GPS or SNTP.

#pragma once

#include "reportsaver.h"
#include "statsthreadinfo.h"
#include "timingtexts.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QAbstractButton;
class QComboBox;
class QLabel;

namespace Ui {
class TimingPanel;
}

class TimingPanel : public QWidget {
    Q_OBJECT
public:
    explicit TimingPanel(QWidget *parent = nullptr);
    ~TimingPanel() override;

    Ui::TimingPanel *form() const { return m_ui.get(); }
    // Device and save dialog of the chart's exports; a saver of its own until set.
    void setReportSaver(ReportSaver *saver) { m_reports = saver ? saver : &m_ownReports; }

    // The device the panel shows and sets the clock of; kNoDeviceHandle for
    // none. Another device greys the bullets until its first status.
    void setCurrentHandle(uint64_t handle);
    // Wall-clock seconds since 1970 for the chart's time axis; the system
    // clock unless set (the main window passes its monitoring clock).
    void setClock(std::function<qint64()> secondsSinceEpoch);

    // The boxes whose clicked() and the combo boxes whose
    // currentIndexChanged(int) run the main window's apply.
    QList<QAbstractButton *> applyButtons() const;
    QList<QComboBox *> applyComboBoxes() const;

    // Takes the timing fields into the features record (devices with the
    // timing capability only); every other field stays as last read.
    void readFeatures(DeviceFeatures *features, uint32_t caps) const;
    // Shows the device's timing fields; program changes, not operator
    // actions. While `debounceRunning` (the operator is still moving the PPS
    // slider) the slider keeps its position.
    void showFeatures(const DeviceFeatures &features, uint32_t caps, bool debounceRunning);

    // Enables the tab's controls; `on` is false without a device or while a
    // firmware update runs. TimingSave is only ever disabled here.
    void applyCapabilities(uint32_t caps, bool on);
    // Save becomes usable after an apply and unusable after a save.
    void setSaveEnabled(bool enabled);

signals:
    // The operator clicked "Save".
    void signal_save_clicked();
    // A clock-set request for the worker's slot_timing_resync.
    void signal_timing_resync(StatsThreadInfo info);
    // The operator moved the PPS slider: restart the one-second apply timer.
    void signal_pps_delay_changed(int value);

public slots:
    void timingStatusUpdate(StatsThreadInfo info);
    void timingPPSDelayChanged(int value);
    void on_TimingSetGPSTime_clicked();
    void on_TimingSetSNTPTime_clicked();
    void slot_timing_graph_reset();
    void slot_sntp_failed(QString message);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void requestClockSet(uint32_t source);
    void fitValueAxis();
    void showNoStatus();
    static void setBullet(QLabel *bullet, const char *picture);

    std::unique_ptr<Ui::TimingPanel> m_ui;
    ReportSaver m_ownReports;
    ReportSaver *m_reports = &m_ownReports;
    uint64_t m_handle = kNoDeviceHandle;
    std::function<qint64()> m_clock;
    QString m_initialSats;
    QString m_initialSource;
    QString m_initialTime;
    bool m_replotWhenShown = false; // the chart changed while another tab was shown
};
