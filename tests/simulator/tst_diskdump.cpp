// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Direct capture files, read back by the Wireshark tools: whatever the writer
// produces has to open in the programs our users open it with.

#include "lqsim.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kStartMs = 1767225600000; // 2026-01-01
constexpr const char *kMac = "02:4c:51:00:20:01";

struct Run {
    int exitCode = -1;
    QString output;
};

// posix_spawn rather than QProcess, for the reason tst_simulator gives.
// A missing tool is an exit code of 127 or -1, which every caller treats as
// a failure: these tests must not pass on a machine that cannot check them.
Run runTool(const char *tool, const QStringList &arguments, const QString &outputFile)
{
    std::vector<std::string> strings{tool};
    for (const QString &argument : arguments)
        strings.push_back(argument.toStdString());
    std::vector<char *> argv;
    for (std::string &s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = outputFile.toStdString();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    // Apart, since tshark warns on stderr when it runs as root.
    const std::string err = out + ".err";
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Run run;
    pid_t pid = 0;
    int status = 0;
    const int spawned = posix_spawnp(&pid, tool, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid)
        return run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    QFile file(outputFile);
    if (file.open(QIODevice::ReadOnly))
        run.output = QString::fromUtf8(file.readAll());
    QFile errors(QString::fromStdString(err));
    if (run.exitCode != 0 && errors.open(QIODevice::ReadOnly))
        run.output += QString::fromUtf8(errors.readAll());
    return run;
}

QByteArray scenario(const QByteArray &features, const char *traffic, const QByteArray &extra)
{
    return R"({"devices":[{"type":12,"mac":")" + QByteArray(kMac) + R"(","features":{)" + features +
           R"(},"traffic":{"load":)" + traffic + "}" + extra + "}]}";
}

QStringList captureFiles(const QString &dir)
{
    QStringList names = QDir(dir).entryList({"*.pcapng"}, QDir::Files, QDir::Name);
    for (QString &name : names)
        name = dir + '/' + name;
    return names;
}

} // namespace

class tst_DiskDump : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_captureDir;
    std::wstring m_path;

    uint64_t handle() const { return lqsim_handle_of(kMac); }

    void startDevice(const QByteArray &features, const char *traffic = "0.3", const QByteArray &extra = {})
    {
        QCOMPARE(lqsim_load_scenario_text(scenario(features, traffic, extra).constData()), 0);
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        QVERIFY(handle() != 0);
    }

    int configure(const QString &path, uint64_t maxSize, uint32_t count, bool loop, uint32_t duration,
                  uint64_t buffer = 64ull << 20)
    {
        m_path = path.toStdWString();
        DiskDumpConfig config{};
        config.loop = loop ? 1 : 0;
        config.fileFormat = LQ_DISK_DUMP_FORMAT_PCAPNG;
        config.path = m_path.data();
        config.maxFileSize = maxSize;
        config.bufferSize = buffer;
        config.fileCount = count;
        config.maxFileDuration = duration;
        return LumenquillAPIDiskDumpSetConfig(handle(), config);
    }

    DiskDumpStatus status()
    {
        DiskDumpStatus s{};
        [&] { QCOMPARE(LumenquillAPIDiskDumpGetStatus(handle(), &s), 0); }();
        return s;
    }

    // Which frames end in an FCS that Wireshark checks.
    enum Fcs { NoFcs, EveryFrame, WholeFrames };

    // Reads one file with both tools; answers the packets tshark saw.
    int checkFile(const QString &file, int snapLength, Fcs fcs)
    {
        const QString out = m_dir.filePath("tool.txt");
        const Run info = runTool("capinfos", {"-M", file}, out);
        [&] {
            QVERIFY2(info.exitCode == 0, qPrintable("capinfos failed on " + file + ": " + info.output));
            QVERIFY2(info.output.contains(QRegularExpression("Number of interfaces in file:\\s*2")),
                     qPrintable(info.output));
            QVERIFY2(info.output.contains("Name = Port A") && info.output.contains("Name = Port B"),
                     qPrintable(info.output));
            QVERIFY2(info.output.contains("nanoseconds"), qPrintable(info.output));
            QVERIFY2(info.output.contains(QString("Capture length = %1").arg(snapLength)), qPrintable(info.output));
        }();
        const Run read = runTool("tshark", {"-r", file, "-T", "fields", "-e", "frame.interface_id", "-e",
                                            "frame.cap_len", "-e", "frame.len", "-e", "eth.fcs.status"},
                                 out);
        int packets = -1;
        [&] {
            QVERIFY2(read.exitCode == 0, qPrintable("tshark failed on " + file + ": " + read.output));
            const QStringList lines = read.output.split('\n', Qt::SkipEmptyParts);
            int whole = 0;
            for (const QString &line : lines) {
                const QStringList fields = line.split('\t');
                QVERIFY2(fields.size() == 4, qPrintable(line));
                QVERIFY2(fields[0] == "0" || fields[0] == "1", qPrintable(line));
                QVERIFY2(fields[1].toInt() <= snapLength, qPrintable(line));
                // Without keep_crc Wireshark may still guess an FCS, so its
                // absence is asserted only where the file says there is none.
                const bool isWhole = fields[1] == fields[2];
                whole += isWhole;
                if (fcs == EveryFrame || (fcs == WholeFrames && isWhole))
                    QVERIFY2(!fields[3].isEmpty(), qPrintable("no FCS checked: " + line));
                if (fcs == WholeFrames && !isWhole)
                    QVERIFY2(fields[3].isEmpty(), qPrintable("a cut frame read as having an FCS: " + line));
            }
            // Both kinds of frame must have been seen for the check to mean anything.
            if (fcs == WholeFrames)
                QVERIFY2(whole > 0 && whole < int(lines.size()), qPrintable(QString::number(whole)));
            packets = int(lines.size());
        }();
        return packets;
    }

    int checkAll(const QStringList &files, int snapLength, Fcs fcs = NoFcs)
    {
        int total = 0;
        for (const QString &file : files) {
            const int packets = checkFile(file, snapLength, fcs);
            if (packets < 0)
                return -1;
            total += packets;
        }
        return total;
    }

    uint64_t writtenPackets(uint64_t *files = nullptr)
    {
        uint64_t packets = 0, opened = 0;
        [&] { QCOMPARE(lqsim_disk_dump_written(kMac, &packets, &opened), 0); }();
        if (files)
            *files = opened;
        return packets;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_captureDir = m_dir.filePath(QString("c%1").arg(QDateTime::currentMSecsSinceEpoch()));
        QVERIFY(QDir().mkpath(m_captureDir));
        lqsim_use_manual_clock(kStartMs);
    }

    void cleanup() { QCOMPARE(LumenquillAPIUninitialize(), 0); }

    void filesMatchTheSettings_data()
    {
        QTest::addColumn<QByteArray>("features");
        QTest::addColumn<int>("snapLength");
        QTest::addColumn<int>("fcs");
        QTest::newRow("plain") << QByteArray() << 65535 << int(NoFcs);
        QTest::newRow("sliced") << QByteArray(R"("packet_slicing":1,"slicing_length":128)") << 128 << int(NoFcs);
        QTest::newRow("keep crc") << QByteArray(R"("keep_crc":1)") << 65535 << int(EveryFrame);
        // Slicing cuts the FCS off the longer frames.
        QTest::newRow("sliced, keep crc") << QByteArray(R"("keep_crc":1,"packet_slicing":1,"slicing_length":96)") << 96
                                          << int(WholeFrames);
    }

    void filesMatchTheSettings()
    {
        QFETCH(QByteArray, features);
        QFETCH(int, snapLength);
        QFETCH(int, fcs);
        startDevice(features);
        const QString path = m_captureDir + "/capture.pcapng";
        QCOMPARE(configure(path, 0, 0, false, 0), 0);
        QCOMPARE(LumenquillAPIDiskDumpStart(handle()), 0);
        QCOMPARE(status().running, uint8_t(1));
        lqsim_advance_clock(3000);
        QCOMPARE(LumenquillAPIDiskDumpStop(handle()), 0);
        const DiskDumpStatus after = status();
        QCOMPARE(after.running, uint8_t(0));
        QCOMPARE(after.errorCode, 0);
        QVERIFY(after.writtenBytes > 0);
        QCOMPARE(after.bufferedBytes, uint64_t(0));
        QCOMPARE(captureFiles(m_captureDir), QStringList{path});
        const uint64_t reported = writtenPackets();
        QVERIFY(reported > 100);
        QCOMPARE(uint64_t(checkAll({path}, snapLength, Fcs(fcs))), reported);
    }

    void rotation_data()
    {
        QTest::addColumn<uint64_t>("maxSize");
        QTest::addColumn<uint32_t>("count");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<uint32_t>("duration");
        QTest::addColumn<int>("expectedFiles"); // -1: more than one, unbounded
        QTest::addColumn<bool>("stopsByItself");
        QTest::newRow("by size") << uint64_t(64 * 1024) << 0u << false << 0u << -1 << false;
        QTest::newRow("by count") << uint64_t(64 * 1024) << 3u << false << 0u << 3 << true;
        QTest::newRow("loop") << uint64_t(64 * 1024) << 3u << true << 0u << 3 << false;
        QTest::newRow("by duration") << uint64_t(0) << 0u << false << 2u << 5 << false;
    }

    void rotation()
    {
        QFETCH(uint64_t, maxSize);
        QFETCH(uint32_t, count);
        QFETCH(bool, loop);
        QFETCH(uint32_t, duration);
        QFETCH(int, expectedFiles);
        QFETCH(bool, stopsByItself);
        startDevice({});
        const QString path = m_captureDir + "/capture.pcapng";
        QCOMPARE(configure(path, maxSize, count, loop, duration), 0);
        QCOMPARE(LumenquillAPIDiskDumpStart(handle()), 0);
        lqsim_advance_clock(10000);
        QCOMPARE(status().running, uint8_t(stopsByItself ? 0 : 1));
        QCOMPARE(LumenquillAPIDiskDumpStop(handle()), 0);
        QCOMPARE(status().errorCode, 0);

        uint64_t opened = 0;
        const uint64_t reported = writtenPackets(&opened);
        const QStringList files = captureFiles(m_captureDir);
        if (expectedFiles < 0)
            QVERIFY2(files.size() > 2, qPrintable(files.join(' ')));
        else
            QCOMPARE(int(files.size()), expectedFiles);
        for (const QString &file : files) {
            if (maxSize != 0)
                QVERIFY(uint64_t(QFileInfo(file).size()) <= maxSize);
        }
        const int inFiles = checkAll(files, 65535);
        if (loop) {
            // The ring keeps the newest files under their sequence numbers.
            QVERIFY(opened > uint64_t(count));
            QStringList newest;
            for (uint64_t i = opened - count; i < opened; ++i)
                newest << m_captureDir + QString("/capture_%1.pcapng").arg(i, 5, 10, QChar('0'));
            QCOMPARE(files, newest);
            QVERIFY(uint64_t(inFiles) < reported);
        } else {
            QCOMPARE(uint64_t(files.size()), opened);
            QCOMPARE(uint64_t(inFiles), reported);
            QCOMPARE(files.first(), path);
            for (int i = 1; i < files.size(); ++i)
                QCOMPARE(files[i], m_captureDir + QString("/capture_%1.pcapng").arg(i, 5, 10, QChar('0')));
        }
    }

    void unwritablePathReportsAnError_data()
    {
        QTest::addColumn<QString>("relativePath"); // to the capture folder, or absolute
        QTest::addColumn<int>("error");
        QTest::newRow("missing folder") << "missing/capture.pcapng" << ENOENT;
        QTest::newRow("a folder") << "." << EISDIR;
        QTest::newRow("full disk") << "/dev/full" << ENOSPC; // opens, every write fails
    }

    void unwritablePathReportsAnError()
    {
        QFETCH(QString, relativePath);
        QFETCH(int, error);
        startDevice({});
        const QString path = relativePath.startsWith('/') ? relativePath : m_captureDir + '/' + relativePath;
        QCOMPARE(configure(path, 0, 0, false, 0), 0);
        QCOMPARE(LumenquillAPIDiskDumpStart(handle()), 0);
        lqsim_advance_clock(1000);
        const DiskDumpStatus s = status();
        QCOMPARE(s.running, uint8_t(0));
        QCOMPARE(s.errorCode, error);
        QCOMPARE(writtenPackets(), uint64_t(0));
        QCOMPARE(LumenquillAPIDiskDumpStop(handle()), 0);
    }

    // A disk that fills mid-capture (here a file size limit) stops the
    // capture with the error and leaves the file readable up to its last
    // complete packet.
    void writeFailureLeavesAReadableFile()
    {
        startDevice({});
        const QString path = m_captureDir + "/capture.pcapng";
        QCOMPARE(configure(path, 0, 0, false, 0), 0);
        constexpr rlim_t kLimit = 3 << 20; // some twenty seconds of this traffic
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit small = saved;
        small.rlim_cur = kLimit;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        QCOMPARE(LumenquillAPIDiskDumpStart(handle()), 0);
        lqsim_advance_clock(40000);
        const DiskDumpStatus s = status();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
        QCOMPARE(s.running, uint8_t(0));
        QCOMPARE(s.errorCode, EFBIG);
        const uint64_t packets = writtenPackets();
        QVERIFY(packets > 0);
        QVERIFY(QFileInfo(path).size() <= qint64(kLimit));
        QCOMPARE(uint64_t(checkAll({path}, 65535)), packets);
        QCOMPARE(LumenquillAPIDiskDumpStop(handle()), 0);
    }

    void bufferFollowsTheDisk_data()
    {
        QTest::addColumn<QByteArray>("disk");
        QTest::addColumn<bool>("overflows");
        // Two 10G ports at full load bring 2.5 GB/s: the default disk falls
        // behind, a fast array keeps up.
        QTest::newRow("default disk") << QByteArray() << true;
        QTest::newRow("slow disk") << QByteArray(R"(,"disk_mbps":50)") << true;
        QTest::newRow("fast array") << QByteArray(R"(,"disk_mbps":10000)") << false;
    }

    void bufferFollowsTheDisk()
    {
        QFETCH(QByteArray, disk);
        QFETCH(bool, overflows);
        startDevice({}, "1.0", disk);
        const QString path = m_captureDir + "/capture.pcapng";
        const uint64_t buffer = 16ull << 20;
        QCOMPARE(configure(path, 0, 0, false, 0, buffer), 0);
        QCOMPARE(LumenquillAPIDiskDumpStart(handle()), 0);
        lqsim_advance_clock(2000);
        const DiskDumpStatus busy = status();
        QCOMPARE(busy.droppedBytes > 0, overflows);
        QCOMPARE(busy.bufferAlarm, uint8_t(overflows ? 1 : 0));
        QVERIFY(busy.bufferedBytes <= buffer);
        QVERIFY(busy.writtenBytes > 0);
        QCOMPARE(LumenquillAPIDiskDumpStop(handle()), 0);
        QCOMPARE(uint64_t(checkAll({path}, 65535)), writtenPackets());
    }

    void unplugAndUninitialiseLeaveValidFiles_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::newRow("unplug") << true;
        QTest::newRow("uninitialise") << false;
    }

    void unplugAndUninitialiseLeaveValidFiles()
    {
        QFETCH(bool, unplug);
        startDevice({});
        const QString path = m_captureDir + "/capture.pcapng";
        QCOMPARE(configure(path, 32 * 1024, 0, false, 0), 0);
        QCOMPARE(LumenquillAPIDiskDumpStart(handle()), 0);
        lqsim_advance_clock(4000);
        uint64_t packets = 0, files = 0;
        QCOMPARE(lqsim_disk_dump_written(kMac, &packets, &files), 0);
        if (unplug)
            QCOMPARE(lqsim_unplug(kMac), 0);
        else
            QCOMPARE(LumenquillAPIUninitialize(), 0);
        lqsim_advance_clock(0);
        const QStringList written = captureFiles(m_captureDir);
        QCOMPARE(uint64_t(written.size()), files);
        QCOMPARE(uint64_t(checkAll(written, 65535)), packets);
    }
};

QTEST_GUILESS_MAIN(tst_DiskDump)
#include "tst_diskdump.moc"
