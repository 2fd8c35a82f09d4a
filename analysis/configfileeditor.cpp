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
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kBom("\xef\xbb\xbf");

// Why a path that is not a regular file cannot be edited.
QString notRegularReason(mode_t mode)
{
    if (S_ISDIR(mode))
        return ConfigFileEditor::tr("it is a folder, not a file");
    if (S_ISFIFO(mode))
        return ConfigFileEditor::tr("it is a named pipe, not a regular file");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return ConfigFileEditor::tr("it is a device, not a regular file");
    if (S_ISSOCK(mode))
        return ConfigFileEditor::tr("it is a socket, not a regular file");
    return ConfigFileEditor::tr("it is not a regular file");
}

// The whole file, or false with the reason. A short read counts as a failure:
// a save must never replace bytes the editor did not hold.
bool readWhole(int fd, qint64 expected, QByteArray &bytes, QString &reason)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            reason = qt_error_string(errno);
            return false;
        }
        bytes.append(buffer, qsizetype(n));
    }
    if (bytes.size() < expected) {
        reason = ConfigFileEditor::tr("only %1 of its %2 bytes could be read").arg(bytes.size()).arg(expected);
        return false;
    }
    return true;
}

} // namespace

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
    const QByteArray native = QFile::encodeName(m_path);
    // Looked at before opening: a pipe or a device would block the window for
    // good in the read, and opening some devices already acts on them.
    struct stat before {};
    const bool found = ::stat(native.constData(), &before) == 0;
    const bool exists = found || errno != ENOENT;
    if (found && !S_ISREG(before.st_mode)) {
        refuse(notRegularReason(before.st_mode));
        return;
    }
    // Non-blocking, for a pipe put in its place since; checked again below.
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        const QString reason = qt_error_string(errno);
        if (exists) {
            refuse(reason);
        } else {
            // Nothing there to lose: OK may still try to create it.
            reportError(tr("Failed to open configuration file '%1' : %2"), reason);
        }
        return;
    }
    struct stat opened {};
    QByteArray bytes;
    QString reason;
    bool whole = false;
    if (::fstat(fd, &opened) != 0)
        reason = qt_error_string(errno);
    else if (!S_ISREG(opened.st_mode))
        reason = notRegularReason(opened.st_mode);
    else
        whole = readWhole(fd, qint64(opened.st_size), bytes, reason);
    ::close(fd);
    if (!whole) {
        refuse(reason);
        return;
    }

    m_original = bytes;
    const bool bom = bytes.startsWith(kBom);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bom ? bytes.mid(kBom.size()) : bytes);
    m_encoding = bom ? Encoding::Utf8WithBom : Encoding::Utf8;
    if (utf8.hasError()) {
        // Older configuration files are often Latin-1; every byte is a
        // character there, so the file comes back as it was.
        m_encoding = Encoding::Latin1;
        text = QString::fromLatin1(bytes);
    }
    const qsizetype firstLineEnd = text.indexOf(u'\n');
    m_crlf = firstLineEnd > 0 && text.at(firstLineEnd - 1) == u'\r';
    if (m_crlf)
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_ui->TextEditor->setPlainText(text);
    m_loadedText = shownText();
}

void ConfigFileEditor::refuse(const QString &reason)
{
    m_refused = true;
    m_ui->TextEditor->clear();
    m_ui->TextEditor->setReadOnly(true);
    m_ui->ButtonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
    reportError(tr("Failed to open configuration file '%1' : %2"), reason);
}

QString ConfigFileEditor::shownText() const
{
    // The raw text rather than toPlainText(), which turns no-break spaces
    // into plain ones and would change lines the operator never touched.
    QString text = m_ui->TextEditor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

bool ConfigFileEditor::encode(const QString &text, QByteArray &bytes, QString &problem) const
{
    const QString lines = m_crlf ? QString(text).replace(u'\n', QStringLiteral("\r\n")) : text;
    if (m_encoding != Encoding::Latin1) {
        bytes = (m_encoding == Encoding::Utf8WithBom ? kBom : QByteArray()) + lines.toUtf8();
        return true;
    }
    for (QChar c : lines) {
        if (c.unicode() > 0xff) {
            problem = tr("the file is in Latin-1, which has no '%1'").arg(c);
            return false;
        }
    }
    bytes = lines.toLatin1();
    return true;
}

void ConfigFileEditor::accept()
{
    if (m_refused) {
        // OK is off then; nothing here may write a file that was not read.
        QDialog::reject();
        return;
    }
    const QString text = shownText();
    QByteArray bytes = m_original;
    QString problem;
    if (text != m_loadedText && !encode(text, bytes, problem)) {
        reportError(tr("Failed to save configuration to '%1' : %2"), problem);
        return;
    }
    // All or nothing: the old file stays until the new one is complete.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        reportError(tr("Failed to save configuration to '%1' : %2"), file.errorString());
        return;
    }
    // The new file replaces the old one, so it takes over its owner; a
    // service reading its configuration under its own group still can.
    struct stat old {};
    if (::stat(QFile::encodeName(m_path).constData(), &old) == 0 && ::fchown(file.handle(), old.st_uid, old.st_gid)) {
        // Only an administrator may give a file away; anyone else saves as themselves.
    }
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        reportError(tr("Failed to save configuration to '%1' : %2"), file.errorString());
        return;
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
