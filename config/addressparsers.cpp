// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Address validators, wildcard parsers and formatters; see addressparsers.h.

#include "addressparsers.h"

#include <QList>
#include <QRegularExpression>
#include <QStringView>

#include <array>

namespace {

bool isAll(QStringView text, QChar c)
{
    if (text.isEmpty())
        return false;
    for (QChar ch : text) {
        if (ch != c)
            return false;
    }
    return true;
}

bool isDecimal(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (QChar ch : text) {
        if (ch < u'0' || ch > u'9')
            return false;
    }
    return true;
}

int hexValue(QChar ch)
{
    if (ch >= u'0' && ch <= u'9')
        return ch.unicode() - u'0';
    if (ch >= u'a' && ch <= u'f')
        return ch.unicode() - u'a' + 10;
    if (ch >= u'A' && ch <= u'F')
        return ch.unicode() - u'A' + 10;
    return -1;
}

// A decimal octet, leading zeros read as decimal (never octal).
int octetValue(QStringView text)
{
    if (!isDecimal(text))
        return -1;
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    return ok && value <= 255 ? int(value) : -1;
}

bool isWildcardGroup(QStringView part)
{
    return part == u"*" || part == u"**";
}

QValidator::State ipv4State(const QString &text)
{
    if (text.contains(u':'))
        return QValidator::Invalid;
    const QList<QStringView> parts = QStringView(text).split(u'.', Qt::KeepEmptyParts);
    if (parts.size() > 4)
        return QValidator::Invalid;
    for (QStringView part : parts) {
        if (!part.isEmpty() && !isWildcardGroup(part) && octetValue(part) < 0)
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

// Groups of one side of "::"; false when one of them is empty (":::", a
// leading or trailing single ":").
bool splitGroups(QStringView side, QList<QStringView> &groups)
{
    if (side.isEmpty())
        return true;
    groups = side.split(u':', Qt::KeepEmptyParts);
    for (QStringView g : groups) {
        if (g.isEmpty())
            return false;
    }
    return true;
}

} // namespace

QIpValidator::QIpValidator(QObject *parent, bool allowIPv4, bool allowIPv6)
    : QValidator(parent), m_allowIPv4(allowIPv4), m_allowIPv6(allowIPv6)
{
}

QValidator::State QIpValidator::validate(QString &text, int &pos) const
{
    Q_UNUSED(pos)
    if (text.isEmpty())
        return Acceptable;
    if (m_allowIPv4) {
        const State state = ipv4State(text);
        if (!m_allowIPv6 || state != Invalid)
            return state;
    }
    if (!m_allowIPv6)
        return Invalid;
    // Anchored by the pattern itself rather than "^...$": "$" also matches
    // before a final newline, which would let "fe80::1\n" through.
    static const QRegularExpression ipv6(
        QRegularExpression::anchoredPattern(
            QStringLiteral("(([*]{1,4}|[a-f0-9]{1,2}[*]{0,2}|[*]{1,2}[a-f0-9]{1,2}|[a-f0-9]{0,4}){0,1}:){0,7}"
                           "([*]{1,4}|[a-f0-9]{1,2}[*]{0,2}|[*]{1,2}[a-f0-9]{1,2}|[a-f0-9]{0,4}){0,1}")),
        QRegularExpression::CaseInsensitiveOption);
    return ipv6.match(text).hasMatch() ? Acceptable : Invalid;
}

QMacValidator::QMacValidator(QObject *parent) : QValidator(parent) {}

QValidator::State QMacValidator::validate(QString &text, int &pos) const
{
    Q_UNUSED(pos)
    const QList<QStringView> parts = QStringView(text).split(u':', Qt::KeepEmptyParts);
    if (parts.size() > 6)
        return Invalid;
    for (QStringView part : parts) {
        if (part.isEmpty() || isWildcardGroup(part))
            continue;
        if (part.size() > 2 || hexValue(part[0]) < 0 || (part.size() == 2 && hexValue(part[1]) < 0))
            return Invalid;
    }
    return Acceptable;
}

namespace AddressParsers {

int parseIPv4WithWildcards(const QString &text, QHostAddress &address, QHostAddress &mask, QChar wildcard)
{
    if (text.isEmpty()) {
        address = QHostAddress(quint32(0));
        mask = QHostAddress(quint32(0));
        return 0;
    }
    // Our own reading rather than QHostAddress's: that one takes "10" as
    // 0.0.0.10 and "010" as octal, neither of which an operator means here.
    const QList<QStringView> parts = QStringView(text).split(u'.', Qt::KeepEmptyParts);
    if (parts.size() != 4)
        return -1;
    std::array<uint8_t, 4> a{}, m{};
    for (int i = 0; i < 4; ++i) {
        if (isAll(parts[i], wildcard))
            continue;
        const int value = octetValue(parts[i]);
        if (value < 0)
            return -1;
        a[size_t(i)] = uint8_t(value);
        m[size_t(i)] = 0xff;
    }
    address = QHostAddress(readBigEndian32(a.data()));
    mask = QHostAddress(readBigEndian32(m.data()));
    return 0;
}

int parseIPv6WithWildcards(const QString &text, QHostAddress &address, QHostAddress &mask, QChar wildcard)
{
    if (text.isEmpty()) {
        address = QHostAddress(QHostAddress::AnyIPv6);
        mask = QHostAddress(QHostAddress::AnyIPv6);
        return 0;
    }
    for (QChar ch : text) {
        if (ch != u':' && ch != wildcard && hexValue(ch) < 0)
            return -1;
    }
    QList<QStringView> head, tail;
    const qsizetype gap = text.indexOf(QStringLiteral("::"));
    if (gap < 0) {
        // Without "::" every group must be written; a short address is far
        // more likely a typing slip than a prefix compared with zeros.
        if (!splitGroups(text, head) || head.size() != 8)
            return -1;
    } else {
        if (text.indexOf(QStringLiteral("::"), gap + 1) >= 0)
            return -1;
        if (!splitGroups(QStringView(text).left(gap), head) || !splitGroups(QStringView(text).mid(gap + 2), tail))
            return -1;
        if (head.size() + tail.size() > 7) // "::" stands for at least one group
            return -1;
    }

    std::array<quint8, 16> a{};
    std::array<quint8, 16> m;
    m.fill(0xff);
    auto place = [&](QStringView group, qsizetype index) {
        if (group.size() > 4)
            return false;
        uint value = 0, open = 0;
        for (qsizetype k = 0; k < group.size(); ++k) {
            const QChar ch = group[group.size() - 1 - k];
            const uint shift = uint(4 * k);
            if (ch == wildcard)
                open |= 0xfu << shift;
            else
                value |= uint(hexValue(ch)) << shift;
        }
        const uint maskWord = 0xffffu & ~open;
        a[size_t(2 * index)] = quint8(value >> 8);
        a[size_t(2 * index + 1)] = quint8(value);
        m[size_t(2 * index)] = quint8(maskWord >> 8);
        m[size_t(2 * index + 1)] = quint8(maskWord);
        return true;
    };
    for (qsizetype i = 0; i < head.size(); ++i) {
        if (!place(head[i], i))
            return -1;
    }
    for (qsizetype i = 0; i < tail.size(); ++i) {
        if (!place(tail[i], 8 - tail.size() + i))
            return -1;
    }
    address = QHostAddress(a.data());
    mask = QHostAddress(m.data());
    return 0;
}

int formatWithWildcards(const QHostAddress &address, const QHostAddress &mask, QChar wildcard, QString &text)
{
    const QByteArray a = bytesFromAddress(address);
    const QByteArray m = bytesFromAddress(mask);
    if (a.isEmpty() || a.size() != m.size())
        return -1;
    QString out;
    if (a.size() == 4) {
        for (int i = 0; i < 4; ++i) {
            if (i)
                out += u'.';
            out += uint8_t(m[i]) == 0xff ? QString::number(uint8_t(a[i])) : QString(wildcard);
        }
    } else {
        for (int i = 0; i < 16; ++i) {
            if (uint8_t(m[i]) == 0xff)
                out += QStringLiteral("%1").arg(uint8_t(a[i]), 2, 16, QLatin1Char('0'));
            else
                out += QString(2, wildcard);
            if (i % 2 == 1 && i != 15)
                out += u':';
        }
    }
    text = out;
    return 0;
}

int parseMacWithWildcards(const QString &text, QByteArray &address, QByteArray &mask, QChar wildcard)
{
    const QList<QStringView> parts = QStringView(text).split(u':', Qt::KeepEmptyParts);
    if (parts.size() != 6)
        return -1;
    QByteArray a(6, '\0'), m(6, '\0');
    for (int i = 0; i < 6; ++i) {
        const QStringView part = parts[i];
        if (part.size() > 2 || part.isEmpty())
            return -1;
        if (isAll(part, wildcard))
            continue;
        int value = 0;
        for (QChar ch : part) {
            const int digit = hexValue(ch);
            if (digit < 0)
                return -1;
            value = value * 16 + digit;
        }
        a[i] = char(value);
        m[i] = char(0xff);
    }
    address = a;
    mask = m;
    return 0;
}

QString formatMacWithWildcards(const QByteArray &address, const QByteArray &mask, QChar wildcard)
{
    if (address.size() != 6 || mask.size() != 6)
        return {};
    QStringList groups;
    for (int i = 0; i < 6; ++i) {
        groups << (uint8_t(mask[i]) == 0xff ? QStringLiteral("%1").arg(uint8_t(address[i]), 2, 16, QLatin1Char('0'))
                                            : QString(2, wildcard));
    }
    return groups.join(u':');
}

QHostAddress addressFromBytes(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uint8_t *>(bytes.constData());
    if (bytes.size() == 4)
        return QHostAddress(readBigEndian32(data));
    if (bytes.size() == 16)
        return QHostAddress(data);
    return QHostAddress();
}

QByteArray bytesFromAddress(const QHostAddress &address)
{
    switch (address.protocol()) {
    case QAbstractSocket::IPv4Protocol: {
        QByteArray bytes(4, '\0');
        writeBigEndian32(address.toIPv4Address(), reinterpret_cast<uint8_t *>(bytes.data()));
        return bytes;
    }
    case QAbstractSocket::IPv6Protocol: {
        const Q_IPV6ADDR a = address.toIPv6Address();
        return QByteArray(reinterpret_cast<const char *>(a.c), 16);
    }
    default:
        return {};
    }
}

uint32_t readBigEndian32(const uint8_t *bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | uint32_t(bytes[3]);
}

void writeBigEndian32(uint32_t value, uint8_t *bytes)
{
    bytes[0] = uint8_t(value >> 24);
    bytes[1] = uint8_t(value >> 16);
    bytes[2] = uint8_t(value >> 8);
    bytes[3] = uint8_t(value);
}

} // namespace AddressParsers
