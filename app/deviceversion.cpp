// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Version parsing, printing and range checks; see deviceversion.h.

#include "deviceversion.h"

#include <QStringList>

namespace {
uint8_t component(PackedVersion v, int i)
{
    return static_cast<uint8_t>(v >> (8 * i));
}
} // namespace

const VersionCheck kDriverVersionCheck = {
    "Wrong driver version",
    "Lumenquill Manager has detected that your devices uses a driver that is too recent.\n"
    "Please update Lumenquill Manager to use your device.\n",
    "Lumenquill Manager has detected that your devices uses an old driver version.\n"
    "Please update it to use your device.\n",
    "1.9.18.0",
    "1.9.19.0",
};

const VersionCheck kLibraryVersionCheck = {
    "Wrong API version",
    "Lumenquill Manager has detected that you are using an API that is too recent.\n"
    "Please update Lumenquill Manager to use your device.\n",
    "Lumenquill Manager has detected that you are using an old API version.\n"
    "Please update it to use your device.\n",
    "2.3.13.0",
    "2.3.13.0",
};

PackedVersion parseVersion(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return 0;
    PackedVersion v = 0;
    for (int i = 0; i < 4; ++i)
        v |= PackedVersion(static_cast<uint8_t>(parts.at(i).toInt())) << (8 * i);
    return v;
}

QString versionToString(PackedVersion version)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(component(version, 0))
        .arg(component(version, 1))
        .arg(component(version, 2))
        .arg(component(version, 3));
}

int compareVersion(PackedVersion a, PackedVersion b)
{
    for (int i = 0; i < 4; ++i) {
        if (component(a, i) > component(b, i))
            return 1;
        if (component(a, i) < component(b, i))
            return -1;
    }
    return 0;
}

int checkVersionRange(PackedVersion version, PackedVersion lower, PackedVersion upper)
{
    for (int i = 0; i < 4; ++i) {
        if (component(version, i) > component(upper, i))
            return 1;
        if (component(version, i) < component(lower, i))
            return -1;
    }
    return 0;
}

PackedVersion versionFromBytes(const uint8_t bytes[4])
{
    return PackedVersion(bytes[0]) | PackedVersion(bytes[1]) << 8 | PackedVersion(bytes[2]) << 16 |
           PackedVersion(bytes[3]) << 24;
}

QString versionRefusal(const VersionCheck &check, PackedVersion version)
{
    const PackedVersion lower = parseVersion(QString::fromLatin1(check.lower));
    const PackedVersion upper = parseVersion(QString::fromLatin1(check.upper));
    const int verdict = checkVersionRange(version, lower, upper);
    if (verdict == 0)
        return {};
    const QString required = compareVersion(lower, upper) != 0 ? QString::fromLatin1(check.lower) + QLatin1Char('-') +
                                                                     QString::fromLatin1(check.upper)
                                                               : QString::fromLatin1(check.upper);
    return QString::fromLatin1(verdict > 0 ? check.tooRecent : check.tooOld) + QStringLiteral("Current version : ") +
           versionToString(version) + QStringLiteral("\nRequired version : ") + required;
}
