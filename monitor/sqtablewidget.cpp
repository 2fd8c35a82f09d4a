// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The counters tables; see sqtablewidget.h.

#include "sqtablewidget.h"

#include <array>

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
}

void SQTableWidget::setPort(int port)
{
    m_port = port;
}

void SQTableWidget::writeCell(QTableWidget *table, int row, int column, const QString &text)
{
    if (!table || row >= table->rowCount() || column >= table->columnCount())
        return;
    table->setItem(row, column, new QTableWidgetItem(text));
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

    auto fill = [&](QTableWidget *table, int row, W word, bool share) {
        writeCell(table, row, 0, QString::asprintf("%llu", static_cast<unsigned long long>(total.port(m_port, word))));
        writeCell(table, row, 1, rateText(delta.port(m_port, word), intervalMs));
        if (!share)
            return;
        writeCell(table, row, 2, shareText(delta.port(m_port, word), packets));
    };
    for (int row = 0; row < int(kPacketRows.size()); ++row)
        fill(this, row, kPacketRows[std::size_t(row)], row != kBytesRow);
    for (int row = 0; row < int(kErrorRows.size()); ++row)
        fill(m_errors, row, kErrorRows[std::size_t(row)], true);
    writeCell(this, kBytesRow, 2, usageText(bandwidthUsage(delta, m_port)));

    m_previous = sample;
}

void SQTableWidget::writeResetTexts()
{
    for (int row = 0; row < kResetPacketRows; ++row) {
        writeCell(this, row, 0, QStringLiteral("0"));
        writeCell(this, row, 1, QStringLiteral("0"));
        writeCell(this, row, 2, QStringLiteral("-"));
    }
    for (int row = 0; row < int(kErrorRows.size()); ++row) {
        writeCell(m_errors, row, 0, QStringLiteral("0"));
        writeCell(m_errors, row, 1, QStringLiteral("0"));
        writeCell(m_errors, row, 2, QStringLiteral("-"));
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
