// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The "Capture" tab; see capturepanel.h.

#include "capturepanel.h"

#include "captureconfig.h"

#include "capturetexts.h"
#include "lumenquillapi.h"
#include "ui_capturepanel.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <climits>
#include <cstdlib>
#include <cwchar>

namespace {

const char *const kLocationKey = "LastLocations/DirectCapture";

QString defaultLocation()
{
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                                    QStringLiteral("/capture.pcapng"));
}

uint64_t sysconfValue(int name)
{
    const long value = sysconf(name);
    return value > 0 ? uint64_t(value) : 0;
}

} // namespace

CapturePanel::CapturePanel(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::CapturePanel>())
{
    m_ui->setupUi(this);
    connect(m_ui->pushButton_4, &QPushButton::clicked, this, &CapturePanel::slot_capture_browse);

    QSlider *buffer = m_ui->maxCacheSizeTrackBar;
    buffer->setMinimum(10);
    const uint64_t megabytes =
        CaptureTexts::defaultBufferMegabytes(sysconfValue(_SC_PHYS_PAGES), sysconfValue(_SC_PAGESIZE));
    buffer->setValue(int(std::min<uint64_t>(megabytes, INT_MAX)));
    // The label must be right even when the default is the form's own value.
    on_maxCacheSizeTrackBar_valueChanged(buffer->value());

    // Disabled so that only Browse changes it, yet the path must stay readable.
    QLineEdit *fileName = m_ui->capture_filename;
    QPalette readable = fileName->palette();
    readable.setColor(QPalette::Disabled, QPalette::Text, readable.color(QPalette::Active, QPalette::Text));
    fileName->setPalette(readable);
    fileName->setText(defaultLocation());
}

CapturePanel::~CapturePanel() = default;

void CapturePanel::setSettings(QSettings *settings)
{
    m_settings = settings;
    const QString stored = settings ? settings->value(QLatin1String(kLocationKey)).toString() : QString();
    m_ui->capture_filename->setText(stored.isEmpty() ? defaultLocation() : stored);
}

void CapturePanel::setDevice(uint64_t handle, uint32_t caps)
{
    // The selector re-selects the same device when another one leaves; its
    // running capture and its reported error stay as they are then.
    if (handle != m_handle) {
        m_handle = handle;
        m_running = false;
        m_lastError = 0;
        m_startPending = false;
        showIdle();
    }
    m_caps = caps;
    // Each change runs the extension rewrite, so the name follows the list.
    m_ui->capture_filetype->clear();
    if (caps & LQ_CAP_PCAPNG)
        m_ui->capture_filetype->addItem(QStringLiteral("PCAP-NG"));
}

void CapturePanel::applyCapabilities(uint32_t caps, bool on)
{
    m_ui->capture_start_btn->setEnabled(on && (caps & LQ_CAP_CONFIGURABLE));
}

void CapturePanel::statusUpdate(const StatsThreadInfo &info)
{
    if (info.handle != m_handle || m_handle == kNoDeviceHandle || !(info.capabilities & LQ_CAP_CONFIGURABLE))
        return;
    const DiskDumpStatus &status = info.diskDumpStatus;
    m_ui->capture_start_btn->setEnabled(true);
    m_ui->capture_start_btn->setText(status.running ? tr("Stop Capture") : tr("Start Capture"));
    m_ui->capture_written_label->setText(CaptureTexts::byteCount(status.writtenBytes));

    QLabel *used = m_ui->capture_used_cache_label;
    used->setText(CaptureTexts::byteCount(status.bufferedBytes));
    if (status.bufferAlarm) {
        QPalette alarm = used->palette();
        alarm.setColor(QPalette::All, used->foregroundRole(), Qt::red);
        used->setPalette(alarm);
    } else {
        // Back to what the window uses, which follows a themed palette too.
        used->setPalette(QPalette());
    }
    m_ui->capture_dropped_label->setText(CaptureTexts::byteCount(status.droppedBytes));
    m_running = status.running != 0;
    lockSettings(m_running);

    // The status line speaks for every start (the box below only for a new
    // code), so an operator retrying against the same fault sees it again.
    if (status.errorCode != 0 && (m_startPending || status.errorCode != m_lastError))
        m_ui->capture_status_label->setText(CaptureTexts::captureFailure(status.errorCode));
    else if (m_running && status.errorCode == 0)
        m_ui->capture_status_label->clear(); // a status from before the start may have shown the old fault
    if (status.errorCode != 0 || m_running)
        m_startPending = false;

    // A persisting error is reported once; it is stored before the box opens
    // because the polls that arrive while it is open come back in here.
    if (status.errorCode == 0 || status.errorCode == m_lastError) {
        m_lastError = status.errorCode;
        return;
    }
    m_lastError = status.errorCode;
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Critical, tr("Direct Capture"),
                        tr("There was an error during the direct capture process.\nPlease check you have "
                           "permission to write to the specified file and disk is not full."),
                        QMessageBox::Ok, this);
    box->setInformativeText(CaptureTexts::captureFailureDetails(
        m_startedFile.isEmpty() ? m_ui->capture_filename->text() : m_startedFile, status.errorCode));
    box->exec();
    delete box; // already gone if the window closed meanwhile
}

void CapturePanel::on_capture_start_btn_clicked()
{
    if (m_handle == kNoDeviceHandle)
        return;
    if (m_running) {
        // The next status enables it again, so a second click cannot race the first.
        m_ui->capture_start_btn->setEnabled(false);
        emit signal_dd_stop(makeRequest(m_handle));
        return;
    }
    const QString file = m_ui->capture_filename->text();
    if (!prepareFolder(QFileInfo(file).absolutePath()))
        return;
    m_ui->capture_start_btn->setEnabled(false);
    m_startedFile = file;
    m_ui->capture_status_label->clear();
    m_startPending = true;
    StatsThreadInfo request = configRequest();
    emit signal_dd_set_config(request);
    // The worker frees the path after the configuration; the start request
    // must not carry a second, soon dangling, copy of it.
    request.diskDumpConfig.path = nullptr;
    emit signal_dd_start(request);
    m_ui->capture_dropped_label->setText(CaptureTexts::byteCount(0));
}

bool CapturePanel::prepareFolder(const QString &folder)
{
    // A new account may have no documents folder yet: rather than a capture
    // that fails at once, offer to make the folder.
    if (QFileInfo::exists(folder))
        return true;
    const QString shown = QDir::toNativeSeparators(folder);
    if (QMessageBox::question(this, tr("Direct Capture"),
                              tr("The folder %1 does not exist.\nDo you want to create it?").arg(shown),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(folder).toStdString()), error);
    if (!error)
        return true;
    QMessageBox::critical(
        this, tr("Direct Capture"),
        tr("The folder %1 could not be created.\n%2").arg(shown, QString::fromLocal8Bit(error.message().c_str())),
        QMessageBox::Ok);
    return false;
}

StatsThreadInfo CapturePanel::configRequest() const
{
    StatsThreadInfo request = makeRequest(m_handle);
    CaptureConfig::Options options;
    options.file = m_ui->capture_filename->text();
    options.fileSizeMegabytes = m_ui->capture_size->value();
    options.fileCount = m_ui->capture_count->value();
    options.loop = m_ui->capture_loop->isChecked();
    options.fileDurationSeconds = int(m_ui->capture_duration->value());
    options.bufferMegabytes = m_ui->maxCacheSizeTrackBar->value();
    request.diskDumpConfig = CaptureConfig::build(options);
    return request;
}

void CapturePanel::on_capture_filetype_currentIndexChanged(int index)
{
    m_ui->capture_filename->setText(CaptureTexts::withFormatExtension(m_ui->capture_filename->text(), index));
}

void CapturePanel::slot_capture_browse()
{
    const QString directory = QFileInfo(m_ui->capture_filename->text()).absolutePath();
    QString selectedFilter;
    const QString answer = QFileDialog::getSaveFileName(this, tr("Output Capture File"), directory,
                                                        CaptureTexts::fileFilters(m_caps), &selectedFilter);
    if (answer.isEmpty())
        return;
    const CaptureTexts::BrowseChoice choice = CaptureTexts::browseChoice(answer, m_caps);
    const int format = m_ui->capture_filetype->findText(choice.format, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (format >= 0)
        m_ui->capture_filetype->setCurrentIndex(format);
    m_ui->capture_filename->setText(QDir::toNativeSeparators(choice.fileName));
    saveLocation();
}

void CapturePanel::on_maxCacheSizeTrackBar_valueChanged(int value)
{
    m_ui->maxCacheSizeLabel->setText(CaptureTexts::bufferSize(value));
}

void CapturePanel::saveLocation()
{
    if (!m_settings)
        return;
    m_settings->setValue(QLatin1String(kLocationKey), QFileInfo(m_ui->capture_filename->text()).absoluteFilePath());
    m_settings->sync();
}

void CapturePanel::lockSettings(bool locked)
{
    // A running capture keeps the settings it started with; editing them then
    // would only suggest otherwise.
    const QList<QWidget *> settings{m_ui->pushButton_4,        m_ui->capture_filetype, m_ui->capture_size,
                                    m_ui->capture_count,       m_ui->capture_loop,     m_ui->capture_duration,
                                    m_ui->maxCacheSizeTrackBar};
    for (QWidget *w : settings)
        w->setEnabled(!locked);
}

void CapturePanel::showIdle()
{
    lockSettings(false);
    m_ui->capture_start_btn->setText(tr("Start Capture"));
    for (QLabel *label : {m_ui->capture_written_label, m_ui->capture_dropped_label, m_ui->capture_used_cache_label})
        label->setText(CaptureTexts::byteCount(0));
    m_ui->capture_used_cache_label->setPalette(QPalette());
    m_ui->capture_status_label->clear();
}
