// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The pattern editor driven by real key events: overwrite editing in both
// boxes, the cursor rules, keys that must do nothing, and the record built.

#include "filtercontrol.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <cstring>

namespace {

QString hexOf(const QString &groups)
{
    QStringList g = groups.split(u' ', Qt::SkipEmptyParts);
    while (g.size() < FilterControl::kPatternBytes)
        g << QStringLiteral("**");
    return g.join(u' ');
}

// Keys by token: \b Backspace, \x7f Delete, \x16 Ctrl+V, → Right; else typed.
void press(QLineEdit *box, const QString &keys)
{
    for (QChar c : keys) {
        if (c == u'\b')
            QTest::keyClick(box, Qt::Key_Backspace);
        else if (c == u'\x7f')
            QTest::keyClick(box, Qt::Key_Delete);
        else if (c == u'\x16')
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        else if (c == QChar(0x2192))
            QTest::keyClick(box, Qt::Key_Right);
        else if (c.unicode() < 0x80)
            QTest::keyClicks(box, QString(c));
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace

class tst_FilterControl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::clipboard()->setText(QStringLiteral("zz")); }

    void keys_data()
    {
        QTest::addColumn<QByteArray>("initial"); // pattern bytes, hexadecimal
        QTest::addColumn<uint>("initialMask");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QString>("clear");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<uint>("mask");
        QTest::addColumn<QByteArray>("pattern"); // leading bytes of the built record
        QTest::addColumn<int>("edits");
        // clang-format off
        const struct {
            const char *name, *initial; uint initialMask; const char *box; int start, selected;
            const char *keys, *hex, *clear; int cursor; uint mask; const char *pattern; int edits;
        } rows[] = {
            {"hex 4 then 1", "", 0, "HexBox", 0, 0, "41", "41", "A", 3, 1, "4100", 2},
            {"hex upper case shown lower", "", 0, "HexBox", 0, 0, "4F", "4f", "O", 3, 1, "4f", 2},
            {"hex digit on separator", "", 0, "HexBox", 2, 0, "7", "** 7*", "*.", 4, 2, "0000", 1},
            {"hex selection start", "", 0, "HexBox", 4, 2, "c", "** *c", "*.", 6, 2, "0000", 1},
            {"hex arrows move only", "", 0, "HexBox", 0, 0, "→→5", "** 5*", "*.", 4, 2, "00", 1},
            {"hex backspace at 3", "41", 1, "HexBox", 3, 0, "\b", "", "", 0, 0, "00", 1},
            {"hex delete", "4142", 3, "HexBox", 0, 0, "\x7f", "** 42", "*B", 3, 2, "0042", 1},
            {"hex delete on separator", "4142", 3, "HexBox", 2, 0, "\x7f", "41", "A", 3, 1, "4100", 1},
            {"hex last byte", "", 0, "HexBox", 45, 0, "7e", "** ** ** ** ** ** ** ** ** ** ** ** ** ** ** 7e",
             "***************~", 47, 0x8000, "00", 2},
            {"hex end of text", "", 0, "HexBox", 47, 0, "1\b\x7f", "", "", 47, 0, "00", 0},
            {"hex other keys", "41", 1, "HexBox", 0, 0, "g *", "41", "A", 0, 1, "41", 0},
            {"hex paste", "", 0, "HexBox", 0, 0, "\x16", "", "", 0, 0, "00", 0},
            {"clear typing", "", 0, "ClearBox", 0, 0, "Hi", "48 69", "Hi", 2, 3, "4869", 2},
            {"clear delete", "4869", 3, "ClearBox", 1, 0, "\x7f", "48", "H", 2, 1, "482a", 1},
            {"clear backspace", "4869", 3, "ClearBox", 2, 0, "\b", "48", "H", 1, 1, "482a", 1},
            {"clear end of text", "", 0, "ClearBox", 16, 0, "x\b\x7f", "", "", 16, 0, "00", 0},
            {"clear beyond Latin-1", "", 0, "ClearBox", 0, 0, "€", "00", ".", 1, 1, "00", 1},
            {"clear paste", "", 0, "ClearBox", 0, 0, "\x16", "", "", 0, 0, "00", 0},
            {"non-printable shown as dot", "007f41", 7, "HexBox", 0, 0, "", "00 7f 41", "..A", 0, 7, "007f41", 0},
        };
        // clang-format on
        for (const auto &r : rows)
            QTest::newRow(r.name) << QByteArray(r.initial) << r.initialMask << QString(r.box) << r.start << r.selected
                                  << QString::fromUtf8(r.keys) << QString(r.hex) << QString(r.clear) << r.cursor
                                  << r.mask << QByteArray(r.pattern) << r.edits;
    }
    void keys()
    {
        QFETCH(QByteArray, initial);
        QFETCH(uint, initialMask);
        QFETCH(QString, box);
        QFETCH(int, start);
        QFETCH(int, selected);
        QFETCH(QString, keys);
        QFETCH(QString, hex);
        QFETCH(QString, clear);
        QFETCH(int, cursor);
        QFETCH(uint, mask);
        QFETCH(QByteArray, pattern);
        QFETCH(int, edits);

        FilterControl editor;
        DpiFilter shown{};
        const QByteArray bytes = QByteArray::fromHex(initial);
        std::memcpy(shown.pattern, bytes.constData(), size_t(bytes.size()));
        shown.pattern_mask = initialMask | 0xabcd0000u; // only the low half is the editor's
        editor.setFilter(shown, FilterControl::kPatternBytes);
        auto *edit = editor.findChild<QLineEdit *>(box);
        edit->setCursorPosition(start);
        if (selected)
            edit->setSelection(start, selected);
        QSignalSpy changed(&editor, &FilterControl::signal_filterChanged);

        press(edit, keys);
        QCOMPARE(editor.hexText(), hexOf(hex));
        QCOMPARE(editor.clearText(), clear.leftJustified(FilterControl::kPatternBytes, u'*'));
        QCOMPARE(edit->cursorPosition(), cursor);
        QCOMPARE(changed.count(), edits);

        DpiFilter built;
        std::memset(&built, 0x5a, sizeof built);
        editor.buildFilter(&built);
        QCOMPARE(built.pattern_mask, mask);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(built.pattern), 16).toHex().left(pattern.size()), pattern);
        QCOMPARE(built.enabled, 0x5a5a5a5au); // not the editor's field
    }
};

QTEST_MAIN(tst_FilterControl)
#include "tst_filtercontrol.moc"
