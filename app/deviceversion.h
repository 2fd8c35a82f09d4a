// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Packed versions a.b.c.d (four bytes, a at the lowest address; as a u32, a is
// the least significant byte) and the checks that admit a device's driver and
// the device library.

#pragma once

#include <QString>

#include <cstdint>

using PackedVersion = uint32_t;

// Four parts separated by "." give their values as bytes; anything else gives 0.
PackedVersion parseVersion(const QString &text);
QString versionToString(PackedVersion version);
// 1, -1 or 0 at the first component that differs, from the first.
int compareVersion(PackedVersion a, PackedVersion b);
// Each component on its own: 1 as soon as one is above upper's, -1 as soon as
// one is below lower's, 0 when every component lies within its bounds.
int checkVersionRange(PackedVersion version, PackedVersion lower, PackedVersion upper);
// The four bytes of a version as they lie in a device record.
PackedVersion versionFromBytes(const uint8_t bytes[4]);

// The admission check of one version against its accepted range, with the
// message the operator sees when it fails.
struct VersionCheck {
    const char *title;
    const char *tooRecent;
    const char *tooOld;
    const char *lower;
    const char *upper;
};

extern const VersionCheck kDriverVersionCheck;
extern const VersionCheck kLibraryVersionCheck;

// Empty when the version is accepted, else the full message text.
QString versionRefusal(const VersionCheck &check, PackedVersion version);
