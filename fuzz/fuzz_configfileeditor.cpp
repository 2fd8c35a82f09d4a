// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// "Edit File" opens configuration files of the analysis stack that other
// programs wrote, in any encoding and line ending. A save without an edit
// must leave the file's bytes as they were; a save after an edit must write
// a file that opens again showing exactly what the operator saw.

#include "configfileeditor.h"
#include "ui_configfileeditor.h"

#include "fuzzsupport.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextCursor>

namespace {

std::unique_ptr<QTemporaryDir> g_dir;

// What the editor shows, as it compares it when saving.
QString shown(const ConfigFileEditor &editor)
{
    QString text = editor.form()->TextEditor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fuzz::fail("saved file cannot be read");
    return file.readAll();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startWidgetApplication(argc, argv);
    g_dir = std::make_unique<QTemporaryDir>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray original(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = g_dir->filePath(QStringLiteral("edited.conf"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fuzz::fail("cannot write the file");
        file.write(original);
    }
    {
        ConfigFileEditor editor(path);
        fuzz::check(editor.form()->ButtonBox->button(QDialogButtonBox::Ok)->isEnabled(), "a regular file is refused");
        editor.accept();
        fuzz::check(editor.result() == QDialog::Accepted, "unchanged save failed");
        fuzz::check(fileBytes(path) == original, "a save without an edit changed the file");
    }
    QString edited;
    {
        ConfigFileEditor editor(path);
        QTextCursor cursor(editor.form()->TextEditor->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QStringLiteral("\n# tuned"));
        edited = shown(editor);
        editor.accept();
        fuzz::check(editor.result() == QDialog::Accepted, "edited save failed");
    }
    ConfigFileEditor reopened(path);
    fuzz::check(shown(reopened) == edited, "the saved file does not open as it was shown");
    return 0;
}
