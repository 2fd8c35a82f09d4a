// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Address validators, wildcard parsers and formatters. The byte helpers are checked
// through the header filter records in tst_filterspanel.

#include "addressparsers.h"

#include <QTest>

using namespace AddressParsers;

class tst_AddressParsers : public QObject {
    Q_OBJECT
private slots:
    void validate_data()
    {
        QTest::addColumn<QString>("kind"); // v4, v6, both, mac
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("acceptable");
        // clang-format off
        const struct { const char *kind, *text; bool ok; } rows[] = {
            {"v4", "10.*.**.1", true},      {"v4", "192.168.", true},          {"v4", "", true},
            {"v4", "10.0.0.0.1", false},    {"v4", "256.1.1.1", false},        {"v4", "fe80::1", false},
            {"v4", "10.***.0.1", false},    {"v4", "1a.0.0.1", false},         {"v6", "192.168.1.1", false},
            {"v6", "FE80::1", true},        {"v6", "fe80::g", false},          {"v6", "1:2:3:4:5:6:7:8:9", false},
            {"both", "fe80::**12", true},   {"both", "192.168.1.1", true},     {"both", "1*2::", false},
            {"mac", "00:1a:**:*:ff", true}, {"mac", "", true},                 {"mac", "00:1a:2b:3c:4d:5e:6f", false},
            {"mac", "001:22", false},       {"mac", "zz", false},              {"mac", "0:1:***", false},
        };
        // clang-format on
        for (const auto &r : rows)
            QTest::addRow("%s '%s'", r.kind, r.text) << QString(r.kind) << QString(r.text) << r.ok;
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

    // Parse, check address and mask, then format back with the same wildcard.
    void parseAndFormat_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rc");
        QTest::addColumn<QHostAddress>("address");
        QTest::addColumn<QHostAddress>("mask");
        QTest::addColumn<QString>("formatted");
        // clang-format off
        const struct { const char *name, *text; int rc; const char *address, *mask, *formatted; } rows[] = {
            {"v4 open octet", "192.168.*.1", 0, "192.168.0.1", "255.255.0.255", "192.168.*.1"},
            {"v4 double wildcard", "10.**.0.1", 0, "10.0.0.1", "255.0.255.255", "10.*.0.1"},
            {"v4 leading zero is decimal", "010.0.0.1", 0, "10.0.0.1", "255.255.255.255", "10.0.0.1"},
            {"v4 empty is all open", "", 0, "0.0.0.0", "0.0.0.0", "*.*.*.*"},
            {"v4 mixed octet", "10.1*.0.1", -1, "", "", ""}, {"v4 short", "10.1", -1, "", "", ""},
            {"v4 too big", "10.0.0.256", -1, "", "", ""},
            {"v6 last byte open", "fe80::*", 0, "fe80::", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:fff0",
             "fe80:0000:0000:0000:0000:0000:0000:00**"},
            {"v6 wildcard high nibbles", "FE80::**12", 0, "fe80::12", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ff",
             "fe80:0000:0000:0000:0000:0000:0000:**12"},
            {"v6 gap in the middle", "1:*::2:3", 0, "1::2:3", "ffff:fff0:ffff:ffff:ffff:ffff:ffff:ffff",
             "0001:00**:0000:0000:0000:0000:0002:0003"},
            {"v6 empty is all open", "", 0, "::", "::", "****:****:****:****:****:****:****:****"},
            {"v6 full", "1:2:3:4:5:6:7:8", 0, "1:2:3:4:5:6:7:8", "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff",
             "0001:0002:0003:0004:0005:0006:0007:0008"},
            {"v6 five digits", "12345::", -1, "", "", ""},   {"v6 two gaps", "1::2::3", -1, "", "", ""},
            {"v6 too many groups", "1:2:3:4::5:6:7:8", -1, "", "", ""},
            {"v6 short without gap", "fe80:1", -1, "", "", ""}, {"v6 scope", "fe80::1%eth0", -1, "", "", ""},
        };
        // clang-format on
        for (const auto &r : rows)
            QTest::newRow(r.name) << QString(r.text) << r.rc << QHostAddress(r.address) << QHostAddress(r.mask)
                                  << QString(r.formatted);
    }
    void parseAndFormat()
    {
        QFETCH(QString, text);
        QFETCH(int, rc);
        const bool v6 = QByteArray(QTest::currentDataTag()).startsWith("v6");
        QHostAddress a(QStringLiteral("9.9.9.9")), m(QStringLiteral("9.9.9.9"));
        QCOMPARE(v6 ? parseIPv6WithWildcards(text, a, m) : parseIPv4WithWildcards(text, a, m), rc);
        if (rc != 0) {
            QCOMPARE(a, QHostAddress(QStringLiteral("9.9.9.9"))); // untouched on failure
            return;
        }
        QTEST(a, "address");
        QTEST(m, "mask");
        QString out;
        QCOMPARE(formatWithWildcards(a, m, u'*', out), 0);
        QTEST(out, "formatted");
    }

    void mac()
    {
        QByteArray a, m;
        QCOMPARE(parseMacWithWildcards("00:1A:**:*:f:55", a, m), 0);
        QCOMPARE(a.toHex() + '/' + m.toHex(), QByteArray("001a00000f55/ffff0000ffff"));
        QCOMPARE(formatMacWithWildcards(a, m), QStringLiteral("00:1a:**:**:0f:55"));
        for (const char *bad : {"00:11:22:33:44", "00:11:22:33:44:5g", "00:11:22:33:44:555", "00:11::33:44:55"})
            QVERIFY2(parseMacWithWildcards(bad, a, m) == -1, bad);
        QCOMPARE(a.toHex(), QByteArray("001a00000f55")); // untouched on failure
    }
};

QTEST_APPLESS_MAIN(tst_AddressParsers)
#include "tst_addressparsers.moc"
