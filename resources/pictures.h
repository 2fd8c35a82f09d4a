// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Loading a compiled-in picture for the screen it is shown on. Every picture
// is compiled in twice, as drawn and at twice that size ("name@2x.png"); a
// plain QPixmap(":/...") only ever reads the first, which a screen at 200 %
// then blows up into a blur.

#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

// The picture at `resource` for a screen of `devicePixelRatio` (0: the
// application's), its size in pixels as the layouts know it. With `fit`, it
// is scaled to fit that many pixels, keeping its shape, at the screen's
// resolution.
QPixmap loadPicture(const QString &resource, const QSize &fit = QSize(), qreal devicePixelRatio = 0);
