// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Features" tab: the selected device's information, its capture features,
// the restart button, the firmware variants and the firmware update group.

#pragma once

#include "lumenquillapi.h"

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

    Ui::FeaturesPanel *form() const { return m_ui.get(); }

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

private:
    std::unique_ptr<Ui::FeaturesPanel> m_ui;
    bool m_controlsOn = false; // as the last applyCapabilities left the device controls
};
