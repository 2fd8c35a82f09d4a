// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Live monitoring end to end: the window polls simulated devices, and the
// Counters, Charts, Log, configurable counters and Timing tabs follow them,
// and every tab's context menu exports what it shows.

#include "counterv2config.h"
#include "counterv2control.h"
#include "countersv2panel.h"
#include "qcustomplot.h"
#include "statisticssample.h"
#include "ui_counterv2control.h"
#include "windowharness.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

namespace {
const char *const kMac = "02:4c:51:00:04:01";
const QByteArray kLoaded = WindowHarness::device(10, kMac, R"(,"traffic":{"a":{"load":0.4},"b":{"load":0.2}})");
const char *const kCountersMac = "02:4c:51:00:06:01";
const char *const kSfpMac = "02:4c:51:00:0c:01";
const QByteArray kSfpTiming = WindowHarness::device(
    12, kSfpMac,
    R"(,"sfp":{"a":{"type":"10GBASE-SR"},"b":{"type":"10GBASE-LR"}},"traffic":{"a":{"load":0.5},"b":{"load":0.3}})");

// The context menu a right click on `target` opens (null when none opens).
QMenu *openContextMenu(QWidget *target)
{
    emit target->customContextMenuRequested(QPoint(20, 20));
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

// The entry reached through submenus by the starts of their texts.
QAction *entry(QMenu *menu, const QStringList &path)
{
    QAction *found = nullptr;
    for (const QString &step : path) {
        found = nullptr;
        for (QAction *action : menu ? menu->actions() : QList<QAction *>()) {
            if (action->text().startsWith(step)) {
                found = action;
                break;
            }
        }
        if (!found)
            return nullptr;
        menu = found->menu();
    }
    return found;
}

// Types `path` into the next save dialog and accepts it.
void answerSaveDialog(const QString &path)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, path] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        timer->deleteLater();
    });
    timer->start(10);
}

QString colourOf(const QLabel *bullet)
{
    for (const char *colour : {"red", "yellow", "green", "grey"}) {
        if (bullet->pixmap().toImage() == QPixmap(QStringLiteral(":/gps/%1.png").arg(colour)).toImage())
            return colour;
    }
    return "?";
}
} // namespace

class tst_Monitoring : public QObject {
    Q_OBJECT
    WindowHarness m_h;

    // The log's lines without their time stamps.
    QStringList logLines() const
    {
        QStringList lines;
        for (const QString &line : child<QTextEdit>("log_txt")->toPlainText().split('\n', Qt::SkipEmptyParts))
            lines << line.section(QStringLiteral(" - "), 1);
        return lines;
    }
    // Total, rate and share of a row of a table (Port A's packets by default).
    QStringList packets(int row, const char *name = "tableWidget") const
    {
        auto *table = child<QTableWidget>(name);
        QStringList cells;
        for (int column = 0; column < 3; ++column)
            cells << (table->item(row, column) ? table->item(row, column)->text() : QString());
        return cells;
    }
    template <typename W> W *child(const char *name) const { return m_h.child<W>(name); }

private slots:
    void initTestCase() { WindowHarness::prepare(); }
    void init() { lqsim_clear_failures(); }
    void cleanup() { m_h.close(); }

    void countsFromTheFirstRefreshAfterSelection()
    {
        QVERIFY(m_h.open(kMac, kLoaded));
        const StatsThreadInfo first = m_h.poll(0);
        QCOMPARE(logLines(), QStringList{"Link Up"});
        // The first refresh only takes the baselines: the cells stay as the selection's reset wrote them.
        QCOMPARE(packets(0), (QStringList{"0", "0", "-"}));
        QCOMPARE(packets(0, "tableWidget_4"), (QStringList{"0", "0", "-"}));

        const StatsThreadInfo second = m_h.poll();
        const auto &a0 = first.statistics.u.ports.portA;
        const auto &a1 = second.statistics.u.ports.portA;
        const uint64_t valid = a1.validPackets - a0.validPackets, bytes = a1.validBytes - a0.validBytes;
        QVERIFY(valid > 0);
        const double seconds = double(second.statistics.sampleTimeMs - first.statistics.sampleTimeMs) / 1000.0;
        QCOMPARE(packets(0).mid(0, 2),
                 (QStringList{QString::number(valid), QString::asprintf("%.0lf", double(valid) / seconds)}));
        QCOMPARE(packets(4).first(), QString::number(bytes));
        const double usage = std::min(100.0, (double(bytes) + 20.0 * double(valid)) * 100.0 / double(a0.capacity));
        QCOMPARE(packets(4).at(2), QString::asprintf("%.2lf", double(float(usage))));
        QVERIFY(usage > 10 && usage < 100); // a 40 % profile on a live line
        // The 10-second scale took its first point; series 9's percentage graph carries the usage.
        QCPGraph *bandwidth = child<QCustomPlot>("graphs_a")->graph(17);
        QCOMPARE(bandwidth->dataCount(), 1);
        QCOMPARE(float(bandwidth->data()->at(0)->value), float(usage));

        QCOMPARE(child<QLabel>("features_link_up_label")->text(), durationText(second.statistics.u.ports.linkUpMs));
        QCOMPARE(child<QLabel>("features_drop_label")->text(),
                 QString::number(a1.hardwareDropped + second.statistics.u.ports.portB.hardwareDropped));
        QCOMPARE(child<QLabel>("features_sw_dropped")->text(), QString::number(second.statistics.droppedPackets));
    }

    void linkFlapLogsDownThenUpAndRestartsCounters()
    {
        QVERIFY(m_h.open(kMac, kLoaded));
        m_h.poll(0);
        m_h.poll();
        QVERIFY(packets(0).first().toULongLong() > 0);
        const auto setLinks = [](int up) { return !lqsim_set_link(kMac, 0, up) && !lqsim_set_link(kMac, 1, up); };
        QVERIFY(setLinks(0));
        const StatsThreadInfo down = m_h.poll();
        QCOMPARE(logLines(), (QStringList{"Link Up", "Link Down"}));
        QCOMPARE(packets(0), (QStringList{"0", "0", "-"})); // a first sample again
        QVERIFY(setLinks(1));
        m_h.poll();
        QCOMPARE(logLines(), (QStringList{"Link Up", "Link Down", "Link Up"}));
        const StatsThreadInfo later = m_h.poll();
        // The totals count from the refresh that noticed the drop.
        QCOMPARE(packets(0).first(), QString::number(later.statistics.u.ports.portA.validPackets -
                                                     down.statistics.u.ports.portA.validPackets));
    }

    void alarmsEveryRefreshWhileTheLevelHolds()
    {
        QVERIFY(m_h.open(kMac, kLoaded));
        child<QCheckBox>("log_a_bw_check")->setChecked(true); // threshold 0.00: always reached
        for (int i = 0; i < 4; ++i)
            m_h.poll(i == 0 ? 0 : 1000);
        // Link Up, then one alarm per refresh after the baseline was taken.
        const QStringList lines = logLines();
        QCOMPARE(lines.size(), 4);
        const QRegularExpression alarm("^Port A Bandwidth usage > 0\\.00% \\(\\d+\\.\\d\\d%\\)$");
        QCOMPARE(lines.mid(1).filter(alarm).size(), 3);
        child<QPushButton>("log_clear_btn")->click();
        m_h.poll();
        QCOMPARE(logLines().size(), 1);
    }

    // A configurable-counter rule edited in the window reaches the device, the
    // row's rate is what the device counted, and the next manager pushes it again.
    void counterRuleCountsAndComesBackAfterRestart()
    {
        QVERIFY(m_h.open(kCountersMac, WindowHarness::device(14, kCountersMac)));
        auto *panel = child<CountersV2Panel>("countersV2Panel");
        CounterV2Config rule = CounterV2::defaultConfig(0); // Port A and Port B flags off
        rule.udp = 1;
        rule.portA = 1;
        panel->control(0)->setConfig(rule);
        panel->counterV2ConfigChanged(0);
        CounterV2Config sent{};
        QTRY_VERIFY(lqsim_last_counter_v2(kCountersMac, 0, &sent) == 0 && sent.udp == 1);
        QCOMPARE((QList<int>{sent.portA, sent.portB}), (QList<int>{1, 0}));

        m_h.poll();
        const StatsThreadInfo a = m_h.poll();
        const StatsThreadInfo b = m_h.poll();
        const uint64_t counted = b.statistics.u.configurable.counters[0] - a.statistics.u.configurable.counters[0];
        const double seconds = double(b.statistics.sampleTimeMs - a.statistics.sampleTimeMs) / 1000.0;
        QVERIFY(counted > 0);
        QCOMPARE(panel->control(0)->form()->rateLabel->text(), QString::asprintf("%.0f", double(counted) / seconds));

        // A fresh device and a fresh manager: the rule comes from the settings.
        m_h.close();
        QVERIFY(m_h.open(kCountersMac, WindowHarness::device(14, kCountersMac)));
        QTRY_COMPARE(lqsim_last_counter_v2(kCountersMac, 0, &sent), 0);
        QCOMPARE((QList<int>{sent.udp, sent.portA, sent.portB}), (QList<int>{1, 1, 0}));
    }

    // The GPS fix bullet goes red, yellow, green as the receiver acquires its
    // fix, and "set time from GPS" changes the time source the device reports.
    void gpsFixAcquiredAndClockSetFromGps()
    {
        QVERIFY(m_h.open(kMac, WindowHarness::device(10, kMac)));
        auto *fix = child<QLabel>("GPSFixBullet");
        auto *source = child<QLabel>("TimingTimeSource");
        QStringList colours;
        const auto pollAndNote = [&] {
            m_h.poll();
            if (colours.isEmpty() || colours.last() != colourOf(fix))
                colours << colourOf(fix);
        };
        for (int s = 0; s < 10; ++s)
            pollAndNote();
        QVERIFY2(source->text().isEmpty(), qPrintable(source->text()));

        child<QPushButton>("TimingSetGPSTime")->click();
        TimingTimeSet set{};
        QTRY_COMPARE(lqsim_last_timing_time(kMac, &set), 0);
        m_h.poll();
        QCOMPARE(source->text(), QStringLiteral("GPS"));
        for (int s = 0; s < 60 && colourOf(fix) != "green"; ++s)
            pollAndNote();
        QCOMPARE(colours, (QStringList{"red", "yellow", "green"}));
    }

    // Every export from its context menu, on a simulated 10G tap with SFP
    // modules and timing: the menu opens, shows the entry, and the entry
    // writes its file (or fills the clipboard). LQ_REPORT_SAMPLES_DIR keeps
    // the menus' pictures and the files for the operator notes.
    void contextMenusExport_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QString>("file");     // empty: the entry copies
        QTest::addColumn<QString>("expected"); // the file's or the clipboard's start, or what it holds
        QTest::newRow("counters CSV") << "tableWidget" << QStringList{"Save counters"} << "counters.csv"
                                      << "# MAC: 02:4c:51:00:0c:01\r\n";
        QTest::newRow("counters copy") << "tableWidget_4" << QStringList{"Copy table"} << ""
                                       << "\tTotal\tRate (/s)\tPercentage\nInvalid packets\t";
        QTest::newRow("chart PNG") << "graphs_a" << QStringList{"Save chart as PNG", "At its size"} << "chart.png"
                                   << "PNG\r\n";
        QTest::newRow("chart PNG 2x") << "graphs_b" << QStringList{"Save chart as PNG", "At 2"} << "chart2x.png"
                                      << "PNG\r\n";
        QTest::newRow("chart PDF") << "graphs_b" << QStringList{"Save chart as PDF"} << "chart.pdf"
                                   << "%PDF";
        QTest::newRow("chart SVG") << "graphs_a" << QStringList{"Save chart as SVG"} << "chart.svg"
                                   << "<?xml";
        QTest::newRow("chart data") << "graphs_a" << QStringList{"Save data as CSV"} << "chart.csv"
                                    << "Time (UTC),Seconds,Valid Packets (%),Invalid Packets (%),Bandwidth Usage (%)";
        QTest::newRow("chart data, all scales")
            << "graphs_b" << QStringList{"Save data of all four scales"} << "scales.csv"
            << "Scale,Time (UTC)";
        QTest::newRow("timing chart") << "TimingChart" << QStringList{"Save data as CSV"} << "timing.csv"
                                      << "Time (UTC),Seconds,Deviation from PPS (ns)";
        QTest::newRow("log") << "log_txt" << QStringList{"Save log as text"} << "log.txt"
                             << "Link Up";
        QTest::newRow("SFP report") << "sfpDisp" << QStringList{"Save SFP report"} << "sfp.txt"
                                    << "SFP modules\nMAC: 02:4c:51:00:0c:01\n";
        QTest::newRow("SFP copy") << "sfpDisp" << QStringList{"Copy SFP report"} << ""
                                  << "SFP modules\n";
        QTest::newRow("PHY table copy") << "physRegsTable1" << QStringList{"Copy table"} << ""
                                        << "Link";
        QTest::newRow("device information") << "deviceGroup" << QStringList{"Copy device information"} << ""
                                            << "Link Up Duration: ";
    }
    void contextMenusExport()
    {
        QFETCH(QString, target);
        QFETCH(QStringList, path);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        QVERIFY(m_h.open(kSfpMac, kSfpTiming));
        m_h.window->monitorClock()->setManual(QDateTime(QDate(2026, 3, 14), QTime(9, 0), Qt::UTC));
        m_h.window->resize(1280, 900);
        m_h.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_h.window.get()));
        for (int i = 0; i < 90; ++i) {
            m_h.window->monitorClock()->advance(1000);
            m_h.poll();
        }
        QWidget *widget = child<QWidget>(target.toLatin1().constData());
        QVERIFY(widget);
        // Shown as the operator sees it, so pictures have the tab's size.
        auto *tabs = child<QTabWidget>("tabWidget");
        for (QWidget *page = widget->parentWidget(); page; page = page->parentWidget()) {
            if (tabs->indexOf(page) >= 0)
                tabs->setCurrentWidget(page);
        }
        QApplication::processEvents();

        QMenu *menu = openContextMenu(widget);
        QVERIFY2(menu, "no context menu opened");
        QAction *action = entry(menu, path);
        QVERIFY2(action && action->isEnabled(), qPrintable(path.join(" > ")));
        const QPixmap picture = menu->grab();
        QVERIFY(!picture.isNull() && picture.width() > 50 && picture.height() > 20);

        const QString samples = qEnvironmentVariable("LQ_REPORT_SAMPLES_DIR");
        if (!samples.isEmpty())
            picture.save(QDir(samples).filePath("menu-" + target + ".png"));
        QTemporaryDir dir;
        menu->hide();
        QApplication::clipboard()->clear();
        if (!file.isEmpty())
            answerSaveDialog(dir.filePath(file));
        action->trigger();
        menu->close();

        QByteArray written;
        if (file.isEmpty()) {
            written = QApplication::clipboard()->text().toUtf8();
        } else {
            QFile out(dir.filePath(file));
            QVERIFY2(out.open(QIODevice::ReadOnly), qPrintable(file + " was not written"));
            written = out.readAll();
            if (!samples.isEmpty())
                QFile::copy(out.fileName(), QDir(samples).filePath(file));
        }
        const QByteArray start = expected.toUtf8();
        QVERIFY2(written.startsWith(start) || (start.size() < 20 && written.contains(start)),
                 written.left(200).constData());
        if (file.endsWith(".png")) {
            QCustomPlot *plot = child<QCustomPlot>(target.toLatin1().constData());
            QCOMPARE(QImage::fromData(written).size(), plot->size() * (file.contains("2x") ? 2 : 1));
        }
    }
};

QTEST_MAIN(tst_Monitoring)
#include "tst_monitoring.moc"
