// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The simulated device library through its C interfaces: scenarios, handles, settings, injected failures,
// firmware updates, calls from several threads, and capture files as the Wireshark tools read them.

#include "crc32generator.h"
#include "firmwareimage.h"
#include "lqsim.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

constexpr uint64_t kStartMs = 1764892800000ull; // 2025-12-05 00:00 UTC
const char *const kMacA = "02:4c:51:00:10:01";
const char *const kMacB = "02:4c:51:00:10:02";
const char *const kMacC = "02:4c:51:00:10:03";

// A scenario device; `more` continues its JSON object.
QByteArray device(int type, const char *mac, const QByteArray &more = {})
{
    return "{\"type\":" + QByteArray::number(type) + ",\"mac\":\"" + mac + '"' + more + '}';
}

QByteArray scenario(const QList<QByteArray> &devices) { return "{\"devices\":[" + devices.join(',') + "]}"; }

// A record for calls whose answer alone matters, one per thread.
template <typename T> T *out()
{
    thread_local T record{};
    return &record;
}

// The manager's callbacks: each new device is identified from the simulator
// thread, calling straight back into the library as the manager's worker does.
struct Recorder {
    struct Arrival {
        uint64_t handle;
        std::thread::id thread;
        bool identified = false, excused = false; // excused: another thread took the handle away meanwhile
        uint32_t type = 0;
        uint8_t mac[6] = {};
        DeviceVersions versions{};
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
        Arrival a{h, std::this_thread::get_id()};
        a.identified = LumenquillAPIGetDeviceType(h, &a.type) == 0 && LumenquillAPIGetDeviceMAC(h, a.mac) == 0 &&
                       LumenquillAPIGetVersions(h, &a.versions) == 0 &&
                       (!(LumenquillAPIGetDeviceCapabilities(a.type) & LQ_CAP_CONFIGURABLE) ||
                        LumenquillAPIGetDeviceFeatures(h, out<DeviceFeatures>()) == 0);
        a.excused = !a.identified && LumenquillAPIGetDeviceType(h, out<uint32_t>()) != 0;
        std::lock_guard lock(self->mutex);
        self->arrivals.push_back(a);
        self->inCallback = false;
    }
    std::vector<Arrival> added() const { std::lock_guard lock(mutex); return arrivals; }
    std::vector<uint64_t> gone() const { std::lock_guard lock(mutex); return departures; }
};

// What the library writes to stderr, at the file descriptor level, while `body` runs.
QString stderrOf(const std::function<void()> &body)
{
    QTemporaryFile file;
    file.open();
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    body();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll());
}

// Runs a program to its end: its exit code, or -1; its output, and its errors if it failed (tshark warns
// when run as root). Not QProcess: its fork makes ThreadSanitizer refuse the next simulator thread.
int runTool(std::vector<std::string> arguments, QString *output)
{
    std::vector<char *> argv;
    for (std::string &argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    QTemporaryFile out, err;
    if (!out.open() || !err.open())
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out.handle(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.handle(), STDERR_FILENO);
    pid_t pid = 0;
    int status = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid)
        return -1;
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    out.seek(0); // the tool moved the shared offset
    err.seek(0);
    *output = QString::fromUtf8(out.readAll() + (exitCode != 0 ? err.readAll() : QByteArray()));
    return exitCode;
}

// One port's figures: from a capture file's interface statistics block, or as the device counts them.
struct PortFigures {
    uint64_t start = 0, end = 0; // device clock, ns
    uint64_t received = 0, dropped = 0, accepted = 0;
    int blocks = 0;
};

// The interface statistics blocks of a capture file, by port, as the file stores them (this machine's byte
// order): times high word first, counts as 64-bit numbers.
std::array<PortFigures, 2> statisticsBlocksOf(const QString &path)
{
    std::array<PortFigures, 2> ports{};
    QFile file(path);
    const QByteArray b = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const auto u16 = [&](qsizetype at) {
        uint16_t v;
        std::memcpy(&v, b.constData() + at, 2);
        return v;
    };
    const auto u32 = [&](qsizetype at) {
        uint32_t v;
        std::memcpy(&v, b.constData() + at, 4);
        return v;
    };
    for (qsizetype at = 0; at + 12 <= b.size();) {
        const uint32_t type = u32(at), length = u32(at + 4);
        if (length < 12 || length % 4 || at + length > b.size())
            return {}; // torn: no figures at all
        if (type == 5 && length >= 24 && u32(at + 8) < 2) {
            PortFigures &port = ports[u32(at + 8)];
            ++port.blocks;
            for (qsizetype o = at + 20; o + 4 <= at + length - 4;) {
                const uint16_t code = u16(o), size = u16(o + 2);
                if (code == 0)
                    break;
                uint64_t value = 0;
                if (size == 8 && (code == 2 || code == 3))
                    value = uint64_t(u32(o + 4)) << 32 | u32(o + 8);
                else if (size == 8)
                    std::memcpy(&value, b.constData() + o + 4, 8);
                for (auto [c, field] : {std::pair{2, &PortFigures::start},
                                        {3, &PortFigures::end},
                                        {4, &PortFigures::received},
                                        {5, &PortFigures::dropped},
                                        {6, &PortFigures::accepted}}) {
                    if (code == c)
                        port.*field = value;
                }
                o += 4 + (size + 3) / 4 * 4;
            }
        }
        at += length;
    }
    return ports;
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
    payload[12345] ^= uint8_t(corrupt);
    const std::vector<uint8_t> bytes = lqsim::firmwareimage::encode(header, payload);
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

// A firmware image path as the manager's update thread passes it: each byte of the local 8-bit path
// widened into one wide character.
std::wstring firmwarePath(const QString &path)
{
    std::wstring wide;
    for (const char byte : QFile::encodeName(path))
        wide += wchar_t(static_cast<unsigned char>(byte));
    return wide;
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

// Sets a record whose every byte, reserved ones included, is patterned, reads it back directly and as
// the control API saw it, then restarts the device: only a saved record survives.
template <typename T>
void roundTrip(int (*set)(uint64_t, T), int (*get)(uint64_t, T *), int (*save)(uint64_t),
               int (*last)(const char *, T *), const char *mac, bool saveIt)
{
    const auto read = [get](uint64_t h) { T r{}; return get(h, &r) == 0 ? bytesOf(r) : QByteArray(); };
    const auto seen = [last, mac] { T r{}; return last(mac, &r) == 0 ? bytesOf(r) : QByteArray(); };
    const uint64_t h = lqsim_handle_of(mac);
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
    const uint64_t back = lqsim_handle_of(mac);
    QVERIFY(back != 0 && back != h);
    QCOMPARE(read(back), saveIt ? changed : initial);
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
    QString m_captureDir;

    // Initialises the library on `json` (null: the scenario already loaded).
    void start(const QByteArray &json, int expectedDevices)
    {
        if (!json.isNull())
            QCOMPARE(lqsim_load_scenario_text(json.constData()), 0);
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        QCOMPARE(int(m_recorder->added().size()), expectedDevices);
    }
    uint64_t handle(const char *mac) const { return lqsim_handle_of(mac); }

    // The 10G GPS tap, capturing; `extra` continues its JSON object.
    void startTap(const QByteArray &features, const QByteArray &load = "0.3", const QByteArray &extra = {})
    {
        const QByteArray settings = ",\"features\":{" + features + "},\"traffic\":{\"load\":" + load + '}' + extra;
        start(scenario({device(12, kMacA, settings)}), 1);
    }

    void startCapture(const QString &path, uint64_t maxSize = 0, uint32_t count = 0, bool loop = false,
                      uint32_t duration = 0, uint64_t buffer = 64ull << 20, const char *mac = kMacA)
    {
        std::wstring wide = path.toStdWString(); // the library copies it, as the manager frees its own
        const DiskDumpConfig config{loop,  0,       LQ_DISK_DUMP_FORMAT_PCAPNG, {}, wide.data(), maxSize, buffer,
                                    count, duration};
        QCOMPARE(LumenquillAPIDiskDumpSetConfig(handle(mac), config), 0);
        QCOMPARE(LumenquillAPIDiskDumpStart(handle(mac)), 0);
    }

    DiskDumpStatus captureStatus(const char *mac = kMacA)
    {
        DiskDumpStatus s{};
        [&] { QCOMPARE(LumenquillAPIDiskDumpGetStatus(handle(mac), &s), 0); }();
        return s;
    }

    uint64_t writtenPackets(uint64_t *files = nullptr)
    {
        uint64_t packets = 0, opened = 0;
        [&] { QCOMPARE(lqsim_disk_dump_written(kMacA, &packets, files ? files : &opened), 0); }();
        return packets;
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

    // Which frames end in an FCS that Wireshark checks.
    enum Fcs { NoFcs, EveryFrame, WholeFrames };

    // Reads the files with both tools; answers the packets tshark saw in all.
    int checkCaptures(const QStringList &files, int snapLength, Fcs fcs = NoFcs)
    {
        int packets = 0;
        for (const QString &file : files) {
            [&] {
                QString info, read;
                const std::string name = file.toStdString();
                QVERIFY2(runTool({"capinfos", "-M", name}, &info) == 0, qPrintable(file + ": " + info));
                for (const QString &needed : {QString("Number of interfaces in file:\\s*2"), QString("Name = Port A"),
                                              QString("Name = Port B"), QString("nanoseconds"),
                                              QString("Capture length = %1").arg(snapLength)})
                    QVERIFY2(info.contains(QRegularExpression(needed)), qPrintable(needed + " not in " + info));
                const int tshark = runTool({"tshark", "-r", name, "-T", "fields", "-e", "frame.interface_id", "-e",
                                            "frame.cap_len", "-e", "frame.len", "-e", "eth.fcs.status"},
                                           &read);
                QVERIFY2(tshark == 0, qPrintable(file + ": " + read));
                const QStringList lines = read.split('\n', Qt::SkipEmptyParts);
                int whole = 0;
                for (const QString &line : lines) {
                    const QStringList fields = line.split('\t'); // port, captured length, length, FCS status
                    QVERIFY2(fields.size() == 4 && (fields[0] == "0" || fields[0] == "1") &&
                                 fields[1].toInt() <= snapLength,
                             qPrintable(line));
                    const bool isWhole = fields[1] == fields[2];
                    whole += isWhole;
                    // Checked with keep_crc only (else Wireshark may guess one): on every frame, or on the
                    // whole ones only, as a cut frame has none.
                    if (fcs != NoFcs)
                        QVERIFY2(fields[3].isEmpty() == (fcs == WholeFrames && !isWhole),
                                 qPrintable((fields[3].isEmpty() ? "no FCS: " : "cut frame with FCS: ") + line));
                }
                // Both kinds of frame must have been seen for the check to mean anything.
                if (fcs == WholeFrames)
                    QVERIFY2(whole > 0 && whole < int(lines.size()), qPrintable(QString::number(whole)));
                packets += int(lines.size());
            }();
        }
        return packets;
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_captureDir = m_dir.filePath(QString(QTest::currentTestFunction()) + '-' + QTest::currentDataTag());
        QVERIFY(QDir().mkpath(m_captureDir));
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

    void capabilityTable()
    {
        // Written out bit by bit, not derived the way the library derives them; 0, 1, 4 and from 15: no model.
        const QList<uint32_t> types = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, ~0u};
        const QList<uint32_t> expected = {0,       0,       0x8D15,  0,       0x18D95, 0x48D15, 0x48D35, 0x18DB5,
                                          0x18D9D, 0x18DBD, 0x189D5, 0x189DD, 0x8515,  0x58E95, 0,       0};
        QList<uint32_t> capabilities;
        for (uint32_t type : types)
            capabilities << LumenquillAPIGetDeviceCapabilities(type);
        QCOMPARE(capabilities, expected);
    }

    void startupScenario_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: the compiled-in default
        QTest::addColumn<int>("devices");
        QTest::newRow("default") << QByteArray() << 3;
        QTest::newRow("example") << QByteArray(LQSIM_SCENARIO_DIR "/example.json") << 4;
        QTest::newRow("single 1G") << QByteArray(LQSIM_SCENARIO_DIR "/single-1g.json") << 1;
    }
    void startupScenario()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, devices);
        ::setenv("LUMENQUILL_SIM_SCENARIO", file.constData(), 1); // as an operator names it
        QCOMPARE(stderrOf([] { QCOMPARE(lqsim_load_startup_scenario(), 0); }), QString());
        QCOMPARE(lqsim_device_count(), devices);
        start({}, devices);
        std::set<QByteArray> macs;
        uint32_t union_ = 0;
        for (const Recorder::Arrival &arrival : m_recorder->added()) {
            QVERIFY(arrival.identified);
            QVERIFY(arrival.thread != std::this_thread::get_id());
            union_ |= LumenquillAPIGetDeviceCapabilities(arrival.type);
            QCOMPARE(arrival.mac[0], uint8_t(0x02)); // locally administered, never a real vendor's
            macs.insert(QByteArray(reinterpret_cast<const char *>(arrival.mac), 6));
            // The default passes the manager's driver check: each component within 1.9.18.0..1.9.19.0.
            const uint8_t low[4] = {1, 9, 18, 0}, high[4] = {1, 9, 19, 0};
            for (int i = 0; i < 4 && file.isEmpty(); ++i)
                QVERIFY(arrival.versions.driverVersion[i] >= low[i] && arrival.versions.driverVersion[i] <= high[i]);
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
        auto row = [](const char *name, const QByteArray &json, const QByteArray &expected, bool file = false) {
            QTest::newRow(name) << json << file << QString::fromUtf8(expected);
        };
        // One device, one member per line: the member on body line k is on line 3 + k.
        auto lines = [](const QList<QByteArray> &body) {
            return "{\n\"devices\": [\n{\n" + body.join(",\n") + "\n}\n]\n}\n";
        };
        const QByteArray type = "\"type\": 14", mac = "\"mac\": \"02:4c:51:00:10:01\"";
        auto with = [&](const QByteArray &member) { return lines({type, mac, member}); };
        auto second = [](const QByteArray &json) { // after a first device on line 2
            return "{\"devices\": [\n" + device(10, kMacA) + ",\n" + json + "]}";
        };
        const QByteArray badMac = second("{\n\"type\": 14,\n\n\"mac\": \"zz\"\n}"); // on line 6, after an empty one
        row("JSON syntax", "{\n  \"devices\": [\n    {\"type\": 10,}\n  ]\n}", ":3: invalid JSON: ");
        row("cut short", "{\"devices\": [", ":1: invalid JSON: ");
        row("number beyond a double", lines({type, mac, "\"seed\": 1e999"}),
            ":6: invalid JSON: number out of range: 1e999");
        row("not an object", "[1, 2]", ":1: scenario: must be an object");
        row("misspelt devices", "{\n  \"device\": []\n}", ":2: device: unknown field");
        row("no devices", "{\n}", ":1: devices: missing");
        row("type as text", lines({"\"type\": \"10\"", mac}), ":4: devices[0].type: must be an integer, not \"10\"");
        row("negative type", lines({"\"type\": -1", mac}), ":4: devices[0].type: must be between 0 and 4294967295");
        row("no MAC", lines({type}), ":3: devices[0].mac: missing");
        row("unknown member", with("\"colour\": \"red\""), ":6: devices[0].colour: unknown field");
        row("bad MAC", badMac, ":6: devices[1].mac: \"zz\" is not a MAC address");
        row("same MAC twice", second(device(14, "02:4C:51:00:10:01")),
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
        row("hardware member", with("\"traffic\": {\n\"a\": {\"load\": 2}}"),
            ":7: devices[0].traffic.a.load: must be between 0 and 1");
        // Nesting: a hostile file must not take the process down with it. The brackets open on line 3, inside
        // the top-level object and its devices array; the bound counts levels from the top-level object.
        const auto nested = [](int depth) { return QByteArray(depth, '[') + QByteArray(depth, ']'); };
        const auto inDevices = [&](int depth) { return "{\"devices\":\n[\n" + nested(depth) + "\n]}"; };
        const auto zeros = [](int n) { return QByteArray("[0]").repeated(n); };
        const QByteArray tooDeep = ": nested deeper than 64 levels of objects and arrays";
        row("100 000 levels", inDevices(100000), ":3: devices" + zeros(63) + tooDeep);
        row("100 000 levels in a file", inDevices(100000), ":3: devices" + zeros(63) + tooDeep, true);
        row("one level too deep", inDevices(63), ":3: devices" + zeros(63) + tooDeep);
        row("as deep as allowed", inDevices(62), ":3: devices[0]: must be an object, not [[[[");
        row("too deep under a key", with("\"traffic\": {\"a\":\n" + nested(100000) + "}"),
            ":7: devices[0].traffic.a" + zeros(60) + tooDeep);
        row("too large a file", "{\"devices\": [], \"description\": \"" + QByteArray(16 << 20, ' ') + "\"}",
            ": cannot read the scenario: larger than 16 MiB", true);
        row("missing file", QByteArray(), ": cannot read the scenario: No such file or directory", true);
        row("file with a bad MAC", badMac, ":6: devices[1].mac: \"zz\" is not a MAC address", true);
        row("whitespace-only file", "\n\n   \n", ":3: invalid JSON: ", true);
    }
    void scenarioErrorNamesLineAndField()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, file);
        QFETCH(QString, expected);
        const QString path = m_dir.filePath(QString::fromUtf8(QTest::currentDataTag()) + QStringLiteral(".json"));
        QVERIFY(!file || json.isNull() || writeFile(path, json));
        const QByteArray local = path.toLocal8Bit();
        ::setenv("LUMENQUILL_SIM_SCENARIO", local.constData(), 1);
        start(scenario({}), 0); // nothing left from the last test
        std::vector<uint64_t> before;
        // Text, or a file named directly or through the environment, each taking a running device away.
        for (int way = file ? 1 : 0; way < (file ? 3 : 1); ++way) {
            QCOMPARE(lqsim_load_scenario_text(scenario({device(10, kMacB)}).constData()), 0);
            lqsim_advance_clock(0);
            before.push_back(handle(kMacB));
            const QString text = stderrOf([&] {
                QCOMPARE(way == 0   ? lqsim_load_scenario_text(json.constData())
                         : way == 1 ? lqsim_load_scenario_file(local.constData())
                                    : lqsim_load_startup_scenario(),
                         -1);
            });
            QCOMPARE(text.indexOf('\n'), text.size() - 1); // one line
            QVERIFY2(text.startsWith("lumenquill simulator: " + (file ? path : "<text>") + expected), qPrintable(text));
            QCOMPARE(lqsim_device_count(), 0);
            lqsim_advance_clock(0);
        }
        QCOMPARE(m_recorder->gone(), before);
        QCOMPARE(m_recorder->added().size(), before.size());
        QCOMPARE(LumenquillAPIGetVersion(), 0x000D0302u);
    }

    void scenarioValuesReachTheDevice()
    {
        const QByteArray settings = R"(,"versions": {"software": "5.1.2.3", "driver": "1.9.19.0", "hardware": 1402},)"
                                    R"("usb_speed": 1, "firmware_variants": ["Plain", "Counters", "Deep buffer"],)"
                                    R"("features": {"tap_mode": 0, "timestamps": false, "firmware_variant": 2,)"
                                    R"( "pps_delay": -7, "transmit_crc_errors": 2},)"
                                    R"("ports_speed": {"b": {"auto_negotiation": 0, "speed_1000_full": false}})";
        start(R"({"library_version": "2.3.14.1", "devices": [)" + device(14, kMacA, settings) + "]}", 1);
        const uint64_t h = handle(kMacA);
        QCOMPARE(LumenquillAPIGetVersion(), 0x010E0302u);
        DeviceVersions versions{};
        QCOMPARE(LumenquillAPIGetVersions(h, &versions), 0);
        QCOMPARE(bytesOf(versions), bytesOf(DeviceVersions{{5, 1, 2, 3}, {1, 9, 19, 0}, 1402, {}}));
        uint32_t extra = 0;
        QCOMPARE(LumenquillAPIGetDeviceExtraInfo(h, &extra), 0);
        QCOMPARE(extra, uint32_t(LQ_USB_FULL_SPEED));
        DeviceFeatures f{};
        QCOMPARE(LumenquillAPIGetDeviceFeatures(h, &f), 0);
        // The slicing length is the model's default, not overridden.
        QCOMPARE((QList<int>{int(f.tap_mode), int(f.timestamps), int(f.transmit_crc_errors), f.firmware_variant,
                             f.pps_delay, f.slicing_length}),
                 (QList<int>{0, 0, 2, 2, -7, 64}));
        DevicePortsSpeed p{};
        QCOMPARE(LumenquillAPIGetDevicePortsSpeed(h, &p), 0);
        // The untouched port keeps all abilities.
        QCOMPARE((QList<uint32_t>{p.portA.auto_negotiation, p.portA.speed_1000_full, p.portB.auto_negotiation,
                                  p.portB.speed_1000_full, p.portB.speed_100_full}),
                 (QList<uint32_t>{1, 1, 0, 0, 1}));
        HwFirmwaresDesc list{};
        QCOMPARE(LumenquillAPIGetHwFirmwaresDesc(h, &list), 0);
        QCOMPARE(list.count, 3);
        QCOMPARE(QByteArray(list.names[2]), QByteArray("Deep buffer"));
    }

    // Device A saves what is set, device B does not; port speeds are saved with the features.
    void recordsRoundTripAndRestart()
    {
        start(scenario({device(14, kMacA), device(14, kMacB)}), 2);
        for (const char *mac : {kMacA, kMacB}) {
            const bool save = mac == kMacA;
            roundTrip(&LumenquillAPISetDeviceFeatures, &LumenquillAPIGetDeviceFeatures,
                      &LumenquillAPISaveDeviceFeatures, &lqsim_last_features, mac, save);
            roundTrip(&LumenquillAPISetDevicePortsSpeed, &LumenquillAPIGetDevicePortsSpeed,
                      &LumenquillAPISaveDeviceFeatures, &lqsim_last_ports_speed, mac, save);
            roundTrip(&LumenquillAPISetPacketFilter, &LumenquillAPIGetPacketFilter, &LumenquillAPISavePacketFilter,
                      &lqsim_last_packet_filter, mac, save);
            roundTrip(&LumenquillAPISetDpiFilter, &LumenquillAPIGetDpiFilter, &LumenquillAPISaveDpiFilter,
                      &lqsim_last_dpi_filter, mac, save);
        }
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
        start({}, 1);
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

    // Plugs and physical events, the refused ones told on stderr; link settings across a restart.
    void controlEventsAndLinkSettingsAcrossRestart()
    {
        start(scenario({device(12, kMacA), device(14, kMacB)}), 2);
        const QByteArray deep = device(14, kMacC, ",\"gps\":" + QByteArray(100000, '[') + QByteArray(100000, ']'));
        const QString text = stderrOf([&] {
            QCOMPARE(lqsim_plug(device(14, "02:4C:51:00:10:01").constData()), -1); // the same MAC in other case
            QCOMPARE(lqsim_plug(device(14, "02:4c:51:00:10").constData()), -1);
            QCOMPARE(lqsim_plug(deep.constData()), -1);
        });
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.size(), 4); // three lines and the empty rest
        QVERIFY(lines[0].contains("is already plugged"));
        QVERIFY(lines[1].startsWith("lumenquill simulator: <text>:1: mac: "));
        QVERIFY2(lines[2].startsWith("lumenquill simulator: <text>:1: gps[0][0]"), qPrintable(lines[2]));
        QVERIFY2(lines[2].endsWith(": nested deeper than 64 levels of objects and arrays"), qPrintable(lines[2]));
        QCOMPARE(lqsim_device_count(), 2);
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
            const bool half = link.portBDuplex != 0; // port B: 10 half, then 1G full
            QCOMPARE((QList<uint32_t>{link.portASpeed, link.portBSpeed, half}),
                     (QList<uint32_t>{LQ_LINK_DOWN, boot == 0 ? LQ_LINK_10M : LQ_LINK_1G, boot == 0}));
            QCOMPARE(LumenquillAPIGetLinkStatus(handle(kMacA), &link), 0);
            QVERIFY(link.sfp.portA.present == 1 && link.sfp.portB.present == 0);
            // The cable and the module stay out through a reboot.
            QCOMPARE(LumenquillAPIRestartDevice(handle(kMacA)), 0);
            QCOMPARE(LumenquillAPIRestartDevice(handle(kMacB)), 0);
            lqsim_advance_clock(LQSIM_RESTART_MS);
        }
    }

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
        const bool refused = minFailures < 0;
        start(scenario({device(10, kMacA)}), 1);
        const uint64_t h = handle(kMacA);
        std::vector<bool> runs[2]; // seeded: armed again, it fails exactly the same calls
        for (std::vector<bool> &failures : runs) {
            lqsim_reset_call_counts();
            QCOMPARE(lqsim_fail(function.constData(), mode, rate, code), refused ? -1 : 0);
            for (int i = 0; i < 400; ++i) {
                const int answer = LumenquillAPIGetStatistics(h, out<DeviceStatistics>());
                QVERIFY(answer == 0 || answer == code);
                failures.push_back(answer != 0);
            }
            QCOMPARE(lqsim_call_count("LumenquillAPIGetStatistics"), uint64_t(400));
            QCOMPARE(lqsim_failure_count("LumenquillAPIGetStatistics"),
                     uint64_t(std::count(failures.begin(), failures.end(), true)));
            // Nothing else fails, nor anything after a refused request.
            QCOMPARE(LumenquillAPIGetDeviceType(h, out<uint32_t>()), 0);
            QCOMPARE(LumenquillAPIGetVersion(), 0x000D0302u);
            QCOMPARE(LumenquillAPIGetDeviceCapabilities(10), 0x18DBDu);
            lqsim_clear_failures();
        }
        const int failed = int(std::count(runs[0].begin(), runs[0].end(), true));
        QVERIFY2(failed >= std::max(minFailures, 0) && failed <= std::max(maxFailures, 0),
                 qPrintable(QString::number(failed)));
        QVERIFY(mode != LQSIM_FAIL_ONCE || refused || runs[0].front());
        QCOMPARE(runs[0], runs[1]);
        QCOMPARE(LumenquillAPIGetStatistics(h, out<DeviceStatistics>()), 0); // cleared means cleared
    }

    void firmwareUpdate_data()
    {
        QTest::addColumn<QString>("name");     // in the test folder; empty: an empty path
        QTest::addColumn<QByteArray>("bytes"); // null: no file
        QTest::addColumn<int>("startAnswer");
        QTest::addColumn<int>("finalAnswer");
        QTest::addColumn<bool>("codePoints"); // the path passed as code points, not as the manager's widened bytes
        const QByteArray good = image({14});
        const int unreadable = LQSIM_ERR_IMAGE_UNREADABLE, foreign = LQSIM_ERR_IMAGE_FOREIGN;
        const int wrongDevice = LQSIM_ERR_IMAGE_WRONG_DEVICE, corrupt = LQSIM_ERR_IMAGE_CORRUPT;
        QTest::newRow("fits") << "fits.img" << good << 0 << 0 << false;
        const QString nonAscii = QStringLiteral("f\u00efrmware-\u00e9t\u00e9 \U0001F4E6.img");
        QTest::newRow("non-ASCII file name") << nonAscii << good << 0 << 0 << false;
        QTest::newRow("folder named with \u00e9") << QStringLiteral("caf\u00e9/fw.img") << good << 0 << 0 << false;
        QTest::newRow("folder named with \u00f6") << QStringLiteral("z\u00f6e/fw.img") << good << 0 << 0 << false;
        // Code points are not what the manager passes: a Latin-1 one reads as a lone byte, which names no
        // file here, and one above 0xFF is no byte at all.
        QTest::newRow("code points up to 0xFF") << QStringLiteral("\u00f6l/fw.img") << good << unreadable << 0 << true;
        QTest::newRow("code point above 0xFF") << nonAscii << good << int(LQSIM_ERR_INVALID_ARGUMENT) << 0 << true;
        QTest::newRow("lists several models") << "several.img" << image({3, 6, 14}) << 0 << 0 << false;
        QTest::newRow("missing file") << "missing.img" << QByteArray() << unreadable << 0 << false;
        QTest::newRow("empty path") << QString() << QByteArray() << unreadable << 0 << false;
        QTest::newRow("a directory") << "." << QByteArray() << unreadable << 0 << false;
        QTest::newRow("not an image") << "foreign.img" << QByteArray(4096, 'M') << foreign << 0 << false;
        QTest::newRow("cut short") << "short.img" << good.chopped(1) << foreign << 0 << false;
        QTest::newRow("another model's image") << "other.img" << image({10, 12}) << wrongDevice << 0 << false;
        QTest::newRow("corrupt payload") << "corrupt.img" << image({14}, true) << 0 << corrupt << false;
    }
    void firmwareUpdate()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, startAnswer);
        QFETCH(int, finalAnswer);
        QFETCH(bool, codePoints);
        start(scenario({device(14, kMacA)}), 1);
        const uint64_t h = handle(kMacA);
        const QString path = name.isEmpty() ? name : m_dir.filePath(name);
        QVERIFY(bytes.isNull() || (QDir().mkpath(QFileInfo(path).path()) && writeFile(path, bytes)));
        uint32_t percent = 777;
        QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(h, &percent), int(LQSIM_ERR_NOT_READY));
        const std::wstring wide = codePoints ? path.toStdWString() : firmwarePath(path);
        QCOMPARE(LumenquillAPIFirmwareUpdateStart(h, wide.c_str()), startAnswer);
        if (startAnswer != 0) {
            QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(h, &percent), int(LQSIM_ERR_NOT_READY));
            return;
        }
        // Simulator time in; answer and percentage out: verifying, then writing, then done.
        const int running = LQ_FIRMWARE_UPDATE_RUNNING;
        using Steps = std::vector<std::tuple<uint64_t, int, uint32_t>>;
        const Steps intact = {{0, running, 0},     {999, running, 0}, {4500, running, 50},
                              {7999, running, 99}, {8000, 0, 100},    {60000, 0, 100}};
        const Steps corrupt = {{0, running, 0}, {999, running, 0}, {1000, finalAnswer, 0}, {60000, finalAnswer, 0}};
        uint64_t now = 0;
        for (const auto &[atMs, answer, expected] : finalAnswer == 0 ? intact : corrupt) {
            lqsim_advance_clock(atMs - now);
            now = atMs;
            percent = 777;
            QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(h, &percent), answer);
            QCOMPARE(percent, expected);
            if (answer == running) { // busy while it runs: no second update, no reboot
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
        QString output;
        QCOMPARE(runTool({LQSIM_NOCRC32_PROBE, path.toStdString()}, &output), -LQSIM_ERR_NO_CRC32);
    }

    // The window closing mid-update: the handle dies with the library while the update thread still polls,
    // the device goes on writing, and every call that comes after the stop is counted.
    void updateRunningAtUninitialize()
    {
        const QString path = m_dir.filePath(QStringLiteral("closing.img"));
        QVERIFY(writeFile(path, image({14})));
        start(scenario({device(14, kMacA)}), 1);
        const uint64_t h = handle(kMacA);
        const std::wstring wide = firmwarePath(path);
        QCOMPARE(LumenquillAPIFirmwareUpdateStart(h, wide.c_str()), 0);
        lqsim_advance_clock(2000);
        std::atomic<uint64_t> polls{0};
        std::atomic<int> last{0};
        std::thread updater([&] { // the manager's update thread, without its pause
            uint32_t percent = 0;
            int answer = 0;
            do {
                answer = LumenquillAPIFirmwareUpdateGetProgress(h, &percent);
                ++polls;
            } while (answer == LQ_FIRMWARE_UPDATE_RUNNING);
            last = answer;
        });
        for (int i = 0; i < 50000000 && polls < 100; ++i)
            std::this_thread::yield();
        QCOMPARE(LumenquillAPIUninitialize(), 0);
        updater.join();
        QVERIFY(polls >= 100);
        QCOMPARE(last.load(), int(LQSIM_ERR_UNKNOWN_HANDLE));
        QVERIFY(lqsim_calls_after_uninitialize() <= 1); // at most the poll that found the handle gone
        // Every device library call counts from now on, whatever it answers; the control API does not.
        const uint64_t before = lqsim_calls_after_uninitialize();
        uint32_t percent = 777;
        QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(h, &percent), int(LQSIM_ERR_UNKNOWN_HANDLE));
        QCOMPARE(percent, 777u);
        QCOMPARE(LumenquillAPIFirmwareUpdateStart(h, wide.c_str()), int(LQSIM_ERR_UNKNOWN_HANDLE));
        QCOMPARE(LumenquillAPIGetVersion(), 0x000D0302u);
        QCOMPARE(LumenquillAPIGetDeviceCapabilities(14), 0x58E95u);
        QCOMPARE(LumenquillAPIAddNewDeviceCallback(&Recorder::onNewDevice, m_recorder.get()), 0);
        QCOMPARE(LumenquillAPIUninitialize(), 0);
        QCOMPARE(lqsim_handle_of(kMacA), uint64_t(0));
        lqsim_advance_clock(1000);
        QCOMPARE(lqsim_calls_after_uninitialize(), before + 6);
        // Started again, the count starts afresh, and the device, still writing, is back under a new handle.
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        const uint64_t again = handle(kMacA);
        QVERIFY(again != 0 && again != h);
        QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(again, &percent), int(LQ_FIRMWARE_UPDATE_RUNNING));
        QCOMPARE(percent, 28u); // 3 s into the update: 2 of its 7 s of writing
        lqsim_advance_clock(5000);
        QCOMPARE(LumenquillAPIFirmwareUpdateGetProgress(again, &percent), 0);
        QCOMPARE(percent, 100u);
        QCOMPARE(lqsim_calls_after_uninitialize(), uint64_t(0));
    }

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

    // The worker's poll, the GUI's settings and an update call at once while devices come and go (also for
    // ThreadSanitizer): every answer must be one the library may give, and the announcements consistent.
    void callsFromSeveralThreadsWhileDevicesComeAndGo()
    {
        const QString imagePath = m_dir.filePath(QStringLiteral("threads.img"));
        QVERIFY(writeFile(imagePath, image({14})));
        const std::wstring firmware = firmwarePath(imagePath);
        const char *const macs[] = {kMacA, kMacB, kMacC};
        const QByteArray json = scenario({device(10, kMacA), device(12, kMacB), device(14, kMacC)});
        start(json, 3);
        const int injected = -77, gone = LQSIM_ERR_UNKNOWN_HANDLE;
        const std::initializer_list<int> live = {0, gone}, optional = {0, gone, LQSIM_ERR_NOT_SUPPORTED};
        const std::initializer_list<int> statistics = {0, gone, injected};
        std::mutex mutex;
        std::string failure; // the first answer no caller should get
        const auto check = [&](const QByteArray &what, int answer, std::initializer_list<int> allowed) {
            if (std::find(allowed.begin(), allowed.end(), answer) != allowed.end())
                return; // no lock then: it would order the threads' calls and hide races from ThreadSanitizer
            std::lock_guard lock(mutex);
            if (failure.empty())
                failure = what.toStdString() + " answered " + std::to_string(answer);
        };
        std::atomic<bool> stop{false};
        std::thread reader([&] { // the worker's status poll: every getter of every device
            while (!stop) {
                for (const char *mac : macs) {
                    for (const auto &[name, call] : deviceCalls()) {
                        if (name.contains("Get") && name != "FirmwareUpdateGetProgress")
                            check(name, call(handle(mac)),
                                  name == "GetStatistics"     ? statistics
                                  : name == "GetTimingStatus" ? optional
                                                              : live);
                    }
                }
            }
        });
        std::thread writer([&] { // the GUI applying settings and the worker saving them
            for (uint32_t i = 0; !stop; ++i) {
                const char *mac = macs[i % 3];
                const uint64_t h = handle(mac);
                DeviceFeatures features{};
                features.tap_mode = 1;
                features.keep_crc = i & 1;
                features.slicing_length = uint16_t(64 + i % 1000);
                const DevicePortsSpeed ports{{1, 1, 1, 1, 1, 1, 1, 1, 0, 0}, {1, i % 2, 1, 1, 1, 1, 0, 0, 0, 0}};
                check("set features", LumenquillAPISetDeviceFeatures(h, features), live);
                check("set ports", LumenquillAPISetDevicePortsSpeed(h, ports), live);
                check("save", LumenquillAPISaveDeviceFeatures(h), live);
                // Filters are costly to apply (the device reworks its whole traffic mix), and applied rarely.
                if (i % 8 == 0) {
                    const PacketFilter byPort{(i / 8) & 1, LQ_FILTER_DST_PORT, 0, {}, {}, {}, {}, uint16_t(i), 0, 0,
                                              0, 0, 0, {}};
                    check("set filter", LumenquillAPISetPacketFilter(h, byPort), optional);
                    check("set pattern", LumenquillAPISetDpiFilter(h, {1, {}, {}, i & 0xffff}), optional);
                    check("save filters", LumenquillAPISavePacketFilter(h), optional);
                }
                CounterV2Config counter{};
                counter.index = i % LQ_COUNTERS_V2;
                counter.ipv4 = 1;
                check("set counter", LumenquillAPISetCounterV2(h, counter), optional);
                const DiskDumpConfig config{0, 0, 0, {}, const_cast<wchar_t *>(L"/tmp/concurrent.pcapng"), 0, 0, 0, 0};
                check("capture config", LumenquillAPIDiskDumpSetConfig(h, config), live);
                check("capture start", LumenquillAPIDiskDumpStart(h), {0, gone, LQSIM_ERR_NOT_READY});
                check("capture stop", LumenquillAPIDiskDumpStop(h), live);
                check("last features", lqsim_last_features(mac, out<DeviceFeatures>()), {0, -1});
                check("link event", lqsim_set_link(mac, int(i % 2), int(i % 3 != 0)), {0, -1});
            }
        });
        std::thread updater([&] { // flashing one device, restarting another
            while (!stop) {
                const uint64_t h = handle(kMacC);
                check("update start", LumenquillAPIFirmwareUpdateStart(h, firmware.c_str()), {0, gone, LQSIM_ERR_BUSY});
                uint32_t percent = 0;
                check("update progress", LumenquillAPIFirmwareUpdateGetProgress(h, &percent),
                      {0, gone, LQ_FIRMWARE_UPDATE_RUNNING, LQSIM_ERR_NOT_READY});
                check("percent", percent <= 100 ? 0 : 1, {0});
                check("restart", LumenquillAPIRestartDevice(handle(kMacA)), live);
            }
        });
        const char *const visitor = "02:4c:51:00:10:04"; // meanwhile devices come and go on the simulator clock
        for (int round = 0; round < 1000; ++round) {
            check("plug or unplug", round % 2 ? lqsim_unplug(visitor) : lqsim_plug(device(3, visitor).constData()),
                  {0});
            check("replug", lqsim_replug(kMacB), {0});
            if (round % 50 == 10)
                check("arm", lqsim_fail("LumenquillAPIGetStatistics", LQSIM_FAIL_RATE, 0.3, injected), {0});
            if (round % 50 == 30)
                lqsim_clear_failures();
            if (round == 501) // the whole set replaced under everyone's feet
                check("reload", lqsim_load_scenario_text(json.constData()), {0});
            lqsim_advance_clock(uint64_t(round % 7) * 700);
        }
        stop = true;
        reader.join();
        writer.join();
        updater.join();
        lqsim_clear_failures();
        lqsim_advance_clock(2 * LQSIM_FIRMWARE_UPDATE_MS);
        QVERIFY2(failure.empty(), failure.c_str());
        std::set<uint64_t> added;
        const std::vector<Recorder::Arrival> arrivals = m_recorder->added();
        for (const Recorder::Arrival &arrival : arrivals) {
            QVERIFY(arrival.identified || arrival.excused);
            added.insert(arrival.handle);
        }
        const std::vector<uint64_t> departures = m_recorder->gone();
        const std::set<uint64_t> left(departures.begin(), departures.end());
        QCOMPARE(added.size(), arrivals.size()); // never the same handle twice
        QCOMPARE(left.size(), departures.size());
        QVERIFY(!added.count(0));
        QVERIFY(std::includes(added.begin(), added.end(), left.begin(), left.end())); // nothing leaves that never came
        // Once things settle, every plugged device is announced and nothing else.
        QCOMPARE(int(added.size() - left.size()), lqsim_device_count());
        for (const char *mac : macs)
            QVERIFY(added.count(handle(mac)) && !left.count(handle(mac)));
        QVERIFY(added.size() > 200); // the replugs really happened
    }

    // The buffer between the tap and the disk: two 10G ports at full load bring 2.5 GB/s, which the
    // default disk cannot keep up with and a fast array can.
    void filesMatchTheSettings_data()
    {
        QTest::addColumn<QByteArray>("features");
        QTest::addColumn<QByteArray>("disk");
        QTest::addColumn<int>("snapLength");
        QTest::addColumn<int>("fcs");
        QTest::addColumn<bool>("overflows");
        const QByteArray fast = R"(,"disk_mbps":10000)";
        QTest::newRow("plain, fast array") << QByteArray() << fast << 65535 << int(NoFcs) << false;
        QTest::newRow("default disk") << QByteArray() << QByteArray() << 65535 << int(NoFcs) << true;
        QTest::newRow("sliced") << QByteArray(R"("packet_slicing":1,"slicing_length":128)") << fast << 128 << int(NoFcs)
                                << false;
        QTest::newRow("keep crc") << QByteArray(R"("keep_crc":1)") << fast << 65535 << int(EveryFrame) << false;
        // Slicing cuts the FCS off the longer frames.
        const QByteArray cut = R"("keep_crc":1,"packet_slicing":1,"slicing_length":96)";
        QTest::newRow("sliced, keep crc") << cut << fast << 96 << int(WholeFrames) << false;
    }
    void filesMatchTheSettings()
    {
        QFETCH(QByteArray, features);
        QFETCH(QByteArray, disk);
        QFETCH(int, snapLength);
        QFETCH(int, fcs);
        QFETCH(bool, overflows);
        startTap(features, "1.0", disk);
        startCapture(capturePath(), 0, 0, false, 0, 16ull << 20);
        QCOMPARE(captureStatus().running, uint8_t(1));
        lqsim_advance_clock(2000);
        const DiskDumpStatus busy = captureStatus(); // dropped, alarm, within the buffer, written
        QCOMPARE((QList<uint64_t>{busy.droppedBytes > 0, busy.bufferAlarm, busy.bufferedBytes <= 16ull << 20,
                                  busy.writtenBytes > 0}),
                 (QList<uint64_t>{overflows, overflows, 1, 1}));
        QCOMPARE(LumenquillAPIDiskDumpStop(handle(kMacA)), 0);
        const DiskDumpStatus after = captureStatus();
        // Not running, no error, nothing buffered.
        QCOMPARE((QList<uint64_t>{after.running, uint64_t(after.errorCode), after.bufferedBytes}), QList<uint64_t>(3));
        QVERIFY(after.writtenBytes > 0);
        QCOMPARE(captureFiles(), QStringList{capturePath()});
        const uint64_t reported = writtenPackets();
        QVERIFY(reported > 100);
        QCOMPARE(uint64_t(checkCaptures({capturePath()}, snapLength, Fcs(fcs))), reported);
    }

    // Wireshark reads the simulated traffic as real traffic: a minute of each default device, and of taps that
    // slice, keep the FCS or forward bad frames, dissects with no malformed frame, no extraneous bytes and
    // zero padding, bar the frames sent bad on purpose; and every protocol of the office's mix is among them.
    void capturesDissectCleanly_data()
    {
        QTest::addColumn<QByteArray>("json"); // null: the compiled-in scenario
        QTest::addColumn<QByteArray>("mac");
        QTest::addColumn<bool>("badFrames"); // frames with a CRC error are forwarded, and must be found
        QTest::newRow("default 1G+ GPS PoE") << QByteArray() << QByteArray("02:4c:51:00:00:01") << false;
        QTest::newRow("default 10G GPS") << QByteArray() << QByteArray("02:4c:51:00:00:02") << false;
        QTest::newRow("default 1G v6, sliced") << QByteArray() << QByteArray("02:4c:51:00:00:03") << false;
        QTest::newRow("sliced short")
            << scenario({device(12, kMacA, R"(,"features":{"packet_slicing":1,"slicing_length":80},"seed":7)")})
            << QByteArray(kMacA) << false;
        QTest::newRow("keep crc") << scenario({device(12, kMacA, R"(,"features":{"keep_crc":1},"seed":11)")})
                                  << QByteArray(kMacA) << false;
        const QByteArray bad = R"(,"features":{"keep_crc":1,"transmit_crc_errors":1},"seed":5,)"
                               R"("traffic":{"crcErrors":0.004,"collisions":0.002,"jabbers":0.002})";
        QTest::newRow("bad frames forwarded") << scenario({device(10, kMacA, bad)}) << QByteArray(kMacA) << true;
    }
    void capturesDissectCleanly()
    {
        QFETCH(QByteArray, json);
        QFETCH(QByteArray, mac);
        QFETCH(bool, badFrames);
        if (json.isNull())
            QCOMPARE(lqsim_load_startup_scenario(), 0);
        start(json, json.isNull() ? 3 : 1);
        startCapture(capturePath(), 0, 0, false, 0, 64ull << 20, mac.constData());
        lqsim_advance_clock(60000);
        QCOMPARE(LumenquillAPIDiskDumpStop(handle(mac.constData())), 0);
        const std::string file = capturePath().toStdString();

        // The expert's findings in the frames not flagged as bad.
        QString expert;
        QCOMPARE(
            runTool({"tshark", "-r", file, "-q", "-z", "expert,note,!(frame.packet_flags_crc_error == 1)"}, &expert),
            0);
        for (const QString &line : expert.split('\n')) {
            QVERIFY2(!line.contains(
                         QRegularExpression("\\bMalformed\\b|Extraneous", QRegularExpression::CaseInsensitiveOption)),
                     qPrintable(line + "\n" + expert));
        }

        QString read;
        QCOMPARE(runTool({"tshark", "-r", file, "-T", "fields", "-E", "occurrence=f", "-e", "frame.protocols", "-e",
                          "frame.packet_flags_crc_error", "-e", "eth.padding", "-e", "eth.trailer"},
                         &read),
                 0);
        std::set<QString> protocols;
        int frames = 0, bad = 0;
        for (const QString &line : read.split('\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split('\t'); // protocols, CRC error, padding, trailer
            QVERIFY2(fields.size() == 4, qPrintable(line));
            ++frames;
            if (fields[1] == "1" || fields[1] == "True") {
                ++bad;
                continue;
            }
            for (const QString &protocol : fields[0].split(':'))
                protocols.insert(protocol);
            QVERIFY2(!fields[2].contains(QRegularExpression("[1-9a-f]")), qPrintable("padding not zero: " + line));
            QVERIFY2(!fields[3].contains(QRegularExpression("[1-9a-f]")), qPrintable("trailer not zero: " + line));
        }
        QVERIFY2(frames > 10000, qPrintable(QString::number(frames)));
        QVERIFY2((bad > 0) == badFrames, qPrintable(QString("%1 bad frames").arg(bad)));
        QStringList missing;
        for (const char *protocol : {"arp", "lldp", "igmp", "icmp", "icmpv6", "dns", "mdns", "dhcp", "nbns", "tls",
                                     "quic", "ssh", "http", "smb2"}) {
            if (!protocols.count(protocol))
                missing << protocol;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(' ')));
    }

    // Closing a file adds each port's statistics over the file's time, however the capture ends: the files'
    // figures follow on from one another and add up to what the device counted meanwhile.
    void statisticsBlocks_data()
    {
        QTest::addColumn<QByteArray>("features");
        QTest::addColumn<QByteArray>("traffic"); // the members of "traffic" after "load"
        QTest::addColumn<bool>("pattern");       // the pattern filter passes web traffic only
        QTest::addColumn<int>("ending");         // 0: stopped, 1: unplugged, 2: the library uninitialised
        QTest::addColumn<uint64_t>("maxSize");
        QTest::newRow("busy line, stopped") << QByteArray() << QByteArray("1.0") << false << 0 << uint64_t(256 * 1024);
        QTest::newRow("bad frames forwarded")
            << QByteArray(R"("transmit_crc_errors":1)")
            << QByteArray(R"(0.5,"crcErrors":0.002,"collisions":0.001,"jabbers":0.001)") << false << 0
            << uint64_t(256 * 1024);
        QTest::newRow("pattern filter") << QByteArray() << QByteArray("0.5") << true << 0 << uint64_t(8 * 1024);
        QTest::newRow("unplugged") << QByteArray() << QByteArray("1.0") << false << 1 << uint64_t(256 * 1024);
        QTest::newRow("uninitialised") << QByteArray() << QByteArray("1.0") << false << 2 << uint64_t(256 * 1024);
    }
    void statisticsBlocks()
    {
        QFETCH(QByteArray, features);
        QFETCH(QByteArray, traffic);
        QFETCH(bool, pattern);
        QFETCH(int, ending);
        QFETCH(uint64_t, maxSize);
        startTap(features, traffic);
        if (pattern) {
            DpiFilter web{1, {'H', 'T', 'T', 'P', '/', '1', '.', '1'}, {}, 0xff};
            QCOMPARE(LumenquillAPISetDpiFilter(handle(kMacA), web), 0);
        }
        const auto counted = [this] {
            DeviceStatistics s{};
            [&] { QCOMPARE(LumenquillAPIGetStatistics(handle(kMacA), &s), 0); }();
            std::array<PortFigures, 2> out{};
            for (int port = 0; port < 2; ++port) {
                const PortCounters &c = port == 0 ? s.u.ports.portA : s.u.ports.portB;
                // Bad frames go to the host only when forwarded; none is dropped.
                out[size_t(port)] = {0, 0, c.validPackets + c.invalidPackets, c.hardwareDropped, c.validPackets};
            }
            return out;
        };
        lqsim_advance_clock(1000);
        const std::array<PortFigures, 2> before = counted();
        startCapture(capturePath(), maxSize);
        lqsim_advance_clock(10000);
        const std::array<PortFigures, 2> after = counted();
        const int ended = ending == 1   ? lqsim_unplug(kMacA)
                          : ending == 2 ? LumenquillAPIUninitialize()
                                        : LumenquillAPIDiskDumpStop(handle(kMacA));
        QCOMPARE(ended, 0);
        lqsim_advance_clock(0);

        const QStringList files = captureFiles();
        QVERIFY2(files.size() > 2, qPrintable(files.join(' ')));
        std::array<PortFigures, 2> sum{};
        for (const QString &file : files) {
            QString info;
            QCOMPARE(runTool({"capinfos", file.toStdString()}, &info), 0);
            QCOMPARE(info.count(QRegularExpression("Number of stat entries = 1\\n")), 2);
            const std::array<PortFigures, 2> blocks = statisticsBlocksOf(file);
            for (size_t port = 0; port < 2; ++port) {
                const PortFigures &b = blocks[port];
                PortFigures &total = sum[port];
                QCOMPARE(b.blocks, 1);
                // Each file starts where the one before ended.
                QVERIFY2(b.end >= b.start && (file == files.front() || b.start == total.end),
                         qPrintable(QString("%1: %2 to %3 after %4").arg(file).arg(b.start).arg(b.end).arg(total.end)));
                total.start = file == files.front() ? b.start : total.start;
                total.end = b.end;
                total.received += b.received;
                total.dropped += b.dropped;
                total.accepted += b.accepted;
            }
        }
        for (size_t port = 0; port < 2; ++port) {
            const PortFigures &total = sum[port];
            const uint64_t received = after[port].received - before[port].received;
            const uint64_t dropped = after[port].dropped - before[port].dropped;
            const uint64_t valid = after[port].accepted - before[port].accepted;
            QCOMPARE(total.end - total.start, uint64_t(10000) * 1000000);
            QCOMPARE(total.received, received);
            QCOMPARE(total.dropped, dropped);
            QVERIFY(received > valid || features.isEmpty());
            // Forwarded bad frames reach the host; the pattern passes a few packets of the line.
            const uint64_t passed = (features.isEmpty() ? valid : received) - dropped;
            if (pattern)
                QVERIFY2(total.accepted > 0 && total.accepted * 10 < passed,
                         qPrintable(QString("%1 of %2").arg(total.accepted).arg(passed)));
            else
                QCOMPARE(total.accepted, passed);
        }
        QCOMPARE(sum[0].dropped + sum[1].dropped > 0, traffic == "1.0");
    }

    // Files under their sequence numbers, of which a ring keeps the newest; whichever way the capture ends,
    // every file is complete.
    void rotation_data()
    {
        QTest::addColumn<uint64_t>("maxSize");
        QTest::addColumn<uint32_t>("count");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<uint32_t>("duration");
        QTest::addColumn<int>("expectedFiles"); // -1: more than two, unbounded
        QTest::addColumn<int>("ending");        // 0: stopped, 1: unplugged, 2: the library uninitialised
        QTest::newRow("by size") << uint64_t(64 * 1024) << 0u << false << 0u << -1 << 0;
        QTest::newRow("by count") << uint64_t(64 * 1024) << 3u << false << 0u << 3 << 0; // then stops by itself
        QTest::newRow("loop") << uint64_t(64 * 1024) << 3u << true << 0u << 3 << 0;
        QTest::newRow("by duration") << uint64_t(0) << 0u << false << 2u << 5 << 0;
        QTest::newRow("unplugged") << uint64_t(256 * 1024) << 0u << false << 0u << -1 << 1;
        QTest::newRow("uninitialised") << uint64_t(256 * 1024) << 0u << false << 0u << -1 << 2;
    }
    void rotation()
    {
        QFETCH(uint64_t, maxSize);
        QFETCH(uint32_t, count);
        QFETCH(bool, loop);
        QFETCH(uint32_t, duration);
        QFETCH(int, expectedFiles);
        QFETCH(int, ending);
        startTap({});
        startCapture(capturePath(), maxSize, count, loop, duration);
        lqsim_advance_clock(10000);
        QCOMPARE(captureStatus().running, uint8_t(count && !loop ? 0 : 1));
        uint64_t opened = 0;
        const uint64_t reported = writtenPackets(&opened);
        const int ended = ending == 1   ? lqsim_unplug(kMacA)
                          : ending == 2 ? LumenquillAPIUninitialize()
                                        : LumenquillAPIDiskDumpStop(handle(kMacA));
        QCOMPARE(ended, 0);
        lqsim_advance_clock(0);
        if (ending == 0) {
            QCOMPARE(captureStatus().errorCode, 0);
            QCOMPARE(writtenPackets(), reported);
        }
        const QStringList files = captureFiles();
        QVERIFY2(expectedFiles < 0 ? files.size() > 2 : files.size() == expectedFiles, qPrintable(files.join(' ')));
        for (const QString &file : files)
            QVERIFY(maxSize == 0 || uint64_t(QFile(file).size()) <= maxSize);
        QVERIFY(!loop || opened > uint64_t(count));
        QStringList names;
        for (uint64_t i = loop ? opened - count : 0; i < opened; ++i)
            names << capturePath(int(i));
        QCOMPARE(files, names);
        const uint64_t inFiles = uint64_t(checkCaptures(files, 65535));
        if (loop)
            QVERIFY(inFiles < reported);
        else
            QCOMPARE(inFiles, reported);
    }

    // A running capture refuses a new configuration, as the device is busy: the ring goes on rotating under
    // its own names and never deletes, nor overwrites, files that merely carry the refused one's names.
    void captureRefusesConfigurationWhileRunning()
    {
        startTap({});
        startCapture(capturePath(), 64 * 1024, 3, true);
        const auto otherPath = [&](int sequence) {
            return m_captureDir +
                   (sequence ? QString("/other_%1.pcapng").arg(sequence, 5, 10, QChar('0')) : "/other.pcapng");
        };
        QStringList kept;
        for (int i = 0; i < 40; ++i) {
            kept << otherPath(i);
            QVERIFY(writeFile(kept.back(), "kept"));
        }
        lqsim_advance_clock(2000);
        uint64_t openedBefore = 0;
        writtenPackets(&openedBefore);
        std::wstring other = otherPath(0).toStdWString();
        const DiskDumpConfig refused{1, 0, LQ_DISK_DUMP_FORMAT_PCAPNG, {}, other.data(), 32 * 1024, 64ull << 20, 1, 0};
        QCOMPARE(LumenquillAPIDiskDumpSetConfig(handle(kMacA), refused), int(LQSIM_ERR_BUSY));
        lqsim_advance_clock(10000);
        QCOMPARE(captureStatus().running, uint8_t(1));
        for (const QString &file : kept) {
            QFile read(file);
            QVERIFY2(read.open(QIODevice::ReadOnly) && read.readAll() == "kept", qPrintable(file));
        }
        uint64_t opened = 0;
        writtenPackets(&opened);
        QVERIFY2(opened > openedBefore + 3, qPrintable(QString("%1 then %2").arg(openedBefore).arg(opened)));
        QStringList ring;
        for (uint64_t i = opened - 3; i < opened; ++i)
            ring << capturePath(int(i));
        QCOMPARE(captureFiles(), ring + kept);
        DiskDumpConfig config{};
        char path[4096] = {};
        QCOMPARE(lqsim_last_disk_dump_config(kMacA, &config, path, sizeof path), 0);
        QCOMPARE((QList<uint64_t>{config.maxFileSize, config.fileCount}), (QList<uint64_t>{64 * 1024, 3}));
        QCOMPARE(QString::fromUtf8(path), capturePath());
        // Stopped, the device takes it.
        QCOMPARE(LumenquillAPIDiskDumpStop(handle(kMacA)), 0);
        QCOMPARE(LumenquillAPIDiskDumpSetConfig(handle(kMacA), refused), 0);
        QCOMPARE(lqsim_last_disk_dump_config(kMacA, &config, path, sizeof path), 0);
        QCOMPARE(QString::fromUtf8(path), otherPath(0));
    }

    // A capture that cannot write stops with the error. A disk that fills mid-capture (here a file
    // size limit) leaves the file readable up to its last complete packet.
    void writeErrorsStopTheCapture_data()
    {
        QTest::addColumn<QString>("relativePath"); // to the capture folder, or absolute
        QTest::addColumn<qint64>("sizeLimit");
        QTest::addColumn<int>("error");
        QTest::newRow("a folder") << "." << qint64(0) << EISDIR;
        QTest::newRow("full disk") << "/dev/full" << qint64(0) << ENOSPC; // opens, every write fails
        QTest::newRow("disk fills") << "capture.pcapng" << qint64(3 << 20) << EFBIG; // some twenty seconds
    }
    void writeErrorsStopTheCapture()
    {
        QFETCH(QString, relativePath);
        QFETCH(qint64, sizeLimit);
        startTap({});
        const QString path = relativePath.startsWith('/') ? relativePath : m_captureDir + '/' + relativePath;
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit small{sizeLimit ? rlim_t(sizeLimit) : saved.rlim_cur, saved.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        startCapture(path);
        lqsim_advance_clock(sizeLimit ? 40000 : 1000);
        const DiskDumpStatus s = captureStatus();
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &saved), 0);
        QCOMPARE(s.running, uint8_t(0));
        QTEST(s.errorCode, "error");
        const uint64_t packets = writtenPackets();
        QCOMPARE(packets > 0, sizeLimit > 0);
        if (sizeLimit) {
            QVERIFY(QFile(path).size() <= sizeLimit);
            QCOMPARE(uint64_t(checkCaptures({path}, 65535)), packets);
        }
        QCOMPARE(LumenquillAPIDiskDumpStop(handle(kMacA)), 0);
    }
};

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
