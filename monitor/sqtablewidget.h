// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// One port's packet table on the Counters tab, with the port's error table
// linked to it: totals since a baseline, rates over the last interval and
// each row's share of the interval's packets.

#pragma once

#include "statisticssample.h"

#include <QTableWidget>

#include <array>
#include <cstdint>

class SQTableWidget : public QTableWidget {
    Q_OBJECT
public:
    explicit SQTableWidget(QWidget *parent = nullptr);

    void setLinkedTable(QTableWidget *errors);
    void setPort(int port);
    int port() const { return m_port; }

    // The refresh of one port from the newest sample.
    void showStatistics(const StatisticsSample &sample);
    // Totals count the device's absolute counters from the next refresh on
    // (unless a clearFromNow is pending, which wins).
    void clearToZero();
    // Totals count from the next refresh on.
    void clearFromNow();

private:
    // A cell's text follows from two numbers. A refresh that finds the same
    // numbers as the one before leaves the cell alone: formatting texts and
    // replacing items was most of what a refresh cost, and about half the
    // cells (the rare size classes) hardly ever change.
    struct Cell {
        QTableWidgetItem *item = nullptr; // the item last written; another one there means the numbers are stale
        uint64_t first = 0;
        uint64_t second = 0;
        bool known = false;
    };
    static constexpr int kColumns = 3;
    static constexpr int kCachedRows = 5;
    using Cells = std::array<std::array<Cell, kColumns>, kCachedRows>;

    template <typename Text>
    void writeCell(QTableWidget *table, Cells &cells, int row, int column, uint64_t first, uint64_t second, Text text);
    void writeText(QTableWidget *table, Cells &cells, int row, int column, const QString &text);
    void writeResetTexts();

    Cells m_packetCells{};
    Cells m_errorCells{};
    QTableWidget *m_errors = nullptr;
    StatisticsSample m_previous;
    StatisticsSample m_baseline;
    bool m_resetToZero = true;
    bool m_resetToCurrent = false;
    int m_port = 0;
};
