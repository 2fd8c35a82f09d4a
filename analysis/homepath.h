// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// "~/" expansion for the analysis stack's fixed file paths.

#pragma once

#include <QString>

// A path that begins with "~/" gets the home directory in place of "~"; any
// other path, "~user/..." and a lone "~" included, comes back unchanged.
QString expandHomePath(const QString &path);
