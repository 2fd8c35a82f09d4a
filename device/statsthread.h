// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The statistics worker: the only object that talks to the device library on
// behalf of the main window. It lives on a thread of its own; every request
// arrives as a queued slot call carrying a StatsThreadInfo and every answer
// leaves as a signal carrying one. It keeps no device state, so requests for
// different devices can be mixed freely.

#pragma once

#include "sntpclient.h"
#include "statsthreadinfo.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <vector>

class QThread;
class UpdateThread;

class StatsThread : public QObject {
    Q_OBJECT
public:
    StatsThread();
    ~StatsThread() override;

    // Registers the device callbacks and initialises the library. Call once, on
    // the GUI thread, after every signal has been connected.
    void startLibrary();

    // The time server of SNTP clock sets; the public pool unless a test
    // points it at a local server. Set before the first clock-set request.
    void setSntpServer(const QByteArray &host) { m_sntpServer = host; }

    // Called by the library on its own thread; context is the StatsThread.
    static void onNewDevice(uint64_t handle, void *context);
    static void onDeviceGone(uint64_t handle, void *context);

signals:
    void signal_add_iface(StatsThreadInfo info);
    void signal_del_iface(StatsThreadInfo info);
    void signal_status(StatsThreadInfo info);
    void signal_update_progress(StatsThreadInfo info);
    void signal_update_status(StatsThreadInfo info);
    void signal_features(StatsThreadInfo info);
    void signal_simple_filter(StatsThreadInfo info);
    void signal_DPI_filter(StatsThreadInfo info);
    void signal_sntp_failed(QString message);

public slots:
    void slot_get_iface_status(StatsThreadInfo info);
    void slot_get_features(StatsThreadInfo info);
    void slot_set_features(StatsThreadInfo info);
    void slot_save_features(StatsThreadInfo info);
    void slot_restart_device(StatsThreadInfo info);
    void slot_dd_set_config(StatsThreadInfo info);
    void slot_dd_start(StatsThreadInfo info);
    void slot_dd_stop(StatsThreadInfo info);
    void slot_set_v2counterconfig(StatsThreadInfo info);
    void slot_timing_resync(StatsThreadInfo info);
    void slot_get_simple_filter(StatsThreadInfo info);
    void slot_get_DPI_filter(StatsThreadInfo info);
    void slot_set_simple_filter(StatsThreadInfo info);
    void slot_set_DPI_filter(StatsThreadInfo info);
    void slot_save_simple_filter(StatsThreadInfo info);
    void slot_save_DPI_filter(StatsThreadInfo info);
    void slot_update_start(StatsThreadInfo info);
    void slot_update_progress(StatsThreadInfo info);
    void slot_update_status(StatsThreadInfo info);

private:
    QThread *m_thread = nullptr;
    // Updates still running; touched on the worker thread only, and by the
    // destructor once that thread has ended.
    std::vector<UpdateThread *> m_updates;
    QByteArray m_sntpServer = kSntpServer;
};
