// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The analogue meter: value clamping, the needle angle, the dial centred
// with its aspect kept, and nothing painted without pictures.

#include "qgauge.h"

#include <QPainter>
#include <QTest>

namespace {

QImage render(QGauge &gauge)
{
    QImage image(gauge.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    gauge.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// First and last column (or row) holding an opaque pixel along a line.
QPair<int, int> extent(const QImage &image, bool horizontal)
{
    int first = -1, last = -1;
    const int n = horizontal ? image.width() : image.height();
    for (int i = 0; i < n; ++i) {
        const QPoint p = horizontal ? QPoint(i, image.height() / 2) : QPoint(image.width() / 2, i);
        if (qAlpha(image.pixel(p)) == 255) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    return {first, last};
}

} // namespace

class tst_QGauge : public QObject {
    Q_OBJECT
private slots:
    void valueIsClamped_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("stored");
        QTest::newRow("below") << -5.0 << 0.0;
        QTest::newRow("above") << 250.0 << 100.0;
        QTest::newRow("inside") << 42.5 << 42.5;
        QTest::newRow("bounds") << 100.0 << 100.0;
    }
    void valueIsClamped()
    {
        QFETCH(double, value);
        QFETCH(double, stored);
        QGauge gauge;
        gauge.setValue(value);
        QCOMPARE(gauge.value(), stored);
    }

    void needleAngleOfTheCountersTab_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("angle");
        QTest::newRow("0") << 0.0 << -0.93;
        QTest::newRow("50") << 50.0 << 45.57;
        QTest::newRow("100") << 100.0 << 92.07;
    }
    void needleAngleOfTheCountersTab()
    {
        QFETCH(double, value);
        QFETCH(double, angle);
        QGauge gauge;
        gauge.setStartAngle(0);
        gauge.setEndAngle(93);
        gauge.setValue(value);
        QVERIFY2(qAbs(gauge.needleAngle() - angle) < 1e-9, qPrintable(QString::number(gauge.needleAngle())));
    }

    void dialCentredKeepingAspect_data()
    {
        QTest::addColumn<QSize>("widget");
        QTest::addColumn<bool>("horizontal");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        // A 100 x 50 dial: in 300 x 100 it is scaled 2x to 200 x 100 with 50 on each side.
        QTest::newRow("wider") << QSize(300, 100) << true << 50 << 249;
        // In 100 x 200 it keeps 100 x 50, centred with 75 above and below.
        QTest::newRow("taller") << QSize(100, 200) << false << 75 << 124;
    }
    void dialCentredKeepingAspect()
    {
        QFETCH(QSize, widget);
        QFETCH(bool, horizontal);
        QFETCH(int, first);
        QFETCH(int, last);
        QPixmap dial(100, 50);
        dial.fill(Qt::red);
        QGauge gauge;
        gauge.resize(widget);
        gauge.setDial(dial);
        const auto [from, to] = extent(render(gauge), horizontal);
        QVERIFY2(qAbs(from - first) <= 1 && qAbs(to - last) <= 1, qPrintable(QStringLiteral("%1..%2").arg(from).arg(to)));
    }

    void needleTurnsClockwiseAboutPivot()
    {
        // A needle pointing right from the pivot at (50, 50) of a 100 x 100 frame.
        QPixmap needle(100, 100);
        needle.fill(Qt::transparent);
        {
            QPainter p(&needle);
            p.fillRect(QRect(50, 48, 45, 4), Qt::blue);
        }
        QGauge gauge;
        gauge.resize(100, 100);
        gauge.setNeedle(needle);
        gauge.setPivot(50, 50);
        gauge.setStartAngle(0);
        gauge.setEndAngle(90);
        gauge.setMaximum(100);
        gauge.setValue(100); // (100 - 1) * 0.9 = 89.1 degrees: pointing down
        const QImage image = render(gauge);
        QVERIFY(qAlpha(image.pixel(50, 85)) > 0);
        QVERIFY(qAlpha(image.pixel(85, 50)) == 0);
    }

    void withoutPicturesPaintsNothing()
    {
        QGauge gauge;
        gauge.resize(120, 80);
        gauge.setValue(60);
        QGauge plain;
        plain.resize(120, 80);
        QCOMPARE(render(gauge), render(plain));
    }
};

QTEST_MAIN(tst_QGauge)
#include "tst_qgauge.moc"
