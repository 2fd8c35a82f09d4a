// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Test support: records what a StatsThread answers, on the test's own thread
// (queued connections share nothing with the worker), and sends it requests
// the way the main window does.

#pragma once

#include "statsthread.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTest>

class WorkerProbe : public QObject {
    Q_OBJECT
public:
    explicit WorkerProbe(StatsThread *worker)
        : m_worker(worker)
    {
        const auto keep = [this](auto signal, QList<StatsThreadInfo> *list, const QString &note = {}) {
            connect(m_worker, signal, this, [this, list, note](StatsThreadInfo i) {
                list->append(i);
                if (!note.isEmpty())
                    order.append(note);
            }, Qt::QueuedConnection);
        };
        keep(&StatsThread::signal_add_iface, &added);
        keep(&StatsThread::signal_del_iface, &removed);
        keep(&StatsThread::signal_status, &status);
        keep(&StatsThread::signal_features, &features);
        keep(&StatsThread::signal_simple_filter, &simpleFilters);
        keep(&StatsThread::signal_DPI_filter, &dpiFilters);
        keep(&StatsThread::signal_update_progress, &progress, QStringLiteral("progress"));
        keep(&StatsThread::signal_update_status, &updateStatus, QStringLiteral("status"));
        connect(worker, &StatsThread::signal_sntp_failed, this, [this](QString m) { sntpFailures.append(m); },
                Qt::QueuedConnection);
    }

    // Queue a request on the worker thread, as a queued signal would.
    void request(const char *slot, const StatsThreadInfo &info)
    {
        QMetaObject::invokeMethod(m_worker, slot, Qt::QueuedConnection, Q_ARG(StatsThreadInfo, info));
    }

    // Requests are handled one at a time in order, so once a filter read queued
    // after them is answered, every earlier one is done. The device must have
    // packet filters and its filter read must not be failing.
    bool drain(uint64_t healthyHandle)
    {
        const auto before = simpleFilters.size();
        request("slot_get_simple_filter", makeRequest(healthyHandle));
        if (!QTest::qWaitFor([&] { return simpleFilters.size() > before; }, 5000))
            return false;
        simpleFilters.removeLast();
        return true;
    }

    // Forgets every answer recorded so far; a long run that only counts them
    // calls this after each step, or the records pile up for ever.
    void clear()
    {
        for (QList<StatsThreadInfo> *list :
             {&added, &removed, &status, &features, &simpleFilters, &dpiFilters, &progress, &updateStatus})
            list->clear();
        order.clear();
        sntpFailures.clear();
    }

    QList<StatsThreadInfo> added, removed, status, features, simpleFilters, dpiFilters, progress, updateStatus;
    QStringList order;
    QStringList sntpFailures;

private:
    StatsThread *m_worker;
};
