// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// "Edit File": a modal plain-text editor for one configuration file of the
// analysis stack. Loads the file when built; OK writes it back, Cancel
// writes nothing.

#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class ConfigFileEditor;
}

class ConfigFileEditor : public QDialog {
    Q_OBJECT
public:
    // `path` may begin with "~/". The file is opened read-write, so one that
    // does not exist yet is created empty where its folder allows it.
    explicit ConfigFileEditor(const QString &path, QWidget *parent = nullptr);
    ~ConfigFileEditor() override;

    Ui::ConfigFileEditor *form() const { return m_ui.get(); }
    QString path() const { return m_path; }

public slots:
    // Saves, reporting a failure; closes as accepted only once the file is
    // written, so a failed save keeps the operator's text.
    void accept() override;
    void reject() override;

private:
    // How the file spells its text, kept so that a save changes only what
    // the operator changed.
    enum class Encoding { Utf8, Utf8WithBom, Latin1 };

    void load();
    void refuse(const QString &reason);
    QString shownText() const;
    bool encode(const QString &text, QByteArray &bytes, QString &problem) const;
    void reportError(const QString &format, const QString &reason);

    std::unique_ptr<Ui::ConfigFileEditor> m_ui;
    QString m_path;
    // The file could not be read whole: the editor shows nothing and OK is
    // off, so nothing can overwrite what was not seen.
    bool m_refused = false;
    QByteArray m_original; // the file's bytes as read
    QString m_loadedText;  // as first shown
    Encoding m_encoding = Encoding::Utf8;
    bool m_crlf = false;
};
