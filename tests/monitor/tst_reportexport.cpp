// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Report exports: CSV that reads back to the texts shown, chart data equal to
// the graphs' points, pictures of the right size that are not blank, PDF and
// SVG that their readers accept, file names that sort by time, the copy key on
// tables, and writes that fail without touching the file that was there.

#include "chartexport.h"
#include "chartspanel.h"
#include "counterspanel.h"
#include "logpanel.h"
#include "modalanswerer.h"
#include "reportactions.h"
#include "reportexport.h"
#include "reportsaver.h"
#include "ui_chartspanel.h"
#include "ui_counterspanel.h"
#include "ui_logpanel.h"

#include <QtTest>
#include <QtWidgets>
#include <qcustomplot.h>

#include <unistd.h>

using S = StatisticsSample;
using namespace ReportExport;

namespace {

// RFC 4180 reader, written apart from the writer so that both are checked.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field += '"', ++i;
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row << field, field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        } else if (c == '\n') {
            row << field, field.clear();
            rows << row, row.clear();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<unreadable>");
}

S sample(uint64_t timeMs, uint64_t valid, uint64_t invalid)
{
    S s;
    s.words[S::SampleTime] = timeMs;
    for (int port = 0; port < 2; ++port) {
        const auto at = [&](S::PortWord w) -> uint64_t & { return s.words[std::size_t(S::kPortBase[port] + w)]; };
        at(S::ValidPackets) = valid * (port + 1);
        at(S::Valid64To1522) = valid * (port + 1);
        at(S::InvalidPackets) = invalid;
        at(S::Invalid64To1522) = invalid;
        at(S::ValidBytes) = valid * 300;
        at(S::Capacity) = 1250000;
    }
    return s;
}

const DeviceLabel kDevice{QStringLiteral("Rack 3, uplink"), QStringLiteral("00:0d:3f:12:34:56"),
                          QStringLiteral("LumenQuill 1G+")};
const QDateTime kTime(QDate(2026, 3, 14), QTime(9, 26, 53), Qt::UTC);

} // namespace

class tst_ReportExport : public QObject {
    Q_OBJECT

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void csvFieldsReadBack_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("plain") << QStringList{"Valid packets", "500", "12.50"};
        QTest::newRow("comma and quote") << QStringList{"Rack 3, uplink", "say \"hi\"", ""};
        QTest::newRow("line breaks") << QStringList{"two\nlines", "cr\r\nlf", "end"};
        QTest::newRow("edge blanks") << QStringList{" leading", "trailing ", "ü µm"};
    }
    void csvFieldsReadBack()
    {
        QFETCH(QStringList, fields);
        const QList<QStringList> rows = parseCsv(csvLine(fields) + csvLine(fields));
        QCOMPARE(rows, (QList<QStringList>{fields, fields}));
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("friendlyName");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "Uplink" << kTime << "Uplink_00-0d-3f-12-34-56_counters_20260314T092653Z.csv";
        QTest::newRow("unsafe characters")
            << "../Rack 3/ä: uplink" << kTime << "Rack-3-uplink_00-0d-3f-12-34-56_counters_20260314T092653Z.csv";
        QTest::newRow("no friendly name") << "" << kTime << "00-0d-3f-12-34-56_counters_20260314T092653Z.csv";
        QTest::newRow("local time written as UTC")
            << "Uplink" << QDateTime(QDate(2026, 3, 14), QTime(10, 26, 53), QTimeZone(3600))
            << "Uplink_00-0d-3f-12-34-56_counters_20260314T092653Z.csv";
    }
    void fileNames()
    {
        QFETCH(QString, friendlyName);
        QFETCH(QDateTime, time);
        QFETCH(QString, expected);
        const DeviceLabel device{friendlyName, kDevice.mac, kDevice.model};
        QCOMPARE(exportFileName(device, "counters", time, "csv"), expected);
        // Names of one device and kind sort by time, across a day and a year.
        const QStringList times{"2025-12-31T23:59:59Z", "2026-01-01T00:00:00Z", "2026-01-01T09:00:00Z",
                                "2026-01-01T10:00:00Z"};
        QStringList names;
        for (const QString &t : times)
            names << exportFileName(device, "counters", QDateTime::fromString(t, Qt::ISODate), "csv");
        QStringList sorted = names;
        sorted.sort();
        QCOMPARE(sorted, names);
    }

    // The CSV read back gives, cell by cell, the texts of the four tables.
    void countersCsvIsWhatTheTablesShow()
    {
        CountersPanel panel;
        ReportSaver saver;
        saver.setDevice(kDevice);
        saver.setClock([] { return kTime; });
        panel.setReportSaver(&saver);
        panel.refresh(sample(1000, 0, 0), {0, 0});
        panel.refresh(sample(2000, 400, 100), {10, 20});
        panel.refresh(sample(4000, 1000, 150), {11, 21});
        const QString path = m_dir->filePath("counters.csv");
        QVERIFY(panel.saveCounters(path));

        const QList<QStringList> rows = parseCsv(readText(path));
        QCOMPARE(rows.mid(0, 4), (QList<QStringList>{{"# MAC: 00:0d:3f:12:34:56"},
                                                     {"# Friendly name: Rack 3", " uplink"},
                                                     {"# Model: LumenQuill 1G+"},
                                                     {"# Time (UTC): 2026-03-14T09:26:53Z"}}));
        QCOMPARE(rows[4], (QStringList{"Port", "Table", "Counter", "Total", "Rate (/s)", "Percentage"}));
        Ui::CountersPanel *ui = panel.form();
        const QList<std::tuple<QString, QString, QTableWidget *>> tables{{"Port A", "Packets", ui->tableWidget},
                                                                         {"Port A", "Errors", ui->tableWidget_3},
                                                                         {"Port B", "Packets", ui->tableWidget_2},
                                                                         {"Port B", "Errors", ui->tableWidget_4}};
        int line = 5;
        for (const auto &[port, kind, table] : tables) {
            for (int r = 0; r < table->rowCount(); ++r, ++line) {
                QStringList expected{port, kind, table->verticalHeaderItem(r)->text()};
                for (int c = 0; c < 3; ++c)
                    expected << table->item(r, c)->text();
                QCOMPARE(rows.value(line), expected);
            }
        }
        QCOMPARE(rows.size(), line);
        // Figures of the last interval, not the cleared texts.
        QCOMPARE(rows[5], (QStringList{"Port A", "Packets", "Valid packets", "1000", "300", "92.31"}));
    }

    // Ctrl+C copies the selected block as tab-separated text; cells left out
    // of the selection inside the block stay empty.
    void copyKeyCopiesTheSelection()
    {
        CountersPanel panel;
        panel.refresh(sample(1000, 0, 0), {0, 0});
        panel.refresh(sample(2000, 400, 100), {10, 20});
        QTableWidget *table = panel.form()->tableWidget;
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        table->setFocus();
        QApplication::clipboard()->clear();
        table->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 1), true);
        table->setRangeSelected(QTableWidgetSelectionRange(3, 2, 3, 2), true);
        QTest::keySequence(table, QKeySequence::Copy);
        const auto cell = [table](int r, int c) { return table->item(r, c)->text(); };
        QCOMPARE(QApplication::clipboard()->text(), cell(0, 0) + '\t' + cell(0, 1) + "\t\n" + cell(1, 0) + '\t' +
                                                        cell(1, 1) + "\t\n\t\t\n\t\t" + cell(3, 2) + '\n');
    }

    // One point per row with both times; one column per series drawn; the
    // values are the graphs' own, for the scale shown or for all four.
    void chartCsvIsTheGraphData_data()
    {
        QTest::addColumn<bool>("allScales");
        QTest::addColumn<bool>("perSecond");
        QTest::newRow("shown scale, percentage") << false << false;
        QTest::newRow("shown scale, packets/s") << false << true;
        QTest::newRow("all four scales") << true << false;
    }
    void chartCsvIsTheGraphData()
    {
        QFETCH(bool, allScales);
        QFETCH(bool, perSecond);
        ChartsPanel panel;
        MonitorClock clock;
        clock.setManual(QDateTime(QDate(2026, 3, 14), QTime(9, 0), Qt::UTC));
        panel.setClock(&clock);
        Ui::ChartsPanel *ui = panel.form();
        ui->graphs_2_a_check->click(); // a fourth series
        if (perSecond)
            ui->graphs_ps_radio->click();
        for (int i = 0; i <= 13; ++i) {
            panel.sample(sample(1000 * uint64_t(i + 1), 300 * uint64_t(i * i), 7 * uint64_t(i)), {i * 3.5, 0});
            clock.advance(1000);
        }
        const QList<ChartBlock> blocks = allScales ? panel.allScalesData(0) : panel.shownData(0);
        const QList<QStringList> rows = parseCsv(chartCsv(blocks));

        QCustomPlot *plot = ui->graphs_a;
        QList<int> graphs;
        const int unit = perSecond ? 0 : 1;
        for (int n : {2, 7, 8, 9})
            graphs << unit * ChartSeries::kSeries + n - 1;
        QStringList caption = allScales ? QStringList{"Scale"} : QStringList{};
        caption << "Time (UTC)"
                << "Seconds";
        for (int g : graphs)
            caption << plot->graph(g)->name();
        QCOMPARE(rows.value(0), caption);
        QVERIFY(caption.last().startsWith("Bandwidth Usage ("));

        int line = 1;
        for (int scale = 0; scale < (allScales ? ChartSeries::kScales : 1); ++scale) {
            const QCPGraph *first = plot->graph(scale * ChartSeries::kGraphsPerScale + graphs[0]);
            for (auto it = first->data()->constBegin(); it != first->data()->constEnd(); ++it, ++line) {
                const QStringList row = rows.value(line);
                const int at = allScales ? 1 : 0;
                if (allScales)
                    QCOMPARE(row.value(0), ui->graphs_resolution_dropdown->itemText(scale));
                QCOMPARE(QDateTime::fromString(row.value(at), Qt::ISODate).toSecsSinceEpoch(), qint64(it->key));
                QCOMPARE(row.value(at + 1).toDouble(), it->key);
                const int index = int(it - first->data()->constBegin());
                for (int s = 0; s < graphs.size(); ++s) {
                    const QCPGraph *g = plot->graph(scale * ChartSeries::kGraphsPerScale + graphs[s]);
                    QCOMPARE(row.value(at + 2 + s).toDouble(), (g->data()->constBegin() + index)->value);
                }
            }
        }
        QCOMPARE(rows.size(), line);
        // 13 points on the 10 s scale and 2 on the 60 s scale; none yet on the others.
        QCOMPARE(line - 1, allScales ? 13 + 2 : 13);
    }

    // Rows line up by time: a series without a point there leaves its cell
    // empty, and points that share a second each keep a row of their own.
    void chartRowsByTime_data()
    {
        QTest::addColumn<QVector<QPointF>>("a");
        QTest::addColumn<QVector<QPointF>>("b");
        QTest::addColumn<QStringList>("rows"); // seconds|a|b
        QTest::newRow("aligned") << QVector<QPointF>{{1, 1.5}, {2, 2}} << QVector<QPointF>{{1, 10}, {2, 0.1}}
                                 << QStringList{"1|1.5|10", "2|2|0.1"};
        QTest::newRow("a point missing") << QVector<QPointF>{{1, 1}, {2, 2}, {3, 3}}
                                         << QVector<QPointF>{{1, 10}, {3, 30}}
                                         << QStringList{"1|1|10", "2|2|", "3|3|30"};
        QTest::newRow("same second twice")
            << QVector<QPointF>{{5, 1}, {5, 2}, {6, 3}} << QVector<QPointF>{{5, 10}, {5, 20}, {6, 30}}
            << QStringList{"5|1|10", "5|2|20", "6|3|30"};
    }
    void chartRowsByTime()
    {
        QFETCH(QVector<QPointF>, a);
        QFETCH(QVector<QPointF>, b);
        QFETCH(QStringList, rows);
        const QList<QStringList> parsed = parseCsv(chartCsv({ChartBlock{{}, {{"a", a}, {"b", b}}}}));
        QCOMPARE(parsed.value(0), (QStringList{"Time (UTC)", "Seconds", "a", "b"}));
        QStringList got;
        for (const QStringList &row : parsed.mid(1)) {
            QCOMPARE(QDateTime::fromString(row.value(0), Qt::ISODate).toSecsSinceEpoch(),
                     qint64(row.value(1).toDouble()));
            got << row.mid(1).join('|');
        }
        QCOMPARE(got, rows);
    }

    void chartPictures_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<double>("scale");
        QTest::newRow("PNG at its size") << int(ChartExport::Format::Png) << 1.0;
        QTest::newRow("PNG at twice its size") << int(ChartExport::Format::Png) << 2.0;
        QTest::newRow("PDF") << int(ChartExport::Format::Pdf) << 1.0;
        QTest::newRow("SVG") << int(ChartExport::Format::Svg) << 1.0;
    }
    void chartPictures()
    {
        QFETCH(int, format);
        QFETCH(double, scale);
        ChartsPanel panel;
        panel.resize(1000, 700);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        for (int i = 0; i < 20; ++i)
            panel.sample(sample(1000 * uint64_t(i + 1), 500 * uint64_t(i * i), 0), {i * 4.0, 0});
        QCustomPlot *plot = panel.form()->graphs_a;
        const auto f = ChartExport::Format(format);
        const QString path = m_dir->filePath("chart." + ChartExport::extension(f));
        QCOMPARE(ChartExport::write(plot, path, f, scale), QString());

        switch (f) {
        case ChartExport::Format::Png: {
            QImage image(path, "PNG");
            QCOMPARE(image.size(), plot->size() * scale);
            // Not blank: the axes, the grid and the three series' colours at least.
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); y += 2)
                for (int x = 0; x < image.width(); x += 2)
                    colours.insert(image.pixel(x, y));
            QVERIFY2(colours.size() > 4, qPrintable(QString::number(colours.size())));
            QVERIFY(colours.contains(QColor(Qt::darkGreen).rgb()) || colours.size() > 20);
            break;
        }
        case ChartExport::Format::Pdf: {
            QProcess pdfinfo;
            pdfinfo.start("pdfinfo", {path});
            QVERIFY2(pdfinfo.waitForFinished(30000), "pdfinfo (poppler-utils) did not run");
            const QString info = QString::fromUtf8(pdfinfo.readAllStandardOutput());
            QCOMPARE(pdfinfo.exitCode(), 0);
            QVERIFY2(info.contains(QRegularExpression("Pages:\\s+1\\n")), qPrintable(info));
            // The page is the chart's size at 96 dpi, in points.
            const QRegularExpressionMatch size =
                QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+) pts").match(info);
            QVERIFY2(size.hasMatch(), qPrintable(info));
            QVERIFY(qAbs(size.captured(1).toDouble() - plot->width() * 0.75) < 1.0);
            QVERIFY(qAbs(size.captured(2).toDouble() - plot->height() * 0.75) < 1.0);
            break;
        }
        case ChartExport::Format::Svg: {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QXmlStreamReader xml(&file);
            int drawn = 0;
            QString root;
            while (!xml.atEnd()) {
                if (xml.readNext() == QXmlStreamReader::StartElement) {
                    if (root.isEmpty())
                        root = xml.name().toString();
                    drawn += xml.name() == u"path" || xml.name() == u"polyline";
                }
            }
            QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
            QCOMPARE(root, QStringLiteral("svg"));
            QVERIFY(drawn > 10);
            break;
        }
        }
    }

    // A write that fails leaves what was there and says so once, naming the
    // file and the system's reason.
    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("parent is a file") << "parent";
        QTest::newRow("name is a folder") << "folder";
        QTest::newRow("read-only folder") << "read-only";
    }
    void failedWriteKeepsTheOldFile()
    {
        QFETCH(QString, how);
        const QByteArray old = "old report\n";
        QString target, kept;
        if (how == "parent") {
            kept = m_dir->filePath("old.csv");
            target = kept + "/counters.csv";
        } else if (how == "folder") {
            QVERIFY(QDir(m_dir->path()).mkpath("counters.csv"));
            kept = m_dir->filePath("counters.csv/inside.txt");
            target = m_dir->filePath("counters.csv");
        } else {
            // Root writes into read-only folders, so there the test cannot fail a write this way.
            if (geteuid() == 0)
                QSKIP("root ignores folder modes; the other rows cover a failing write");
            QVERIFY(QDir(m_dir->path()).mkpath("ro"));
            kept = target = m_dir->filePath("ro/counters.csv");
        }
        {
            QFile file(kept);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(old);
        }
        if (how == "read-only")
            QVERIFY(QFile::setPermissions(m_dir->filePath("ro"), QFile::ReadOwner | QFile::ExeOwner));

        CountersPanel panel;
        ModalAnswerer answerer;
        QVERIFY(!panel.saveCounters(target));
        QFile::setPermissions(m_dir->filePath("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(answerer.titles, QStringList{ReportSaver::errorTitle()});
        QVERIFY2(answerer.texts[0].contains(QDir::toNativeSeparators(target)), qPrintable(answerer.texts[0]));
        QVERIFY2(answerer.texts[0].contains(QRegularExpression(": \\w+")), qPrintable(answerer.texts[0]));
        QCOMPARE(answerer.icons, QList<QMessageBox::Icon>{QMessageBox::Warning});
        QFile file(kept);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), old);
    }

    // A writer that fails half-way (an encoder, a full disk) leaves the old
    // file whole and no stray temporary file beside it.
    void failingWriterLeavesTheOldFile()
    {
        const QString path = m_dir->filePath("chart.png");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("old picture");
        }
        const QString reason = writeAllOrNothing(path, [](QIODevice *device, QString *why) {
            device->write(QByteArray(100000, 'x'));
            *why = "No space left on device";
            return false;
        });
        QCOMPARE(reason, QStringLiteral("No space left on device"));
        QCOMPARE(readText(path), QStringLiteral("old picture"));
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{"chart.png"});
    }

    // The log as UTF-8 text, each line as shown and ending in a line break.
    void logAsText()
    {
        LogPanel panel;
        const QStringList lines{"Samstag, 14. März 2026 09:26:53 - Link Up",
                                "Samstag, 14. März 2026 09:26:54 - Port A Bandwidth usage > 50.00% (61.20%)"};
        for (const QString &line : lines)
            panel.append(line);
        const QString path = m_dir->filePath("log.txt");
        QVERIFY(panel.saveLog(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), (lines.join('\n') + '\n').toUtf8());
    }

    // The save dialog opens in the folder last used for that kind of export,
    // with a proposed name, and remembers the folder chosen.
    void saveDialogRemembersItsFolderPerKind()
    {
        QSettings settings(m_dir->filePath("settings.ini"), QSettings::IniFormat);
        ReportSaver saver;
        saver.setSettings(&settings);
        saver.setDevice(kDevice);
        saver.setClock([] { return kTime; });
        QVERIFY(QDir(m_dir->path()).mkpath("charts"));
        const QString chosen = m_dir->filePath("charts/mine.csv");
        QString proposed;
        QTimer::singleShot(50, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            proposed = dialog->selectedFiles().value(0);
            // selectFile() keeps a proposed name already in the name field; type over it.
            dialog->findChild<QLineEdit *>("fileNameEdit")->setText(chosen);
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        QVERIFY(saver.saveBytes(nullptr, "ChartData", "Port-A-chart-data", "csv", "CSV files (*.csv)",
                                [] { return QByteArray("a,b\r\n"); }));
        QCOMPARE(QDir(m_dir->filePath("charts")).entryList(QDir::Files), QStringList{"mine.csv"});
        QCOMPARE(readText(chosen), QStringLiteral("a,b\r\n"));
        QCOMPARE(QFileInfo(proposed).fileName(),
                 QStringLiteral("Rack-3-uplink_00-0d-3f-12-34-56_Port-A-chart-data_20260314T092653Z.csv"));
        QCOMPARE(settings.value("LastLocations/ExportChartData").toString(), m_dir->filePath("charts"));
        QCOMPARE(QFileInfo(saver.proposedPath("ChartData", "x", "csv")).absolutePath(), m_dir->filePath("charts"));
        // Another kind keeps its own folder.
        QVERIFY(QFileInfo(saver.proposedPath("Log", "x", "txt")).absolutePath() != m_dir->filePath("charts"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(tst_ReportExport)
#include "tst_reportexport.moc"
