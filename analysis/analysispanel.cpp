// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "VistaGrove" tab; see analysispanel.h.

#include "analysispanel.h"

#include "configfileeditor.h"
#include "homepath.h"
#include "pictures.h"
#include "ui_analysispanel.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kGreen = QStringLiteral(":/gps/green.png");
const QString kYellow = QStringLiteral(":/gps/yellow.png");
const QString kRed = QStringLiteral(":/gps/red.png");
const QString kGrey = QStringLiteral(":/gps/grey.png");

const QString kCaptureDirectoryKey = QStringLiteral("LastLocations/VistagroveCaptureDirectory");

} // namespace

const QString AnalysisPanel::kServerConfigFile = QStringLiteral("~/.config/vistagrove/vistagrove_server_config.ini");
const QString AnalysisPanel::kVistagroveConfigFile = QStringLiteral("/etc/vistagrove/vistagrove.yml");
const QString AnalysisPanel::kElasticSearchConfigFile = QStringLiteral("/etc/elasticsearch/elasticsearch.yml");

AnalysisPanel::AnalysisPanel(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::AnalysisPanel>())
{
    m_ui->setupUi(this);
    Ui::AnalysisPanel *u = m_ui.get();
    u->VistaGroveServerFile->setText(kServerConfigFile);
    u->VistaGrovePSFile->setText(kVistagroveConfigFile);
    u->VistaGroveESFile->setText(kElasticSearchConfigFile);

    for (QRadioButton *mode : {u->VistaGroveModeLocal, u->VistaGroveModeListening, u->VistaGroveModeRemote})
        connect(mode, &QRadioButton::clicked, this, &AnalysisPanel::slot_vistagrove_update_greybullets);
    connect(u->VistaGroveStart, &QPushButton::clicked, this, &AnalysisPanel::slot_vistagrove_startstop);
    connect(u->VistaGroveBrowse, &QPushButton::clicked, this, &AnalysisPanel::slot_vistagrove_select_directory);
    connect(u->VistaGroveCapturePath, &QLineEdit::textChanged, this, &AnalysisPanel::slot_vistagrove_directory_changed);
    connect(u->VistaGroveEditServer, &QPushButton::clicked, this, &AnalysisPanel::slot_edit_vistagrove_server_file);
    connect(u->VistaGroveEditPS, &QPushButton::clicked, this, &AnalysisPanel::slot_edit_vistagrove_ps_file);
    connect(u->VistaGroveEditES, &QPushButton::clicked, this, &AnalysisPanel::slot_edit_vistagrove_es_file);
}

AnalysisPanel::~AnalysisPanel() = default;

void AnalysisPanel::setMonitor(VistagroveMonitor *monitor)
{
    if (m_monitor)
        disconnect(m_monitor, nullptr, this, nullptr);
    m_monitor = monitor;
    if (monitor)
        connect(monitor, &VistagroveMonitor::StatusChanged, this, &AnalysisPanel::slot_vistagrovemonitor_changed);
}

void AnalysisPanel::setSettings(QSettings *settings)
{
    m_settings = settings;
}

void AnalysisPanel::loadSettings()
{
    if (!m_settings)
        return;
    // Through textChanged, so the colour follows the stored folder too.
    m_ui->VistaGroveCapturePath->setText(m_settings->value(kCaptureDirectoryKey, QDir::homePath()).toString());
}

void AnalysisPanel::slot_edit_vistagrove_server_file()
{
    editFile(kServerConfigFile);
}

void AnalysisPanel::slot_edit_vistagrove_ps_file()
{
    editFile(kVistagroveConfigFile);
}

void AnalysisPanel::slot_edit_vistagrove_es_file()
{
    editFile(kElasticSearchConfigFile);
}

void AnalysisPanel::editFile(const QString &path)
{
    ConfigFileEditor editor(expandHomePath(path), window());
    editor.exec();
}

void AnalysisPanel::slot_vistagrovemonitor_changed(vistagrovemonitor_target target, vistagrovemonitor_status status)
{
    QLabel *bullet = nullptr;
    switch (target) {
    case VistagroveMonitor::Target_Monitor:
        if (status == VistagroveMonitor::Status_Stopped) {
            m_stackRunning = false;
            m_ui->VistaGroveStart->setText(tr("Start"));
            m_ui->VistaGroveStart->setEnabled(true);
            setIdleControlsEnabled(true);
        }
        return;
    case VistagroveMonitor::Target_HTTPServer:
        bullet = m_ui->VistaGroveBulletServer;
        break;
    case VistagroveMonitor::Target_ElasticSearch:
        bullet = m_ui->VistaGroveBulletES;
        break;
    case VistagroveMonitor::Target_Vistagrove:
        bullet = m_ui->VistaGroveBulletPS;
        break;
    }
    if (!bullet)
        return;

    switch (status) {
    case VistagroveMonitor::Status_Stopped:
    case VistagroveMonitor::Status_Error:
        showBullet(bullet, kRed);
        return;
    case VistagroveMonitor::Status_Stopping:
    case VistagroveMonitor::Status_Starting:
        showBullet(bullet, kYellow);
        return;
    case VistagroveMonitor::Status_Started:
        showBullet(bullet, kGreen);
        return;
    case VistagroveMonitor::Status_Disabled:
        showBullet(bullet, kGrey);
        return;
    }
    bullet->clear();
}

void AnalysisPanel::slot_vistagrove_startstop()
{
    if (!m_monitor)
        return;
    if (m_stackRunning) {
        m_monitor->Command(VistagroveMonitor::Target_Monitor, VistagroveMonitor::Command_Stop);
        // Back on when the whole stack reports stopped.
        m_ui->VistaGroveStart->setEnabled(false);
        return;
    }
    m_ui->VistaGroveStart->setText(tr("Stop"));
    m_ui->VistaGroveStart->setEnabled(true);
    setIdleControlsEnabled(false);
    m_stackRunning = true;
    if (m_ui->VistaGroveModeListening->isChecked())
        m_monitor->Command(VistagroveMonitor::Target_Monitor, VistagroveMonitor::Command_StartListening);
    else if (m_ui->VistaGroveModeLocal->isChecked())
        m_monitor->Command(VistagroveMonitor::Target_Monitor, VistagroveMonitor::Command_StartLocal);
    else if (m_ui->VistaGroveModeRemote->isChecked())
        m_monitor->Command(VistagroveMonitor::Target_Monitor, VistagroveMonitor::Command_StartRemote);
}

void AnalysisPanel::slot_vistagrove_update_greybullets()
{
    Ui::AnalysisPanel *u = m_ui.get();
    if (u->VistaGroveModeListening->isChecked()) {
        showBullet(u->VistaGroveBulletServer, kRed);
        showBullet(u->VistaGroveBulletES, kGrey);
        showBullet(u->VistaGroveBulletPS, kGrey);
    } else if (u->VistaGroveModeLocal->isChecked()) {
        showBullet(u->VistaGroveBulletServer, kRed);
        showBullet(u->VistaGroveBulletES, kRed);
        showBullet(u->VistaGroveBulletPS, kRed);
    } else if (u->VistaGroveModeRemote->isChecked()) {
        showBullet(u->VistaGroveBulletServer, kGrey);
        showBullet(u->VistaGroveBulletES, kRed);
        showBullet(u->VistaGroveBulletPS, kRed);
    }
}

void AnalysisPanel::slot_vistagrove_select_directory()
{
    const QString current = m_ui->VistaGroveCapturePath->text();
    const QString start = !current.isEmpty() && QFileInfo(current).isDir() ? current : QDir::homePath();
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Capture Directory"), start, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    m_ui->VistaGroveCapturePath->setText(chosen);
}

void AnalysisPanel::slot_vistagrove_directory_changed()
{
    const QString text = m_ui->VistaGroveCapturePath->text();
    const bool exists = !text.isEmpty() && QFileInfo(text).isDir();
    m_ui->VistaGroveCapturePath->setStyleSheet(exists ? QStringLiteral("QLineEdit { }")
                                                      : QStringLiteral("QLineEdit { color: red; }"));
    // Kept even when the folder is missing: it may be created later, and the
    // operator's text is never thrown away.
    if (m_settings) {
        m_settings->setValue(kCaptureDirectoryKey, text);
        m_settings->sync();
    }
}

void AnalysisPanel::setIdleControlsEnabled(bool on)
{
    Ui::AnalysisPanel *u = m_ui.get();
    for (QWidget *w : std::initializer_list<QWidget *>{
             u->VistaGroveModeLocal, u->VistaGroveModeListening, u->VistaGroveModeRemote, u->VistaGroveEditServer,
             u->VistaGroveEditPS, u->VistaGroveEditES, u->VistaGroveBrowse, u->VistaGroveCapturePath})
        w->setEnabled(on);
}

void AnalysisPanel::showBullet(QLabel *bullet, const QString &picture)
{
    bullet->setPixmap(loadPicture(picture));
}
