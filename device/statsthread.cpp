// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The statistics worker; see statsthread.h.

#include "statsthread.h"

#include "devicereads.h"
#include "updatethread.h"

#include <QThread>

#include <algorithm>
#include <cstdlib>
#include <utility>

StatsThread::StatsThread()
{
    m_thread = new QThread;
    m_thread->start(QThread::InheritPriority);
    moveToThread(m_thread);
}

StatsThread::~StatsThread()
{
    // Requests still queued are dropped with the thread's event loop. The
    // library is shut down only once the worker can no longer call into it.
    m_thread->exit(0);
    m_thread->wait();
    // An update still running stops polling first: no library call may follow
    // the shutdown. Its thread's deferred deletion died with the worker's
    // event loop, so it is deleted here.
    for (UpdateThread *update : m_updates) {
        update->requestStop();
        update->wait();
    }
    for (UpdateThread *update : std::exchange(m_updates, {}))
        delete update;
    LumenquillAPIUninitialize();
    delete m_thread;
}

void StatsThread::startLibrary()
{
    LumenquillAPIAddNewDeviceCallback(&StatsThread::onNewDevice, this);
    LumenquillAPIAddDeviceGoneCallback(&StatsThread::onDeviceGone, this);
    LumenquillAPIInitialize();
}

void StatsThread::onNewDevice(uint64_t handle, void *context)
{
    // Runs on the library's thread: touch nothing but the local record.
    auto *self = static_cast<StatsThread *>(context);
    StatsThreadInfo info;
    if (!readDeviceIdentity(handle, info))
        return;
    emit self->signal_add_iface(info);
}

void StatsThread::onDeviceGone(uint64_t handle, void *context)
{
    auto *self = static_cast<StatsThread *>(context);
    emit self->signal_del_iface(makeRequest(handle));
}

void StatsThread::slot_get_iface_status(StatsThreadInfo request)
{
    // A failed read anywhere drops the whole reply: the window sees a missed
    // poll and the next tick asks again.
    StatsThreadInfo info;
    if (!readDeviceStatus(request.handle, info))
        return;
    emit signal_status(info);
}

void StatsThread::slot_get_features(StatsThreadInfo info)
{
    if (LumenquillAPIGetDeviceFeatures(info.handle, &info.features) != 0)
        return;
    if (LumenquillAPIGetDevicePortsSpeed(info.handle, &info.portsSpeed) != 0)
        return;
    emit signal_features(info);
}

void StatsThread::slot_set_features(StatsThreadInfo info)
{
    // Port speeds follow only features the device accepted.
    if (LumenquillAPISetDeviceFeatures(info.handle, info.features) == 0)
        LumenquillAPISetDevicePortsSpeed(info.handle, info.portsSpeed);
}

void StatsThread::slot_save_features(StatsThreadInfo info)
{
    LumenquillAPISaveDeviceFeatures(info.handle);
}

void StatsThread::slot_restart_device(StatsThreadInfo info)
{
    LumenquillAPIRestartDevice(info.handle);
}

void StatsThread::slot_dd_set_config(StatsThreadInfo info)
{
    // The path was allocated by the capture panel for exactly this request; the
    // library only borrows it, so it is released here whatever the answer.
    LumenquillAPIDiskDumpSetConfig(info.handle, info.diskDumpConfig);
    std::free(info.diskDumpConfig.path);
}

void StatsThread::slot_dd_start(StatsThreadInfo info)
{
    LumenquillAPIDiskDumpStart(info.handle);
}

void StatsThread::slot_dd_stop(StatsThreadInfo info)
{
    LumenquillAPIDiskDumpStop(info.handle);
}

void StatsThread::slot_set_v2counterconfig(StatsThreadInfo info)
{
    LumenquillAPISetCounterV2(info.handle, info.counterV2Config);
}

void StatsThread::slot_timing_resync(StatsThreadInfo info)
{
    if (info.timingTimeSet.source != LQ_TIME_SOURCE_SNTP) {
        LumenquillAPISetTimingTime(info.handle, info.timingTimeSet);
        return;
    }
    // Polls wait while the clock is asked for.
    uint32_t seconds = 0;
    if (sntpWholeSecond(m_sntpServer.constData(), &seconds)) {
        info.timingTimeSet.seconds = seconds;
        info.timingTimeSet.secondsAgain = seconds;
        LumenquillAPISetTimingTime(info.handle, info.timingTimeSet);
        return;
    }
    emit signal_sntp_failed(QStringLiteral("Failed to get time from SNTP server"));
}

void StatsThread::slot_get_simple_filter(StatsThreadInfo info)
{
    if (LumenquillAPIGetPacketFilter(info.handle, &info.packetFilter) == 0)
        emit signal_simple_filter(info);
}

void StatsThread::slot_get_DPI_filter(StatsThreadInfo info)
{
    if (LumenquillAPIGetDpiFilter(info.handle, &info.dpiFilter) == 0)
        emit signal_DPI_filter(info);
}

void StatsThread::slot_set_simple_filter(StatsThreadInfo info)
{
    LumenquillAPISetPacketFilter(info.handle, info.packetFilter);
}

void StatsThread::slot_set_DPI_filter(StatsThreadInfo info)
{
    LumenquillAPISetDpiFilter(info.handle, info.dpiFilter);
}

void StatsThread::slot_save_simple_filter(StatsThreadInfo info)
{
    LumenquillAPISavePacketFilter(info.handle);
}

void StatsThread::slot_save_DPI_filter(StatsThreadInfo info)
{
    LumenquillAPISaveDpiFilter(info.handle);
}

void StatsThread::slot_update_start(StatsThreadInfo info)
{
    // Not limited to one update: the window disables its flash control while an
    // update runs. The thread deletes itself when run() returns.
    auto *update = new UpdateThread(nullptr);
    m_updates.push_back(update);
    connect(update, &QObject::destroyed, this, [this, update] {
        m_updates.erase(std::remove(m_updates.begin(), m_updates.end(), update), m_updates.end());
    });
    connect(update, &UpdateThread::signal_update_status, this, &StatsThread::slot_update_status);
    connect(update, &UpdateThread::signal_update_progress, this, &StatsThread::slot_update_progress);
    update->setInfo(info);
    update->start(QThread::InheritPriority);
}

void StatsThread::slot_update_progress(StatsThreadInfo info)
{
    emit signal_update_progress(info);
}

void StatsThread::slot_update_status(StatsThreadInfo info)
{
    emit signal_update_status(info);
}
