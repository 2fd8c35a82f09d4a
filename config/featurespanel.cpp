// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Features" tab; see featurespanel.h.

#include "featurespanel.h"

#include "lumenquillapi.h"
#include "pictures.h"
#include "reportactions.h"
#include "ui_featurespanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QPixmap>
#include <QSignalBlocker>
#include <QSpinBox>

FeaturesPanel::FeaturesPanel(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::FeaturesPanel>())
{
    m_ui->setupUi(this);
    // The device block goes into tickets as text.
    ReportActions::installContextMenu(m_ui->deviceGroup, [this](const QPoint &) {
        auto *menu = new QMenu(m_ui->deviceGroup);
        menu->addAction(QStringLiteral("Copy device information"),
                        [this] { ReportActions::copyText(deviceInformation()); });
        return menu;
    });
    // Shown only where the device library asks for it, which ours never does.
    m_ui->OSXWarning->hide();
    m_ui->FirmwareSelection->hide();

    // Operator actions only: program changes of these widgets are not clicks.
    for (QCheckBox *box :
         {m_ui->features_timestamps_check, m_ui->features_transmit_crc_check, m_ui->features_keep_crc_check,
          m_ui->features_disable_porta_check, m_ui->features_disable_portb_check, m_ui->features_packet_slicing_check})
        connect(box, &QCheckBox::clicked, this, &FeaturesPanel::signal_features_edited);
    connect(m_ui->features_packet_slicing_length, &QSpinBox::valueChanged, this,
            &FeaturesPanel::signal_features_edited);
    connect(m_ui->features_save_btn, &QPushButton::clicked, this, &FeaturesPanel::signal_save_clicked);
    connect(m_ui->restart_device_btn, &QPushButton::clicked, this, &FeaturesPanel::signal_restart_clicked);
    connect(m_ui->FirmwareSelectionBT, &QPushButton::clicked, this, &FeaturesPanel::signal_set_variant_clicked);
    connect(m_ui->pushButton_2, &QPushButton::clicked, this, &FeaturesPanel::signal_browse_firmware_clicked);
    connect(m_ui->features_flash_btn, &QPushButton::clicked, this, &FeaturesPanel::signal_flash_clicked);
}

FeaturesPanel::~FeaturesPanel() = default;

void FeaturesPanel::applyCapabilities(uint32_t caps, bool on)
{
    const bool full = on && (caps & LQ_CAP_CONFIGURABLE);
    // Save stays as the last apply left it while it may be used.
    if (!full)
        m_ui->features_save_btn->setEnabled(false);
    const QList<QWidget *> featureBoxes{m_ui->features_disable_porta_check, m_ui->features_disable_portb_check,
                                        m_ui->features_keep_crc_check,      m_ui->features_packet_slicing_check,
                                        m_ui->features_transmit_crc_check,  m_ui->features_timestamps_check};
    for (QWidget *w : featureBoxes)
        w->setEnabled(full);
    if (!((caps & LQ_CAP_SLICING_LENGTH) && on)) {
        m_ui->features_packet_slicing_length->setEnabled(false);
        m_ui->features_packet_slicing_length->hide();
    }
    m_ui->progressBar->setMaximum(100);
    m_ui->restart_device_btn->setEnabled(on);
    m_ui->features_flash_btn->setEnabled(on && (caps & LQ_CAP_FIRMWARE_FLASH));
    m_controlsOn = on;
    m_caps = caps;
    enableVariantSet();
}

void FeaturesPanel::enableVariantSet()
{
    // Setting a variant restarts the device: never in the middle of an update,
    // and not again before the device has answered the last Set.
    m_ui->FirmwareSelectionBT->setEnabled(m_controlsOn && (m_caps & LQ_CAP_FIRMWARE_VARIANTS) && !m_variantSetHeld);
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

    m_variantSetHeld = false;
    enableVariantSet();
    if (caps & LQ_CAP_FIRMWARE_VARIANTS) {
        m_ui->FirmwareSelectionCB->setCurrentIndex(features.firmware_variant);
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
    m_variantSetHeld = false;
}

void FeaturesPanel::showModelPicture(const QString &resource)
{
    m_ui->model_logo->setPixmap(loadPicture(resource, QSize(128, 128)));
}

void FeaturesPanel::showDeviceStatus(const QString &text)
{
    m_ui->features_status_label->setText(text);
}

QString FeaturesPanel::deviceInformation() const
{
    QStringList lines = m_ui->features_status_label->text().split(QLatin1Char('\n'));
    lines << m_ui->features_link_speed_label->text();
    const QFormLayout *form = m_ui->statusLayout;
    for (int row = 0; row < form->rowCount(); ++row) {
        const QLayoutItem *caption = form->itemAt(row, QFormLayout::LabelRole);
        const QLayoutItem *value = form->itemAt(row, QFormLayout::FieldRole);
        const auto *captionLabel = caption ? qobject_cast<const QLabel *>(caption->widget()) : nullptr;
        const auto *valueLabel = value ? qobject_cast<const QLabel *>(value->widget()) : nullptr;
        if (captionLabel && valueLabel) {
            // Captions end in " :" on the form, or in nothing; the copy reads "caption: value".
            QString name = captionLabel->text().trimmed();
            if (name.endsWith(QLatin1Char(':')))
                name = name.chopped(1).trimmed();
            lines << name + QLatin1String(": ") + valueLabel->text();
        }
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void FeaturesPanel::showLinkText(const QString &text)
{
    m_ui->features_link_speed_label->setText(text);
}

void FeaturesPanel::showLinkTimes(const QString &up, const QString &lastDown)
{
    m_ui->features_link_up_label->setText(up);
    m_ui->features_link_down_label->setText(lastDown);
}

void FeaturesPanel::showHardwareDrops(uint64_t packets)
{
    m_ui->features_drop_label->setText(QString::number(packets));
}

void FeaturesPanel::showSoftwareDrops(uint64_t packets)
{
    m_ui->features_sw_dropped->setText(QString::number(packets));
}

void FeaturesPanel::setSaveEnabled(bool enabled)
{
    m_ui->features_save_btn->setEnabled(enabled);
}

QString FeaturesPanel::firmwareFile() const
{
    return m_ui->features_firmware_file->text();
}

void FeaturesPanel::setFirmwareFile(const QString &path)
{
    m_ui->features_firmware_file->setText(path);
}

void FeaturesPanel::showUpdateProgress(int percent)
{
    m_ui->progressBar->setValue(percent);
}

void FeaturesPanel::setFirmwareVariants(const QStringList &names)
{
    QComboBox *variants = m_ui->FirmwareSelectionCB;
    variants->clear();
    for (int i = 0; i < names.size(); ++i)
        variants->addItem(names.at(i), i);
}

int FeaturesPanel::selectedFirmwareVariant() const
{
    return m_ui->FirmwareSelectionCB->currentData().toInt();
}

void FeaturesPanel::holdFirmwareVariantSet()
{
    m_variantSetHeld = true;
    enableVariantSet();
}

int FeaturesPanel::updateProgress() const
{
    return m_ui->progressBar->value();
}
