// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// One port's packet table on the Counters tab, with the port's error table
// linked to it: totals since a baseline, rates over the last interval and
// each row's share of the interval's packets.

#pragma once

#include "statisticssample.h"

#include <QTableWidget>

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
    void writeCell(QTableWidget *table, int row, int column, const QString &text);
    void writeResetTexts();

    QTableWidget *m_errors = nullptr;
    StatisticsSample m_previous;
    StatisticsSample m_baseline;
    bool m_resetToZero = true;
    bool m_resetToCurrent = false;
    int m_port = 0;
};
