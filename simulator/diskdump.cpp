// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Direct capture state of one device.

#include "diskdump.h"

#include "lqsim.h"

#include <cstring>

namespace lqsim {

void DiskDump::configure(const DiskDumpConfig &config, std::string pathUtf8)
{
    m_config = config;
    m_config.path = nullptr; // borrowed, and gone once the call returns
    m_path = std::move(pathUtf8);
    m_configured = true;
}

int DiskDump::start()
{
    if (!m_configured || m_path.empty())
        return LQSIM_ERR_NOT_READY;
    m_running = true;
    return 0;
}

void DiskDump::stop()
{
    m_running = false;
}

void DiskDump::status(DiskDumpStatus *out) const
{
    std::memset(out, 0, sizeof *out);
    out->running = m_running ? 1 : 0;
}

} // namespace lqsim
