// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The simulated hardware of one device: its traffic, links, PHYs, SFP modules
// and GPS receiver. Everything is a function of the simulator clock and a seed,
// so a test that replays hours of traffic costs no more than one poll, and two
// runs with the same seed and clock give the same numbers. Not thread-safe:
// the simulator core serialises every call under its own lock.

#pragma once

#include "lumenquillapi.h"
#include "packetledger.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lqsim {

struct PhysicsSettings; // defined in devicephysics.cpp

class DevicePhysics {
public:
    // Reads the physical part of one scenario device (its "ports", "traffic",
    // "sfp" and "gps" members; absent members take believable defaults).
    // On a bad value it answers nullptr and sets *error to
    // "<json path>: <what is wrong>", e.g. "traffic.a.load: must be between 0 and 1".
    static std::shared_ptr<const PhysicsSettings> parse(const nlohmann::json &device, std::string *error);
    // Defaults for a device that the scenario describes no further.
    static std::shared_ptr<const PhysicsSettings> defaults();

    // A device powered on at powerOnMs (simulator clock). capabilities decides
    // the statistics format (0x100 ports, 0x200 configurable counters), whether
    // there is a GPS (0x8) and whether the ports take SFP modules (0x40).
    DevicePhysics(std::shared_ptr<const PhysicsSettings> settings, uint32_t capabilities, uint64_t seed,
                  uint64_t powerOnMs);
    ~DevicePhysics();
    DevicePhysics(const DevicePhysics &) = delete;
    DevicePhysics &operator=(const DevicePhysics &) = delete;

    // Port settings and features in force (span mode, disabled ports, loopback,
    // slicing, timing settings); they decide link speeds and what is counted.
    void configure(const DeviceFeatures &features, const DevicePortsSpeed &ports, uint64_t nowMs);
    void setCounterV2(const CounterV2Config &config, uint64_t nowMs);
    void setPacketFilter(const PacketFilter &filter, uint64_t nowMs);
    void setDpiFilter(const DpiFilter &filter, uint64_t nowMs);
    // Set the device clock (source 2 = GPS, 5 = SNTP with the seconds given).
    void setTime(const TimingTimeSet &timeSet, uint64_t nowMs);

    // Physical events driven by tests and scenarios.
    void setLinkForcedDown(int port, bool down, uint64_t nowMs);
    void setSfpPresent(int port, bool present, uint64_t nowMs);

    // Records as the device reports them at nowMs. Calls come with a
    // non-decreasing clock.
    void statistics(uint64_t nowMs, DeviceStatistics *out);
    void linkStatus(uint64_t nowMs, LinkStatus *out);
    void timingStatus(uint64_t nowMs, TimingStatus *out);
    // What reached the host since power-on after hardware drops, the packet
    // filter, the pattern filter and slicing: packets and bytes. For the
    // capture writer's figures and for tests of the filters.
    void captured(uint64_t nowMs, uint64_t *packets, uint64_t *bytes);

    // One port's totals since power-on at nowMs, whatever the model reports
    // (capture files keep per-port statistics even where the statistics
    // record holds configurable counters instead), and the device clock then,
    // in ns, as packets are stamped with it.
    PortTotals portTotals(uint64_t nowMs, int port);
    uint64_t deviceTimeNs(uint64_t nowMs);

    // The capture tap, for the direct capture writer: from nowMs on, the
    // device keeps the sampled packets that reach the host (at most the
    // profile's sample rate per port and simulated second, at most
    // perPortLimit held per port, the oldest given up first). Closing it
    // forgets what it held. A new device (after a restart) starts closed.
    static constexpr size_t kDefaultTapLimit = 65536;
    void openCaptureTap(uint64_t nowMs, size_t perPortLimit = kDefaultTapLimit);
    void closeCaptureTap();
    // Appends to *out, oldest first, the packets of `port` (0 A, 1 B) kept
    // with simulator times in [fromMs, toMs) and forgets them; the clock
    // advances to toMs. *missed (when given) receives how many kept packets
    // were given up since the last call: pushed out by the limit or older
    // than fromMs. The represents fields of one call add up to the packets
    // that reached the host from that port in the interval, bar the missed.
    size_t takeCapturedPackets(int port, uint64_t fromMs, uint64_t toMs, std::vector<CapturedPacket> *out,
                               uint64_t *missed = nullptr);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace lqsim
