// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Counters" tab; see counterspanel.h.

#include "counterspanel.h"

#include "pictures.h"
#include "reportactions.h"
#include "ui_counterspanel.h"

#include <QHeaderView>
#include <QMenu>

namespace {
// The row captions of both tables share one width so that their columns line up.
constexpr int kRowCaptionWidth = 110;

void setUpTable(QTableWidget *table)
{
    table->verticalHeader()->setFixedWidth(kRowCaptionWidth);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Exactly as tall as its rows: nothing to scroll.
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void setUpGauge(QGauge *gauge)
{
    gauge->setDial(loadPicture(QStringLiteral(":/gauge/img/gauge.png")));
    gauge->setNeedle(loadPicture(QStringLiteral(":/gauge/img/needle.png")));
    gauge->setPivot(287, 299);
    gauge->setStartAngle(0);
    gauge->setEndAngle(93);
}
} // namespace

CountersPanel::CountersPanel(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::CountersPanel>())
{
    m_ui->setupUi(this);
    m_ui->tableWidget->setPort(0);
    m_ui->tableWidget->setLinkedTable(m_ui->tableWidget_3);
    m_ui->tableWidget_2->setPort(1);
    m_ui->tableWidget_2->setLinkedTable(m_ui->tableWidget_4);
    for (QTableWidget *table : {static_cast<QTableWidget *>(m_ui->tableWidget), m_ui->tableWidget_3,
                                static_cast<QTableWidget *>(m_ui->tableWidget_2), m_ui->tableWidget_4})
        setUpTable(table);
    for (QGauge *gauge : {m_ui->meters_a_bw_gauge, m_ui->meters_a_avbw_gauge, m_ui->meters_a_avcrc_gauge,
                          m_ui->meters_b_bw_gauge, m_ui->meters_b_avbw_gauge, m_ui->meters_b_avcrc_gauge})
        setUpGauge(gauge);

    for (QTableWidget *table : {static_cast<QTableWidget *>(m_ui->tableWidget), m_ui->tableWidget_3,
                                static_cast<QTableWidget *>(m_ui->tableWidget_2), m_ui->tableWidget_4}) {
        ReportActions::enableTableCopy(table, [this](QMenu *menu) {
            menu->addAction(QStringLiteral("Save counters of both ports as CSV…"), [this] {
                m_reports->saveBytes(window(), QStringLiteral("Counters"), QStringLiteral("counters"),
                                     QStringLiteral("csv"), QStringLiteral("CSV files (*.csv)"),
                                     [this] { return countersCsv().toUtf8(); });
            });
        });
    }

    connect(m_ui->conters_clear_all_btn, &QPushButton::clicked, this, &CountersPanel::counters_reset);
    connect(m_ui->conters_clear_a_btn, &QPushButton::clicked, this, &CountersPanel::counters_resetA);
    connect(m_ui->conters_clear_b_btn, &QPushButton::clicked, this, &CountersPanel::counters_resetB);
}

CountersPanel::~CountersPanel() = default;

void CountersPanel::refresh(const StatisticsSample &newest, const std::array<double, 2> &usage)
{
    m_ui->tableWidget->showStatistics(newest);
    m_ui->tableWidget_2->showStatistics(newest);
    m_ui->meters_a_bw_gauge->setValue(usage[0]);
    m_ui->meters_b_bw_gauge->setValue(usage[1]);

    const std::array<QGauge *, 2> averageGauges = {m_ui->meters_a_avbw_gauge, m_ui->meters_b_avbw_gauge};
    const std::array<QGauge *, 2> crcGauges = {m_ui->meters_a_avcrc_gauge, m_ui->meters_b_avcrc_gauge};
    for (std::size_t port = 0; port < 2; ++port) {
        const PortAverage::Figures figures =
            m_averages[port].update(newest, int(port), m_previousRefreshMs, usage[port]);
        if (figures.bandwidth)
            averageGauges[port]->setValue(*figures.bandwidth);
        crcGauges[port]->setValue(figures.crcErrors);
    }
    m_previousRefreshMs = newest.words[StatisticsSample::SampleTime];
    m_sampleTime = m_reports->now();
}

QString CountersPanel::countersCsv() const
{
    using ReportActions::tableTexts;
    const QString packets = QStringLiteral("Packets");
    const QString errors = QStringLiteral("Errors");
    const QString a = QStringLiteral("Port A");
    const QString b = QStringLiteral("Port B");
    // Before the first refresh the tables show the cleared texts of now.
    const QDateTime time = m_sampleTime.isValid() ? m_sampleTime : m_reports->now();
    return ReportExport::countersCsv(m_reports->device(), time,
                                     {{a, packets, tableTexts(m_ui->tableWidget)},
                                      {a, errors, tableTexts(m_ui->tableWidget_3)},
                                      {b, packets, tableTexts(m_ui->tableWidget_2)},
                                      {b, errors, tableTexts(m_ui->tableWidget_4)}});
}

bool CountersPanel::saveCounters(const QString &path)
{
    return ReportSaver::writeBytes(window(), path, countersCsv().toUtf8());
}

void CountersPanel::clearToZero()
{
    m_ui->tableWidget->clearToZero();
    m_ui->tableWidget_2->clearToZero();
}

void CountersPanel::counters_resetA()
{
    m_ui->tableWidget->clearFromNow();
    m_averages[0].resetRequested = true;
}

void CountersPanel::counters_resetB()
{
    m_ui->tableWidget_2->clearFromNow();
    m_averages[1].resetRequested = true;
}

void CountersPanel::counters_reset()
{
    counters_resetA();
    counters_resetB();
}
