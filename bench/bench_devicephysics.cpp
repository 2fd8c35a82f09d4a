// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What a statistics poll of the simulated hardware costs: it must not depend
// on the line rate (10 Gbit/s no dearer than 10 Mbit/s), also with all sixteen
// counters, the header filter and the pattern filter at work on the sampled
// packets; replaying hours of simulator clock in one read must stay cheap, so
// tests can do it freely.

#include "devicephysics.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kPowerOn = 1764892800000ull;
constexpr uint32_t kCopperCaps = 0x1 | 0x4 | 0x10 | 0x100 | 0x400 | 0x800 | 0x8000;
constexpr uint32_t kCounterCaps = 0x1 | 0x4 | 0x10 | 0x80 | 0x200 | 0x400 | 0x800 | 0x8000;

std::unique_ptr<lqsim::DevicePhysics> makeDevice(const char *media, bool forced10M, uint32_t caps = kCopperCaps)
{
    std::string error;
    const auto json = nlohmann::json::parse(std::string(R"({"ports":{"media":")") + media + R"("}})");
    auto settings = lqsim::DevicePhysics::parse(json, &error);
    auto device = std::make_unique<lqsim::DevicePhysics>(settings, caps, 7, kPowerOn);
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

// Sixteen rules that each look at a different part of the headers, a header
// filter and a pattern filter that must search every frame it is shown.
void configureClassifiers(lqsim::DevicePhysics &device)
{
    for (uint32_t i = 0; i < LQ_COUNTERS_V2; ++i) {
        CounterV2Config c{};
        c.index = i;
        c.ipv4 = i % 3 == 0 ? 1 : -1;
        c.ipv6 = i % 3 == 1 ? 1 : -1;
        c.broadcast = c.multicast = c.unicast = c.icmp = c.crcValid = c.dropped = -1;
        c.udp = i % 2 ? 1 : -1;
        c.tcp = i % 4 == 2 ? 1 : -1;
        c.sizeMode = int32_t(i % 4) - 1;
        c.size = 512;
        if (c.ipv4 == 1) {
            const uint8_t net[4] = {0, 1, 20, 10}; // 10.20.1.0/24, last byte first
            std::memcpy(c.address, net, 4);
            std::memset(c.mask + 1, 0xff, 3);
        }
        c.portA = 1;
        c.portB = i % 2;
        c.countingMode = int32_t(i % 2);
        device.setCounterV2(c, kPowerOn);
    }
    PacketFilter filter{};
    filter.enabled = 1;
    filter.fields = LQ_FILTER_SRC_PORT;
    filter.modes = LQ_FILTER_MODE_PORT;
    filter.src_port = 443;
    filter.port_mask = 0xc;
    device.setPacketFilter(filter, kPowerOn);
    DpiFilter dpi{};
    dpi.enabled = 1;
    std::memcpy(dpi.pattern, "\x17\x03\x03", 3);
    dpi.pattern_mask = 0x7;
    device.setDpiFilter(dpi, kPowerOn);
}

// The same poll with every classifier configured; arg as above.
void BM_PollClassifiedOncePerSecond(benchmark::State &state)
{
    auto device = state.range(0) ? makeDevice("10G", false, kCounterCaps) : makeDevice("copper", true, kCounterCaps);
    configureClassifiers(*device);
    DeviceStatistics stats{};
    uint64_t now = kPowerOn;
    for (auto _ : state) {
        now += 1000;
        device->statistics(now, &stats);
        benchmark::DoNotOptimize(stats);
    }
}
BENCHMARK(BM_PollClassifiedOncePerSecond)->Arg(0)->Arg(1);

// A capture writer's second at 10 Gbit/s: the passed packets of both ports,
// built byte for byte with their FCS.
void BM_TakeCapturedSecond(benchmark::State &state)
{
    auto device = makeDevice("10G", false);
    device->openCaptureTap(kPowerOn);
    std::vector<lqsim::CapturedPacket> packets;
    uint64_t now = kPowerOn;
    size_t taken = 0;
    for (auto _ : state) {
        packets.clear();
        for (int port = 0; port < 2; ++port)
            device->takeCapturedPackets(port, now, now + 1000, &packets);
        now += 1000;
        taken += packets.size();
    }
    state.counters["packets/s"] = benchmark::Counter(double(taken) / double(state.iterations()));
}
BENCHMARK(BM_TakeCapturedSecond);

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
