// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Direct capture from the Capture tab: Start and Stop in the window, simulated
// traffic in between, and Wireshark's own tools reading what the device wrote.

#include "modalanswerer.h"
#include "windowharness.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <cerrno>

namespace {
const char *const kMac = "02:4c:51:00:08:01";

// The tool's output, or a failed test when it does not run cleanly.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
                    process.exitCode() == 0;
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    if (!ok)
        QTest::qFail(qPrintable(program + ": " + out), __FILE__, __LINE__);
    return out;
}
} // namespace

class tst_CaptureFlow : public QObject {
    Q_OBJECT
    WindowHarness h;
    QTemporaryDir dir;

    // The window on the device, the file name set, Start clicked.
    QPushButton *start(const QString &file)
    {
        if (!h.open(kMac, WindowHarness::device(10, kMac)))
            return nullptr;
        h.poll();
        h.child<QLineEdit>("capture_filename")->setText(file);
        auto *button = h.child<QPushButton>("capture_start_btn");
        if (!button->isEnabled())
            return nullptr;
        button->click();
        return button;
    }

private slots:
    void initTestCase() { WindowHarness::prepare(); }
    void cleanup() { h.close(); }

    void startStopFromTheTabWritesReadableFiles()
    {
        const QString file = dir.filePath("run-\u00e9.pcapng");
        QPushButton *button = start(file);
        QVERIFY(button);
        for (int s = 0; s < 4; ++s)
            h.poll();
        QVERIFY(h.poll().diskDumpStatus.running);
        QTRY_VERIFY(button->isEnabled());
        button->click(); // Stop
        const StatsThreadInfo stopped = h.poll();
        QVERIFY(!stopped.diskDumpStatus.running);
        QCOMPARE(stopped.diskDumpStatus.errorCode, 0);

        const QString info = run("capinfos", {"-M", file});
        QVERIFY2(info.contains(QRegularExpression("Number of interfaces in file:\\s+2")), qPrintable(info));
        const QRegularExpressionMatch packets = QRegularExpression("Number of packets:\\s+(\\d+)").match(info);
        QVERIFY2(packets.hasMatch() && packets.captured(1).toInt() > 0, qPrintable(info));
        // Every frame on one of the two ports (tshark's own notes are other lines).
        const QStringList names =
            run("tshark", {"-r", file, "-T", "fields", "-e", "frame.interface_name"}).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(names.count("Port A") + names.count("Port B"), packets.captured(1).toInt());
        QVERIFY(names.contains("Port A") && names.contains("Port B"));
    }

    // A capture that cannot write tells the operator once, not at every poll,
    // and leaves the tab ready for another try.
    void unwritableFileGivesOneBox()
    {
        ModalAnswerer boxes;
        QPushButton *button = start(dir.filePath("missing/run.pcapng"));
        QVERIFY(button);
        StatsThreadInfo last;
        for (int s = 0; s < 5; ++s)
            last = h.poll();
        QCOMPARE(last.diskDumpStatus.errorCode, ENOENT);
        QVERIFY(!last.diskDumpStatus.running);
        QTRY_COMPARE(boxes.titles, QStringList{"Direct Capture"});
        QTRY_VERIFY(button->isEnabled());
        QCOMPARE(button->text(), QString("Start Capture"));
    }
};

QTEST_MAIN(tst_CaptureFlow)
#include "tst_captureflow.moc"
