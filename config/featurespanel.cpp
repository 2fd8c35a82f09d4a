// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Features" tab; see featurespanel.h.

#include "featurespanel.h"

#include "lumenquillapi.h"
#include "ui_featurespanel.h"

#include <QCheckBox>
#include <QPixmap>
#include <QSignalBlocker>
#include <QSpinBox>

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
    // Setting a variant restarts the device: never in the middle of an update.
    m_controlsOn = on;
    m_ui->FirmwareSelectionBT->setEnabled(on && (caps & LQ_CAP_FIRMWARE_VARIANTS));
}

void FeaturesPanel::showFeatures(const DeviceFeatures &features, uint32_t caps)
{
    const struct {
        QCheckBox *box;
        uint32_t value;
    } boxes[] = {
        {m_ui->features_transmit_crc_check, features.transmit_crc_errors},
        {m_ui->features_keep_crc_check, features.keep_crc},
        {m_ui->features_disable_porta_check, features.disable_port_a},
        {m_ui->features_disable_portb_check, features.disable_port_b},
        {m_ui->features_packet_slicing_check, features.packet_slicing},
        {m_ui->features_timestamps_check, features.timestamps},
    };
    for (const auto &b : boxes) {
        const QSignalBlocker blocker(b.box);
        b.box->setChecked(b.value == 1); // any other value reads as off
    }

    QSpinBox *length = m_ui->features_packet_slicing_length;
    const QSignalBlocker blocker(length);
    if (!(caps & LQ_CAP_SLICING_LENGTH)) {
        length->hide();
        length->setEnabled(false);
        length->setValue(0);
    } else {
        length->show();
        length->setEnabled(features.packet_slicing == 1);
        length->setValue(features.slicing_length);
    }

    if (caps & LQ_CAP_FIRMWARE_VARIANTS) {
        m_ui->FirmwareSelectionCB->setCurrentIndex(features.firmware_variant);
        m_ui->FirmwareSelectionBT->setEnabled(m_controlsOn);
        m_ui->FirmwareSelection->show();
    } else {
        m_ui->FirmwareSelection->hide();
    }
}

void FeaturesPanel::readFeatures(DeviceFeatures *features, uint32_t caps) const
{
    auto on = [](const QCheckBox *box) { return box->checkState() == Qt::Checked ? 1u : 0u; };
    features->transmit_crc_errors = on(m_ui->features_transmit_crc_check);
    features->keep_crc = on(m_ui->features_keep_crc_check);
    features->disable_port_a = on(m_ui->features_disable_porta_check);
    features->disable_port_b = on(m_ui->features_disable_portb_check);
    features->packet_slicing = on(m_ui->features_packet_slicing_check);
    features->timestamps = on(m_ui->features_timestamps_check);
    features->slicing_length =
        (caps & LQ_CAP_SLICING_LENGTH) ? static_cast<uint16_t>(m_ui->features_packet_slicing_length->value()) : 0;
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
