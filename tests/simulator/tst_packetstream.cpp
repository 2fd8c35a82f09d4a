// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Unit tests of the simulated packet stream: the frames are well-formed down to
// their checksums and FCS, the drawn mix follows the traffic profile, and the
// sample weights add up to the load model's line bytes.

#include "packetmatch.h"
#include "packetsampler.h"
#include "trafficmodel.h"

#include <QtTest>

#include <zlib.h>

#include <cstring>

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
    t.ipv6 = ipv6;
    t.multicast = multicast;
    t.broadcast = broadcast;
    t.jumbo = jumbo;
    return t;
}

} // namespace

Q_DECLARE_METATYPE(TrafficProfile)

class TestPacketStream : public QObject {
    Q_OBJECT

private slots:
    void framesAreWellFormed_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("pool");
        QTest::addColumn<int>("damage");
        QTest::newRow("port A steady") << 0 << int(Pool::Steady) << int(Damage::None);
        QTest::newRow("port B steady") << 1 << int(Pool::Steady) << int(Damage::None);
        QTest::newRow("port B bursts") << 1 << int(Pool::Burst) << int(Damage::None);
        QTest::newRow("bad FCS") << 0 << int(Pool::Steady) << int(Damage::BadFcs);
        QTest::newRow("collision fragments") << 1 << int(Pool::Steady) << int(Damage::Runt);
        QTest::newRow("jabbers") << 0 << int(Pool::Steady) << int(Damage::Jabber);
    }

    void framesAreWellFormed()
    {
        QFETCH(int, port);
        QFETCH(int, pool);
        QFETCH(int, damage);
        const TrafficMix mix(profileOf(0.4, 0.1, 0.05, 0.3), port);
        std::vector<uint8_t> frame(kMaxFrameBytes);
        uint8_t headers[kHeaderBytes];
        for (uint64_t i = 0; i < 3000; ++i) {
            PacketDraw d = mix.draw(Pool(pool), 77, i);
            if (damage != int(Damage::None))
                d = TrafficMix::damaged(d, Damage(damage));
            const size_t n = mix.writeFrame(d, frame.data(), false);
            const QString at = QString("draw %1, %2 bytes").arg(i).arg(d.length);
            QVERIFY2(n == d.length - 4, qPrintable(at));
            const uint32_t crc = uint32_t(crc32(0, frame.data(), uInt(n)));
            QVERIFY2((TrafficMix::fcs(d, frame.data(), n) == crc) == (damage == int(Damage::None)), qPrintable(at));
            const PacketHeaders h = parseHeaders(frame.data(), n);
            if (damage == int(Damage::Runt) || h.family == IpFamily::None)
                continue;

            // IP and transport headers agree with the frame, checksums included.
            const uint8_t *ip = frame.data() + 14;
            const bool v4 = h.family == IpFamily::V4;
            const size_t ipLength = v4 ? be16(ip + 2) : 40u + be16(ip + 4);
            const size_t intended = d.intended - 4;
            QVERIFY2(14 + ipLength == intended || (intended == 60 && 14 + ipLength < 60), qPrintable(at));
            if (v4)
                QVERIFY2(onesSum(ip, 20) == 0xffff, qPrintable(at));
            const size_t l4 = v4 ? 20 : 40;
            const size_t l4Length = ipLength - l4;
            uint32_t pseudo = 0;
            if (h.protocol == ipproto::Tcp || h.protocol == ipproto::Udp || h.protocol == ipproto::Icmpv6) {
                pseudo = v4 ? onesSum(ip + 12, 8) : onesSum(ip + 8, 32);
                pseudo += uint32_t(h.protocol) + uint32_t(l4Length);
            }
            if (h.protocol == ipproto::Udp)
                QCOMPARE(size_t(be16(ip + l4 + 4)), l4Length);
            QVERIFY2(onesSum(ip + l4, l4Length, pseudo) == 0xffff, qPrintable(at));

            // The headers the matchers read are the whole frame's first bytes;
            // only the transport checksum is left out.
            const size_t hn = mix.writeFrame(d, headers, true);
            QCOMPARE(hn, std::min(n, kHeaderBytes));
            const size_t checksumAt = 14 + l4 + (h.protocol == ipproto::Tcp ? 16 : (h.protocol == ipproto::Udp ? 6 : 2));
            frame[checksumAt] = frame[checksumAt + 1] = 0;
            QVERIFY2(std::memcmp(headers, frame.data(), hn) == 0, qPrintable(at));
        }
    }

    void mixFollowsProfile_data()
    {
        QTest::addColumn<TrafficProfile>("profile");
        QTest::addColumn<int>("port");
        QTest::newRow("office, port A") << TrafficProfile{} << 0;
        QTest::newRow("office, port B") << TrafficProfile{} << 1;
        QTest::newRow("IPv6 heavy, chatty") << profileOf(0.7, 0.2, 0.1, 0) << 0;
        QTest::newRow("IPv4 only, quiet") << profileOf(0, 0, 0, 0) << 1;
    }

    void mixFollowsProfile()
    {
        QFETCH(TrafficProfile, profile);
        QFETCH(int, port);
        const TrafficMix mix(profile, port);
        uint8_t buffer[kHeaderBytes];
        // Any run of draws holds each kind close to its share, not just a long one.
        const int window = 1000;
        for (uint64_t start : {0ull, 123457ull, 99999000ull}) {
            // Broadcasts are IPv4 or not IP; the IPv6 share is that of the rest.
            double ip = 0, v6 = 0, multicast = 0, broadcast = 0, unicast = 0, fromClient = 0;
            for (uint64_t i = start; i < start + window; ++i) {
                const PacketHeaders h = parseHeaders(buffer, mix.writeFrame(mix.draw(Pool::Steady, 5, i), buffer, true));
                ip += h.family != IpFamily::None && h.routing != Routing::Broadcast;
                v6 += h.family == IpFamily::V6;
                multicast += h.routing == Routing::Multicast;
                broadcast += h.routing == Routing::Broadcast;
                unicast += h.routing == Routing::Unicast;
                // Port A sees the clients' requests (10.20.1.x, 2001:db8:20::x), port B the answers.
                const bool client = h.family == IpFamily::V6 ? h.srcIp[5] == 0x20 : h.srcIp[1] == 20;
                fromClient += h.routing == Routing::Unicast && client;
            }
            QVERIFY2(std::abs(v6 / ip - profile.ipv6) < 0.015 && std::abs(multicast / window - profile.multicast) < 0.01
                         && std::abs(broadcast / window - profile.broadcast) < 0.01,
                     qPrintable(QString("from %1: %2 IPv6 of %3 IP, %4 multicast, %5 broadcast")
                                    .arg(start).arg(v6).arg(ip).arg(multicast).arg(broadcast)));
            QCOMPARE(fromClient, port == 0 ? unicast : 0.0);
        }
    }

    void samplesAddUpToTheLine_data()
    {
        QTest::addColumn<double>("wire");    // line bytes per step
        QTest::addColumn<double>("samples"); // per step
        QTest::addColumn<double>("dropShare");
        QTest::addColumn<uint64_t>("errors"); // of each kind, per step
        QTest::addColumn<bool>("thinned");    // for the first three quarters, then 20 samples a step
        QTest::newRow("10G, 100 ms") << 1.25e8 << 20.0 << 0.0 << uint64_t(0) << false;
        QTest::newRow("overflowing capture path") << 1.25e8 << 20.0 << 0.3 << uint64_t(0) << false;
        QTest::newRow("quiet 10M: packet by packet") << 3000.0 << 20.0 << 0.0 << uint64_t(0) << false;
        QTest::newRow("thinned out, then settled") << 1.25e7 << 0.3 << 0.1 << uint64_t(0) << true;
        QTest::newRow("storm of errors") << 1.25e7 << 20.0 << 0.0 << uint64_t(1000) << false;
    }

    void samplesAddUpToTheLine()
    {
        QFETCH(double, wire);
        QFETCH(double, samples);
        QFETCH(double, dropShare);
        QFETCH(uint64_t, errors);
        QFETCH(bool, thinned);
        const TrafficProfile profile = profileOf(0.15, 0.03, 0.01, 0.2);
        const TrafficMix mix(profile, 0);
        PacketSampler sampler(mix, 3, 0);
        StepLoad step;
        step.steadyWire = wire * 0.8;
        step.burstWire = wire * 0.2;
        step.dropShare = dropShare;
        step.errors = {errors, errors / 2, 0};
        const int steps = 200;
        double taken = 0, valid = 0, dropped = 0;
        uint64_t damaged = 0;
        bool weightOne = true;
        std::vector<SampledPacket> out;
        for (int s = 0; s < steps; ++s) {
            const bool settling = !thinned || s >= steps * 3 / 4;
            step.samples = settling ? std::max(samples, 20.0) : samples;
            out.clear();
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
            QVERIFY2(double(drawn) <= std::ceil(step.samples) + 1, qPrintable(QString("%1 drawn").arg(drawn)));
            QVERIFY(out.size() - drawn <= 2 * PacketSampler::kErrorSamples);
            // The sampled line never runs ahead of the load and, given
            // samples enough, trails it by less than a frame of each pool.
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
