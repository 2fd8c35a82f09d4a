// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The compiled-in pictures: sizes the widgets lay out for, transparent edges,
// bullets of the right colour, and a gauge whose needle and scale agree with the
// way the gauge widget turns the needle.

#include "pictures.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QtMath>
#include <QtTest>

#include <cmath>

namespace {
// The gauge widget turns the needle picture about this dial pixel by
// (value - 1) * 0.93 degrees clockwise; the dial prints value v 0.93 * v
// degrees clockwise from due west.
const QPointF pivot(287, 299);

// `radius` pixels from the pivot, `angle` degrees clockwise from due west
// (y grows downwards, so clockwise from west is upwards).
QPointF onRay(double angle, double radius)
{
    const double a = qDegreesToRadians(angle);
    return pivot + QPointF(-radius * std::cos(a), -radius * std::sin(a));
}

QImage load(const QString &path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

// How dark the painted pixel nearest to p is, 0 (white or transparent) to 255 (black).
int ink(const QImage &image, const QPointF &p)
{
    const QRgb c = image.valid(p.toPoint()) ? image.pixel(p.toPoint()) : 0;
    return qAlpha(c) < 128 ? 0 : 255 - qGray(c);
}

double angularDistance(double a, double b)
{
    const double d = std::fmod(std::abs(a - b), 360.0);
    return d > 180 ? 360 - d : d;
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT
    QImage m_dial = load(":/gauge/img/gauge.png");
    double m_markInner = 0, m_markOuter = 0; // radial extent of the dial's zero mark

private slots:
    void initTestCase()
    {
        for (double r = 150; r < 287; r += 0.5) {
            if (ink(m_dial, onRay(0, r)) > 170)
                m_markInner = m_markInner ? m_markInner : r, m_markOuter = r;
            else if (m_markInner && r > 200)
                break;
        }
        QVERIFY2(m_markInner > 200, "no zero mark due west of the pivot");
    }

    void picture_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("hue"); // of a bullet; -1: a grey bullet, -2: not a bullet
        const QSize icon(252, 252), bullet(32, 32);
        QTest::newRow("dial") << ":/gauge/img/gauge.png" << QSize(359, 356) << -2;
        QTest::newRow("needle") << ":/gauge/img/needle.png" << QSize(359, 356) << -2;
        for (const char *name : {"Lumenquill", "100", "1G", "1GPlus", "10G", "10GPlus"})
            QTest::addRow("%s icon", name) << QString(":/icons/%1Ico.png").arg(name) << icon << -2;
        QTest::newRow("analysis stack") << ":/icons/VistaGrove.png" << QSize(500, 500) << -2;
        QTest::newRow("warning") << ":/images/warning.png" << QSize(512, 512) << -2;
        QTest::newRow("disconnected") << ":/images/disconnected.png" << QSize(128, 128) << -2;
        QTest::newRow("green icon") << ":/icons/green.png" << bullet << 135;
        QTest::newRow("gps green") << ":/gps/green.png" << bullet << 135;
        QTest::newRow("gps yellow") << ":/gps/yellow.png" << bullet << 48;
        QTest::newRow("gps red") << ":/gps/red.png" << bullet << 4;
        QTest::newRow("gps grey") << ":/gps/grey.png" << bullet << -1;
    }

    // Registered at the size the layouts assume, with a transparent background,
    // a drawing clear of the edges; bullets round and solidly of their colour.
    void picture()
    {
        QFETCH(QString, path);
        QFETCH(int, hue);
        const QImage raw(path);
        QVERIFY2(!raw.isNull(), "not in the resources");
        QTEST(raw.size(), "size");
        QVERIFY(raw.hasAlphaChannel());
        const QImage image = raw.convertToFormat(QImage::Format_ARGB32);
        const int w = image.width(), h = image.height();
        int opaque = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                if (x == 0 || y == 0 || x == w - 1 || y == h - 1)
                    QVERIFY2(alpha == 0, qPrintable(QString("edge pixel (%1, %2) painted").arg(x).arg(y)));
                opaque += alpha == 255;
            }
        }
        QVERIFY2(opaque > w * h / 100, "the picture is (nearly) empty");

        // Its twin for screens at 200 %: the same drawing at twice the size,
        // clear of the edges too.
        const QImage twin = QImage(QString(path).replace(".png", "@2x.png")).convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(!twin.isNull(), "no @2x rendering in the resources");
        QCOMPARE(twin.size(), raw.size() * 2);
        for (int x = 0; x < twin.width(); ++x)
            QVERIFY(qAlpha(twin.pixel(x, 0)) == 0 && qAlpha(twin.pixel(x, twin.height() - 1)) == 0);
        for (int y = 0; y < twin.height(); ++y)
            QVERIFY(qAlpha(twin.pixel(0, y)) == 0 && qAlpha(twin.pixel(twin.width() - 1, y)) == 0);
        if (hue == -2)
            return;

        for (const QPoint &p : {QPoint(3, 3), QPoint(28, 3), QPoint(3, 28), QPoint(28, 28)})
            QCOMPARE(qAlpha(image.pixel(p)), 0);
        int r = 0, g = 0, b = 0; // the body colour, below the highlight
        for (int y = 18; y <= 22; ++y) {
            for (int x = 14; x <= 18; ++x) {
                const QRgb c = image.pixel(x, y);
                QCOMPARE(qAlpha(c), 255);
                r += qRed(c), g += qGreen(c), b += qBlue(c);
            }
        }
        const QColor body(r / 25, g / 25, b / 25);
        const bool grey = body.hsvSaturationF() < 0.12 && body.valueF() > 0.4 && body.valueF() < 0.95;
        const bool coloured = body.hsvSaturationF() > 0.45 && angularDistance(body.hsvHue(), hue) <= 15;
        QVERIFY2(hue == -1 ? grey : coloured, qPrintable(body.name()));
    }

    // What a panel gets for a screen: the @2x rendering on any screen above
    // 100 % (drawn down rather than blown up), always laid out at the picture's own size; scaled to fit
    // at the screen's resolution, not blown up from a smaller picture.
    void loadedForTheScreen_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qreal>("screen");
        QTest::addColumn<QSize>("fit");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QSize>("laidOut");
        const QString device = ":/icons/1GIco.png", bullet = ":/gps/red.png", dial = ":/gauge/img/gauge.png";
        QTest::newRow("bullet at 100 %") << bullet << 1.0 << QSize() << QSize(32, 32) << QSize(32, 32);
        QTest::newRow("bullet at 125 %") << bullet << 1.25 << QSize() << QSize(64, 64) << QSize(32, 32);
        QTest::newRow("bullet at 200 %") << bullet << 2.0 << QSize() << QSize(64, 64) << QSize(32, 32);
        QTest::newRow("dial at 200 %") << dial << 2.0 << QSize() << QSize(718, 712) << QSize(359, 356);
        QTest::newRow("dial at 300 %") << dial << 3.0 << QSize() << QSize(718, 712) << QSize(359, 356);
        QTest::newRow("device fitted at 100 %")
            << device << 1.0 << QSize(128, 128) << QSize(128, 128) << QSize(128, 128);
        QTest::newRow("device fitted at 200 %")
            << device << 2.0 << QSize(128, 128) << QSize(256, 256) << QSize(128, 128);
        QTest::newRow("dial fitted keeps its shape")
            << dial << 2.0 << QSize(100, 100) << QSize(200, 198) << QSize(100, 99);
    }
    void loadedForTheScreen()
    {
        QFETCH(QString, path);
        QFETCH(qreal, screen);
        QFETCH(QSize, fit);
        const QPixmap picture = loadPicture(path, fit, screen);
        QTEST(picture.size(), "pixels");
        QTEST(picture.deviceIndependentSize().toSize(), "laidOut");
    }

    // Each major mark sits on its ray from the pivot: 0 due west, 100 at 93
    // degrees clockwise, the others evenly between.
    void scaleMark()
    {
        for (int value = 0; value <= 100; value += 10) {
            const double expected = value * 0.93;
            double weighted = 0, total = 0;
            int darkest = 0;
            for (double a = expected - 2.5; a <= expected + 2.5; a += 0.05) {
                const int k = ink(m_dial, onRay(a, m_markInner + 5)); // clear of the shorter minor marks
                darkest = qMax(darkest, k);
                if (k > 64)
                    weighted += a * k, total += k;
            }
            QVERIFY2(darkest > 160, qPrintable(QString("no mark near the ray of %1").arg(value)));
            QVERIFY2(std::abs(weighted / total - expected) < 0.3,
                     qPrintable(QString("mark of %1 centred at %2 degrees").arg(value).arg(weighted / total)));
        }
    }

    // The needle turned as the gauge widget turns it: its far end points along
    // the rotation and reaches into the dial's marks without overshooting them.
    void needle()
    {
        const QImage needle = load(":/gauge/img/needle.png");
        for (int value : {0, 1, 25, 50, 75, 100}) {
            const double rotation = (value - 1) * 0.93;
            QImage turned(needle.size(), QImage::Format_ARGB32);
            turned.fill(Qt::transparent);
            QPainter p(&turned);
            p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
            p.translate(pivot);
            p.rotate(rotation);
            p.drawImage(-pivot, needle);
            p.end();
            QPointF tip = pivot;
            double reach = 0;
            for (int y = 0; y < turned.height(); ++y) {
                for (int x = 0; x < turned.width(); ++x) {
                    const double r = std::hypot(x - pivot.x(), y - pivot.y());
                    if (qAlpha(turned.pixel(x, y)) >= 32 && r > reach)
                        reach = r, tip = QPointF(x, y);
                }
            }
            const double angle = qRadiansToDegrees(std::atan2(pivot.y() - tip.y(), pivot.x() - tip.x()));
            QVERIFY2(angularDistance(angle, rotation) < 0.6,
                     qPrintable(QString::asprintf("value %d: far end %g degrees from west", value, angle)));
            QVERIFY2(reach >= m_markInner && reach <= m_markOuter + 1,
                     qPrintable(QString::asprintf("reaches %g, marks %g to %g", reach, m_markInner, m_markOuter)));
        }
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
