// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The distribution's Qt 6 build of the chart library links and draws: the
// charts of the monitoring tabs stand on it.

#include <qcustomplot.h>

#include <QTest>

class tst_ChartLibrary : public QObject {
    Q_OBJECT
private slots:
    void drawsAGraph();
};

void tst_ChartLibrary::drawsAGraph()
{
    QCustomPlot plot;
    plot.resize(320, 200);
    QCPGraph *graph = plot.addGraph();
    graph->setPen(QPen(QColor(255, 0, 0), 3));
    QVector<double> keys, values;
    for (int i = 0; i <= 100; ++i) {
        keys << i;
        values << 50.0;
    }
    graph->setData(keys, values);
    plot.xAxis->setRange(0, 100);
    plot.yAxis->setRange(0, 100);
    plot.replot();

    const QImage image = plot.grab().toImage();
    QVERIFY(!image.isNull());
    // The flat line crosses the middle of the axis rectangle in red.
    const QRect area = plot.axisRect()->rect();
    int red = 0;
    for (int x = area.left(); x <= area.right(); ++x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
                ++red;
        }
    }
    QVERIFY2(red > area.width() / 2, qPrintable(QStringLiteral("red pixels: %1").arg(red)));
    // Nothing red outside the line's band.
    const int mid = plot.yAxis->coordToPixel(50);
    const QColor top = image.pixelColor(area.center().x(), area.top() + 5);
    QVERIFY(qAbs(mid - area.top()) > 10);
    QVERIFY(!(top.red() > 200 && top.green() < 60));
}

QTEST_MAIN(tst_ChartLibrary)
#include "tst_chartlibrary.moc"
