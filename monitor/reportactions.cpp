// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Context-menu export entries; see reportactions.h.

#include "reportactions.h"

#include "chartexport.h"
#include "reportsaver.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QKeyEvent>
#include <QTableWidget>
#include <qcustomplot.h>

#include <algorithm>
#include <set>

namespace ReportActions {

void installContextMenu(QWidget *target, std::function<QMenu *(const QPoint &)> build)
{
    target->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(target, &QWidget::customContextMenuRequested, target, [target, build](const QPoint &pos) {
        QMenu *menu = build(pos);
        if (!menu)
            return;
        menu->setObjectName(menuName());
        menu->setAttribute(Qt::WA_DeleteOnClose);
        // Not exec(): the window keeps its event loop, and tests can look at the open menu.
        menu->popup(target->mapToGlobal(pos));
    });
}

namespace {
QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

QString headerText(const QTableWidget *table, Qt::Orientation orientation, int section)
{
    return table->model()->headerData(section, orientation, Qt::DisplayRole).toString();
}
} // namespace

ReportExport::TextTable tableTexts(const QTableWidget *table)
{
    ReportExport::TextTable texts;
    for (int c = 0; c < table->columnCount(); ++c)
        texts.columns << headerText(table, Qt::Horizontal, c);
    for (int r = 0; r < table->rowCount(); ++r) {
        texts.rows << headerText(table, Qt::Vertical, r);
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells << cellText(table, r, c);
        texts.cells << cells;
    }
    return texts;
}

QString selectionText(const QTableWidget *table)
{
    const QModelIndexList selected = table->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return QString();
    std::set<std::pair<int, int>> cells;
    int top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
    for (const QModelIndex &index : selected) {
        cells.insert({index.row(), index.column()});
        top = std::min(top, index.row());
        bottom = std::max(bottom, index.row());
        left = std::min(left, index.column());
        right = std::max(right, index.column());
    }
    QList<QStringList> rows;
    for (int r = top; r <= bottom; ++r) {
        QStringList row;
        for (int c = left; c <= right; ++c)
            row << (cells.count({r, c}) ? cellText(table, r, c) : QString());
        rows << row;
    }
    return ReportExport::tabSeparated(rows);
}

QString tableText(const QTableWidget *table)
{
    const ReportExport::TextTable texts = tableTexts(table);
    QList<QStringList> rows = {QStringList{QString()} + texts.columns};
    for (int r = 0; r < texts.cells.size(); ++r)
        rows << (QStringList{texts.rows.value(r)} + texts.cells[r]);
    return ReportExport::tabSeparated(rows);
}

void copyText(const QString &text)
{
    QApplication::clipboard()->setText(text);
}

namespace {
// The item view's own copy key copies the current cell alone; a table of
// figures is copied as the block the operator selected.
class TableCopyKey : public QObject {
public:
    explicit TableCopyKey(QTableWidget *table) : QObject(table), m_table(table) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
        if (watched != m_table || !key || !static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy))
            return QObject::eventFilter(watched, event);
        // Claiming the override keeps window-wide shortcuts from taking the key.
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            const QString text = selectionText(m_table);
            if (!text.isEmpty())
                copyText(text);
        }
        return true;
    }

private:
    QTableWidget *m_table;
};
} // namespace

void enableTableCopy(QTableWidget *table, std::function<void(QMenu *)> extra)
{
    table->installEventFilter(new TableCopyKey(table));
    installContextMenu(table, [table, extra](const QPoint &) {
        auto *menu = new QMenu(table);
        QAction *copy = menu->addAction(QStringLiteral("Copy"), [table] { copyText(selectionText(table)); });
        copy->setShortcut(QKeySequence::Copy);
        copy->setEnabled(table->selectionModel()->hasSelection());
        menu->addAction(QStringLiteral("Copy table"), [table] { copyText(tableText(table)); });
        if (extra) {
            menu->addSeparator();
            extra(menu);
        }
        return menu;
    });
}

namespace {
const QString kChartKind = QStringLiteral("Chart");
const QString kChartDataKind = QStringLiteral("ChartData");
const QString kCsvFilter = QStringLiteral("CSV files (*.csv)");

QString pictureFilter(ChartExport::Format format)
{
    switch (format) {
    case ChartExport::Format::Png:
        return QStringLiteral("PNG pictures (*.png)");
    case ChartExport::Format::Pdf:
        return QStringLiteral("PDF documents (*.pdf)");
    case ChartExport::Format::Svg:
        return QStringLiteral("SVG drawings (*.svg)");
    }
    return QString();
}

void savePicture(const ChartSource &source, ChartExport::Format format, double scale)
{
    QCustomPlot *plot = source.plot;
    source.saver->save(
        plot->window(), kChartKind, source.what, ChartExport::extension(format), pictureFilter(format),
        [plot, format, scale](const QString &path) { return ChartExport::write(plot, path, format, scale); });
}

void saveData(const ChartSource &source, const QString &what,
              const std::function<QList<ReportExport::ChartBlock>()> &blocks)
{
    source.saver->saveBytes(source.plot->window(), kChartDataKind, what, QStringLiteral("csv"), kCsvFilter,
                            [&blocks] { return ReportExport::chartCsv(blocks()).toUtf8(); });
}
} // namespace

void addChartActions(QMenu *menu, const ChartSource &source)
{
    QMenu *png = menu->addMenu(QStringLiteral("Save chart as PNG"));
    for (double scale : kPngScales) {
        const QString text =
            scale == 1.0 ? QStringLiteral("At its size (%1 × %2)…").arg(source.plot->width()).arg(source.plot->height())
                         : QStringLiteral("At %1× its size…").arg(scale);
        png->addAction(text, [source, scale] { savePicture(source, ChartExport::Format::Png, scale); });
    }
    menu->addAction(QStringLiteral("Save chart as PDF…"),
                    [source] { savePicture(source, ChartExport::Format::Pdf, 1.0); });
    menu->addAction(QStringLiteral("Save chart as SVG…"),
                    [source] { savePicture(source, ChartExport::Format::Svg, 1.0); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Save data as CSV…"),
                    [source] { saveData(source, source.what + QStringLiteral("-data"), source.shown); });
    if (source.allScales) {
        menu->addAction(QStringLiteral("Save data of all four scales as CSV…"), [source] {
            saveData(source, source.what + QStringLiteral("-data-all-scales"), source.allScales);
        });
    }
}

} // namespace ReportActions
