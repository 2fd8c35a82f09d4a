// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The library called from several threads at once, as the manager does from
// its worker, GUI and firmware-update threads, while devices are plugged,
// unplugged and restarted under it. Meant to be run under ThreadSanitizer
// too; here it checks that every answer is one the library may give and that
// the announcements stay consistent.

#include "crc32generator.h"
#include "firmwareimage.h"
#include "lqsim.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

const char *const kMacs[] = {"02:4c:51:00:20:0a", "02:4c:51:00:20:0c", "02:4c:51:00:20:0e"};
const char *const kVisitor = "02:4c:51:00:20:03";
constexpr int kInjected = -77;

// What the threads saw: announcements, and answers no caller should get.
class Observer {
public:
    static void onNewDevice(uint64_t handle, void *context)
    {
        auto *self = static_cast<Observer *>(context);
        // Identify it as the manager does, from this very thread. Another
        // thread may restart the device meanwhile; a handle that still works,
        // though, must have answered.
        uint32_t type = 0;
        uint8_t mac[6] = {};
        DeviceVersions versions{};
        DeviceFeatures features{};
        const bool ok = LumenquillAPIGetDeviceType(handle, &type) == 0 && LumenquillAPIGetDeviceMAC(handle, mac) == 0 &&
                        LumenquillAPIGetVersions(handle, &versions) == 0 &&
                        LumenquillAPIGetDeviceFeatures(handle, &features) == 0;
        if (!ok && LumenquillAPIGetDeviceType(handle, &type) == 0)
            self->unexpected("identification", -1);
        std::lock_guard lock(self->m_mutex);
        self->m_seen.added.push_back(handle);
    }

    static void onDeviceGone(uint64_t handle, void *context)
    {
        auto *self = static_cast<Observer *>(context);
        std::lock_guard lock(self->m_mutex);
        self->m_seen.gone.push_back(handle);
    }

    void check(const char *what, int answer, std::initializer_list<int> allowed)
    {
        if (std::find(allowed.begin(), allowed.end(), answer) == allowed.end())
            unexpected(what, answer);
    }

    struct Seen {
        std::vector<uint64_t> added, gone;
        int failures = 0;
        std::string firstFailure;
    };
    // Copies everything out once the threads are done.
    Seen settle()
    {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }

private:
    void unexpected(const char *what, int answer)
    {
        std::lock_guard lock(m_mutex);
        if (m_seen.failures++ == 0)
            m_seen.firstFailure = std::string(what) + " answered " + std::to_string(answer);
    }

    std::mutex m_mutex;
    Seen m_seen;
};

constexpr int kGone = LQSIM_ERR_UNKNOWN_HANDLE;
constexpr int kUnsupported = LQSIM_ERR_NOT_SUPPORTED;

} // namespace

class tst_SimulatorConcurrency : public QObject {
    Q_OBJECT
private slots:
    void hammerWhileDevicesComeAndGo()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        lqsim::FirmwareImageHeader header;
        header.deviceTypes = {14};
        header.softwareVersion = {6, 0, 0, 0};
        std::vector<uint8_t> payload(50000, 0x5a);
        CRC32Generator crc;
        header.payloadCrc = uint32_t(crc.Generate(reinterpret_cast<char *>(payload.data()), payload.size()));
        const std::vector<uint8_t> image = lqsim::firmwareimage::encode(header, payload);
        const std::string imagePath = dir.filePath(QStringLiteral("fw.img")).toStdString();
        FILE *file = std::fopen(imagePath.c_str(), "wb");
        QVERIFY(file);
        QCOMPARE(std::fwrite(image.data(), 1, image.size(), file), image.size());
        std::fclose(file);
        const std::wstring wideImagePath(imagePath.begin(), imagePath.end());

        lqsim_use_manual_clock(1764892800000ull);
        lqsim_clear_failures();
        const std::string json = std::string("{\"devices\":[") + "{\"type\":10,\"mac\":\"" + kMacs[0] + "\"}," +
                                 "{\"type\":12,\"mac\":\"" + kMacs[1] + "\"}," + "{\"type\":14,\"mac\":\"" + kMacs[2] +
                                 "\"}]}";
        QCOMPARE(lqsim_load_scenario_text(json.c_str()), 0);
        Observer verdicts;
        LumenquillAPIAddNewDeviceCallback(&Observer::onNewDevice, &verdicts);
        LumenquillAPIAddDeviceGoneCallback(&Observer::onDeviceGone, &verdicts);
        QCOMPARE(LumenquillAPIInitialize(), 0);

        std::atomic<bool> stop{false};

        // The worker's status poll.
        std::thread reader([&] {
            while (!stop) {
                for (const char *mac : kMacs) {
                    const uint64_t h = lqsim_handle_of(mac);
                    uint32_t u = 0;
                    DeviceVersions versions{};
                    DeviceFeatures features{};
                    DevicePortsSpeed ports{};
                    LinkStatus link{};
                    DeviceStatistics statistics{};
                    TimingStatus timing{};
                    DiskDumpStatus dump{};
                    HwFirmwaresDesc variants{};
                    verdicts.check("type", LumenquillAPIGetDeviceType(h, &u), {0, kGone});
                    verdicts.check("versions", LumenquillAPIGetVersions(h, &versions), {0, kGone});
                    verdicts.check("features", LumenquillAPIGetDeviceFeatures(h, &features), {0, kGone});
                    verdicts.check("ports", LumenquillAPIGetDevicePortsSpeed(h, &ports), {0, kGone});
                    verdicts.check("link", LumenquillAPIGetLinkStatus(h, &link), {0, kGone});
                    verdicts.check("extra", LumenquillAPIGetDeviceExtraInfo(h, &u), {0, kGone});
                    verdicts.check("statistics", LumenquillAPIGetStatistics(h, &statistics), {0, kGone, kInjected});
                    verdicts.check("timing", LumenquillAPIGetTimingStatus(h, &timing), {0, kGone, kUnsupported});
                    verdicts.check("capture", LumenquillAPIDiskDumpGetStatus(h, &dump), {0, kGone});
                    verdicts.check("variants", LumenquillAPIGetHwFirmwaresDesc(h, &variants), {0, kGone});
                }
            }
        });

        // The GUI applying settings and the worker saving them.
        std::thread writer([&] {
            for (uint32_t i = 0; !stop; ++i) {
                const char *mac = kMacs[i % 3];
                const uint64_t h = lqsim_handle_of(mac);
                DeviceFeatures features{};
                features.tap_mode = 1;
                features.keep_crc = i & 1;
                features.slicing_length = uint16_t(64 + i % 1000);
                DevicePortsSpeed ports{};
                ports.portA = PortSpeedSettings{1, 1, 1, 1, 1, 1, 1, 1, 0, 0};
                ports.portB = PortSpeedSettings{1, i % 2, 1, 1, 1, 1, 0, 0, 0, 0};
                verdicts.check("set features", LumenquillAPISetDeviceFeatures(h, features), {0, kGone});
                verdicts.check("set ports", LumenquillAPISetDevicePortsSpeed(h, ports), {0, kGone});
                verdicts.check("save", LumenquillAPISaveDeviceFeatures(h), {0, kGone});
                // Filters are costly to apply (the device reworks its whole
                // traffic mix), and the manager applies them rarely.
                if (i % 8 == 0) {
                    PacketFilter filter{};
                    filter.enabled = (i / 8) & 1;
                    filter.fields = LQ_FILTER_DST_PORT;
                    filter.dst_port = uint16_t(i);
                    verdicts.check("set filter", LumenquillAPISetPacketFilter(h, filter), {0, kGone, kUnsupported});
                    DpiFilter dpi{};
                    dpi.enabled = 1;
                    dpi.pattern_mask = i & 0xffff;
                    verdicts.check("set pattern", LumenquillAPISetDpiFilter(h, dpi), {0, kGone, kUnsupported});
                    verdicts.check("save filters", LumenquillAPISavePacketFilter(h), {0, kGone, kUnsupported});
                }
                CounterV2Config counter{};
                counter.index = i % LQ_COUNTERS_V2;
                counter.ipv4 = 1;
                verdicts.check("set counter", LumenquillAPISetCounterV2(h, counter), {0, kGone, kUnsupported});
                DiskDumpConfig config{};
                config.path = wcsdup(L"/tmp/concurrent.pcapng");
                verdicts.check("capture config", LumenquillAPIDiskDumpSetConfig(h, config), {0, kGone});
                std::free(config.path);
                verdicts.check("capture start", LumenquillAPIDiskDumpStart(h), {0, kGone, LQSIM_ERR_NOT_READY});
                verdicts.check("capture stop", LumenquillAPIDiskDumpStop(h), {0, kGone});
                DeviceFeatures last{};
                verdicts.check("last features", lqsim_last_features(mac, &last), {0, -1});
                verdicts.check("link event", lqsim_set_link(mac, int(i % 2), int(i % 3 != 0)), {0, -1});
            }
        });

        // An update thread flashing one device, and restarts of another.
        std::thread updater([&] {
            while (!stop) {
                const uint64_t h = lqsim_handle_of(kMacs[2]);
                verdicts.check("update start", LumenquillAPIFirmwareUpdateStart(h, wideImagePath.c_str()),
                               {0, kGone, LQSIM_ERR_BUSY});
                uint32_t percent = 0;
                verdicts.check("update progress", LumenquillAPIFirmwareUpdateGetProgress(h, &percent),
                               {0, kGone, LQ_FIRMWARE_UPDATE_RUNNING, LQSIM_ERR_NOT_READY});
                verdicts.check("percent", percent <= 100 ? 0 : 1, {0});
                verdicts.check("restart", LumenquillAPIRestartDevice(lqsim_handle_of(kMacs[0])), {0, kGone});
            }
        });

        // Meanwhile the devices come and go on the simulator clock.
        for (int round = 0; round < 1000; ++round) {
            if (round % 2 == 0)
                verdicts.check("plug", lqsim_plug("{\"type\":3,\"mac\":\"02:4c:51:00:20:03\"}"), {0});
            else
                verdicts.check("unplug", lqsim_unplug(kVisitor), {0});
            verdicts.check("replug", lqsim_replug(kMacs[1]), {0});
            if (round % 50 == 10)
                QCOMPARE(lqsim_fail("LumenquillAPIGetStatistics", LQSIM_FAIL_RATE, 0.3, kInjected), 0);
            if (round % 50 == 30)
                lqsim_clear_failures();
            if (round == 501) {
                // The whole set replaced under everyone's feet.
                verdicts.check("reload", lqsim_load_scenario_text(json.c_str()), {0});
            }
            lqsim_advance_clock(uint64_t(round % 7) * 700);
        }
        stop = true;
        reader.join();
        writer.join();
        updater.join();
        lqsim_clear_failures();
        lqsim_advance_clock(2 * LQSIM_FIRMWARE_UPDATE_MS);

        const Observer::Seen seen = verdicts.settle();
        QVERIFY2(seen.failures == 0, seen.firstFailure.c_str());
        const std::vector<uint64_t> &added = seen.added, &gone = seen.gone;
        const std::set<uint64_t> addedSet(added.begin(), added.end());
        QCOMPARE(addedSet.size(), added.size()); // never the same handle twice
        QVERIFY(!addedSet.count(0));
        const std::set<uint64_t> goneSet(gone.begin(), gone.end());
        QCOMPARE(goneSet.size(), gone.size());
        for (uint64_t h : gone)
            QVERIFY(addedSet.count(h)); // nothing leaves that never came
        // Once things settle, every plugged device is announced and nothing else.
        QCOMPARE(int(added.size() - gone.size()), lqsim_device_count());
        for (const char *mac : kMacs) {
            const uint64_t h = lqsim_handle_of(mac);
            QVERIFY(addedSet.count(h) && !goneSet.count(h));
        }
        QVERIFY(added.size() > 200); // the replugs really happened

        QCOMPARE(LumenquillAPIUninitialize(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_SimulatorConcurrency)
#include "tst_simulator_concurrency.moc"
