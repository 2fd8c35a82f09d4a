// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The library called from several threads at once, as the manager's worker, GUI
// and update threads do, while devices come and go under it. Also meant to run
// under ThreadSanitizer; here it checks that every answer is one the library may
// give and that the announcements stay consistent.

#include "crc32generator.h"
#include "firmwareimage.h"
#include "lqsim.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

const char *const kMacs[] = {"02:4c:51:00:20:0a", "02:4c:51:00:20:0c", "02:4c:51:00:20:0e"};
const char *const kVisitor = "02:4c:51:00:20:03";
constexpr int kInjected = -77, kGone = LQSIM_ERR_UNKNOWN_HANDLE, kUnsupported = LQSIM_ERR_NOT_SUPPORTED;

template <typename T> T *scratch()
{
    thread_local T record{};
    return &record;
}

// What the threads saw: announcements, and answers no caller should get.
struct Observer {
    std::mutex mutex;
    std::vector<uint64_t> added, gone;
    int failures = 0;
    std::string firstFailure;

    static void onNewDevice(uint64_t handle, void *context)
    {
        auto *self = static_cast<Observer *>(context);
        // Identified as the manager does, from this very thread. Another thread
        // may restart the device meanwhile; a handle that still works must answer.
        uint32_t type = 0;
        const bool ok = LumenquillAPIGetDeviceType(handle, &type) == 0 &&
                        LumenquillAPIGetDeviceMAC(handle, *scratch<uint8_t[6]>()) == 0 &&
                        LumenquillAPIGetVersions(handle, scratch<DeviceVersions>()) == 0 &&
                        LumenquillAPIGetDeviceFeatures(handle, scratch<DeviceFeatures>()) == 0;
        if (!ok && LumenquillAPIGetDeviceType(handle, &type) == 0)
            self->check("identification", -1, {});
        std::lock_guard lock(self->mutex);
        self->added.push_back(handle);
    }

    static void onDeviceGone(uint64_t handle, void *context)
    {
        auto *self = static_cast<Observer *>(context);
        std::lock_guard lock(self->mutex);
        self->gone.push_back(handle);
    }

    void check(const char *what, int answer, std::initializer_list<int> allowed)
    {
        if (std::find(allowed.begin(), allowed.end(), answer) != allowed.end())
            return;
        std::lock_guard lock(mutex);
        if (failures++ == 0)
            firstFailure = std::string(what) + " answered " + std::to_string(answer);
    }
};

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
        header.payloadCrc =
            uint32_t(CRC32Generator().Generate(reinterpret_cast<char *>(payload.data()), payload.size()));
        const std::vector<uint8_t> image = lqsim::firmwareimage::encode(header, payload);
        QFile file(dir.filePath(QStringLiteral("fw.img")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(reinterpret_cast<const char *>(image.data()), qint64(image.size())), qint64(image.size()));
        file.close();
        const std::wstring imagePath = file.fileName().toStdWString();

        lqsim_use_manual_clock(1764892800000ull);
        lqsim_clear_failures();
        const std::string json = std::string("{\"devices\":[{\"type\":10,\"mac\":\"") + kMacs[0] +
                                 "\"},{\"type\":12,\"mac\":\"" + kMacs[1] + "\"},{\"type\":14,\"mac\":\"" + kMacs[2] +
                                 "\"}]}";
        QCOMPARE(lqsim_load_scenario_text(json.c_str()), 0);
        Observer verdicts;
        LumenquillAPIAddNewDeviceCallback(&Observer::onNewDevice, &verdicts);
        LumenquillAPIAddDeviceGoneCallback(&Observer::onDeviceGone, &verdicts);
        QCOMPARE(LumenquillAPIInitialize(), 0);
        std::atomic<bool> stop{false};
        const std::initializer_list<int> live = {0, kGone}, optional = {0, kGone, kUnsupported};

        // The worker's status poll.
        std::thread reader([&] {
            while (!stop) {
                for (const char *mac : kMacs) {
                    const uint64_t h = lqsim_handle_of(mac);
                    uint32_t u = 0;
                    verdicts.check("type", LumenquillAPIGetDeviceType(h, &u), live);
                    verdicts.check("versions", LumenquillAPIGetVersions(h, scratch<DeviceVersions>()), live);
                    verdicts.check("features", LumenquillAPIGetDeviceFeatures(h, scratch<DeviceFeatures>()), live);
                    verdicts.check("ports", LumenquillAPIGetDevicePortsSpeed(h, scratch<DevicePortsSpeed>()), live);
                    verdicts.check("link", LumenquillAPIGetLinkStatus(h, scratch<LinkStatus>()), live);
                    verdicts.check("extra", LumenquillAPIGetDeviceExtraInfo(h, &u), live);
                    verdicts.check("statistics", LumenquillAPIGetStatistics(h, scratch<DeviceStatistics>()),
                                   {0, kGone, kInjected});
                    verdicts.check("timing", LumenquillAPIGetTimingStatus(h, scratch<TimingStatus>()), optional);
                    verdicts.check("capture", LumenquillAPIDiskDumpGetStatus(h, scratch<DiskDumpStatus>()), live);
                    verdicts.check("variants", LumenquillAPIGetHwFirmwaresDesc(h, scratch<HwFirmwaresDesc>()), live);
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
                verdicts.check("set features", LumenquillAPISetDeviceFeatures(h, features), live);
                verdicts.check("set ports", LumenquillAPISetDevicePortsSpeed(h, ports), live);
                verdicts.check("save", LumenquillAPISaveDeviceFeatures(h), live);
                // Filters are costly to apply (the device reworks its whole
                // traffic mix), and the manager applies them rarely.
                if (i % 8 == 0) {
                    PacketFilter filter{};
                    filter.enabled = (i / 8) & 1;
                    filter.fields = LQ_FILTER_DST_PORT;
                    filter.dst_port = uint16_t(i);
                    verdicts.check("set filter", LumenquillAPISetPacketFilter(h, filter), optional);
                    DpiFilter dpi{};
                    dpi.enabled = 1;
                    dpi.pattern_mask = i & 0xffff;
                    verdicts.check("set pattern", LumenquillAPISetDpiFilter(h, dpi), optional);
                    verdicts.check("save filters", LumenquillAPISavePacketFilter(h), optional);
                }
                CounterV2Config counter{};
                counter.index = i % LQ_COUNTERS_V2;
                counter.ipv4 = 1;
                verdicts.check("set counter", LumenquillAPISetCounterV2(h, counter), optional);
                DiskDumpConfig config{};
                config.path = const_cast<wchar_t *>(L"/tmp/concurrent.pcapng");
                verdicts.check("capture config", LumenquillAPIDiskDumpSetConfig(h, config), live);
                verdicts.check("capture start", LumenquillAPIDiskDumpStart(h), {0, kGone, LQSIM_ERR_NOT_READY});
                verdicts.check("capture stop", LumenquillAPIDiskDumpStop(h), live);
                verdicts.check("last features", lqsim_last_features(mac, scratch<DeviceFeatures>()), {0, -1});
                verdicts.check("link event", lqsim_set_link(mac, int(i % 2), int(i % 3 != 0)), {0, -1});
            }
        });

        // An update thread flashing one device, and restarts of another.
        std::thread updater([&] {
            while (!stop) {
                const uint64_t h = lqsim_handle_of(kMacs[2]);
                verdicts.check("update start", LumenquillAPIFirmwareUpdateStart(h, imagePath.c_str()),
                               {0, kGone, LQSIM_ERR_BUSY});
                uint32_t percent = 0;
                verdicts.check("update progress", LumenquillAPIFirmwareUpdateGetProgress(h, &percent),
                               {0, kGone, LQ_FIRMWARE_UPDATE_RUNNING, LQSIM_ERR_NOT_READY});
                verdicts.check("percent", percent <= 100 ? 0 : 1, {0});
                verdicts.check("restart", LumenquillAPIRestartDevice(lqsim_handle_of(kMacs[0])), live);
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
                verdicts.check("arm", lqsim_fail("LumenquillAPIGetStatistics", LQSIM_FAIL_RATE, 0.3, kInjected), {0});
            if (round % 50 == 30)
                lqsim_clear_failures();
            if (round == 501) // the whole set replaced under everyone's feet
                verdicts.check("reload", lqsim_load_scenario_text(json.c_str()), {0});
            lqsim_advance_clock(uint64_t(round % 7) * 700);
        }
        stop = true;
        reader.join();
        writer.join();
        updater.join();
        lqsim_clear_failures();
        lqsim_advance_clock(2 * LQSIM_FIRMWARE_UPDATE_MS);

        std::unique_lock lock(verdicts.mutex);
        QVERIFY2(verdicts.failures == 0, verdicts.firstFailure.c_str());
        const std::set<uint64_t> added(verdicts.added.begin(), verdicts.added.end());
        const std::set<uint64_t> gone(verdicts.gone.begin(), verdicts.gone.end());
        QCOMPARE(added.size(), verdicts.added.size()); // never the same handle twice
        QCOMPARE(gone.size(), verdicts.gone.size());
        lock.unlock();
        QVERIFY(!added.count(0));
        QVERIFY(std::includes(added.begin(), added.end(), gone.begin(), gone.end())); // nothing leaves that never came
        // Once things settle, every plugged device is announced and nothing else.
        QCOMPARE(int(added.size() - gone.size()), lqsim_device_count());
        for (const char *mac : kMacs)
            QVERIFY(added.count(lqsim_handle_of(mac)) && !gone.count(lqsim_handle_of(mac)));
        QVERIFY(added.size() > 200); // the replugs really happened
        QCOMPARE(LumenquillAPIUninitialize(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_SimulatorConcurrency)
#include "tst_simulator_concurrency.moc"
