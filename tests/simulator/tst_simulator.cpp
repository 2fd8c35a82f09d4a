// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The simulated device library through its C interfaces: scenarios and their
// errors, handles, settings across restarts, injected failures, firmware updates.

#include "crc32generator.h"
#include "firmwareimage.h"
#include "lqsim.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint64_t kStartMs = 1764892800000ull; // 2025-12-05 00:00 UTC
const char *const kMacA = "02:4c:51:00:10:01";
const char *const kMacB = "02:4c:51:00:10:02";
const char *const kMacC = "02:4c:51:00:10:03";

QByteArray device(int type, const char *mac, const QByteArray &more = {})
{
    return "{\"type\":" + QByteArray::number(type) + ",\"mac\":\"" + mac + "\"" + (more.isEmpty() ? "" : "," + more) +
           "}";
}

QByteArray scenario(const QList<QByteArray> &devices) { return "{\"devices\":[" + devices.join(',') + "]}"; }

// The manager's callbacks: each new device is identified from the simulator
// thread, calling straight back into the library as the manager's worker does.
struct Recorder {
    struct Arrival {
        uint64_t handle;
        std::thread::id thread;
        bool identified;
        uint32_t type;
    };
    mutable std::mutex mutex;
    std::vector<Arrival> arrivals;
    std::vector<uint64_t> departures;
    std::atomic<bool> inCallback{false};

    Recorder()
    {
        LumenquillAPIAddNewDeviceCallback(&Recorder::onNewDevice, this);
        LumenquillAPIAddDeviceGoneCallback(
            [](uint64_t h, void *self) {
                std::lock_guard lock(static_cast<Recorder *>(self)->mutex);
                static_cast<Recorder *>(self)->departures.push_back(h);
            },
            this);
    }
    static void onNewDevice(uint64_t h, void *context)
    {
        auto *self = static_cast<Recorder *>(context);
        self->inCallback = true;
        Arrival a{h, std::this_thread::get_id(), false, 0};
        uint8_t mac[6] = {};
        DeviceVersions versions{};
        DeviceFeatures features{};
        a.identified = LumenquillAPIGetDeviceType(h, &a.type) == 0 && LumenquillAPIGetDeviceMAC(h, mac) == 0 &&
                       LumenquillAPIGetVersions(h, &versions) == 0 &&
                       (!(LumenquillAPIGetDeviceCapabilities(a.type) & LQ_CAP_CONFIGURABLE) ||
                        LumenquillAPIGetDeviceFeatures(h, &features) == 0);
        std::lock_guard lock(self->mutex);
        self->arrivals.push_back(a);
        self->inCallback = false;
    }
    std::vector<Arrival> added() const { std::lock_guard lock(mutex); return arrivals; }
    std::vector<uint64_t> gone() const { std::lock_guard lock(mutex); return departures; }
};

// Catches what the library writes to stderr, at the file descriptor level.
class StderrCapture {
    QTemporaryFile m_file;
    int m_saved = -1;

public:
    StderrCapture()
    {
        m_file.open();
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { finish(); }
    QString finish()
    {
        if (m_saved >= 0) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll());
    }
};

// Runs a helper program to its end and answers its exit code, or -1. Not
// QProcess: its fork makes ThreadSanitizer refuse the next simulator thread.
int runProgram(std::string program, std::string argument)
{
    char *argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QByteArray image(std::vector<uint32_t> types, bool corrupt = false)
{
    lqsim::FirmwareImageHeader header;
    header.deviceTypes = std::move(types);
    header.softwareVersion = {6, 0, 0, 0};
    header.hardwareVersion = 1500;
    std::vector<uint8_t> payload(20000);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 7 + (i >> 8));
    header.payloadCrc = uint32_t(CRC32Generator().Generate(reinterpret_cast<char *>(payload.data()), payload.size()));
    if (corrupt)
        payload[12345] ^= 0x01;
    const std::vector<uint8_t> bytes = lqsim::firmwareimage::encode(header, payload);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

template <typename T> QByteArray bytesOf(const T &record)
{
    return QByteArray(reinterpret_cast<const char *>(&record), sizeof record);
}

// Sets a record whose every byte, reserved ones included, is patterned, reads
// it back directly and as the control API saw it, then restarts the device:
// only a saved record survives.
template <typename T>
void roundTrip(int (*set)(uint64_t, T), int (*get)(uint64_t, T *), int (*save)(uint64_t),
               int (*last)(const char *, T *), bool saveIt)
{
    const auto read = [get](uint64_t h) { T r{}; return get(h, &r) == 0 ? bytesOf(r) : QByteArray(); };
    const auto seen = [last] { T r{}; return last(kMacA, &r) == 0 ? bytesOf(r) : QByteArray(); };
    const uint64_t h = lqsim_handle_of(kMacA);
    const QByteArray initial = read(h);
    QVERIFY(!initial.isEmpty());
    QCOMPARE(seen(), QByteArray()); // nothing set yet
    for (int seed : {200, 11}) {
        T record;
        auto *bytes = reinterpret_cast<uint8_t *>(&record);
        for (size_t i = 0; i < sizeof record; ++i)
            bytes[i] = uint8_t(seed + i * 37 + (i >> 3));
        QCOMPARE(set(h, record), 0);
        QCOMPARE(read(h), bytesOf(record));
        QCOMPARE(seen(), bytesOf(record));
    }
    if (saveIt)
        QCOMPARE(save(h), 0);
    const QByteArray changed = read(h);
    QVERIFY(changed != initial);
    QCOMPARE(LumenquillAPIRestartDevice(h), 0);
    lqsim_advance_clock(LQSIM_RESTART_MS);
    const uint64_t back = lqsim_handle_of(kMacA);
    QVERIFY(back != 0 && back != h);
    QCOMPARE(read(back), saveIt ? changed : initial);
}

template <typename T> T *out()
{
    static T record;
    return &record;
}

// The per-device functions, each called with a handle and valid records.
const std::map<QByteArray, std::function<int(uint64_t)>> &deviceCalls()
{
#define CALL(name, args) {#name, [](uint64_t h) { return LumenquillAPI##name args; }}
    static const std::map<QByteArray, std::function<int(uint64_t)>> calls = {
        CALL(GetDeviceType, (h, out<uint32_t>())),           CALL(GetDeviceMAC, (h, *out<uint8_t[6]>())),
        CALL(GetDeviceExtraInfo, (h, out<uint32_t>())),      CALL(GetVersions, (h, out<DeviceVersions>())),
        CALL(GetLinkStatus, (h, out<LinkStatus>())),         CALL(GetStatistics, (h, out<DeviceStatistics>())),
        CALL(GetTimingStatus, (h, out<TimingStatus>())),     CALL(DiskDumpGetStatus, (h, out<DiskDumpStatus>())),
        CALL(GetDeviceFeatures, (h, out<DeviceFeatures>())), CALL(GetDevicePortsSpeed, (h, out<DevicePortsSpeed>())),
        CALL(GetPacketFilter, (h, out<PacketFilter>())),     CALL(GetDpiFilter, (h, out<DpiFilter>())),
        CALL(GetHwFirmwaresDesc, (h, out<HwFirmwaresDesc>())), CALL(FirmwareUpdateGetProgress, (h, out<uint32_t>())),
        CALL(SetDeviceFeatures, (h, {})),                    CALL(SetDevicePortsSpeed, (h, {})),
        CALL(SetPacketFilter, (h, {})),                      CALL(SetDpiFilter, (h, {})),
        CALL(SetCounterV2, (h, {})),                         CALL(SetTimingTime, (h, {LQ_TIME_SOURCE_GPS, 0, 0})),
        CALL(FirmwareUpdateStart, (h, L"/nonexistent.img")), CALL(SaveDeviceFeatures, (h)),
        CALL(SavePacketFilter, (h)),                         CALL(SaveDpiFilter, (h)),
        CALL(RestartDevice, (h)),                            CALL(DiskDumpStart, (h)),
        CALL(DiskDumpStop, (h)),
        CALL(DiskDumpSetConfig, (h, {0, 0, 0, {}, const_cast<wchar_t *>(L"/nonexistent/c.pcapng"), 0, 0, 0, 0})),
    };
#undef CALL
    return calls;
}

} // namespace

class tst_Simulator : public QObject {
    Q_OBJECT
    std::unique_ptr<Recorder> m_recorder;
    QTemporaryDir m_dir;

    void start(const QByteArray &json, int expectedDevices)
    {
        QCOMPARE(lqsim_load_scenario_text(json.constData()), 0);
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        QCOMPARE(int(m_recorder->added().size()), expectedDevices);
    }
    uint64_t handle(const char *mac) const { return lqsim_handle_of(mac); }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        lqsim_use_manual_clock(kStartMs);
        lqsim_clear_failures();
        m_recorder = std::make_unique<Recorder>();
    }

    void cleanup()
    {
        QCOMPARE(LumenquillAPIUninitialize(), 0);
        lqsim_clear_failures();
        ::unsetenv("LUMENQUILL_SIM_SCENARIO");
    }

    void capabilityTable_data()
    {
        QTest::addColumn<uint32_t>("type");
        QTest::addColumn<uint32_t>("capabilities");
        // Written out bit by bit, not derived the way the library derives them.
        const std::pair<uint32_t, uint32_t> models[] = {{3, 0x8D15},   {5, 0x18D95}, {6, 0x48D15},  {7, 0x48D35},
                                                        {8, 0x18DB5},  {9, 0x18D9D}, {10, 0x18DBD}, {11, 0x189D5},
                                                        {12, 0x189DD}, {13, 0x8515}, {14, 0x58E95}};
        for (const auto &[type, capabilities] : models)
            QTest::addRow("type %u", type) << type << capabilities;
        for (uint32_t none : {0u, 1u, 4u, 15u, 0xFFFFFFFFu}) // no device, bad firmware, gaps, beyond the models
            QTest::addRow("type %u", none) << none << 0u;
    }

    void capabilityTable()
    {
        QFETCH(uint32_t, type);
        QFETCH(uint32_t, capabilities);
        QCOMPARE(LumenquillAPIGetDeviceCapabilities(type), capabilities);
    }

    // ------------------------------------------------------------------ scenarios

    void startupScenario_data()
    {
        QTest::addColumn<QString>("file"); // empty: the compiled-in default
        QTest::addColumn<int>("devices");
        QTest::newRow("default") << QString() << 3;
        QTest::newRow("example") << QStringLiteral("example.json") << 4;
        QTest::newRow("single 1G") << QStringLiteral("single-1g.json") << 1;
    }

    void startupScenario()
    {
        QFETCH(QString, file);
        QFETCH(int, devices);
        // Through the environment, as an operator names it.
        const QByteArray path =
            file.isEmpty() ? QByteArray() : QDir(QStringLiteral(LQSIM_SCENARIO_DIR)).filePath(file).toLocal8Bit();
        ::setenv("LUMENQUILL_SIM_SCENARIO", path.constData(), 1);
        StderrCapture capture;
        QCOMPARE(lqsim_load_startup_scenario(), 0);
        QCOMPARE(capture.finish(), QString());
        QCOMPARE(lqsim_device_count(), devices);
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        const auto added = m_recorder->added();
        QCOMPARE(int(added.size()), devices);
        std::set<QByteArray> macs;
        uint32_t union_ = 0;
        for (const Recorder::Arrival &arrival : added) {
            QVERIFY(arrival.identified);
            QVERIFY(arrival.thread != std::this_thread::get_id());
            union_ |= LumenquillAPIGetDeviceCapabilities(arrival.type);
            uint8_t mac[6] = {};
            QCOMPARE(LumenquillAPIGetDeviceMAC(arrival.handle, mac), 0);
            QCOMPARE(mac[0], uint8_t(0x02)); // locally administered, never a real vendor's
            macs.insert(QByteArray(reinterpret_cast<char *>(mac), 6));
            // The default passes the manager's driver check: each component within 1.9.18.0..1.9.19.0.
            DeviceVersions v{};
            QCOMPARE(LumenquillAPIGetVersions(arrival.handle, &v), 0);
            const uint8_t low[4] = {1, 9, 18, 0}, high[4] = {1, 9, 19, 0};
            for (int i = 0; i < 4 && file.isEmpty(); ++i)
                QVERIFY(v.driverVersion[i] >= low[i] && v.driverVersion[i] <= high[i]);
        }
        QCOMPARE(int(macs.size()), devices);
        if (file.isEmpty()) {
            QCOMPARE(LumenquillAPIGetVersion(), 0x000D0302u);
            QCOMPARE(union_, 0x58FFDu); // every capability bit, so every tab, is shown
        }
    }

    void scenarioErrorNamesLineAndField_data()
    {
        QTest::addColumn<QByteArray>("json"); // null: no file at all
        QTest::addColumn<bool>("file");
        QTest::addColumn<QString>("expected"); // after "lumenquill simulator: <text>" or the path
        auto row = [](const char *name, const QByteArray &json, const char *expected, bool file = false) {
            QTest::newRow(name) << json << file << QString(expected);
        };
        // One device, one member per line: the member on body line k is on line 3 + k.
        auto lines = [](const QList<QByteArray> &body) {
            return "{\n  \"devices\": [\n    {\n      " + body.join(",\n      ") + "\n    }\n  ]\n}\n";
        };
        const QByteArray type = "\"type\": 14", mac = "\"mac\": \"02:4c:51:00:10:01\"";
        auto with = [&](const QByteArray &member) { return lines({type, mac, member}); };
        const QByteArray badMac = "{\n  \"devices\": [\n    { \"type\": 10, \"mac\": \"02:4c:51:00:10:01\" },\n    {\n"
                                  "      \"type\": 14,\n\n      \"mac\": \"zz\"\n    }\n  ]\n}";
        row("JSON syntax", "{\n  \"devices\": [\n    {\"type\": 10,}\n  ]\n}", ":3: invalid JSON: ");
        row("cut short", "{\"devices\": [", ":1: invalid JSON: ");
        row("not an object", "[1, 2]", ":1: scenario: must be an object");
        row("misspelt devices", "{\n  \"device\": []\n}", ":2: device: unknown field");
        row("no devices", "{\n}", ":1: devices: missing");
        row("type as text", lines({"\"type\": \"10\"", mac}), ":4: devices[0].type: must be an integer, not \"10\"");
        row("negative type", lines({"\"type\": -1", mac}), ":4: devices[0].type: must be between 0 and 4294967295");
        row("no MAC", lines({type}), ":3: devices[0].mac: missing");
        row("unknown member", with("\"colour\": \"red\""), ":6: devices[0].colour: unknown field");
        row("bad MAC on line 7", badMac, ":7: devices[1].mac: \"zz\" is not a MAC address");
        row("same MAC twice",
            "{\"devices\": [\n  {\"type\": 10, \"mac\": \"02:4c:51:00:10:01\"},\n"
            "  {\"type\": 14, \"mac\": \"02:4C:51:00:10:01\"}\n]}",
            ":3: devices[1].mac: \"02:4c:51:00:10:01\" is already used by devices[0]");
        row("driver version", with("\"versions\": {\"driver\": \"1.9.18\"}"),
            ":6: devices[0].versions.driver: \"1.9.18\" is not a version");
        row("USB speed", with("\"usb_speed\": 4"), ":6: devices[0].usb_speed: must be between 1 and 3");
        row("feature as text", with("\"features\": {\"keep_crc\": \"yes\"}"),
            ":6: devices[0].features.keep_crc: must be true, false or an integer");
        row("unknown feature", with("\"features\": {\"turbo\": 1}"), ":6: devices[0].features.turbo: unknown field");
        row("slicing length", with("\"features\": {\"slicing_length\": 70000}"),
            ":6: devices[0].features.slicing_length: must be between 0 and 65535");
        row("third port", with("\"ports_speed\": {\"c\": {}}"), ":6: devices[0].ports_speed.c: unknown field");
        row("variants on a model without", lines({"\"type\": 10", mac, "\"firmware_variants\": [\"A\"]"}),
            ":6: devices[0].firmware_variants: device type 10 has no firmware variants");
        row("variant name too long", with("\"firmware_variants\": [\"ok\", \"" + QByteArray(32, 'x') + "\"]"),
            ":6: devices[0].firmware_variants[1]: \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\" must be 1 to 31 printable");
        row("variant in force missing",
            lines({type, mac, "\"firmware_variants\": [\"a\", \"b\"]", "\"features\": {\"firmware_variant\": 2}"}),
            ":7: devices[0].features.firmware_variant: must name one of the 2 firmware variants");
        row("library version", "{\"library_version\": \"2.3\", \"devices\": []}",
            ":1: library_version: \"2.3\" is not a version");
        row("hardware member", with("\"traffic\": {\n        \"a\": {\"load\": 2}}"),
            ":7: devices[0].traffic.a.load: must be between 0 and 1");
        row("missing file", QByteArray(), ": cannot read the scenario: No such file or directory", true);
        row("file with a bad MAC", badMac, ":7: devices[1].mac: \"zz\" is not a MAC address", true);
        row("whitespace-only file", "\n\n   \n", ":3: invalid JSON: ", true);
    }

    void scenarioErrorNamesLineAndField()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, file);
        QFETCH(QString, expected);
        const QString path = m_dir.filePath(QString::fromUtf8(QTest::currentDataTag()) + QStringLiteral(".json"));
        if (file && !json.isNull())
            QVERIFY(writeFile(path, json));
        const QByteArray local = path.toLocal8Bit();
        ::setenv("LUMENQUILL_SIM_SCENARIO", local.constData(), 1);
        QCOMPARE(lqsim_load_scenario_text(scenario({}).constData()), 0); // nothing left from the last test
        QCOMPARE(LumenquillAPIInitialize(), 0);
        std::vector<uint64_t> before;
        // Text, or a file named directly or through the environment.
        for (int way = file ? 1 : 0; way < (file ? 3 : 1); ++way) {
            // A running library with a device: the bad scenario takes it away.
            QCOMPARE(lqsim_load_scenario_text(scenario({device(10, kMacB)}).constData()), 0);
            lqsim_advance_clock(0);
            before.push_back(handle(kMacB));
            StderrCapture capture;
            QCOMPARE(way == 0   ? lqsim_load_scenario_text(json.constData())
                     : way == 1 ? lqsim_load_scenario_file(local.constData())
                                : lqsim_load_startup_scenario(),
                     -1);
            const QString text = capture.finish();
            QCOMPARE(text.count(QLatin1Char('\n')), 1);
            QVERIFY(text.endsWith(QLatin1Char('\n')));
            QVERIFY2(text.startsWith("lumenquill simulator: " + (file ? path : "<text>") + expected), qPrintable(text));
            QCOMPARE(lqsim_device_count(), 0);
            lqsim_advance_clock(0);
        }
        QCOMPARE(m_recorder->gone(), before);
        QCOMPARE(m_recorder->added().size(), before.size());
        QCOMPARE(LumenquillAPIGetVersion(), 0x000D0302u);
    }

    void plugRefusesDuplicateAndBadDevice()
    {
        start(scenario({device(10, kMacA)}), 1);
        StderrCapture capture;
        QCOMPARE(lqsim_plug(device(14, "02:4C:51:00:10:01").constData()), -1); // same MAC, other case
        QCOMPARE(lqsim_plug(device(14, "02:4c:51:00:10").constData()), -1);
        const QStringList lines = capture.finish().split('\n');
        QCOMPARE(lines.size(), 3); // two lines and the empty rest
        QVERIFY(lines[0].contains("is already plugged"));
        QVERIFY(lines[1].startsWith("lumenquill simulator: <text>:1: mac: "));
        QCOMPARE(lqsim_device_count(), 1);
    }

    void scenarioValuesReachTheDevice()
    {
        start("{\"library_version\": \"2.3.14.1\", \"devices\": [" +
                  device(14, kMacA,
                         "\"versions\": {\"software\": \"5.1.2.3\", \"driver\": \"1.9.19.0\", \"hardware\": 1402},"
                         "\"usb_speed\": 1, \"firmware_variants\": [\"Plain\", \"Counters\", \"Deep buffer\"],"
                         "\"features\": {\"tap_mode\": 0, \"timestamps\": false, \"firmware_variant\": 2,"
                         " \"pps_delay\": -7, \"transmit_crc_errors\": 2},"
                         "\"ports_speed\": {\"b\": {\"auto_negotiation\": 0, \"speed_1000_full\": false}}") +
                  "]}",
              1);
        const uint64_t h = handle(kMacA);
        QCOMPARE(LumenquillAPIGetVersion(), 0x010E0302u);
        DeviceVersions versions{};
        QCOMPARE(LumenquillAPIGetVersions(h, &versions), 0);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(versions.softwareVersion), 4), QByteArray("\5\1\2\3", 4));
        QCOMPARE(QByteArray(reinterpret_cast<char *>(versions.driverVersion), 4), QByteArray("\1\11\23\0", 4));
        QCOMPARE(versions.hardwareFirmwareVersion, 1402u);
        uint32_t extra = 0;
        QCOMPARE(LumenquillAPIGetDeviceExtraInfo(h, &extra), 0);
        QCOMPARE(extra, uint32_t(LQ_USB_FULL_SPEED));
        DeviceFeatures features{};
        QCOMPARE(LumenquillAPIGetDeviceFeatures(h, &features), 0);
        QCOMPARE(features.tap_mode, 0u);
        QCOMPARE(features.timestamps, 0u);
        QCOMPARE(features.transmit_crc_errors, 2u);
        QCOMPARE(features.firmware_variant, uint8_t(2));
        QCOMPARE(features.pps_delay, int16_t(-7));
        QCOMPARE(features.slicing_length, uint16_t(64)); // the model's default, not overridden
        DevicePortsSpeed ports{};
        QCOMPARE(LumenquillAPIGetDevicePortsSpeed(h, &ports), 0);
        QCOMPARE(ports.portA.auto_negotiation, 1u); // untouched port keeps all abilities
        QCOMPARE(ports.portA.speed_1000_full, 1u);
        QCOMPARE(ports.portB.auto_negotiation, 0u);
        QCOMPARE(ports.portB.speed_1000_full, 0u);
        QCOMPARE(ports.portB.speed_100_full, 1u);
        HwFirmwaresDesc list{};
        QCOMPARE(LumenquillAPIGetHwFirmwaresDesc(h, &list), 0);
        QCOMPARE(list.count, 3);
        QCOMPARE(QByteArray(list.names[2]), QByteArray("Deep buffer"));
    }

    // ------------------------------------------------------------------ settings and handles

    void recordsRoundTripAndRestart_data()
    {
        QTest::addColumn<int>("record");
        QTest::addColumn<bool>("save");
        const char *const names[] = {"features", "port speeds", "packet filter", "pattern filter"};
        for (bool save : {true, false})
            for (int record = 0; record < 4; ++record)
                QTest::addRow("%s %s", names[record], save ? "saved" : "unsaved") << record << save;
    }

    void recordsRoundTripAndRestart()
    {
        QFETCH(int, record);
        QFETCH(bool, save);
        start(scenario({device(14, kMacA)}), 1);
        if (record == 0)
            roundTrip(&LumenquillAPISetDeviceFeatures, &LumenquillAPIGetDeviceFeatures,
                      &LumenquillAPISaveDeviceFeatures, &lqsim_last_features, save);
        else if (record == 1) // port speeds are saved with the features
            roundTrip(&LumenquillAPISetDevicePortsSpeed, &LumenquillAPIGetDevicePortsSpeed,
                      &LumenquillAPISaveDeviceFeatures, &lqsim_last_ports_speed, save);
        else if (record == 2)
            roundTrip(&LumenquillAPISetPacketFilter, &LumenquillAPIGetPacketFilter, &LumenquillAPISavePacketFilter,
                      &lqsim_last_packet_filter, save);
        else
            roundTrip(&LumenquillAPISetDpiFilter, &LumenquillAPIGetDpiFilter, &LumenquillAPISaveDpiFilter,
                      &lqsim_last_dpi_filter, save);
    }

    void deviceCallAnswers_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("function");
        QTest::addColumn<int>("answer");
        const int unknown = LQSIM_ERR_UNKNOWN_HANDLE, unsupported = LQSIM_ERR_NOT_SUPPORTED;
        for (const auto &call : deviceCalls())
            QTest::addRow("%s, unknown handle", call.first.constData()) << 10 << call.first << unknown;
        QTest::newRow("1G has no timing") << 3 << QByteArray("GetTimingStatus") << unsupported;
        QTest::newRow("1G has no filters") << 3 << QByteArray("GetPacketFilter") << unsupported;
        QTest::newRow("1G+ has no configurable counters") << 10 << QByteArray("SetCounterV2") << unsupported;
        QTest::newRow("1G v6 has configurable counters") << 14 << QByteArray("SetCounterV2") << 0;
        QTest::newRow("10G GPS timing") << 12 << QByteArray("GetTimingStatus") << 0;
        QTest::newRow("unknown type has no features") << 99 << QByteArray("GetDeviceFeatures") << unsupported;
        QTest::newRow("unknown type cannot be flashed") << 99 << QByteArray("FirmwareUpdateStart") << unsupported;
        QTest::newRow("unknown type still has a version") << 99 << QByteArray("GetVersions") << 0;
        QTest::newRow("no variants: empty list") << 10 << QByteArray("GetHwFirmwaresDesc") << 0;
    }

    void deviceCallAnswers()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, function);
        QFETCH(int, answer);
        const auto &call = deviceCalls().at(function);
        // Before initialising, the device is plugged but has no handle.
        QCOMPARE(lqsim_load_scenario_text(scenario({device(type, kMacA)}).constData()), 0);
        QCOMPARE(handle(kMacA), uint64_t(0));
        QCOMPARE(call(0), int(LQSIM_ERR_UNKNOWN_HANDLE));
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        const uint64_t h = handle(kMacA);
        if (answer != LQSIM_ERR_UNKNOWN_HANDLE) {
            QCOMPARE(call(h), answer);
            return;
        }
        for (uint64_t bogus : {uint64_t(0), h + 1, ~uint64_t(0)})
            QCOMPARE(call(bogus), answer);
        QCOMPARE(lqsim_unplug(kMacA), 0);
        QCOMPARE(call(h), answer); // unplugged: gone at once
    }

    void physicalEventsAndLinkSettingsAcrossRestart()
    {
        start(scenario({device(12, kMacA), device(14, kMacB)}), 2);
        QCOMPARE(lqsim_set_link(kMacB, 0, 0), 0);
        QCOMPARE(lqsim_set_sfp_module(kMacA, 1, 0), 0);
        QCOMPARE(lqsim_set_sfp_module(kMacB, 1, 0), -1); // a copper tap has no cages
        QCOMPARE(lqsim_set_link(kMacB, 2, 0), -1);
        QCOMPARE(lqsim_set_link("02:4c:51:00:10:09", 0, 0), -1);
        // Port B of the copper tap offers 10 half only; not saved, so gone after the reboot.
        DevicePortsSpeed ports{};
        QCOMPARE(LumenquillAPIGetDevicePortsSpeed(handle(kMacB), &ports), 0);
        ports.portB = PortSpeedSettings{1, 0, 0, 0, 0, 1, 0, 0, 0, 0};
        QCOMPARE(LumenquillAPISetDevicePortsSpeed(handle(kMacB), ports), 0);
        for (int boot = 0; boot < 2; ++boot) {
            lqsim_advance_clock(5000); // negotiation takes its time
            LinkStatus link{};
            QCOMPARE(LumenquillAPIGetLinkStatus(handle(kMacB), &link), 0);
            QCOMPARE(link.portASpeed, uint32_t(LQ_LINK_DOWN));
            QCOMPARE(link.portBSpeed, uint32_t(boot == 0 ? LQ_LINK_10M : LQ_LINK_1G));
            QCOMPARE(link.portBDuplex == 0, boot != 0);
            QCOMPARE(LumenquillAPIGetLinkStatus(handle(kMacA), &link), 0);
            QCOMPARE(link.sfp.portA.present, uint8_t(1));
            QCOMPARE(link.sfp.portB.present, uint8_t(0));
            // The cable and the module stay out through a reboot.
            QCOMPARE(LumenquillAPIRestartDevice(handle(kMacA)), 0);
            QCOMPARE(LumenquillAPIRestartDevice(handle(kMacB)), 0);
            lqsim_advance_clock(LQSIM_RESTART_MS);
        }
    }

    // ------------------------------------------------------------------ injected failures

    void faultInjection_data()
    {
        QTest::addColumn<QByteArray>("function");
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("minFailures"); // of 400 calls; -1: the request is refused
        QTest::addColumn<int>("maxFailures");
        auto row = [](const char *name, const char *function, int mode, double rate, int code, int min, int max) {
            QTest::newRow(name) << QByteArray("LumenquillAPI") + function << mode << rate << code << min << max;
        };
        row("once", "GetStatistics", LQSIM_FAIL_ONCE, 0, -42, 1, 1);
        row("always", "GetStatistics", LQSIM_FAIL_ALWAYS, 0, -42, 400, 400);
        row("a quarter", "GetStatistics", LQSIM_FAIL_RATE, 0.25, -42, 60, 140);
        row("rate never", "GetStatistics", LQSIM_FAIL_RATE, 0, -42, 0, 0);
        row("rate always", "GetStatistics", LQSIM_FAIL_RATE, 1, -42, 400, 400);
        row("version cannot fail", "GetVersion", LQSIM_FAIL_ALWAYS, 0, -1, -1, -1);
        row("capabilities cannot fail", "GetDeviceCapabilities", LQSIM_FAIL_ONCE, 0, -1, -1, -1);
        row("unknown function", "GetTemperature", LQSIM_FAIL_ONCE, 0, -1, -1, -1);
        row("zero code", "GetDeviceType", LQSIM_FAIL_ONCE, 0, 0, -1, -1);
        row("unknown mode", "GetDeviceType", 7, 0, -1, -1, -1);
        row("rate above one", "GetDeviceType", LQSIM_FAIL_RATE, 1.5, -1, -1, -1);
    }

    void faultInjection()
    {
        QFETCH(QByteArray, function);
        QFETCH(int, mode);
        QFETCH(double, rate);
        QFETCH(int, code);
        QFETCH(int, minFailures);
        QFETCH(int, maxFailures);
        start(scenario({device(10, kMacA)}), 1);
        const uint64_t h = handle(kMacA);
        DeviceStatistics statistics{};
        if (minFailures < 0) {
            QCOMPARE(lqsim_fail(function.constData(), mode, rate, code), -1);
            QCOMPARE(LumenquillAPIGetDeviceType(h, out<uint32_t>()), 0);
            QCOMPARE(LumenquillAPIGetVersion(), 0x000D0302u);
            QCOMPARE(LumenquillAPIGetDeviceCapabilities(10), 0x18DBDu);
            return;
        }
        auto run = [&](std::vector<bool> *failures) {
            lqsim_reset_call_counts();
            QCOMPARE(lqsim_fail(function.constData(), mode, rate, code), 0);
            for (int i = 0; i < 400; ++i) {
                const int answer = LumenquillAPIGetStatistics(h, &statistics);
                QVERIFY(answer == 0 || answer == code);
                failures->push_back(answer == code);
            }
            QCOMPARE(lqsim_call_count(function.constData()), uint64_t(400));
            lqsim_clear_failures();
        };
        std::vector<bool> first, second;
        run(&first);
        const int failed = int(std::count(first.begin(), first.end(), true));
        QVERIFY2(failed >= minFailures && failed <= maxFailures, qPrintable(QString::number(failed)));
        if (mode == LQSIM_FAIL_ONCE)
            QVERIFY(first.front());
        run(&second); // seeded: armed again, it fails exactly the same calls
        QCOMPARE(first, second);
        // Other functions were never affected, and cleared means cleared.
        QCOMPARE(LumenquillAPIGetDeviceFeatures(h, out<DeviceFeatures>()), 0);
        QCOMPARE(LumenquillAPIGetStatistics(h, &statistics), 0);
    }

    // ------------------------------------------------------------------ firmware

    void firmwareUpdate_data()
    {
        QTest::addColumn<QString>("name");     // in the test folder; empty: an empty path
        QTest::addColumn<QByteArray>("bytes"); // null: no file
        QTest::addColumn<int>("startAnswer");
        QTest::addColumn<int>("finalAnswer");
        const QByteArray good = image({14});
        const int unreadable = LQSIM_ERR_IMAGE_UNREADABLE, foreign = LQSIM_ERR_IMAGE_FOREIGN;
        const int wrongDevice = LQSIM_ERR_IMAGE_WRONG_DEVICE, corrupt = LQSIM_ERR_IMAGE_CORRUPT;
        QTest::newRow("fits") << "fits.img" << good << 0 << 0;
        QTest::newRow("non-ASCII path") << QStringLiteral("f\u00efrmware-\u00e9t\u00e9 \U0001F4E6.img") << good << 0
                                        << 0;
        QTest::newRow("lists several models") << "several.img" << image({3, 6, 14}) << 0 << 0;
        QTest::newRow("missing file") << "missing.img" << QByteArray() << unreadable << 0;
        QTest::newRow("empty path") << QString() << QByteArray() << unreadable << 0;
        QTest::newRow("a directory") << "." << QByteArray() << unreadable << 0;
        QTest::newRow("not an image") << "foreign.img" << QByteArray(4096, 'M') << foreign << 0;
        QTest::newRow("cut short") << "short.img" << good.chopped(1) << foreign << 0;
        QTest::newRow("another model's image") << "other.img" << image({10, 12}) << wrongDevice << 0;
        QTest::newRow("corrupt payload") << "corrupt.img" << image({14}, true) << 0 << corrupt;
    }

    void firmwareUpdate()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, startAnswer);
        QFETCH(int, finalAnswer);
        start(scenario({device(14, kMacA)}), 1);
        const uint64_t h = handle(kMacA);
        const QString path = name.isEmpty() ? name : m_dir.filePath(name);
        if (!bytes.isNull())
            QVERIFY(writeFile(path, bytes));
        uint32_t percent = 777;
        QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(h, &percent), int(LQSIM_ERR_NOT_READY));
        const std::wstring wide = path.toStdWString();
        QCOMPARE(LumenquillAPIFirmwareUpdateStart(h, wide.c_str()), startAnswer);
        if (startAnswer != 0) {
            QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(h, &percent), int(LQSIM_ERR_NOT_READY));
            return;
        }
        // Simulator time in, progress out: verifying, then writing, then done.
        struct Step {
            uint64_t atMs;
            int answer;
            uint32_t percent;
        };
        const int running = LQ_FIRMWARE_UPDATE_RUNNING;
        const std::vector<Step> intact = {{0, running, 0},     {999, running, 0}, {4500, running, 50},
                                          {7999, running, 99}, {8000, 0, 100},    {60000, 0, 100}};
        const std::vector<Step> corrupt = {
            {0, running, 0}, {999, running, 0}, {1000, finalAnswer, 0}, {60000, finalAnswer, 0}};
        uint64_t now = 0;
        for (const Step &step : finalAnswer == 0 ? intact : corrupt) {
            lqsim_advance_clock(step.atMs - now);
            now = step.atMs;
            percent = 777;
            QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(h, &percent), step.answer);
            QCOMPARE(percent, step.percent);
            if (step.answer == running) { // busy while it runs: no second update, no reboot
                QCOMPARE(LumenquillAPIFirmwareUpdateStart(h, wide.c_str()), int(LQSIM_ERR_BUSY));
                QCOMPARE(LumenquillAPIRestartDevice(h), int(LQSIM_ERR_BUSY));
                QCOMPARE(lqsim_replug(kMacA), -1);
            }
        }
    }

    void firmwareWithoutCrc32GeneratorFails()
    {
        const QString path = m_dir.filePath(QStringLiteral("probe.img"));
        QVERIFY(writeFile(path, image({14})));
        // The probe answers with the library's answer, negated, as its exit code.
        QCOMPARE(runProgram(LQSIM_NOCRC32_PROBE, path.toStdString()), -LQSIM_ERR_NO_CRC32);
    }

    // ------------------------------------------------------------------ shutdown

    void noCallbackAfterUninitialize()
    {
        start(scenario({device(10, kMacA), device(14, kMacB)}), 2);
        // Another thread keeps devices coming and going while we stop the library.
        std::atomic<bool> stop{false};
        std::thread churn([&] {
            for (int i = 0; i < 100000 && !stop; ++i) {
                lqsim_replug(i % 2 ? kMacA : kMacB);
                lqsim_advance_clock(LQSIM_RESTART_MS);
            }
        });
        // Spin, not sleep, until the churn is under way.
        for (int i = 0; i < 50000000 && m_recorder->added().size() < 12; ++i)
            std::this_thread::yield();
        const bool churning = m_recorder->added().size() >= 12;
        QCOMPARE(LumenquillAPIUninitialize(), 0);
        QVERIFY(!m_recorder->inCallback);
        const size_t added = m_recorder->added().size(), gone = m_recorder->gone().size();
        QCOMPARE(lqsim_is_initialized(), 0);
        QCOMPARE(LumenquillAPIUninitialize(), 0); // twice is harmless
        stop = true;
        churn.join();
        QVERIFY2(churning, "the devices never came and went");
        QCOMPARE(lqsim_plug(device(12, kMacC).constData()), 0);
        QCOMPARE(lqsim_unplug(kMacA), 0);
        lqsim_advance_clock(10 * LQSIM_RESTART_MS);
        QCOMPARE(m_recorder->added().size(), added);
        QCOMPARE(m_recorder->gone().size(), gone);
        QCOMPARE(handle(kMacB), uint64_t(0));
        // Started again, it announces what is plugged now, each device once.
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(LQSIM_RESTART_MS);
        QCOMPARE(m_recorder->added().size(), added + 2);
        QVERIFY(handle(kMacB) != 0 && handle(kMacC) != 0);
    }
};

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
