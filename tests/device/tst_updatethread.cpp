// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The firmware update worker against the simulated device library: one
// progress report a second while the library says "running", one final
// progress report, then exactly one status report, always last.

#include "lqsim.h"
#include "statsthread.h"
#include "updatethread.h"
#include "workerprobe.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>

namespace {

const char *const kMac = "02:4c:51:00:00:07";

// Writes a firmware image with the simulator's image tool.
bool makeImage(const QString &path, const QStringList &options)
{
    QProcess tool;
    tool.start(QStringLiteral(LQSIM_MKFIRMWARE), QStringList(options) << QStringLiteral("--output") << path);
    return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

StatsThreadInfo updateRequest(uint64_t handle, const QByteArray &path)
{
    StatsThreadInfo info = makeRequest(handle);
    std::memcpy(info.firmwarePath, path.constData(), static_cast<std::size_t>(path.size()) + 1);
    return info;
}

} // namespace

class tst_UpdateThread : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void widePathKeepsByteValues_data();
    void widePathKeepsByteValues();
    void startFailureReportsOnceWithoutProgress_data();
    void startFailureReportsOnceWithoutProgress();
    void progressThenOneStatus();
    void corruptImageEndsAsFailure();

private:
    uint64_t handle() const { return lqsim_handle_of(kMac); }

    QTemporaryDir m_dir;
    std::unique_ptr<StatsThread> m_worker;
    std::unique_ptr<WorkerProbe> m_probe;
};

void tst_UpdateThread::initTestCase()
{
    registerStatsThreadInfo();
    QVERIFY(m_dir.isValid());
}

void tst_UpdateThread::init()
{
    lqsim_use_manual_clock(1764892800000ull);
    lqsim_clear_failures();
    const QByteArray json = QByteArray("{\"devices\":[{\"type\":10,\"mac\":\"") + kMac + "\"}]}";
    QCOMPARE(lqsim_load_scenario_text(json.constData()), 0);
    m_worker = std::make_unique<StatsThread>();
    m_probe = std::make_unique<WorkerProbe>(m_worker.get());
    m_worker->startLibrary();
    lqsim_advance_clock(0);
    QTRY_COMPARE(m_probe->added.size(), 1);
}

void tst_UpdateThread::cleanup()
{
    m_probe.reset();
    m_worker.reset();
    lqsim_clear_failures();
}

void tst_UpdateThread::widePathKeepsByteValues_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("ascii") << QByteArray("/usr/share/lumenquill/firmware/1g.img");
    QTest::newRow("8-bit bytes stay unsigned") << QByteArray("/tmp/\xc3\xa9\xff.img");
}

void tst_UpdateThread::widePathKeepsByteValues()
{
    QFETCH(QByteArray, path);
    char buffer[kFirmwarePathBytes] = {};
    std::memcpy(buffer, path.constData(), static_cast<std::size_t>(path.size()));
    const std::vector<wchar_t> wide = UpdateThread::widePath(buffer, sizeof buffer);
    QCOMPARE(wide.size(), static_cast<std::size_t>(path.size()) + 1);
    for (int i = 0; i < path.size(); ++i)
        QCOMPARE(static_cast<unsigned>(wide[static_cast<std::size_t>(i)]), static_cast<unsigned>(static_cast<unsigned char>(path[i])));
    QCOMPARE(wide.back(), L'\0');
}

void tst_UpdateThread::startFailureReportsOnceWithoutProgress_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("injected");
    QTest::newRow("missing image") << QByteArray("/nonexistent/firmware.img") << false;
    QTest::newRow("empty path") << QByteArray() << false;
    QTest::newRow("library refuses") << QByteArray("/tmp/whatever.img") << true;
}

void tst_UpdateThread::startFailureReportsOnceWithoutProgress()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, injected);
    if (injected)
        QCOMPARE(lqsim_fail("LumenquillAPIFirmwareUpdateStart", LQSIM_FAIL_ALWAYS, 0, -4), 0);

    StatsThreadInfo request = updateRequest(handle(), path);
    request.updateSucceeded = 1; // must be overwritten
    m_probe->request("slot_update_start", request);
    QTRY_COMPARE(m_probe->updateStatus.size(), 1);
    QTest::qWait(200); // nothing else may follow
    QCOMPARE(m_probe->updateStatus.size(), 1);
    QCOMPARE(m_probe->progress.size(), 0);
    QCOMPARE(m_probe->updateStatus.first().updateSucceeded, uint8_t(0));
    QCOMPARE(m_probe->updateStatus.first().handle, handle());
    QCOMPARE(lqsim_call_count("LumenquillAPIFirmwareUpdateGetProgress"), uint64_t(0));
}

void tst_UpdateThread::progressThenOneStatus()
{
    const QString image = m_dir.filePath(QStringLiteral("good.img"));
    QVERIFY(makeImage(image, {QStringLiteral("--type"), QStringLiteral("10")}));

    // The simulator's clock stands still, so the update stays "running" until
    // the test lets time pass after the second progress report.
    m_probe->request("slot_update_start", updateRequest(handle(), image.toLocal8Bit()));
    QTRY_COMPARE_WITH_TIMEOUT(m_probe->progress.size(), 2, 5000);
    lqsim_advance_clock(600000);
    QTRY_COMPARE_WITH_TIMEOUT(m_probe->updateStatus.size(), 1, 5000);

    QCOMPARE(m_probe->order, (QStringList{"progress", "progress", "progress", "progress", "status"}));
    QCOMPARE(lqsim_call_count("LumenquillAPIFirmwareUpdateGetProgress"), uint64_t(3));
    QCOMPARE(m_probe->progress.at(2).updateProgress, 100u);
    QCOMPARE(m_probe->progress.at(3).updateProgress, 100u);
    QVERIFY(m_probe->progress.at(0).updateProgress < 100u);
    QCOMPARE(m_probe->updateStatus.first().updateSucceeded, uint8_t(1));
    QCOMPARE(m_probe->updateStatus.first().updateProgress, 100u);
    QCOMPARE(QByteArray(m_probe->updateStatus.first().firmwarePath), image.toLocal8Bit());
}

void tst_UpdateThread::corruptImageEndsAsFailure()
{
    const QString image = m_dir.filePath(QStringLiteral("corrupt.img"));
    QVERIFY(makeImage(image, {QStringLiteral("--type"), QStringLiteral("10"), QStringLiteral("--corrupt")}));

    m_probe->request("slot_update_start", updateRequest(handle(), image.toLocal8Bit()));
    QTRY_COMPARE_WITH_TIMEOUT(m_probe->progress.size(), 1, 5000);
    lqsim_advance_clock(600000);
    QTRY_COMPARE_WITH_TIMEOUT(m_probe->updateStatus.size(), 1, 5000);
    QCOMPARE(m_probe->order.last(), QStringLiteral("status"));
    QCOMPARE(m_probe->order.count(QStringLiteral("status")), 1);
    QCOMPARE(m_probe->updateStatus.first().updateSucceeded, uint8_t(0));
}

QTEST_GUILESS_MAIN(tst_UpdateThread)
#include "tst_updatethread.moc"
