// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The statistics worker against the simulated device library: what it
// announces, which blocks each reply carries for each capability set, and how
// it behaves when a library call fails.

#include "lqsim.h"
#include "statsthread.h"
#include "workerprobe.h"

#include <QTest>

#include <cstring>
#include <cwchar>
#include <memory>

namespace {

const char *const kMac = "02:4c:51:00:00:01";
const char *const kOtherMac = "02:4c:51:00:00:02";

QByteArray scenario(int type, int otherType = -1)
{
    QByteArray json = QByteArray("{\"devices\":[{\"type\":") + QByteArray::number(type) + ",\"mac\":\"" + kMac + "\"}";
    if (otherType >= 0)
        json += QByteArray(",{\"type\":") + QByteArray::number(otherType) + ",\"mac\":\"" + kOtherMac + "\"}";
    return json + "]}";
}

} // namespace

class tst_StatsThread : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerStatsThreadInfo(); }
    void init();
    void cleanup();

    void announcesIdentity_data();
    void announcesIdentity();
    void failingIdentificationAnnouncesNothing_data();
    void failingIdentificationAnnouncesNothing();
    void statusReadsBlocksByCapability_data();
    void statusReadsBlocksByCapability();
    void failingReadSuppressesWholeStatus_data();
    void failingReadSuppressesWholeStatus();
    void featuresAnswerNeedsBothReads_data();
    void featuresAnswerNeedsBothReads();
    void failingSetFeaturesLeavesPortSpeedsUntouched();
    void setFeaturesAppliesBoth();
    void filtersReadAndSet();
    void capturePathFreedOnce_data();
    void capturePathFreedOnce();
    void gpsClockSetPassesStraightThrough();
    void removalAnnouncesHandleOnly();

private:
    // Starts the worker on the given scenario and waits for its announcements.
    void start(const QByteArray &json, int expectedDevices);
    uint64_t handle(const char *mac = kMac) const { return lqsim_handle_of(mac); }

    std::unique_ptr<StatsThread> m_worker;
    std::unique_ptr<WorkerProbe> m_probe;
};

void tst_StatsThread::init()
{
    lqsim_use_manual_clock(1764892800000ull); // 2025-12-05 00:00 UTC
    lqsim_clear_failures();
}

void tst_StatsThread::cleanup()
{
    m_probe.reset();
    m_worker.reset(); // stops the thread and uninitialises the library
    lqsim_clear_failures();
}

void tst_StatsThread::start(const QByteArray &json, int expectedDevices)
{
    QCOMPARE(lqsim_load_scenario_text(json.constData()), 0);
    lqsim_reset_call_counts();
    m_worker = std::make_unique<StatsThread>();
    m_probe = std::make_unique<WorkerProbe>(m_worker.get());
    m_worker->startLibrary();
    lqsim_advance_clock(0);
    QTRY_COMPARE(m_probe->added.size(), expectedDevices);
}

void tst_StatsThread::announcesIdentity_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("withFeatures");
    QTest::newRow("1G+ GPS PoE reads its features") << 10 << true;
    QTest::newRow("1G v6 reads its features") << 14 << true;
    QTest::newRow("unknown type has no capabilities") << 99 << false;
}

void tst_StatsThread::announcesIdentity()
{
    QFETCH(int, type);
    QFETCH(bool, withFeatures);
    start(scenario(type), 1);

    const StatsThreadInfo &info = m_probe->added.first();
    QCOMPARE(info.handle, handle());
    QCOMPARE(info.deviceType, uint32_t(type));
    QCOMPARE(info.capabilities, LumenquillAPIGetDeviceCapabilities(uint32_t(type)));
    uint8_t mac[6] = {};
    QCOMPARE(LumenquillAPIGetDeviceMAC(info.handle, mac), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(info.mac), 6), QByteArray(reinterpret_cast<char *>(mac), 6));
    DeviceVersions versions{};
    QCOMPARE(LumenquillAPIGetVersions(info.handle, &versions), 0);
    QCOMPARE(std::memcmp(&info.versions, &versions, sizeof versions), 0);
    QCOMPARE(lqsim_call_count("LumenquillAPIGetDeviceFeatures"), uint64_t(withFeatures ? 1 : 0));
    if (withFeatures) {
        DeviceFeatures features{};
        QCOMPARE(LumenquillAPIGetDeviceFeatures(info.handle, &features), 0);
        QCOMPARE(std::memcmp(&info.features, &features, sizeof features), 0);
    }
}

void tst_StatsThread::failingIdentificationAnnouncesNothing_data()
{
    QTest::addColumn<QByteArray>("function");
    QTest::newRow("type") << QByteArray("LumenquillAPIGetDeviceType");
    QTest::newRow("MAC") << QByteArray("LumenquillAPIGetDeviceMAC");
    QTest::newRow("versions") << QByteArray("LumenquillAPIGetVersions");
    QTest::newRow("features") << QByteArray("LumenquillAPIGetDeviceFeatures");
}

void tst_StatsThread::failingIdentificationAnnouncesNothing()
{
    QFETCH(QByteArray, function);
    // The first device's identification fails once; the second one's does not,
    // which also tells us when the library has finished announcing.
    QCOMPARE(lqsim_fail(function.constData(), LQSIM_FAIL_ONCE, 0, -5), 0);
    start(scenario(10, 10), 1);
    QCoreApplication::processEvents();
    QCOMPARE(m_probe->added.size(), 1);
    QVERIFY(lqsim_call_count(function.constData()) >= 2);
}

void tst_StatsThread::statusReadsBlocksByCapability_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("read");
    QTest::addColumn<QStringList>("notRead");
    const QStringList configurable{"LumenquillAPIGetDeviceFeatures", "LumenquillAPIGetDevicePortsSpeed",
                                   "LumenquillAPIGetLinkStatus", "LumenquillAPIGetDeviceExtraInfo",
                                   "LumenquillAPIDiskDumpGetStatus"};
    QTest::newRow("1G+ GPS PoE: everything") << 10 << (configurable + QStringList{"LumenquillAPIGetStatistics", "LumenquillAPIGetTimingStatus"}) << QStringList{};
    QTest::newRow("1G v6: no timing") << 14 << (configurable + QStringList{"LumenquillAPIGetStatistics"}) << QStringList{"LumenquillAPIGetTimingStatus"};
    QTest::newRow("1G: no timing") << 3 << (configurable + QStringList{"LumenquillAPIGetStatistics"}) << QStringList{"LumenquillAPIGetTimingStatus"};
    QTest::newRow("unknown: identity only") << 99 << QStringList{}
                                            << (configurable + QStringList{"LumenquillAPIGetStatistics", "LumenquillAPIGetTimingStatus"});
}

void tst_StatsThread::statusReadsBlocksByCapability()
{
    QFETCH(int, type);
    QFETCH(QStringList, read);
    QFETCH(QStringList, notRead);
    start(scenario(type), 1);
    lqsim_reset_call_counts();

    m_probe->request("slot_get_iface_status", makeRequest(handle()));
    QTRY_COMPARE(m_probe->status.size(), 1);
    const StatsThreadInfo &reply = m_probe->status.first();
    QCOMPARE(reply.handle, handle());
    QCOMPARE(reply.deviceType, uint32_t(type));
    QCOMPARE(reply.capabilities, LumenquillAPIGetDeviceCapabilities(uint32_t(type)));
    for (const QString &f : read)
        QVERIFY2(lqsim_call_count(f.toLatin1().constData()) == 1, qPrintable(f));
    for (const QString &f : notRead)
        QVERIFY2(lqsim_call_count(f.toLatin1().constData()) == 0, qPrintable(f));

    if (reply.capabilities & LQ_CAP_CONFIGURABLE) {
        DeviceFeatures features{};
        QCOMPARE(LumenquillAPIGetDeviceFeatures(reply.handle, &features), 0);
        QCOMPARE(std::memcmp(&reply.features, &features, sizeof features), 0);
        uint32_t extra = 0;
        QCOMPARE(LumenquillAPIGetDeviceExtraInfo(reply.handle, &extra), 0);
        QCOMPARE(reply.extraInfo, extra);
    }
    if (reply.capabilities & LQ_CAP_STATS_PORTS)
        QCOMPARE(reply.statistics.sampleTimeMs > 0, true);
}

void tst_StatsThread::failingReadSuppressesWholeStatus_data()
{
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<QByteArray>("readBefore");
    QTest::newRow("timing, after statistics") << QByteArray("LumenquillAPIGetTimingStatus") << QByteArray("LumenquillAPIGetStatistics");
    QTest::newRow("capture status, last") << QByteArray("LumenquillAPIDiskDumpGetStatus") << QByteArray("LumenquillAPIGetTimingStatus");
    QTest::newRow("link status") << QByteArray("LumenquillAPIGetLinkStatus") << QByteArray("LumenquillAPIGetDevicePortsSpeed");
    QTest::newRow("type") << QByteArray("LumenquillAPIGetDeviceType") << QByteArray();
    QTest::newRow("versions") << QByteArray("LumenquillAPIGetVersions") << QByteArray("LumenquillAPIGetDeviceMAC");
}

void tst_StatsThread::failingReadSuppressesWholeStatus()
{
    QFETCH(QByteArray, function);
    QFETCH(QByteArray, readBefore);
    start(scenario(10), 1);
    lqsim_reset_call_counts();

    QCOMPARE(lqsim_fail(function.constData(), LQSIM_FAIL_ONCE, 0, -7), 0);
    m_probe->request("slot_get_iface_status", makeRequest(handle()));
    QVERIFY(m_probe->drain(handle()));
    QCOMPARE(m_probe->status.size(), 0);
    QCOMPARE(lqsim_call_count(function.constData()), uint64_t(1));
    if (!readBefore.isEmpty())
        QCOMPARE(lqsim_call_count(readBefore.constData()), uint64_t(1));

    // The next poll answers again.
    m_probe->request("slot_get_iface_status", makeRequest(handle()));
    QTRY_COMPARE(m_probe->status.size(), 1);
}

void tst_StatsThread::featuresAnswerNeedsBothReads_data()
{
    QTest::addColumn<QByteArray>("failing");
    QTest::addColumn<int>("answers");
    QTest::newRow("both succeed") << QByteArray() << 1;
    QTest::newRow("features fail") << QByteArray("LumenquillAPIGetDeviceFeatures") << 0;
    QTest::newRow("port speeds fail") << QByteArray("LumenquillAPIGetDevicePortsSpeed") << 0;
}

void tst_StatsThread::featuresAnswerNeedsBothReads()
{
    QFETCH(QByteArray, failing);
    QFETCH(int, answers);
    start(scenario(10), 1);
    if (!failing.isEmpty())
        QCOMPARE(lqsim_fail(failing.constData(), LQSIM_FAIL_ONCE, 0, -3), 0);
    StatsThreadInfo request = makeRequest(handle());
    request.counterV2Config.index = 11; // the answer is the request record, filled in
    m_probe->request("slot_get_features", request);
    QVERIFY(m_probe->drain(handle()));
    QCOMPARE(m_probe->features.size(), answers);
    if (answers) {
        const StatsThreadInfo &reply = m_probe->features.first();
        QCOMPARE(reply.counterV2Config.index, 11u);
        DevicePortsSpeed ports{};
        QCOMPARE(LumenquillAPIGetDevicePortsSpeed(handle(), &ports), 0);
        QCOMPARE(std::memcmp(&reply.portsSpeed, &ports, sizeof ports), 0);
    }
}

void tst_StatsThread::failingSetFeaturesLeavesPortSpeedsUntouched()
{
    start(scenario(10), 1);
    DevicePortsSpeed before{};
    QCOMPARE(LumenquillAPIGetDevicePortsSpeed(handle(), &before), 0);
    lqsim_reset_call_counts();

    QCOMPARE(lqsim_fail("LumenquillAPISetDeviceFeatures", LQSIM_FAIL_ONCE, 0, -9), 0);
    StatsThreadInfo request = makeRequest(handle());
    request.features.keep_crc = 1;
    request.portsSpeed.portA.speed_10_half = 1; // would change the device if sent
    m_probe->request("slot_set_features", request);
    QVERIFY(m_probe->drain(handle()));

    QCOMPARE(lqsim_call_count("LumenquillAPISetDeviceFeatures"), uint64_t(1));
    QCOMPARE(lqsim_call_count("LumenquillAPISetDevicePortsSpeed"), uint64_t(0));
    DevicePortsSpeed after{};
    QCOMPARE(LumenquillAPIGetDevicePortsSpeed(handle(), &after), 0);
    QCOMPARE(std::memcmp(&before, &after, sizeof before), 0);
}

void tst_StatsThread::setFeaturesAppliesBoth()
{
    start(scenario(10), 1);
    StatsThreadInfo request = makeRequest(handle());
    QCOMPARE(LumenquillAPIGetDeviceFeatures(handle(), &request.features), 0);
    QCOMPARE(LumenquillAPIGetDevicePortsSpeed(handle(), &request.portsSpeed), 0);
    request.features.keep_crc = 1;
    request.features.slicing_length = 128;
    request.portsSpeed.portB.symmetric_pause = 0;
    m_probe->request("slot_set_features", request);
    m_probe->request("slot_save_features", makeRequest(handle()));
    QVERIFY(m_probe->drain(handle()));

    DeviceFeatures features{};
    DevicePortsSpeed ports{};
    QCOMPARE(lqsim_last_features(kMac, &features), 0);
    QCOMPARE(lqsim_last_ports_speed(kMac, &ports), 0);
    QCOMPARE(std::memcmp(&features, &request.features, sizeof features), 0);
    QCOMPARE(std::memcmp(&ports, &request.portsSpeed, sizeof ports), 0);
    QCOMPARE(lqsim_call_count("LumenquillAPISaveDeviceFeatures"), uint64_t(1));
}

void tst_StatsThread::filtersReadAndSet()
{
    start(scenario(10), 1);
    StatsThreadInfo request = makeRequest(handle());
    request.packetFilter.enabled = 1;
    request.packetFilter.fields = LQ_FILTER_SRC_PORT;
    request.packetFilter.src_port = 80;
    request.packetFilter.port_mask = 0xc;
    request.dpiFilter.enabled = 1;
    request.dpiFilter.pattern[0] = 'A';
    request.dpiFilter.pattern_mask = 0x1;
    m_probe->request("slot_set_simple_filter", request);
    m_probe->request("slot_set_DPI_filter", request);
    m_probe->request("slot_get_simple_filter", makeRequest(handle()));
    m_probe->request("slot_get_DPI_filter", makeRequest(handle()));
    QTRY_COMPARE(m_probe->dpiFilters.size(), 1);
    QCOMPARE(m_probe->simpleFilters.size(), 1);
    QCOMPARE(std::memcmp(&m_probe->simpleFilters.first().packetFilter, &request.packetFilter, sizeof(PacketFilter)), 0);
    QCOMPARE(m_probe->dpiFilters.first().dpiFilter.pattern_mask, 0x1u);
    QCOMPARE(m_probe->dpiFilters.first().dpiFilter.pattern[0], uint8_t('A'));

    // A failing read answers nothing.
    QCOMPARE(lqsim_fail("LumenquillAPIGetPacketFilter", LQSIM_FAIL_ONCE, 0, -1), 0);
    QCOMPARE(lqsim_fail("LumenquillAPIGetDpiFilter", LQSIM_FAIL_ONCE, 0, -1), 0);
    m_probe->request("slot_get_simple_filter", makeRequest(handle()));
    m_probe->request("slot_get_DPI_filter", makeRequest(handle()));
    QVERIFY(m_probe->drain(handle())); // its own read succeeds: the failure was used up
    QCOMPARE(m_probe->simpleFilters.size(), 1);
    QCOMPARE(m_probe->dpiFilters.size(), 1);
}

void tst_StatsThread::capturePathFreedOnce_data()
{
    QTest::addColumn<bool>("libraryFails");
    QTest::newRow("accepted") << false;
    QTest::newRow("refused") << true;
}

void tst_StatsThread::capturePathFreedOnce()
{
    QFETCH(bool, libraryFails);
    start(scenario(10), 1);
    if (libraryFails)
        QCOMPARE(lqsim_fail("LumenquillAPIDiskDumpSetConfig", LQSIM_FAIL_ONCE, 0, -2), 0);

    // The worker owns the path from here on; the sanitizer build reports a
    // leak or a double free if it is not released exactly once.
    StatsThreadInfo request = makeRequest(handle());
    request.diskDumpConfig.fileCount = 3;
    request.diskDumpConfig.path = wcsdup(L"/tmp/capture-\u00e9.pcapng");
    m_probe->request("slot_dd_set_config", request);
    QVERIFY(m_probe->drain(handle()));

    QCOMPARE(lqsim_call_count("LumenquillAPIDiskDumpSetConfig"), uint64_t(1));
    DiskDumpConfig seen{};
    char path[256] = {};
    const int answer = lqsim_last_disk_dump_config(kMac, &seen, path, sizeof path);
    if (libraryFails) {
        QCOMPARE(answer, -1);
    } else {
        QCOMPARE(answer, 0);
        QCOMPARE(seen.fileCount, 3u);
        QCOMPARE(QString::fromUtf8(path), QString::fromWCharArray(L"/tmp/capture-\u00e9.pcapng"));
    }
}

void tst_StatsThread::gpsClockSetPassesStraightThrough()
{
    start(scenario(10), 1);
    StatsThreadInfo request = makeRequest(handle());
    request.timingTimeSet.source = LQ_TIME_SOURCE_GPS;
    m_probe->request("slot_timing_resync", request);
    QVERIFY(m_probe->drain(handle()));
    QCOMPARE(lqsim_call_count("LumenquillAPISetTimingTime"), uint64_t(1));
    TimingTimeSet seen{};
    QCOMPARE(lqsim_last_timing_time(kMac, &seen), 0);
    QCOMPARE(seen.source, uint32_t(LQ_TIME_SOURCE_GPS));
    QVERIFY(m_probe->sntpFailures.isEmpty());
}

void tst_StatsThread::removalAnnouncesHandleOnly()
{
    start(scenario(10, 14), 2);
    const uint64_t gone = handle(kOtherMac);
    QVERIFY(gone != 0);
    QCOMPARE(lqsim_unplug(kOtherMac), 0);
    lqsim_advance_clock(0);
    QTRY_COMPARE(m_probe->removed.size(), 1);
    QCOMPARE(m_probe->removed.first().handle, gone);
    QCOMPARE(m_probe->removed.first().deviceType, 0u);
    QCOMPARE(lqsim_handle_of(kOtherMac), uint64_t(0));
}

QTEST_GUILESS_MAIN(tst_StatsThread)
#include "tst_statsthread.moc"
