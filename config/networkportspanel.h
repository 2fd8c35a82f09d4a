// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Network Ports" tab: link settings of both monitored ports, span mode and
// loopback, the PHY status tables and the Power over Ethernet readings. The
// main window owns the apply and save flow; this panel reads and shows the
// widgets, the rules live in portsettings.h.

#pragma once

#include "lumenquillapi.h"

#include <QList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QAbstractButton;
class QCheckBox;
class QTableWidget;

namespace Ui {
class NetworkPortsPanel;
}

class NetworkPortsPanel : public QWidget {
    Q_OBJECT
public:
    explicit NetworkPortsPanel(QWidget *parent = nullptr);
    ~NetworkPortsPanel() override;

    Ui::NetworkPortsPanel *form() const { return m_ui.get(); }

    // Every box whose click applies the settings at once: the twenty port
    // boxes, span and loopback.
    QList<QAbstractButton *> applyButtons() const;

    // The auto-negotiation interlock after a click on `clicked`; nothing
    // unless `clicked` is a port box and the device has per-port link
    // settings. Program changes, not clicks.
    void interlock(QObject *clicked, uint32_t caps);

    // The port-speed record from the boxes; `tapMode` is the features record's
    // value as the apply flow just set it (1: Port B copies Port A).
    DevicePortsSpeed portsSpeed(uint32_t tapMode) const;

    // tap_mode and loopback from this tab's boxes. SFP devices (capability
    // 0x40) use the SFP page's boxes instead; for them nothing is written here
    // and the caller uses PortSettings::storeSpanLoopback with those boxes.
    void readFeatures(DeviceFeatures *features, uint32_t caps) const;

    // A features answer: span, loopback and port boxes; enabling is left as
    // it is. Program changes, not clicks.
    void showFeatures(const DeviceFeatures &features, const DevicePortsSpeed &ports, uint32_t caps);

    // The "Default" settings on both ports, loopback off, span untouched.
    // Program changes; the caller applies them.
    void setDefaults();

    // One periodic status record into the three PHY tables.
    void showStatus(const LinkStatus &link, uint32_t caps);
    // The MDI crossover totals start again from 0 (another device).
    void resetMdiTotals();

    // Enables the controls for a device with these capabilities; `on` is false
    // without a device or while a firmware update runs. Port B and loopback
    // only make sense in span mode, hence `tapMode`.
    void applyCapabilities(uint32_t caps, bool on, uint32_t tapMode);

    // Save becomes usable after an apply and stays usable after a save.
    void setSaveEnabled(bool enabled);

signals:
    // Operator clicks on "Save" and "Default".
    void signal_save_clicked();
    void signal_defaults_clicked();

private:
    using PortRow = std::array<QCheckBox *, 10>;

    static void fitHeight(QTableWidget *table);

    std::unique_ptr<Ui::NetworkPortsPanel> m_ui;
    std::array<PortRow, 2> m_ports{};
    std::array<uint64_t, 2> m_mdiTotals{};
};
