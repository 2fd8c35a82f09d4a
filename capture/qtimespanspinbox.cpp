// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Text conversion of QTimespanSpinBox; see qtimespanspinbox.h.

#include "qtimespanspinbox.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace {

// An absent or non-numeric part counts as 0, like an empty one.
qint64 partValue(const QStringList &parts, int i)
{
    return parts.size() > i ? parts.at(i).toInt() : 0;
}

} // namespace

QValidator::State QTimespanSpinBox::validate(QString &input, int &) const
{
    const QStringList parts = input.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    if (parts.size() > 3)
        return QValidator::Invalid;
    const int limits[3] = {std::numeric_limits<int>::max(), 59, 59};
    for (int i = 0; i < parts.size(); ++i) {
        if (parts.at(i).isEmpty())
            continue;
        bool ok = false;
        const int value = parts.at(i).toInt(&ok);
        if (!ok || value > limits[i])
            return QValidator::Invalid;
    }
    return QValidator::Acceptable;
}

int QTimespanSpinBox::valueFromText(const QString &text) const
{
    const QStringList parts = text.split(QLatin1Char(':'), Qt::KeepEmptyParts);
    // Many hours overflow an int; the box bounds the result to its range anyway.
    const qint64 seconds = partValue(parts, 0) * 3600 + partValue(parts, 1) * 60 + partValue(parts, 2);
    return int(std::clamp<qint64>(seconds, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

QString QTimespanSpinBox::textFromValue(int value) const
{
    const QLatin1Char zero('0');
    return QStringLiteral("%1:%2:%3")
        .arg(value / 3600, 2, 10, zero)
        .arg((value / 60) % 60, 2, 10, zero)
        .arg(value % 60, 2, 10, zero);
}
