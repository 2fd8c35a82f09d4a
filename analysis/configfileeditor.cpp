// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// "Edit File"; see configfileeditor.h.

#include "configfileeditor.h"

#include "homepath.h"
#include "ui_configfileeditor.h"

#include <QFile>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPushButton>
#include <QTextStream>

ConfigFileEditor::ConfigFileEditor(const QString &path, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ConfigFileEditor>()), m_path(expandHomePath(path))
{
    m_ui->setupUi(this);
    // Configuration files are laid out in columns and indentation.
    m_ui->TextEditor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    connect(m_ui->ButtonBox, &QDialogButtonBox::accepted, this, &ConfigFileEditor::accept);
    connect(m_ui->ButtonBox, &QDialogButtonBox::rejected, this, &ConfigFileEditor::reject);
    load();
}

ConfigFileEditor::~ConfigFileEditor() = default;

void ConfigFileEditor::load()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Text)) {
        reportError(tr("Failed to open configuration file '%1' : %2"), file.errorString());
        return;
    }
    QTextStream in(&file);
    m_ui->TextEditor->setPlainText(in.readAll());
    if (in.status() != QTextStream::Ok)
        reportError(tr("Failed to open configuration file '%1' : %2"), file.errorString());
}

void ConfigFileEditor::accept()
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        reportError(tr("Failed to save configuration to '%1' : %2"), file.errorString());
    } else {
        QTextStream out(&file);
        out << m_ui->TextEditor->toPlainText();
        out.flush();
        // The stream only hands the text to the file's buffer; a full disk
        // shows up when that buffer is written out.
        const bool written = out.status() == QTextStream::Ok && file.flush();
        if (!written)
            reportError(tr("Failed to save configuration to '%1' : %2"), file.errorString());
        file.close();
    }
    QDialog::accept();
}

void ConfigFileEditor::reject()
{
    QDialog::reject();
}

void ConfigFileEditor::reportError(const QString &format, const QString &reason)
{
    QMessageBox::critical(this, tr("Edit file"), format.arg(m_path, reason), QMessageBox::Ok);
}
