// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Transceiver" dialog; see sfptransceiver.h.

#include "sfptransceiver.h"

#include "sfptexts.h"
#include "ui_sfptransceiver.h"

#include <QGridLayout>
#include <QLabel>

SFPTransceiver::SFPTransceiver(QWidget *parent, const SfpPortInfo &port)
    : QDialog(parent), m_ui(std::make_unique<Ui::SFPTransceiver>()), m_port(port)
{
    m_ui->setupUi(this);
    // The words fill the groups in the order of the record, each from the top,
    // so walking the grids that way lines the labels up with the words.
    const QGridLayout *grids[] = {
        m_ui->tenGigEthernetGrid, m_ui->infinibandGrid, m_ui->sonetGrid, m_ui->gigabitEthernetGrid, m_ui->esconGrid,
        m_ui->fcTechnologyGrid,   m_ui->fcLengthGrid,   m_ui->cableGrid, m_ui->fcMediaGrid,         m_ui->fcSpeedGrid};
    for (const QGridLayout *grid : grids) {
        for (int row = 0; row < grid->rowCount(); ++row) {
            if (const QLayoutItem *item = grid->itemAtPosition(row, 1)) {
                if (auto *value = qobject_cast<QLabel *>(item->widget()))
                    m_values.append(value);
            }
        }
    }
    Q_ASSERT(m_values.size() == LQ_SFP_TRANSCEIVER_WORDS);
    // Texts derived from the module's words; plain, like every text a device gives.
    for (int k = 0; k < m_values.size() && k < LQ_SFP_TRANSCEIVER_WORDS; ++k) {
        m_values[k]->setTextFormat(Qt::PlainText);
        m_values[k]->setText(SfpTexts::transceiverValue(k, m_port.transceiver[k]));
    }
}

SFPTransceiver::~SFPTransceiver() = default;
