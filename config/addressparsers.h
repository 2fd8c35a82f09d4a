// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// MAC and IP addresses in which single bytes may be left open with a wildcard
// character: the validators for the line edits that take them, the parsers
// into address plus byte mask, the formatters back to text, and the byte-order
// helpers the device records need. No state beyond construction arguments.

#pragma once

#include <QByteArray>
#include <QChar>
#include <QHostAddress>
#include <QString>
#include <QValidator>

#include <cstdint>

// Accepts what can still become an IPv4 and/or IPv6 address with wildcards.
class QIpValidator : public QValidator {
    Q_OBJECT
public:
    QIpValidator(QObject *parent, bool allowIPv4, bool allowIPv6);

    State validate(QString &text, int &pos) const override;

private:
    bool m_allowIPv4 = true;
    bool m_allowIPv6 = true;
};

// Accepts what can still become a MAC address with wildcards.
class QMacValidator : public QValidator {
    Q_OBJECT
public:
    explicit QMacValidator(QObject *parent = nullptr);

    State validate(QString &text, int &pos) const override;
};

namespace AddressParsers {

constexpr QChar kWildcard = u'*';

// "192.168.*.1" -> 192.168.0.1 / 255.255.0.255. Exactly four decimal octets,
// each a number up to 255 or all wildcards; an empty text leaves everything
// open. 0 on success, -1 otherwise (outputs untouched).
int parseIPv4WithWildcards(const QString &text, QHostAddress &address, QHostAddress &mask, QChar wildcard = kWildcard);

// "fe80::*" -> fe80:: / ffff:…:fff0. Each digit is a nibble; a wildcard digit
// opens its nibble; bytes no group covers are compared with zero. An empty
// text leaves everything open. 0 on success, -1 otherwise (outputs untouched).
int parseIPv6WithWildcards(const QString &text, QHostAddress &address, QHostAddress &mask, QChar wildcard = kWildcard);

// IPv4 as "10.0.*.1", IPv6 always as eight full groups ("fe80:0000:…:00**"):
// a byte whose mask byte is not 255 becomes the wildcard. 0 on success, -1 when
// the address is of neither family or the mask is not of the address's.
int formatWithWildcards(const QHostAddress &address, const QHostAddress &mask, QChar wildcard, QString &text);

// "00:1a:**:33:44:55" -> six address bytes, and six mask bytes of 0xff
// (compared) or 0 (open). Six groups of one or two hexadecimal digits, or one
// or two wildcards. 0 on success, -1 otherwise (outputs untouched).
int parseMacWithWildcards(const QString &text, QByteArray &address, QByteArray &mask, QChar wildcard = kWildcard);

// Six lower-case two-digit groups joined by ":", an open byte as two
// wildcards. Empty when either array is not six bytes long.
QString formatMacWithWildcards(const QByteArray &address, const QByteArray &mask, QChar wildcard = kWildcard);

// 4 bytes (most significant first) or 16 bytes (network order); any other
// length gives an unset address.
QHostAddress addressFromBytes(const QByteArray &bytes);
// The inverse: 4 or 16 bytes, empty for an unset address.
QByteArray bytesFromAddress(const QHostAddress &address);

uint32_t readBigEndian32(const uint8_t *bytes);
void writeBigEndian32(uint32_t value, uint8_t *bytes);

} // namespace AddressParsers
