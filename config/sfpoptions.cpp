// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "SFP Module Options" dialog; see sfpoptions.h.

#include "sfpoptions.h"

#include "sfptexts.h"
#include "ui_sfpoptions.h"

#include <QGridLayout>
#include <QLabel>

#include <algorithm>

SFPOptions::SFPOptions(QWidget *parent, const SfpPortInfo &port)
    : QDialog(parent), m_ui(std::make_unique<Ui::SFPOptions>()), m_port(port)
{
    m_ui->setupUi(this);
    // Both groups' values start at the same place under one another.
    int labelWidth = 0;
    for (QGridLayout *grid : {m_ui->optionsGrid, m_ui->enhancedOptionsGrid}) {
        for (int row = 0; row < grid->rowCount(); ++row) {
            if (const QLayoutItem *item = grid->itemAtPosition(row, 0))
                labelWidth = std::max(labelWidth, item->widget()->sizeHint().width());
            if (const QLayoutItem *item = grid->itemAtPosition(row, 1)) {
                if (auto *value = qobject_cast<QLabel *>(item->widget()))
                    m_values.append(value);
            }
        }
    }
    m_ui->optionsGrid->setColumnMinimumWidth(0, labelWidth);
    m_ui->enhancedOptionsGrid->setColumnMinimumWidth(0, labelWidth);
    Q_ASSERT(m_values.size() == LQ_SFP_OPTION_WORDS);
    // Texts derived from the module's words; plain, like every text a device gives.
    for (int k = 0; k < m_values.size() && k < LQ_SFP_OPTION_WORDS; ++k) {
        m_values[k]->setTextFormat(Qt::PlainText);
        m_values[k]->setText(SfpTexts::optionValue(k, m_port.options[k]));
    }
}

SFPOptions::~SFPOptions() = default;
