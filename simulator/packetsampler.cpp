// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Sampling the line: packet draws and their weights.

#include "packetsampler.h"

#include "simnoise.h"

#include <algorithm>
#include <cmath>

namespace lqsim {

namespace {

double positionOf(const PacketDraw &p)
{
    return double(p.id >> 11) * (1.0 / 9007199254740992.0);
}

} // namespace

PacketSampler::PacketSampler(const TrafficMix &mix, uint64_t seed, int port)
    : m_mix(&mix)
{
    for (int pool = 0; pool < 2; ++pool)
        m_streams[size_t(pool)].key = noise::hash(seed, noise::StreamPackets, uint64_t(port) * 4 + uint64_t(pool));
    m_errorKey = noise::hash(seed, noise::StreamPackets, uint64_t(port) * 4 + 2);
}

void PacketSampler::step(const StepLoad &load, std::vector<SampledPacket> *out)
{
    m_quota += std::max(0.0, load.samples);
    const double whole = std::floor(m_quota);
    m_quota -= whole;
    auto quota = size_t(whole);

    std::array<double, 2> expected{};
    for (Pool pool : {Pool::Steady, Pool::Burst}) {
        const double wire = pool == Pool::Steady ? load.steadyWire : load.burstWire;
        Stream &s = m_streams[size_t(pool)];
        if (!m_mix->hasTraffic(pool) || !(wire > 0))
            continue;
        s.carry += wire;
        s.droppedCarry += wire * std::clamp(load.dropShare, 0.0, 1.0);
        expected[size_t(pool)] = s.carry / m_mix->meanWire(pool);
    }
    // Share the samples by packet count, giving each pool with a packet to
    // send at least one when there are two to give.
    const double total = expected[0] + expected[1];
    size_t burst = 0;
    if (quota > 0 && total > 0) {
        burst = size_t(std::llround(double(quota) * expected[1] / total));
        if (quota >= 2 && expected[1] >= 1 && burst == 0)
            burst = 1;
        if (quota >= 2 && expected[0] >= 1 && burst == quota)
            burst = quota - 1;
    }
    drawPool(Pool::Steady, quota - burst, out);
    drawPool(Pool::Burst, burst, out);

    const Damage kinds[3] = {Damage::Runt, Damage::BadFcs, Damage::Jabber};
    for (size_t e = 0; e < 3; ++e) {
        const uint64_t count = load.errors[e];
        if (count == 0)
            continue;
        const uint64_t samples = std::min(count, kErrorSamples);
        for (uint64_t j = 0; j < samples; ++j) {
            SampledPacket s;
            s.packet = TrafficMix::damaged(m_mix->draw(Pool::Steady, m_errorKey, m_errorNext++), kinds[e]);
            s.weight = count / samples + (j < count % samples ? 1 : 0);
            s.at = positionOf(s.packet);
            out->push_back(s);
        }
    }
}

void PacketSampler::drawPool(Pool pool, size_t quota, std::vector<SampledPacket> *out)
{
    Stream &s = m_streams[size_t(pool)];
    if (quota == 0 || !(s.carry > 0))
        return;
    // Draw until the samples are used up or the bytes are. In the second case
    // the line holds no more packets than there are samples: they go one by
    // one, and the first that does not fit waits for the next step. Otherwise
    // every draw stands for q packets, and the first ones for one more while
    // the bytes last.
    m_draws.clear();
    double sum = 0;
    bool bytesUsedUp = false;
    while (m_draws.size() < quota) {
        const PacketDraw d = m_mix->draw(pool, s.key, s.next + m_draws.size());
        if (sum + d.wireBytes() > s.carry) {
            bytesUsedUp = true;
            break;
        }
        sum += d.wireBytes();
        m_draws.push_back(d);
    }
    double left = s.carry - sum;
    double q = 1;
    size_t extra = 0;
    if (!bytesUsedUp && !m_draws.empty()) {
        q = std::floor(s.carry / sum);
        left = s.carry - q * sum;
        while (extra < m_draws.size() && m_draws[extra].wireBytes() <= left) {
            left -= m_draws[extra].wireBytes();
            ++extra;
        }
    }
    const size_t used = m_draws.size();
    const double dropShare = std::min(1.0, s.droppedCarry / s.carry);
    for (size_t i = 0; i < used; ++i) {
        SampledPacket p;
        p.packet = m_draws[i];
        p.weight = uint64_t(q) + (i < extra ? 1 : 0);
        const double owed = double(p.weight) * dropShare + s.dropRounding;
        p.dropped = std::min(p.weight, uint64_t(std::floor(owed)));
        s.dropRounding = owed - std::floor(owed);
        p.at = positionOf(p.packet);
        out->push_back(p);
    }
    s.next += used;
    s.droppedCarry = std::max(0.0, s.droppedCarry - (s.carry - left) * dropShare);
    s.carry = left;
}

} // namespace lqsim
