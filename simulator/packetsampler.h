// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Turns the load model's line bytes into a bounded sample of real packets: each
// step of the simulator clock draws a few packets from the port's streams and
// gives each a whole number of line packets it stands for, so that the
// weights add up to the load and every total built from them stays exact.

#pragma once

#include "trafficmodel.h"

#include <array>
#include <cstdint>
#include <vector>

namespace lqsim {

// What one step carries on one port.
struct StepLoad {
    double steadyWire = 0; // line bytes of steady traffic, preamble and gap included
    double burstWire = 0;  // line bytes of bulk bursts
    double dropShare = 0;  // of the valid packets, what the capture path loses
    double samples = 0;    // packets this step may draw; fractions carry over
    std::array<uint64_t, 3> errors{}; // collision fragments, CRC errors, jabbers
};

// A drawn packet and the line packets it stands for.
struct SampledPacket {
    PacketDraw packet;
    uint64_t weight = 0;  // line packets like this one, itself included
    uint64_t dropped = 0; // of those, lost by the capture path (valid frames only)
    double at = 0;        // where in the step, 0..1
};

class PacketSampler {
public:
    // At most this many samples stand for one kind of error in one step.
    static constexpr uint64_t kErrorSamples = 4;
    // The most draws a pool makes in a step to find frames both smaller and
    // larger than its mean (see weigh()).
    static constexpr size_t kMaxDraws = 16;

    PacketSampler(const TrafficMix &mix, uint64_t seed, int port);

    // Appends the step's samples to out. Line bytes that no sample could take
    // (less than a packet, or no sample left) carry over to the next step, so
    // the sampled wire never runs ahead of the load and trails it by less than
    // one frame.
    void step(const StepLoad &load, std::vector<SampledPacket> *out);

private:
    struct Stream {
        uint64_t key = 0;
        uint64_t next = 0;        // index of the next packet of the stream
        double carry = 0;         // line bytes not yet given to a sample
        double droppedCarry = 0;  // the part of carry the capture path loses
        double dropRounding = 0;  // fraction of a dropped packet owed
    };

    void drawPool(Pool pool, size_t quota, std::vector<SampledPacket> *out);
    // Gives m_draws their weights for a step of carry line bytes; answers the
    // bytes left over.
    double weigh(double carry, double mean);

    const TrafficMix *m_mix;
    std::array<Stream, 2> m_streams;
    uint64_t m_errorKey = 0;
    uint64_t m_errorNext = 0;
    double m_quota = 0;
    std::vector<PacketDraw> m_draws;
    std::vector<uint64_t> m_weights;
};

} // namespace lqsim
