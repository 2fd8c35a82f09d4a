// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Counter rules and header filters written as short terms, so test tables
// read like the records they stand for.

#pragma once

#include "lumenquillapi.h"

#include <QRegularExpression>
#include <QString>

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <map>

// An IPv4 or IPv6 address in network order.
inline QByteArray address(const char *text)
{
    uint8_t bytes[16];
    const int family = std::strchr(text, ':') ? AF_INET6 : AF_INET;
    if (inet_pton(family, text, bytes) != 1)
        qFatal("bad address %s", text);
    return QByteArray(reinterpret_cast<const char *>(bytes), family == AF_INET ? 4 : 16);
}

// Records keep addresses last byte first.
inline void reversedInto(uint8_t *out, const QByteArray &bytes)
{
    std::reverse_copy(bytes.begin(), bytes.end(), out);
}

// "ports=ab ipv4=1 tcp=0 crc=1 dropped=0 size>1000 mode=bytes
//  addr=10.20.1.0/255.255.255.0 addr6=2001:db8::/ffff:ffff::"
inline CounterV2Config counterRule(uint32_t index, const QString &terms)
{
    CounterV2Config c{};
    c.index = index;
    c.sizeMode = -1;
    const std::map<QString, int32_t *> tri{{"ipv4", &c.ipv4},       {"ipv6", &c.ipv6},     {"bcast", &c.broadcast},
                                           {"mcast", &c.multicast}, {"ucast", &c.unicast}, {"icmp", &c.icmp},
                                           {"udp", &c.udp},         {"tcp", &c.tcp},       {"crc", &c.crcValid},
                                           {"dropped", &c.dropped}};
    for (const auto &t : tri)
        *t.second = -1;
    for (const QString &item : terms.split(' ', Qt::SkipEmptyParts)) {
        const QString key = item.section(QRegularExpression("[=<>]"), 0, 0);
        const QString value = item.mid(key.size() + 1);
        if (key == "ports") {
            c.portA = value.contains('a');
            c.portB = value.contains('b');
        } else if (key == "size") {
            c.sizeMode = item[4] == '>' ? 0 : item[4] == '<' ? 1 : 2;
            c.size = value.toUInt();
        } else if (key == "mode") {
            c.countingMode = value == "bytes";
        } else if (key == "addr" || key == "addr6") {
            reversedInto(c.address, address(value.section('/', 0, 0).toLatin1().constData()));
            reversedInto(c.mask, address(value.section('/', 1).toLatin1().constData()));
        } else {
            *tri.at(key) = value.toInt();
        }
    }
    return c;
}

// Header filters written as terms: "dmac=001e58400c01/3f smac=... sip=10.20.1.0/e
// dip=... v6 sport=443/3 dport=... either=mac,ip,port off", each mask in hex
// and counted within its own field (source MAC and port masks are shifted in).
inline PacketFilter filterOf(const QString &terms)
{
    PacketFilter f{};
    f.enabled = 1;
    for (const QString &item : terms.split(' ', Qt::SkipEmptyParts)) {
        const QString key = item.section('=', 0, 0);
        const QByteArray value = item.section('=', 1).section('/', 0, 0).toLatin1();
        const auto mask = uint16_t(item.section('/', 1).toUInt(nullptr, 16));
        if (key == "off") {
            f.enabled = 0;
        } else if (key == "v6") {
            f.fields |= LQ_FILTER_IPV6;
        } else if (key == "either") {
            f.modes = uint16_t((value.contains("mac") ? LQ_FILTER_MODE_MAC : 0) | (value.contains("ip") ? LQ_FILTER_MODE_IP : 0)
                               | (value.contains("port") ? LQ_FILTER_MODE_PORT : 0));
        } else if (key == "dmac" || key == "smac") {
            const bool dst = key == "dmac";
            f.fields |= dst ? LQ_FILTER_DST_MAC : LQ_FILTER_SRC_MAC;
            reversedInto(dst ? f.dst_mac : f.src_mac, QByteArray::fromHex(value));
            f.mac_mask |= uint16_t(dst ? mask : mask << 6);
        } else if (key == "dip" || key == "sip") {
            const bool dst = key == "dip";
            f.fields |= dst ? LQ_FILTER_DST_IP : LQ_FILTER_SRC_IP;
            reversedInto(dst ? f.dst_ip : f.src_ip, address(value.constData()));
            (dst ? f.dst_ip_mask : f.src_ip_mask) = mask;
        } else if (key == "dport" || key == "sport") {
            const bool dst = key == "dport";
            f.fields |= dst ? LQ_FILTER_DST_PORT : LQ_FILTER_SRC_PORT;
            (dst ? f.dst_port : f.src_port) = uint16_t(value.toUInt(nullptr, 0));
            f.port_mask = uint8_t(f.port_mask | (dst ? mask : mask << 2));
        }
    }
    return f;
}
