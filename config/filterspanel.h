// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Filters" tab: the header filter and the deep packet inspection pattern
// of the current device. The panel shows what the device reports and sends
// what the operator sets through its request signals, which the main window
// chains to the worker; answers for any other device are ignored.

#pragma once

#include "statsthreadinfo.h"

#include <QWidget>

#include <cstdint>
#include <memory>

namespace Ui {
class FiltersPanel;
}

class FiltersPanel : public QWidget {
    Q_OBJECT
public:
    explicit FiltersPanel(QWidget *parent = nullptr);
    ~FiltersPanel() override;

    Ui::FiltersPanel *form() const { return m_ui.get(); }

    // The device the tab edits, kNoDeviceHandle for none. Another device
    // starts from a blank, disabled tab until its filters arrive, so nothing
    // of the previous device's can be sent to it.
    void setCurrentHandle(uint64_t handle);
    uint64_t currentHandle() const { return m_handle; }

    // Both groups work only with a filtering device, and not while `on` is
    // false (no device, firmware update running).
    void applyCapabilities(uint32_t caps, bool on);

signals:
    void signal_set_simplefilter(StatsThreadInfo info);
    void signal_save_simplefilter(StatsThreadInfo info);
    void signal_set_dpifilter(StatsThreadInfo info);
    void signal_save_dpifilter(StatsThreadInfo info);

public slots:
    // Connected by name from the form.
    void on_enableSimpleFiltersCB_toggled(bool checked);
    void on_setSimpleFiltersBT_clicked();
    void on_saveSimpleFiltersBT_clicked();
    void on_enableFiltersCheckBox_toggled(bool checked);
    void on_setFiltersButton_clicked();
    void on_saveFiltersButton_clicked();

    // Worker answers, routed here by the main window.
    void slot_simpleFilterReceived(StatsThreadInfo info);
    void slot_DPIFilterReceived(StatsThreadInfo info);

    // The pattern editor's edits; connected by the panel itself.
    void slot_filterChanged();

private:
    void resetControls();
    void sendSimpleFilter();
    void sendDpiFilter();

    std::unique_ptr<Ui::FiltersPanel> m_ui;
    uint64_t m_handle = kNoDeviceHandle;
    // The last pattern record read; its bytes the editor does not own go back
    // to the device unchanged.
    DpiFilter m_lastDpi{};
};
