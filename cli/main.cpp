// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// lqctl's entry point: a core application (no display needed), the
// terminal's streams, real-time waits that a SIGINT or SIGTERM cuts short.

#include "lqctl.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {
std::atomic<bool> g_stop{false};

void requestStop(int)
{
    g_stop = true;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    struct sigaction action {};
    action.sa_handler = &requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    QTextStream out(stdout);
    QTextStream err(stderr);
    Lqctl::Environment env;
    env.out = &out;
    env.err = &err;
    env.terminal = isatty(STDOUT_FILENO) == 1;
    env.stopRequested = [] { return g_stop.load(); };
    env.wait = [](int ms) {
        // In short steps, so a stop request is not kept waiting.
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!g_stop && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                std::chrono::milliseconds(50), end - std::chrono::steady_clock::now()));
    };
    QStringList arguments = app.arguments();
    arguments.removeFirst();
    const int rc = Lqctl::run(arguments, env);
    out.flush();
    err.flush();
    return rc;
}
