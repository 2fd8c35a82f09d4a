// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The header filter editor: what it builds from typed fields (byte order, mask
// bits, refused fields in red), how it shows a record and builds the same one
// back, and the one-address modes that hide the destination row.

#include "simplefiltercontrol.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <cstring>

namespace {

const QStringList kEdits{"srcMacTB", "dstMacTB", "srcIpTB", "dstIpTB", "srcPortTB", "dstPortTB"};

// The record's non-zero fields, arrays in stored order without trailing zeros.
QString describe(const PacketFilter &f)
{
    QStringList out;
    auto number = [&](const char *name, unsigned v) {
        if (v)
            out << QStringLiteral("%1=0x%2").arg(name).arg(v, 0, 16);
    };
    auto bytes = [&](const char *name, const uint8_t *p, int n) {
        QByteArray hex = QByteArray(reinterpret_cast<const char *>(p), n).toHex();
        while (hex.endsWith("00"))
            hex.chop(2);
        if (!hex.isEmpty())
            out << QStringLiteral("%1=%2").arg(name, QString::fromLatin1(hex));
    };
    number("fields", f.fields);
    number("modes", f.modes);
    bytes("dst_mac", f.dst_mac, 6);
    bytes("src_mac", f.src_mac, 6);
    bytes("dst_ip", f.dst_ip, 16);
    bytes("src_ip", f.src_ip, 16);
    number("dst_port", f.dst_port);
    number("src_port", f.src_port);
    number("mac_mask", f.mac_mask);
    number("dst_ip_mask", f.dst_ip_mask);
    number("src_ip_mask", f.src_ip_mask);
    number("port_mask", f.port_mask);
    return out.join(u' ');
}

// "name=value;name=value" into the editor's widgets, by object name.
void apply(SimpleFilterControl &editor, const QString &settings)
{
    for (const QString &s : settings.split(u';', Qt::SkipEmptyParts)) {
        const QString name = s.section(u'=', 0, 0), value = s.section(u'=', 1);
        if (auto *edit = editor.findChild<QLineEdit *>(name))
            edit->setText(value);
        else if (auto *combo = editor.findChild<QComboBox *>(name))
            combo->setCurrentIndex(value.toInt());
        else
            editor.findChild<QCheckBox *>(name)->setChecked(value == "1");
    }
}

} // namespace

class tst_SimpleFilterControl : public QObject {
    Q_OBJECT
private slots:
    void build_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QString>("red");
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("shown"); // after the record goes through a second editor
        QTest::addColumn<QString>("rows");  // labels of the rows shown with their line edit enabled
        // clang-format off
        const struct { const char *name, *input; int rc; const char *red, *record, *shown, *rows; } rows[] = {
            {"source MAC with open byte", "srcMacCB=1;srcMacTB=00:11:**:33:44:55", 0, "",
             "fields=0x4 src_mac=5544330011 mac_mask=0xdc0", "srcMacTB=00:11:**:33:44:55", "Source MAC"},
            {"destination IPv4 with open octet", "dstIpCB=1;dstIpTB=192.168.*.1", 0, "",
             "fields=0x8 dst_ip=0100a8c0 dst_ip_mask=0xd", "dstIpTB=192.168.*.1", "Destination IP"},
            {"source IPv6", "srcIpCB=1;ipVersionCB=1;srcIpTB=fe80::**12", 0, "",
             "fields=0x11 src_ip=120000000000000000000000000080fe src_ip_mask=0xfffd",
             "srcIpTB=fe80:0000:0000:0000:0000:0000:0000:**12;ipVersionCB=1", "Source IP"},
            {"ports hexadecimal and decimal", "srcPortCB=1;dstPortCB=1;srcPortTB=0x50;dstPortTB=443", 0, "",
             "fields=0x60 dst_port=0x1bb src_port=0x50 port_mask=0xf", "srcPortTB=80;dstPortTB=443", "Source Port,Destination Port"},
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
             "srcMacTB=aa:bb:cc:dd:ee:ff;dstMacTB=11:22:33:44:55:66;srcIpTB=10.0.0.1;dstIpTB=10.0.0.2;"
             "srcPortTB=53;dstPortTB=70000", 0, "",
             "fields=0x7e modes=0x7 src_mac=ffeeddccbbaa src_ip=0100000a src_port=0x35 mac_mask=0xfc0 "
             "src_ip_mask=0xf port_mask=0xc",
             "srcMacTB=aa:bb:cc:dd:ee:ff;srcIpTB=10.0.0.1;srcPortTB=53;macModeCB=1;ipModeCB=1;portModeCB=1", "MAC,IP,Port"},
            {"unused fields are not read", "srcMacTB=zz;dstPortTB=-1", 0, "", "", "", ""},
            {"back to both directions", "srcMacCB=1;dstMacCB=1;macModeCB=1;macModeCB=0;srcMacTB=1:2:3:4:5:6;"
             "dstMacTB=*:*:*:*:*:*", 0, "", "fields=0x6 src_mac=060504030201 mac_mask=0xfc0", "",
             "Source MAC,Destination MAC"},
        };
        // clang-format on
        for (const auto &r : rows)
            QTest::newRow(r.name) << QString(r.input) << r.rc << QString(r.red) << QString(r.record) << QString(r.shown)
                                  << QString(r.rows);
    }
    void build()
    {
        QFETCH(QString, input);
        QFETCH(int, rc);
        QFETCH(QString, red);
        QFETCH(QString, record);
        QFETCH(QString, shown);
        QFETCH(QString, rows);
        SimpleFilterControl editor;
        for (const QString &name : kEdits)
            editor.findChild<QLineEdit *>(name)->setStyleSheet("color: red"); // left from an earlier build
        apply(editor, input);
        PacketFilter f;
        std::memset(&f, 0x5a, sizeof f);
        QCOMPARE(editor.buildFilter(&f) < 0 ? -1 : 0, rc);
        QCOMPARE(describe(f), record);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(f.reserved), 3), QByteArray(3, '\0'));
        QStringList redEdits;
        for (const QString &name : kEdits) {
            if (editor.findChild<QLineEdit *>(name)->styleSheet() == "color: red")
                redEdits << name;
        }
        QCOMPARE(redEdits.join(u' '), red);
        QStringList shownRows;
        for (const char *row : {"srcMAC", "dstMAC", "srcIP", "dstIP", "srcPort", "dstPort"}) {
            const auto *label = editor.findChild<QLabel *>(QString(row) + "Label");
            const QString edit = QString(row).replace("MAC", "Mac").replace("IP", "Ip") + "TB";
            if (!label->isHidden() && editor.findChild<QLineEdit *>(edit)->isEnabled())
                shownRows << label->text();
        }
        QCOMPARE(shownRows.join(u','), rows);
        if (rc != 0)
            return;

        SimpleFilterControl other;
        other.setFilter(f);
        for (const QString &s : shown.split(u';', Qt::SkipEmptyParts)) {
            const QString name = s.section(u'=', 0, 0), value = s.section(u'=', 1);
            if (auto *edit = other.findChild<QLineEdit *>(name))
                QCOMPARE(edit->text(), value);
            else
                QCOMPARE(other.findChild<QComboBox *>(name)->currentIndex(), value.toInt());
        }
        PacketFilter again;
        QCOMPARE(other.buildFilter(&again), 0);
        QCOMPARE(describe(again), record);
    }
};

QTEST_MAIN(tst_SimpleFilterControl)
#include "tst_simplefiltercontrol.moc"
