// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The SFP module display and its dialogs: which cell shows which field, absent
// modules, records without valid data, modules without diagnostics or flags,
// and dialogs that keep the data they were opened with.

#include "sfpdisplay.h"
#include "sfpoptions.h"
#include "sfptransceiver.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

template <size_t N> void put(char (&field)[N], const char *text)
{
    std::memset(field, 0, N);
    std::strncpy(field, text, N - 1);
}

SfpPortInfo module(const char *vendor)
{
    SfpPortInfo m{}; // fields left at zero are shown as zero
    m.present = 1;
    put(m.vendorName, vendor);
    put(m.model, "NP-10G-SR85");
    put(m.revision, "A2");
    put(m.dateCode, "250314");
    put(m.serialNumber, "NP2503140042");
    m.vendorOui = 0x3c4f1a, m.nominalBitRate = 103, m.bitRateMarginUpper = 3, m.encoding = 6, m.identifier = 3;
    m.extendedIdentifier = 4, m.connector = 7, m.wavelength = 850, m.sff8472Compliance = 4;
    m.lengthSingleMode = 0xfffffffe, m.lengthOm2 = 80, m.lengthOm1 = 30, m.lengthOm3 = 300;
    std::fill(std::begin(m.transceiver), std::end(m.transceiver), 1u);
    m.transceiver[3] = 0; // 10G BASE-SR
    m.value = {38.46f, 3.31f, 6.6f, 0.56f, 0.48f};
    m.lowAlarm = {-5.0f, 2.97f, 2.0f, 0.1259f, 0.0407f};
    m.lowWarning = {0.0f, 3.13f, 3.0f, 0.1585f, 0.0646f};
    m.highAlarm = {75.0f, 3.63f, 12.0f, 1.0f, 1.2589f};
    m.highWarning = {70.0f, 3.47f, 10.5f, 0.7943f, 1.0f};
    m.flags = 0x421;
    return m;
}

SfpInfo record()
{
    SfpInfo info{};
    info.valid = 1;
    info.portA = module("NORTHFIELD PHOTON");
    info.portB = module("OTHER OPTICS");
    info.portB.lengthSingleMode = 1500;
    info.portB.flags = 0;
    return info;
}

const char *const kGroups[] = {"identityTable", "rateTable", "typeTable", "lengthTable"};

QGridLayout *grid(const QWidget &w, const char *name)
{
    auto *g = w.findChild<QGridLayout *>(name);
    if (!g)
        qFatal("no grid %s", name);
    return g;
}

QWidget *at(const QWidget &w, const char *table, int row, int column)
{
    QLayoutItem *item = grid(w, table)->itemAtPosition(row, column);
    return item ? item->widget() : nullptr;
}

QString text(const QWidget &w, const char *table, int row, int column)
{
    auto *label = qobject_cast<QLabel *>(at(w, table, row, column));
    return label ? label->text() : QStringLiteral("<no label>");
}

// Texts of every label in the value cells of a port: the four groups, the
// measurement table and the flag table.
QStringList portTexts(const QWidget &w, int port)
{
    const char suffix = port == 0 ? 'A' : 'B';
    QStringList out;
    for (const char *g : kGroups) {
        for (int row = 1; row < grid(w, g)->rowCount(); row += 2) {
            if (qobject_cast<QLabel *>(at(w, g, row, port + 1)))
                out << text(w, g, row, port + 1);
        }
    }
    const QByteArray measures = QByteArray("measuresTable") + suffix, flags = QByteArray("alarmTable") + suffix;
    for (int row = 1; row <= 9; row += 2) {
        for (int column = 1; column <= 5; ++column)
            out << text(w, measures, row, column);
    }
    for (int row = 1; row <= 5; row += 2)
        out << text(w, flags, row, 1);
    return out;
}

QList<QPushButton *> buttons(const QWidget &w, int port)
{
    QList<QPushButton *> out;
    for (int row : {3, 5, 7})
        out << qobject_cast<QPushButton *>(at(w, "typeTable", 2 * row + 1, port + 1));
    return out;
}

// The value a dialog shows beside a row name.
QString dialogValue(const QWidget &dialog, const QString &name)
{
    for (const QGridLayout *g : dialog.findChildren<QGridLayout *>()) {
        for (int row = 0; row < g->rowCount(); ++row) {
            const QLayoutItem *left = g->itemAtPosition(row, 0), *right = g->itemAtPosition(row, 1);
            auto *label = left ? qobject_cast<QLabel *>(left->widget()) : nullptr;
            if (label && label->text() == name && right)
                return qobject_cast<QLabel *>(right->widget())->text();
        }
    }
    return QStringLiteral("<no row %1>").arg(name);
}

QStringList allDialogValues(const QWidget &dialog)
{
    QStringList out;
    for (const QGridLayout *g : dialog.findChildren<QGridLayout *>()) {
        for (int row = 0; row < g->rowCount(); ++row) {
            if (const QLayoutItem *right = g->itemAtPosition(row, 1))
                out << qobject_cast<QLabel *>(right->widget())->text();
        }
    }
    return out;
}

} // namespace

class tst_SfpDisplay : public QObject {
    Q_OBJECT
private slots:
    void cells_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        auto cell = [](int group, int row, int port, const char *name, const char *value) {
            QTest::addRow("%s %d %c", kGroups[group], row, "AB"[port])
                << QByteArray(kGroups[group]) << row << port << QString::fromUtf8(name) << QString::fromUtf8(value);
        };
        cell(0, 0, 0, "Status", "Present");
        cell(0, 1, 0, "Vendor name", "NORTHFIELD PHOTON");
        cell(0, 1, 1, "Vendor name", "OTHER OPTICS");
        cell(0, 3, 0, "Model", "NP-10G-SR85");
        cell(0, 6, 1, "Serial number", "NP2503140042");
        cell(1, 0, 0, "Bitrate, nominal", "10300 Mbps");
        cell(1, 1, 0, "Upper bitrate margin", "3%");
        cell(1, 3, 1, "Encoding", "64B/66B");
        cell(2, 0, 0, "Identifier", "SFP or SFP+");
        cell(2, 4, 0, "Wavelength", "850 nm");
        cell(2, 6, 0, "Diagnostic monitoring type", "Int. calibrated/Av. power");
        cell(2, 8, 1, "SFF-8472 compliance", "Rev 10.4 SFF-8472");
        cell(3, 0, 0, "Length 9/125µm fiber", ">254km");
        cell(3, 0, 1, "Length 9/125µm fiber", "1.5km");
        cell(3, 1, 0, "Length 50/125µm OM2 fiber", "80m");
        cell(3, 2, 0, "Length 62.5/125µm OM1 fiber", "30m");
        cell(3, 4, 1, "Length 50/125µm fiber", "300m");
    }
    void cells()
    {
        QFETCH(QByteArray, table);
        QFETCH(int, row);
        QFETCH(int, port);
        QFETCH(QString, name);
        QFETCH(QString, value);
        SFPDisplay display;
        const SfpInfo info = record();
        display.sfpUpdate(&info);
        QCOMPARE(text(display, table, 2 * row + 1, 0), name);
        QCOMPARE(text(display, table, 2 * row + 1, port + 1), value);
    }

    void diagnosticsTables()
    {
        SFPDisplay display;
        const SfpInfo info = record();
        display.sfpUpdate(&info);
        const QStringList temperature{"-5.0°C", "0.0°C", "70.0°C", "75.0°C", "38.5°C"};
        const QStringList rxPower{"0.0407mW", "0.0646mW", "1.0000mW", "1.2589mW", "0.4800mW"};
        for (int column = 1; column <= 5; ++column) {
            QCOMPARE(text(display, "measuresTableA", 1, column), temperature[column - 1]);
            QCOMPARE(text(display, "measuresTableB", 9, column), rxPower[column - 1]);
        }
        QCOMPARE(text(display, "measuresTableA", 5, 5), QString("6.600mA"));
        QCOMPARE(text(display, "measuresTableA", 3, 5), QString("3.31V"));
        QCOMPARE(text(display, "alarmTableA", 1, 1), QString("Temperature "));
        QCOMPARE(text(display, "alarmTableA", 3, 1), QString("Temperature "));
        QCOMPARE(text(display, "alarmTableA", 5, 1), QString("TX Disable "));
        QCOMPARE(text(display, "alarmTableB", 1, 1), QString("None "));
        QCOMPARE(text(display, "alarmTableB", 3, 1), QString("None "));
        QCOMPARE(text(display, "alarmTableB", 5, 1), QString(""));
    }

    void absentModule_data()
    {
        QTest::addColumn<int>("port");
        QTest::newRow("Port A") << 0;
        QTest::newRow("Port B") << 1;
    }
    void absentModule()
    {
        QFETCH(int, port);
        SFPDisplay display;
        SfpInfo info = record();
        display.sfpUpdate(&info);
        (port == 0 ? info.portA : info.portB).present = 0;
        display.sfpUpdate(&info);

        QStringList absent = portTexts(display, port);
        QCOMPARE(absent.takeFirst(), QString("Absent"));
        for (const QString &t : absent)
            QCOMPARE(t, QString());
        for (QPushButton *b : buttons(display, port))
            QVERIFY(!b->isEnabled());

        const int other = 1 - port;
        QCOMPARE(text(display, "identityTable", 3, other + 1),
                 QString(other == 0 ? "NORTHFIELD PHOTON" : "OTHER OPTICS"));
        for (QPushButton *b : buttons(display, other))
            QVERIFY(b->isEnabled());

        // Plugged in again, the port fills and its buttons come back.
        info = record();
        display.sfpUpdate(&info);
        QCOMPARE(text(display, "identityTable", 1, port + 1), QString("Present"));
        for (QPushButton *b : buttons(display, port))
            QVERIFY(b->isEnabled());
    }

    void reducedDiagnostics_data()
    {
        QTest::addColumn<uint32_t>("monitoringType");
        QTest::addColumn<uint32_t>("flagsOption");
        QTest::addColumn<bool>("values");
        QTest::addColumn<bool>("thresholdsAndFlags");
        QTest::newRow("complete") << 0u << 0u << true << true;
        QTest::newRow("no alarm/warning flags") << 2u << 1u << true << false;
        QTest::newRow("flags option other than 1") << 2u << 3u << true << true;
        QTest::newRow("no diagnostics") << 4u << 0u << false << false;
    }
    void reducedDiagnostics()
    {
        QFETCH(uint32_t, monitoringType);
        QFETCH(uint32_t, flagsOption);
        QFETCH(bool, values);
        QFETCH(bool, thresholdsAndFlags);
        SFPDisplay display;
        SfpInfo info = record();
        display.sfpUpdate(&info);
        info.portA.diagnosticMonitoringType = monitoringType;
        info.portA.options[7] = flagsOption;
        display.sfpUpdate(&info);
        for (int row = 1; row <= 9; row += 2) {
            QCOMPARE(text(display, "measuresTableA", row, 5).isEmpty(), !values);
            for (int column = 1; column <= 4; ++column)
                QCOMPARE(text(display, "measuresTableA", row, column).isEmpty(), !thresholdsAndFlags);
        }
        QCOMPARE(text(display, "alarmTableA", 1, 1).isEmpty(), !thresholdsAndFlags);
        QCOMPARE(text(display, "alarmTableA", 3, 1).isEmpty(), !thresholdsAndFlags);
        QCOMPARE(text(display, "alarmTableA", 5, 1), QString(thresholdsAndFlags ? "TX Disable " : ""));
        if (monitoringType == 4)
            QCOMPARE(text(display, "typeTable", 13, 1), QString("None"));
        // Port B is untouched by Port A's module.
        QCOMPARE(text(display, "measuresTableB", 1, 1), QString("-5.0°C"));
        QCOMPARE(text(display, "alarmTableB", 1, 1), QString("None "));
    }

    void invalidRecordKeepsCopy()
    {
        SFPDisplay display;
        const SfpInfo info = record();
        display.sfpUpdate(&info);
        SfpInfo invalid = record();
        invalid.valid = 0;
        invalid.portA.transceiver[3] = 1;
        invalid.portA.transceiver[0] = 0;
        display.sfpUpdate(&invalid);
        for (int port = 0; port < 2; ++port) {
            for (const QString &t : portTexts(display, port))
                QCOMPARE(t, QString());
        }

        display.slot_ShowTransceiverA();
        const auto dialogs = display.findChildren<SFPTransceiver *>();
        QCOMPARE(dialogs.size(), 1);
        QCOMPARE(dialogValue(*dialogs[0], "10G BASE-SR"), QString("Yes"));
        QCOMPARE(dialogValue(*dialogs[0], "10G BASE-ER"), QString("No"));
    }

    void dialogsKeepTheirCopy()
    {
        SFPDisplay display;
        display.show();
        SfpInfo info = record();
        display.sfpUpdate(&info);
        buttons(display, 0)[0]->click(); // transceiver A
        buttons(display, 1)[1]->click(); // options B
        info.portA.transceiver[3] = 1;
        info.portA.transceiver[2] = 0;
        info.portB.options[0] = 1;
        display.sfpUpdate(&info);
        buttons(display, 0)[0]->click();
        buttons(display, 1)[2]->click(); // enhanced options B opens the options dialog too

        const auto transceivers = display.findChildren<SFPTransceiver *>();
        const auto options = display.findChildren<SFPOptions *>();
        QCOMPARE(transceivers.size(), 2);
        QCOMPARE(options.size(), 2);
        QVERIFY(!QApplication::activeModalWidget());
        QStringList srRows, coolingRows;
        for (SFPTransceiver *d : transceivers) {
            QVERIFY(d->isVisible() && !d->isModal());
            QVERIFY(d->testAttribute(Qt::WA_DeleteOnClose));
            srRows << dialogValue(*d, "10G BASE-SR") + "/" + dialogValue(*d, "10G BASE-LR");
        }
        for (SFPOptions *d : options) {
            QVERIFY(d->isVisible() && !d->isModal());
            coolingRows << dialogValue(*d, "Cooled Transceiver Declaration :");
        }
        srRows.sort();
        coolingRows.sort();
        QCOMPARE(srRows, QStringList({"No/Yes", "Yes/No"}));
        QCOMPARE(coolingRows, QStringList({"Cooled laser transmitter", "Uncooled laser transmitter or unspecified"}));

        QPointer<SFPTransceiver> closed = transceivers[0];
        closed->close();
        QTRY_VERIFY(closed.isNull());
        QCOMPARE(display.findChildren<SFPOptions *>().size(), 2);
    }

    // One word changed from all others: its row alone shows the changed value.
    void dialogRows_data()
    {
        QTest::addColumn<bool>("options");
        QTest::addColumn<int>("word");
        QTest::addColumn<uint32_t>("value");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("shown");
        auto code = [](const char *name, int word, const char *row) {
            QTest::newRow(name) << false << word << 0u << QString(row) << QString("Yes");
        };
        auto option = [](const char *name, int word, uint32_t value, const char *row, const char *shown) {
            QTest::newRow(name) << true << word << value << QString(row) << QString(shown);
        };
        code("first", 0, "10G BASE-ER");
        code("sonet first", 8, "OC-192 short reach");
        code("gigabit ethernet", 26, "1000BASE-SX");
        code("fc technology", 35, "Longwave Laser (LL)");
        code("fc media", 49, "Single Mode (SM)");
        code("last", 55, "100 MBytes/Sec");
        option("los inverted", 6, 2, "Loss of Signal Implementation :", "Implemented, Inverted");
        option("alarm flags", 7, 1, "Alarm/Warning flags :", "Not Implemented");
        option("last option", 13, 1, "Soft Rate Select control :", "Not Implemented");
    }
    void dialogRows()
    {
        QFETCH(bool, options);
        QFETCH(int, word);
        QFETCH(uint32_t, value);
        QFETCH(QString, shown);
        SfpPortInfo port = module("X");
        std::fill(std::begin(port.transceiver), std::end(port.transceiver), 1u);
        std::fill(std::begin(port.options), std::end(port.options), word < 3 ? 1u : 0u);
        (options ? port.options : port.transceiver)[word] = value;
        port.transceiver[18] = 3;
        std::unique_ptr<QWidget> dialog(options ? static_cast<QWidget *>(new SFPOptions(nullptr, port))
                                                : new SFPTransceiver(nullptr, port));
        QFETCH(QString, row);
        QCOMPARE(dialogValue(*dialog, row), shown);
        // Every other row shows the opposite of the changed one.
        const QStringList values = allDialogValues(*dialog);
        QCOMPARE(values.size(), options ? 14 : 56);
        QCOMPARE(values.count(shown), 1);
        if (!options) {
            QCOMPARE(dialogValue(*dialog, "SONET Reach Specifier"), QString("SONET IR-2"));
            QCOMPARE(dialog->findChildren<QGroupBox *>().size(), 10);
        }
    }
};

QTEST_MAIN(tst_SfpDisplay)
#include "tst_sfpdisplay.moc"
