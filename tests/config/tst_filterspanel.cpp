// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Filters tab: the pattern editor under real key events, the header filter editor's records,
// the panel's flows through its request signals, and the address validators and parsers behind them.

#include "addressparsers.h"
#include "filtercontrol.h"
#include "filterspanel.h"
#include "modalanswerer.h"
#include "simplefiltercontrol.h"

#include <QtTest>
#include <QtWidgets>

#include <array>
#include <cstring>

using namespace AddressParsers;

namespace {

constexpr uint64_t kHandle = 7;
// The header filter editor's rows: line edit and label.
const char *const kRows[][2] = {{"srcMacTB", "srcMACLabel"},   {"dstMacTB", "dstMACLabel"},
                                {"srcIpTB", "srcIPLabel"},     {"dstIpTB", "dstIPLabel"},
                                {"srcPortTB", "srcPortLabel"}, {"dstPortTB", "dstPortLabel"}};

// Keys by token: \b Backspace, \x7f Delete, \x16 Ctrl+V, → Right; else typed.
void press(QLineEdit *box, const QString &keys)
{
    for (QChar c : keys) {
        const qsizetype named = QStringView(u"\b\x7f\x16\u2192").indexOf(c);
        if (named >= 0)
            QTest::keyClick(box, std::array{Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_V, Qt::Key_Right}[named],
                            named == 2 ? Qt::ControlModifier : Qt::NoModifier);
        else if (c.unicode() < 0x80)
            QTest::keyClicks(box, QString(c));
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// A packet filter record's non-zero fields, arrays in stored order without trailing zeros.
QString describe(const PacketFilter &f)
{
    const auto n = [](unsigned v) { return v ? QStringLiteral("0x%1").arg(v, 0, 16) : QString(); };
    const auto bytes = [](const uint8_t *p, int size) {
        QByteArray hex = QByteArray(reinterpret_cast<const char *>(p), size).toHex();
        while (hex.endsWith("00"))
            hex.chop(2);
        return QString::fromLatin1(hex);
    };
    const std::pair<const char *, QString> fields[] = {
        {"fields", n(f.fields)},           {"modes", n(f.modes)},
        {"dst_mac", bytes(f.dst_mac, 6)},  {"src_mac", bytes(f.src_mac, 6)},
        {"dst_ip", bytes(f.dst_ip, 16)},   {"src_ip", bytes(f.src_ip, 16)},
        {"dst_port", n(f.dst_port)},       {"src_port", n(f.src_port)},
        {"mac_mask", n(f.mac_mask)},       {"dst_ip_mask", n(f.dst_ip_mask)},
        {"src_ip_mask", n(f.src_ip_mask)}, {"port_mask", n(f.port_mask)}};
    QStringList out;
    for (const auto &[name, value] : fields) {
        if (!value.isEmpty())
            out << name + QStringLiteral("=") + value;
    }
    return out.join(u' ');
}

// A data column per table row, tagged with the row's name.
template <typename Row, size_t N> void rowsOf(const Row (&rows)[N])
{
    QTest::addColumn<int>("row");
    for (size_t i = 0; i < N; ++i)
        QTest::newRow(rows[i].name) << int(i);
}

StatsThreadInfo answer(uint64_t handle, uint32_t enabled)
{
    StatsThreadInfo info = makeRequest(handle);
    info.packetFilter = {enabled, LQ_FILTER_SRC_PORT, 0, {}, {}, {}, {}, 0, 80, 0, 0, 0, 0xc, {}};
    info.dpiFilter.enabled = enabled;
    info.dpiFilter.pattern[0] = 0x47;
    info.dpiFilter.pattern_mask = 0x1;
    info.dpiFilter.reserved[3] = 0x99;
    return info;
}

// Pattern editor: bytes and mask shown first; the box, cursor and selection length the keys
// go to; the hex groups and clear text shown then (open bytes left out), the cursor, the
// record's mask and leading pattern bytes, and how many edits were signalled.
// clang-format off
const struct KeyRow {
    const char *name, *initial; uint initialMask; const char *box; int start, selected;
    const char *keys, *hex, *clear; int cursor; uint mask; const char *pattern; int edits;
} kKeyRows[] = {
    {"hex digits, upper case shown lower", "", 0, "HexBox", 0, 0, "4F", "4f", "O", 3, 1, "4f00", 2},
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
    {"non-printable shown as dot", "007f41", 7, "HexBox", 0, 0, "", "00 7f 41", "..A", 0, 7, "007f41", 0},
};

// Header filter editor: settings applied in order (line edit text, combo box index, check
// box 1/0), the build's result, the edits turned red, the record, what a second editor
// shows for it, and the labels of the rows in use.
const struct BuildRow { const char *name, *input; int rc; const char *red, *record, *shown, *rows; } kBuildRows[] = {
    {"source MAC with open byte", "srcMacCB=1;srcMacTB=00:11:**:33:44:55", 0, "",
     "fields=0x4 src_mac=5544330011 mac_mask=0xdc0", "srcMacTB=00:11:**:33:44:55", "Source MAC"},
    {"destination IPv4 with open octet", "dstIpCB=1;dstIpTB=192.168.*.1", 0, "",
     "fields=0x8 dst_ip=0100a8c0 dst_ip_mask=0xd", "dstIpTB=192.168.*.1", "Destination IP"},
    {"source IPv6", "srcIpCB=1;ipVersionCB=1;srcIpTB=FE80::**12", 0, "",
     "fields=0x11 src_ip=120000000000000000000000000080fe src_ip_mask=0xfffd",
     "srcIpTB=fe80:0000:0000:0000:0000:0000:0000:**12;ipVersionCB=1", "Source IP"},
    {"ports hexadecimal and decimal", "srcPortCB=1;dstPortCB=1;srcPortTB=0x50;dstPortTB=443", 0, "",
     "fields=0x60 dst_port=0x1bb src_port=0x50 port_mask=0xf", "srcPortTB=80;dstPortTB=443",
     "Source Port,Destination Port"},
    {"source port too big", "srcPortCB=1;srcPortTB=70000", -1, "srcPortTB", "fields=0x40", "", "Source Port"},
    {"only the bad destination port is red", "srcPortCB=1;dstPortCB=1;srcPortTB=80;dstPortTB=8o", -1,
     "dstPortTB", "fields=0x60 src_port=0x50 port_mask=0xc", "", "Source Port,Destination Port"},
    {"every refused field is red",
     "dstIpCB=1;srcMacCB=1;dstMacCB=1;dstIpTB=10.0.0;srcMacTB=00:11;dstMacTB=00:11:22:33:44:55", -1,
     "srcMacTB dstIpTB", "fields=0xe dst_mac=5544332211 mac_mask=0x3f", "",
     "Source MAC,Destination MAC,Destination IP"},
    {"IPv4 text under IPv6", "srcIpCB=1;ipVersionCB=1;srcIpTB=10.0.0.1", -1, "srcIpTB", "fields=0x11", "", "Source IP"},
    {"either direction carries only the source",
     "srcMacCB=1;dstMacCB=1;srcIpCB=1;dstIpCB=1;srcPortCB=1;dstPortCB=1;macModeCB=1;ipModeCB=1;portModeCB=1;"
     "srcMacTB=AA:bb:cc:dd:ee:ff;dstMacTB=11:22:33:44:55:66;srcIpTB=10.0.0.1;dstIpTB=10.0.0.2;"
     "srcPortTB=53;dstPortTB=70000", 0, "",
     "fields=0x7e modes=0x7 src_mac=ffeeddccbbaa src_ip=0100000a src_port=0x35 mac_mask=0xfc0 "
     "src_ip_mask=0xf port_mask=0xc",
     "srcMacTB=aa:bb:cc:dd:ee:ff;srcIpTB=10.0.0.1;srcPortTB=53;macModeCB=1;ipModeCB=1;portModeCB=1", "MAC,IP,Port"},
    {"unused fields are not read", "srcMacTB=zz;dstPortTB=-1", 0, "", "", "", ""},
    {"back to both directions", "srcMacCB=1;dstMacCB=1;macModeCB=1;macModeCB=0;srcMacTB=1:2:3:4:5:6;"
     "dstMacTB=*:*:*:*:*:*", 0, "", "fields=0x6 src_mac=060504030201 mac_mask=0xfc0", "", "Source MAC,Destination MAC"},
};
// clang-format on

} // namespace

class tst_FiltersPanel : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerStatsThreadInfo();
        QApplication::clipboard()->setText(QStringLiteral("zz"));
    }

    void patternKeys_data() { rowsOf(kKeyRows); }
    void patternKeys()
    {
        QFETCH(int, row);
        const KeyRow &r = kKeyRows[row];
        FilterControl editor;
        DpiFilter shown{};
        const QByteArray bytes = QByteArray::fromHex(r.initial);
        std::memcpy(shown.pattern, bytes.constData(), size_t(bytes.size()));
        shown.pattern_mask = r.initialMask | 0xabcd0000u; // only the low half is the editor's
        editor.setFilter(shown, FilterControl::kPatternBytes);
        auto *edit = editor.findChild<QLineEdit *>(r.box);
        edit->setCursorPosition(r.start);
        if (r.selected)
            edit->setSelection(r.start, r.selected);
        QSignalSpy changed(&editor, &FilterControl::signal_filterChanged);
        press(edit, QString::fromUtf8(r.keys));
        const int given = int(qstrlen(r.hex) + 1) / 3; // the rest are "**"
        QCOMPARE(editor.hexText(), (r.hex + QString(" **").repeated(FilterControl::kPatternBytes - given)).trimmed());
        QCOMPARE(editor.clearText(), QString(r.clear).leftJustified(FilterControl::kPatternBytes, u'*'));
        QCOMPARE(edit->cursorPosition(), r.cursor);
        QCOMPARE(changed.count(), r.edits);
        DpiFilter built;
        std::memset(&built, 0x5a, sizeof built);
        editor.buildFilter(&built);
        QCOMPARE(built.pattern_mask, r.mask);
        const QByteArray pattern = QByteArray(reinterpret_cast<const char *>(built.pattern), 16).toHex();
        QCOMPARE(pattern.left(qstrlen(r.pattern)), QByteArray(r.pattern));
        QCOMPARE(built.enabled, 0x5a5a5a5au); // not the editor's field
    }

    void headerFilter_data() { rowsOf(kBuildRows); }
    void headerFilter()
    {
        QFETCH(int, row);
        const BuildRow &r = kBuildRows[row];
        SimpleFilterControl editor;
        for (const auto &row : kRows)
            editor.findChild<QLineEdit *>(row[0])->setStyleSheet("color: red"); // left from an earlier build
        for (const QString &setting : QString(r.input).split(u';', Qt::SkipEmptyParts)) {
            const QString name = setting.section(u'=', 0, 0), value = setting.section(u'=', 1);
            if (auto *edit = editor.findChild<QLineEdit *>(name))
                edit->setText(value);
            else if (auto *combo = editor.findChild<QComboBox *>(name))
                combo->setCurrentIndex(value.toInt());
            else
                editor.findChild<QCheckBox *>(name)->setChecked(value == "1");
        }
        PacketFilter f;
        std::memset(&f, 0x5a, sizeof f);
        QCOMPARE(editor.buildFilter(&f) < 0 ? -1 : 0, r.rc);
        QCOMPARE(describe(f), QString(r.record));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(f.reserved), 3), QByteArray(3, '\0'));
        QStringList red, rows; // edits in red, labels of the rows in use
        for (const auto &row : kRows) {
            const auto *edit = editor.findChild<QLineEdit *>(row[0]);
            const auto *label = editor.findChild<QLabel *>(row[1]);
            if (edit->styleSheet() == "color: red")
                red << row[0];
            if (!label->isHidden() && edit->isEnabled())
                rows << label->text();
        }
        QCOMPARE(red.join(u' '), QString(r.red));
        QCOMPARE(rows.join(u','), QString(r.rows));
        if (r.rc != 0)
            return;
        SimpleFilterControl other;
        other.setFilter(f);
        for (const QString &setting : QString(r.shown).split(u';', Qt::SkipEmptyParts)) {
            const QString name = setting.section(u'=', 0, 0), value = setting.section(u'=', 1);
            if (auto *edit = other.findChild<QLineEdit *>(name))
                QCOMPARE(edit->text(), value);
            else
                QCOMPARE(other.findChild<QComboBox *>(name)->currentIndex(), value.toInt());
        }
        PacketFilter again;
        QCOMPARE(other.buildFilter(&again), 0);
        QCOMPARE(describe(again), QString(r.record));
    }

    // Answers in turn: the filter switches as the device says and goes back as shown, an
    // unchanged state sends nothing, and another device's answer changes nothing.
    void received()
    {
        for (bool dpi : {false, true}) {
            FiltersPanel panel;
            panel.setCurrentHandle(kHandle);
            QSignalSpy set(&panel, dpi ? &FiltersPanel::signal_set_dpifilter : &FiltersPanel::signal_set_simplefilter);
            const char *widgets = dpi ? "HexBox enableFiltersCheckBox filterCtrl setFiltersButton"
                                      : "srcPortTB enableSimpleFiltersCB simpleFilterCtrl setSimpleFiltersBT";
            const QStringList names = QString(widgets).split(' ');
            auto *text = panel.findChild<QLineEdit *>(names[0]);
            // The answer's device and enabled word; box, editor and Set on; requests sent so far.
            const auto step = [&](uint64_t handle, uint32_t enabled, bool on, int sent) {
                text->setText("edited");
                const StatsThreadInfo info = answer(handle, enabled);
                dpi ? panel.slot_DPIFilterReceived(info) : panel.slot_simpleFilterReceived(info);
                QCOMPARE(panel.findChild<QCheckBox *>(names[1])->isChecked(), on);
                QCOMPARE(panel.findChild<QWidget *>(names[2])->isEnabled(), on);
                QCOMPARE(panel.findChild<QWidget *>(names[3])->isEnabled(), on);
                QCOMPARE(set.count(), sent);
                QCOMPARE(text->text() == "edited", handle != kHandle); // shown only when it is this device's
                if (sent == 0)
                    return;
                QVERIFY(panel.findChild<QWidget *>(dpi ? "saveFiltersButton" : "saveSimpleFiltersBT")->isEnabled());
                const auto last = set.last().first().value<StatsThreadInfo>();
                QCOMPARE(last.handle, kHandle);
                QCOMPARE(dpi ? last.dpiFilter.enabled : last.packetFilter.enabled, uint32_t(on));
                QCOMPARE(dpi ? last.dpiFilter.pattern[0] : last.packetFilter.src_port, dpi ? 0x47 : 80);
            };
            step(kHandle, 0, false, 0);
            step(kHandle, 1, true, 1);
            step(kHandle, 1, true, 1);
            step(kHandle + 1, 0, true, 1);
            step(kHandle, 0, false, 2);
        }
    }

    // Save still stores: the device keeps the filter it already has.
    void refusedSetStillSaves()
    {
        FiltersPanel panel;
        panel.setCurrentHandle(kHandle);
        panel.slot_simpleFilterReceived(answer(kHandle, 1));
        QSignalSpy set(&panel, &FiltersPanel::signal_set_simplefilter);
        QSignalSpy save(&panel, &FiltersPanel::signal_save_simplefilter);
        ModalAnswerer answerer;
        panel.findChild<QLineEdit *>("srcPortTB")->setText("70000");
        QTest::mouseClick(panel.findChild<QPushButton *>("setSimpleFiltersBT"), Qt::LeftButton);
        QCOMPARE(answerer.texts, QStringList{"Invalid parameter.\nPlease correct the highlighted values."});
        auto *saveButton = panel.findChild<QPushButton *>("saveSimpleFiltersBT");
        QVERIFY(saveButton->isEnabled());
        QTest::mouseClick(saveButton, Qt::LeftButton);
        QCOMPARE(answerer.texts.size(), 2);
        QCOMPARE(set.count(), 0);
        QCOMPARE(save.count(), 1);
        QCOMPARE(save.last().first().value<StatsThreadInfo>().handle, kHandle);
        QVERIFY(!saveButton->isEnabled());
    }

    void patternEditReachesDevice()
    {
        FiltersPanel panel;
        panel.setCurrentHandle(kHandle);
        panel.slot_DPIFilterReceived(answer(kHandle, 1));
        QSignalSpy set(&panel, &FiltersPanel::signal_set_dpifilter);
        QSignalSpy save(&panel, &FiltersPanel::signal_save_dpifilter);
        auto *setButton = panel.findChild<QPushButton *>("setFiltersButton");
        setButton->setEnabled(false);
        auto *hex = panel.findChild<QLineEdit *>("HexBox");
        hex->setCursorPosition(3);
        QTest::keyClicks(hex, "ff");
        QVERIFY(setButton->isEnabled());
        QTest::mouseClick(setButton, Qt::LeftButton);
        QTest::mouseClick(panel.findChild<QPushButton *>("saveFiltersButton"), Qt::LeftButton);
        QCOMPARE(set.count(), 2);
        QCOMPARE(save.count(), 1);
        const DpiFilter sent = set.last().first().value<StatsThreadInfo>().dpiFilter;
        QCOMPARE(sent.enabled, 1u);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(sent.pattern), 3).toHex(), QByteArray("47ff00"));
        QCOMPARE(sent.pattern_mask, 3u);
        QCOMPARE(sent.reserved[3], uint8_t(0x99)); // bytes the editor does not own

        // Another device starts blank: nothing of this one may reach it.
        panel.setCurrentHandle(kHandle + 1);
        QVERIFY(!panel.findChild<QCheckBox *>("enableFiltersCheckBox")->isChecked());
        QCOMPARE(panel.findChild<FilterControl *>()->hexText(), QString("** ").repeated(15) + "**");
        QCOMPARE(set.count(), 2);
    }

    void validate_data()
    {
        QTest::addColumn<QString>("kind"); // v4, v6, both, mac
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("acceptable");
        const auto rows = [](const char *kind, bool ok, std::initializer_list<const char *> texts) {
            for (const char *text : texts)
                QTest::addRow("%s '%s'", kind, text) << QString(kind) << QString(text) << ok;
        };
        rows("v4", true, {"10.*.**.1", "192.168.", ""});
        rows("v4", false, {"10.0.0.0.1", "256.1.1.1", "fe80::1", "10.***.0.1", "1a.0.0.1"});
        rows("v6", true, {"FE80::1"});
        rows("v6", false, {"192.168.1.1", "fe80::g", "1:2:3:4:5:6:7:8:9"});
        rows("both", true, {"fe80::**12", "192.168.1.1"});
        rows("both", false, {"1*2::"});
        rows("mac", true, {"00:1a:**:*:ff", ""});
        rows("mac", false, {"00:1a:2b:3c:4d:5e:6f", "001:22", "zz", "0:1:***"});
        // A whole address with a line end after it is not an address, in full.
        for (const char *kind : {"v4", "v6", "both", "mac"}) {
            for (const char *text : {"fe80::1", "192.168.1.1", "00:1a:2b:3c:4d:5e"})
                QTest::addRow("%s '%s' and a line end", kind, text) << QString(kind) << QString(text) + '\n' << false;
        }
    }
    void validate()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QIpValidator v4(nullptr, true, false), v6(nullptr, false, true), both(nullptr, true, true);
        QMacValidator mac;
        const QHash<QString, const QValidator *> byKind{{"v4", &v4}, {"v6", &v6}, {"both", &both}, {"mac", &mac}};
        int pos = int(text.size());
        QTEST(byKind[kind]->validate(text, pos) == QValidator::Acceptable, "acceptable");
    }

    // Parse, check address and mask, then format back with the same wildcard; the header filter
    // rows above add open octets, IPv6 with upper-case digits, MAC addresses and short texts.
    void parseAndFormat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address"); // empty: refused
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("formatted");
        const auto row = [](const char *name, const char *text, const char *address = "", const char *mask = "",
                            const char *formatted = "") {
            QTest::newRow(name) << QString(text) << QString(address) << QString(mask) << QString(formatted);
        };
        row("v4 double wildcard", "10.**.0.1", "10.0.0.1", "255.0.255.255", "10.*.0.1");
        row("v4 leading zero is decimal", "010.0.0.1", "10.0.0.1", "255.255.255.255", "10.0.0.1");
        row("v4 empty is all open", "", "0.0.0.0", "0.0.0.0", "*.*.*.*");
        row("v4 mixed octet", "10.1*.0.1");
        row("v4 too big", "10.0.0.256");
        row("v6 last byte open", "fe80::*", "fe80::", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:fff0",
            "fe80:0000:0000:0000:0000:0000:0000:00**");
        row("v6 gap in the middle", "1:*::2:3", "1::2:3", "ffff:fff0:ffff:ffff:ffff:ffff:ffff:ffff",
            "0001:00**:0000:0000:0000:0000:0002:0003");
        row("v6 empty is all open", "", "::", "::", "****:****:****:****:****:****:****:****");
        row("v6 full", "1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff",
            "0001:0002:0003:0004:0005:0006:0007:0008");
        for (const char *bad : {"12345::", "1::2::3", "1:2:3:4::5:6:7:8", "fe80:1", "fe80::1%eth0"})
            row(qPrintable(QStringLiteral("v6 refused '%1'").arg(bad)), bad);
    }
    void parseAndFormat()
    {
        QFETCH(QString, text);
        QFETCH(QString, address);
        QFETCH(QString, mask);
        const bool v6 = QByteArray(QTest::currentDataTag()).startsWith("v6");
        const QHostAddress untouched(QStringLiteral("9.9.9.9"));
        QHostAddress a = untouched, m = untouched;
        const int rc = v6 ? parseIPv6WithWildcards(text, a, m) : parseIPv4WithWildcards(text, a, m);
        QCOMPARE(rc, address.isEmpty() ? -1 : 0);
        if (address.isEmpty()) {
            QCOMPARE(a, untouched); // on failure
            return;
        }
        QCOMPARE(a, QHostAddress(address));
        QCOMPARE(m, QHostAddress(mask));
        QString out;
        QCOMPARE(formatWithWildcards(a, m, u'*', out), 0);
        QTEST(out, "formatted");
    }

    void macRefused()
    {
        QByteArray a("kept"), m;
        for (const char *bad : {"00:11:22:33:44", "00:11:22:33:44:5g", "00:11:22:33:44:555", "00:11::33:44:55"})
            QVERIFY2(parseMacWithWildcards(bad, a, m) == -1, bad);
        QCOMPARE(a, QByteArray("kept")); // untouched on failure
    }
};

QTEST_MAIN(tst_FiltersPanel)
#include "tst_filterspanel.moc"
