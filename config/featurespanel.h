// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Features" tab: the selected device's information, its capture features,
// the restart button, the firmware variants and the firmware update group.

#pragma once

#include "lumenquillapi.h"

#include <QStringList>
#include <QWidget>

#include <memory>

namespace Ui {
class FeaturesPanel;
}

class FeaturesPanel : public QWidget {
    Q_OBJECT
public:
    explicit FeaturesPanel(QWidget *parent = nullptr);
    ~FeaturesPanel() override;

    // Enables this tab's device controls for a device with these capabilities;
    // `on` is false without a device or while a firmware update runs.
    void applyCapabilities(uint32_t caps, bool on);

    // Shows the device's features as last read; program changes, not clicks.
    void showFeatures(const DeviceFeatures &features, uint32_t caps);

    // Takes into the features record what this tab edits; every other field
    // stays as last read.
    void readFeatures(DeviceFeatures *features, uint32_t caps) const;

    // No device selected: the texts and picture of an empty window.
    void showNoDevice();
    void showModelPicture(const QString &resource);

    // What a status record says of the device: its information block, its link
    // (or SFP module presence), the link times and the two drop counters.
    void showDeviceStatus(const QString &text);
    void showLinkText(const QString &text);
    void showLinkTimes(const QString &up, const QString &lastDown);
    void showHardwareDrops(uint64_t packets);
    void showSoftwareDrops(uint64_t packets);
    // The device block as text, a line per figure, as the context menu copies it.
    QString deviceInformation() const;

    // Save becomes usable after an apply and unusable after a save.
    void setSaveEnabled(bool enabled);

    // The firmware image field and the update's progress bar.
    QString firmwareFile() const;
    void setFirmwareFile(const QString &path);
    void showUpdateProgress(int percent);
    int updateProgress() const;

    // The device's firmware variants, in the library's order; the variant
    // chosen in the list (its index there).
    void setFirmwareVariants(const QStringList &names);
    int selectedFirmwareVariant() const;
    // "Set" was clicked: it stays unusable until the device answers with its
    // features again (it restarts), whatever the polls say meanwhile, so that
    // one choice is never sent twice.
    void holdFirmwareVariantSet();

signals:
    // Operator actions on this tab; program changes never emit them.
    void signal_features_edited();
    void signal_save_clicked();
    void signal_restart_clicked();
    void signal_set_variant_clicked();
    void signal_browse_firmware_clicked();
    void signal_flash_clicked();

private:
    void enableVariantSet();

    std::unique_ptr<Ui::FeaturesPanel> m_ui;
    bool m_controlsOn = false;     // as the last applyCapabilities left the device controls
    bool m_variantSetHeld = false; // "Set" was used and no features answer came since
    uint32_t m_caps = 0;           // of the last applyCapabilities
};
