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

// posix_spawn rather than QProcess, for the reason tst_simulator gives.
// A missing tool is an exit code of 127 or -1, which every caller treats as
// a failure: these tests must not pass on a machine that cannot check them.
int runTool(const char *tool, const QStringList &arguments, const QString &outputFile, QString *output)
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
    // stderr apart, since tshark warns there when it runs as root.
    const std::string out = outputFile.toStdString(), err = out + ".err";
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    int status = 0;
    const int spawned = posix_spawnp(&pid, tool, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto read = [](const std::string &name) {
        QFile file(QString::fromStdString(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    *output = read(out) + (exitCode != 0 ? read(err) : QString());
    return exitCode;
}

QByteArray scenario(const QByteArray &features, const char *traffic, const QByteArray &extra)
{
    return R"({"devices":[{"type":12,"mac":")" + QByteArray(kMac) + R"(","features":{)" + features +
           R"(},"traffic":{"load":)" + traffic + "}" + extra + "}]}";
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

    QStringList captureFiles() const
    {
        QStringList names = QDir(m_captureDir).entryList({"*.pcapng"}, QDir::Files, QDir::Name);
        return names.replaceInStrings(QRegularExpression("^"), m_captureDir + '/');
    }

    QString capturePath(int sequence = 0) const
    {
        return m_captureDir +
               (sequence ? QString("/capture_%1.pcapng").arg(sequence, 5, 10, QChar('0')) : "/capture.pcapng");
    }

    void start(const QString &path, uint64_t maxSize = 0, uint32_t count = 0, bool loop = false, uint32_t duration = 0,
               uint64_t buffer = 64ull << 20)
    {
        m_path = path.toStdWString();
        DiskDumpConfig config{};
        config.loop = loop ? 1 : 0, config.fileFormat = LQ_DISK_DUMP_FORMAT_PCAPNG, config.path = m_path.data();
        config.maxFileSize = maxSize, config.bufferSize = buffer, config.fileCount = count;
        config.maxFileDuration = duration;
        QCOMPARE(LumenquillAPIDiskDumpSetConfig(handle(), config), 0);
        QCOMPARE(LumenquillAPIDiskDumpStart(handle()), 0);
    }

    DiskDumpStatus status()
    {
        DiskDumpStatus s{};
        [&] { QCOMPARE(LumenquillAPIDiskDumpGetStatus(handle(), &s), 0); }();
        return s;
    }

    // Which frames end in an FCS that Wireshark checks.
    enum Fcs { NoFcs, EveryFrame, WholeFrames };

    // Reads the files with both tools; answers the packets tshark saw in all.
    int check(const QStringList &files, int snapLength, Fcs fcs = NoFcs)
    {
        const QString out = m_dir.filePath("tool.txt");
        int total = 0;
        for (const QString &file : files) {
            QString info, read;
            const int infoExit = runTool("capinfos", {"-M", file}, out, &info);
            const int readExit = runTool("tshark", {"-r", file, "-T", "fields", "-e", "frame.interface_id", "-e",
                                                    "frame.cap_len", "-e", "frame.len", "-e", "eth.fcs.status"},
                                         out, &read);
            int packets = -1;
            [&] {
                QVERIFY2(infoExit == 0, qPrintable("capinfos failed on " + file + ": " + info));
                for (const QString &needed : {QString("Number of interfaces in file:\\s*2"), QString("Name = Port A"),
                                              QString("Name = Port B"), QString("nanoseconds"),
                                              QString("Capture length = %1").arg(snapLength)})
                    QVERIFY2(info.contains(QRegularExpression(needed)), qPrintable(needed + " not in " + info));
                QVERIFY2(readExit == 0, qPrintable("tshark failed on " + file + ": " + read));
                const QStringList lines = read.split('\n', Qt::SkipEmptyParts);
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
                    if (fcs != NoFcs) // on every frame, or on the whole ones only: a cut frame has none
                        QVERIFY2(fields[3].isEmpty() == (fcs == WholeFrames && !isWhole),
                                 qPrintable((fields[3].isEmpty() ? "no FCS checked: " : "cut frame with FCS: ") + line));
                }
                // Both kinds of frame must have been seen for the check to mean anything.
                if (fcs == WholeFrames)
                    QVERIFY2(whole > 0 && whole < int(lines.size()), qPrintable(QString::number(whole)));
                packets = int(lines.size());
            }();
            if (packets < 0)
                return -1;
            total += packets;
        }
        return total;
    }

    uint64_t writtenPackets(uint64_t *files = nullptr)
    {
        uint64_t packets = 0, opened = 0;
        [&] { QCOMPARE(lqsim_disk_dump_written(kMac, &packets, files ? files : &opened), 0); }();
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
        start(capturePath());
        QCOMPARE(status().running, uint8_t(1));
        lqsim_advance_clock(3000);
        QCOMPARE(LumenquillAPIDiskDumpStop(handle()), 0);
        const DiskDumpStatus after = status();
        QCOMPARE(after.running, uint8_t(0));
        QCOMPARE(after.errorCode, 0);
        QVERIFY(after.writtenBytes > 0);
        QCOMPARE(after.bufferedBytes, uint64_t(0));
        QCOMPARE(captureFiles(), QStringList{capturePath()});
        const uint64_t reported = writtenPackets();
        QVERIFY(reported > 100);
        QCOMPARE(uint64_t(check({capturePath()}, snapLength, Fcs(fcs))), reported);
    }

    void rotation_data()
    {
        QTest::addColumn<uint64_t>("maxSize");
        QTest::addColumn<uint32_t>("count");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<uint32_t>("duration");
        QTest::addColumn<int>("expectedFiles"); // -1: more than two, unbounded
        QTest::newRow("by size") << uint64_t(64 * 1024) << 0u << false << 0u << -1;
        QTest::newRow("by count") << uint64_t(64 * 1024) << 3u << false << 0u << 3; // then stops by itself
        QTest::newRow("loop") << uint64_t(64 * 1024) << 3u << true << 0u << 3;
        QTest::newRow("by duration") << uint64_t(0) << 0u << false << 2u << 5;
    }
    void rotation()
    {
        QFETCH(uint64_t, maxSize);
        QFETCH(uint32_t, count);
        QFETCH(bool, loop);
        QFETCH(uint32_t, duration);
        QFETCH(int, expectedFiles);
        startDevice({});
        start(capturePath(), maxSize, count, loop, duration);
        lqsim_advance_clock(10000);
        QCOMPARE(status().running, uint8_t(count && !loop ? 0 : 1));
        QCOMPARE(LumenquillAPIDiskDumpStop(handle()), 0);
        QCOMPARE(status().errorCode, 0);

        uint64_t opened = 0;
        const uint64_t reported = writtenPackets(&opened);
        const QStringList files = captureFiles();
        QVERIFY2(expectedFiles < 0 ? files.size() > 2 : files.size() == expectedFiles, qPrintable(files.join(' ')));
        for (const QString &file : files)
            QVERIFY(maxSize == 0 || uint64_t(QFileInfo(file).size()) <= maxSize);
        // Files under their sequence numbers, of which the ring keeps the newest.
        QVERIFY(!loop || opened > uint64_t(count));
        QStringList names;
        for (uint64_t i = loop ? opened - count : 0; i < opened; ++i)
            names << capturePath(int(i));
        QCOMPARE(files, names);
        const uint64_t inFiles = uint64_t(check(files, 65535));
        if (loop)
            QVERIFY(inFiles < reported);
        else
            QCOMPARE(inFiles, reported);
    }

    // A capture that cannot write stops with the error. A disk that fills mid-capture (here a file
    // size limit) leaves the file readable up to its last complete packet.
    void writeErrorsStopTheCapture_data()
    {
        QTest::addColumn<QString>("relativePath"); // to the capture folder, or absolute
        QTest::addColumn<qint64>("sizeLimit");
        QTest::addColumn<int>("error");
        QTest::newRow("missing folder") << "missing/capture.pcapng" << qint64(0) << ENOENT;
        QTest::newRow("a folder") << "." << qint64(0) << EISDIR;
        QTest::newRow("full disk") << "/dev/full" << qint64(0) << ENOSPC; // opens, every write fails
        QTest::newRow("disk fills") << "capture.pcapng" << qint64(3 << 20) << EFBIG; // some twenty seconds
    }
    void writeErrorsStopTheCapture()
    {
        QFETCH(QString, relativePath);
        QFETCH(qint64, sizeLimit);
        startDevice({});
        const QString path = relativePath.startsWith('/') ? relativePath : m_captureDir + '/' + relativePath;
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit small{sizeLimit ? rlim_t(sizeLimit) : saved.rlim_cur, saved.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        start(path);
        lqsim_advance_clock(sizeLimit ? 40000 : 1000);
        const DiskDumpStatus s = status();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
        QCOMPARE(s.running, uint8_t(0));
        QTEST(s.errorCode, "error");
        const uint64_t packets = writtenPackets();
        QCOMPARE(packets > 0, sizeLimit > 0);
        if (sizeLimit) {
            QVERIFY(QFileInfo(path).size() <= sizeLimit);
            QCOMPARE(uint64_t(check({path}, 65535)), packets);
        }
        QCOMPARE(LumenquillAPIDiskDumpStop(handle()), 0);
    }

    void bufferFollowsTheDisk_data()
    {
        QTest::addColumn<QByteArray>("disk");
        QTest::addColumn<bool>("overflows");
        // Two 10G ports at full load bring 2.5 GB/s: the default disk falls behind, a fast array keeps up.
        QTest::newRow("default disk") << QByteArray() << true;
        QTest::newRow("slow disk") << QByteArray(R"(,"disk_mbps":50)") << true;
        QTest::newRow("fast array") << QByteArray(R"(,"disk_mbps":10000)") << false;
    }
    void bufferFollowsTheDisk()
    {
        QFETCH(QByteArray, disk);
        QFETCH(bool, overflows);
        startDevice({}, "1.0", disk);
        start(capturePath(), 0, 0, false, 0, 16ull << 20);
        lqsim_advance_clock(2000);
        const DiskDumpStatus busy = status();
        QCOMPARE(busy.droppedBytes > 0, overflows);
        QCOMPARE(busy.bufferAlarm, uint8_t(overflows ? 1 : 0));
        QVERIFY(busy.bufferedBytes <= 16ull << 20);
        QVERIFY(busy.writtenBytes > 0);
        QCOMPARE(LumenquillAPIDiskDumpStop(handle()), 0);
        QCOMPARE(uint64_t(check({capturePath()}, 65535)), writtenPackets());
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
        start(capturePath(), 32 * 1024);
        lqsim_advance_clock(4000);
        uint64_t files = 0;
        const uint64_t packets = writtenPackets(&files);
        QCOMPARE(unplug ? lqsim_unplug(kMac) : LumenquillAPIUninitialize(), 0);
        lqsim_advance_clock(0);
        const QStringList written = captureFiles();
        QCOMPARE(uint64_t(written.size()), files);
        QCOMPARE(uint64_t(check(written, 65535)), packets);
    }
};

QTEST_GUILESS_MAIN(tst_DiskDump)
#include "tst_diskdump.moc"
