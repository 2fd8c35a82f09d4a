// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The arithmetic of the chart series; see chartseries.h.

#include "chartseries.h"

#include <algorithm>

namespace ChartSeries {

std::array<double, kGraphsPerScale> pointValues(const StatisticsSample &difference, int portIndex, double usage)
{
    using S = StatisticsSample;
    static constexpr std::array<S::PortWord, kSeries> kWord = {
        S::ValidUnder64,    S::Valid64To1522, S::ValidOver1522,  S::InvalidUnder64, S::Invalid64To1522,
        S::InvalidOver1522, S::ValidPackets,  S::InvalidPackets, S::ValidBytes,
    };

    // Two samples can carry the same sample time (a device that has not
    // updated its counters yet); a rate of 0 keeps inf and nan off the chart.
    const double elapsed = double(difference.words[S::SampleTime]) / 1000.0;
    const double packets =
        double(difference.port(portIndex, S::ValidPackets)) + double(difference.port(portIndex, S::InvalidPackets));
    const double divisor = packets > 0 ? packets : 1.0;

    std::array<double, kGraphsPerScale> values{};
    for (std::size_t s = 0; s < kWord.size(); ++s) {
        const double word = double(difference.port(portIndex, kWord[s]));
        values[s] = elapsed > 0 ? word / elapsed : 0.0;
        values[kSeries + s] = word * 100.0 / divisor;
    }
    // The gauge's value of this refresh, not a mean over the step, so that
    // the chart agrees with the meter the operator sees at that moment.
    values[kGraphsPerScale - 1] = usage;
    return values;
}

QList<QPointF> withoutFlatRunInteriors(const QList<QPointF> &points, double band)
{
    const auto isPoint = [](const QPointF &p) { return !qIsNaN(p.x()) && !qIsNaN(p.y()); };
    QList<QPointF> corners;
    corners.reserve(points.size());
    qsizetype start = 0;
    while (start < points.size()) {
        corners.append(points[start]);
        qsizetype end = start + 1; // one past the run that begins at start
        if (isPoint(points[start])) {
            double low = points[start].y(), high = low;
            for (; end < points.size() && isPoint(points[end]) && points[end].x() >= points[end - 1].x(); ++end) {
                const double y = points[end].y();
                if (std::max(high, y) - std::min(low, y) > band)
                    break;
                low = std::min(low, y);
                high = std::max(high, y);
            }
        }
        // The run's last point starts the next run.
        start = end - 1 > start ? end - 1 : end;
    }
    return corners;
}

} // namespace ChartSeries
