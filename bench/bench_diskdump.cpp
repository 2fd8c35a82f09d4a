// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// How fast the simulated direct capture writes PCAP-NG files for a busy 10G
// tap, through the library as the manager drives it: each iteration is one
// simulated second. The files hold the tap's sample, so the disk figure is
// what this machine sustains for that sample, and "sim_s" says how many
// simulated seconds pass per second of wall time.

#include "lqsim.h"

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

constexpr const char *kMac = "02:4c:51:00:30:01";

void BM_DiskDump10G(benchmark::State &state)
{
    char dir[] = "/tmp/bench_diskdump.XXXXXX";
    if (!::mkdtemp(dir)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string path = std::string(dir) + "/capture.pcapng";
    const std::string scenario = std::string(R"({"devices":[{"type":12,"mac":")") + kMac +
                                 R"(","traffic":{"load":)" + std::to_string(state.range(0) / 100.0) +
                                 R"(},"disk_mbps":)" + std::to_string(state.range(1)) + "}]}";
    lqsim_use_manual_clock(1767225600000ull);
    if (lqsim_load_scenario_text(scenario.c_str()) != 0 || LumenquillAPIInitialize() != 0) {
        state.SkipWithError("simulator refused the scenario");
        return;
    }
    lqsim_advance_clock(0);
    const uint64_t handle = lqsim_handle_of(kMac);
    std::wstring widePath(path.begin(), path.end());
    DiskDumpConfig config{};
    config.fileFormat = LQ_DISK_DUMP_FORMAT_PCAPNG;
    config.path = widePath.data();
    config.bufferSize = 256ull << 20;
    LumenquillAPIDiskDumpSetConfig(handle, config);
    LumenquillAPIDiskDumpStart(handle);
    int64_t seconds = 0;
    for (auto _ : state) {
        lqsim_advance_clock(1000);
        ++seconds;
    }
    LumenquillAPIDiskDumpStop(handle);
    DiskDumpStatus status{};
    LumenquillAPIDiskDumpGetStatus(handle, &status);
    LumenquillAPIUninitialize();
    struct stat info {};
    const double fileBytes = ::stat(path.c_str(), &info) == 0 ? double(info.st_size) : 0.0;
    state.counters["file_MBps"] = benchmark::Counter(fileBytes / 1e6, benchmark::Counter::kIsRate);
    state.counters["sim_s"] = benchmark::Counter(double(seconds), benchmark::Counter::kIsRate);
    state.counters["line_MB_per_sim_s"] = double(status.writtenBytes + status.droppedBytes) / 1e6 / double(seconds);
    state.counters["dropped_share"] =
        double(status.droppedBytes) / std::max(1.0, double(status.writtenBytes + status.droppedBytes));
    ::unlink(path.c_str());
    ::rmdir(dir);
}
// Load in percent of the line, simulated disk in MB/s: the default disk drops
// most of a full line (and so writes little), a fast array keeps every sample.
BENCHMARK(BM_DiskDump10G)
    ->Args({30, 400})
    ->Args({100, 400})
    ->Args({100, 100000})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
