// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Unit tests of the simulated device hardware: traffic counters, links and
// PHYs, configurable counters, capture filters, SFP modules, GPS and the
// device clock. Time only moves through the clock argument.

#include "devicephysics.h"

#include <nlohmann/json.hpp>

#include <QtTest>

#include <cmath>
#include <cstring>

Q_DECLARE_METATYPE(PacketFilter)
Q_DECLARE_METATYPE(DpiFilter)

using lqsim::DevicePhysics;
using Json = nlohmann::json;

namespace {

constexpr uint64_t kT0 = 1760000000000ull; // 2025-10-09 08:53:20 UTC
constexpr uint64_t kSecond = 1000;
constexpr uint32_t kCopperCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_PORT_SPEED | LQ_CAP_STATS_PORTS | LQ_CAP_PER_PORT_LINK;
constexpr uint32_t kCounterCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_STATS_COUNTERS_V2;
constexpr uint32_t kSfpCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_SFP | LQ_CAP_STATS_PORTS;
constexpr uint32_t kTimingCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_TIMING | LQ_CAP_STATS_PORTS;

std::shared_ptr<const lqsim::PhysicsSettings> settingsOf(const QByteArray &json)
{
    std::string error;
    auto s = DevicePhysics::parse(Json::parse(json.toStdString()), &error);
    if (!s)
        qWarning("scenario refused: %s", error.c_str());
    return s;
}

// "an:1000f,100f,100h,10f,10h" advertises, "forced:100h" forces one mode;
// "+master" and "+forcemaster" add the master/slave settings.
PortSpeedSettings portSettings(const QString &terms)
{
    PortSpeedSettings p{};
    const QStringList parts = terms.split(':');
    p.auto_negotiation = parts.value(0) == "an";
    for (const QString &item : parts.value(1).split(',', Qt::SkipEmptyParts)) {
        if (item == "1000f")
            p.speed_1000_full = 1;
        else if (item == "100f")
            p.speed_100_full = 1;
        else if (item == "100h")
            p.speed_100_half = 1;
        else if (item == "10f")
            p.speed_10_full = 1;
        else if (item == "10h")
            p.speed_10_half = 1;
        else if (item == "+master")
            p.master = 1;
        else if (item == "+forcemaster")
            p.master = p.force_master_slave = 1;
    }
    return p;
}

const PortCounters &portOf(const DeviceStatistics &s, int port)
{
    return port == 0 ? s.u.ports.portA : s.u.ports.portB;
}

// Bandwidth usage the way the manager computes it from two samples.
double usage(const DeviceStatistics &now, const DeviceStatistics &before, int port)
{
    const PortCounters &a = portOf(now, port);
    const PortCounters &b = portOf(before, port);
    if (!a.capacity)
        return 0;
    return (double(a.validBytes - b.validBytes) + 20.0 * double(a.validPackets - b.validPackets)) * 100.0 / double(a.capacity);
}

struct Device {
    DevicePhysics physics;
    Device(const QByteArray &json, uint32_t caps, uint64_t seed = 1, const DeviceFeatures &features = {},
           const DevicePortsSpeed &ports = {portSettings("an:1000f,100f,100h,10f,10h"), portSettings("an:1000f,100f,100h,10f,10h")})
        : physics(settingsOf(json), caps, seed, kT0)
    {
        DeviceFeatures f = features;
        f.tap_mode = 1;
        physics.configure(f, ports, kT0);
    }
    DeviceStatistics stats(uint64_t atMs)
    {
        DeviceStatistics s;
        physics.statistics(atMs, &s);
        return s;
    }
    LinkStatus link(uint64_t atMs)
    {
        LinkStatus l;
        physics.linkStatus(atMs, &l);
        return l;
    }
    TimingStatus timing(uint64_t atMs)
    {
        TimingStatus t;
        physics.timingStatus(atMs, &t);
        return t;
    }
};

// "ports=ab ipv4=1 tcp=0 crc=1 dropped=0 size>1000 mode=bytes addr=10.20.1.0/255.255.255.0"
CounterV2Config rule(uint32_t index, const QString &terms)
{
    CounterV2Config c{};
    c.index = index;
    for (int32_t *t : {&c.ipv4, &c.ipv6, &c.broadcast, &c.multicast, &c.unicast, &c.icmp, &c.udp, &c.tcp, &c.crcValid, &c.dropped})
        *t = -1;
    c.sizeMode = -1;
    for (const QString &item : terms.split(' ', Qt::SkipEmptyParts)) {
        const QString key = item.section(QRegularExpression("[=<>]"), 0, 0);
        const QString value = item.mid(key.size() + 1);
        const int v = value.toInt();
        if (key == "ports") {
            c.portA = value.contains('a');
            c.portB = value.contains('b');
        } else if (key == "size") {
            c.sizeMode = item[4] == '>' ? 0 : item[4] == '<' ? 1 : 2;
            c.size = uint32_t(v);
        } else if (key == "mode") {
            c.countingMode = value == "bytes";
        } else if (key == "addr") {
            const QStringList am = value.split('/');
            const QStringList a = am[0].split('.'), m = am[1].split('.');
            for (int i = 0; i < 4; ++i) {
                c.address[3 - i] = uint8_t(a[i].toInt());
                c.mask[3 - i] = uint8_t(m[i].toInt());
            }
        } else {
            const std::map<QString, int32_t *> tri{{"ipv4", &c.ipv4}, {"ipv6", &c.ipv6}, {"bcast", &c.broadcast},
                                                    {"mcast", &c.multicast}, {"ucast", &c.unicast}, {"icmp", &c.icmp},
                                                    {"udp", &c.udp}, {"tcp", &c.tcp}, {"crc", &c.crcValid}, {"dropped", &c.dropped}};
            *tri.at(key) = v;
        }
    }
    return c;
}

bool measureCrosses(const SfpPortInfo &m, int i, uint32_t *alarm, uint32_t *warning)
{
    const float v[] = {m.value.temperature, m.value.voltage, m.value.txBias, m.value.txPower, m.value.rxPower};
    const float la[] = {m.lowAlarm.temperature, m.lowAlarm.voltage, m.lowAlarm.txBias, m.lowAlarm.txPower, m.lowAlarm.rxPower};
    const float lw[] = {m.lowWarning.temperature, m.lowWarning.voltage, m.lowWarning.txBias, m.lowWarning.txPower, m.lowWarning.rxPower};
    const float hw[] = {m.highWarning.temperature, m.highWarning.voltage, m.highWarning.txBias, m.highWarning.txPower,
                        m.highWarning.rxPower};
    const float ha[] = {m.highAlarm.temperature, m.highAlarm.voltage, m.highAlarm.txBias, m.highAlarm.txPower, m.highAlarm.rxPower};
    *alarm = (v[i] > ha[i] || v[i] < la[i]) ? (LQ_SFP_ALARM_TEMPERATURE << i) : 0;
    *warning = (v[i] > hw[i] || v[i] < lw[i]) ? (LQ_SFP_WARNING_TEMPERATURE << i) : 0;
    return *alarm || *warning;
}

} // namespace

class TestDevicePhysics : public QObject {
    Q_OBJECT

private slots:
    void countersStayCoherent_data();
    void countersStayCoherent();
    void usageFollowsLoad_data();
    void usageFollowsLoad();
    void sameSeedSameRecords();
    void linkResolution_data();
    void linkResolution();
    void linkOutagesAreReported();
    void scheduledFlap();
    void phyMirrorsPartnerAndReportsEventsOnce();
    void sfpModules();
    void sfpFlags_data();
    void sfpFlags();
    void sfpDriftTripsFlags();
    void gpsAcquisition_data();
    void gpsAcquisition();
    void externalPpsWithoutGps();
    void deviceClock_data();
    void deviceClock();
    void setTime();
    void counterRules_data();
    void counterRules();
    void countersMatchPortFigures();
    void counterRuleChangeKeepsValue();
    void captureFilters_data();
    void captureFilters();
    void parseErrors_data();
    void parseErrors();
    void longReplayMatchesPolling();
};

void TestDevicePhysics::countersStayCoherent_data()
{
    QTest::addColumn<QByteArray>("scenario");
    QTest::addColumn<QString>("ports");
    QTest::addColumn<bool>("expectDrops");
    QTest::addColumn<bool>("expectJumbos");
    QTest::addColumn<bool>("collisionsDominate"); // runts outnumber CRC errors, as on a half-duplex line

    QTest::newRow("steady office") << QByteArray(R"({"traffic": {"burstiness": 0}})") << "an:1000f,100f,100h,10f,10h" << false << false
                                   << false;
    QTest::newRow("bursty 10G with jumbos")
        << QByteArray(R"({"ports": {"media": "10G"}, "traffic": {"load": 0.6, "burstiness": 1, "jumbo": 0.3}})") << "an:1000f" << true
        << true << false;
    QTest::newRow("half duplex 10M") << QByteArray("{}") << "forced:10h" << true << false << true;
}

void TestDevicePhysics::countersStayCoherent()
{
    QFETCH(QByteArray, scenario);
    QFETCH(QString, ports);
    QFETCH(bool, expectDrops);
    QFETCH(bool, expectJumbos);
    QFETCH(bool, collisionsDominate);
    Device d(scenario, kCopperCaps, 7, {}, {portSettings(ports), portSettings(ports)});
    DeviceStatistics before = d.stats(kT0);
    for (uint64_t s = 1; s <= 600; ++s) {
        const DeviceStatistics now = d.stats(kT0 + s * kSecond);
        QCOMPARE(now.sampleTimeMs, kT0 + s * kSecond);
        QVERIFY(now.droppedPackets >= before.droppedPackets);
        for (int p = 0; p < 2; ++p) {
            const PortCounters &c = portOf(now, p);
            const uint64_t *w = &c.validUnder64;
            const uint64_t *b = &portOf(before, p).validUnder64;
            for (int i = 0; i < 11; ++i) {
                if (w + i != &c.capacity)
                    QVERIFY2(w[i] >= b[i], qPrintable(QString("port %1 word %2 went back at %3 s").arg(p).arg(i).arg(s)));
            }
            QCOMPARE(c.validPackets, c.validUnder64 + c.valid64To1522 + c.validOver1522);
            QCOMPARE(c.invalidPackets, c.invalidUnder64 + c.invalid64To1522 + c.invalidOver1522);
            QVERIFY(c.hardwareDropped <= c.validPackets);
            QVERIFY(c.validBytes >= 60 * c.validPackets && c.validBytes <= 9018 * c.validPackets);
            QVERIFY(c.validUnder64 * 100 < c.validPackets + 100); // runts stay rare
        }
        before = now;
    }
    for (int p = 0; p < 2; ++p) {
        const PortCounters &c = portOf(before, p);
        QVERIFY(c.valid64To1522 > 0);
        QCOMPARE(c.hardwareDropped > 0, expectDrops);
        QCOMPARE(c.validOver1522 > 0, expectJumbos);
        QCOMPARE(c.invalidUnder64 > c.invalid64To1522, collisionsDominate);
    }
}

void TestDevicePhysics::usageFollowsLoad_data()
{
    QTest::addColumn<QByteArray>("scenario");
    QTest::addColumn<QString>("ports");
    QTest::addColumn<uint64_t>("capacity");
    QTest::addColumn<double>("loadA");
    QTest::addColumn<double>("loadB");

    QTest::newRow("1G light/moderate")
        << QByteArray(R"({"traffic": {"burstiness": 0, "periodSeconds": 60, "load": 0.05, "b": {"load": 0.3}}})") << "an:1000f,100f"
        << uint64_t(125000000) << 0.05 << 0.3;
    QTest::newRow("100M heavy") << QByteArray(R"({"traffic": {"burstiness": 0, "periodSeconds": 60, "load": 0.7}})") << "forced:100f"
                                << uint64_t(12500000) << 0.7 << 0.7;
    QTest::newRow("10M") << QByteArray(R"({"traffic": {"burstiness": 0, "periodSeconds": 60, "load": 0.4}})") << "forced:10f"
                         << uint64_t(1250000) << 0.4 << 0.4;
    QTest::newRow("10G") << QByteArray(R"({"ports": {"media": "10G"}, "traffic": {"burstiness": 0, "periodSeconds": 60}})") << "an:"
                         << uint64_t(1250000000) << 0.22 << 0.38;
}

void TestDevicePhysics::usageFollowsLoad()
{
    QFETCH(QByteArray, scenario);
    QFETCH(QString, ports);
    QFETCH(uint64_t, capacity);
    QFETCH(double, loadA);
    QFETCH(double, loadB);
    Device d(scenario, kCopperCaps, 11, {}, {portSettings(ports), portSettings(ports)});
    DeviceStatistics before = d.stats(kT0);
    double sum[2] = {0, 0};
    const int seconds = 300;
    for (int s = 1; s <= seconds; ++s) {
        const DeviceStatistics now = d.stats(kT0 + uint64_t(s) * kSecond);
        for (int p = 0; p < 2; ++p) {
            QCOMPARE(portOf(now, p).capacity, capacity);
            const double u = usage(now, before, p);
            QVERIFY2(u >= 0 && u <= 100, qPrintable(QString::number(u)));
            sum[p] += u;
        }
        before = now;
    }
    const double load[2] = {loadA, loadB};
    for (int p = 0; p < 2; ++p) {
        const double mean = sum[p] / seconds;
        QVERIFY2(std::abs(mean - load[p] * 100) <= load[p] * 100 * 0.2 + 1.0,
                 qPrintable(QString("port %1 mean usage %2 %, load %3").arg(p).arg(mean).arg(load[p])));
    }
}

void TestDevicePhysics::sameSeedSameRecords()
{
    const QByteArray scenario(R"({"traffic": {"burstiness": 0.8}, "ports": {"a": {"flaps": [{"at": 20, "for": 3}]}}})");
    Device a(scenario, kCopperCaps | LQ_CAP_TIMING, 99);
    Device b(scenario, kCopperCaps | LQ_CAP_TIMING, 99);
    Device other(scenario, kCopperCaps | LQ_CAP_TIMING, 100);
    bool differs = false;
    for (uint64_t s : {1, 5, 21, 24, 60, 61, 300}) {
        const uint64_t t = kT0 + s * kSecond;
        const DeviceStatistics sa = a.stats(t), sb = b.stats(t), so = other.stats(t);
        QVERIFY(std::memcmp(&sa, &sb, sizeof sa) == 0);
        differs = differs || std::memcmp(&sa, &so, sizeof sa) != 0;
        const LinkStatus la = a.link(t), lb = b.link(t);
        other.link(t);
        QVERIFY(std::memcmp(&la, &lb, sizeof la) == 0);
        const TimingStatus ta = a.timing(t), tb = b.timing(t);
        QVERIFY(std::memcmp(&ta, &tb, sizeof ta) == 0);
    }
    QVERIFY(differs);
}

void TestDevicePhysics::linkResolution_data()
{
    QTest::addColumn<QByteArray>("partner");
    QTest::addColumn<QString>("local");
    QTest::addColumn<uint32_t>("speed");
    QTest::addColumn<uint32_t>("duplex");
    QTest::addColumn<int>("slave"); // -1: not checked
    QTest::addColumn<bool>("parallelFault");
    QTest::addColumn<bool>("masterSlaveFault");

    const uint32_t half = 1;
    QTest::newRow("negotiate all") << QByteArray("{}") << "an:1000f,100f,100h,10f,10h" << uint32_t(LQ_LINK_1G) << 0u << 1 << false << false;
    QTest::newRow("advertise 100 only") << QByteArray("{}") << "an:100f,10f" << uint32_t(LQ_LINK_100M) << 0u << -1 << false << false;
    QTest::newRow("partner half only") << QByteArray(R"({"abilities": ["100half", "10full"]})") << "an:1000f,100f,100h,10f,10h"
                                       << uint32_t(LQ_LINK_100M) << half << -1 << false << false;
    QTest::newRow("partner 1000 half only") << QByteArray(R"({"abilities": ["1000half"]})") << "an:1000f,100f,100h,10f,10h"
                                            << uint32_t(LQ_LINK_DOWN) << 0u << -1 << false << false;
    QTest::newRow("nothing advertised") << QByteArray("{}") << "an:" << uint32_t(LQ_LINK_DOWN) << 0u << -1 << false << false;
    QTest::newRow("parallel detection") << QByteArray(R"({"autoNegotiation": false, "abilities": ["100full"]})")
                                        << "an:1000f,100f,100h,10f,10h" << uint32_t(LQ_LINK_100M) << half << -1 << false << false;
    QTest::newRow("parallel detection fault") << QByteArray(R"({"autoNegotiation": false, "abilities": ["100full"]})") << "an:1000f,10f"
                                              << uint32_t(LQ_LINK_DOWN) << 0u << -1 << true << false;
    QTest::newRow("gigabit partner without negotiation")
        << QByteArray(R"({"autoNegotiation": false})") << "an:1000f,100f" << uint32_t(LQ_LINK_DOWN) << 0u << -1 << false << false;
    QTest::newRow("forced 100 full") << QByteArray("{}") << "forced:100f" << uint32_t(LQ_LINK_100M) << 0u << -1 << false << false;
    QTest::newRow("forced 10 half") << QByteArray("{}") << "forced:10h" << uint32_t(LQ_LINK_10M) << half << -1 << false << false;
    QTest::newRow("forced 1000") << QByteArray("{}") << "forced:1000f" << uint32_t(LQ_LINK_1G) << 0u << -1 << false << false;
    QTest::newRow("forced 1000, partner 100") << QByteArray(R"({"abilities": ["100full"]})") << "forced:1000f" << uint32_t(LQ_LINK_DOWN)
                                              << 0u << -1 << false << false;
    QTest::newRow("forced speeds differ") << QByteArray(R"({"autoNegotiation": false, "abilities": ["10full"]})") << "forced:100f"
                                          << uint32_t(LQ_LINK_DOWN) << 0u << -1 << false << false;
    QTest::newRow("forced speeds agree") << QByteArray(R"({"autoNegotiation": false, "abilities": ["10full"]})") << "forced:10f"
                                         << uint32_t(LQ_LINK_10M) << 0u << -1 << false << false;
    QTest::newRow("partner unplugged") << QByteArray(R"({"connected": false})") << "an:1000f" << uint32_t(LQ_LINK_DOWN) << 0u << -1
                                       << false << false;
    QTest::newRow("we prefer master") << QByteArray("{}") << "an:1000f,+master" << uint32_t(LQ_LINK_1G) << 0u << 0 << false << false;
    QTest::newRow("partner forces master") << QByteArray(R"({"role": "master"})") << "an:1000f,+master" << uint32_t(LQ_LINK_1G) << 0u
                                           << 1 << false << false;
    QTest::newRow("both force master") << QByteArray(R"({"role": "master"})") << "an:1000f,+forcemaster" << uint32_t(LQ_LINK_DOWN)
                                       << 0u << -1 << false << true;
    QTest::newRow("we force master, partner slave")
        << QByteArray(R"({"role": "slave"})") << "an:1000f,+forcemaster" << uint32_t(LQ_LINK_1G) << 0u << 0 << false << false;
}

void TestDevicePhysics::linkResolution()
{
    QFETCH(QByteArray, partner);
    QFETCH(QString, local);
    QFETCH(uint32_t, speed);
    QFETCH(uint32_t, duplex);
    QFETCH(int, slave);
    QFETCH(bool, parallelFault);
    QFETCH(bool, masterSlaveFault);
    // Port B keeps defaults: one port's settings must not leak into the other.
    Device d("{\"ports\": {\"a\": {\"partner\": " + partner + "}}}", kCopperCaps, 3, {},
             {portSettings(local), portSettings("an:1000f,100f,100h,10f,10h")});
    const LinkStatus l = d.link(kT0 + 2 * kSecond);
    QCOMPARE(l.portASpeed, speed);
    QCOMPARE(l.portADuplex, duplex);
    QCOMPARE(l.portBSpeed, uint32_t(LQ_LINK_1G));
    QCOMPARE(l.portAPhy.parallelDetectionFault, uint32_t(parallelFault));
    QCOMPARE(l.portAPhy.masterSlaveFault, uint32_t(masterSlaveFault));
    QCOMPARE(l.portAPhy.localReceiverOk, uint32_t(speed != LQ_LINK_DOWN));
    if (slave >= 0)
        QCOMPARE(l.portAPhy.masterSlaveResolution, uint32_t(slave));
    const DeviceStatistics s = d.stats(kT0 + 2 * kSecond);
    const uint64_t rates[] = {1250000, 12500000, 125000000, 1250000000, 0, 0};
    QCOMPARE(s.u.ports.portA.capacity, rates[speed]);
    QCOMPARE(s.u.ports.portA.validPackets > 0, speed != LQ_LINK_DOWN);
}

void TestDevicePhysics::linkOutagesAreReported()
{
    Device d("{}", kCopperCaps);
    QCOMPARE(d.stats(kT0 + 10 * kSecond).u.ports.linkUpMs, 10 * kSecond);

    d.physics.setLinkForcedDown(0, true, kT0 + 10 * kSecond);
    const DeviceStatistics down = d.stats(kT0 + 12 * kSecond);
    QCOMPARE(d.link(kT0 + 12 * kSecond).portASpeed, uint32_t(LQ_LINK_DOWN));
    QCOMPARE(down.u.ports.portA.capacity, uint64_t(0));
    QCOMPARE(down.u.ports.linkUpMs, 12 * kSecond); // Port B carries on
    const DeviceStatistics stillDown = d.stats(kT0 + 17 * kSecond);
    QCOMPARE(stillDown.u.ports.portA.validPackets, down.u.ports.portA.validPackets);
    QVERIFY(stillDown.u.ports.portB.validPackets > down.u.ports.portB.validPackets);

    d.physics.setLinkForcedDown(0, false, kT0 + 17500);
    const DeviceStatistics back = d.stats(kT0 + 18 * kSecond);
    QCOMPARE(back.u.ports.linkUpMs, uint64_t(500)); // smaller than before: the manager sees the flap
    QCOMPARE(back.u.ports.lastLinkDownMs, uint64_t(7500));
    QCOMPARE(back.u.ports.portA.capacity, uint64_t(125000000));

    // Both ports down: nothing is up, nothing is counted.
    DeviceFeatures off{};
    off.disable_port_a = off.disable_port_b = 1;
    d.physics.configure(off, {portSettings("an:1000f"), portSettings("an:1000f")}, kT0 + 20 * kSecond);
    const DeviceStatistics dark = d.stats(kT0 + 25 * kSecond);
    QCOMPARE(dark.u.ports.linkUpMs, uint64_t(0));
    QCOMPARE(dark.u.ports.portB.capacity, uint64_t(0));
    QCOMPARE(d.stats(kT0 + 30 * kSecond).u.ports.portB.validPackets, dark.u.ports.portB.validPackets);
    const LinkStatus l = d.link(kT0 + 30 * kSecond);
    QCOMPARE(l.portASpeed, uint32_t(LQ_LINK_DOWN));
    QCOMPARE(l.portBSpeed, uint32_t(LQ_LINK_DOWN));
}

void TestDevicePhysics::scheduledFlap()
{
    Device d(R"({"ports": {"b": {"flaps": [{"at": 30, "for": 2.5}, {"at": 100, "for": 1}]}}})", kCopperCaps);
    QCOMPARE(d.link(kT0 + 31 * kSecond).portBSpeed, uint32_t(LQ_LINK_DOWN));
    QCOMPARE(d.link(kT0 + 31 * kSecond).portASpeed, uint32_t(LQ_LINK_1G));
    // One read long after both flaps still sees the last outage.
    const DeviceStatistics s = d.stats(kT0 + 200 * kSecond);
    QCOMPARE(s.u.ports.linkUpMs, uint64_t(99 * kSecond));
    QCOMPARE(s.u.ports.lastLinkDownMs, uint64_t(1000));
}

void TestDevicePhysics::phyMirrorsPartnerAndReportsEventsOnce()
{
    Device d(R"({"ports": {"partner": {"abilities": ["1000full", "100full", "10half"], "pause": ["symmetric"]}}})", kCopperCaps);
    const LinkStatus l = d.link(kT0 + kSecond);
    const PortPhyStatus &p = l.portAPhy;
    QCOMPARE(p.partnerAutoNegCapable, 1u);
    QCOMPARE(p.advertise1000BaseTFull, 1u);
    QCOMPARE(p.advertise1000BaseTHalf, 0u);
    QCOMPARE(p.advertise100BaseTxFull, 1u);
    QCOMPARE(p.advertise100BaseTxHalf, 0u);
    QCOMPARE(p.advertise10BaseTFull, 0u);
    QCOMPARE(p.advertise10BaseTHalf, 1u);
    QCOMPARE(p.advertiseSymmetricPause, 1u);
    QCOMPARE(p.advertiseAsymmetricPause, 0u);
    QCOMPARE(p.remoteReceiverOk, 1u);

    // Counts and latched errors are "since the previous report": a second
    // report at the same moment has nothing new, and over hours the
    // crossover errors stay occasional.
    int64_t total = 0;
    int reportsWithErrors = 0;
    for (uint64_t m = 1; m <= 600; ++m) {
        const uint64_t t = kT0 + m * 60 * kSecond;
        const LinkStatus first = d.link(t);
        const LinkStatus again = d.link(t);
        for (const PortPhyStatus *phy : {&again.portAPhy, &again.portBPhy}) {
            QCOMPARE(phy->mdiCrossoverErrors, 0);
            QCOMPARE(phy->receive1000BaseTError + phy->idleErrorCount + phy->remoteFault, 0u);
        }
        QVERIFY(first.portAPhy.mdiCrossoverErrors >= 0 && first.portAPhy.mdiCrossoverErrors <= 5);
        total += first.portAPhy.mdiCrossoverErrors;
        reportsWithErrors += first.portAPhy.receive1000BaseTError ? 1 : 0;
    }
    QVERIFY(total > 0);
    QVERIFY(total < 200);
    QVERIFY(reportsWithErrors > 0 && reportsWithErrors < 100);
}

void TestDevicePhysics::sfpModules()
{
    Device d(R"({"sfp": {"b": {"type": "1000BASE-SX", "serialNumber": "SX0042"}}})", kSfpCaps);
    LinkStatus l = d.link(kT0 + kSecond);
    QCOMPARE(l.sfp.valid, uint8_t(1));
    QCOMPARE(l.sfp.portA.present, uint8_t(1));
    QCOMPARE(l.portASpeed, uint32_t(LQ_LINK_10G));
    QCOMPARE(l.portBSpeed, uint32_t(LQ_LINK_1G));
    QCOMPARE(l.sfp.portA.wavelength, 850u);
    QCOMPARE(l.sfp.portA.transceiver[3], 0u); // 10G BASE-SR: "Yes"
    QCOMPARE(l.sfp.portA.transceiver[2], 1u);
    QCOMPARE(l.sfp.portA.options[7], 0u); // alarm and warning flags implemented
    QCOMPARE(QByteArray(l.sfp.portB.serialNumber), QByteArray("SX0042"));
    QCOMPARE(l.sfp.portB.transceiver[26], 0u); // 1000BASE-SX
    QVERIFY(std::strlen(l.sfp.portA.serialNumber) > 0);
    QCOMPARE(d.stats(kT0 + kSecond).u.ports.portA.capacity, uint64_t(1250000000));

    d.physics.setSfpPresent(0, false, kT0 + 2 * kSecond);
    l = d.link(kT0 + 3 * kSecond);
    QCOMPARE(l.sfp.portA.present, uint8_t(0));
    QCOMPARE(l.sfp.portA.vendorName[0], '\0');
    QCOMPARE(l.portASpeed, uint32_t(LQ_LINK_DOWN));
    QCOMPARE(l.sfp.portB.present, uint8_t(1));
    QCOMPARE(l.portBSpeed, uint32_t(LQ_LINK_1G));
    QCOMPARE(d.stats(kT0 + 3 * kSecond).u.ports.portA.capacity, uint64_t(0));

    d.physics.setSfpPresent(0, true, kT0 + 4 * kSecond);
    QCOMPARE(d.link(kT0 + 5 * kSecond).portASpeed, uint32_t(LQ_LINK_10G));
    QCOMPARE(d.stats(kT0 + 5 * kSecond).u.ports.linkUpMs, uint64_t(kSecond));

    // Copper devices have no module data at all.
    Device copper("{}", kCopperCaps);
    const LinkStatus c = copper.link(kT0 + kSecond);
    QCOMPARE(c.sfp.valid, uint8_t(0));
    QCOMPARE(c.sfp.portA.present, uint8_t(0));
}

void TestDevicePhysics::sfpFlags_data()
{
    QTest::addColumn<QByteArray>("portA");
    QTest::addColumn<bool>("disabled");
    QTest::addColumn<uint32_t>("flags");

    QTest::newRow("nominal") << QByteArray("{}") << false << 0u;
    QTest::newRow("warm") << QByteArray(R"({"diagnostics": {"temperature": 72}})") << false << uint32_t(LQ_SFP_WARNING_TEMPERATURE);
    QTest::newRow("hot") << QByteArray(R"({"diagnostics": {"temperature": 80}})") << false
                         << uint32_t(LQ_SFP_WARNING_TEMPERATURE | LQ_SFP_ALARM_TEMPERATURE);
    QTest::newRow("low supply") << QByteArray(R"({"diagnostics": {"voltage": 3.05}})") << false << uint32_t(LQ_SFP_WARNING_VOLTAGE);
    QTest::newRow("high bias") << QByteArray(R"({"diagnostics": {"txBias": 11}})") << false << uint32_t(LQ_SFP_WARNING_BIAS);
    QTest::newRow("weak signal") << QByteArray(R"({"diagnostics": {"rxPower": 0.03}})") << false
                                 << uint32_t(LQ_SFP_WARNING_RX_POWER | LQ_SFP_ALARM_RX_POWER);
    QTest::newRow("no partner") << QByteArray("{}") << false
                                << uint32_t(LQ_SFP_STATUS_RX_LOS | LQ_SFP_WARNING_RX_POWER | LQ_SFP_ALARM_RX_POWER);
    QTest::newRow("port disabled") << QByteArray("{}") << true
                                   << uint32_t(LQ_SFP_STATUS_TX_DISABLE | LQ_SFP_WARNING_TX_POWER | LQ_SFP_ALARM_TX_POWER);
    QTest::newRow("laser fault") << QByteArray(R"({"txFault": true})") << false << uint32_t(LQ_SFP_STATUS_TX_FAULT);
}

void TestDevicePhysics::sfpFlags()
{
    QFETCH(QByteArray, portA);
    QFETCH(bool, disabled);
    QFETCH(uint32_t, flags);
    const bool noPartner = QByteArray(QTest::currentDataTag()) == "no partner";
    const QByteArray scenario = "{\"sfp\": {\"wander\": 0, \"a\": " + portA + "}"
        + (noPartner ? ", \"ports\": {\"a\": {\"partner\": {\"connected\": false}}}}" : QByteArray("}"));
    DeviceFeatures f{};
    f.disable_port_a = disabled;
    Device d(scenario, kSfpCaps, 5, f);
    const LinkStatus l = d.link(kT0 + 60 * kSecond);
    QCOMPARE(l.sfp.portA.flags, flags);
    QCOMPARE(l.sfp.portB.flags, 0u); // Port B is a healthy LR module
    QCOMPARE(l.portASpeed == LQ_LINK_DOWN, noPartner || disabled);
}

void TestDevicePhysics::sfpDriftTripsFlags()
{
    // A module running just under its warning temperature drifts across it.
    Device d(R"({"sfp": {"a": {"diagnostics": {"temperature": 69.3}}}})", kSfpCaps, 21);
    int above = 0, below = 0;
    float lowest = 1000, highest = -1000;
    for (uint64_t s = 600; s <= 4 * 3600; s += 30) {
        const LinkStatus l = d.link(kT0 + s * kSecond);
        for (const SfpPortInfo *m : {&l.sfp.portA, &l.sfp.portB}) {
            uint32_t expected = 0;
            for (int i = 0; i < 5; ++i) {
                uint32_t alarm, warning;
                measureCrosses(*m, i, &alarm, &warning);
                expected |= alarm | warning;
            }
            QCOMPARE(m->flags, expected);
        }
        const float t = l.sfp.portA.value.temperature;
        lowest = std::min(lowest, t);
        highest = std::max(highest, t);
        (t > 70.0f ? above : below) += 1;
    }
    QVERIFY2(above > 0 && below > 0, qPrintable(QString("%1 above, %2 below").arg(above).arg(below)));
    QVERIFY(highest - lowest > 1.0f && highest - lowest < 8.0f);
}

void TestDevicePhysics::gpsAcquisition_data()
{
    QTest::addColumn<double>("acquire");
    QTest::addColumn<double>("lock");
    QTest::newRow("quick") << 20.0 << 30.0;
    QTest::newRow("default") << 45.0 << 60.0;
    QTest::newRow("cold start") << 120.0 << 90.0;
}

void TestDevicePhysics::gpsAcquisition()
{
    QFETCH(double, acquire);
    QFETCH(double, lock);
    Device d(QString(R"({"gps": {"acquireSeconds": %1, "lockSeconds": %2}})").arg(acquire).arg(lock).toUtf8(), kTimingCaps, 8);
    const TimingStatus start = d.timing(kT0);
    QCOMPARE(start.gpsFixState, 0);
    QCOMPARE(start.gpsSatellites + start.glonassSatellites + start.satellitesUsed, 0);
    QCOMPARE(start.gpsPpsValid, 0);
    QCOMPARE(start.oscillatorSynced, 0);

    int lastFix = 0, lastTracked = 0;
    const int end = int(acquire + lock) + 30;
    for (int s = 0; s <= end; ++s) {
        const TimingStatus t = d.timing(kT0 + uint64_t(s) * kSecond);
        QVERIFY(t.gpsSatellites >= 0 && t.gpsSatellites <= 12);
        QVERIFY(t.glonassSatellites >= 0 && t.glonassSatellites <= 10);
        QVERIFY(t.satellitesUsed <= t.gpsSatellites + t.glonassSatellites);
        QCOMPARE(t.gpsPpsValid, t.gpsFixState == 2 ? 1 : 0);
        QVERIFY(t.gpsPpsValid ? t.ppsAccuracyNs >= 5 && t.ppsAccuracyNs <= 100 : t.ppsAccuracyNs == 0);
        QCOMPARE(t.oscillatorSynced, s >= acquire + lock ? 1 : 0);
        if (s < acquire) {
            QVERIFY(t.gpsFixState >= lastFix && t.gpsFixState < 2);
            QVERIFY(t.gpsSatellites + t.glonassSatellites >= lastTracked); // the sky fills up
        } else {
            QCOMPARE(t.gpsFixState, 2);
            QVERIFY(t.satellitesUsed >= 4);
        }
        lastFix = t.gpsFixState;
        lastTracked = t.gpsSatellites + t.glonassSatellites;
    }
    // The oscillator starts far off and settles to a few ns once locked.
    QVERIFY(std::abs(d.timing(kT0 + uint64_t(acquire * 1000)).ppsDeviationNs) > 100);
    for (int s = int(acquire + lock) + 1; s <= end; ++s)
        QVERIFY(std::abs(d.timing(kT0 + uint64_t(s) * kSecond).ppsDeviationNs) < 10);
}

void TestDevicePhysics::externalPpsWithoutGps()
{
    Device d(R"({"gps": {"present": false, "externalPps": true, "lockSeconds": 20}})", kTimingCaps);
    QCOMPARE(d.timing(kT0 + 10 * kSecond).oscillatorSynced, 0);
    const TimingStatus t = d.timing(kT0 + 600 * kSecond);
    QCOMPARE(t.gpsFixState, 0);
    QCOMPARE(t.gpsSatellites, 0);
    QCOMPARE(t.externalPps, 1);
    QCOMPARE(t.oscillatorSynced, 1);
    QVERIFY(std::abs(t.ppsDeviationNs) < 10);

    // Without the timing capability there is no receiver to report on.
    Device plain("{}", kCopperCaps);
    const TimingStatus p = plain.timing(kT0 + 600 * kSecond);
    QCOMPARE(p.gpsFixState + p.gpsSatellites + p.gpsPpsValid + p.oscillatorSynced, 0);
}

void TestDevicePhysics::deviceClock_data()
{
    QTest::addColumn<uint32_t>("initSource");
    QTest::addColumn<bool>("waitForSync");
    QTest::addColumn<int>("probe"); // seconds after power-on
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("toleranceMs"); // -1: the clock runs from 1970

    QTest::newRow("system") << 0u << false << 5 << int(LQ_TIME_SOURCE_SYSTEM) << 0;
    QTest::newRow("rtc") << 1u << false << 5 << int(LQ_TIME_SOURCE_RTC) << 3000;
    QTest::newRow("gps before fix") << 2u << false << 30 << int(LQ_TIME_SOURCE_NONE) << -1;
    QTest::newRow("gps after fix") << 2u << false << 46 << int(LQ_TIME_SOURCE_GPS) << 0;
    QTest::newRow("gps waits for sync") << 2u << true << 100 << int(LQ_TIME_SOURCE_NONE) << -1;
    QTest::newRow("gps synced") << 2u << true << 106 << int(LQ_TIME_SOURCE_GPS) << 0;
    QTest::newRow("none") << 3u << false << 5 << int(LQ_TIME_SOURCE_NONE) << -1;
}

void TestDevicePhysics::deviceClock()
{
    QFETCH(uint32_t, initSource);
    QFETCH(bool, waitForSync);
    QFETCH(int, probe);
    QFETCH(int, source);
    QFETCH(int, toleranceMs);
    DeviceFeatures f{};
    f.timestamp_init_source = initSource;
    f.wait_for_sync = waitForSync;
    Device d("{}", kTimingCaps, 4, f);
    const uint64_t now = kT0 + uint64_t(probe) * kSecond;
    const TimingStatus t = d.timing(now);
    QCOMPARE(t.timeSource, source);
    const QDateTime device(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second), Qt::UTC);
    if (toleranceMs < 0)
        QCOMPARE(device, QDateTime::fromSecsSinceEpoch(probe, Qt::UTC));
    else
        QVERIFY2(std::abs(device.toMSecsSinceEpoch() - int64_t(now)) <= toleranceMs + 999, qPrintable(device.toString(Qt::ISODate)));

    // A later change of the setting waits for the next power-up.
    f.timestamp_init_source = initSource == 0 ? 3 : 0;
    d.physics.configure(f, {portSettings("an:1000f"), portSettings("an:1000f")}, now);
    QCOMPARE(d.timing(now).timeSource, source);
}

void TestDevicePhysics::setTime()
{
    DeviceFeatures f{};
    f.timestamp_init_source = 3;
    Device d("{}", kTimingCaps, 4, f);
    TimingTimeSet sntp{LQ_TIME_SOURCE_SNTP, 1700000000, 1700000000};
    d.physics.setTime(sntp, kT0 + 10 * kSecond);
    TimingStatus t = d.timing(kT0 + 100 * kSecond);
    QCOMPARE(t.timeSource, int(LQ_TIME_SOURCE_SNTP));
    QCOMPARE(QDate(t.year, t.month, t.day), QDate(2023, 11, 14));
    QCOMPARE(QTime(t.hour, t.minute, t.second), QTime(22, 14, 50)); // 22:13:20 plus 90 s

    // GPS time needs a tracked satellite (after 15 % of the 45 s search).
    Device g("{}", kTimingCaps, 4, f);
    TimingTimeSet gps{LQ_TIME_SOURCE_GPS, 0, 0};
    g.physics.setTime(gps, kT0 + kSecond);
    QCOMPARE(g.timing(kT0 + 5 * kSecond).timeSource, int(LQ_TIME_SOURCE_NONE));
    t = g.timing(kT0 + 8 * kSecond);
    QCOMPARE(t.timeSource, int(LQ_TIME_SOURCE_GPS));
    QCOMPARE(QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second), Qt::UTC).toMSecsSinceEpoch(),
             int64_t(kT0 + 8 * kSecond));

    // Without a receiver a GPS request changes nothing.
    Device none(R"({"gps": {"present": false}})", kTimingCaps, 4, f);
    none.physics.setTime(gps, kT0 + kSecond);
    QCOMPARE(none.timing(kT0 + 600 * kSecond).timeSource, int(LQ_TIME_SOURCE_NONE));
}

void TestDevicePhysics::counterRules_data()
{
    QTest::addColumn<QStringList>("left"); // rules summed
    QTest::addColumn<QString>("relation");
    QTest::addColumn<QString>("right");

    const QString all = "ports=ab";
    QTest::newRow("IPv4 is part of all") << QStringList{"ports=ab ipv4=1"} << "<" << all;
    QTest::newRow("IPv4 and IPv6 leave out ARP and LLDP") << QStringList{"ports=ab ipv4=1", "ports=ab ipv6=1"} << "<" << all;
    QTest::newRow("IPv6 is counted") << QStringList{"ports=ab ipv6=1"} << ">" << "ports=";
    QTest::newRow("not IPv4 completes IPv4") << QStringList{"ports=ab ipv4=1", "ports=ab ipv4=0"} << "~" << all;
    QTest::newRow("L4 protocols within all") << QStringList{"ports=ab tcp=1", "ports=ab udp=1", "ports=ab icmp=1"} << "<" << all;
    QTest::newRow("routing partitions all") << QStringList{"ports=ab ucast=1", "ports=ab mcast=1", "ports=ab bcast=1"} << "~" << all;
    QTest::newRow("ports partition all") << QStringList{"ports=a", "ports=b"} << "~" << all;
    QTest::newRow("sizes partition all") << QStringList{"ports=ab size>1000", "ports=ab size<1001"} << "~" << all;
    QTest::newRow("equal size") << QStringList{"ports=ab size=1518"} << "<" << "ports=ab size>1000";
    QTest::newRow("bytes outnumber packets") << QStringList{"ports=a mode=bytes"} << ">64x" << "ports=a";
    QTest::newRow("disabled ports count nothing") << QStringList{"ports= ipv4=1"} << "=0" << all;
    QTest::newRow("clients' subnet") << QStringList{"ports=ab ipv4=1 addr=10.20.1.0/255.255.255.0"} << "<" << "ports=ab ipv4=1";
    QTest::newRow("one Internet server") << QStringList{"ports=ab ipv4=1 addr=203.0.113.20/255.255.255.255"} << "<"
                                         << "ports=ab ipv4=1 addr=203.0.113.0/255.255.255.0";
    QTest::newRow("address with no traffic") << QStringList{"ports=ab ipv4=1 addr=172.16.0.0/255.255.0.0"} << "=0" << all;
    QTest::newRow("CRC errors are rare") << QStringList{"ports=ab crc=0"} << "<1%" << all;
    QTest::newRow("drops and kept make all") << QStringList{"ports=ab dropped=1", "ports=ab dropped=0"} << "~" << all;
    QTest::newRow("TCP within unicast") << QStringList{"ports=ab tcp=1 ucast=0"} << "=0" << all;
}

void TestDevicePhysics::counterRules()
{
    QFETCH(QStringList, left);
    QFETCH(QString, relation);
    QFETCH(QString, right);
    Device d(R"({"traffic": {"burstiness": 0.8, "crcErrors": 1e-4}})", kCounterCaps, 12);
    uint32_t index = 0;
    for (const QString &terms : left)
        d.physics.setCounterV2(rule(index++, terms), kT0);
    const uint32_t rightIndex = index;
    d.physics.setCounterV2(rule(rightIndex, right), kT0);
    const DeviceStatistics s = d.stats(kT0 + 600 * kSecond);
    const uint64_t *c = s.u.configurable.counters;
    double sum = 0;
    for (uint32_t i = 0; i < rightIndex; ++i)
        sum += double(c[i]);
    const double r = double(c[rightIndex]);
    // Never-configured counters count nothing.
    for (uint32_t i = rightIndex + 1; i < LQ_COUNTERS_V2 - 1; ++i)
        QCOMPARE(c[i], uint64_t(0));
    const QString detail = QString("%1 vs %2").arg(sum, 0, 'f', 0).arg(r, 0, 'f', 0);
    if (relation == "<")
        QVERIFY2(sum > 0 && sum < r, qPrintable(detail));
    else if (relation == ">")
        QVERIFY2(sum > r, qPrintable(detail));
    else if (relation == "~") // each counter rounds down on its own
        QVERIFY2(r > 0 && std::abs(sum - r) <= left.size() + 1, qPrintable(detail));
    else if (relation == ">64x")
        QVERIFY2(sum >= 64 * r && r > 0, qPrintable(detail));
    else if (relation == "=0")
        QVERIFY2(sum == 0 && r > 0, qPrintable(detail));
    else if (relation == "<1%")
        QVERIFY2(sum > 0 && sum < r / 100, qPrintable(detail));
    else
        QFAIL("unknown relation");
}

void TestDevicePhysics::countersMatchPortFigures()
{
    // The same hardware seen through both statistics formats.
    const QByteArray scenario(R"({"traffic": {"burstiness": 1, "load": 0.6, "crcErrors": 1e-4}})");
    Device ports(scenario, kCopperCaps, 31);
    Device counters(scenario, kCounterCaps, 31);
    counters.physics.setCounterV2(rule(0, "ports=a crc=1"), kT0);
    counters.physics.setCounterV2(rule(1, "ports=b crc=0"), kT0);
    counters.physics.setCounterV2(rule(2, "ports=a crc=1 mode=bytes"), kT0);
    counters.physics.setCounterV2(rule(3, "ports=ab dropped=1"), kT0);
    for (uint64_t s : {60, 120, 900}) {
        const DeviceStatistics p = ports.stats(kT0 + s * kSecond);
        const DeviceStatistics c = counters.stats(kT0 + s * kSecond);
        const uint64_t drops = p.u.ports.portA.hardwareDropped + p.u.ports.portB.hardwareDropped;
        QVERIFY(drops > 0);
        QCOMPARE(c.u.configurable.counters[0], p.u.ports.portA.validPackets);
        QCOMPARE(c.u.configurable.counters[1], p.u.ports.portB.invalidPackets);
        QCOMPARE(c.u.configurable.counters[2], p.u.ports.portA.validBytes);
        QCOMPARE(c.u.configurable.counters[3], drops);
        QCOMPARE(c.u.configurable.counters[15], drops); // never set: the hardware drop total
        QCOMPARE(c.droppedPackets, p.droppedPackets);
    }
}

void TestDevicePhysics::counterRuleChangeKeepsValue()
{
    Device d(R"({"traffic": {"burstiness": 1, "load": 0.6}})", kCounterCaps, 5);
    d.physics.setCounterV2(rule(4, "ports=ab"), kT0);
    const uint64_t before = d.stats(kT0 + 60 * kSecond).u.configurable.counters[4];
    const uint64_t drops = d.stats(kT0 + 60 * kSecond).u.configurable.counters[15];
    QVERIFY(before > 0 && drops > 0);
    // Narrowing a rule, or turning the drop counter into an ordinary one,
    // continues from the value shown.
    d.physics.setCounterV2(rule(4, "ports=a icmp=1"), kT0 + 60 * kSecond);
    d.physics.setCounterV2(rule(15, "ports=b ipv6=1"), kT0 + 60 * kSecond);
    const DeviceStatistics same = d.stats(kT0 + 60 * kSecond);
    QCOMPARE(same.u.configurable.counters[4], before);
    QCOMPARE(same.u.configurable.counters[15], drops);
    const DeviceStatistics later = d.stats(kT0 + 120 * kSecond);
    const uint64_t grew4 = later.u.configurable.counters[4] - before;
    const uint64_t grew15 = later.u.configurable.counters[15] - drops;
    QVERIFY(grew4 > 0 && grew4 < before / 20); // ICMP is a sliver of the traffic
    QVERIFY(grew15 > drops);                           // IPv6 on B is far more than the drops were
}

void TestDevicePhysics::captureFilters_data()
{
    QTest::addColumn<PacketFilter>("filter");
    QTest::addColumn<DpiFilter>("dpi");
    QTest::addColumn<double>("minShare");
    QTest::addColumn<double>("maxShare");

    const PacketFilter noFilter{};
    const DpiFilter noDpi{};
    PacketFilter https{};
    https.enabled = 1;
    https.fields = LQ_FILTER_DST_PORT | LQ_FILTER_SRC_PORT;
    https.modes = LQ_FILTER_MODE_PORT;
    https.src_port = 443;
    https.port_mask = 0xc;
    PacketFilter oneClient{};
    oneClient.enabled = 1;
    oneClient.fields = LQ_FILTER_SRC_IP;
    oneClient.modes = LQ_FILTER_MODE_IP;
    const uint8_t client[4] = {10, 20, 1, 10};
    for (int i = 0; i < 4; ++i)
        oneClient.src_ip[3 - i] = client[i];
    oneClient.src_ip_mask = 0xf;
    PacketFilter broadcastMac{};
    broadcastMac.enabled = 1;
    broadcastMac.fields = LQ_FILTER_DST_MAC;
    std::memset(broadcastMac.dst_mac, 0xff, 6);
    broadcastMac.mac_mask = 0x3f;
    PacketFilter disabled = https;
    disabled.enabled = 0;

    auto pattern = [](const char *text, uint32_t mask) {
        DpiFilter d{};
        d.enabled = 1;
        std::memcpy(d.pattern, text, std::min<size_t>(16, std::strlen(text)));
        d.pattern_mask = mask;
        return d;
    };
    QTest::newRow("nothing set") << noFilter << noDpi << 0.999 << 1.001;
    QTest::newRow("filter disabled") << disabled << noDpi << 0.999 << 1.001;
    QTest::newRow("HTTPS either way") << https << noDpi << 0.3 << 0.9;
    QTest::newRow("one client of 120") << oneClient << noDpi << 0.001 << 0.03;
    QTest::newRow("broadcast frames") << broadcastMac << noDpi << 0.001 << 0.05;
    QTest::newRow("HTTP requests") << noFilter << pattern("GET /", 0x1f) << 0.001 << 0.05;
    QTest::newRow("wildcard in pattern") << noFilter << pattern("G?T /", 0x1d) << 0.001 << 0.05;
    QTest::newRow("pattern never sent") << noFilter << pattern("\xee\xee\xee\xee", 0xf) << 0.0 << 0.0;
    QTest::newRow("all wildcards") << noFilter << pattern("", 0) << 0.999 << 1.001;
    QTest::newRow("both filters") << https << pattern("GET /", 0x1f) << 0.0 << 0.0;
}

void TestDevicePhysics::captureFilters()
{
    QFETCH(PacketFilter, filter);
    QFETCH(DpiFilter, dpi);
    QFETCH(double, minShare);
    QFETCH(double, maxShare);
    Device d("{}", kCopperCaps, 17);
    d.physics.setPacketFilter(filter, kT0);
    d.physics.setDpiFilter(dpi, kT0);
    uint64_t packets = 0, bytes = 0;
    d.physics.captured(kT0 + 120 * kSecond, &packets, &bytes);
    const DeviceStatistics s = d.stats(kT0 + 120 * kSecond);
    const double kept = double(s.u.ports.portA.validPackets + s.u.ports.portB.validPackets - s.u.ports.portA.hardwareDropped
                               - s.u.ports.portB.hardwareDropped);
    const double share = double(packets) / kept;
    QVERIFY2(share >= minShare && share <= maxShare, qPrintable(QString::number(share)));
    if (packets)
        QVERIFY(bytes >= 56 * packets && bytes <= 1514 * packets); // FCS stripped by default
}

void TestDevicePhysics::parseErrors_data()
{
    QTest::addColumn<QByteArray>("scenario");
    QTest::addColumn<QString>("error");

    QTest::newRow("load too high") << QByteArray(R"({"traffic": {"a": {"load": 1.5}}})") << "traffic.a.load: must be between 0 and 1";
    QTest::newRow("load as text") << QByteArray(R"({"traffic": {"load": "high"}})") << "traffic.load: must be a number";
    QTest::newRow("unknown port") << QByteArray(R"({"traffic": {"c": {}}})") << "traffic.c: unknown member";
    QTest::newRow("unknown traffic key") << QByteArray(R"({"traffic": {"b": {"speed": 1}}})") << "traffic.b.speed: unknown member";
    QTest::newRow("traffic not an object") << QByteArray(R"({"traffic": [1]})") << "traffic: must be an object";
    QTest::newRow("port not an object") << QByteArray(R"({"ports": {"a": 3}})") << "ports.a: must be an object";
    QTest::newRow("too much multicast") << QByteArray(R"({"traffic": {"multicast": 0.3, "broadcast": 0.3}})")
                                        << "traffic.a: multicast and broadcast together must not exceed 0.5";
    QTest::newRow("unknown ability") << QByteArray(R"({"ports": {"b": {"partner": {"abilities": ["1000full", "2500full"]}}}})")
                                     << "ports.b.partner.abilities[1]: unknown ability \"2500full\" (1000full, 1000half, 100full, "
                                        "100half, 10full or 10half)";
    QTest::newRow("unknown role") << QByteArray(R"({"ports": {"partner": {"role": "boss"}}})")
                                  << "ports.partner.role: must be \"auto\", \"master\" or \"slave\"";
    QTest::newRow("flap without length") << QByteArray(R"({"ports": {"a": {"flaps": [{"at": 5}]}}})")
                                         << "ports.a.flaps[0]: needs both \"at\" and \"for\"";
    QTest::newRow("negative flap") << QByteArray(R"({"ports": {"a": {"flaps": [{"at": -1, "for": 1}]}}})")
                                   << "ports.a.flaps[0].at: must be between 0 and 1e+09";
    QTest::newRow("unknown media") << QByteArray(R"({"ports": {"media": "fibre"}})") << "ports.media: must be \"copper\" or \"10G\"";
    QTest::newRow("model too long") << QByteArray(R"({"sfp": {"a": {"model": "ABCDEFGHIJKLMNOPQ"}}})")
                                    << "sfp.a.model: must be at most 16 characters";
    QTest::newRow("unknown module") << QByteArray(R"({"sfp": {"b": {"type": "40GBASE-SR4"}}})")
                                    << "sfp.b.type: must be one of 10GBASE-SR, 10GBASE-LR or 1000BASE-SX";
    QTest::newRow("short option list") << QByteArray(R"({"sfp": {"a": {"options": [0, 1]}}})")
                                       << "sfp.a.options: must be an array of 14 whole numbers";
    QTest::newRow("negative word") << QByteArray(R"({"sfp": {"transceiver": [0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,
        0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,-1]}})")
                                   << "sfp.transceiver[55]: must be between 0 and 4294967295";
    QTest::newRow("thresholds out of order") << QByteArray(R"({"sfp": {"a": {"highWarning": {"temperature": 90}}}})")
                                             << "sfp.a.highAlarm.temperature: must not be below highWarning";
    QTest::newRow("OUI too wide") << QByteArray(R"({"sfp": {"a": {"vendorOui": 16777216}}})")
                                  << "sfp.a.vendorOui: must be between 0 and 16777215";
    QTest::newRow("OUI fractional") << QByteArray(R"({"sfp": {"a": {"vendorOui": 1.5}}})") << "sfp.a.vendorOui: must be a whole number";
    QTest::newRow("unknown measure") << QByteArray(R"({"sfp": {"a": {"diagnostics": {"humidity": 3}}}})")
                                     << "sfp.a.diagnostics.humidity: unknown member";
    QTest::newRow("too many satellites") << QByteArray(R"({"gps": {"gpsSatellites": 13}})") << "gps.gpsSatellites: must be between 0 and 12";
    QTest::newRow("flag as number") << QByteArray(R"({"gps": {"present": 1}})") << "gps.present: must be true or false";
    QTest::newRow("unknown gps key") << QByteArray(R"({"gps": {"fix": true}})") << "gps.fix: unknown member";
    QTest::newRow("not an object") << QByteArray("[]") << "(device): must be an object";
    QTest::newRow("valid, other members ignored")
        << QByteArray(R"({"type": 7, "mac": "02:4c:51:00:00:01", "traffic": {"load": 0.1, "a": {"jumbo": 0.2}},
                          "ports": {"b": {"media": "10G", "partner": {"pause": []}}}, "sfp": {"type": "10GBASE-LR", "a": {"present": false}},
                          "gps": {"acquireSeconds": 10}})")
        << "";
}

void TestDevicePhysics::parseErrors()
{
    QFETCH(QByteArray, scenario);
    QFETCH(QString, error);
    std::string message = "untouched";
    const auto settings = DevicePhysics::parse(Json::parse(scenario.toStdString()), &message);
    QCOMPARE(QString::fromStdString(message), error);
    QCOMPARE(settings == nullptr, !error.isEmpty());
}

void TestDevicePhysics::longReplayMatchesPolling()
{
    // Ten hours in one read take coarse steps; the totals must agree with a
    // device read every minute.
    const QByteArray scenario(R"({"traffic": {"burstiness": 0.5}})");
    Device once(scenario, kCopperCaps, 77);
    Device polled(scenario, kCopperCaps, 77);
    const uint64_t end = kT0 + 10 * 3600 * kSecond;
    for (uint64_t t = kT0; t < end; t += 60 * kSecond)
        polled.stats(t);
    const DeviceStatistics a = once.stats(end);
    const DeviceStatistics b = polled.stats(end);
    QCOMPARE(a.u.ports.linkUpMs, uint64_t(10 * 3600 * kSecond));
    for (int p = 0; p < 2; ++p) {
        const PortCounters &x = portOf(a, p);
        const PortCounters &y = portOf(b, p);
        QVERIFY(x.validPackets > 1000000000ull); // hours of a loaded gigabit line
        QVERIFY(std::abs(double(x.validPackets) / double(y.validPackets) - 1.0) < 0.02);
        QVERIFY(std::abs(double(x.validBytes) / double(y.validBytes) - 1.0) < 0.02);
        QVERIFY(x.invalid64To1522 > 0 && x.hardwareDropped > 0);
        QCOMPARE(x.validPackets, x.validUnder64 + x.valid64To1522 + x.validOver1522);
    }
}

QTEST_GUILESS_MAIN(TestDevicePhysics)
#include "tst_devicephysics.moc"
