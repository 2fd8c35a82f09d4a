// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Unit tests of the simulated packet stream: well-formed frames down to their checksums, a mix that follows
// the traffic profile, and sample weights that add up to the load model's line bytes.

#include "packetmatch.h"
#include "packetsampler.h"
#include "trafficmodel.h"

#include <QtTest>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <tuple>

using namespace lqsim;

namespace {

uint16_t be16(const uint8_t *p)
{
    return uint16_t(p[0] << 8 | p[1]);
}

// The Internet checksum's sum, written out the plain way.
uint32_t onesSum(const uint8_t *p, size_t n, uint32_t acc = 0)
{
    for (size_t i = 0; i < n; ++i)
        acc += (i % 2) ? p[i] : uint32_t(p[i]) << 8;
    while (acc >> 16)
        acc = (acc & 0xffff) + (acc >> 16);
    return acc;
}

TrafficProfile profileOf(double ipv6, double multicast, double broadcast, double jumbo)
{
    TrafficProfile t;
    std::tie(t.ipv6, t.multicast, t.broadcast, t.jumbo) = std::make_tuple(ipv6, multicast, broadcast, jumbo);
    return t;
}

// Line bytes and samples per step, the capture path's drop share, errors of each kind per step, and whether
// the samples are thinned out for the first three quarters (then 20 a step).
struct Load {
    double wire, samples, dropShare;
    uint64_t errors;
    bool thinned;
};

} // namespace

Q_DECLARE_METATYPE(Load)
Q_DECLARE_METATYPE(TrafficProfile)
Q_DECLARE_METATYPE(Pool)
Q_DECLARE_METATYPE(Damage)

class TestPacketStream : public QObject {
    Q_OBJECT

private slots:
    void drawnFrames_data()
    {
        QTest::addColumn<TrafficProfile>("profile");
        QTest::addColumn<int>("port");
        QTest::addColumn<Pool>("pool");
        QTest::addColumn<Damage>("damage");
        const TrafficProfile mixed = profileOf(0.4, 0.1, 0.05, 0.3);
        QTest::newRow("office, port A") << TrafficProfile{} << 0 << Pool::Steady << Damage::None;
        QTest::newRow("office, port B") << TrafficProfile{} << 1 << Pool::Steady << Damage::None;
        QTest::newRow("IPv6 heavy, chatty") << profileOf(0.7, 0.2, 0.1, 0.3) << 0 << Pool::Steady << Damage::None;
        QTest::newRow("IPv4 only, quiet") << profileOf(0, 0, 0, 0) << 1 << Pool::Steady << Damage::None;
        QTest::newRow("port B bursts") << mixed << 1 << Pool::Burst << Damage::None;
        QTest::newRow("bad FCS") << mixed << 0 << Pool::Steady << Damage::BadFcs;
        QTest::newRow("collision fragments") << mixed << 1 << Pool::Steady << Damage::Runt;
        QTest::newRow("jabbers") << mixed << 0 << Pool::Steady << Damage::Jabber;
    }

    void drawnFrames()
    {
        QFETCH(TrafficProfile, profile);
        QFETCH(int, port);
        QFETCH(Pool, pool);
        QFETCH(Damage, damage);
        const TrafficMix mix(profile, port);
        std::vector<uint8_t> frame(kMaxFrameBytes);
        uint8_t headers[kHeaderBytes];
        // Any run of draws holds each kind close to its share, not just a long one.
        const int window = 1000;
        for (uint64_t start : {0ull, 123457ull, 99999000ull}) {
            // Broadcasts are IPv4 or not IP; the IPv6 share is that of the rest.
            double ip = 0, v6 = 0, multicast = 0, broadcast = 0, unicast = 0, fromClient = 0;
            for (uint64_t i = start; i < start + window; ++i) {
                PacketDraw d = mix.draw(pool, 5, i);
                if (damage != Damage::None)
                    d = TrafficMix::damaged(d, damage);
                const size_t n = mix.writeFrame(d, frame.data(), false);
                const QString at = QString("draw %1, %2 bytes").arg(i).arg(d.length);
                QVERIFY2(n == d.length - 4, qPrintable(at));
                const uint32_t crc = uint32_t(crc32(0, frame.data(), uInt(n)));
                QVERIFY2((TrafficMix::fcs(d, frame.data(), n) == crc) == (damage == Damage::None), qPrintable(at));
                const PacketHeaders h = parseHeaders(frame.data(), n);
                ip += h.family != IpFamily::None && h.routing != Routing::Broadcast;
                v6 += h.family == IpFamily::V6;
                multicast += h.routing == Routing::Multicast;
                broadcast += h.routing == Routing::Broadcast;
                unicast += h.routing == Routing::Unicast;
                // Port A sees the clients' requests (10.20.1.x, 2001:db8:20::x), port B the answers.
                const bool client = h.family == IpFamily::V6 ? h.srcIp[5] == 0x20 : h.srcIp[1] == 20;
                fromClient += h.routing == Routing::Unicast && client;
                if (damage == Damage::Runt)
                    continue;
                const size_t hn = mix.writeFrame(d, headers, true);
                QCOMPARE(hn, std::min(n, kHeaderBytes));
                if (h.family == IpFamily::None) {
                    // ARP and LLDP carry no checksum: the headers are the frame's first bytes as they stand.
                    QVERIFY2(std::memcmp(headers, frame.data(), hn) == 0, qPrintable(at));
                    continue;
                }
                // The IP header agrees with the frame's length.
                const uint8_t *l3 = frame.data() + 14;
                const bool v4 = h.family == IpFamily::V4;
                const size_t ipLength = v4 ? be16(l3 + 2) : 40u + be16(l3 + 4), intended = d.intended - 4;
                QVERIFY2(14 + ipLength == intended || (intended == 60 && 14 + ipLength < 60), qPrintable(at));
                // Padding up to the minimum frame is zeros.
                QVERIFY2(std::all_of(frame.begin() + std::ptrdiff_t(std::min(14 + ipLength, n)),
                                     frame.begin() + std::ptrdiff_t(std::min(intended, n)),
                                     [](uint8_t b) { return b == 0; }),
                         qPrintable(at));
                // IP and transport checksums are right (the transport's over its pseudo-header).
                const size_t l4 = v4 ? 20 : 40, l4Length = ipLength - l4;
                QVERIFY2(!v4 || onesSum(l3, 20) == 0xffff, qPrintable(at));
                uint32_t pseudo = 0;
                if (h.protocol == ipproto::Tcp || h.protocol == ipproto::Udp || h.protocol == ipproto::Icmpv6)
                    pseudo = (v4 ? onesSum(l3 + 12, 8) : onesSum(l3 + 8, 32)) + h.protocol + uint32_t(l4Length);
                QVERIFY2(h.protocol != ipproto::Udp || be16(l3 + l4 + 4) == l4Length, qPrintable(at));
                QVERIFY2(onesSum(l3 + l4, l4Length, pseudo) == 0xffff, qPrintable(at));
                // The headers the matchers read are the whole frame's first bytes, bar the transport checksum.
                const size_t sumAt = 14 + l4 + (h.protocol == ipproto::Tcp ? 16 : h.protocol == ipproto::Udp ? 6 : 2);
                frame[sumAt] = frame[sumAt + 1] = 0;
                QVERIFY2(std::memcmp(headers, frame.data(), hn) == 0, qPrintable(at));
            }
            if (pool != Pool::Steady || damage != Damage::None)
                continue;
            QVERIFY2(std::abs(v6 / ip - profile.ipv6) < 0.015 && std::abs(multicast / window - profile.multicast) < 0.01
                         && std::abs(broadcast / window - profile.broadcast) < 0.01,
                     qPrintable(QString("from %1: %2 IPv6 of %3 IP, %4 multicast, %5 broadcast")
                                    .arg(start).arg(v6).arg(ip).arg(multicast).arg(broadcast)));
            QCOMPARE(fromClient, port == 0 ? unicast : 0.0);
        }
    }

    void samplesAddUpToTheLine_data()
    {
        QTest::addColumn<Load>("load");
        QTest::newRow("10G, 100 ms") << Load{1.25e8, 20, 0, 0, false};
        QTest::newRow("overflowing capture path, storm of errors") << Load{1.25e8, 20, 0.3, 1000, false};
        QTest::newRow("quiet 10M: packet by packet") << Load{3000, 20, 0, 0, false};
        QTest::newRow("thinned out, then settled") << Load{1.25e7, 0.3, 0.1, 0, true};
    }

    void samplesAddUpToTheLine()
    {
        QFETCH(Load, load);
        const auto [wire, samples, dropShare, errors, thinned] = load;
        const TrafficMix mix(profileOf(0.15, 0.03, 0.01, 0.2), 0);
        PacketSampler sampler(mix, 3, 0);
        StepLoad step{wire * 0.8, wire * 0.2, dropShare, 0, {errors, errors / 2, 0}};
        const int steps = 200;
        double taken = 0, valid = 0, dropped = 0;
        uint64_t damaged = 0;
        bool weightOne = true;
        for (int s = 0; s < steps; ++s) {
            const bool settling = !thinned || s >= steps * 3 / 4;
            step.samples = settling ? std::max(samples, 20.0) : samples;
            std::vector<SampledPacket> out;
            sampler.step(step, &out);
            size_t drawn = 0;
            for (const SampledPacket &p : out) {
                QVERIFY(p.weight > 0 && p.dropped <= p.weight && p.at >= 0 && p.at < 1);
                if (p.packet.damage != Damage::None) {
                    QCOMPARE(p.dropped, uint64_t(0));
                    damaged += p.weight;
                    continue;
                }
                ++drawn;
                taken += double(p.weight) * p.packet.wireBytes();
                valid += double(p.weight);
                dropped += double(p.dropped);
                weightOne = weightOne && p.weight == 1;
            }
            // Each pool may draw past its share to find frames on both sides of its mean.
            QVERIFY2(double(drawn) <= std::ceil(step.samples) + 1 + 2 * PacketSampler::kMaxDraws,
                     qPrintable(QString("%1 drawn").arg(drawn)));
            QVERIFY(out.size() - drawn <= 2 * PacketSampler::kErrorSamples);
            // The sampled line never runs ahead of the load and, given samples enough, trails it by less than a
            // frame of each pool.
            const double offered = wire * (s + 1);
            QVERIFY2(taken <= offered + 1e-3 && (taken > offered - 2.0 * (kMaxFrameBytes + 20) || !settling),
                     qPrintable(QString("step %1: %2 of %3 bytes").arg(s).arg(taken).arg(offered)));
        }
        QCOMPARE(damaged, steps * (errors + errors / 2));
        QVERIFY2(std::abs(dropped - dropShare * valid) <= 2, qPrintable(QString::number(dropped)));
        QCOMPARE(weightOne, wire < 1e4);
    }
};

QTEST_APPLESS_MAIN(TestPacketStream)
#include "tst_packetstream.moc"
