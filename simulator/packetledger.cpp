// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Counting sampled packets and keeping the captured ones.

#include "packetledger.h"

#include "packetmatch.h"

#include <algorithm>

namespace lqsim {

namespace {

uint64_t &sizeClass(PortTotals &t, bool valid, uint32_t length)
{
    if (length < 64)
        return valid ? t.validUnder64 : t.invalidUnder64;
    if (length <= 1522)
        return valid ? t.valid64To1522 : t.invalid64To1522;
    return valid ? t.validOver1522 : t.invalidOver1522;
}

} // namespace

PacketLedger::PacketLedger(std::array<const TrafficMix *, 2> mixes)
    : m_mixes(mixes)
    , m_frame(kMaxFrameBytes)
{
    for (int i = 0; i < LQ_COUNTERS_V2; ++i) {
        CounterV2Config rule{};
        rule.index = uint32_t(i);
        setRule(rule);
    }
}

void PacketLedger::setRule(const CounterV2Config &rule)
{
    m_rules[rule.index] = rule;
    m_anyDrop[rule.index] = rule;
    m_anyDrop[rule.index].dropped = -1;
    for (int p = 0; p < 2; ++p) {
        auto &active = m_active[size_t(p)];
        active.erase(std::remove(active.begin(), active.end(), int(rule.index)), active.end());
        if ((p == 0 ? rule.portA : rule.portB) == 1)
            active.push_back(int(rule.index));
    }
    if (int(rule.index) == kDropCounter)
        m_dropTotal = rule.portA != 1 && rule.portB != 1;
}

void PacketLedger::setCapture(const CaptureSettings &capture)
{
    m_capture = capture;
}

uint64_t PacketLedger::book(int port, const std::vector<SampledPacket> &samples, const StepClock &clock)
{
    const TrafficMix &mix = *m_mixes[size_t(port)];
    PortTotals &t = m_totals[size_t(port)];
    const auto &active = m_active[size_t(port)];
    const bool filtering = m_capture.filter.enabled || m_capture.dpi.enabled;
    auto &tap = m_tap[size_t(port)];
    const size_t tapBefore = tap.size();
    uint64_t captured = 0;
    uint8_t headerBytes[kHeaderBytes];

    for (const SampledPacket &s : samples) {
        const PacketDraw &d = s.packet;
        const bool valid = d.damage == Damage::None;
        const uint64_t kept = s.weight - s.dropped;
        const uint32_t length = d.length;
        sizeClass(t, valid, length) += s.weight;
        if (valid) {
            t.validBytes += s.weight * length;
            t.hardwareDropped += s.dropped;
        }
        if (m_dropTotal)
            m_counters[size_t(kDropCounter)] += s.dropped;

        const bool toHost = kept > 0 && (valid || m_capture.transmitCrcErrors);
        PacketHeaders h;
        if (!active.empty() || (toHost && filtering))
            h = parseHeaders(headerBytes, mix.writeFrame(d, headerBytes, true));

        const PacketFacts facts{length, valid, false};
        for (int i : active) {
            // One sample stands for kept and dropped packets alike: match it
            // once, then take the part the drop criterion wants.
            const CounterV2Config &rule = m_rules[size_t(i)];
            if (!counterRuleMatches(m_anyDrop[size_t(i)], h, facts))
                continue;
            const uint64_t n = (triStateMatches(rule.dropped, false) ? kept : 0)
                + (triStateMatches(rule.dropped, true) ? s.dropped : 0);
            m_counters[size_t(i)] += rule.countingMode == 1 ? n * length : n;
        }

        if (!toHost)
            continue;
        if (m_capture.filter.enabled && !packetFilterPasses(m_capture.filter, h))
            continue;
        if (m_capture.dpi.enabled) {
            const size_t n = mix.writeFrame(d, m_frame.data(), false);
            if (!dpiFilterPasses(m_capture.dpi, m_frame.data(), n))
                continue;
        }
        uint32_t hostLength = m_capture.keepCrc ? length : length - 4;
        if (m_capture.sliceLength)
            hostLength = std::min(hostLength, m_capture.sliceLength);
        t.capturedPackets += kept;
        t.capturedBytes += kept * hostLength;
        captured += kept;
        if (m_tapLimit) {
            TapRecord r;
            r.packet = d;
            r.simulatorNs = clock.startNs + uint64_t(s.at * double(clock.lengthNs));
            r.deviceNs = uint64_t(std::max<int64_t>(0, int64_t(r.simulatorNs) + clock.deviceOffsetNs));
            r.represents = kept;
            r.captureLength = hostLength;
            r.keepCrc = m_capture.keepCrc;
            tap.push_back(r);
        }
    }

    if (m_tapLimit && tap.size() > tapBefore) {
        std::sort(tap.begin() + std::ptrdiff_t(tapBefore), tap.end(),
                  [](const TapRecord &a, const TapRecord &b) { return a.simulatorNs < b.simulatorNs; });
        while (tap.size() > m_tapLimit) {
            tap.pop_front();
            ++m_tapMissed[size_t(port)];
        }
    }
    return captured;
}

void PacketLedger::openTap(size_t limit)
{
    m_tapLimit = std::max<size_t>(1, limit);
}

void PacketLedger::closeTap()
{
    m_tapLimit = 0;
    for (int p = 0; p < 2; ++p) {
        m_tap[size_t(p)].clear();
        m_tapMissed[size_t(p)] = 0;
    }
}

size_t PacketLedger::takeTap(int port, uint64_t fromNs, uint64_t toNs, std::vector<CapturedPacket> *out, uint64_t *missed)
{
    auto &tap = m_tap[size_t(port)];
    uint64_t &lost = m_tapMissed[size_t(port)];
    while (!tap.empty() && tap.front().simulatorNs < fromNs) {
        tap.pop_front();
        ++lost;
    }
    if (missed)
        *missed = lost;
    lost = 0;
    const TrafficMix &mix = *m_mixes[size_t(port)];
    size_t taken = 0;
    while (!tap.empty() && tap.front().simulatorNs < toNs) {
        const TapRecord &r = tap.front();
        const size_t n = mix.writeFrame(r.packet, m_frame.data(), false);
        CapturedPacket c;
        c.port = port;
        c.timestampNs = r.deviceNs;
        c.wireLength = r.packet.length;
        c.represents = r.represents;
        c.fcs = TrafficMix::fcs(r.packet, m_frame.data(), n);
        c.fcsValid = r.packet.damage == Damage::None;
        const size_t body = std::min<size_t>(n, r.captureLength);
        c.data.assign(m_frame.begin(), m_frame.begin() + std::ptrdiff_t(body));
        for (size_t k = n; r.keepCrc && k < std::min<size_t>(n + 4, r.captureLength); ++k)
            c.data.push_back(uint8_t(c.fcs >> (8 * (k - n))));
        out->push_back(std::move(c));
        tap.pop_front();
        ++taken;
    }
    return taken;
}

} // namespace lqsim
