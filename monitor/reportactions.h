// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The export entries of the panels' context menus: copying tables as
// tab-separated text (also with the standard copy shortcut) and saving a
// chart as a picture or as data. Panels say what to export; these helpers
// read the widgets and hand the texts to the report core.

#pragma once

#include "reportexport.h"

#include <QList>
#include <QString>

#include <functional>

class QCustomPlot;
class QMenu;
class QPoint;
class QTableWidget;
class QWidget;
class ReportSaver;

namespace ReportActions {

// Object name of every context menu these helpers pop up.
inline QString menuName()
{
    return QStringLiteral("reportMenu");
}

// The target's context menu (right click) becomes the one `build` returns
// (parented to the target; nothing shows when it returns null). The target's
// layout and name stay as they are.
void installContextMenu(QWidget *target, std::function<QMenu *(const QPoint &pos)> build);

// Texts of a table as shown, with its row and column captions.
ReportExport::TextTable tableTexts(const QTableWidget *table);
// The selected cells as tab-separated rows: the smallest rectangle that
// holds the selection, unselected cells inside it left empty.
QString selectionText(const QTableWidget *table);
// Whole table with its captions as tab-separated rows.
QString tableText(const QTableWidget *table);
// Puts text on the clipboard.
void copyText(const QString &text);

// Ctrl+C (the platform's copy key) on the table copies its selection, and the
// context menu offers "Copy" and "Copy table". `extra` may add more entries.
void enableTableCopy(QTableWidget *table, std::function<void(QMenu *)> extra = {});

// Chart entries: pictures (PNG at the chart's size or larger, PDF, SVG) and
// the data. `shown` gives the points as drawn, `allScales` (may be empty) the
// points of every time scale the chart records.
struct ChartSource {
    QCustomPlot *plot = nullptr;
    ReportSaver *saver = nullptr;
    QString what; // part of the proposed file names, e.g. "Port-A-chart"
    std::function<QList<ReportExport::ChartBlock>()> shown;
    std::function<QList<ReportExport::ChartBlock>()> allScales;
};
void addChartActions(QMenu *menu, const ChartSource &source);

// Scales offered for PNG pictures; 1 is the chart's own size.
constexpr double kPngScales[] = {1.0, 2.0, 4.0};

} // namespace ReportActions
