// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The wall clock of live monitoring; see monitorclock.h.

#include "monitorclock.h"

QDateTime MonitorClock::now() const
{
    return m_manual.isValid() ? m_manual : QDateTime::currentDateTime();
}

void MonitorClock::setManual(const QDateTime &start)
{
    m_manual = start.toLocalTime();
}

void MonitorClock::advance(qint64 ms)
{
    if (m_manual.isValid())
        m_manual = m_manual.addMSecs(ms);
}

void MonitorClock::useSystemTime()
{
    m_manual = QDateTime();
}
