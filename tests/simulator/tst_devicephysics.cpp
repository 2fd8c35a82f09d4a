// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Unit tests of the simulated device hardware: traffic counters, links and
// PHYs, configurable counters, capture filters and the capture tap, SFP
// modules, GPS and the device clock. Time only moves through the clock argument.

#include "recordterms.h"
#include "devicephysics.h"
#include "packetmatch.h"
#include "trafficmodel.h"

#include <nlohmann/json.hpp>

#include <QtTest>

#include <cmath>
#include <cstring>


using lqsim::DevicePhysics;
using Json = nlohmann::json;

namespace {

constexpr uint64_t kT0 = 1760000000000ull; // 2025-10-09 08:53:20 UTC
constexpr uint64_t kSecond = 1000;
constexpr uint32_t kCopperCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_PORT_SPEED | LQ_CAP_STATS_PORTS | LQ_CAP_PER_PORT_LINK;
constexpr uint32_t kCounterCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_STATS_COUNTERS_V2;
constexpr uint32_t kSfpCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_SFP | LQ_CAP_STATS_PORTS;
constexpr uint32_t kTimingCaps = LQ_CAP_CONFIGURABLE | LQ_CAP_TIMING | LQ_CAP_STATS_PORTS;
const char *const kAll = "an:1000f,100f,100h,10f,10h";

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
    p.auto_negotiation = terms.startsWith("an:");
    const std::map<QString, uint32_t *> bits{{"1000f", &p.speed_1000_full}, {"100f", &p.speed_100_full},
                                             {"100h", &p.speed_100_half},   {"10f", &p.speed_10_full},
                                             {"10h", &p.speed_10_half},     {"+master", &p.master}};
    for (const QString &item : terms.section(':', 1).split(',', Qt::SkipEmptyParts)) {
        if (item == "+forcemaster")
            p.master = p.force_master_slave = 1;
        else
            *bits.at(item) = 1;
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
    return (double(a.validBytes - b.validBytes) + 20.0 * double(a.validPackets - b.validPackets)) * 100.0 /
           double(a.capacity);
}

struct Device {
    DevicePhysics physics;
    Device(const QByteArray &json, uint32_t caps, uint64_t seed = 1, DeviceFeatures f = {}, const QString &portA = kAll,
           const QString &portB = kAll)
        : physics(settingsOf(json), caps, seed, kT0)
    {
        f.tap_mode = 1;
        physics.configure(f, {portSettings(portA), portSettings(portB)}, kT0);
    }
    DeviceStatistics stats(uint64_t atMs) { return read<DeviceStatistics>(&DevicePhysics::statistics, atMs); }
    LinkStatus link(uint64_t atMs) { return read<LinkStatus>(&DevicePhysics::linkStatus, atMs); }
    TimingStatus timing(uint64_t atMs) { return read<TimingStatus>(&DevicePhysics::timingStatus, atMs); }
    template <typename T, typename F> T read(F f, uint64_t atMs)
    {
        T record;
        (physics.*f)(atMs, &record);
        return record;
    }
};

// The alarm and warning flags that a module's readings and thresholds call for.
uint32_t expectedSfpFlags(const SfpPortInfo &m)
{
    auto at = [](const SfpDiagnostics &d, int i) {
        return std::array<float, 5>{d.temperature, d.voltage, d.txBias, d.txPower, d.rxPower}[size_t(i)];
    };
    uint32_t flags = 0;
    for (int i = 0; i < 5; ++i) {
        const float v = at(m.value, i);
        if (v > at(m.highAlarm, i) || v < at(m.lowAlarm, i))
            flags |= LQ_SFP_ALARM_TEMPERATURE << i;
        if (v > at(m.highWarning, i) || v < at(m.lowWarning, i))
            flags |= LQ_SFP_WARNING_TEMPERATURE << i;
    }
    return flags;
}

// A traffic scenario, the port settings on both ports, and what to expect of them.
struct Traffic {
    QByteArray scenario;
    QString ports;
    uint64_t capacity;
    double loadA, loadB; // mean usage checked when >= 0
    int drops, jumbos;   // these three checked when >= 0
    int collisionsDominate; // runts outnumber CRC errors, as on a half-duplex line
};

// A device clock setting, when it is read, and what it shows.
struct Clock {
    uint32_t initSource;
    bool waitForSync;
    int probe; // seconds after power-on
    int source;
    int toleranceMs; // -1: the clock runs from 1970
};

} // namespace

Q_DECLARE_METATYPE(Traffic)
Q_DECLARE_METATYPE(Clock)

class TestDevicePhysics : public QObject {
    Q_OBJECT

private slots:
    void trafficCounters_data()
    {
        QTest::addColumn<Traffic>("expected");
        auto steady = [](const char *more) {
            return "{\"traffic\": {\"burstiness\": 0, \"periodSeconds\": 60" + QByteArray(more);
        };
        auto row = [](const char *name, const Traffic &t) { QTest::newRow(name) << t; };
        row("steady office", {R"({"traffic": {"burstiness": 0}})", kAll, 125000000, -1, -1, 0, 0, 0});
        row("bursty 10G with jumbos",
            {R"({"ports": {"media": "10G"}, "traffic": {"load": 0.6, "burstiness": 1, "jumbo": 0.3}})", "an:1000f",
             1250000000, -1, -1, 1, 1, 0});
        row("half duplex 10M", {"{}", "forced:10h", 1250000, -1, -1, 1, 0, 1});
        row("1G light/moderate",
            {steady(R"(, "load": 0.05, "b": {"load": 0.3}}})"), "an:1000f,100f", 125000000, 0.05, 0.3, -1, -1, -1});
        row("100M heavy", {steady(R"(, "load": 0.7}})"), "forced:100f", 12500000, 0.7, 0.7, -1, -1, -1});
        row("10M", {steady(R"(, "load": 0.4}})"), "forced:10f", 1250000, 0.4, 0.4, -1, -1, -1});
        row("10G", {steady(R"(}, "ports": {"media": "10G"}})"), "an:", 1250000000, 0.22, 0.38, -1, -1, -1});
    }

    void trafficCounters()
    {
        QFETCH(Traffic, expected);
        const auto &[scenario, ports, capacity, loadA, loadB, drops, jumbos, collisionsDominate] = expected;
        Device d(scenario, kCopperCaps, 7, {}, ports, ports);
        DeviceStatistics before = d.stats(kT0);
        double sum[2] = {0, 0};
        const int seconds = 600;
        for (uint64_t s = 1; s <= seconds; ++s) {
            const DeviceStatistics now = d.stats(kT0 + s * kSecond);
            QCOMPARE(now.sampleTimeMs, kT0 + s * kSecond);
            QVERIFY(now.droppedPackets >= before.droppedPackets);
            for (int p = 0; p < 2; ++p) {
                const PortCounters &c = portOf(now, p);
                const uint64_t *w = &c.validUnder64;
                const uint64_t *b = &portOf(before, p).validUnder64;
                for (int i = 0; i < 11; ++i) {
                    if (w + i != &c.capacity)
                        QVERIFY2(w[i] >= b[i],
                                 qPrintable(QString("port %1 word %2 went back at %3 s").arg(p).arg(i).arg(s)));
                }
                QCOMPARE(c.capacity, capacity);
                QCOMPARE(c.validPackets, c.validUnder64 + c.valid64To1522 + c.validOver1522);
                QCOMPARE(c.invalidPackets, c.invalidUnder64 + c.invalid64To1522 + c.invalidOver1522);
                QVERIFY(c.hardwareDropped <= c.validPackets);
                QVERIFY(c.validBytes >= 60 * c.validPackets && c.validBytes <= 9018 * c.validPackets);
                QVERIFY(c.validUnder64 * 100 < c.validPackets + 100); // runts stay rare
                const double u = usage(now, before, p);
                QVERIFY2(u >= 0 && u <= 100, qPrintable(QString::number(u)));
                sum[p] += u;
            }
            before = now;
        }
        const double load[2] = {loadA, loadB};
        for (int p = 0; p < 2; ++p) {
            const PortCounters &c = portOf(before, p);
            QVERIFY(c.valid64To1522 > 0);
            if (drops >= 0) {
                QCOMPARE(c.hardwareDropped > 0, bool(drops));
                QCOMPARE(c.validOver1522 > 0, bool(jumbos));
                QCOMPARE(c.invalidUnder64 > c.invalid64To1522, bool(collisionsDominate));
            }
            const double mean = sum[p] / seconds;
            if (load[p] >= 0)
                QVERIFY2(std::abs(mean - load[p] * 100) <= load[p] * 100 * 0.2 + 1.0,
                         qPrintable(QString("port %1 mean usage %2 %, load %3").arg(p).arg(mean).arg(load[p])));
        }
    }

    void sameSeedSameRecords()
    {
        const QByteArray scenario(
            R"({"traffic": {"burstiness": 0.8}, "ports": {"a": {"flaps": [{"at": 20, "for": 3}]}}})");
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

    void linkResolution_data()
    {
        QTest::addColumn<QByteArray>("partner");
        QTest::addColumn<QString>("local");
        QTest::addColumn<uint32_t>("speed");
        QTest::addColumn<uint32_t>("duplex");
        QTest::addColumn<int>("slave"); // -1: not checked
        QTest::addColumn<bool>("parallelFault");
        QTest::addColumn<bool>("masterSlaveFault");
        auto row = [](const char *name, const char *partner, const char *local, uint32_t speed, uint32_t duplex = 0,
                      int slave = -1, bool parallelFault = false, bool masterSlaveFault = false) {
            QTest::newRow(name) << QByteArray(partner) << QString(local) << speed << duplex << slave << parallelFault
                                << masterSlaveFault;
        };
        const char *const noNegotiation100 = R"({"autoNegotiation": false, "abilities": ["100full"]})";
        const char *const noNegotiation10 = R"({"autoNegotiation": false, "abilities": ["10full"]})";
        row("negotiate all", "{}", kAll, LQ_LINK_1G, 0, 1);
        row("advertise 100 only", "{}", "an:100f,10f", LQ_LINK_100M);
        row("partner half only", R"({"abilities": ["100half", "10full"]})", kAll, LQ_LINK_100M, 1);
        row("partner 1000 half only", R"({"abilities": ["1000half"]})", kAll, LQ_LINK_DOWN);
        row("nothing advertised", "{}", "an:", LQ_LINK_DOWN);
        row("parallel detection", noNegotiation100, kAll, LQ_LINK_100M, 1);
        row("parallel detection fault", noNegotiation100, "an:1000f,10f", LQ_LINK_DOWN, 0, -1, true);
        row("gigabit partner without negotiation", R"({"autoNegotiation": false})", "an:1000f,100f", LQ_LINK_DOWN);
        row("forced 100 full", "{}", "forced:100f", LQ_LINK_100M);
        row("forced 10 half", "{}", "forced:10h", LQ_LINK_10M, 1);
        row("forced 1000", "{}", "forced:1000f", LQ_LINK_1G);
        row("forced 1000, partner 100", R"({"abilities": ["100full"]})", "forced:1000f", LQ_LINK_DOWN);
        row("forced speeds differ", noNegotiation10, "forced:100f", LQ_LINK_DOWN);
        row("forced speeds agree", noNegotiation10, "forced:10f", LQ_LINK_10M);
        row("partner unplugged", R"({"connected": false})", "an:1000f", LQ_LINK_DOWN);
        row("we prefer master", "{}", "an:1000f,+master", LQ_LINK_1G, 0, 0);
        row("partner forces master", R"({"role": "master"})", "an:1000f,+master", LQ_LINK_1G, 0, 1);
        row("both force master", R"({"role": "master"})", "an:1000f,+forcemaster", LQ_LINK_DOWN, 0, -1, false, true);
        row("we force master, partner slave", R"({"role": "slave"})", "an:1000f,+forcemaster", LQ_LINK_1G, 0, 0);
    }

    void linkResolution()
    {
        QFETCH(QByteArray, partner);
        QFETCH(QString, local);
        QFETCH(uint32_t, speed);
        QFETCH(uint32_t, duplex);
        QFETCH(int, slave);
        QFETCH(bool, parallelFault);
        QFETCH(bool, masterSlaveFault);
        // Port B keeps defaults: one port's settings must not leak into the other.
        Device d("{\"ports\": {\"a\": {\"partner\": " + partner + "}}}", kCopperCaps, 3, {}, local, kAll);
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

    void linkOutagesAreReported()
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

        // Scheduled flaps: one read long after both still sees the last outage.
        Device f(R"({"ports": {"b": {"flaps": [{"at": 30, "for": 2.5}, {"at": 100, "for": 1}]}}})", kCopperCaps);
        QCOMPARE(f.link(kT0 + 31 * kSecond).portBSpeed, uint32_t(LQ_LINK_DOWN));
        QCOMPARE(f.link(kT0 + 31 * kSecond).portASpeed, uint32_t(LQ_LINK_1G));
        const DeviceStatistics s = f.stats(kT0 + 200 * kSecond);
        QCOMPARE(s.u.ports.linkUpMs, uint64_t(99 * kSecond));
        QCOMPARE(s.u.ports.lastLinkDownMs, uint64_t(1000));
    }

    void phyMirrorsPartnerAndReportsEventsOnce()
    {
        Device d(R"({"ports": {"partner": {"abilities": ["1000full", "100full", "10half"], "pause": ["symmetric"]}}})",
                 kCopperCaps);
        const PortPhyStatus p = d.link(kT0 + kSecond).portAPhy;
        // Partner abilities in order: AN, 1000F, 1000H, 100F, 100H, 10F, 10H, symmetric and asymmetric pause, receiver.
        const uint32_t seen[] = {p.partnerAutoNegCapable,  p.advertise1000BaseTFull,  p.advertise1000BaseTHalf,
                                 p.advertise100BaseTxFull, p.advertise100BaseTxHalf,  p.advertise10BaseTFull,
                                 p.advertise10BaseTHalf,   p.advertiseSymmetricPause, p.advertiseAsymmetricPause,
                                 p.remoteReceiverOk};
        const uint32_t expected[] = {1, 1, 0, 1, 0, 0, 1, 1, 0, 1};
        for (size_t i = 0; i < std::size(seen); ++i)
            QVERIFY2(seen[i] == expected[i], qPrintable(QString("ability %1").arg(i)));

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
        QVERIFY(total > 0 && total < 200);
        QVERIFY(reportsWithErrors > 0 && reportsWithErrors < 100);
    }

    void sfpModules()
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
        const LinkStatus c = Device("{}", kCopperCaps).link(kT0 + kSecond);
        QCOMPARE(c.sfp.valid, uint8_t(0));
        QCOMPARE(c.sfp.portA.present, uint8_t(0));
    }

    void sfpFlags_data()
    {
        QTest::addColumn<QByteArray>("portA");
        QTest::addColumn<bool>("disabled");
        QTest::addColumn<uint32_t>("flags");
        const uint32_t rxLow = LQ_SFP_WARNING_RX_POWER | LQ_SFP_ALARM_RX_POWER;
        QTest::newRow("nominal") << QByteArray("{}") << false << 0u;
        QTest::newRow("warm") << QByteArray(R"({"diagnostics": {"temperature": 72}})") << false
                              << uint32_t(LQ_SFP_WARNING_TEMPERATURE);
        QTest::newRow("hot") << QByteArray(R"({"diagnostics": {"temperature": 80}})") << false
                             << uint32_t(LQ_SFP_WARNING_TEMPERATURE | LQ_SFP_ALARM_TEMPERATURE);
        QTest::newRow("low supply") << QByteArray(R"({"diagnostics": {"voltage": 3.05}})") << false
                                    << uint32_t(LQ_SFP_WARNING_VOLTAGE);
        QTest::newRow("high bias") << QByteArray(R"({"diagnostics": {"txBias": 11}})") << false
                                   << uint32_t(LQ_SFP_WARNING_BIAS);
        QTest::newRow("weak signal") << QByteArray(R"({"diagnostics": {"rxPower": 0.03}})") << false << rxLow;
        QTest::newRow("no partner") << QByteArray("{}") << false << (LQ_SFP_STATUS_RX_LOS | rxLow);
        QTest::newRow("port disabled") << QByteArray("{}") << true
                                       << uint32_t(LQ_SFP_STATUS_TX_DISABLE | LQ_SFP_WARNING_TX_POWER |
                                                   LQ_SFP_ALARM_TX_POWER);
        QTest::newRow("laser fault") << QByteArray(R"({"txFault": true})") << false << uint32_t(LQ_SFP_STATUS_TX_FAULT);
    }

    void sfpFlags()
    {
        QFETCH(QByteArray, portA);
        QFETCH(bool, disabled);
        QFETCH(uint32_t, flags);
        const bool noPartner = QByteArray(QTest::currentDataTag()) == "no partner";
        const QByteArray scenario = "{\"sfp\": {\"wander\": 0, \"a\": " + portA + "}" +
                                    (noPartner ? ", \"ports\": {\"a\": {\"partner\": {\"connected\": false}}}}" : "}");
        DeviceFeatures f{};
        f.disable_port_a = disabled;
        Device d(scenario, kSfpCaps, 5, f);
        const LinkStatus l = d.link(kT0 + 60 * kSecond);
        QCOMPARE(l.sfp.portA.flags, flags);
        QCOMPARE(l.sfp.portB.flags, 0u); // Port B is a healthy LR module
        QCOMPARE(l.portASpeed == LQ_LINK_DOWN, noPartner || disabled);
    }

    void sfpDriftTripsFlags()
    {
        // A module running just under its warning temperature drifts across it.
        Device d(R"({"sfp": {"a": {"diagnostics": {"temperature": 69.3}}}})", kSfpCaps, 21);
        int above = 0, below = 0;
        float lowest = 1000, highest = -1000;
        for (uint64_t s = 600; s <= 4 * 3600; s += 30) {
            const LinkStatus l = d.link(kT0 + s * kSecond);
            for (const SfpPortInfo *m : {&l.sfp.portA, &l.sfp.portB})
                QCOMPARE(m->flags, expectedSfpFlags(*m));
            const float t = l.sfp.portA.value.temperature;
            lowest = std::min(lowest, t);
            highest = std::max(highest, t);
            (t > 70.0f ? above : below) += 1;
        }
        QVERIFY2(above > 0 && below > 0, qPrintable(QString("%1 above, %2 below").arg(above).arg(below)));
        QVERIFY(highest - lowest > 1.0f && highest - lowest < 8.0f);
    }

    void gpsAcquisition_data()
    {
        QTest::addColumn<double>("acquire");
        QTest::addColumn<double>("lock");
        QTest::newRow("quick") << 20.0 << 30.0;
        QTest::newRow("default") << 45.0 << 60.0;
        QTest::newRow("cold start") << 120.0 << 90.0;
    }

    void gpsAcquisition()
    {
        QFETCH(double, acquire);
        QFETCH(double, lock);
        Device d(QString(R"({"gps": {"acquireSeconds": %1, "lockSeconds": %2}})").arg(acquire).arg(lock).toUtf8(),
                 kTimingCaps, 8);
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


    void deviceClock_data()
    {
        QTest::addColumn<Clock>("clock");
        QTest::newRow("system") << Clock{0, false, 5, LQ_TIME_SOURCE_SYSTEM, 0};
        QTest::newRow("rtc") << Clock{1, false, 5, LQ_TIME_SOURCE_RTC, 3000};
        QTest::newRow("gps before fix") << Clock{2, false, 30, LQ_TIME_SOURCE_NONE, -1};
        QTest::newRow("gps after fix") << Clock{2, false, 46, LQ_TIME_SOURCE_GPS, 0};
        QTest::newRow("gps waits for sync") << Clock{2, true, 100, LQ_TIME_SOURCE_NONE, -1};
        QTest::newRow("gps synced") << Clock{2, true, 106, LQ_TIME_SOURCE_GPS, 0};
        QTest::newRow("none") << Clock{3, false, 5, LQ_TIME_SOURCE_NONE, -1};
    }

    void deviceClock()
    {
        QFETCH(Clock, clock);
        const auto [initSource, waitForSync, probe, source, toleranceMs] = clock;
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
            QVERIFY2(std::abs(device.toMSecsSinceEpoch() - int64_t(now)) <= toleranceMs + 999,
                     qPrintable(device.toString(Qt::ISODate)));

        // A later change of the setting waits for the next power-up.
        f.timestamp_init_source = initSource == 0 ? 3 : 0;
        d.physics.configure(f, {portSettings("an:1000f"), portSettings("an:1000f")}, now);
        QCOMPARE(d.timing(now).timeSource, source);
    }

    void setTime()
    {
        DeviceFeatures f{};
        f.timestamp_init_source = 3;
        Device d("{}", kTimingCaps, 4, f);
        d.physics.setTime(TimingTimeSet{LQ_TIME_SOURCE_SNTP, 1700000000, 1700000000}, kT0 + 10 * kSecond);
        TimingStatus t = d.timing(kT0 + 100 * kSecond);
        QCOMPARE(t.timeSource, int(LQ_TIME_SOURCE_SNTP));
        QCOMPARE(QDate(t.year, t.month, t.day), QDate(2023, 11, 14));
        QCOMPARE(QTime(t.hour, t.minute, t.second), QTime(22, 14, 50)); // 22:13:20 plus 90 s

        // GPS time needs a tracked satellite (after 15 % of the 45 s search).
        const TimingTimeSet gps{LQ_TIME_SOURCE_GPS, 0, 0};
        Device g("{}", kTimingCaps, 4, f);
        g.physics.setTime(gps, kT0 + kSecond);
        QCOMPARE(g.timing(kT0 + 5 * kSecond).timeSource, int(LQ_TIME_SOURCE_NONE));
        t = g.timing(kT0 + 8 * kSecond);
        QCOMPARE(t.timeSource, int(LQ_TIME_SOURCE_GPS));
        QCOMPARE(
            QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second), Qt::UTC).toMSecsSinceEpoch(),
            int64_t(kT0 + 8 * kSecond));

        // Without a receiver a GPS request changes nothing.
        Device none(R"({"gps": {"present": false}})", kTimingCaps, 4, f);
        none.physics.setTime(gps, kT0 + kSecond);
        QCOMPARE(none.timing(kT0 + 600 * kSecond).timeSource, int(LQ_TIME_SOURCE_NONE));
    }

    void counterRules_data()
    {
        QTest::addColumn<QStringList>("left"); // rules summed
        QTest::addColumn<QString>("relation");
        QTest::addColumn<QString>("right");
        const QString all = "ports=ab";
        const QString v4 = "ports=ab ipv4=1";
        QTest::newRow("IPv4 and IPv6 leave out ARP and LLDP") << QStringList{v4, "ports=ab ipv6=1"} << "<" << all;
        QTest::newRow("not IPv4 completes IPv4") << QStringList{v4, "ports=ab ipv4=0"} << "=" << all;
        QTest::newRow("routing partitions all")
            << QStringList{"ports=ab ucast=1", "ports=ab mcast=1", "ports=ab bcast=1"} << "=" << all;
        QTest::newRow("ports partition all") << QStringList{"ports=a", "ports=b"} << "=" << all;
        QTest::newRow("sizes partition all") << QStringList{"ports=ab size>1000", "ports=ab size<1001"} << "=" << all;
        QTest::newRow("disabled ports count nothing") << QStringList{"ports= ipv4=1"} << "=0" << all;
        QTest::newRow("CRC errors are rare") << QStringList{"ports=ab crc=0"} << "<1%" << all;
        QTest::newRow("drops and kept make all")
            << QStringList{"ports=ab dropped=1", "ports=ab dropped=0"} << "=" << all;
    }

    void counterRules()
    {
        QFETCH(QStringList, left);
        QFETCH(QString, relation);
        QFETCH(QString, right);
        Device d(R"({"traffic": {"burstiness": 0.8, "crcErrors": 1e-4}})", kCounterCaps, 12);
        uint32_t index = 0;
        for (const QString &terms : left)
            d.physics.setCounterV2(counterRule(index++, terms), kT0);
        const uint32_t rightIndex = index;
        d.physics.setCounterV2(counterRule(rightIndex, right), kT0);
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
        // Every counter adds up the same sampled packets, so a partition is exact.
        if (relation == "<")
            QVERIFY2(sum > 0 && sum < r, qPrintable(detail));
        else if (relation == "=")
            QVERIFY2(r > 0 && sum == r, qPrintable(detail));
        else if (relation == "=0")
            QVERIFY2(sum == 0 && r > 0, qPrintable(detail));
        else if (relation == "<1%")
            QVERIFY2(sum > 0 && sum < r / 100, qPrintable(detail));
        else
            QFAIL("unknown relation");
    }

    void countersMatchPortFigures()
    {
        // The same hardware seen through both statistics formats.
        const QByteArray scenario(R"({"traffic": {"burstiness": 1, "load": 0.6, "crcErrors": 1e-4}})");
        Device ports(scenario, kCopperCaps, 31);
        Device counters(scenario, kCounterCaps, 31);
        uint32_t index = 0;
        for (const char *terms : {"ports=a crc=1", "ports=b crc=0", "ports=a crc=1 mode=bytes", "ports=ab dropped=1"})
            counters.physics.setCounterV2(counterRule(index++, terms), kT0);
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

    void counterRuleChangeKeepsValue()
    {
        Device d(R"({"traffic": {"burstiness": 1, "load": 0.6}})", kCounterCaps, 5);
        d.physics.setCounterV2(counterRule(4, "ports=ab"), kT0);
        const uint64_t before = d.stats(kT0 + 60 * kSecond).u.configurable.counters[4];
        const uint64_t drops = d.stats(kT0 + 60 * kSecond).u.configurable.counters[15];
        QVERIFY(before > 0 && drops > 0);
        // Narrowing a rule, or turning the drop counter into an ordinary one,
        // continues from the value shown.
        d.physics.setCounterV2(counterRule(4, "ports=a icmp=1"), kT0 + 60 * kSecond);
        d.physics.setCounterV2(counterRule(15, "ports=b ipv6=1"), kT0 + 60 * kSecond);
        const DeviceStatistics same = d.stats(kT0 + 60 * kSecond);
        QCOMPARE(same.u.configurable.counters[4], before);
        QCOMPARE(same.u.configurable.counters[15], drops);
        const DeviceStatistics later = d.stats(kT0 + 120 * kSecond);
        const uint64_t grew4 = later.u.configurable.counters[4] - before;
        const uint64_t grew15 = later.u.configurable.counters[15] - drops;
        QVERIFY(grew4 > 0 && grew4 < before / 20); // ICMP is a sliver of the traffic
        QVERIFY(grew15 > drops);                   // IPv6 on B is far more than the drops were
    }

    void captureTap_data()
    {
        QTest::addColumn<bool>("keepCrc");
        QTest::addColumn<int>("slice"); // 0: slicing off
        QTest::addColumn<bool>("forwardBad");
        QTest::addColumn<bool>("https"); // header filter: port 443 at either end
        QTest::addColumn<QByteArray>("pattern"); // pattern filter
        QTest::addColumn<int>("fewest");         // packets per port in three seconds
        QTest::addColumn<int>("most");
        const QByteArray page("<!DOCTYPE html>");
        QTest::newRow("plain") << false << 0 << false << false << QByteArray() << 300 << 1200;
        QTest::newRow("with FCS") << true << 0 << false << false << QByteArray() << 300 << 1200;
        QTest::newRow("sliced, FCS kept") << true << 96 << false << false << QByteArray() << 300 << 1200;
        QTest::newRow("bad frames forwarded, HTTPS") << true << 0 << true << true << QByteArray() << 100 << 1200;
        QTest::newRow("web pages") << false << 0 << false << false << page << 1 << 100;
        QTest::newRow("web pages over HTTPS") << false << 0 << false << true << page << 0 << 0;
    }

    void captureTap()
    {
        QFETCH(bool, keepCrc);
        QFETCH(int, slice);
        QFETCH(bool, forwardBad);
        QFETCH(bool, https);
        QFETCH(QByteArray, pattern);
        QFETCH(int, fewest);
        QFETCH(int, most);
        DeviceFeatures f{};
        f.keep_crc = keepCrc;
        f.packet_slicing = slice > 0;
        f.slicing_length = uint16_t(slice);
        f.transmit_crc_errors = forwardBad;
        Device d(R"({"traffic": {"crcErrors": 0.01, "collisions": 0.005, "jabbers": 0.005}})", kCopperCaps, 23, f);
        if (https)
            d.physics.setPacketFilter(filterOf("either=port sport=443/3"), kT0);
        DpiFilter dpi{};
        dpi.enabled = !pattern.isEmpty();
        std::memcpy(dpi.pattern, pattern.constData(), size_t(pattern.size()));
        dpi.pattern_mask = (1u << pattern.size()) - 1;
        d.physics.setDpiFilter(dpi, kT0);
        // Packets carry the device clock, here set by SNTP.
        const uint32_t deviceSeconds = 1800000000;
        d.physics.setTime({LQ_TIME_SOURCE_SNTP, deviceSeconds, deviceSeconds}, kT0 + kSecond);
        const uint64_t from = kT0 + kSecond, to = kT0 + 4 * kSecond;
        d.physics.openCaptureTap(from);
        uint64_t before = 0, after = 0;
        d.physics.captured(from, &before, nullptr);
        uint64_t represented = 0;
        bool sawBad = false;
        for (int port = 0; port < 2; ++port) {
            std::vector<lqsim::CapturedPacket> got;
            uint64_t missed = 1;
            d.physics.takeCapturedPackets(port, from, to, &got, &missed);
            QCOMPARE(missed, uint64_t(0));
            // The sample rate bounds the count, not the line rate.
            QVERIFY2(int(got.size()) >= fewest && int(got.size()) <= most, qPrintable(QString::number(got.size())));
            uint64_t previous = 0;
            for (const lqsim::CapturedPacket &c : got) {
                const QString at = QString("port %1, %2 of %3 bytes").arg(port).arg(c.data.size()).arg(c.wireLength);
                QCOMPARE(c.port, port);
                QVERIFY(c.timestampNs >= previous && c.timestampNs >= deviceSeconds * 1000000000ull
                        && c.timestampNs < (deviceSeconds + 3) * 1000000000ull);
                previous = c.timestampNs;
                represented += c.represents;
                sawBad = sawBad || !c.fcsValid;
                const uint32_t onHost = keepCrc ? c.wireLength : c.wireLength - 4;
                QVERIFY2(c.data.size() == (slice ? std::min<uint32_t>(onHost, uint32_t(slice)) : onHost), qPrintable(at));
                if (!slice) {
                    const size_t frame = c.wireLength - 4;
                    QCOMPARE(lqsim::ethernetCrc32(c.data.data(), frame) == c.fcs, c.fcsValid);
                    if (keepCrc) {
                        uint32_t carried = 0;
                        std::memcpy(&carried, c.data.data() + frame, 4); // least significant byte first
                        QCOMPARE(carried, c.fcs);
                    }
                }
                if (https && c.fcsValid) {
                    const auto h = lqsim::parseHeaders(c.data.data(), c.data.size());
                    QVERIFY2(h.hasPorts && (h.srcPort == 443 || h.dstPort == 443), qPrintable(at));
                }
                QVERIFY(QByteArray::fromRawData(reinterpret_cast<const char *>(c.data.data()), qsizetype(c.data.size()))
                            .contains(pattern));
            }
        }
        d.physics.captured(to, &after, nullptr);
        QCOMPARE(represented, after - before);
        QCOMPARE(sawBad, forwardBad);
        // What the tap still held before a later interval is reported missed.
        std::vector<lqsim::CapturedPacket> later;
        uint64_t missed = 0;
        d.physics.takeCapturedPackets(0, to + kSecond, to + 2 * kSecond, &later, &missed);
        if (fewest >= 100)
            QVERIFY(missed > 0 && !later.empty());
    }

    void parseErrors_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<QString>("error");
        auto row = [](const char *name, const char *json, const char *error) {
            QTest::newRow(name) << QByteArray(json) << QString(error);
        };
        row("load too high", R"({"traffic": {"a": {"load": 1.5}}})", "traffic.a.load: must be between 0 and 1");
        row("unknown port", R"({"traffic": {"c": {}}})", "traffic.c: unknown member");
        row("too much multicast", R"({"traffic": {"multicast": 0.3, "broadcast": 0.3}})",
            "traffic.a: multicast and broadcast together must not exceed 0.5");
        row("unknown ability", R"({"ports": {"b": {"partner": {"abilities": ["1000full", "2500full"]}}}})",
            "ports.b.partner.abilities[1]: unknown ability \"2500full\" "
            "(1000full, 1000half, 100full, 100half, 10full or 10half)");
        row("unknown role", R"({"ports": {"partner": {"role": "boss"}}})",
            "ports.partner.role: must be \"auto\", \"master\" or \"slave\"");
        row("flap without length", R"({"ports": {"a": {"flaps": [{"at": 5}]}}})",
            "ports.a.flaps[0]: needs both \"at\" and \"for\"");
        row("unknown media", R"({"ports": {"media": "fibre"}})", "ports.media: must be \"copper\" or \"10G\"");
        row("model too long", R"({"sfp": {"a": {"model": "ABCDEFGHIJKLMNOPQ"}}})",
            "sfp.a.model: must be at most 16 characters");
        row("unknown module", R"({"sfp": {"b": {"type": "40GBASE-SR4"}}})",
            "sfp.b.type: must be one of 10GBASE-SR, 10GBASE-LR or 1000BASE-SX");
        row("short option list", R"({"sfp": {"a": {"options": [0, 1]}}})",
            "sfp.a.options: must be an array of 14 whole numbers");
        const QByteArray words = "{\"sfp\": {\"transceiver\": [" + QByteArray("0,").repeated(55) + "-1]}}";
        row("negative word", words.constData(), "sfp.transceiver[55]: must be between 0 and 4294967295");
        row("thresholds out of order", R"({"sfp": {"a": {"highWarning": {"temperature": 90}}}})",
            "sfp.a.highAlarm.temperature: must not be below highWarning");
        row("flag as number", R"({"gps": {"present": 1}})", "gps.present: must be true or false");
        row("no samples", R"({"traffic": {"b": {"samples": 0}}})", "traffic.b.samples: must be between 1 and 10000");
        row("not an object", "[]", "(device): must be an object");
        row("valid, other members ignored",
            R"({"type": 7, "mac": "02:4c:51:00:00:01", "traffic": {"load": 0.1, "a": {"jumbo": 0.2}},
                "ports": {"b": {"media": "10G", "partner": {"pause": []}}}, "sfp": {"type": "10GBASE-LR", "a": {"present": false}},
                "gps": {"acquireSeconds": 10}})",
            "");
    }

    void parseErrors()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(QString, error);
        std::string message = "untouched";
        const auto settings = DevicePhysics::parse(Json::parse(scenario.toStdString()), &message);
        QCOMPARE(QString::fromStdString(message), error);
        QCOMPARE(settings == nullptr, !error.isEmpty());
    }

};

QTEST_GUILESS_MAIN(TestDevicePhysics)
#include "tst_devicephysics.moc"
