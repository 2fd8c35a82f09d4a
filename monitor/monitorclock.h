// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The wall clock of live monitoring. The chart time axis and the log's time
// stamps read it; a test or benchmark switches it to a manual clock and
// advances it, so hours of monitoring replay in seconds.

#pragma once

#include <QDateTime>

class MonitorClock {
public:
    // Local date and time: the system's, or the manual clock's.
    QDateTime now() const;

    // Stand still at `start` until advanced.
    void setManual(const QDateTime &start);
    void advance(qint64 ms);
    // Back to the system clock.
    void useSystemTime();
    bool isManual() const { return m_manual.isValid(); }

private:
    QDateTime m_manual;
};
