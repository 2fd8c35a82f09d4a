// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// One firmware update of one device, on a short-lived thread of its own. It
// reports progress about once a second and exactly one final status, always
// last, then deletes itself.

#pragma once

#include "statsthreadinfo.h"

#include <QThread>

#include <atomic>
#include <vector>

class UpdateThread : public QThread {
    Q_OBJECT
public:
    explicit UpdateThread(QObject *parent = nullptr);

    void setInfo(const StatsThreadInfo &info);

    // Stops polling the update's progress at the next step and returns without
    // a status report; the device goes on with its update on its own. Any
    // thread may call it; the caller then waits for the thread to finish.
    void requestStop() { m_stop = true; }

    // The library's wide form of a path: every byte up to the first NUL becomes
    // one wide character of the same value.
    static std::vector<wchar_t> widePath(const char *path, std::size_t capacity);

signals:
    void signal_update_progress(StatsThreadInfo info);
    void signal_update_status(StatsThreadInfo info);

protected:
    void run() override;

private:
    StatsThreadInfo m_info{};
    std::atomic<bool> m_stop{false};
};
