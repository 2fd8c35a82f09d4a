// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Unit tests of the device's packet classifier on hand-made frames: which of them each counter rule field,
// header filter field and the pattern filter select.

#include "packetmatch.h"
#include "recordterms.h"

#include <QtTest>

#include <cstring>

using namespace lqsim;

namespace {

struct Packet {
    QByteArray bytes; // FCS excluded
    PacketFacts facts;
};

const QList<Packet> &packets()
{
    auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    auto be16 = [](int v) { return QByteArray(1, char(v >> 8)) + char(v & 0xff); };
    // IP headers sized for a frame of `wire` bytes on the line.
    auto ipv4 = [&](const char *src, const char *dst, int protocol, int wire, int fragment = 0) {
        return hex("4500") + be16(wire - 18) + hex("0000") + be16(fragment) + hex("40") + char(protocol) + hex("0000") +
               address(src) + address(dst);
    };
    auto ipv6 = [&](const char *src, const char *dst, int next, int wire) {
        return hex("60000000") + be16(wire - 58) + char(next) + hex("40") + address(src) + address(dst);
    };
    auto tcp = [&](int from, int to) { return be16(from) + be16(to) + hex("00000001000000005018faf000000000"); };
    auto udp = [&](int sport, int dport) { return be16(sport) + be16(dport) + hex("0008 0000"); };
    // Pads with zeros to the size on the line, or cuts a fragment short.
    auto frame = [](const QByteArray &bytes, uint32_t wire, bool crcValid = true, bool dropped = false) {
        QByteArray b = bytes.left(int(wire) - 4);
        return Packet{b + QByteArray(int(wire) - 4 - b.size(), '\0'), {wire, crcValid, dropped}};
    };
    const QByteArray router = hex("001e58400c01"), dns = hex("021a2b003235"), server = hex("021a2b00320a");
    auto client = [&](int n) { return hex("021a2b0001") + char(n); };
    const QByteArray alphabet = "abcdefghijklmnopqrstuvwxyz", v4 = hex("0800"), v6 = hex("86dd");
    const char *const host6 = "2001:db8:20::100", *const server6 = "2001:db8:8000::20";
    static const QList<Packet> list{
        /* 0 */ frame(router + client(0x0a) + v4 + ipv4("10.20.1.10", "203.0.113.20", 6, 1518) + tcp(50000, 443) +
                          "GET /index.html", 1518),
        /* 1 */ frame(dns + client(0x0b) + v4 + ipv4("10.20.1.11", "192.168.50.53", 17, 82) + udp(53000, 53), 82),
        /* 2 */ frame(router + client(0x0c) + v4 + ipv4("10.20.1.12", "192.168.50.1", 1, 98) + hex("0800000000010001") +
                          alphabet + alphabet, 98),
        /* 3 */ frame(router + client(0x0a) + v6 + ipv6(host6, server6, 6, 84) + tcp(50001, 443), 84),
        /* 4 */ frame(hex("333300000001") + client(0x0b) + v6 + ipv6("2001:db8:20::101", "ff02::1", 58, 86) +
                          hex("88000000"), 86),
        /* 5 */ frame(hex("01005e010102021a2b00321e") + v4 + ipv4("192.168.50.30", "239.1.1.2", 17, 1358) +
                          udp(5004, 5004), 1358),
        /* 6 */ frame(hex("ffffffffffff") + client(0x0c) + hex("0806 0001 0800 0604 0001") + client(0x0c) +
                          address("10.20.1.12") + hex("000000000000") + address("192.168.50.1"), 64),
        /* 7 */ frame(hex("ffffffffffff021a2b0001f0") + v4 + ipv4("0.0.0.0", "255.255.255.255", 17, 342) +
                          udp(68, 67), 342),
        /* 8 */ frame(server + client(0x0d) + hex("8100 0064") + v4 + ipv4("10.20.1.13", "192.168.50.10", 17, 124) +
                          udp(40000, 8080), 128),
        /* 9 */ frame(router + client(0x0e) + v4 + ipv4("10.20.1.14", "203.0.113.21", 17, 1518, 185) + udp(7, 7), 1518),
        /* 10 */ frame(hex("3333000000fb") + client(0x0a) + v6 + ipv6("2001:db8:20::102", "ff02::fb", 0, 140) +
                           hex("1100 0104 00000000") + udp(5353, 5353), 140),
        /* 11 */ frame(router + client(0x0a) + v6 + ipv6(host6, server6, 6, 1518) + tcp(50003, 443), 48, false),
        /* 12 */ frame(client(0x0f) + router + v4 + ipv4("203.0.113.22", "10.20.1.15", 6, 64) + tcp(443, 50002), 64,
                           true, true),
        /* 13 */ frame(dns + client(0x10) + v4 + ipv4("10.20.1.16", "192.168.50.53", 17, 1000) + udp(53001, 53), 1000,
                           false),
    };
    return list;
}

// "[off] <hex bytes>/<hex mask>"
DpiFilter patternOf(const QString &terms)
{
    DpiFilter d{};
    d.enabled = !terms.startsWith("off");
    const QByteArray bytes = QByteArray::fromHex(terms.section(' ', -1).section('/', 0, 0).toLatin1());
    std::memcpy(d.pattern, bytes.constData(), std::min(sizeof d.pattern, size_t(bytes.size())));
    d.pattern_mask = terms.section('/', 1).toUInt(nullptr, 16);
    return d;
}

} // namespace

class TestPacketMatch : public QObject {
    Q_OBJECT

private slots:
    // Which packets a counter rule, a header filter or a pattern filter selects: "0,3", "all" or "none".
    void selects_data()
    {
        QTest::addColumn<QString>("terms");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const char *terms, const char *expected) {
            QTest::newRow(name) << QString(terms) << QString(expected);
        };
        const char *const v4 = "0,1,2,5,7,8,9,12,13";
        row("no criteria", "rule", "all");
        row("IPv4, VLAN-tagged too", "rule ipv4=1", v4);
        row("not IPv4", "rule ipv4=0", "3,4,6,10,11");
        row("IPv6, fragment of one too", "rule ipv6=1", "3,4,10,11");
        row("neither family", "rule ipv4=0 ipv6=0", "6");
        row("broadcast", "rule bcast=1", "6,7");
        row("multicast", "rule mcast=1", "4,5,10");
        row("unicast", "rule ucast=1", "0,1,2,3,8,9,11,12,13");
        row("ICMP and ICMPv6", "rule icmp=1", "2,4");
        row("UDP, behind extension headers and in later fragments", "rule udp=1", "1,5,7,8,9,10,13");
        row("TCP", "rule tcp=1", "0,3,11,12");
        row("neither UDP nor TCP", "rule tcp=0 udp=0", "2,4,6");
        row("bad CRC", "rule crc=0", "11,13");
        row("dropped", "rule dropped=1", "12");
        row("kept with good CRC", "rule dropped=0 crc=1", "0,1,2,3,4,5,6,7,8,9,10");
        row("larger than, FCS included", "rule size>1358", "0,9");
        row("smaller than", "rule size<84", "1,6,11,12");
        row("equal", "rule size=98", "2");
        row("one source", "rule addr=10.20.1.12/255.255.255.255", "2");
        row("one destination", "rule addr=192.168.50.53/255.255.255.255", "1,13");
        row("subnet at either end", "rule addr=10.20.1.0/255.255.255.0", "0,1,2,8,9,12,13");
        row("the unspecified address", "rule ipv4=1 addr=0.0.0.0/255.255.255.255", "7");
        row("IPv6 prefix, not in a fragment", "rule ipv6=1 addr6=2001:db8:20::/ffff:ffff:ffff::", "3,4,10");
        row("IPv6 mask bit by bit", "rule ipv6=1 addr6=2001:db8:20::100/ffff:ffff:ffff::fffe", "3,4");
        row("IPv6 told by the mask", "rule addr6=ff02::/ffff::", "4,10");
        row("IPv4 rule reads the first four bytes", "rule ipv4=1 addr6=2001:db8:20::/ffff:ffff:ffff::", v4);
        row("all at once", "rule ucast=1 udp=1 size<200 crc=1", "1,8");
        row("filter disabled", "filter off dport=443/3", "all");
        row("destination MAC", "filter dmac=001e58400c01/3f", "0,2,3,9,11");
        row("destination MAC, first two bytes", "filter dmac=333300000000/30", "4,10");
        row("source MAC", "filter smac=021a2b00010a/3f", "0,3,10,11");
        row("MAC either way", "filter either=mac smac=001e58400c01/3f dmac=021a2b00010a/3f", "0,2,3,9,11,12");
        row("source IPv4, last byte open", "filter sip=10.20.1.0/e", "0,1,2,8,9,13");
        row("destination IPv4", "filter dip=192.168.50.53/f", "1,13");
        row("destination IPv4 behind a VLAN tag", "filter dip=192.168.50.10/f", "8");
        row("IP either way, destination field ignored", "filter either=ip sip=10.20.1.15/f dip=10.20.1.10/f", "12");
        row("IPv6 source prefix", "filter v6 sip=2001:db8:20::/fc00", "3,4,10");
        row("IPv4 criterion comparing nothing still wants IPv4", "filter sip=0.0.0.0/0", v4);
        row("destination port", "filter dport=443/3", "0,3");
        row("source port", "filter sport=443/3", "12");
        row("port either way, destination field ignored", "filter either=port sport=443/3 dport=53/3", "0,3,12");
        row("destination port, low byte only", "filter dport=0x05bb/1", "0,3");
        row("destination port, both bytes", "filter dport=0x05bb/3", "none");
        row("port criterion comparing nothing still wants ports", "filter sport=0/0", "0,1,3,5,7,8,10,12,13");
        row("MAC and port together", "filter smac=021a2b00010a/3f dport=443/3", "0,3");
        row("pattern disabled", "pattern off eeee/3", "all");
        row("nothing compared", "pattern 474554/0", "all");
        row("mask bits above 15 are not looked at", "pattern 474554/ffff0000", "all");
        row("text in the payload", "pattern 474554202f/1f", "0");                        // "GET /"
        row("wildcard inside", "pattern 473f54202f/1d", "0");                            // "G?T /"
        row("wildcards between", "pattern 613f63/5", "2");                               // "a?c"
        row("last bytes of a frame, wildcards after", "pattern 797a/3", "2");            // "yz"
        row("first bytes of a frame, wildcard before", "pattern 00ffffffffffff/7e", "6,7");
        row("across EtherType and IP version", "pattern 86dd60/7", "3,4,10,11");
        row("all sixteen bytes", "pattern 001e58400c01021a2b00010a08004500/ffff", "0");
        row("never on the wire", "pattern eeeeee/7", "none");
    }

    void selects()
    {
        QFETCH(QString, terms);
        QFETCH(QString, expected);
        const QString kind = terms.section(' ', 0, 0), rest = terms.section(' ', 1);
        const CounterV2Config rule = kind == "rule" ? counterRule(0, rest) : CounterV2Config{};
        const PacketFilter filter = kind == "filter" ? filterOf(rest) : PacketFilter{};
        const DpiFilter dpi = kind == "pattern" ? patternOf(rest) : DpiFilter{};
        QStringList hits;
        for (int i = 0; i < packets().size(); ++i) {
            const Packet &p = packets()[i];
            const auto *bytes = reinterpret_cast<const uint8_t *>(p.bytes.constData());
            const PacketHeaders h = parseHeaders(bytes, size_t(p.bytes.size()));
            if (kind == "rule" ? counterRuleMatches(rule, h, p.facts)
                : kind == "filter" ? packetFilterPasses(filter, h)
                                   : dpiFilterPasses(dpi, bytes, size_t(p.bytes.size())))
                hits << QString::number(i);
        }
        QCOMPARE(hits.size() == packets().size() ? "all" : hits.isEmpty() ? "none" : hits.join(','), expected);
    }
};

QTEST_APPLESS_MAIN(TestPacketMatch)
#include "tst_packetmatch.moc"
