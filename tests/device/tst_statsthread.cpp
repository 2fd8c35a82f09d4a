// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The statistics worker against the simulated device library: announcements and reads
// per capability set, set requests, failing library calls and firmware updates.

#include "lqsim.h"
#include "statsthread.h"
#include "updatethread.h"
#include "workerprobe.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <cwchar>
#include <memory>

namespace {
const char *const kMac = "02:4c:51:00:00:01";

template <typename T> bool same(const T &a, const T &b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
} // namespace

class tst_StatsThread : public QObject {
    Q_OBJECT
    uint64_t m_handle = 0;
    std::unique_ptr<StatsThread> m_worker;
    std::unique_ptr<WorkerProbe> m_probe;

    // Starts the worker on a device at kMac (and a second one of the same type) and waits for one announcement.
    void start(int type = 10, bool second = false)
    {
        const QByteArray device = "{\"type\":" + QByteArray::number(type) + ",\"mac\":\"02:4c:51:00:00:0";
        const QByteArray json = "{\"devices\":[" + device + "1\"}" + (second ? "," + device + "2\"}" : "") + "]}";
        QCOMPARE(lqsim_load_scenario_text(json.constData()), 0);
        lqsim_reset_call_counts();
        m_worker = std::make_unique<StatsThread>();
        m_probe = std::make_unique<WorkerProbe>(m_worker.get());
        m_worker->startLibrary();
        lqsim_advance_clock(0);
        QTRY_COMPARE(m_probe->added.size(), 1);
        m_handle = lqsim_handle_of(kMac);
    }

private slots:
    void initTestCase() { registerStatsThreadInfo(); }
    void init()
    {
        lqsim_use_manual_clock(1764892800000ull); // 2025-12-05 00:00 UTC
        lqsim_clear_failures();
    }
    void cleanup()
    {
        m_probe.reset();
        m_worker.reset(); // stops the thread and uninitialises the library
    }

    void readsByCapability_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("configurable"); // these also keep statistics
        QTest::addColumn<bool>("timing");
        QTest::newRow("1G+ GPS PoE: everything") << 10 << true << true;
        QTest::newRow("1G v6: no timing") << 14 << true << false;
        QTest::newRow("1G: no timing") << 3 << true << false;
        QTest::newRow("unknown: identity only") << 99 << false << false;
    }
    void readsByCapability()
    {
        QFETCH(int, type);
        QFETCH(bool, configurable);
        QFETCH(bool, timing);
        start(type);
        QCOMPARE(lqsim_call_count("LumenquillAPIGetDeviceFeatures"), uint64_t(configurable));
        StatsThreadInfo device = makeRequest(m_handle); // as the library answers
        QCOMPARE(LumenquillAPIGetDeviceMAC(m_handle, device.mac), 0);
        QCOMPARE(LumenquillAPIGetVersions(m_handle, &device.versions), 0);
        if (configurable) {
            QCOMPARE(LumenquillAPIGetDeviceFeatures(m_handle, &device.features), 0);
            QCOMPARE(LumenquillAPIGetDeviceExtraInfo(m_handle, &device.extraInfo), 0);
            QCOMPARE(LumenquillAPIGetDevicePortsSpeed(m_handle, &device.portsSpeed), 0);
        }
        const auto identifies = [&](const StatsThreadInfo &r) {
            return r.handle == m_handle && r.deviceType == uint32_t(type) &&
                   r.capabilities == LumenquillAPIGetDeviceCapabilities(uint32_t(type)) && same(r.mac, device.mac) &&
                   same(r.versions, device.versions) && same(r.features, device.features);
        };
        QVERIFY(identifies(m_probe->added.first()));

        lqsim_reset_call_counts();
        m_probe->request("slot_get_iface_status", makeRequest(m_handle));
        QTRY_COMPARE(m_probe->status.size(), 1);
        const StatsThreadInfo &reply = m_probe->status.first();
        QVERIFY(identifies(reply));
        for (const char *f :
             {"LumenquillAPIGetDeviceFeatures", "LumenquillAPIGetDevicePortsSpeed", "LumenquillAPIGetLinkStatus",
              "LumenquillAPIGetDeviceExtraInfo", "LumenquillAPIDiskDumpGetStatus", "LumenquillAPIGetStatistics"})
            QVERIFY2(lqsim_call_count(f) == uint64_t(configurable), f);
        QCOMPARE(lqsim_call_count("LumenquillAPIGetTimingStatus"), uint64_t(timing));
        if (!configurable)
            return;
        QCOMPARE(reply.extraInfo, device.extraInfo);
        QVERIFY(reply.statistics.sampleTimeMs > 0);

        StatsThreadInfo request = makeRequest(m_handle);
        request.counterV2Config.index = 11; // the answer is the request record, filled in
        m_probe->request("slot_get_features", request);
        QTRY_COMPARE(m_probe->features.size(), 1);
        QCOMPARE(m_probe->features.first().counterV2Config.index, 11u);
        QVERIFY(same(m_probe->features.first().portsSpeed, device.portsSpeed));
    }

    void failingReadAnswersNothing_data()
    {
        QTest::addColumn<QByteArray>("function"); // without its "LumenquillAPI" prefix
        QTest::addColumn<QByteArray>("slot");     // empty: the device's announcement
        QTest::addColumn<QByteArray>("readBefore");
        const auto row = [](const char *f, const char *slot, const char *before = "") {
            QTest::addRow("%s, %s", *slot ? slot : "announcement", f)
                << QByteArray(f) << QByteArray(slot) << QByteArray(before);
        };
        for (const char *f : {"GetDeviceType", "GetDeviceMAC", "GetVersions", "GetDeviceFeatures"})
            row(f, "");
        row("GetDeviceType", "slot_get_iface_status");
        row("GetVersions", "slot_get_iface_status", "GetDeviceMAC");
        row("GetLinkStatus", "slot_get_iface_status", "GetDevicePortsSpeed");
        row("GetTimingStatus", "slot_get_iface_status", "GetStatistics");
        row("DiskDumpGetStatus", "slot_get_iface_status", "GetTimingStatus"); // the last read
        row("GetDeviceFeatures", "slot_get_features");
        row("GetDevicePortsSpeed", "slot_get_features", "GetDeviceFeatures");
        row("GetPacketFilter", "slot_get_simple_filter");
        row("GetDpiFilter", "slot_get_DPI_filter");
    }
    void failingReadAnswersNothing()
    {
        QFETCH(QByteArray, function);
        QFETCH(QByteArray, slot);
        QFETCH(QByteArray, readBefore);
        function.prepend("LumenquillAPI");
        if (slot.isEmpty()) {
            // Only the first device's identification fails; the second one's
            // announcement tells us the library has finished.
            QCOMPARE(lqsim_fail(function.constData(), LQSIM_FAIL_ONCE, 0, -5), 0);
            start(10, true);
            QCoreApplication::processEvents();
            QCOMPARE(m_probe->added.size(), 1);
            QVERIFY(lqsim_call_count(function.constData()) >= 2);
            return;
        }
        start();
        lqsim_reset_call_counts();
        QCOMPARE(lqsim_fail(function.constData(), LQSIM_FAIL_ONCE, 0, -7), 0);
        QList<StatsThreadInfo> &answers = slot == "slot_get_iface_status" ? m_probe->status
                                          : slot == "slot_get_features"   ? m_probe->features
                                          : slot == "slot_get_DPI_filter" ? m_probe->dpiFilters
                                                                          : m_probe->simpleFilters;
        m_probe->request(slot.constData(), makeRequest(m_handle));
        QVERIFY(m_probe->drain(m_handle)); // its own filter read succeeds: the failure was used up
        QCOMPARE(answers.size(), 0);
        QCOMPARE(lqsim_call_count(function.constData()), uint64_t(function.endsWith("PacketFilter") ? 2 : 1));
        if (!readBefore.isEmpty())
            QCOMPARE(lqsim_call_count(("LumenquillAPI" + readBefore).constData()), uint64_t(1));
        m_probe->request(slot.constData(), makeRequest(m_handle)); // the next request answers again
        QTRY_COMPARE(answers.size(), 1);
    }

    // Set requests pass their record through; a refused feature set sends no port speeds, and the capture path, which
    // the worker owns, is released exactly once whatever the answer (the sanitizer build checks that).
    void setRequests()
    {
        start();
        DevicePortsSpeed before{}, after{};
        QCOMPARE(LumenquillAPIGetDevicePortsSpeed(m_handle, &before), 0);
        lqsim_reset_call_counts();
        QCOMPARE(lqsim_fail("LumenquillAPISetDeviceFeatures", LQSIM_FAIL_ONCE, 0, -9), 0);
        QCOMPARE(lqsim_fail("LumenquillAPIDiskDumpSetConfig", LQSIM_FAIL_ONCE, 0, -2), 0);
        StatsThreadInfo request = makeRequest(m_handle);
        request.features.keep_crc = 1;
        request.portsSpeed.portA.speed_10_half = 1; // would change the device if sent
        m_probe->request("slot_set_features", request);
        const wchar_t *const path = L"/tmp/capture-\u00e9.pcapng";
        for (uint32_t files : {2u, 3u}) { // refused, then accepted
            request.diskDumpConfig.fileCount = files;
            request.diskDumpConfig.path = wcsdup(path);
            m_probe->request("slot_dd_set_config", request);
        }
        request.diskDumpConfig.path = nullptr;                                                      // the worker's now
        request.packetFilter = {1, LQ_FILTER_SRC_PORT, 0, {}, {}, {}, {}, 0, 80, 0, 0, 0, 0xc, {}}; // source port 80
        request.dpiFilter.enabled = 1;
        request.dpiFilter.pattern[0] = 'A';
        request.dpiFilter.pattern_mask = 0x1;
        for (const char *slot :
             {"slot_set_simple_filter", "slot_set_DPI_filter", "slot_get_simple_filter", "slot_get_DPI_filter"})
            m_probe->request(slot, request);
        QTRY_COMPARE(m_probe->dpiFilters.size(), 1);

        QCOMPARE(lqsim_call_count("LumenquillAPISetDeviceFeatures"), uint64_t(1));
        QCOMPARE(lqsim_call_count("LumenquillAPISetDevicePortsSpeed"), uint64_t(0));
        QCOMPARE(LumenquillAPIGetDevicePortsSpeed(m_handle, &after), 0);
        QVERIFY(same(before, after));
        QCOMPARE(lqsim_call_count("LumenquillAPIDiskDumpSetConfig"), uint64_t(2));
        DiskDumpConfig seen{};
        char seenPath[256] = {};
        QCOMPARE(lqsim_last_disk_dump_config(kMac, &seen, seenPath, sizeof seenPath), 0);
        QCOMPARE(seen.fileCount, 3u);
        QCOMPARE(QString::fromUtf8(seenPath), QString::fromWCharArray(path));
        QCOMPARE(m_probe->simpleFilters.size(), 1);
        QVERIFY(same(m_probe->simpleFilters.first().packetFilter, request.packetFilter));
        QVERIFY(same(m_probe->dpiFilters.first().dpiFilter, request.dpiFilter));
    }

    // The library takes the local 8-bit path widened byte by byte.
    void widePathKeepsByteValues()
    {
        for (const QByteArray &path : {QByteArray(), QByteArray("/tmp/\xc3\xa9\xff.img")}) {
            char buffer[kFirmwarePathBytes] = {};
            std::memcpy(buffer, path.constData(), std::size_t(path.size()));
            const std::vector<wchar_t> wide = UpdateThread::widePath(buffer, sizeof buffer);
            QCOMPARE(wide.size(), std::size_t(path.size()) + 1);
            for (int i = 0; i < path.size(); ++i)
                QCOMPARE(unsigned(wide[std::size_t(i)]), unsigned(static_cast<unsigned char>(path[i])));
            QCOMPARE(wide.back(), L'\0');
        }
    }

    // Firmware updates run on a thread of their own: one progress report per poll of
    // the library while the update runs, a final one, then exactly one status report.
    // The simulator's clock stands still until the test moves it, so every poll
    // before that finds the update running, and the first one after finds it over,
    // however slowly the threads happen to run.
    void update_data()
    {
        QTest::addColumn<QByteArray>("path"); // "good" and "corrupt" are images the image tool makes
        QTest::addColumn<int>("running");     // polls left to answer "running" before the clock moves
        QTest::newRow("refused at the start: missing image") << QByteArray("/nonexistent/firmware.img") << 0;
        QTest::newRow("good image") << QByteArray("good") << 2;
        QTest::newRow("corrupt image") << QByteArray("corrupt") << 1;
    }
    void update()
    {
        QFETCH(QByteArray, path);
        QFETCH(int, running);
        start();
        QTemporaryDir dir;
        const bool good = path == "good", made = good || path == "corrupt";
        if (made) {
            const QString image = dir.filePath(path + ".img");
            QStringList options{"--type", "10", "--output", image};
            QCOMPARE(QProcess::execute(LQSIM_MKFIRMWARE, good ? options : options << "--corrupt"), 0);
            path = image.toLocal8Bit();
        }
        const char *const poll = "LumenquillAPIFirmwareUpdateGetProgress";
        StatsThreadInfo request = makeRequest(m_handle);
        std::memcpy(request.firmwarePath, path.constData(), std::size_t(path.size()) + 1);
        request.updateSucceeded = !good; // must be overwritten
        m_probe->request("slot_update_start", request);
        if (made) {
            // Wait for the polls themselves, not for their reports to cross two threads.
            QTRY_VERIFY_WITH_TIMEOUT(lqsim_call_count(poll) >= uint64_t(running), 10000);
            lqsim_advance_clock(600000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_probe->updateStatus.size(), 1, 10000);
        const uint64_t polls = lqsim_call_count(poll);
        QTest::qWait(200); // nothing may follow: no report, no further poll
        QCOMPARE(lqsim_call_count(poll), polls);
        const StatsThreadInfo &status = m_probe->updateStatus.first();
        QCOMPARE(status.handle, request.handle);
        QCOMPARE(status.updateSucceeded, uint8_t(good));
        // A report for every poll and a final one, none lost, the status once and last.
        QCOMPARE(m_probe->order, QStringList(int(made ? polls + 1 : 0), "progress") << "status");
        if (!made) { // refused before any poll
            QCOMPARE(polls, uint64_t(0));
            return;
        }
        QVERIFY(polls > uint64_t(running)); // the update ran on after those polls
        // Every poll before the clock moved saw the update running, the last one its end.
        const QList<StatsThreadInfo> &progress = m_probe->progress;
        for (qsizetype i = 0; i + 2 < progress.size(); ++i)
            QVERIFY2(progress.at(i).updateProgress < 100u, qPrintable(QString::number(i)));
        QCOMPARE(progress.last().updateProgress, progress.at(progress.size() - 2).updateProgress);
        QCOMPARE(status.updateProgress, progress.last().updateProgress);
        if (!good)
            return;
        QCOMPARE(status.updateProgress, 100u);
        QCOMPARE(QByteArray(status.firmwarePath), path);
    }
};

QTEST_GUILESS_MAIN(tst_StatsThread)
#include "tst_statsthread.moc"
