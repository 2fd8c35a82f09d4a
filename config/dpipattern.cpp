// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Pattern texts; see dpipattern.h.

#include "dpipattern.h"

#include <QRegularExpression>
#include <QStringList>

#include <array>
#include <cstring>

namespace DpiPattern {

QString hexText(const uint8_t *pattern, uint32_t mask)
{
    QStringList groups;
    for (int i = 0; i < kBytes; ++i)
        groups << ((mask >> i) & 1u ? QStringLiteral("%1").arg(pattern[i], 2, 16, QLatin1Char('0'))
                                    : QStringLiteral("**"));
    return groups.join(u' ');
}

QString clearText(const uint8_t *pattern, uint32_t mask)
{
    QString clear;
    for (int i = 0; i < kBytes; ++i) {
        const QChar c(pattern[i]);
        if (!((mask >> i) & 1u))
            clear += u'*';
        else
            clear += c.isPrint() ? c : QChar(u'.');
    }
    return clear;
}

bool parseHex(const QString &text, uint8_t *pattern, uint32_t *mask)
{
    static const QRegularExpression separators(QStringLiteral("[\\s:]+"));
    const QStringList groups = text.trimmed().split(separators, Qt::SkipEmptyParts);
    if (groups.isEmpty() || groups.size() > kBytes)
        return false;
    std::array<uint8_t, kBytes> bytes{};
    uint32_t compared = 0;
    for (int i = 0; i < int(groups.size()); ++i) {
        const QString &group = groups[i];
        if (group == QLatin1String("**"))
            continue;
        bool ok = false;
        const uint value = group.toUInt(&ok, 16);
        if (!ok || group.size() != 2)
            return false;
        bytes[std::size_t(i)] = uint8_t(value);
        compared |= 1u << i;
    }
    std::memcpy(pattern, bytes.data(), bytes.size());
    *mask = compared;
    return true;
}

} // namespace DpiPattern
