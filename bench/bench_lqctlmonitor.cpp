// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The cost of `lqctl monitor` on the default scenario's three taps:
//   1. 24 simulated hours at one poll a second on the simulator's manual
//      clock: resident memory after a warm-up hour and at the end;
//   2. a real-time run (default 60 s, first argument to change it) at one
//      poll a second: CPU time of the monitor loop's thread (getrusage),
//      and of the whole process, simulator thread included.
// Exits 1 when memory grows by more than 1 MB or the loop takes 1 % of a core.

#include "lqctl.h"
#include "lqsim.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace {

long residentKilobytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int realSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QTemporaryDir dir;
    QString out, err;
    QTextStream outStream(&out), errStream(&err);

    constexpr long long kDayPolls = 24 * 3600;
    constexpr long long kWarmUpPolls = 3600;
    long long polls = 0;
    long warmKb = 0;
    lqsim_use_manual_clock(0);
    Lqctl::Environment simulated;
    simulated.out = &outStream;
    simulated.err = &errStream;
    simulated.settleQuietMs = 200;
    simulated.monitorPolls = kDayPolls;
    simulated.stopRequested = [] { return false; };
    simulated.wait = [&](int ms) {
        if (++polls == kWarmUpPolls)
            warmKb = residentKilobytes();
        lqsim_advance_clock(uint64_t(ms));
    };
    const auto start = std::chrono::steady_clock::now();
    if (Lqctl::run({"monitor", "--textfile-dir", dir.path(), "--interval", "1"}, simulated) != 0) {
        std::fprintf(stderr, "monitor failed: %s\n", qPrintable(err));
        return 2;
    }
    const long endKb = residentKilobytes();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("24 h simulated (%lld polls, %.0f s wall): resident %ld kB after warm-up, %ld kB at the end, "
                "growth %ld kB\n",
                kDayPolls, wall, warmKb, endKb, endKb - warmKb);

    lqsim_use_real_clock();
    Lqctl::Environment real = simulated;
    real.monitorPolls = realSeconds;
    real.wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    const double threadBefore = cpuSeconds(RUSAGE_THREAD), processBefore = cpuSeconds(RUSAGE_SELF);
    const auto realStart = std::chrono::steady_clock::now();
    Lqctl::run({"monitor", "--textfile-dir", dir.path(), "--interval", "1"}, real);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart).count();
    const double loopShare = 100.0 * (cpuSeconds(RUSAGE_THREAD) - threadBefore) / elapsed;
    const double processShare = 100.0 * (cpuSeconds(RUSAGE_SELF) - processBefore) / elapsed;
    std::printf("real time, 3 devices, 1 poll/s over %.0f s: monitor loop %.3f %% of one core "
                "(whole process with the simulated devices %.3f %%)\n",
                elapsed, loopShare, processShare);
    const bool ok = endKb - warmKb <= 1024 && loopShare < 1.0;
    std::printf("%s\n", ok ? "within budget" : "OVER BUDGET");
    return ok ? 0 : 1;
}
