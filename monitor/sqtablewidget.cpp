// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The counters tables; see sqtablewidget.h.

#include "sqtablewidget.h"

#include <array>
#include <cstring>

namespace {
using W = StatisticsSample::PortWord;
constexpr auto kPacketRows = StatisticsSample::kPacketRows;
constexpr auto kErrorRows = StatisticsSample::kErrorRows;
constexpr int kResetPacketRows = 9;
constexpr int kBytesRow = 4;
} // namespace

SQTableWidget::SQTableWidget(QWidget *parent) : QTableWidget(parent) {}

void SQTableWidget::setLinkedTable(QTableWidget *errors)
{
    m_errors = errors;
    m_errorCells = {};
}

void SQTableWidget::setPort(int port)
{
    m_port = port;
}

template <typename Text>
void SQTableWidget::writeCell(QTableWidget *table, Cells &cells, int row, int column, uint64_t first, uint64_t second,
                              Text text)
{
    if (!table || row >= table->rowCount() || column >= table->columnCount())
        return;
    Cell &cell = cells[std::size_t(row)][std::size_t(column)];
    QTableWidgetItem *item = table->item(row, column);
    if (cell.known && item && item == cell.item && cell.first == first && cell.second == second)
        return;
    if (item)
        item->setText(text());
    else
        table->setItem(row, column, item = new QTableWidgetItem(text()));
    cell = {item, first, second, true};
}

void SQTableWidget::writeText(QTableWidget *table, Cells &cells, int row, int column, const QString &text)
{
    if (!table || row >= table->rowCount() || column >= table->columnCount())
        return;
    QTableWidgetItem *item = table->item(row, column);
    if (item)
        item->setText(text);
    else
        table->setItem(row, column, item = new QTableWidgetItem(text));
    if (row < kCachedRows)
        cells[std::size_t(row)][std::size_t(column)] = {item, 0, 0, false};
}

void SQTableWidget::showStatistics(const StatisticsSample &sample)
{
    if (m_resetToZero || m_resetToCurrent) {
        if (m_resetToCurrent)
            m_baseline = sample;
        else
            m_baseline.clear();
        m_resetToZero = false;
        m_resetToCurrent = false;
        m_previous = sample;
        return;
    }

    const StatisticsSample total = sample - m_baseline;
    const StatisticsSample delta = sample - m_previous;
    const uint64_t intervalMs = delta.words[StatisticsSample::SampleTime];
    const uint64_t packets = intervalPackets(delta, m_port);

    auto fill = [&](QTableWidget *table, Cells &cells, int row, W word, bool share) {
        const uint64_t totalCount = total.port(m_port, word);
        const uint64_t count = delta.port(m_port, word);
        writeCell(table, cells, row, 0, totalCount, 0,
                  [&] { return QString::asprintf("%llu", static_cast<unsigned long long>(totalCount)); });
        writeCell(table, cells, row, 1, count, intervalMs, [&] { return rateText(count, intervalMs); });
        if (!share)
            return;
        writeCell(table, cells, row, 2, count, packets, [&] { return shareText(count, packets); });
    };
    for (int row = 0; row < int(kPacketRows.size()); ++row)
        fill(this, m_packetCells, row, kPacketRows[std::size_t(row)], row != kBytesRow);
    for (int row = 0; row < int(kErrorRows.size()); ++row)
        fill(m_errors, m_errorCells, row, kErrorRows[std::size_t(row)], true);
    const float usage = float(bandwidthUsage(delta, m_port));
    uint32_t usageBits = 0;
    std::memcpy(&usageBits, &usage, sizeof usageBits);
    writeCell(this, m_packetCells, kBytesRow, 2, usageBits, 0, [&] { return usageText(usage); });

    m_previous = sample;
}

void SQTableWidget::writeResetTexts()
{
    for (int row = 0; row < kResetPacketRows; ++row) {
        writeText(this, m_packetCells, row, 0, QStringLiteral("0"));
        writeText(this, m_packetCells, row, 1, QStringLiteral("0"));
        writeText(this, m_packetCells, row, 2, QStringLiteral("-"));
    }
    for (int row = 0; row < int(kErrorRows.size()); ++row) {
        writeText(m_errors, m_errorCells, row, 0, QStringLiteral("0"));
        writeText(m_errors, m_errorCells, row, 1, QStringLiteral("0"));
        writeText(m_errors, m_errorCells, row, 2, QStringLiteral("-"));
    }
}

void SQTableWidget::clearToZero()
{
    writeResetTexts();
    m_resetToZero = true;
}

void SQTableWidget::clearFromNow()
{
    writeResetTexts();
    m_resetToCurrent = true;
}
