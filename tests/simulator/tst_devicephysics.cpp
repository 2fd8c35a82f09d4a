// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Unit tests of the simulated device hardware: traffic, links and PHYs, counter rules, the capture tap and SFP
// modules. Time only moves through the clock argument.

#include "recordterms.h"
#include "devicephysics.h"
#include "packetmatch.h"
#include "trafficmodel.h"

#include <nlohmann/json.hpp>

#include <QtTest>

#include <cstring>

using lqsim::DevicePhysics;

namespace {

constexpr uint64_t kT0 = 1760000000000ull; // 2025-10-09 08:53:20 UTC
constexpr uint64_t kSecond = 1000;
constexpr uint32_t kCopperCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_PORT_SPEED | LQ_CAP_STATS_PORTS | LQ_CAP_PER_PORT_LINK;
constexpr uint32_t kCounterCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_STATS_COUNTERS_V2;
constexpr uint32_t kSfpCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_SFP | LQ_CAP_STATS_PORTS;
const char *const kAll = "an:1000f,100f,100h,10f,10h";
const uint64_t kLineRate[] = {1250000, 12500000, 125000000, 1250000000, 0, 0}; // bytes/s by LQ_LINK_*

// "an:1000f,100f,100h,10f,10h" advertises, "forced:100h" forces one mode; "+master", "+forcemaster" as named.
PortSpeedSettings portSettings(const QString &terms)
{
    PortSpeedSettings p{};
    p.auto_negotiation = terms.startsWith("an:");
    const std::map<QString, uint32_t *> bits{{"1000f", &p.speed_1000_full}, {"100f", &p.speed_100_full},
                                             {"100h", &p.speed_100_half},   {"10f", &p.speed_10_full},
                                             {"10h", &p.speed_10_half},     {"+master", &p.master},
                                             {"+forcemaster", &p.force_master_slave}};
    for (const QString &item : terms.section(':', 1).split(',', Qt::SkipEmptyParts))
        *bits.at(item) = 1;
    p.master |= p.force_master_slave;
    return p;
}

template <typename T> bool same(const T &a, const T &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Device {
    DevicePhysics physics;
    Device(const QByteArray &json, uint32_t caps, uint64_t seed = 1, DeviceFeatures f = {}, const QString &a = kAll,
           const QString &b = kAll)
        : physics(settingsOf(json), caps, seed, kT0)
    {
        f.tap_mode = 1;
        physics.configure(f, {portSettings(a), portSettings(b)}, kT0);
    }
    static std::shared_ptr<const lqsim::PhysicsSettings> settingsOf(const QByteArray &json)
    {
        std::string error;
        if (auto s = DevicePhysics::parse(nlohmann::json::parse(json.toStdString()), &error))
            return s;
        qFatal("scenario refused: %s", error.c_str());
    }
    DeviceStatistics stats(uint64_t at) { DeviceStatistics r; physics.statistics(at, &r); return r; }
    LinkStatus link(uint64_t at) { LinkStatus r; physics.linkStatus(at, &r); return r; }
};

struct Traffic {
    QByteArray scenario;
    QString ports; // on both
    uint64_t capacity;
    double loadA, loadB;                          // mean usage, checked when >= 0
    int drops = -1, jumbos = -1, collisions = -1; // checked when >= 0; collisions: runts outnumber CRC errors
};

struct Tap {
    bool keepCrc, forwardBad, https; // https: header filter for port 443 at either end
    int slice;                       // 0: slicing off
    QByteArray pattern;              // pattern filter
    int fewest, most;                // packets per port in three seconds
};

} // namespace

Q_DECLARE_METATYPE(Traffic)
Q_DECLARE_METATYPE(Tap)

class TestDevicePhysics : public QObject {
    Q_OBJECT

private slots:
    void trafficCounters_data()
    {
        QTest::addColumn<Traffic>("t");
        const QByteArray ten(R"("ports": {"media": "10G"})");
        auto steady = [](const QByteArray &more) {
            return "{\"traffic\": {\"burstiness\": 0, \"periodSeconds\": 60" + more + "}";
        };
        QTest::newRow("office") << Traffic{R"({"traffic": {"burstiness": 0}})", kAll, 125000000, -1, -1, 0, 0, 0};
        QTest::newRow("bursty 10G with jumbos")
            << Traffic{"{" + ten + R"(, "traffic": {"load": 0.6, "burstiness": 1, "jumbo": 0.3}})", "an:1000f",
                       1250000000, -1, -1, 1, 1, 0};
        QTest::newRow("half duplex 10M") << Traffic{"{}", "forced:10h", 1250000, -1, -1, 1, 0, 1};
        QTest::newRow("1G light/moderate")
            << Traffic{steady(R"(, "load": 0.05, "b": {"load": 0.3}})"), "an:1000f,100f", 125000000, 0.05, 0.3};
        QTest::newRow("100M heavy") << Traffic{steady(R"(, "load": 0.7})"), "forced:100f", 12500000, 0.7, 0.7};
        QTest::newRow("10M") << Traffic{steady(R"(, "load": 0.4})"), "forced:10f", 1250000, 0.4, 0.4};
        QTest::newRow("10G") << Traffic{steady("}, " + ten), "an:", 1250000000, 0.22, 0.38};
    }

    void trafficCounters()
    {
        QFETCH(Traffic, t);
        // A twin with the same seed reports the same records, and one with configurable counters shows the same
        // hardware through its counter rules.
        Device d(t.scenario, kCopperCaps, 7, {}, t.ports, t.ports);
        Device twin(t.scenario, kCopperCaps, 7, {}, t.ports, t.ports);
        Device counters(t.scenario, kCounterCaps, 7, {}, t.ports, t.ports);
        const char *const rules[] = {"ports=a crc=1",      "ports=b crc=0",      "ports=a crc=1 mode=bytes",
                                     "ports=ab dropped=1", "ports=ab ipv4=1",    "ports=ab ipv4=0",
                                     "ports=ab ipv6=1",    "ports=ab ucast=1",   "ports=ab mcast=1",
                                     "ports=ab bcast=1",   "ports=ab size>1000", "ports=ab size<1001",
                                     "ports=ab dropped=0", "ports= ipv4=1"}; // 14 and 15 never set
        for (uint32_t i = 0; i < std::size(rules); ++i)
            counters.physics.setCounterV2(counterRule(i, rules[i]), kT0);
        auto portOf = [](const DeviceStatistics &s, int p) -> const PortCounters & {
            return p ? s.u.ports.portB : s.u.ports.portA;
        };
        DeviceStatistics before = d.stats(kT0);
        double sum[2] = {0, 0};
        const int seconds = 600;
        for (uint64_t s = 1; s <= seconds; ++s) {
            const uint64_t at = kT0 + s * kSecond;
            const DeviceStatistics now = d.stats(at);
            const LinkStatus l = d.link(at), again = d.link(at);
            QVERIFY(same(now, twin.stats(at)) && same(l, twin.link(at)));
            counters.stats(at); // polled like the others
            // PHY counts and latched errors are "since the previous report": a second report has nothing new.
            QVERIFY(l.portAPhy.mdiCrossoverErrors >= 0 && l.portAPhy.mdiCrossoverErrors <= 5);
            for (const PortPhyStatus *p : {&again.portAPhy, &again.portBPhy})
                QVERIFY(!p->mdiCrossoverErrors && !p->receive1000BaseTError && !p->idleErrorCount && !p->remoteFault);
            QVERIFY(now.sampleTimeMs == at && now.droppedPackets >= before.droppedPackets);
            for (int p = 0; p < 2; ++p) {
                const PortCounters &c = portOf(now, p), &b = portOf(before, p);
                const uint64_t *w = &c.validUnder64, *wb = &b.validUnder64;
                for (int i = 0; i < 11; ++i)
                    QVERIFY2(w + i == &c.capacity || w[i] >= wb[i], qPrintable(QString("word %1").arg(i)));
                QCOMPARE(c.capacity, t.capacity);
                QCOMPARE(c.validPackets, c.validUnder64 + c.valid64To1522 + c.validOver1522);
                QCOMPARE(c.invalidPackets, c.invalidUnder64 + c.invalid64To1522 + c.invalidOver1522);
                QVERIFY(c.hardwareDropped <= c.validPackets && c.validUnder64 * 100 < c.validPackets + 100);
                QVERIFY(c.validBytes >= 60 * c.validPackets && c.validBytes <= 9018 * c.validPackets);
                // Bandwidth usage the way the manager computes it.
                const uint64_t wire = c.validBytes - b.validBytes + 20 * (c.validPackets - b.validPackets);
                const double u = double(wire) * 100.0 / double(c.capacity);
                QVERIFY2(u >= 0 && u <= 100, qPrintable(QString::number(u)));
                sum[p] += u;
            }
            before = now;
        }
        const double load[2] = {t.loadA, t.loadB};
        for (int p = 0; p < 2; ++p) {
            const PortCounters &c = portOf(before, p);
            QVERIFY(c.valid64To1522 > 0);
            QVERIFY(t.drops < 0 || ((c.hardwareDropped > 0) == bool(t.drops) && (c.validOver1522 > 0) == bool(t.jumbos)
                                    && (c.invalidUnder64 > c.invalid64To1522) == bool(t.collisions)));
            const double mean = sum[p] / seconds;
            QVERIFY2(load[p] < 0 || std::abs(mean - load[p] * 100) <= load[p] * 20 + 1.0,
                     qPrintable(QString("port %1 mean usage %2 %").arg(p).arg(mean)));
        }

        const uint64_t end = kT0 + seconds * kSecond;
        const DeviceStatistics counted = counters.stats(end);
        const PortCounters &a = before.u.ports.portA, &b = before.u.ports.portB;
        const uint64_t drops = a.hardwareDropped + b.hardwareDropped, *v = counted.u.configurable.counters;
        const uint64_t all = a.validPackets + a.invalidPackets + b.validPackets + b.invalidPackets;
        using Counts = QList<uint64_t>;
        QCOMPARE((Counts{v[0], v[1], v[2], v[3], v[15], counted.droppedPackets}),
                 (Counts{a.validPackets, b.invalidPackets, a.validBytes, drops, drops, before.droppedPackets}));
        // Every counter adds up the same sampled packets, so a partition is exact; ARP and LLDP are neither IPv4
        // nor IPv6, bad frames are rare, and a rule for no port counts nothing.
        QCOMPARE((Counts{v[4] + v[5], v[7] + v[8] + v[9], v[10] + v[11], v[3] + v[12]}), Counts(4, all));
        QVERIFY(v[4] + v[6] < all && a.invalidPackets + b.invalidPackets < all / 100 && !v[13] && !v[14]);
        // Narrowing a rule, or turning counter 15 (the hardware drop total) into an ordinary one, continues from
        // the value shown.
        counters.physics.setCounterV2(counterRule(0, "ports=a icmp=1"), end);
        counters.physics.setCounterV2(counterRule(15, "ports=b ipv6=1"), end);
        const DeviceStatistics kept = counters.stats(end), later = counters.stats(end + 60 * kSecond);
        const DeviceStatistics ports = d.stats(end + 60 * kSecond);
        const uint64_t *nv = kept.u.configurable.counters, *lv = later.u.configurable.counters;
        const uint64_t dropped = ports.u.ports.portA.hardwareDropped + ports.u.ports.portB.hardwareDropped - drops;
        QVERIFY(nv[0] == v[0] && nv[15] == v[15]);
        // ICMP is a sliver of port A's traffic; IPv6 on port B far more than the drops.
        QVERIFY(lv[0] > v[0] && lv[0] - v[0] < (ports.u.ports.portA.validPackets - a.validPackets) / 20);
        QVERIFY2(lv[15] - v[15] > dropped, qPrintable(QString("%1 IPv6, %2 drops").arg(lv[15] - v[15]).arg(dropped)));
    }

    // A device read once after a long gap reports the same line totals as one read every second: the thinned
    // sampling of older time must not bias the packet count towards the small frames it happened to draw.
    void totalsDoNotDependOnReadDensity_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<int>("seconds");
        QTest::newRow("office, a minute") << QByteArray(R"({"traffic": {"load": 0.05}})") << 60;
        QTest::newRow("office, two hours") << QByteArray(R"({"traffic": {"load": 0.05}})") << 7200;
        QTest::newRow("bursty jumbos, ten minutes")
            << QByteArray(R"({"traffic": {"load": 0.4, "burstiness": 1, "jumbo": 0.3}})") << 600;
    }

    void totalsDoNotDependOnReadDensity()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(int, seconds);
        Device polled(scenario, kCopperCaps, 3, {}, "an:1000f", "an:1000f");
        Device once(scenario, kCopperCaps, 3, {}, "an:1000f", "an:1000f");
        polled.stats(kT0);
        once.stats(kT0);
        for (int s = 1; s < seconds; ++s)
            polled.stats(kT0 + uint64_t(s) * kSecond);
        const uint64_t end = kT0 + uint64_t(seconds) * kSecond;
        const DeviceStatistics a = polled.stats(end), b = once.stats(end);
        for (auto member : {&PortCounters::validPackets, &PortCounters::validBytes}) {
            const double x = double(a.u.ports.portA.*member + a.u.ports.portB.*member);
            const double y = double(b.u.ports.portA.*member + b.u.ports.portB.*member);
            QVERIFY2(x > 0 && std::abs(y / x - 1) < 0.02, qPrintable(QString("%1 polled, %2 read once").arg(x).arg(y)));
        }
    }

    void linkResolution_data()
    {
        QTest::addColumn<QByteArray>("partner");
        QTest::addColumn<QString>("local");
        QTest::addColumn<QList<int>>("expected"); // speed, duplex, slave (-1: any), faults: parallel, master/slave
        QTest::addColumn<QString>("mirrored");    // partner's AN, 1000F/H, 100F/H, 10F/H, pause sym/asym, receiver OK
        auto row = [](const char *name, const char *partner, const char *local, uint32_t speed, int duplex = 0,
                      int slave = -1, int parallelFault = 0, int masterSlaveFault = 0, const char *mirrored = "") {
            QTest::newRow(name) << QByteArray(partner) << QString(local)
                                << QList<int>{int(speed), duplex, slave, parallelFault, masterSlaveFault}
                                << QString(mirrored);
        };
        const char *const noAn100 = R"({"autoNegotiation": false, "abilities": ["100full"]})";
        const char *const noAn10 = R"({"autoNegotiation": false, "abilities": ["10full"]})";
        row("negotiate all", "{}", kAll, LQ_LINK_1G, 0, 1);
        row("partner mirrored", R"({"abilities": ["1000full", "100full", "10half"], "pause": ["symmetric"]})", kAll,
            LQ_LINK_1G, 0, -1, 0, 0, "1101001101");
        row("advertise 100 only", "{}", "an:100f,10f", LQ_LINK_100M);
        row("partner half only", R"({"abilities": ["100half", "10full"]})", kAll, LQ_LINK_100M, 1);
        row("partner 1000 half only", R"({"abilities": ["1000half"]})", kAll, LQ_LINK_DOWN);
        row("nothing advertised", "{}", "an:", LQ_LINK_DOWN);
        row("parallel detection", noAn100, kAll, LQ_LINK_100M, 1);
        row("parallel detection fault", noAn100, "an:1000f,10f", LQ_LINK_DOWN, 0, -1, 1);
        row("gigabit partner without negotiation", R"({"autoNegotiation": false})", "an:1000f,100f", LQ_LINK_DOWN);
        row("forced 10 half", "{}", "forced:10h", LQ_LINK_10M, 1);
        row("forced 1000", "{}", "forced:1000f", LQ_LINK_1G);
        row("forced 1000, partner 100", R"({"abilities": ["100full"]})", "forced:1000f", LQ_LINK_DOWN);
        row("forced speeds differ", noAn10, "forced:100f", LQ_LINK_DOWN);
        row("forced speeds agree", noAn10, "forced:10f", LQ_LINK_10M);
        row("partner unplugged", R"({"connected": false})", "an:1000f", LQ_LINK_DOWN);
        row("we prefer master", "{}", "an:1000f,+master", LQ_LINK_1G, 0, 0);
        row("partner forces master", R"({"role": "master"})", "an:1000f,+master", LQ_LINK_1G, 0, 1);
        row("both force master", R"({"role": "master"})", "an:1000f,+forcemaster", LQ_LINK_DOWN, 0, -1, 0, 1);
        row("we force master, partner slave", R"({"role": "slave"})", "an:1000f,+forcemaster", LQ_LINK_1G, 0, 0);
    }

    void linkResolution()
    {
        QFETCH(QByteArray, partner);
        QFETCH(QString, local);
        QFETCH(QList<int>, expected);
        QFETCH(QString, mirrored);
        // Port B keeps defaults: one port's settings must not leak into the other.
        Device d("{\"ports\": {\"a\": {\"partner\": " + partner + "}}}", kCopperCaps, 3, {}, local, kAll);
        const LinkStatus l = d.link(kT0 + 2 * kSecond);
        const PortPhyStatus &p = l.portAPhy;
        const int slave = expected[2] < 0 ? -1 : int(p.masterSlaveResolution);
        QCOMPARE((QList<int>{int(l.portASpeed), int(l.portADuplex), slave, int(p.parallelDetectionFault),
                             int(p.masterSlaveFault)}),
                 expected);
        QVERIFY(l.portBSpeed == LQ_LINK_1G && p.localReceiverOk == (l.portASpeed != LQ_LINK_DOWN));
        QVERIFY(!l.sfp.valid && !l.sfp.portA.present); // copper: no module data at all
        QString bits;
        for (uint32_t b : {p.partnerAutoNegCapable, p.advertise1000BaseTFull, p.advertise1000BaseTHalf,
                           p.advertise100BaseTxFull, p.advertise100BaseTxHalf, p.advertise10BaseTFull,
                           p.advertise10BaseTHalf, p.advertiseSymmetricPause, p.advertiseAsymmetricPause,
                           p.remoteReceiverOk})
            bits += QString::number(b);
        QVERIFY2(mirrored.isEmpty() || bits == mirrored, qPrintable(bits));
        const PortCounters a = d.stats(kT0 + 2 * kSecond).u.ports.portA;
        QVERIFY(a.capacity == kLineRate[l.portASpeed] && (a.validPackets > 0) == (l.portASpeed != LQ_LINK_DOWN));
    }

    void captureTap_data()
    {
        QTest::addColumn<Tap>("tap");
        // Requests and answers both name the protocol; only answers carry the page.
        const QByteArray web("HTTP/1.1"), page("<!DOCTYPE html>");
        QTest::newRow("with FCS") << Tap{true, false, false, 0, {}, 300, 1200};
        QTest::newRow("sliced, FCS kept") << Tap{true, false, false, 96, {}, 300, 1200};
        QTest::newRow("bad frames forwarded, HTTPS") << Tap{true, true, true, 0, {}, 100, 1200};
        QTest::newRow("web traffic") << Tap{false, false, false, 0, web, 1, 100};
        QTest::newRow("web pages over HTTPS") << Tap{false, false, true, 0, page, 0, 0};
    }

    void captureTap()
    {
        QFETCH(Tap, tap);
        DeviceFeatures f{};
        f.keep_crc = tap.keepCrc;
        f.packet_slicing = tap.slice > 0;
        f.slicing_length = uint16_t(tap.slice);
        f.transmit_crc_errors = tap.forwardBad;
        Device d(R"({"traffic": {"crcErrors": 0.01, "collisions": 0.005, "jabbers": 0.005}})", kCopperCaps, 23, f);
        if (tap.https)
            d.physics.setPacketFilter(filterOf("either=port sport=443/3"), kT0);
        DpiFilter dpi{};
        dpi.enabled = !tap.pattern.isEmpty();
        std::memcpy(dpi.pattern, tap.pattern.constData(), size_t(tap.pattern.size()));
        dpi.pattern_mask = (1u << tap.pattern.size()) - 1;
        d.physics.setDpiFilter(dpi, kT0);
        // Packets carry the device clock, here set by SNTP.
        const uint64_t deviceNs = 1800000000ull * 1000000000ull, from = kT0 + kSecond, to = kT0 + 4 * kSecond;
        d.physics.setTime({LQ_TIME_SOURCE_SNTP, 1800000000, 1800000000}, from);
        d.physics.openCaptureTap(from);
        uint64_t before = 0, after = 0, represented = 0;
        d.physics.captured(from, &before, nullptr);
        bool sawBad = false;
        for (int port = 0; port < 2; ++port) {
            std::vector<lqsim::CapturedPacket> got;
            uint64_t previous = 0, missed = 1;
            d.physics.takeCapturedPackets(port, from, to, &got, &missed);
            // The sample rate bounds the count, not the line rate.
            QVERIFY2(missed == 0 && int(got.size()) >= tap.fewest && int(got.size()) <= tap.most,
                     qPrintable(QString::number(got.size())));
            for (const lqsim::CapturedPacket &c : got) {
                QVERIFY(c.port == port && c.timestampNs >= std::max(previous, deviceNs) &&
                        c.timestampNs < deviceNs + 3000000000ull);
                previous = c.timestampNs;
                represented += c.represents;
                sawBad = sawBad || !c.fcsValid;
                const uint32_t onHost = tap.keepCrc ? c.wireLength : c.wireLength - 4, frame = c.wireLength - 4;
                QVERIFY(c.data.size() == (tap.slice ? std::min<uint32_t>(onHost, tap.slice) : onHost));
                uint32_t carried = c.fcs; // least significant byte first
                if (!tap.slice && tap.keepCrc)
                    std::memcpy(&carried, c.data.data() + frame, 4);
                // A sliced frame no longer holds what its FCS covers.
                QVERIFY(tap.slice || ((lqsim::ethernetCrc32(c.data.data(), frame) == c.fcs) == c.fcsValid &&
                                      carried == c.fcs));
                const auto h = lqsim::parseHeaders(c.data.data(), c.data.size());
                QVERIFY(!tap.https || !c.fcsValid || (h.hasPorts && (h.srcPort == 443 || h.dstPort == 443)));
                QVERIFY(QByteArray::fromRawData(reinterpret_cast<const char *>(c.data.data()), qsizetype(c.data.size()))
                            .contains(tap.pattern));
            }
        }
        d.physics.captured(to, &after, nullptr);
        QVERIFY(represented == after - before && sawBad == tap.forwardBad);
        // What the tap still held before a later interval is reported missed.
        std::vector<lqsim::CapturedPacket> later;
        uint64_t missed = 0;
        d.physics.takeCapturedPackets(0, to + kSecond, to + 2 * kSecond, &later, &missed);
        QVERIFY(tap.fewest < 100 || (missed > 0 && !later.empty()));
    }

    void sfpModules_data()
    {
        QTest::addColumn<QByteArray>("portA");
        QTest::addColumn<uint32_t>("flags");
        const uint32_t rxLow = LQ_SFP_WARNING_RX_POWER | LQ_SFP_ALARM_RX_POWER;
        auto row = [](const char *name, const char *a, uint32_t bits) { QTest::newRow(name) << QByteArray(a) << bits; };
        row("nominal", "{}", 0);
        row("warm", R"({"diagnostics": {"temperature": 72}})", LQ_SFP_WARNING_TEMPERATURE);
        row("hot", R"({"diagnostics": {"temperature": 80}})", LQ_SFP_WARNING_TEMPERATURE | LQ_SFP_ALARM_TEMPERATURE);
        row("low supply", R"({"diagnostics": {"voltage": 3.05}})", LQ_SFP_WARNING_VOLTAGE);
        row("high bias", R"({"diagnostics": {"txBias": 11}})", LQ_SFP_WARNING_BIAS);
        row("weak signal", R"({"diagnostics": {"rxPower": 0.03}})", rxLow);
        row("no partner", "{}", LQ_SFP_STATUS_RX_LOS | rxLow);
        row("port disabled", "{}", LQ_SFP_STATUS_TX_DISABLE | LQ_SFP_WARNING_TX_POWER | LQ_SFP_ALARM_TX_POWER);
        row("laser fault", R"({"txFault": true})", LQ_SFP_STATUS_TX_FAULT);
    }

    void sfpModules()
    {
        QFETCH(QByteArray, portA);
        QFETCH(uint32_t, flags);
        const QByteArray tag = QTest::currentDataTag();
        const bool noPartner = tag == "no partner", disabled = tag == "port disabled";
        DeviceFeatures f{};
        f.disable_port_a = disabled;
        const QByteArray sx(R"("b": {"type": "1000BASE-SX", "serialNumber": "SX0042"})");
        const QByteArray unplugged(R"(, "ports": {"a": {"partner": {"connected": false}}})");
        Device d("{\"sfp\": {\"wander\": 0, \"a\": " + portA + ", " + sx + "}" + (noPartner ? unplugged : "") + "}",
                 kSfpCaps, 5, f);
        const LinkStatus l = d.link(kT0 + 60 * kSecond);
        const SfpPortInfo &a = l.sfp.portA, &b = l.sfp.portB;
        QCOMPARE(a.flags, flags);
        QVERIFY(b.flags == 0 && l.sfp.valid && a.present && b.present && std::strlen(a.serialNumber) > 0);
        QCOMPARE(QByteArray(b.serialNumber), QByteArray("SX0042"));
        // 10GBASE-SR by default (10G SR "Yes", alarm and warning flags implemented), 1000BASE-SX as asked.
        QCOMPARE((QList<uint32_t>{a.wavelength, a.transceiver[2], a.transceiver[3], a.options[7], b.transceiver[26]}),
                 (QList<uint32_t>{850, 1, 0, 0, 0}));
        QCOMPARE(l.portASpeed, uint32_t(noPartner || disabled ? LQ_LINK_DOWN : LQ_LINK_10G));
        QCOMPARE(l.portBSpeed, uint32_t(LQ_LINK_1G));
    }
};

QTEST_GUILESS_MAIN(TestDevicePhysics)
#include "tst_devicephysics.moc"
