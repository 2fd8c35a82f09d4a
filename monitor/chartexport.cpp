// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Chart pictures and data; see chartexport.h.

#include "chartexport.h"

#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <qcustomplot.h>

using ReportExport::ChartBlock;
using ReportExport::ChartSeriesData;

namespace ChartExport {

QString extension(Format format)
{
    switch (format) {
    case Format::Png:
        return QStringLiteral("png");
    case Format::Pdf:
        return QStringLiteral("pdf");
    case Format::Svg:
        return QStringLiteral("svg");
    }
    return QString();
}

namespace {

// The library's own PDF writer only takes a file name; drawing through a
// painter on our device keeps the all-or-nothing save.
bool drawPdf(QCustomPlot *plot, QIODevice *device, QString *reason)
{
    const int width = plot->width();
    const int height = plot->height();
    QPdfWriter pdf(device);
    pdf.setCreator(QStringLiteral("LumenQuill Manager"));
    // One point per widget pixel: the page is the chart's size at 96 dpi
    // scaled to print, with no margins around it.
    pdf.setPageLayout(
        QPageLayout(QPageSize(QSizeF(width, height) * 0.75, QPageSize::Point, QString(), QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF()));
    QCPPainter painter;
    if (!painter.begin(&pdf)) {
        *reason = QStringLiteral("cannot draw the PDF page");
        return false;
    }
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.setWindow(0, 0, width, height);
    plot->toPainter(&painter, width, height);
    painter.end();
    return true;
}

// No SVG writer in the chart library: the generator is a paint device like any other.
bool drawSvg(QCustomPlot *plot, QIODevice *device, QString *reason)
{
    const int width = plot->width();
    const int height = plot->height();
    QSvgGenerator svg;
    svg.setOutputDevice(device);
    svg.setSize(QSize(width, height));
    svg.setViewBox(QRect(0, 0, width, height));
    svg.setTitle(QStringLiteral("LumenQuill Manager chart"));
    QCPPainter painter;
    if (!painter.begin(&svg)) {
        *reason = QStringLiteral("cannot draw the SVG picture");
        return false;
    }
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    plot->toPainter(&painter, width, height);
    painter.end();
    return true;
}

} // namespace

QString write(QCustomPlot *plot, const QString &path, Format format, double scale)
{
    return ReportExport::writeAllOrNothing(path, [&](QIODevice *device, QString *reason) {
        switch (format) {
        case Format::Png: {
            const QImage image = plot->toPixmap(0, 0, scale).toImage();
            if (image.isNull() || !image.save(device, "PNG")) {
                *reason = device->errorString().isEmpty() ? QStringLiteral("cannot encode the PNG picture")
                                                          : device->errorString();
                return false;
            }
            return true;
        }
        case Format::Pdf:
            return drawPdf(plot, device, reason);
        case Format::Svg:
            return drawSvg(plot, device, reason);
        }
        return false;
    });
}

ChartBlock graphData(const QCustomPlot *plot, const QList<int> &graphs, const QString &scale)
{
    ChartBlock block;
    block.scale = scale;
    for (int g : graphs) {
        const QCPGraph *graph = plot->graph(g);
        if (!graph)
            continue;
        ChartSeriesData series;
        series.name = graph->name();
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            series.points.append(QPointF(it->key, it->value));
        block.series.append(series);
    }
    return block;
}

QList<int> visibleGraphs(const QCustomPlot *plot)
{
    QList<int> graphs;
    for (int g = 0; g < plot->graphCount(); ++g) {
        if (plot->graph(g)->visible())
            graphs << g;
    }
    return graphs;
}

} // namespace ChartExport
