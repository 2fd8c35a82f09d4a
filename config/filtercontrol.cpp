// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The pattern editor's overwrite editing; see filtercontrol.h.

#include "filtercontrol.h"

#include "dpipattern.h"

#include "ui_filtercontrol.h"

#include <QAction>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kHexLength = 3 * FilterControl::kPatternBytes - 1; // "xx xx … xx"
constexpr uint8_t kClearWildcardByte = 0x2a;                     // "*"

char32_t firstCodePoint(const QString &text)
{
    const QList<uint> ucs4 = text.toUcs4();
    return ucs4.isEmpty() ? 0 : char32_t(ucs4.first());
}

bool isPrintable(const QString &text)
{
    return !text.isEmpty() && QChar::isPrint(firstCodePoint(text));
}

bool isHexDigit(const QString &text)
{
    if (text.size() != 1)
        return false;
    const QChar c = text[0];
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// What a key types; Ctrl and Meta chords type nothing even where the
// platform (or a test) attaches the plain letter to them. Ctrl+Alt is AltGr.
QString typedText(const QKeyEvent *key)
{
    const Qt::KeyboardModifiers mods = key->modifiers();
    if ((mods & Qt::MetaModifier) || ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier)))
        return {};
    return key->text();
}

int editPosition(const QLineEdit *box)
{
    return box->hasSelectedText() ? box->selectionStart() : box->cursorPosition();
}

// Keys that would change a box's text behind the editor's back.
bool changesTextItself(const QKeyEvent *key)
{
    for (QKeySequence::StandardKey k :
         {QKeySequence::Paste, QKeySequence::Cut, QKeySequence::Undo, QKeySequence::Redo, QKeySequence::DeleteEndOfLine,
          QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord, QKeySequence::DeleteCompleteLine}) {
        if (key->matches(k))
            return true;
    }
    return false;
}

void prepareBox(QLineEdit *box, int characters)
{
    box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QString(characters + 2, u'0')) + 12);
    box->setAttribute(Qt::WA_InputMethodEnabled, false);
    box->setAcceptDrops(false);
    // Copying stays possible; every menu entry that edits is left out.
    box->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *copy = new QAction(QObject::tr("&Copy"), box);
    QObject::connect(copy, &QAction::triggered, box, &QLineEdit::copy);
    auto *selectAll = new QAction(QObject::tr("Select All"), box);
    QObject::connect(selectAll, &QAction::triggered, box, &QLineEdit::selectAll);
    box->addActions({copy, selectAll});
}

} // namespace

FilterControl::FilterControl(QWidget *parent) : QWidget(parent), m_ui(std::make_unique<Ui::FilterControl>())
{
    m_ui->setupUi(this);
    prepareBox(m_ui->HexBox, kHexLength);
    prepareBox(m_ui->ClearBox, kPatternBytes);
    m_ui->HexBox->installEventFilter(this);
    m_ui->ClearBox->installEventFilter(this);
    // Until a device's pattern arrives every byte matches anything.
    writeHexText();
    writeClearText();
}

FilterControl::~FilterControl() = default;

void FilterControl::setFilter(const DpiFilter &filter, int byteCount)
{
    m_pattern.fill(0);
    const int count = std::clamp(byteCount, 0, kPatternBytes);
    std::memcpy(m_pattern.data(), filter.pattern, size_t(count));
    m_mask = filter.pattern_mask & 0xffffu;
    writeHexText();
    writeClearText();
}

void FilterControl::buildFilter(DpiFilter *filter) const
{
    std::memcpy(filter->pattern, m_pattern.data(), m_pattern.size());
    filter->pattern_mask = m_mask;
}

QString FilterControl::hexText() const
{
    return m_ui->HexBox->text();
}

QString FilterControl::clearText() const
{
    return m_ui->ClearBox->text();
}

bool FilterControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_ui->HexBox && watched != m_ui->ClearBox)
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // The boxes take every key: no window shortcut acts while typing here.
        event->accept();
        return true;
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        m_pressedKey = key->key();
        m_pressedText = typedText(key);
        if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Delete || isPrintable(m_pressedText))
            return true;
        return changesTextItself(key);
    }
    case QEvent::KeyRelease: {
        const auto *key = static_cast<QKeyEvent *>(event);
        // The edit happens on release, but some platforms send releases
        // without text; the press had it.
        const QString text = key->key() == m_pressedKey ? m_pressedText : typedText(key);
        if (key->key() != Qt::Key_Backspace && key->key() != Qt::Key_Delete && !isPrintable(text))
            return false;
        const bool edited = watched == m_ui->HexBox ? editHex(key, text) : editClear(key, text);
        if (edited)
            emit signal_filterChanged();
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        // A middle click would paste the selection into the box.
        return static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton;
    default:
        return false;
    }
}

bool FilterControl::editHex(const QKeyEvent *key, const QString &text)
{
    QLineEdit *box = m_ui->HexBox;
    const int p = editPosition(box);
    if (p >= kHexLength)
        return false;
    QString hex = box->text();
    int cursor = p;
    if (key->key() == Qt::Key_Delete) {
        const int byte = p % 3 == 2 ? p / 3 + 1 : p / 3;
        hex.replace(3 * byte, 2, QStringLiteral("**"));
        m_mask &= ~(1u << byte);
        cursor = std::min(3 * (p / 3) + 3, kHexLength);
    } else if (key->key() == Qt::Key_Backspace) {
        if (p < 1)
            return false;
        const int byte = (p - 1) / 3;
        hex.replace(3 * byte, 2, QStringLiteral("**"));
        m_mask &= ~(1u << byte);
        cursor = 3 * byte;
    } else if (isHexDigit(text)) {
        const int at = p % 3 == 2 ? p + 1 : p;
        hex[at] = text[0].toLower();
        m_mask |= 1u << (at / 3);
        cursor = std::min(at % 3 == 0 ? at + 1 : at + 2, kHexLength);
    } else {
        return false;
    }
    box->setText(hex);
    box->setCursorPosition(cursor);
    readHexText();
    writeClearText();
    return true;
}

bool FilterControl::editClear(const QKeyEvent *key, const QString &text)
{
    QLineEdit *box = m_ui->ClearBox;
    const int p = editPosition(box);
    if (p >= kPatternBytes)
        return false;
    int cursor = p;
    if (key->key() == Qt::Key_Delete) {
        m_pattern[size_t(p)] = kClearWildcardByte;
        m_mask &= ~(1u << p);
        cursor = p + 1;
    } else if (key->key() == Qt::Key_Backspace) {
        if (p < 1)
            return false;
        m_pattern[size_t(p - 1)] = kClearWildcardByte;
        m_mask &= ~(1u << (p - 1));
        cursor = p - 1;
    } else {
        const char32_t c = firstCodePoint(text);
        m_pattern[size_t(p)] = c < 256 ? uint8_t(c) : 0;
        m_mask |= 1u << p;
        cursor = p + 1;
    }
    writeHexText();
    writeClearText();
    box->setCursorPosition(cursor);
    return true;
}

void FilterControl::readHexText()
{
    const QString hex = m_ui->HexBox->text();
    for (int i = 0; i < kPatternBytes; ++i) {
        bool ok = false;
        const uint value = hex.mid(3 * i, 2).toUInt(&ok, 16);
        // A half-typed byte such as "4*" reads as 0 until its second digit.
        m_pattern[size_t(i)] = ok ? uint8_t(value) : 0;
    }
}

void FilterControl::writeHexText()
{
    m_ui->HexBox->setText(DpiPattern::hexText(m_pattern.data(), m_mask));
}

void FilterControl::writeClearText()
{
    m_ui->ClearBox->setText(DpiPattern::clearText(m_pattern.data(), m_mask));
}
