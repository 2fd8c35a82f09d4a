// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Packet filter record <-> editor texts; see simplefilterrecord.h.

#include "simplefilterrecord.h"

#include "addressparsers.h"

#include <QByteArray>
#include <QHostAddress>

namespace SimpleFilterRecord {

namespace {

constexpr int kMacBytes = 6;
constexpr int kSrcMacMaskShift = 6;

// Written order in, stored order out: the first written byte lands last and
// on the highest of `count` mask bits.
void storeReversed(const QByteArray &bytes, const QByteArray &mask, uint8_t *stored, uint16_t *maskBits, int shift)
{
    const int count = int(bytes.size());
    for (int i = 0; i < count; ++i) {
        const int at = count - 1 - i;
        stored[at] = uint8_t(bytes[i]);
        if (uint8_t(mask[i]) == 0xff)
            *maskBits |= uint16_t(1u << (at + shift));
    }
}

void loadReversed(const uint8_t *stored, unsigned maskBits, int count, QByteArray &bytes, QByteArray &mask)
{
    bytes = QByteArray(count, '\0');
    mask = QByteArray(count, '\0');
    for (int i = 0; i < count; ++i) {
        const int at = count - 1 - i;
        bytes[i] = char(stored[at]);
        mask[i] = (maskBits >> at) & 1u ? char(0xff) : char(0);
    }
}

bool storeIp(const QString &text, bool ipv6, uint8_t *stored, uint16_t *maskBits)
{
    QHostAddress address, mask;
    const int rc = ipv6 ? AddressParsers::parseIPv6WithWildcards(text, address, mask)
                        : AddressParsers::parseIPv4WithWildcards(text, address, mask);
    if (rc != 0)
        return false;
    storeReversed(AddressParsers::bytesFromAddress(address), AddressParsers::bytesFromAddress(mask), stored, maskBits,
                  0);
    return true;
}

bool storeMac(const QString &text, uint8_t *stored, uint16_t *maskBits, int shift)
{
    QByteArray bytes, mask;
    if (AddressParsers::parseMacWithWildcards(text, bytes, mask) != 0)
        return false;
    storeReversed(bytes, mask, stored, maskBits, shift);
    return true;
}

QString ipText(const uint8_t *stored, unsigned maskBits, bool ipv6)
{
    QByteArray bytes, mask;
    loadReversed(stored, maskBits, ipv6 ? 16 : 4, bytes, mask);
    QString text;
    AddressParsers::formatWithWildcards(AddressParsers::addressFromBytes(bytes), AddressParsers::addressFromBytes(mask),
                                        AddressParsers::kWildcard, text);
    return text;
}

QString macText(const uint8_t *stored, unsigned maskBits)
{
    QByteArray bytes, mask;
    loadReversed(stored, maskBits & 0x3fu, kMacBytes, bytes, mask);
    return AddressParsers::formatMacWithWildcards(bytes, mask);
}

} // namespace

bool parsePort(const QString &text, uint16_t &port)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 0);
    if (!ok || value > 0xffff)
        return false;
    port = uint16_t(value);
    return true;
}

Built build(uint32_t fields, uint16_t modes, const Texts &texts)
{
    Built out;
    PacketFilter &f = out.filter;
    f.fields = fields;
    f.modes = modes;
    const bool ipv6 = fields & LQ_FILTER_IPV6;

    if ((fields & LQ_FILTER_DST_IP) && !(modes & LQ_FILTER_MODE_IP)) {
        if (!storeIp(texts.dstIp, ipv6, f.dst_ip, &f.dst_ip_mask))
            out.invalid |= LQ_FILTER_DST_IP;
    }
    if (fields & LQ_FILTER_SRC_IP) {
        if (!storeIp(texts.srcIp, ipv6, f.src_ip, &f.src_ip_mask))
            out.invalid |= LQ_FILTER_SRC_IP;
    }
    if ((fields & LQ_FILTER_DST_MAC) && !(modes & LQ_FILTER_MODE_MAC)) {
        if (!storeMac(texts.dstMac, f.dst_mac, &f.mac_mask, 0))
            out.invalid |= LQ_FILTER_DST_MAC;
    }
    if (fields & LQ_FILTER_SRC_MAC) {
        if (!storeMac(texts.srcMac, f.src_mac, &f.mac_mask, kSrcMacMaskShift))
            out.invalid |= LQ_FILTER_SRC_MAC;
    }
    if (fields & LQ_FILTER_SRC_PORT) {
        if (parsePort(texts.srcPort, f.src_port))
            f.port_mask |= 0xc;
        else
            out.invalid |= LQ_FILTER_SRC_PORT;
    }
    if ((fields & LQ_FILTER_DST_PORT) && !(modes & LQ_FILTER_MODE_PORT)) {
        if (parsePort(texts.dstPort, f.dst_port))
            f.port_mask |= 0x3;
        else
            out.invalid |= LQ_FILTER_DST_PORT;
    }
    return out;
}

Texts texts(const PacketFilter &filter)
{
    const bool ipv6 = filter.fields & LQ_FILTER_IPV6;
    Texts t;
    t.dstMac = macText(filter.dst_mac, filter.mac_mask);
    t.srcMac = macText(filter.src_mac, unsigned(filter.mac_mask) >> kSrcMacMaskShift);
    t.dstIp = ipText(filter.dst_ip, filter.dst_ip_mask, ipv6);
    t.srcIp = ipText(filter.src_ip, filter.src_ip_mask, ipv6);
    t.dstPort = QString::number(filter.dst_port);
    t.srcPort = QString::number(filter.src_port);
    return t;
}

} // namespace SimpleFilterRecord
