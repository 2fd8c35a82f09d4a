// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// "~/" expansion; see homepath.h.

#include "homepath.h"

#include <QDir>

QString expandHomePath(const QString &path)
{
    if (!path.startsWith(QLatin1String("~/")))
        return path;
    QString home = QDir::homePath();
    // A home of "/" must not give "//...".
    if (home.endsWith(QLatin1Char('/')))
        home.chop(1);
    return home + path.mid(1);
}
