// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Test support: records what a StatsThread answers, on the test's own thread
// (queued connections, so nothing is shared with the worker or the library
// thread), and sends it requests the way the main window does.

#pragma once

#include "statsthread.h"

#include <QCoreApplication>
#include <QTest>
#include <QList>
#include <QObject>
#include <QString>

class WorkerProbe : public QObject {
    Q_OBJECT
public:
    explicit WorkerProbe(StatsThread *worker)
        : m_worker(worker)
    {
        const auto q = Qt::QueuedConnection;
        connect(worker, &StatsThread::signal_add_iface, this, [this](StatsThreadInfo i) { added.append(i); }, q);
        connect(worker, &StatsThread::signal_del_iface, this, [this](StatsThreadInfo i) { removed.append(i); }, q);
        connect(worker, &StatsThread::signal_status, this, [this](StatsThreadInfo i) { status.append(i); }, q);
        connect(worker, &StatsThread::signal_features, this, [this](StatsThreadInfo i) { features.append(i); }, q);
        connect(worker, &StatsThread::signal_simple_filter, this,
                [this](StatsThreadInfo i) { simpleFilters.append(i); }, q);
        connect(worker, &StatsThread::signal_DPI_filter, this, [this](StatsThreadInfo i) { dpiFilters.append(i); }, q);
        connect(worker, &StatsThread::signal_update_progress, this, [this](StatsThreadInfo i) {
            progress.append(i);
            order.append(QStringLiteral("progress"));
        }, q);
        connect(worker, &StatsThread::signal_update_status, this, [this](StatsThreadInfo i) {
            updateStatus.append(i);
            order.append(QStringLiteral("status"));
        }, q);
        connect(worker, &StatsThread::signal_sntp_failed, this, [this](QString m) { sntpFailures.append(m); }, q);
    }

    // Queue a request on the worker thread, as a queued signal would.
    void request(const char *slot, const StatsThreadInfo &info)
    {
        QMetaObject::invokeMethod(m_worker, slot, Qt::QueuedConnection, Q_ARG(StatsThreadInfo, info));
    }

    // Requests are handled one at a time in order, so once a filter read
    // queued after them has been answered, every earlier request is done. The
    // device must have packet filters and its filter read must not be failing.
    bool drain(uint64_t healthyHandle)
    {
        const auto before = simpleFilters.size();
        request("slot_get_simple_filter", makeRequest(healthyHandle));
        for (int i = 0; i < 500 && simpleFilters.size() == before; ++i)
            QTest::qWait(10);
        if (simpleFilters.size() == before)
            return false;
        simpleFilters.removeLast();
        return true;
    }

    QList<StatsThreadInfo> added, removed, status, features, simpleFilters, dpiFilters, progress, updateStatus;
    QStringList order;
    QStringList sntpFailures;

private:
    StatsThread *m_worker;
};
