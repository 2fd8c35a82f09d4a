// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The firmware update thread; see updatethread.h.

#include "updatethread.h"

namespace {
constexpr unsigned long kPollIntervalMs = 1000;
constexpr int kPollSteps = 20;
} // namespace

UpdateThread::UpdateThread(QObject *parent) : QThread(parent)
{
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void UpdateThread::setInfo(const StatsThreadInfo &info)
{
    m_info = info;
}

std::vector<wchar_t> UpdateThread::widePath(const char *path, std::size_t capacity)
{
    std::vector<wchar_t> wide;
    for (std::size_t i = 0; i < capacity && path[i] != '\0'; ++i)
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(path[i])));
    wide.push_back(L'\0');
    return wide;
}

void UpdateThread::run()
{
    const std::vector<wchar_t> path = widePath(m_info.firmwarePath, sizeof m_info.firmwarePath);
    if (LumenquillAPIFirmwareUpdateStart(m_info.handle, path.data()) != 0) {
        m_info.updateSucceeded = 0;
        emit signal_update_status(m_info);
        return;
    }

    uint32_t percent = 0;
    int answer = 0;
    do {
        answer = LumenquillAPIFirmwareUpdateGetProgress(m_info.handle, &percent);
        m_info.updateProgress = percent;
        emit signal_update_progress(m_info);
        // A second between polls, in steps short enough that a stop request
        // (the manager closing) is not kept waiting.
        for (int step = 0; step < kPollSteps && !m_stop; ++step)
            msleep(kPollIntervalMs / kPollSteps);
        if (m_stop)
            return;
    } while (answer == LQ_FIRMWARE_UPDATE_RUNNING);

    m_info.updateProgress = percent;
    m_info.updateSucceeded = answer == 0 ? 1 : 0;
    emit signal_update_progress(m_info);
    emit signal_update_status(m_info);
}
