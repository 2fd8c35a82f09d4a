// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Save dialog, remembered folders and the write-failure box; see reportsaver.h.

#include "reportsaver.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>

namespace {
const QString kGroup = QStringLiteral("LastLocations");

QString settingsKey(const QString &kind)
{
    return QStringLiteral("Export") + kind;
}
} // namespace

QString ReportSaver::folder(const QString &kind) const
{
    if (m_settings) {
        m_settings->beginGroup(kGroup);
        const QString stored = m_settings->value(settingsKey(kind)).toString();
        m_settings->endGroup();
        if (!stored.isEmpty() && QFileInfo(stored).isDir())
            return stored;
    }
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void ReportSaver::rememberFolder(const QString &kind, const QString &filePath)
{
    if (!m_settings)
        return;
    m_settings->beginGroup(kGroup);
    m_settings->setValue(settingsKey(kind), QFileInfo(filePath).absolutePath());
    m_settings->endGroup();
    m_settings->sync();
}

QString ReportSaver::proposedPath(const QString &kind, const QString &what, const QString &ext) const
{
    return QDir(folder(kind)).filePath(ReportExport::exportFileName(m_device, what, now(), ext));
}

bool ReportSaver::save(QWidget *parent, const QString &kind, const QString &what, const QString &ext,
                       const QString &filter, const std::function<QString(const QString &)> &writeTo)
{
    const QString path =
        QFileDialog::getSaveFileName(parent, QStringLiteral("Export"), proposedPath(kind, what, ext), filter);
    if (path.isEmpty())
        return false;
    // Remembered even when the write fails: the operator chose that folder.
    rememberFolder(kind, path);
    return report(parent, path, writeTo(path));
}

bool ReportSaver::saveBytes(QWidget *parent, const QString &kind, const QString &what, const QString &ext,
                            const QString &filter, const std::function<QByteArray()> &content)
{
    return save(parent, kind, what, ext, filter,
                [&content](const QString &path) { return ReportExport::writeAllOrNothing(path, content()); });
}

bool ReportSaver::writeBytes(QWidget *parent, const QString &path, const QByteArray &bytes)
{
    return report(parent, path, ReportExport::writeAllOrNothing(path, bytes));
}

bool ReportSaver::report(QWidget *parent, const QString &path, const QString &reason)
{
    if (reason.isEmpty())
        return true;
    QMessageBox::warning(parent, errorTitle(),
                         QStringLiteral("Could not write \"%1\": %2.\nAny file of that name was left as it was.")
                             .arg(QDir::toNativeSeparators(path), reason));
    return false;
}
