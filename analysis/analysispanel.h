// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "VistaGrove" tab: picks the analysis stack's mode, starts and stops it
// through the supervisor, shows one status bullet per process, keeps the
// default capture folder and opens the stack's configuration files in the
// editor.

#pragma once

#include "vistagrovemonitor.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QSettings;

namespace Ui {
class AnalysisPanel;
}

class AnalysisPanel : public QWidget {
    Q_OBJECT
public:
    // The configuration files the Edit buttons open, before "~/" expansion.
    static const QString kServerConfigFile;
    static const QString kVistagroveConfigFile;
    static const QString kElasticSearchConfigFile;

    explicit AnalysisPanel(QWidget *parent = nullptr);
    ~AnalysisPanel() override;

    Ui::AnalysisPanel *form() const { return m_ui.get(); }

    // The supervisor this tab drives; its StatusChanged is connected to
    // slot_vistagrovemonitor_changed here (and a previous one disconnected).
    void setMonitor(VistagroveMonitor *monitor);
    // The settings store the capture folder is kept in; not owned.
    void setSettings(QSettings *settings);
    // The capture folder from the store (default: the home directory).
    void loadSettings();

    // Set from Start until the supervisor reports the whole stack stopped.
    bool stackRunning() const { return m_stackRunning; }

public slots:
    void slot_edit_vistagrove_server_file();
    void slot_edit_vistagrove_ps_file();
    void slot_edit_vistagrove_es_file();
    void slot_vistagrovemonitor_changed(vistagrovemonitor_target target, vistagrovemonitor_status status);
    void slot_vistagrove_startstop();
    void slot_vistagrove_update_greybullets();
    void slot_vistagrove_select_directory();
    void slot_vistagrove_directory_changed();

private:
    void editFile(const QString &path);
    void setIdleControlsEnabled(bool on);
    static void showBullet(QLabel *bullet, const QString &picture);

    std::unique_ptr<Ui::AnalysisPanel> m_ui;
    QPointer<VistagroveMonitor> m_monitor;
    QSettings *m_settings = nullptr;
    bool m_stackRunning = false;
};
