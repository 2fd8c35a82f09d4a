// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The SFP tab: which cell shows which field, absent modules, invalid records, reduced diagnostics,
// dialogs that keep the data they were opened with, and the texts of values shown nowhere else.

#include "sfpdisplay.h"
#include "sfpoptions.h"
#include "sfpreport.h"
#include "sfptexts.h"
#include "sfptransceiver.h"

#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <cstring>

namespace {

// Port B's module differs from Port A's in at least one field of every table, with values
// that have texts of their own.
SfpInfo record()
{
    SfpInfo info{}; // fields left at zero are shown as zero
    info.valid = 1;
    SfpPortInfo &m = info.portA;
    m.present = 1;
    std::strcpy(m.vendorName, "NORTHFIELD PHOTON");
    std::strcpy(m.model, "NP-10G-SR85");
    std::strcpy(m.revision, "A2");
    std::strcpy(m.dateCode, "250314");
    std::strcpy(m.serialNumber, "NP2503140042");
    m.vendorOui = 0x3c4f1a, m.nominalBitRate = 103, m.bitRateMarginUpper = 3, m.encoding = 6, m.identifier = 3;
    m.extendedIdentifier = 4, m.connector = 15, m.wavelength = 850, m.sff8472Compliance = 5;
    m.lengthSingleMode = 0xfffffffe, m.lengthOm2 = 80, m.lengthOm1 = 30, m.lengthOm3 = 300;
    std::fill(std::begin(m.transceiver), std::end(m.transceiver), 1u);
    m.transceiver[3] = 0; // 10G BASE-SR
    m.value = {38.46f, 3.31f, 6.6f, 0.56f, 0.48f};
    m.lowAlarm = {-5.0f, 2.97f, 2.0f, 0.1259f, 0.0407f};
    m.lowWarning = {0.0f, 3.13f, 3.0f, 0.1585f, 0.0646f};
    m.highAlarm = {75.0f, 3.63f, 12.0f, 1.0f, 1.2589f};
    m.highWarning = {70.0f, 3.47f, 10.5f, 0.7943f, 1.0f};
    m.flags = 0x421;
    SfpPortInfo &b = info.portB = m;
    std::strcpy(b.vendorName, "OTHER OPTICS");
    std::memcpy(b.revision, "A2B3C", sizeof b.revision); // no terminator: the next field must not show
    b.serialNumber[0] = '\0';
    b.vendorOui = 0xff3c4f1a, b.nominalBitRate = 0, b.bitRateMarginLower = 7, b.encoding = 7, b.rateIdentifier = 6;
    b.connector = 16, b.diagnosticMonitoringType = 3, b.sff8472Compliance = 6, b.lengthSingleMode = 1550;
    b.lengthOm2 = 0xfffffffe, b.lengthOm1 = 0, b.lengthOm3 = 0xffffffff, b.lengthCopper = 3;
    b.value.temperature = 41.0f, b.value.rxPower = 0.3f, b.flags = 0xffffe000;
    return info;
}

// Grid rows from `first` on, every `step`-th, each as the texts of its cells
// joined by '|', "[]" for a button.
QStringList rows(const QGridLayout *g, int first = 0, int step = 1)
{
    QStringList out;
    for (int row = first; row < g->rowCount(); row += step) {
        QStringList cells;
        for (int column = 0; column < g->columnCount(); ++column) {
            const QLayoutItem *item = g->itemAtPosition(row, column);
            auto *label = item ? qobject_cast<QLabel *>(item->widget()) : nullptr;
            cells << (label ? label->text() : QStringLiteral("[]"));
        }
        out << cells.join('|');
    }
    return out;
}

// A table of the display; its even grid rows hold the header and separator lines.
QStringList table(const QWidget &w, const QByteArray &name)
{
    return rows(w.findChild<QGridLayout *>(name), 1, 2);
}

// Every text a port shows: the four groups, its measurement and flag tables.
QStringList portTexts(const QWidget &w, int port)
{
    QStringList out;
    for (const char *name : {"identityTable", "rateTable", "typeTable", "lengthTable"}) {
        for (const QString &row : table(w, name).filter(QRegularExpression("^[^[]*$")))
            out << row.section('|', port + 1, port + 1);
    }
    for (const char *name : {"measuresTable", "alarmTable"}) {
        for (const QString &row : table(w, name + QByteArray(1, "AB"[port])))
            out << row.split('|').mid(1);
    }
    return out;
}

QStringList dialogRows(const QWidget &dialog)
{
    QStringList out;
    for (const QGridLayout *g : dialog.findChildren<QGridLayout *>())
        out << rows(g);
    return out;
}

// One row per value: the text `format` gives it, and the one wanted.
template <typename Format>
void textRows(const char *name, Format format, std::initializer_list<std::pair<uint32_t, const char *>> cases)
{
    for (const auto &[value, text] : cases)
        QTest::addRow("%s %u", name, value) << format(value) << QString(text);
}

} // namespace

Q_DECLARE_METATYPE(SfpInfo)

class tst_SfpDisplay : public QObject {
    Q_OBJECT
private slots:
    void cells_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QStringList>("rows");
        auto expect = [](const char *name, const QByteArray &rows) {
            QTest::newRow(name) << QByteArray(name) << QString::fromUtf8(rows).split("; ");
        };
        expect("identityTable", "Status|Present|Present; Vendor name|NORTHFIELD PHOTON|OTHER OPTICS; "
                                "Vendor OUI|0x3c4f1a|0x3c4f1a; Model|NP-10G-SR85|NP-10G-SR85; Revision|A2|A2B3C; "
                                "Date code|250314|250314; Serial number|NP2503140042|");
        expect("rateTable", "Bitrate, nominal|10300 Mbps|Unspecified; Upper bitrate margin|3%|3%; "
                            "Lower bitrate margin|Unspecified|7%; Encoding|64B/66B|Reserved; "
                            "Rate ID|Unspecified|SFF-8431 (TX and RX)");
        expect("typeTable", "Identifier|SFP or SFP+|SFP or SFP+; Ext. Identifier|0x04|0x04; "
                            "Connector|RJ45|Reserved (0x10); Transceiver|[]|[]; Wavelength|850 nm|850 nm; "
                            "Options|[]|[]; Diagnostic monitoring type|Int. calibrated/Av. power|Ext. calibrated/OMA; "
                            "Enhanced options|[]|[]; SFF-8472 compliance|Rev 11.0 SFF-8472|Unknown");
        // 1550 m would round up as a double.
        expect("lengthTable", "Length 9/125µm fiber|>254km|1.5km; Length 50/125µm OM2 fiber|80m|4294967294m; "
                              "Length 62.5/125µm OM1 fiber|30m|Unspecified; "
                              "Length copper and active cable|Unspecified|3m; Length 50/125µm fiber|300m|>2.54km");
        // The thresholds low to high, then the value; Port B's differ in temperature and RX power.
        const QByteArray same = "; Vcc|2.97V|3.13V|3.47V|3.63V|3.31V; "
                                "TX Bias|2.000mA|3.000mA|10.500mA|12.000mA|6.600mA; "
                                "TX Power|0.1259mW|0.1585mW|0.7943mW|1.0000mW|0.5600mW; ";
        expect("measuresTableA", "Temperature|-5.0°C|0.0°C|70.0°C|75.0°C|38.5°C" + same +
                                     "RX Power|0.0407mW|0.0646mW|1.0000mW|1.2589mW|0.4800mW");
        expect("measuresTableB", "Temperature|-5.0°C|0.0°C|70.0°C|75.0°C|41.0°C" + same +
                                     "RX Power|0.0407mW|0.0646mW|1.0000mW|1.2589mW|0.3000mW");
        expect("alarmTableA", "Warnings|Temperature ; Alarms|Temperature ; Status Bits|TX Disable ");
        expect("alarmTableB", "Warnings|None ; Alarms|None ; Status Bits|"); // no bits of its own
    }
    void cells()
    {
        QFETCH(QByteArray, name);
        SFPDisplay display;
        const SfpInfo info = record();
        display.sfpUpdate(&info);
        QTEST(table(display, name), "rows");
    }

    void absentModule()
    {
        for (int port : {0, 1}) {
            SFPDisplay display;
            SfpInfo info = record();
            display.sfpUpdate(&info);
            const QStringList shown = portTexts(display, port), other = portTexts(display, 1 - port);
            (port == 0 ? info.portA : info.portB).present = 0;
            display.sfpUpdate(&info);
            QCOMPARE(portTexts(display, port), QStringList("Absent") + QStringList(50, QString()));
            QCOMPARE(portTexts(display, 1 - port), other);
            QCOMPARE(display.findChildren<QPushButton *>().size(), 6);
            for (const QPushButton *b : display.findChildren<QPushButton *>()) // nothing to show for the port
                QCOMPARE(b->isEnabled(), !b->objectName().endsWith("AB"[port]));
            // Plugged in again, the port fills and its buttons come back.
            info = record();
            display.sfpUpdate(&info);
            QCOMPARE(portTexts(display, port), shown);
            for (const QPushButton *b : display.findChildren<QPushButton *>())
                QVERIFY(b->isEnabled());
        }
    }

    // Port A's measurement cells (five rows of thresholds, then the value) and
    // flags left shown (x) or emptied (-); Port B's alone.
    void reducedDiagnostics_data()
    {
        QTest::addColumn<uint32_t>("monitoringType");
        QTest::addColumn<uint32_t>("flagsOption");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no alarm/warning flags") << 2u << 1u << QString("----x").repeated(5) + "---";
        QTest::newRow("flags option other than 1") << 2u << 3u << QString("xxxxx").repeated(5) + "xxx";
        QTest::newRow("no diagnostics") << 4u << 0u << QString("-----").repeated(5) + "---";
    }
    void reducedDiagnostics()
    {
        QFETCH(QString, shown);
        SFPDisplay display;
        SfpInfo info = record();
        display.sfpUpdate(&info);
        QStringList expected = portTexts(display, 0);
        const QStringList portB = portTexts(display, 1);
        QFETCH(uint32_t, monitoringType);
        QFETCH(uint32_t, flagsOption);
        info.portA.diagnosticMonitoringType = monitoringType;
        info.portA.options[7] = flagsOption;
        display.sfpUpdate(&info);
        const qsizetype first = expected.size() - shown.size();
        for (qsizetype i = 0; i < shown.size(); ++i) {
            if (shown[i] == '-')
                expected[first + i].clear();
        }
        expected[16] = monitoringType == 4 ? "None" : "Ext. calibrated/Av. power"; // the type row
        QCOMPARE(portTexts(display, 0), expected);
        QCOMPARE(portTexts(display, 1), portB);
    }

    // Dialogs are modeless and each keeps the record it was opened with; an
    // invalid record empties both ports but not what the dialogs open from.
    void dialogsKeepTheirCopy()
    {
        SFPDisplay display;
        display.show();
        SfpInfo info = record();
        display.sfpUpdate(&info);
        display.findChild<QPushButton *>("transceiverButtonA")->click();
        display.findChild<QPushButton *>("optionsButtonB")->click();
        info.portA.transceiver[3] = 1;
        info.portA.transceiver[2] = 0;
        info.portB.options[0] = 1;
        display.sfpUpdate(&info);
        display.findChild<QPushButton *>("enhancedOptionsButtonB")->click(); // opens the options dialog too
        info.valid = 0;
        display.sfpUpdate(&info);
        QCOMPARE(portTexts(display, 0).join("") + portTexts(display, 1).join(""), QString());
        display.slot_ShowTransceiverA();
        QVERIFY(!QApplication::activeModalWidget());
        QStringList shown;
        for (const QDialog *d : display.findChildren<QDialog *>()) {
            QVERIFY(d->isVisible() && !d->isModal() && d->testAttribute(Qt::WA_DeleteOnClose));
            shown << dialogRows(*d)
                         .filter(QRegularExpression("^(10G BASE-[LS]R|Cooled Transceiver Declaration :)\\|"))
                         .join(", ");
        }
        shown.sort();
        QCOMPARE(shown, QStringList({"10G BASE-LR|No, 10G BASE-SR|Yes", "10G BASE-LR|Yes, 10G BASE-SR|No",
                                     "Cooled Transceiver Declaration :|Cooled laser transmitter",
                                     "Cooled Transceiver Declaration :|Uncooled laser transmitter or unspecified"}));
        QPointer<SFPTransceiver> closed = display.findChild<SFPTransceiver *>();
        closed->close();
        QTRY_VERIFY(closed.isNull());
        QCOMPARE(display.findChildren<SFPOptions *>().size(), 2);
    }

    // The module's own strings are shown as written, never taken for markup.
    void moduleTextsArePlain_data()
    {
        QTest::addColumn<int>("row"); // of the identity table
        QTest::newRow("vendor name") << 1;
        QTest::newRow("model") << 3;
        QTest::newRow("revision") << 4;
        QTest::newRow("date code") << 5;
        QTest::newRow("serial number") << 6;
    }
    void moduleTextsArePlain()
    {
        QFETCH(int, row);
        SfpInfo info = record();
        char *fields[] = {nullptr,
                          info.portB.vendorName,
                          nullptr,
                          info.portB.model,
                          info.portB.revision,
                          info.portB.dateCode,
                          info.portB.serialNumber};
        std::strcpy(fields[row], "<b>x"); // fits the shortest field with its terminator
        SFPDisplay display;
        display.sfpUpdate(&info);
        const auto *cell = qobject_cast<QLabel *>(
            display.findChild<QGridLayout *>("identityTable")->itemAtPosition(2 * row + 1, 2)->widget());
        QVERIFY(cell);
        QCOMPARE(cell->text(), QStringLiteral("<b>x"));
        QCOMPARE(cell->textFormat(), Qt::PlainText);
    }

    // Words set apart from all others show in their own rows.
    void dialogWords()
    {
        SfpPortInfo port = record().portA;
        std::fill(std::begin(port.transceiver), std::end(port.transceiver), 1u);
        for (int word : {0, 8, 26, 35, 49, 55})
            port.transceiver[word] = 0;
        port.transceiver[18] = 3;
        port.options[6] = 2, port.options[7] = 1, port.options[13] = 1;
        const SFPTransceiver transceiver(nullptr, port);
        const QStringList codes = dialogRows(transceiver), options = dialogRows(SFPOptions(nullptr, port));
        QCOMPARE(codes.size(), 56);
        QCOMPARE(codes.filter("|Yes"),
                 QStringList({"10G BASE-ER|Yes", "OC-192 short reach|Yes", "1000BASE-SX|Yes", "Longwave Laser (LL)|Yes",
                              "Single Mode (SM)|Yes", "100 MBytes/Sec|Yes"}));
        QVERIFY(codes.contains("SONET Reach Specifier|SONET IR-2"));
        QCOMPARE(options.size(), 14);
        QCOMPARE(options.filter(QRegularExpression("Inverted|Not Implemented")),
                 QStringList({"Loss of Signal Implementation :|Implemented, Inverted",
                              "Alarm/Warning flags :|Not Implemented", "Soft Rate Select control :|Not Implemented"}));
    }

    void texts_data()
    {
        namespace T = SfpTexts;
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("wanted");
        textRows("single", T::lengthSingleMode, {{0, "Unspecified"}, {0xffffffff, ">25.4km"}});
        textRows("copper", T::lengthCopper, {{0xffffffff, ">254m"}});
        textRows("identifier", T::identifier,
                 {{14, "CXP"}, {15, "Reserved (0x0f)"}, {127, "Reserved (0x7f)"}, {128, "Vendor specific (0x80)"}});
        textRows("rate", T::rateIdentifier, {{9, "Unspecified"}, {10, "FC-PI-5 (TX and RX)"}, {11, "Unallocated"}});
        textRows("sonet", T::sonetReachSpecifier, {{0, "SONET SR"}, {6, "SONET LR-3"}, {7, "Unknown"}});
        // Warnings, alarms and status bits, as the three rows of the flag table.
        const auto flags = [](uint32_t f) {
            return T::warningFlags(f) + '|' + T::alarmFlags(f) + '|' + T::statusFlags(f);
        };
        textRows("flags", flags,
                 {{LQ_SFP_ALARM_VOLTAGE | LQ_SFP_WARNING_RX_POWER | LQ_SFP_STATUS_RX_LOS, "RX Power |VCC |RX LOS "}});
        const QString all = "Temperature VCC TX Bias TX Power RX Power |";
        QTest::newRow("flags all") << flags(0x1fff) << all + all + "TX Disable TX Fault RX LOS ";
        const auto option = [](int word) { return [word](uint32_t value) { return T::optionValue(word, value); }; };
        textRows("option 1", option(1), {{0, "Power Level 2"}, {1, "Power Level 1 or unspecified"}});
        textRows("option 2", option(2), {{0, "Linear receiver output"}, {1, "Limiting receiver output"}});
        textRows("option 3", option(3), {{0, "Implemented"}, {2, "Not Implemented"}}); // only LOS knows "inverted"
        textRows("option 6", option(6), {{3, "Not Implemented"}});
    }
    void texts()
    {
        QFETCH(QString, shown);
        QTEST(shown, "wanted");
    }

    // The report says what the tab shows: every caption with each port's text,
    // the measurements with their thresholds in the tab's order, the option
    // words decoded, and the record's bytes exactly.
    void reportIsWhatTheTabShows_data()
    {
        QTest::addColumn<SfpInfo>("info");
        QTest::newRow("two modules") << record();
        SfpInfo absent = record();
        absent.portB = SfpPortInfo{};
        QTest::newRow("Port B absent") << absent;
        SfpInfo noThresholds = record();
        noThresholds.portA.options[SfpTexts::kAlarmWarningFlagsOption] = 1;
        noThresholds.portB.diagnosticMonitoringType = SfpTexts::kNoDiagnostics;
        QTest::newRow("no thresholds, no diagnostics") << noThresholds;
        SfpInfo invalid = record();
        invalid.valid = 0;
        QTest::newRow("no SFP data") << invalid;
    }
    void reportIsWhatTheTabShows()
    {
        QFETCH(SfpInfo, info);
        SFPDisplay display;
        ReportSaver saver;
        saver.setDevice({"Lab tap", "00:0d:3f:12:34:56", "LumenQuill 10G"});
        QDateTime now(QDate(2026, 3, 14), QTime(9, 26, 53), Qt::UTC);
        saver.setClock([&now] { return now; });
        display.setReportSaver(&saver);
        display.sfpUpdate(&info);
        now = now.addSecs(5); // the report carries the time of the record shown
        QVERIFY(display.reportText().startsWith(
            "SFP modules\nMAC: 00:0d:3f:12:34:56\nFriendly name: Lab tap\nModel: LumenQuill 10G\nTime (UTC): " +
            (info.valid ? QString("2026-03-14T09:26:53Z") : QString("2026-03-14T09:26:58Z")) + '\n'));
        const QString report = display.reportText();
        if (!info.valid) {
            QVERIFY(report.contains("The device has sent no SFP data."));
            QVERIFY(!report.contains("== Port A =="));
            return;
        }
        const QString sections[2] = {report.section("== Port B ==", 0, 0).section("== Port A ==", 1),
                                     report.section("== Port B ==", 1)};
        for (int port = 0; port < 2; ++port) {
            const QString &text = sections[port];
            const SfpPortInfo &module = port ? info.portB : info.portA;
            QVERIFY2(!text.isEmpty(), "no section for the port");
            for (const char *name : {"identityTable", "rateTable", "typeTable", "lengthTable"}) {
                for (const QString &row : table(display, name)) {
                    const QStringList cells = row.split('|');
                    if (cells.value(port + 1).isEmpty() || cells.value(port + 1) == "[]")
                        continue;
                    // "Status" is the identity table's first caption in the report.
                    const QString caption = cells[0].isEmpty() ? QStringLiteral("Status") : cells[0];
                    const QRegularExpression line("\\n  " + QRegularExpression::escape(caption) + ": +" +
                                                  QRegularExpression::escape(cells[port + 1].trimmed()) + "\\n");
                    QVERIFY2(text.contains(line), qPrintable(caption + " / " + cells[port + 1]));
                }
            }
            for (const QString &row : table(display, "measuresTable" + QByteArray(1, "AB"[port]))) {
                QStringList cells = row.split('|');
                if (cells.value(5).isEmpty())
                    continue; // no diagnostics shown, none reported
                const int at = text.indexOf("\n  " + cells[0] + ' ');
                QVERIFY2(at >= 0, qPrintable(cells[0]));
                const QString line = text.mid(at + 1, text.indexOf('\n', at + 1) - at - 1);
                int from = 0;
                for (int c = 1; c <= 5; ++c) {
                    const QString expected = cells[c].isEmpty() ? QStringLiteral("-") : cells[c];
                    from = line.indexOf(expected, from);
                    QVERIFY2(from > 0, qPrintable(line + " lacks " + expected));
                    from += expected.size();
                }
            }
            if (module.present) {
                const QStringList captions = SfpReport::optionCaptions();
                for (int k = 0; k < LQ_SFP_OPTION_WORDS; ++k)
                    QVERIFY(text.contains(
                        QRegularExpression(QRegularExpression::escape(captions[k]) + ": +" +
                                           QRegularExpression::escape(SfpTexts::optionValue(k, module.options[k])))));
            }
            // The hex rows give back the record byte for byte.
            QByteArray bytes;
            for (const QString &line : text.section("(528 bytes, hex)\n", 1).split('\n')) {
                for (const QString &hex : line.mid(6, 16 * 3).split(' ', Qt::SkipEmptyParts))
                    bytes.append(char(hex.toUInt(nullptr, 16)));
            }
            QCOMPARE(bytes, QByteArray(reinterpret_cast<const char *>(&module), sizeof module));
        }
        // The saved file is the report as UTF-8 (the lengths hold "µm").
        QTemporaryDir dir;
        QVERIFY(display.saveReport(dir.filePath("sfp.txt")));
        QFile file(dir.filePath("sfp.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), display.reportText());
    }
};

QTEST_MAIN(tst_SfpDisplay)
#include "tst_sfpdisplay.moc"
