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
    // one, and the first that does not fit waits for the next step.
    // Past the quota it goes on, up to kMaxDraws, until it has frames on both
    // sides of the mean.
    const double mean = m_mix->meanWire(pool);
    m_draws.clear();
    double sum = 0;
    bool bytesUsedUp = false, small = false, large = false;
    while (m_draws.size() < quota || (!(small && large) && m_draws.size() < kMaxDraws)) {
        const PacketDraw d = m_mix->draw(pool, s.key, s.next + m_draws.size());
        if (sum + d.wireBytes() > s.carry) {
            bytesUsedUp = true;
            break;
        }
        sum += d.wireBytes();
        (d.wireBytes() < mean ? small : large) = true;
        m_draws.push_back(d);
    }
    const size_t used = m_draws.size();
    m_weights.assign(used, 1);
    double left = s.carry - sum;
    if (!bytesUsedUp && used > 0)
        left = weigh(s.carry, mean);
    const double dropShare = std::min(1.0, s.droppedCarry / s.carry);
    for (size_t i = 0; i < used; ++i) {
        SampledPacket p;
        p.packet = m_draws[i];
        p.weight = m_weights[i];
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

double PacketSampler::weigh(double carry, double mean)
{
    // The draws must take the step's bytes and, on average, stand for as many
    // packets as the line carries (carry / mean). Weighing every draw alike
    // (carry / sum of the draws) gets the bytes right but not the packets: a
    // few draws that happen to be small would stand for far too many. So the
    // draws below the mean and those above share the packets in the one
    // proportion that gives both the packet count and the bytes.
    const size_t n = m_draws.size();
    double smallBytes = 0, largeBytes = 0;
    size_t small = 0;
    for (const PacketDraw &d : m_draws) {
        const bool isSmall = d.wireBytes() < mean;
        (isSmall ? smallBytes : largeBytes) += d.wireBytes();
        small += isSmall;
    }
    const size_t large = n - small;
    const double packets = carry / mean;
    bool split = small > 0 && large > 0;
    double smallPackets = 0;
    if (split) {
        const double smallMean = smallBytes / double(small), largeMean = largeBytes / double(large);
        smallPackets = std::floor(packets * (largeMean - mean) / (largeMean - smallMean));
        split = smallPackets >= double(small) && packets - smallPackets >= double(large);
    }
    // Each group's packets spread evenly over its draws.
    auto spread = [&](bool groupSmall, uint64_t total, size_t count) {
        uint64_t given = 0;
        for (size_t i = 0; i < n; ++i) {
            if ((m_draws[i].wireBytes() < mean) != groupSmall)
                continue;
            m_weights[i] = total / count + (given++ < total % count ? 1 : 0);
        }
    };
    if (split) {
        spread(true, uint64_t(smallPackets), small);
        spread(false, uint64_t(std::floor(packets - smallPackets)), large);
    } else {
        // All the draws on one side of the mean: the bytes decide.
        const double sum = smallBytes + largeBytes;
        std::fill(m_weights.begin(), m_weights.end(), uint64_t(std::floor(carry / sum)));
    }
    double left = carry;
    for (size_t i = 0; i < n; ++i)
        left -= double(m_weights[i]) * m_draws[i].wireBytes();
    // Rounding may overspend by a frame or so: give it back; then let the
    // first draws take one more while whole frames are left.
    for (size_t i = 0; left < 0 && i < n; ++i) {
        while (left < 0 && m_weights[i] > 1) {
            --m_weights[i];
            left += m_draws[i].wireBytes();
        }
    }
    for (size_t i = 0; i < n && left > 0; ++i) {
        if (m_draws[i].wireBytes() <= left) {
            ++m_weights[i];
            left -= m_draws[i].wireBytes();
        }
    }
    return left;
}

} // namespace lqsim
