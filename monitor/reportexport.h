// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What the report exports write, kept apart from the widgets: CSV and
// tab-separated texts, the header naming the device, proposed file names and
// the all-or-nothing file writer. Operators attach these files to tickets and
// audits, so every text here must read back exactly as the window showed it.

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QIODevice;

namespace ReportExport {

// The device a report is about, as the window names it.
struct DeviceLabel {
    QString friendlyName;
    QString mac; // "ab:cd:ef:01:23:45"
    QString model;
};

// A table as shown: column captions, row captions and the cell texts, row by row.
struct TextTable {
    QStringList columns;
    QStringList rows;
    QList<QStringList> cells;
};

// One counters table of one port, for the counters CSV.
struct CounterTable {
    QString port;  // "Port A"
    QString table; // "Packets", "Errors"
    TextTable texts;
};

// One series of a chart: its caption and its points (key = seconds since 1970, UTC).
struct ChartSeriesData {
    QString name;
    QVector<QPointF> points;
};

// The series of one time scale; `scale` is empty for charts that have only one.
struct ChartBlock {
    QString scale;
    QList<ChartSeriesData> series;
};

// A CSV field, quoted when it holds a separator, a quote or a line break.
QString csvField(const QString &text);
QString csvLine(const QStringList &fields);
// Rows of cells as the clipboard takes them from a spreadsheet: tabs between
// cells, a line feed after each row. Tabs and line breaks inside a cell
// become spaces so that the grid survives pasting.
QString tabSeparated(const QList<QStringList> &rows);

// "2026-03-14T09:26:53Z"; milliseconds only when there are some.
QString isoUtc(const QDateTime &time);
// The lines that open every report: MAC, friendly name, model and time.
QStringList headerLines(const DeviceLabel &device, const QDateTime &time);

// Both ports' counters: the header lines as "# " comments, one caption row,
// then one row per counter with the table's columns as shown.
QString countersCsv(const DeviceLabel &device, const QDateTime &sampleTime, const QList<CounterTable> &tables);

// One row per point: the scale when there is one, the time in ISO 8601 and in
// seconds, then one column per series (empty where a series has no point at
// that time). Values are written in their shortest exact form.
QString chartCsv(const QList<ChartBlock> &blocks);

// "<friendly name>_<MAC>_<what>_<UTC time>.<ext>" with the time written so
// that names sort by it, and anything a file system or a mail gateway could
// trip over replaced. Empty parts are left out.
QString exportFileName(const DeviceLabel &device, const QString &what, const QDateTime &time, const QString &ext);

// Fills the device; on failure returns false with a reason in `reason`.
using Writer = std::function<bool(QIODevice *device, QString *reason)>;

// Writes `path` all or nothing: the old file stays untouched unless the whole
// new content reached the disk. Returns an empty string on success, else the
// system's reason.
QString writeAllOrNothing(const QString &path, const Writer &write);
QString writeAllOrNothing(const QString &path, const QByteArray &bytes);

} // namespace ReportExport
