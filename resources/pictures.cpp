// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Picks the rendering of a compiled-in picture that suits the screen.

#include "pictures.h"

#include <QGuiApplication>
#include <QIcon>

QPixmap loadPicture(const QString &resource, const QSize &fit, qreal devicePixelRatio)
{
    const qreal screen = devicePixelRatio > 0 ? devicePixelRatio : qApp->devicePixelRatio();
    qreal drawnAt = 1;
    // The same search QIcon and style sheets make: "@2x" on any screen above
    // 100 %, the plain file otherwise or when there is no larger one.
    QPixmap picture(qt_findAtNxFile(resource, screen, &drawnAt));
    picture.setDevicePixelRatio(drawnAt);
    if (fit.isValid() && !picture.isNull()) {
        picture = picture.scaled(fit * screen, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        picture.setDevicePixelRatio(screen);
    }
    return picture;
}
