// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// lqctl, the command-line companion of the manager: one command per run, on
// the same device library, records and texts as the window. The entry point
// takes its streams and waits from outside so that tests run it in-process
// against the simulator and drive its clock.

#pragma once

#include <QStringList>
#include <QTextStream>

#include <functional>

namespace Lqctl {

enum ExitCode { Ok = 0, DeviceRefused = 1, BadUsage = 2 };

struct Environment {
    QTextStream *out = nullptr;
    QTextStream *err = nullptr;
    // Progress bars on a terminal, plain lines otherwise.
    bool terminal = false;
    // Lets `ms` milliseconds pass between two reads of a device.
    std::function<void(int ms)> wait;
    // True once the command should end (SIGINT/SIGTERM).
    std::function<bool()> stopRequested;
    // How long the arrivals must be quiet, and the bound on the whole wait.
    int settleQuietMs = 300;
    int settleMaxMs = 5000;
    // Monitor polls to make before returning; 0 runs until stopped.
    long long monitorPolls = 0;
};

int run(const QStringList &arguments, const Environment &environment);

// The top-level help text.
QString usage();

} // namespace Lqctl
