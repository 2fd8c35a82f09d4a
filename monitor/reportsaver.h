// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The window's side of a report export: which device the reports are about,
// the save dialog that opens in the folder last used for that kind of export,
// and the one message box that tells why a file could not be written.

#pragma once

#include "reportexport.h"

#include <QDateTime>
#include <QString>

#include <functional>

class QSettings;
class QWidget;

class ReportSaver {
public:
    // Title of the box a failed write shows.
    static QString errorTitle() { return QStringLiteral("Export"); }

    // The settings store (not owned); without one no folder is remembered.
    void setSettings(QSettings *settings) { m_settings = settings; }
    void setDevice(const ReportExport::DeviceLabel &device) { m_device = device; }
    const ReportExport::DeviceLabel &device() const { return m_device; }
    // The clock of report times; the system clock until set.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTimeUtc(); }

    // Remembered folder of a kind of export ("LastLocations" of the settings
    // store), or the documents folder.
    QString folder(const QString &kind) const;
    void rememberFolder(const QString &kind, const QString &filePath);
    // Where the save dialog starts: the remembered folder and the proposed name.
    QString proposedPath(const QString &kind, const QString &what, const QString &ext) const;

    // Asks where to save, then `writeTo` writes there (returning the reason
    // of a failure). False when cancelled or failed.
    bool save(QWidget *parent, const QString &kind, const QString &what, const QString &ext, const QString &filter,
              const std::function<QString(const QString &path)> &writeTo);
    // A text or other content made when the operator has chosen the file.
    bool saveBytes(QWidget *parent, const QString &kind, const QString &what, const QString &ext, const QString &filter,
                   const std::function<QByteArray()> &content);
    // Writes `path`; a failure shows one box naming the file and the reason.
    static bool writeBytes(QWidget *parent, const QString &path, const QByteArray &bytes);
    // Reports the outcome of a write done elsewhere (`reason` empty on success).
    static bool report(QWidget *parent, const QString &path, const QString &reason);

private:
    QSettings *m_settings = nullptr;
    ReportExport::DeviceLabel m_device;
    std::function<QDateTime()> m_clock;
};
