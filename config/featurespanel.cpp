// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Features" tab; see featurespanel.h.

#include "featurespanel.h"

#include "lumenquillapi.h"
#include "ui_featurespanel.h"

#include <QPixmap>

FeaturesPanel::FeaturesPanel(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::FeaturesPanel>())
{
    m_ui->setupUi(this);
}

FeaturesPanel::~FeaturesPanel() = default;

void FeaturesPanel::applyCapabilities(uint32_t caps, bool on)
{
    const bool full = on && (caps & LQ_CAP_CONFIGURABLE);
    // Save stays as the last apply left it while it may be used.
    if (!full)
        m_ui->features_save_btn->setEnabled(false);
    const QList<QWidget *> featureBoxes{m_ui->features_disable_porta_check, m_ui->features_disable_portb_check,
                                        m_ui->features_keep_crc_check,     m_ui->features_packet_slicing_check,
                                        m_ui->features_transmit_crc_check, m_ui->features_timestamps_check};
    for (QWidget *w : featureBoxes)
        w->setEnabled(full);
    if (!((caps & LQ_CAP_SLICING_LENGTH) && on)) {
        m_ui->features_packet_slicing_length->setEnabled(false);
        m_ui->features_packet_slicing_length->hide();
    }
    m_ui->progressBar->setMaximum(100);
    m_ui->restart_device_btn->setEnabled(on);
    m_ui->features_flash_btn->setEnabled(on && (caps & LQ_CAP_FIRMWARE_FLASH));
}

void FeaturesPanel::showNoDevice()
{
    m_ui->features_link_speed_label->clear();
    m_ui->features_status_label->setText(QStringLiteral("No Device Connected"));
    m_ui->FirmwareSelection->hide();
    m_ui->FirmwareSelectionCB->clear();
}

void FeaturesPanel::showModelPicture(const QString &resource)
{
    m_ui->model_logo->setPixmap(QPixmap(resource).scaled(128, 128, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
