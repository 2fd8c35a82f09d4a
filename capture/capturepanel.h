// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Capture" tab: builds the direct capture configuration of the selected
// device, starts and stops the capture through the statistics worker, and
// shows the progress figures of each status poll. The main window chains the
// three request signals to the worker and feeds the panel the device and the
// status records.

#pragma once

#include "statsthreadinfo.h"

#include <QWidget>

#include <cstdint>
#include <memory>

class QSettings;

namespace Ui {
class CapturePanel;
}

class CapturePanel : public QWidget {
    Q_OBJECT
public:
    explicit CapturePanel(QWidget *parent = nullptr);
    ~CapturePanel() override;

    Ui::CapturePanel *form() const { return m_ui.get(); }

    // The store of the remembered output file; loads it now (the documents
    // folder's capture.pcapng when none is remembered). Not owned.
    void setSettings(QSettings *settings);

    // A device became the current one (kNoDeviceHandle: none). Rebuilds the
    // format list; another handle also forgets the previous device's capture
    // state, figures and reported error.
    void setDevice(uint64_t handle, uint32_t caps);

    // Enables the start button for a device with these capabilities; `on` is
    // false without a device or while a firmware update runs.
    void applyCapabilities(uint32_t caps, bool on);

    // The disk-dump part of a status record of the current device. Records of
    // other devices, and of devices without capture, are ignored.
    void statusUpdate(const StatsThreadInfo &info);

    // The device's capture state as its last status reported it.
    bool captureRunning() const { return m_running; }

signals:
    // The set-config record owns a path allocated with wcsdup; the worker
    // frees it. Exactly one copy of it must reach the worker.
    void signal_dd_set_config(StatsThreadInfo info);
    void signal_dd_start(StatsThreadInfo info);
    void signal_dd_stop(StatsThreadInfo info);

public slots:
    void on_capture_start_btn_clicked();
    void on_capture_filetype_currentIndexChanged(int index);
    void slot_capture_browse();
    void on_maxCacheSizeTrackBar_valueChanged(int value);

private:
    StatsThreadInfo configRequest() const;
    // True when the output folder exists, or the operator had it made now.
    bool prepareFolder(const QString &folder);
    void saveLocation();
    void lockSettings(bool locked);
    void showIdle();

    std::unique_ptr<Ui::CapturePanel> m_ui;
    QSettings *m_settings = nullptr;
    uint64_t m_handle = kNoDeviceHandle;
    uint32_t m_caps = 0;
    bool m_running = false;
    int32_t m_lastError = 0;
    // Set by Start until a status shows the capture running or failed, so a
    // retry that fails with the same code as before is still reported.
    bool m_startPending = false;
    QString m_startedFile; // the output file of the last start, for its error report
};
