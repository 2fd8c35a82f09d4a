// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Direct capture of one device to files on the workstation: its configuration
// and whether it runs. The capture writer itself plugs in here.

#pragma once

#include "lumenquillapi.h"

#include <string>

namespace lqsim {

class DiskDump {
public:
    // The manager frees the configuration's path right after the call, so the
    // path is copied (as UTF-8) before this returns. pathUtf8 is the already
    // converted path.
    void configure(const DiskDumpConfig &config, std::string pathUtf8);
    bool configured() const { return m_configured; }
    // The configuration as last set, its path pointer cleared.
    const DiskDumpConfig &config() const { return m_config; }
    const std::string &path() const { return m_path; }

    // LQSIM_ERR_NOT_READY without a configuration; starting twice is harmless.
    int start();
    void stop();
    bool running() const { return m_running; }
    void status(DiskDumpStatus *out) const;

private:
    bool m_configured = false;
    bool m_running = false;
    DiskDumpConfig m_config{};
    std::string m_path;
};

} // namespace lqsim
