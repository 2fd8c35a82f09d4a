// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The compiled-in pictures: registered at the sizes the widgets lay out for, on
// transparent backgrounds, status bullets of the right colour, and a gauge whose
// needle and scale agree with the way the gauge widget turns the needle.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QtMath>
#include <QtTest>

#include <cmath>
#include <vector>

namespace {
// The gauge widget draws the dial, then the needle picture in the same frame
// turned about this dial pixel by (value - 1) * 0.93 degrees clockwise. On the
// dial, value v is printed 0.93 * v degrees clockwise from due west.
const QPointF pivot(287, 299);
double needleRotation(int value) { return (value - 1) * 0.93; }
double scaleAngle(int value) { return value * 0.93; }

// A point `radius` pixels from the pivot, `angle` degrees clockwise from due west
// (screen coordinates: y grows downwards, so clockwise from west is upwards).
QPointF onRay(double angle, double radius)
{
    const double a = qDegreesToRadians(angle);
    return pivot + QPointF(-radius * std::cos(a), -radius * std::sin(a));
}

double angleOf(const QPointF &p)
{
    const QPointF d = p - pivot;
    return qRadiansToDegrees(std::atan2(-d.y(), -d.x()));
}

QImage load(const QString &path) { return QImage(path).convertToFormat(QImage::Format_ARGB32); }

// How dark the painted pixel nearest to p is, 0 (white or transparent) to 255 (black).
int ink(const QImage &image, const QPointF &p)
{
    const QPoint q = p.toPoint();
    if (!image.valid(q))
        return 0;
    const QRgb c = image.pixel(q);
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
    QImage m_dial;
    QImage m_needle;
    // Radial extent of the zero mark on the dial, from the pivot.
    double m_markInner = 0;
    double m_markOuter = 0;

private slots:
    void initTestCase()
    {
        m_dial = load(QStringLiteral(":/gauge/img/gauge.png"));
        m_needle = load(QStringLiteral(":/gauge/img/needle.png"));
        QVERIFY(!m_dial.isNull());
        QVERIFY(!m_needle.isNull());

        for (double r = 150; r < 287; r += 0.5) {
            if (ink(m_dial, onRay(0, r)) > 170) {
                if (m_markInner == 0)
                    m_markInner = r;
                m_markOuter = r;
            } else if (m_markInner != 0 && r > 200) {
                break;
            }
        }
        QVERIFY2(m_markInner > 200, "no zero mark due west of the pivot");
    }

    void picture_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");

        QTest::newRow("dial") << ":/gauge/img/gauge.png" << QSize(359, 356);
        QTest::newRow("needle") << ":/gauge/img/needle.png" << QSize(359, 356);
        QTest::newRow("application") << ":/icons/LumenquillIco.png" << QSize(252, 252);
        QTest::newRow("model 100") << ":/icons/100Ico.png" << QSize(252, 252);
        QTest::newRow("model 1G") << ":/icons/1GIco.png" << QSize(252, 252);
        QTest::newRow("model 1G+") << ":/icons/1GPlusIco.png" << QSize(252, 252);
        QTest::newRow("model 10G") << ":/icons/10GIco.png" << QSize(252, 252);
        QTest::newRow("model 10G GPS") << ":/icons/10GPlusIco.png" << QSize(252, 252);
        QTest::newRow("analysis stack") << ":/icons/VistaGrove.png" << QSize(500, 500);
        QTest::newRow("green icon") << ":/icons/green.png" << QSize(32, 32);
        QTest::newRow("gps green") << ":/gps/green.png" << QSize(32, 32);
        QTest::newRow("gps yellow") << ":/gps/yellow.png" << QSize(32, 32);
        QTest::newRow("gps red") << ":/gps/red.png" << QSize(32, 32);
        QTest::newRow("gps grey") << ":/gps/grey.png" << QSize(32, 32);
        QTest::newRow("warning") << ":/images/warning.png" << QSize(512, 512);
        QTest::newRow("disconnected") << ":/images/disconnected.png" << QSize(128, 128);
    }

    // Each picture is registered, has the size the layouts assume, a transparent
    // background and a drawing that stays clear of the edges.
    void picture()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);

        const QImage raw(path);
        QVERIFY2(!raw.isNull(), "not in the resources");
        QCOMPARE(raw.size(), size);
        QVERIFY(raw.hasAlphaChannel());

        const QImage image = raw.convertToFormat(QImage::Format_ARGB32);
        const int w = image.width();
        const int h = image.height();
        int opaque = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                if (x == 0 || y == 0 || x == w - 1 || y == h - 1)
                    QVERIFY2(alpha == 0, qPrintable(QStringLiteral("edge pixel (%1, %2) painted").arg(x).arg(y)));
                opaque += alpha == 255;
            }
        }
        QVERIFY2(opaque > w * h / 100, "the picture is (nearly) empty");
    }

    void bullet_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("hue"); // -1: grey

        QTest::newRow("green icon") << ":/icons/green.png" << 135;
        QTest::newRow("gps green") << ":/gps/green.png" << 135;
        QTest::newRow("gps yellow") << ":/gps/yellow.png" << 48;
        QTest::newRow("gps red") << ":/gps/red.png" << 4;
        QTest::newRow("gps grey") << ":/gps/grey.png" << -1;
    }

    // Round, with transparent corners, and solidly of their colour in the middle.
    void bullet()
    {
        QFETCH(QString, path);
        QFETCH(int, hue);

        const QImage image = load(path);
        QCOMPARE(image.size(), QSize(32, 32));

        const QPoint corners[] = {{0, 0}, {31, 0}, {0, 31}, {31, 31}, {3, 3}, {28, 3}, {3, 28}, {28, 28}};
        for (const QPoint &p : corners)
            QCOMPARE(qAlpha(image.pixel(p)), 0);

        // The body colour, below the highlight.
        int r = 0, g = 0, b = 0, n = 0;
        for (int y = 18; y <= 22; ++y) {
            for (int x = 14; x <= 18; ++x) {
                const QRgb c = image.pixel(x, y);
                QCOMPARE(qAlpha(c), 255);
                r += qRed(c);
                g += qGreen(c);
                b += qBlue(c);
                ++n;
            }
        }
        const QColor body(r / n, g / n, b / n);
        if (hue < 0) {
            QVERIFY2(body.hsvSaturationF() < 0.12, qPrintable(body.name()));
            QVERIFY2(body.valueF() > 0.4 && body.valueF() < 0.95, qPrintable(body.name()));
        } else {
            QVERIFY2(body.hsvSaturationF() > 0.45, qPrintable(body.name()));
            QVERIFY2(angularDistance(body.hsvHue(), hue) <= 15, qPrintable(body.name()));
        }
    }

    void scaleMark_data()
    {
        QTest::addColumn<int>("value");
        for (int value = 0; value <= 100; value += 10)
            QTest::addRow("%d", value) << value;
    }

    // Each major mark of the dial sits on its ray from the pivot: 0 due west, 100
    // at 93 degrees clockwise, the others evenly between.
    void scaleMark()
    {
        QFETCH(int, value);

        const double expected = scaleAngle(value);
        // Near the inner end of the marks, clear of the shorter minor marks.
        const double radius = m_markInner + 5;
        double weighted = 0;
        double total = 0;
        int darkest = 0;
        for (double a = expected - 2.5; a <= expected + 2.5; a += 0.05) {
            const int k = ink(m_dial, onRay(a, radius));
            darkest = qMax(darkest, k);
            if (k > 64) {
                weighted += a * k;
                total += k;
            }
        }
        QVERIFY2(darkest > 160, "no mark near its ray");
        QVERIFY2(std::abs(weighted / total - expected) < 0.3,
                 qPrintable(QStringLiteral("mark centred at %1 degrees").arg(weighted / total)));
    }

    void needle_data()
    {
        QTest::addColumn<int>("value");
        for (int value : {0, 1, 25, 50, 75, 100})
            QTest::addRow("%d", value) << value;
    }

    // The needle picture turned as the gauge widget turns it: its far end points
    // along the rotation (due west at rotation 0) and reaches into the dial's
    // marks without overshooting them.
    void needle()
    {
        QFETCH(int, value);

        const double rotation = needleRotation(value);
        QImage turned(m_needle.size(), QImage::Format_ARGB32_Premultiplied);
        turned.fill(Qt::transparent);
        {
            QPainter p(&turned);
            p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
            p.translate(pivot);
            p.rotate(rotation);
            p.translate(-pivot);
            p.drawImage(0, 0, m_needle);
        }
        turned = turned.convertToFormat(QImage::Format_ARGB32);

        QPointF tip = pivot;
        double tipRadius = 0;
        for (int y = 0; y < turned.height(); ++y) {
            for (int x = 0; x < turned.width(); ++x) {
                if (qAlpha(turned.pixel(x, y)) < 32)
                    continue;
                const double r = std::hypot(x - pivot.x(), y - pivot.y());
                if (r > tipRadius) {
                    tipRadius = r;
                    tip = QPointF(x, y);
                }
            }
        }
        QVERIFY2(angularDistance(angleOf(tip), rotation) < 0.6,
                 qPrintable(QString::asprintf("far end at (%g, %g), %g degrees from west", tip.x(), tip.y(),
                                              angleOf(tip))));
        QVERIFY2(tipRadius >= m_markInner && tipRadius <= m_markOuter + 1,
                 qPrintable(QString::asprintf("reaches %g, marks span %g to %g", tipRadius, m_markInner, m_markOuter)));
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
