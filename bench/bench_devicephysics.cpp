// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What a statistics poll of the simulated hardware costs: it must not depend
// on the line rate (10 Gbit/s no dearer than 10 Mbit/s), and replaying hours of
// simulator clock in one read must stay cheap, so tests can do it freely.

#include "devicephysics.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <string>

namespace {

constexpr uint64_t kPowerOn = 1764892800000ull;
constexpr uint32_t kCopperCaps = 0x1 | 0x4 | 0x10 | 0x100 | 0x400 | 0x800 | 0x8000;

std::unique_ptr<lqsim::DevicePhysics> makeDevice(const char *media, bool forced10M)
{
    std::string error;
    const auto json = nlohmann::json::parse(std::string(R"({"ports":{"media":")") + media + R"("}})");
    auto settings = lqsim::DevicePhysics::parse(json, &error);
    auto device = std::make_unique<lqsim::DevicePhysics>(settings, kCopperCaps, 7, kPowerOn);
    DeviceFeatures features{};
    features.tap_mode = 1;
    DevicePortsSpeed ports{};
    for (PortSpeedSettings *p : {&ports.portA, &ports.portB}) {
        if (forced10M) {
            p->speed_10_full = 1;
        } else {
            p->auto_negotiation = 1;
            p->speed_1000_full = p->speed_100_full = p->speed_10_full = 1;
        }
    }
    device->configure(features, ports, kPowerOn);
    return device;
}

// One poll a second, as the manager does; arg 0 = 10 Mbit/s, 1 = 10 Gbit/s.
void BM_PollOncePerSecond(benchmark::State &state)
{
    auto device = state.range(0) ? makeDevice("10G", false) : makeDevice("copper", true);
    DeviceStatistics stats{};
    uint64_t now = kPowerOn;
    for (auto _ : state) {
        now += 1000;
        device->statistics(now, &stats);
        benchmark::DoNotOptimize(stats);
    }
}
BENCHMARK(BM_PollOncePerSecond)->Arg(0)->Arg(1);

// Ten hours of clock in a single read.
void BM_ReplayTenHours(benchmark::State &state)
{
    DeviceStatistics stats{};
    for (auto _ : state) {
        state.PauseTiming();
        auto device = makeDevice("10G", false);
        state.ResumeTiming();
        device->statistics(kPowerOn + 10ull * 3600 * 1000, &stats);
        benchmark::DoNotOptimize(stats);
    }
}
BENCHMARK(BM_ReplayTenHours)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
