// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Unit tests of the device's packet classifier on a fixed list of hand-made
// frames: which of them each counter rule field, each header filter field and
// the pattern filter select.

#include "packetmatch.h"
#include "recordterms.h"

#include <QtTest>

#include <algorithm>
#include <cstring>
#include <functional>

using namespace lqsim;

Q_DECLARE_METATYPE(DpiFilter)

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray be16(int v)
{
    return QByteArray(1, char(v >> 8)) + char(v & 0xff);
}

// IP headers sized for a frame of `wire` bytes on the line.
QByteArray ipv4(const char *src, const char *dst, int protocol, int wire, int fragment = 0)
{
    return hex("4500") + be16(wire - 18) + hex("0000") + be16(fragment) + hex("40") + char(protocol) + hex("0000")
        + address(src) + address(dst);
}

QByteArray ipv6(const char *src, const char *dst, int next, int wire)
{
    return hex("60000000") + be16(wire - 58) + char(next) + hex("40") + address(src) + address(dst);
}

QByteArray tcp(int sport, int dport)
{
    return be16(sport) + be16(dport) + hex("00000001 00000000 5018 faf0 0000 0000");
}

QByteArray udp(int sport, int dport, int length = 8)
{
    return be16(sport) + be16(dport) + be16(length) + hex("0000");
}

struct Packet {
    QByteArray bytes; // FCS excluded
    PacketFacts facts;
};

// Pads with zeros to the size on the line, or cuts a fragment short.
Packet frame(const QByteArray &bytes, uint32_t wire, bool crcValid = true, bool dropped = false)
{
    QByteArray b = bytes.left(int(wire) - 4);
    b.append(QByteArray(int(wire) - 4 - b.size(), '\0'));
    return {b, {wire, crcValid, dropped}};
}

const QList<Packet> &packets()
{
    static const QList<Packet> list = [] {
        const QByteArray router = hex("001e58400c01"), dns = hex("021a2b003235"), server = hex("021a2b00320a");
        auto client = [](int n) { return hex("021a2b0001") + char(n); };
        const QByteArray alphabet = "abcdefghijklmnopqrstuvwxyz";
        return QList<Packet>{
            /* 0 */ frame(router + client(0x0a) + hex("0800") + ipv4("10.20.1.10", "203.0.113.20", 6, 1518)
                              + tcp(50000, 443) + "GET /index.html",
                          1518),
            /* 1 */ frame(dns + client(0x0b) + hex("0800") + ipv4("10.20.1.11", "192.168.50.53", 17, 82) + udp(53000, 53), 82),
            /* 2 */ frame(router + client(0x0c) + hex("0800") + ipv4("10.20.1.12", "192.168.50.1", 1, 98)
                              + hex("0800000000010001") + alphabet + alphabet,
                          98),
            /* 3 */ frame(router + client(0x0a) + hex("86dd") + ipv6("2001:db8:20::100", "2001:db8:8000::20", 6, 84)
                              + tcp(50001, 443),
                          84),
            /* 4 */ frame(hex("333300000001") + client(0x0b) + hex("86dd") + ipv6("2001:db8:20::101", "ff02::1", 58, 86)
                              + hex("88000000"),
                          86),
            /* 5 */ frame(hex("01005e010102") + hex("021a2b00321e") + hex("0800")
                              + ipv4("192.168.50.30", "239.1.1.2", 17, 1358) + udp(5004, 5004),
                          1358),
            /* 6 */ frame(hex("ffffffffffff") + client(0x0c) + hex("0806 0001 0800 0604 0001") + client(0x0c)
                              + address("10.20.1.12") + hex("000000000000") + address("192.168.50.1"),
                          64),
            /* 7 */ frame(hex("ffffffffffff") + hex("021a2b0001f0") + hex("0800")
                              + ipv4("0.0.0.0", "255.255.255.255", 17, 342) + udp(68, 67),
                          342),
            /* 8 */ frame(server + client(0x0d) + hex("8100 0064 0800") + ipv4("10.20.1.13", "192.168.50.10", 17, 124)
                              + udp(40000, 8080),
                          128),
            /* 9 */ frame(router + client(0x0e) + hex("0800") + ipv4("10.20.1.14", "203.0.113.21", 17, 1518, 185)
                              + udp(7, 7),
                          1518),
            /* 10 */ frame(hex("3333000000fb") + client(0x0a) + hex("86dd") + ipv6("2001:db8:20::102", "ff02::fb", 0, 140)
                               + hex("1100 0104 00000000") + udp(5353, 5353),
                           140),
            /* 11 */ frame(router + client(0x0a) + hex("86dd") + ipv6("2001:db8:20::100", "2001:db8:8000::20", 6, 1518)
                               + tcp(50003, 443),
                           48, false),
            /* 12 */ frame(client(0x0f) + router + hex("0800") + ipv4("203.0.113.22", "10.20.1.15", 6, 64) + tcp(443, 50002),
                           64, true, true),
            /* 13 */ frame(dns + client(0x10) + hex("0800") + ipv4("10.20.1.16", "192.168.50.53", 17, 1000) + udp(53001, 53),
                           1000, false),
        };
    }();
    return list;
}

// The indices of the packets a predicate selects: "0,3", "all" or "none".
QString selected(const std::function<bool(const Packet &, const PacketHeaders &)> &accepts)
{
    QStringList hits;
    const auto &list = packets();
    for (int i = 0; i < list.size(); ++i) {
        const Packet &p = list[i];
        if (accepts(p, parseHeaders(reinterpret_cast<const uint8_t *>(p.bytes.constData()), size_t(p.bytes.size()))))
            hits << QString::number(i);
    }
    return hits.size() == list.size() ? "all" : (hits.isEmpty() ? "none" : hits.join(','));
}

} // namespace

class TestPacketMatch : public QObject {
    Q_OBJECT

private slots:
    void counterRule_data()
    {
        QTest::addColumn<QString>("terms");
        QTest::addColumn<QString>("expected");
        const QString v4 = "0,1,2,5,7,8,9,12,13";
        QTest::newRow("no criteria") << "" << "all";
        QTest::newRow("IPv4, VLAN-tagged too") << "ipv4=1" << v4;
        QTest::newRow("not IPv4") << "ipv4=0" << "3,4,6,10,11";
        QTest::newRow("IPv6, fragment of one too") << "ipv6=1" << "3,4,10,11";
        QTest::newRow("neither family") << "ipv4=0 ipv6=0" << "6";
        QTest::newRow("broadcast") << "bcast=1" << "6,7";
        QTest::newRow("multicast") << "mcast=1" << "4,5,10";
        QTest::newRow("unicast") << "ucast=1" << "0,1,2,3,8,9,11,12,13";
        QTest::newRow("ICMP and ICMPv6") << "icmp=1" << "2,4";
        QTest::newRow("UDP, behind extension headers and in later fragments")
            << "udp=1" << "1,5,7,8,9,10,13";
        QTest::newRow("TCP") << "tcp=1" << "0,3,11,12";
        QTest::newRow("neither UDP nor TCP") << "tcp=0 udp=0" << "2,4,6";
        QTest::newRow("bad CRC") << "crc=0" << "11,13";
        QTest::newRow("dropped") << "dropped=1" << "12";
        QTest::newRow("kept with good CRC") << "dropped=0 crc=1" << "0,1,2,3,4,5,6,7,8,9,10";
        QTest::newRow("larger than, FCS included") << "size>1358" << "0,9";
        QTest::newRow("smaller than") << "size<84" << "1,6,11,12";
        QTest::newRow("equal") << "size=98" << "2";
        QTest::newRow("one source") << "addr=10.20.1.12/255.255.255.255" << "2";
        QTest::newRow("one destination") << "addr=192.168.50.53/255.255.255.255" << "1,13";
        QTest::newRow("subnet at either end") << "addr=10.20.1.0/255.255.255.0" << "0,1,2,8,9,12,13";
        QTest::newRow("the unspecified address") << "ipv4=1 addr=0.0.0.0/255.255.255.255" << "7";
        QTest::newRow("IPv6 prefix, not in a fragment") << "ipv6=1 addr6=2001:db8:20::/ffff:ffff:ffff::" << "3,4,10";
        QTest::newRow("IPv6 mask bit by bit")
            << "ipv6=1 addr6=2001:db8:20::100/ffff:ffff:ffff::fffe" << "3,4";
        QTest::newRow("IPv6 told by the mask") << "addr6=ff02::/ffff::" << "4,10";
        QTest::newRow("IPv4 rule reads the first four bytes") << "ipv4=1 addr6=2001:db8:20::/ffff:ffff:ffff::" << v4;
        QTest::newRow("all at once") << "ucast=1 udp=1 size<200 crc=1" << "1,8";
    }

    void counterRule()
    {
        QFETCH(QString, terms);
        QFETCH(QString, expected);
        const CounterV2Config rule = ::counterRule(0, terms);
        QCOMPARE(selected([&](const Packet &p, const PacketHeaders &h) { return counterRuleMatches(rule, h, p.facts); }),
                 expected);
    }

    void packetFilter_data()
    {
        QTest::addColumn<QString>("terms");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const char *terms, const char *expected) {
            QTest::newRow(name) << QString(terms) << QString(expected);
        };
        row("disabled", "off dport=443/3", "all");
        row("destination MAC", "dmac=001e58400c01/3f", "0,2,3,9,11");
        row("destination MAC, first two bytes", "dmac=333300000000/30", "4,10");
        row("source MAC", "smac=021a2b00010a/3f", "0,3,10,11");
        row("MAC either way, destination field ignored", "either=mac smac=001e58400c01/3f dmac=021a2b00010a/3f",
            "0,2,3,9,11,12");
        row("source IPv4, last byte open", "sip=10.20.1.0/e", "0,1,2,8,9,13");
        row("destination IPv4", "dip=192.168.50.53/f", "1,13");
        row("destination IPv4 behind a VLAN tag", "dip=192.168.50.10/f", "8");
        row("IP either way, destination field ignored", "either=ip sip=10.20.1.15/f dip=10.20.1.10/f", "12");
        row("IPv6 source prefix", "v6 sip=2001:db8:20::/fc00", "3,4,10");
        row("IPv4 criterion comparing nothing still wants IPv4", "sip=0.0.0.0/0", "0,1,2,5,7,8,9,12,13");
        row("destination port", "dport=443/3", "0,3");
        row("source port", "sport=443/3", "12");
        row("port either way, destination field ignored", "either=port sport=443/3 dport=53/3", "0,3,12");
        row("destination port, low byte only", "dport=0x05bb/1", "0,3");
        row("destination port, both bytes", "dport=0x05bb/3", "none");
        row("port criterion comparing nothing still wants ports", "sport=0/0", "0,1,3,5,7,8,10,12,13");
        row("MAC and port together", "smac=021a2b00010a/3f dport=443/3", "0,3");
    }

    void packetFilter()
    {
        QFETCH(QString, terms);
        QFETCH(QString, expected);
        const PacketFilter filter = filterOf(terms);
        QCOMPARE(selected([&](const Packet &, const PacketHeaders &h) { return packetFilterPasses(filter, h); }), expected);
    }

    void patternFilter_data()
    {
        QTest::addColumn<DpiFilter>("dpi");
        QTest::addColumn<QString>("expected");
        auto pattern = [](const QByteArray &bytes, uint32_t mask, uint32_t enabled = 1) {
            DpiFilter d{};
            d.enabled = enabled;
            std::memcpy(d.pattern, bytes.constData(), size_t(std::min<qsizetype>(16, bytes.size())));
            d.pattern_mask = mask;
            return d;
        };
        QTest::newRow("disabled") << pattern("\xee\xee", 0x3, 0) << "all";
        QTest::newRow("nothing compared") << pattern("GET", 0) << "all";
        QTest::newRow("mask bits above 15 are not looked at") << pattern("GET", 0xffff0000) << "all";
        QTest::newRow("text in the payload") << pattern("GET /", 0x1f) << "0";
        QTest::newRow("wildcard inside") << pattern("G?T /", 0x1d) << "0";
        QTest::newRow("wildcards between") << pattern("a?c", 0x5) << "2";
        QTest::newRow("last bytes of a frame, wildcards after") << pattern("yz", 0x3) << "2";
        QTest::newRow("first bytes of a frame, wildcard before") << pattern(hex("00ffffffffffff"), 0x7e) << "6,7";
        QTest::newRow("across EtherType and IP version") << pattern(hex("86dd60"), 0x7) << "3,4,10,11";
        QTest::newRow("all sixteen bytes") << pattern(packets()[0].bytes.left(16), 0xffff) << "0";
        QTest::newRow("never on the wire") << pattern(hex("eeeeee"), 0x7) << "none";
    }

    void patternFilter()
    {
        QFETCH(DpiFilter, dpi);
        QFETCH(QString, expected);
        QCOMPARE(selected([&](const Packet &p, const PacketHeaders &) {
                     return dpiFilterPasses(dpi, reinterpret_cast<const uint8_t *>(p.bytes.constData()), size_t(p.bytes.size()));
                 }),
                 expected);
    }
};

QTEST_APPLESS_MAIN(TestPacketMatch)
#include "tst_packetmatch.moc"
