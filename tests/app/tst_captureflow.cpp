// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Direct capture from the Capture tab to the files: Start and Stop in the
// window, simulated traffic in between, and Wireshark's own tools reading
// what the device wrote.

#include "modalanswerer.h"
#include "windowharness.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {
const char *const kMac = "02:4c:51:00:08:01";

QString run(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        *exitCode = -1;
    else
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
}
} // namespace

class tst_CaptureFlow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { WindowHarness::prepare(); }

    void startStopFromTheTabWritesReadableFiles()
    {
        WindowHarness h;
        QVERIFY(h.open(kMac, QByteArray(R"({"type":10,"mac":")") + kMac + "\"}"));
        h.poll();

        QTemporaryDir dir;
        const QString file = dir.filePath("run.pcapng");
        h.child<QLineEdit>("capture_filename")->setText(file);
        auto *start = h.child<QPushButton>("capture_start_btn");
        QVERIFY(start->isEnabled());
        start->click();
        for (int s = 0; s < 4; ++s)
            h.poll();
        QVERIFY(h.poll().diskDumpStatus.running);
        QTRY_VERIFY(start->isEnabled());
        start->click(); // Stop
        const StatsThreadInfo stopped = h.poll();
        QVERIFY(!stopped.diskDumpStatus.running);
        QCOMPARE(stopped.diskDumpStatus.errorCode, 0);

        int code = 0;
        const QString info = run("capinfos", {"-M", file}, &code);
        QVERIFY2(code == 0, qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression("Number of interfaces in file:\\s+2")), qPrintable(info));
        const QRegularExpressionMatch packets = QRegularExpression("Number of packets:\\s+(\\d+)").match(info);
        QVERIFY2(packets.hasMatch() && packets.captured(1).toInt() > 0, qPrintable(info));
        const QString frames = run("tshark", {"-r", file, "-T", "fields", "-e", "frame.interface_name"}, &code);
        QVERIFY2(code == 0, qPrintable(frames));
        // Every frame on one of the two ports (tshark's own notes, such as
        // running as root, are the other lines).
        const QStringList names = frames.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(names.count("Port A") + names.count("Port B"), packets.captured(1).toInt());
        QVERIFY(names.contains("Port A") && names.contains("Port B"));
    }

    // A capture that cannot write tells the operator once, not at every poll,
    // and leaves the tab ready for another try.
    void unwritableFileGivesOneBox()
    {
        ModalAnswerer boxes;
        WindowHarness h;
        QVERIFY(h.open(kMac, QByteArray(R"({"type":10,"mac":")") + kMac + "\"}"));
        h.poll();
        QTemporaryDir dir;
        h.child<QLineEdit>("capture_filename")->setText(dir.filePath("missing/run.pcapng"));
        auto *start = h.child<QPushButton>("capture_start_btn");
        start->click();
        StatsThreadInfo last;
        for (int s = 0; s < 5; ++s)
            last = h.poll();
        QCOMPARE(last.diskDumpStatus.errorCode, ENOENT);
        QVERIFY(!last.diskDumpStatus.running);
        QTRY_COMPARE(boxes.titles, QStringList{"Direct Capture"});
        QTRY_VERIFY(start->isEnabled());
        QCOMPARE(start->text(), QString("Start Capture"));
    }
};

QTEST_MAIN(tst_CaptureFlow)
#include "tst_captureflow.moc"
