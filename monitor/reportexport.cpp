// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Report texts and the file writer; see reportexport.h.

#include "reportexport.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>

#include <map>

namespace ReportExport {

QString csvField(const QString &text)
{
    static const QRegularExpression needsQuotes(QStringLiteral("[,\"\r\n]"));
    // A leading blank would be trimmed by some readers; quoting keeps it.
    if (!text.contains(needsQuotes) && !text.startsWith(QLatin1Char(' ')) && !text.endsWith(QLatin1Char(' ')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvLine(const QStringList &fields)
{
    QStringList out;
    out.reserve(fields.size());
    for (const QString &field : fields)
        out << csvField(field);
    // CRLF: what RFC 4180 asks for and every spreadsheet reads.
    return out.join(QLatin1Char(',')) + QLatin1String("\r\n");
}

QString tabSeparated(const QList<QStringList> &rows)
{
    static const QRegularExpression breaks(QStringLiteral("[\t\r\n]"));
    QString out;
    for (const QStringList &row : rows) {
        QStringList cells;
        for (QString cell : row)
            cells << cell.replace(breaks, QStringLiteral(" "));
        out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

QString isoUtc(const QDateTime &time)
{
    const QDateTime utc = time.toUTC();
    return utc.toString(utc.time().msec() ? Qt::ISODateWithMs : Qt::ISODate);
}

QStringList headerLines(const DeviceLabel &device, const QDateTime &time)
{
    return {QStringLiteral("MAC: ") + device.mac, QStringLiteral("Friendly name: ") + device.friendlyName,
            QStringLiteral("Model: ") + device.model, QStringLiteral("Time (UTC): ") + isoUtc(time)};
}

QString countersCsv(const DeviceLabel &device, const QDateTime &sampleTime, const QList<CounterTable> &tables)
{
    QString out;
    for (const QString &line : headerLines(device, sampleTime))
        out += QLatin1String("# ") + line + QLatin1String("\r\n");
    // The error tables carry no captions of their own; they share the packet tables' columns.
    QStringList columns;
    for (const CounterTable &table : tables) {
        if (!table.texts.columns.isEmpty()) {
            columns = table.texts.columns;
            break;
        }
    }
    out += csvLine(QStringList{QStringLiteral("Port"), QStringLiteral("Table"), QStringLiteral("Counter")} + columns);
    for (const CounterTable &table : tables) {
        for (int r = 0; r < table.texts.cells.size(); ++r) {
            QStringList row = {table.port, table.table, table.texts.rows.value(r)};
            for (int c = 0; c < columns.size(); ++c)
                row << table.texts.cells[r].value(c);
            out += csvLine(row);
        }
    }
    return out;
}

namespace {
QString shortest(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}
} // namespace

QString chartCsv(const QList<ChartBlock> &blocks)
{
    const bool withScale = blocks.size() > 1 || (blocks.size() == 1 && !blocks.first().scale.isEmpty());
    QStringList caption;
    if (withScale)
        caption << QStringLiteral("Scale");
    caption << QStringLiteral("Time (UTC)") << QStringLiteral("Seconds");
    // Every block of one chart has the same series; the first names the columns.
    if (!blocks.isEmpty()) {
        for (const ChartSeriesData &series : blocks.first().series)
            caption << series.name;
    }
    QString out = csvLine(caption);
    for (const ChartBlock &block : blocks) {
        // Points of all series by time, so that a series that missed a point
        // leaves its cell empty instead of shifting the others. The n-th
        // point at one time goes with the other series' n-th point at that
        // time: a chart may hold several points at the same second.
        std::map<std::pair<double, int>, QStringList> rows;
        for (int s = 0; s < block.series.size(); ++s) {
            std::map<double, int> seen;
            for (const QPointF &point : block.series[s].points) {
                QStringList &row = rows[{point.x(), seen[point.x()]++}];
                while (row.size() < block.series.size())
                    row << QString();
                row[s] = shortest(point.y());
            }
        }
        for (const auto &[at, values] : rows) {
            const double key = at.first;
            QStringList line;
            if (withScale)
                line << block.scale;
            const qint64 ms = qRound64(key * 1000.0);
            line << isoUtc(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC)) << shortest(key) << values;
            out += csvLine(line);
        }
    }
    return out;
}

namespace {
QString fileNamePart(const QString &text)
{
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9.+]+"));
    QString part = text.trimmed();
    // Runs of anything else (the MAC's colons, blanks, slashes) become one dash.
    part.replace(unsafe, QStringLiteral("-"));
    // Leading dots would hide the file; trailing ones confuse the extension.
    while (part.startsWith(QLatin1Char('.')) || part.startsWith(QLatin1Char('-')))
        part.remove(0, 1);
    while (part.endsWith(QLatin1Char('.')) || part.endsWith(QLatin1Char('-')))
        part.chop(1);
    return part;
}
} // namespace

QString exportFileName(const DeviceLabel &device, const QString &what, const QDateTime &time, const QString &ext)
{
    QStringList parts;
    for (const QString &text : {device.friendlyName, device.mac, what}) {
        const QString part = fileNamePart(text);
        if (!part.isEmpty())
            parts << part;
    }
    // Basic ISO 8601 in UTC: fixed width, so names sort by time.
    parts << time.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    return parts.join(QLatin1Char('_')) + QLatin1Char('.') + ext;
}

QString writeAllOrNothing(const QString &path, const Writer &write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    QString reason;
    if (!write(&file, &reason)) {
        file.cancelWriting();
        return reason.isEmpty() ? file.errorString() : reason;
    }
    if (!file.commit())
        return file.errorString();
    return QString();
}

QString writeAllOrNothing(const QString &path, const QByteArray &bytes)
{
    return writeAllOrNothing(path, [&bytes](QIODevice *device, QString *reason) {
        if (device->write(bytes) == bytes.size())
            return true;
        *reason = device->errorString();
        return false;
    });
}

} // namespace ReportExport
