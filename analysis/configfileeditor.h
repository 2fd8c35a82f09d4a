// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// "Edit File": a modal plain-text editor for one configuration file of the
// analysis stack. Loads the file when built; OK writes it back, Cancel
// writes nothing.

#pragma once

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
    // Saves, reporting a failure, and closes as accepted either way.
    void accept() override;
    void reject() override;

private:
    void load();
    void reportError(const QString &format, const QString &reason);

    std::unique_ptr<Ui::ConfigFileEditor> m_ui;
    QString m_path;
};
