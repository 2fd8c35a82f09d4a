// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The simulated device library through its C interfaces, as the manager and
// the tests see it: scenarios and their errors, announcements and handles,
// settings that survive restarts or not, injected failures, firmware updates
// on the simulator clock, and a clean stop.

#include "crc32generator.h"
#include "firmwareimage.h"
#include "lqsim.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

QByteArray device(int type, const char *mac, const QByteArray &more = {})
{
    return "{\"type\":" + QByteArray::number(type) + ",\"mac\":\"" + mac + "\"" + (more.isEmpty() ? "" : "," + more) +
           "}";
}

QByteArray scenario(const QList<QByteArray> &devices)
{
    return "{\"devices\":[" + devices.join(',') + "]}";
}

// The manager's callbacks: identify the new device from the simulator thread
// the way the manager's worker does, which calls straight back into the library.
class Recorder {
public:
    struct Arrival {
        uint64_t handle = 0;
        std::thread::id thread;
        bool identified = false;
        uint32_t type = 0;
    };

    Recorder()
    {
        LumenquillAPIAddNewDeviceCallback(&Recorder::onNewDevice, this);
        LumenquillAPIAddDeviceGoneCallback(&Recorder::onDeviceGone, this);
    }

    static void onNewDevice(uint64_t h, void *context)
    {
        auto *self = static_cast<Recorder *>(context);
        self->m_inCallback = true;
        Arrival a{h, std::this_thread::get_id(), false, 0};
        uint8_t mac[6] = {};
        DeviceVersions versions{};
        DeviceFeatures features{};
        a.identified = LumenquillAPIGetDeviceType(h, &a.type) == 0 && LumenquillAPIGetDeviceMAC(h, mac) == 0 &&
                       LumenquillAPIGetVersions(h, &versions) == 0 &&
                       (!(LumenquillAPIGetDeviceCapabilities(a.type) & LQ_CAP_CONFIGURABLE) ||
                        LumenquillAPIGetDeviceFeatures(h, &features) == 0);
        std::lock_guard lock(self->m_mutex);
        self->m_added.push_back(a);
        self->m_inCallback = false;
    }

    static void onDeviceGone(uint64_t handle, void *context)
    {
        auto *self = static_cast<Recorder *>(context);
        std::lock_guard lock(self->m_mutex);
        self->m_gone.push_back(handle);
    }

    std::vector<Arrival> added() const { std::lock_guard lock(m_mutex); return m_added; }
    std::vector<uint64_t> gone() const { std::lock_guard lock(m_mutex); return m_gone; }
    bool inCallback() const { return m_inCallback; }

private:
    mutable std::mutex m_mutex;
    std::vector<Arrival> m_added;
    std::vector<uint64_t> m_gone;
    std::atomic<bool> m_inCallback{false};
};

// Catches what the library writes to stderr, at the file descriptor level.
class StderrCapture {
    int m_saved = ::dup(STDERR_FILENO);
    FILE *m_file = std::tmpfile();
    QByteArray m_text;

public:
    StderrCapture() { ::dup2(::fileno(m_file), STDERR_FILENO); }
    ~StderrCapture() { finish(); }
    QByteArray finish()
    {
        if (m_file) {
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            std::rewind(m_file);
            for (int c; (c = std::fgetc(m_file)) != EOF;)
                m_text += char(c);
            std::fclose(m_file);
            m_file = nullptr;
        }
        return m_text;
    }
};

// Runs a helper program to its end and answers its exit code, or -1. Not
// QProcess: its fork marks this process as forked for ThreadSanitizer, which
// then refuses the simulator thread that the next test starts.
int runProgram(const QString &program, const QStringList &arguments)
{
    std::vector<std::string> strings{program.toStdString()};
    for (const QString &argument : arguments)
        strings.push_back(argument.toStdString());
    std::vector<char *> argv;
    for (std::string &s : strings)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<uint8_t> imageBytes(std::vector<uint32_t> types, lqsim::DottedVersion software, uint32_t hardware,
                                bool corrupt)
{
    lqsim::FirmwareImageHeader header;
    header.deviceTypes = std::move(types);
    header.softwareVersion = software;
    header.hardwareVersion = hardware;
    std::vector<uint8_t> payload(20000);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i * 7 + (i >> 8));
    CRC32Generator crc;
    header.payloadCrc = uint32_t(crc.Generate(reinterpret_cast<char *>(payload.data()), payload.size()));
    if (corrupt)
        payload[12345] ^= 0x01;
    return lqsim::firmwareimage::encode(header, payload);
}

bool writeFile(const QString &path, const std::vector<uint8_t> &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char *>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

// Same random-looking bytes on every run, reserved bytes included.
template <typename T> T patterned(uint8_t seed)
{
    T record;
    auto *bytes = reinterpret_cast<uint8_t *>(&record);
    for (size_t i = 0; i < sizeof record; ++i)
        bytes[i] = uint8_t(seed + i * 37 + (i >> 3));
    return record;
}

} // namespace

enum class Record { Features, PortsSpeed, PacketFilter, DpiFilter };
Q_DECLARE_METATYPE(Record)
using ImageMaker = std::function<bool(QString &path)>;
Q_DECLARE_METATYPE(ImageMaker)

namespace {

template <typename T> QByteArray bytesOf(const T &record)
{
    return QByteArray(reinterpret_cast<const char *>(&record), sizeof record);
}

// What the manager can do with each record: set one whose every byte is
// patterned (reserved ones included), read it back, save it, and what the
// control API saw. Reads answer an empty array on failure.
struct RecordCalls {
    std::function<int(uint64_t, uint8_t)> set;
    std::function<QByteArray(uint64_t)> get;
    std::function<int(uint64_t)> save;
    std::function<QByteArray(const char *)> last;
    std::function<QByteArray(uint8_t)> patterned;
};

template <typename T>
RecordCalls recordCalls(int (*set)(uint64_t, T), int (*get)(uint64_t, T *), int (*save)(uint64_t),
                        int (*last)(const char *, T *))
{
    return {[set](uint64_t h, uint8_t seed) { return set(h, patterned<T>(seed)); },
            [get](uint64_t h) {
                T record{};
                return get(h, &record) == 0 ? bytesOf(record) : QByteArray();
            },
            save,
            [last](const char *mac) {
                T record{};
                return last(mac, &record) == 0 ? bytesOf(record) : QByteArray();
            },
            [](uint8_t seed) { return bytesOf(patterned<T>(seed)); }};
}

RecordCalls callsFor(Record record)
{
    switch (record) {
    case Record::Features:
        return recordCalls(&LumenquillAPISetDeviceFeatures, &LumenquillAPIGetDeviceFeatures,
                           &LumenquillAPISaveDeviceFeatures, &lqsim_last_features);
    case Record::PortsSpeed: // saved together with the features
        return recordCalls(&LumenquillAPISetDevicePortsSpeed, &LumenquillAPIGetDevicePortsSpeed,
                           &LumenquillAPISaveDeviceFeatures, &lqsim_last_ports_speed);
    case Record::PacketFilter:
        return recordCalls(&LumenquillAPISetPacketFilter, &LumenquillAPIGetPacketFilter, &LumenquillAPISavePacketFilter,
                           &lqsim_last_packet_filter);
    case Record::DpiFilter:
        return recordCalls(&LumenquillAPISetDpiFilter, &LumenquillAPIGetDpiFilter, &LumenquillAPISaveDpiFilter,
                           &lqsim_last_dpi_filter);
    }
    return {};
}

// The per-device functions, each called with a handle and valid records.
const std::map<QByteArray, std::function<int(uint64_t)>> &deviceCalls()
{
    static struct {
        uint32_t u32;
        uint8_t mac[6];
        DeviceVersions versions;
        LinkStatus link;
        DeviceStatistics statistics;
        TimingStatus timing;
        DiskDumpStatus dump;
        DeviceFeatures features;
        DevicePortsSpeed ports;
        PacketFilter filter;
        DpiFilter dpi;
        HwFirmwaresDesc variants;
        DiskDumpConfig capture{0, 0, 0, {}, const_cast<wchar_t *>(L"/nonexistent-folder/capture.pcapng"), 0, 0, 0, 0};
    } r;
#define CALL(name, args) {#name, [](uint64_t h) { return LumenquillAPI##name args; }}
    static const std::map<QByteArray, std::function<int(uint64_t)>> calls = {
        CALL(GetDeviceType, (h, &r.u32)),           CALL(GetDeviceMAC, (h, r.mac)),
        CALL(GetDeviceExtraInfo, (h, &r.u32)),      CALL(GetVersions, (h, &r.versions)),
        CALL(GetLinkStatus, (h, &r.link)),          CALL(GetStatistics, (h, &r.statistics)),
        CALL(GetTimingStatus, (h, &r.timing)),      CALL(DiskDumpGetStatus, (h, &r.dump)),
        CALL(GetDeviceFeatures, (h, &r.features)),  CALL(GetDevicePortsSpeed, (h, &r.ports)),
        CALL(GetPacketFilter, (h, &r.filter)),      CALL(GetDpiFilter, (h, &r.dpi)),
        CALL(SetDeviceFeatures, (h, {})),           CALL(SetDevicePortsSpeed, (h, {})),
        CALL(SetPacketFilter, (h, {})),             CALL(SetDpiFilter, (h, {})),
        CALL(SetCounterV2, (h, {})),                CALL(SetTimingTime, (h, {LQ_TIME_SOURCE_GPS, 0, 0})),
        CALL(DiskDumpSetConfig, (h, r.capture)),    CALL(SaveDeviceFeatures, (h)),
        CALL(SavePacketFilter, (h)),                CALL(SaveDpiFilter, (h)),
        CALL(RestartDevice, (h)),                   CALL(DiskDumpStart, (h)),
        CALL(DiskDumpStop, (h)),                    CALL(FirmwareUpdateStart, (h, L"/nonexistent.img")),
        CALL(FirmwareUpdateGetProgress, (h, &r.u32)), CALL(GetHwFirmwaresDesc, (h, &r.variants)),
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

    // ------------------------------------------------------------------ models

    void capabilityTable_data()
    {
        QTest::addColumn<uint32_t>("type");
        QTest::addColumn<uint32_t>("capabilities");
        // Written out bit by bit, not derived the way the library derives them.
        QTest::newRow("1G") << 3u << 0x8D15u;
        QTest::newRow("1G+") << 5u << 0x18D95u;
        QTest::newRow("1G v5") << 6u << 0x48D15u;
        QTest::newRow("1G v5 PoE") << 7u << 0x48D35u;
        QTest::newRow("1G+ PoE") << 8u << 0x18DB5u;
        QTest::newRow("1G+ GPS") << 9u << 0x18D9Du;
        QTest::newRow("1G+ GPS PoE") << 10u << 0x18DBDu;
        QTest::newRow("10G") << 11u << 0x189D5u;
        QTest::newRow("10G GPS") << 12u << 0x189DDu;
        QTest::newRow("100") << 13u << 0x8515u;
        QTest::newRow("1G v6") << 14u << 0x58E95u;
        QTest::newRow("no device") << 0u << 0u;
        QTest::newRow("bad firmware") << 1u << 0u;
        QTest::newRow("type 4") << 4u << 0u;
        QTest::newRow("beyond the models") << 15u << 0u;
        QTest::newRow("all ones") << 0xFFFFFFFFu << 0u;
    }

    void capabilityTable()
    {
        QFETCH(uint32_t, type);
        QFETCH(uint32_t, capabilities);
        QCOMPARE(LumenquillAPIGetDeviceCapabilities(type), capabilities);
    }

    void defaultScenarioShowsEveryTab()
    {
        ::setenv("LUMENQUILL_SIM_SCENARIO", "", 1); // empty means the default
        QCOMPARE(lqsim_load_startup_scenario(), 0);
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);

        const auto added = m_recorder->added();
        QCOMPARE(int(added.size()), 3);
        QCOMPARE(LumenquillAPIGetVersion(), 0x000D0302u);
        std::set<uint32_t> types;
        std::set<QByteArray> macs;
        uint32_t union_ = 0;
        for (const Recorder::Arrival &arrival : added) {
            QVERIFY(arrival.identified);
            QVERIFY(arrival.thread != std::this_thread::get_id());
            types.insert(arrival.type);
            union_ |= LumenquillAPIGetDeviceCapabilities(arrival.type);
            uint8_t mac[6] = {};
            QCOMPARE(LumenquillAPIGetDeviceMAC(arrival.handle, mac), 0);
            QCOMPARE(mac[0], uint8_t(0x02)); // locally administered, never a real vendor's
            macs.insert(QByteArray(reinterpret_cast<char *>(mac), 6));
            // The manager's driver check: each component within 1.9.18.0..1.9.19.0.
            DeviceVersions v{};
            QCOMPARE(LumenquillAPIGetVersions(arrival.handle, &v), 0);
            const uint8_t low[4] = {1, 9, 18, 0}, high[4] = {1, 9, 19, 0};
            for (int i = 0; i < 4; ++i)
                QVERIFY(v.driverVersion[i] >= low[i] && v.driverVersion[i] <= high[i]);
            QVERIFY(v.softwareVersion[0] > 0);
            QVERIFY(v.hardwareFirmwareVersion > 0 && v.hardwareFirmwareVersion < 10000);
            HwFirmwaresDesc list{};
            list.count = -1;
            QCOMPARE(LumenquillAPIGetHwFirmwaresDesc(arrival.handle, &list), 0);
            QCOMPARE(list.count, arrival.type == 14 ? 2 : 0);
            if (arrival.type == 14) {
                QVERIFY(std::strlen(list.names[0]) > 0 && std::strlen(list.names[1]) > 0);
                QCOMPARE(list.names[2][0], '\0');
            }
            if (arrival.type == 12) {
                LinkStatus link{};
                QCOMPARE(LumenquillAPIGetLinkStatus(arrival.handle, &link), 0);
                QVERIFY(link.sfp.portA.present && link.sfp.portB.present);
            }
        }
        QCOMPARE(types, (std::set<uint32_t>{10, 12, 14}));
        QCOMPARE(int(macs.size()), 3);
        // Every capability bit, so every tab, is shown by one of them.
        QCOMPARE(union_, 0x58FFDu);
    }

    void scenarioFilesLoad_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("devices");
        QTest::newRow("example") << QStringLiteral("example.json") << 4;
        QTest::newRow("single 1G") << QStringLiteral("single-1g.json") << 1;
    }

    void scenarioFilesLoad()
    {
        QFETCH(QString, file);
        QFETCH(int, devices);
        // Through the environment, as an operator names it.
        const QByteArray path = QDir(QStringLiteral(LQSIM_SCENARIO_DIR)).filePath(file).toLocal8Bit();
        ::setenv("LUMENQUILL_SIM_SCENARIO", path.constData(), 1);
        StderrCapture capture;
        QCOMPARE(lqsim_load_startup_scenario(), 0);
        QCOMPARE(capture.finish(), QByteArray());
        QCOMPARE(lqsim_device_count(), devices);
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        const auto added = m_recorder->added();
        QCOMPARE(int(added.size()), devices);
        for (const Recorder::Arrival &arrival : added)
            QVERIFY(arrival.identified);
    }

    void scenarioErrorNamesLineAndField_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("field"); // what follows "<text>:<line>: "
        QTest::addColumn<QString>("what");
        auto row = [](const char *name, const QByteArray &json, int line, const char *field, const char *what) {
            QTest::newRow(name) << json << line << QString(field) << QString(what);
        };
        // One device, one member per line: the member on body line k is on line 3 + k.
        auto lines = [](const QList<QByteArray> &body) {
            return "{\n  \"devices\": [\n    {\n      " + body.join(",\n      ") + "\n    }\n  ]\n}\n";
        };
        const QByteArray type = "\"type\": 14";
        const QByteArray mac = "\"mac\": \"02:4c:51:00:10:01\"";
        auto with = [&](const QByteArray &member) { return lines({type, mac, member}); };

        row("JSON syntax", "{\n  \"devices\": [\n    {\"type\": 10,}\n  ]\n}", 3, "invalid JSON", "");
        row("cut short", "{\"devices\": [", 1, "invalid JSON", "end of input");
        row("not an object", "[1, 2]", 1, "scenario", "must be an object");
        row("misspelt devices", "{\n  \"device\": []\n}", 2, "device", "unknown field");
        row("no devices", "{\n}", 1, "devices", "missing");
        row("type as text", lines({"\"type\": \"10\"", mac}), 4, "devices[0].type", "must be an integer, not \"10\"");
        row("negative type", lines({"\"type\": -1", mac}), 4, "devices[0].type", "must be between 0 and 4294967295");
        row("no MAC", lines({type}), 3, "devices[0].mac", "missing");
        row("unknown member", with("\"colour\": \"red\""), 6, "devices[0].colour", "unknown field");
        row("bad MAC on line 7",
            "{\n  \"devices\": [\n    { \"type\": 10, \"mac\": \"02:4c:51:00:10:01\" },\n    {\n"
            "      \"type\": 14,\n\n      \"mac\": \"zz\"\n    }\n  ]\n}",
            7, "devices[1].mac", "\"zz\" is not a MAC address");
        row("same MAC twice",
            "{\"devices\": [\n  {\"type\": 10, \"mac\": \"02:4c:51:00:10:01\"},\n"
            "  {\"type\": 14, \"mac\": \"02:4C:51:00:10:01\"}\n]}",
            3, "devices[1].mac", "is already used by devices[0]");
        row("driver version", with("\"versions\": {\"driver\": \"1.9.18\"}"), 6, "devices[0].versions.driver",
            "is not a version");
        row("USB speed", with("\"usb_speed\": 4"), 6, "devices[0].usb_speed", "must be between 1 and 3");
        row("feature as text", with("\"features\": {\"keep_crc\": \"yes\"}"), 6, "devices[0].features.keep_crc",
            "must be true, false or an integer");
        row("unknown feature", with("\"features\": {\"turbo\": 1}"), 6, "devices[0].features.turbo", "unknown field");
        row("slicing length", with("\"features\": {\"slicing_length\": 70000}"), 6,
            "devices[0].features.slicing_length", "must be between 0 and 65535");
        row("third port", with("\"ports_speed\": {\"c\": {}}"), 6, "devices[0].ports_speed.c", "unknown field");
        row("variants on a model without", lines({"\"type\": 10", mac, "\"firmware_variants\": [\"A\"]"}), 6,
            "devices[0].firmware_variants", "device type 10 has no firmware variants");
        row("variant name too long", with("\"firmware_variants\": [\"ok\", \"" + QByteArray(32, 'x') + "\"]"), 6,
            "devices[0].firmware_variants[1]", "1 to 31 printable ASCII characters");
        row("variant in force missing",
            lines({type, mac, "\"firmware_variants\": [\"a\", \"b\"]", "\"features\": {\"firmware_variant\": 2}"}), 7,
            "devices[0].features.firmware_variant", "one of the 2 firmware variants");
        row("library version", "{\"library_version\": \"2.3\", \"devices\": []}", 1, "library_version",
            "is not a version");
        row("hardware member", with("\"traffic\": {\n        \"a\": {\"load\": 2}}"), 7, "devices[0].traffic.a.load",
            "between 0 and 1");
    }

    void scenarioErrorNamesLineAndField()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, line);
        QFETCH(QString, field);
        QFETCH(QString, what);

        // A running library with a device: the bad scenario takes it away.
        start(scenario({device(10, kMacB)}), 1);
        const uint64_t before = handle(kMacB);
        StderrCapture capture;
        QCOMPARE(lqsim_load_scenario_text(json.constData()), -1);
        const QString text = QString::fromUtf8(capture.finish());

        QCOMPARE(text.count(QLatin1Char('\n')), 1);
        QVERIFY(text.endsWith(QLatin1Char('\n')));
        const QString head = QStringLiteral("lumenquill simulator: <text>:%1: %2").arg(line).arg(field);
        QVERIFY2(text.startsWith(head), qPrintable(text));
        QVERIFY2(text.contains(what), qPrintable(text));

        QCOMPARE(lqsim_device_count(), 0);
        lqsim_advance_clock(0);
        QCOMPARE(m_recorder->gone(), std::vector<uint64_t>{before});
        QCOMPARE(int(m_recorder->added().size()), 1);
        QCOMPARE(LumenquillAPIGetVersion(), 0x000D0302u);
    }

    void scenarioFileErrors_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: no file at all
        QTest::addColumn<QString>("expected");   // after "<path>"
        QTest::newRow("missing file") << QByteArray() << ": cannot read the scenario: No such file or directory";
        QTest::newRow("bad MAC")
            << QByteArray("{\n  \"devices\": [\n    {\"type\": 10, \"mac\": \"02:4c:51:00:10:01\"},\n    {\n"
                          "      \"type\": 12,\n      \"versions\": {\"driver\": \"1.9.18.0\"},\n"
                          "      \"mac\": \"zz\"\n    }\n  ]\n}\n")
            << ":7: devices[1].mac: \"zz\" is not a MAC address";
        QTest::newRow("whitespace only") << QByteArray("\n\n   \n") << ":3: invalid JSON";
    }

    void scenarioFileErrors()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const QString path = m_dir.filePath(QStringLiteral("scenario-%1.json").arg(QTest::currentDataTag()));
        if (!content.isEmpty())
            QVERIFY(writeFile(path, std::vector<uint8_t>(content.begin(), content.end())));

        for (bool throughEnvironment : {false, true}) {
            QCOMPARE(lqsim_load_scenario_text(scenario({device(10, kMacB)}).constData()), 0);
            StderrCapture capture;
            if (throughEnvironment) {
                ::setenv("LUMENQUILL_SIM_SCENARIO", path.toLocal8Bit().constData(), 1);
                QCOMPARE(lqsim_load_startup_scenario(), -1);
            } else {
                QCOMPARE(lqsim_load_scenario_file(path.toLocal8Bit().constData()), -1);
            }
            const QString text = QString::fromUtf8(capture.finish());
            QCOMPARE(text.count(QLatin1Char('\n')), 1);
            QVERIFY2(text.startsWith(QStringLiteral("lumenquill simulator: ") + path + expected), qPrintable(text));
            QCOMPARE(lqsim_device_count(), 0);
        }
        // The library still starts, with nothing to announce.
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        QCOMPARE(int(m_recorder->added().size()), 0);
    }

    void plugRefusesDuplicateAndBadDevice()
    {
        start(scenario({device(10, kMacA)}), 1);
        StderrCapture capture;
        QCOMPARE(lqsim_plug(device(14, "02:4C:51:00:10:01").constData()), -1); // same MAC, other case
        QCOMPARE(lqsim_plug(device(14, "02:4c:51:00:10").constData()), -1);
        const QList<QByteArray> lines = capture.finish().split('\n');
        QCOMPARE(lines.size(), 3); // two lines and the empty rest
        QVERIFY(lines[0].contains("is already plugged"));
        QVERIFY(lines[1].startsWith("lumenquill simulator: <text>:1: mac: "));
        QCOMPARE(lqsim_device_count(), 1);

        QCOMPARE(lqsim_plug(device(14, kMacB).constData()), 0);
        lqsim_advance_clock(0);
        QCOMPARE(int(m_recorder->added().size()), 2);
        QVERIFY(handle(kMacB) != 0);
        QCOMPARE(lqsim_device_count(), 2);
    }

    void scenarioValuesReachTheDevice()
    {
        const QByteArray json =
            "{\"library_version\": \"2.3.14.1\", \"devices\": [" +
            device(14, kMacA,
                   "\"versions\": {\"software\": \"5.1.2.3\", \"driver\": \"1.9.19.0\", \"hardware\": 1402},"
                   "\"usb_speed\": 1, \"firmware_variants\": [\"Plain\", \"Counters\", \"Deep buffer\"],"
                   "\"features\": {\"tap_mode\": 0, \"timestamps\": false, \"firmware_variant\": 2, \"pps_delay\": -7,"
                   " \"transmit_crc_errors\": 2},"
                   "\"ports_speed\": {\"b\": {\"auto_negotiation\": 0, \"speed_1000_full\": false}}") +
            "]}";
        start(json, 1);
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

    // ------------------------------------------------------------------ records

    void recordsRoundTripAndRestart_data()
    {
        QTest::addColumn<Record>("record");
        QTest::addColumn<bool>("save");
        for (bool save : {true, false}) {
            const char *suffix = save ? " saved" : " unsaved"; // port speeds are saved with the features
            QTest::addRow("features%s", suffix) << Record::Features << save;
            QTest::addRow("port speeds%s", suffix) << Record::PortsSpeed << save;
            QTest::addRow("packet filter%s", suffix) << Record::PacketFilter << save;
            QTest::addRow("pattern filter%s", suffix) << Record::DpiFilter << save;
        }
    }

    void recordsRoundTripAndRestart()
    {
        QFETCH(Record, record);
        QFETCH(bool, save);
        const RecordCalls calls = callsFor(record);
        start(scenario({device(14, kMacA)}), 1);
        const uint64_t h = handle(kMacA);
        const QByteArray initial = calls.get(h);
        QVERIFY(!initial.isEmpty());
        QCOMPARE(calls.last(kMacA), QByteArray()); // nothing set yet
        // Every byte, reserved ones included, reads back as set and as the control API saw it.
        for (uint8_t seed : {uint8_t(200), uint8_t(11)}) {
            QCOMPARE(calls.set(h, seed), 0);
            const QByteArray read = calls.get(h);
            QCOMPARE(read, calls.patterned(seed));
            QCOMPARE(read, calls.last(kMacA));
        }
        if (save)
            QCOMPARE(calls.save(h), 0);
        const QByteArray changed = calls.get(h);
        QVERIFY(changed != initial);

        QCOMPARE(LumenquillAPIRestartDevice(h), 0);
        lqsim_advance_clock(LQSIM_RESTART_MS);
        const uint64_t back = handle(kMacA);
        QVERIFY(back != 0 && back != h);
        QCOMPARE(calls.get(back), save ? changed : initial);
    }



    // ------------------------------------------------------------------ failures

    void unknownHandleFails_data()
    {
        QTest::addColumn<QByteArray>("function");
        for (const auto &call : deviceCalls())
            QTest::newRow(call.first.constData()) << call.first;
    }

    void unknownHandleFails()
    {
        QFETCH(QByteArray, function);
        const auto &call = deviceCalls().at(function);
        // Not yet initialised: the device is plugged but has no handle.
        QCOMPARE(lqsim_load_scenario_text(scenario({device(10, kMacA)}).constData()), 0);
        QCOMPARE(handle(kMacA), uint64_t(0));
        QCOMPARE(call(0), int(LQSIM_ERR_UNKNOWN_HANDLE));

        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        const uint64_t h = handle(kMacA);
        for (uint64_t bogus : {uint64_t(0), h + 1, ~uint64_t(0)})
            QCOMPARE(call(bogus), int(LQSIM_ERR_UNKNOWN_HANDLE));
        QCOMPARE(lqsim_unplug(kMacA), 0);
        QCOMPARE(call(h), int(LQSIM_ERR_UNKNOWN_HANDLE)); // unplugged: gone at once
    }

    void capabilityGating_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("function");
        QTest::addColumn<int>("answer");
        const int unsupported = LQSIM_ERR_NOT_SUPPORTED;
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

    void capabilityGating()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, function);
        QFETCH(int, answer);
        start(scenario({device(type, kMacA)}), 1);
        QCOMPARE(deviceCalls().at(function)(handle(kMacA)), answer);
    }

    void linkSettingsAndPhysicalEventsAcrossRestart()
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

    void faultModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("minFailures");
        QTest::addColumn<int>("maxFailures");
        QTest::newRow("once") << int(LQSIM_FAIL_ONCE) << 0.0 << 1 << 1;
        QTest::newRow("always") << int(LQSIM_FAIL_ALWAYS) << 0.0 << 400 << 400;
        QTest::newRow("a quarter") << int(LQSIM_FAIL_RATE) << 0.25 << 60 << 140;
        QTest::newRow("rate never") << int(LQSIM_FAIL_RATE) << 0.0 << 0 << 0;
        QTest::newRow("rate always") << int(LQSIM_FAIL_RATE) << 1.0 << 400 << 400;
    }

    void faultModes()
    {
        QFETCH(int, mode);
        QFETCH(double, rate);
        QFETCH(int, minFailures);
        QFETCH(int, maxFailures);
        start(scenario({device(10, kMacA)}), 1);
        const uint64_t h = handle(kMacA);

        auto run = [&](std::vector<bool> *failures) {
            lqsim_reset_call_counts();
            QCOMPARE(lqsim_fail("LumenquillAPIGetStatistics", mode, rate, -42), 0);
            for (int i = 0; i < 400; ++i) {
                DeviceStatistics statistics{};
                const int answer = LumenquillAPIGetStatistics(h, &statistics);
                QVERIFY(answer == 0 || answer == -42);
                failures->push_back(answer == -42);
            }
            QCOMPARE(lqsim_call_count("LumenquillAPIGetStatistics"), uint64_t(400));
            lqsim_clear_failures();
        };
        std::vector<bool> first, second;
        run(&first);
        const int failed = int(std::count(first.begin(), first.end(), true));
        QVERIFY2(failed >= minFailures && failed <= maxFailures, qPrintable(QString::number(failed)));
        if (mode == LQSIM_FAIL_ONCE)
            QVERIFY(first.front());
        // Seeded: arming it again fails exactly the same calls.
        run(&second);
        QCOMPARE(first, second);
        // Other functions were never affected, and cleared means cleared.
        DeviceFeatures features{};
        QCOMPARE(LumenquillAPIGetDeviceFeatures(h, &features), 0);
        DeviceStatistics statistics{};
        QCOMPARE(LumenquillAPIGetStatistics(h, &statistics), 0);
    }

    void faultRefusals_data()
    {
        QTest::addColumn<QByteArray>("function");
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("rate");
        QTest::addColumn<int>("code");
        auto row = [](const char *name, const char *function, int mode, double rate, int code) {
            QTest::newRow(name) << QByteArray("LumenquillAPI") + function << mode << rate << code;
        };
        row("version cannot fail", "GetVersion", LQSIM_FAIL_ALWAYS, 0.0, -1);
        row("capabilities cannot fail", "GetDeviceCapabilities", LQSIM_FAIL_ONCE, 0.0, -1);
        row("unknown function", "GetTemperature", LQSIM_FAIL_ONCE, 0.0, -1);
        row("zero code", "GetDeviceType", LQSIM_FAIL_ONCE, 0.0, 0);
        row("unknown mode", "GetDeviceType", 7, 0.0, -1);
        row("rate above one", "GetDeviceType", LQSIM_FAIL_RATE, 1.5, -1);
    }

    void faultRefusals()
    {
        QFETCH(QByteArray, function);
        QFETCH(int, mode);
        QFETCH(double, rate);
        QFETCH(int, code);
        start(scenario({device(10, kMacA)}), 1);
        QCOMPARE(lqsim_fail(function.constData(), mode, rate, code), -1);
        uint32_t type = 0;
        QCOMPARE(LumenquillAPIGetDeviceType(handle(kMacA), &type), 0);
        QCOMPARE(LumenquillAPIGetVersion(), 0x000D0302u);
        QCOMPARE(LumenquillAPIGetDeviceCapabilities(10), 0x18DBDu);
    }


    // ------------------------------------------------------------------ firmware

    void firmwareUpdate_data()
    {
        QTest::addColumn<ImageMaker>("make"); // writes the image, may change the path
        QTest::addColumn<int>("startAnswer");
        QTest::addColumn<int>("finalAnswer");
        auto bytes = [](std::vector<uint8_t> b) { return ImageMaker([b](QString &p) { return writeFile(p, b); }); };
        auto tool = [](const QStringList &more) {
            return ImageMaker([more](QString &path) {
                const QStringList arguments{"--type", "13,14", "--software", "6.0.0.0", "--output", path};
                return runProgram(QStringLiteral(LQSIM_MKFIRMWARE), arguments + more) == 0;
            });
        };
        auto image = [](std::vector<uint32_t> types, bool corrupt) {
            return imageBytes(std::move(types), {6, 0, 0, 0}, 1500, corrupt);
        };
        const std::vector<uint8_t> good = image({14}, false);
        const int unreadable = LQSIM_ERR_IMAGE_UNREADABLE, foreign = LQSIM_ERR_IMAGE_FOREIGN;
        const int corrupt = LQSIM_ERR_IMAGE_CORRUPT, wrongDevice = LQSIM_ERR_IMAGE_WRONG_DEVICE;
        QTest::newRow("fits") << bytes(good) << 0 << 0;
        QTest::newRow("non-ASCII path") << ImageMaker([this, good](QString &path) {
            path = m_dir.filePath(QStringLiteral("f\u00efrmware-\u00e9t\u00e9 \U0001F4E6.img"));
            return writeFile(path, good);
        }) << 0 << 0;
        QTest::newRow("lists several models") << bytes(image({3, 6, 14}, false)) << 0 << 0;
        QTest::newRow("made by the image tool") << tool({}) << 0 << 0;
        QTest::newRow("missing file") << ImageMaker([](QString &) { return true; }) << unreadable << 0;
        QTest::newRow("empty path") << ImageMaker([](QString &path) { path.clear(); return true; }) << unreadable << 0;
        QTest::newRow("a directory") << ImageMaker([this](QString &path) { path = m_dir.path(); return true; })
                                     << unreadable << 0;
        QTest::newRow("not an image") << bytes(std::vector<uint8_t>(4096, 'M')) << foreign << 0;
        QTest::newRow("cut short") << bytes({good.begin(), good.end() - 1}) << foreign << 0;
        QTest::newRow("another model's image") << bytes(image({10, 12}, false)) << wrongDevice << 0;
        QTest::newRow("corrupt payload") << bytes(image({14}, true)) << 0 << corrupt;
        QTest::newRow("corrupted by the image tool") << tool({"--corrupt"}) << 0 << corrupt;
    }

    void firmwareUpdate()
    {
        QFETCH(ImageMaker, make);
        QFETCH(int, startAnswer);
        QFETCH(int, finalAnswer);
        start(scenario({device(14, kMacA)}), 1);
        const uint64_t h = handle(kMacA);
        QString path = m_dir.filePath(QString::fromUtf8(QTest::currentDataTag()) + QStringLiteral(".img"));
        QVERIFY(make(path));

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
        const std::vector<Step> intact = {{0, LQ_FIRMWARE_UPDATE_RUNNING, 0},
                                          {999, LQ_FIRMWARE_UPDATE_RUNNING, 0},
                                          {4500, LQ_FIRMWARE_UPDATE_RUNNING, 50},
                                          {7999, LQ_FIRMWARE_UPDATE_RUNNING, 99},
                                          {8000, 0, 100},
                                          {60000, 0, 100}};
        const std::vector<Step> corrupt = {{0, LQ_FIRMWARE_UPDATE_RUNNING, 0},
                                           {999, LQ_FIRMWARE_UPDATE_RUNNING, 0},
                                           {1000, finalAnswer, 0},
                                           {60000, finalAnswer, 0}};
        uint64_t now = 0;
        for (const Step &step : finalAnswer == 0 ? intact : corrupt) {
            lqsim_advance_clock(step.atMs - now);
            now = step.atMs;
            percent = 777;
            QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(h, &percent), step.answer);
            QCOMPARE(percent, step.percent);
            if (step.answer == LQ_FIRMWARE_UPDATE_RUNNING) {
                // Busy while it runs: no second update, no reboot.
                QCOMPARE(LumenquillAPIFirmwareUpdateStart(h, wide.c_str()), int(LQSIM_ERR_BUSY));
                QCOMPARE(LumenquillAPIRestartDevice(h), int(LQSIM_ERR_BUSY));
                QCOMPARE(lqsim_replug(kMacA), -1);
            }
        }
    }

    void firmwareWithoutCrc32GeneratorFails()
    {
        const QString path = m_dir.filePath(QStringLiteral("probe.img"));
        QVERIFY(writeFile(path, imageBytes({14}, {6, 0, 0, 0}, 1500, false)));
        // The probe answers with the library's answer, negated, as its exit code.
        QCOMPARE(runProgram(QStringLiteral(LQSIM_NOCRC32_PROBE), {path}), -LQSIM_ERR_NO_CRC32);
    }

    // ------------------------------------------------------------------ capture, shutdown


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
        if (m_recorder->added().size() < 12) {
            stop = true;
            churn.join();
            QFAIL("the devices never came and went");
        }
        QCOMPARE(LumenquillAPIUninitialize(), 0);
        QVERIFY(!m_recorder->inCallback());
        const size_t added = m_recorder->added().size();
        const size_t gone = m_recorder->gone().size();
        QCOMPARE(lqsim_is_initialized(), 0);
        QCOMPARE(LumenquillAPIUninitialize(), 0); // twice is harmless

        stop = true;
        churn.join();
        QCOMPARE(lqsim_plug(device(12, "02:4c:51:00:10:03").constData()), 0);
        QCOMPARE(lqsim_unplug(kMacA), 0);
        lqsim_advance_clock(10 * LQSIM_RESTART_MS);
        QCOMPARE(m_recorder->added().size(), added);
        QCOMPARE(m_recorder->gone().size(), gone);
        QCOMPARE(handle(kMacB), uint64_t(0));

        // Started again, it announces what is plugged now, each device once.
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(LQSIM_RESTART_MS);
        QCOMPARE(m_recorder->added().size(), added + 2);
        QVERIFY(handle(kMacB) != 0);
        QVERIFY(handle("02:4c:51:00:10:03") != 0);
    }

};

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
