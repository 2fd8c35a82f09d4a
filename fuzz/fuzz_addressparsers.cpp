// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The filter and counter editors take addresses and ports as typed, and the
// stored settings feed the same parsers. Any text must be refused or read;
// what is read must be written back as a text that reads to the same record,
// and the line edit's validator must let the operator type it.

#include "addressparsers.h"
#include "simplefilterrecord.h"

#include "fuzzsupport.h"

#include <QHostAddress>

using fuzz::check;

namespace {

void ipRoundTrip(const QString &text, bool ipv6)
{
    QHostAddress address, mask;
    const int parsed = ipv6 ? AddressParsers::parseIPv6WithWildcards(text, address, mask)
                            : AddressParsers::parseIPv4WithWildcards(text, address, mask);
    if (parsed != 0)
        return;
    QString written;
    check(AddressParsers::formatWithWildcards(address, mask, AddressParsers::kWildcard, written) == 0,
          "a parsed address cannot be written", text);
    QHostAddress again, againMask;
    const int reparsed = ipv6 ? AddressParsers::parseIPv6WithWildcards(written, again, againMask)
                              : AddressParsers::parseIPv4WithWildcards(written, again, againMask);
    check(reparsed == 0, "a written address does not parse", text + QStringLiteral(" -> ") + written);
    if (!ipv6) {
        check(again == address && againMask == mask, "address changes on its round trip",
              text + QStringLiteral(" -> ") + written);
    } else {
        // IPv6 is written a byte at a time, so a byte with an open nibble
        // comes back wholly open: never stricter than what was typed, and
        // written the same way from then on.
        const QByteArray m1 = AddressParsers::bytesFromAddress(mask), m2 = AddressParsers::bytesFromAddress(againMask);
        const QByteArray a1 = AddressParsers::bytesFromAddress(address), a2 = AddressParsers::bytesFromAddress(again);
        check(m1.size() == 16 && m2.size() == 16, "IPv6 mask is not 16 bytes", text);
        for (int i = 0; i < 16; ++i) {
            check((m2[i] & ~m1[i]) == 0, "round trip compares a bit that was open",
                  text + QStringLiteral(" -> ") + written);
            check((a1[i] & m2[i]) == (a2[i] & m2[i]), "round trip changes a compared bit",
                  text + QStringLiteral(" -> ") + written);
        }
        QString rewritten;
        AddressParsers::formatWithWildcards(again, againMask, AddressParsers::kWildcard, rewritten);
        check(rewritten == written, "written IPv6 text is not stable", written + QStringLiteral(" -> ") + rewritten);
    }
    QIpValidator validator(nullptr, !ipv6, ipv6);
    int pos = 0;
    check(validator.validate(written, pos) != QValidator::Invalid, "the validator refuses a written address", written);
}

void macRoundTrip(const QString &text)
{
    QByteArray address, mask;
    if (AddressParsers::parseMacWithWildcards(text, address, mask) != 0)
        return;
    check(address.size() == 6 && mask.size() == 6, "a parsed MAC is not six bytes", text);
    QString written = AddressParsers::formatMacWithWildcards(address, mask);
    QByteArray again, againMask;
    check(AddressParsers::parseMacWithWildcards(written, again, againMask) == 0 && again == address &&
              againMask == mask,
          "MAC changes on its round trip", text + QStringLiteral(" -> ") + written);
    QMacValidator validator;
    int pos = 0;
    check(validator.validate(written, pos) != QValidator::Invalid, "the validator refuses a written MAC", written);
}

void portRoundTrip(const QString &text)
{
    uint16_t port = 0;
    if (!SimpleFilterRecord::parsePort(text, port))
        return;
    uint16_t again = 0;
    check(SimpleFilterRecord::parsePort(QString::number(port), again) && again == port,
          "port changes on its round trip", text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Both readings of the bytes: the editors see UTF-16 from the keyboard,
    // the settings store hands back UTF-8.
    const QString utf8 = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString latin1 = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QString &text : {utf8, latin1}) {
        ipRoundTrip(text, false);
        ipRoundTrip(text, true);
        macRoundTrip(text);
        portRoundTrip(text);
        // Validators on whatever the operator may type, with the cursor anywhere.
        QString typed = text;
        int pos = int(size % (typed.size() + 1));
        QIpValidator(nullptr, true, true).validate(typed, pos);
        QIpValidator(nullptr, true, false).validate(typed, pos);
        QIpValidator(nullptr, false, true).validate(typed, pos);
        QMacValidator().validate(typed, pos);
    }
    return 0;
}
