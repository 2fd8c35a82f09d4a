// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// A chart as a picture (PNG, PDF, SVG) and its graphs' points as report data.
// Every picture is drawn into memory or straight into the save file, so a
// failed write never leaves half a picture where the old one was.

#pragma once

#include "reportexport.h"

#include <QList>
#include <QString>

class QCustomPlot;

namespace ChartExport {

enum class Format { Png, Pdf, Svg };

QString extension(Format format);

// Draws `plot` as shown into `path`; a PNG at `scale` times the widget's size.
// Returns an empty string on success, else the reason.
QString write(QCustomPlot *plot, const QString &path, Format format, double scale = 1.0);

// The points of the given graphs, each named by its graph's name.
ReportExport::ChartBlock graphData(const QCustomPlot *plot, const QList<int> &graphs, const QString &scale = {});
// The graphs that are visible, in order.
QList<int> visibleGraphs(const QCustomPlot *plot);

} // namespace ChartExport
