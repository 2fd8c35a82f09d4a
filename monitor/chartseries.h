// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What the "Charts" tab plots, kept apart from the widgets: the nine series
// of a port in both units, their colours, the four time scales and where each
// series lives among a chart's graphs.

#pragma once

#include "statisticssample.h"

#include <QList>
#include <QPointF>
#include <qnamespace.h>

#include <array>

namespace ChartSeries {

constexpr int kSeries = 9;
constexpr int kGraphsPerScale = 2 * kSeries;
constexpr int kScales = 4;
constexpr int kGraphs = kScales * kGraphsPerScale;

// Refreshes per point of each time scale. A scale shows 100 steps across ten
// divisions, so it never holds much more than a hundred points per graph.
constexpr std::array<int, kScales> kStep = {1, 6, 60, 360};
constexpr double windowSeconds(int scale)
{
    return 100.0 * kStep[std::size_t(scale)];
}
constexpr double tickSeconds(int scale)
{
    return 10.0 * kStep[std::size_t(scale)];
}

// Pen colour of series n is kColour[n - 1].
constexpr std::array<Qt::GlobalColor, kSeries> kColour = {
    Qt::black, Qt::red, Qt::darkMagenta, Qt::blue, Qt::darkCyan, Qt::magenta, Qt::darkGreen, Qt::darkYellow, Qt::gray,
};

enum Unit : int { PerSecond = 0, Percentage = 1 };

// Graph of series n (1 to 9) in a unit on a time scale.
constexpr int graphIndex(int scale, Unit unit, int series)
{
    return scale * kGraphsPerScale + unit * kSeries + series - 1;
}

// One point of a port's graphs on a time scale, entry j for graph 18 i + j:
// the rates (bandwidth in bytes/s) and then the shares of the step's
// packets, whose last entry is `usage`, the refresh's bandwidth usage. Both
// units are recorded so that switching the unit loses no history.
std::array<double, kGraphsPerScale> pointValues(const StatisticsSample &difference, int portIndex, double usage);

// The line through `points` (pixel positions, left to right) drawn with
// fewer strokes: a run of points that stays within a horizontal band
// `band` pixels high is drawn from its first to its last point. A series
// that is flat or nearly so (an error count at 0, packet rates under a
// bytes-per-second scale) is then one stroke instead of a hundred; drawing
// strokes is most of what a chart costs. No point moves by more than `band`
// from the line drawn, and a point that is not a number still breaks it.
QList<QPointF> withoutFlatRunInteriors(const QList<QPointF> &points, double band);

} // namespace ChartSeries
