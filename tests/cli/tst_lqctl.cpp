// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// lqctl against the default simulated devices: every command's output and
// JSON form, bad input refused with its exit code and the device untouched,
// the metrics file as a real node_exporter serves it.

#include "lqctl.h"
#include "lqsim.h"
#include "metricsexport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

namespace {

const char *const kGps10G = "02:4c:51:00:00:02"; // type 12: SFP, timing, filters, port counters
const char *const kV6 = "02:4c:51:00:00:03";     // type 14: configurable counters, per-port link
const uint64_t kStartMs = 1764892800000ull;

struct Result {
    int code = -1;
    QString out;
    QString err;
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

bool g_stop = false;

Result lqctl(const QStringList &args, long long monitorPolls = 0)
{
    Result r;
    QTextStream out(&r.out), err(&r.err);
    Lqctl::Environment env;
    env.out = &out;
    env.err = &err;
    env.wait = [](int ms) { lqsim_advance_clock(uint64_t(ms)); };
    env.stopRequested = [] { return g_stop; };
    env.settleQuietMs = 100;
    env.monitorPolls = monitorPolls;
    r.code = Lqctl::run(args, env);
    out.flush();
    err.flush();
    return r;
}

// The library calls that change a device; bad input must make none of them.
const char *const kChangingCalls[] = {"LumenquillAPISetDeviceFeatures",  "LumenquillAPISetDevicePortsSpeed",
                                      "LumenquillAPISetPacketFilter",    "LumenquillAPISetDpiFilter",
                                      "LumenquillAPISaveDeviceFeatures", "LumenquillAPISavePacketFilter",
                                      "LumenquillAPISaveDpiFilter",      "LumenquillAPIDiskDumpSetConfig",
                                      "LumenquillAPIDiskDumpStart",      "LumenquillAPISetTimingTime"};

uint64_t changingCalls()
{
    uint64_t n = 0;
    for (const char *call : kChangingCalls)
        n += lqsim_call_count(call);
    return n;
}

// Checks one JSON object against "key:type" pairs (type n, s, b, o, a, or
// n? for a number or null).
void checkSchema(const QJsonObject &o, const QStringList &schema, const QString &where)
{
    for (const QString &entry : schema) {
        const QString key = entry.section(u':', 0, 0), type = entry.section(u':', 1);
        QVERIFY2(o.contains(key), qPrintable(where + ": missing " + key));
        const QJsonValue v = o[key];
        const bool ok = type == "n"    ? v.isDouble()
                        : type == "n?" ? (v.isDouble() || v.isNull())
                        : type == "s"  ? v.isString()
                        : type == "b"  ? v.isBool()
                        : type == "o"  ? v.isObject()
                                       : v.isArray();
        QVERIFY2(ok, qPrintable(where + ": " + key + " is not of type " + type));
    }
}

QString makeImage(const QString &dir, int type)
{
    const QString path = dir + QStringLiteral("/type%1.img").arg(type);
    QProcess p;
    p.start(QStringLiteral(LQFW_BINARY), {"--type", QString::number(type), "--output", path});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return path;
}

} // namespace

class tst_Lqctl : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        g_stop = false;
        lqsim_clear_failures();
        lqsim_use_manual_clock(kStartMs);
        // The default scenario's three taps, fresh for every test.
        QCOMPARE(lqsim_load_startup_scenario(), 0);
        lqsim_reset_call_counts();
    }

    void list()
    {
        const Result r = lqctl({"list", "--json"});
        QCOMPARE(r.code, 0);
        const QJsonArray devices = r.json()["devices"].toArray();
        QCOMPARE(devices.size(), 3);
        for (const QJsonValue &d : devices)
            checkSchema(d.toObject(),
                        {"mac:s", "name:s", "model:s", "type:n", "software_version:s", "driver_version:s",
                         "hardware_version:s", "usb_speed:s", "link:s", "admitted:b", "refusal:s"},
                        "list");
        QCOMPARE(devices[1].toObject()["mac"].toString(), QString(kGps10G));
        QCOMPARE(devices[1].toObject()["software_version"].toString(), QString("4.1.0.3"));
        QCOMPARE(devices[2].toObject()["usb_speed"].toString(), QString("High Speed"));
        QVERIFY(devices[2].toObject()["link"].toString().contains(" / "));
    }

    void refusedDeviceListedWithReason()
    {
        QCOMPARE(lqsim_plug(R"({"type": 11, "mac": "02:4c:51:00:09:01",
                                "versions": {"software": "4.0.0.0", "driver": "1.9.17.0", "hardware": 2000}})"),
                 0);
        const Result r = lqctl({"list", "--json"});
        QCOMPARE(r.code, 0);
        bool found = false;
        for (const QJsonValue &v : r.json()["devices"].toArray()) {
            const QJsonObject d = v.toObject();
            if (d["mac"].toString() != "02:4c:51:00:09:01")
                continue;
            found = true;
            QCOMPARE(d["admitted"].toBool(), false);
            QVERIFY(d["refusal"].toString().contains("old driver version"));
            QVERIFY(d["refusal"].toString().contains("Current version : 1.9.17.0"));
        }
        QVERIFY(found);
        const Result status = lqctl({"status", "02:4c:51:00:09:01"});
        QCOMPARE(status.code, 1);
        QVERIFY(status.err.contains("not admitted"));
    }

    void statusOverInterval()
    {
        const Result r = lqctl({"status", kGps10G, "--interval", "2", "--json"});
        QCOMPARE(r.code, 0);
        const QJsonObject o = r.json();
        checkSchema(o, {"mac:s", "link:s", "interval_ms:n", "ports:a", "dropped:n", "timing:o", "capture:o"}, "status");
        // The rates are measured over the interval the clock really moved.
        QCOMPARE(o["interval_ms"].toDouble(), 2000.0);
        for (const QJsonValue &v : o["ports"].toArray()) {
            const QJsonObject port = v.toObject();
            checkSchema(port, {"port:s", "link_up:b", "counters:o", "sfp:o", "bandwidth_usage:n"}, "port");
            const QJsonObject counters = port["counters"].toObject();
            const QJsonObject valid = counters["valid_packets"].toObject();
            checkSchema(valid, {"total:n", "rate:n?", "percent:n?"}, "row");
            QVERIFY(valid["rate"].toDouble() > 0);
            // Each size class's share adds up to the valid packets' share.
            const double classes = counters["valid_under_64"].toObject()["percent"].toDouble() +
                                   counters["valid_64_to_1522"].toObject()["percent"].toDouble() +
                                   counters["valid_over_1522"].toObject()["percent"].toDouble();
            QVERIFY(qAbs(classes - valid["percent"].toDouble()) < 0.01);
            const double usage = port["bandwidth_usage"].toDouble();
            QVERIFY(usage > 0 && usage <= 100);
            QCOMPARE(counters["valid_bytes"].toObject()["percent"].toDouble(), usage);
            QVERIFY(port["sfp"].toObject()["present"].toBool());
            QVERIFY(port["sfp"].toObject()["temperature"].toString().endsWith("°C"));
        }

        const Result v6 = lqctl({"status", kV6, "--json"});
        QCOMPARE(v6.code, 0);
        QCOMPARE(v6.json()["configurable_counters"].toArray().size(), 16);
        const Result text = lqctl({"status", kGps10G});
        QVERIFY(text.out.contains("CRC errors"));
        QVERIFY(text.out.contains("SFP A: "));
    }

    void settingsAppliedAndReadBack_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("jsonKey");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QJsonValue>("expected");
        QTest::newRow("feature") << QStringList{"features", kV6, "keep_crc=1", "slicing_length=256"} << "features"
                                 << "slicing_length" << QJsonValue(256);
        QTest::newRow("port") << QStringList{"ports", kV6, "a.master=1"} << "ports"
                              << "a" << QJsonValue();
        QTest::newRow("filter mac") << QStringList{"filter", kGps10G, "on", "dst-mac=00:1a:**:33:44:55"} << "filter"
                                    << "dst-mac" << QJsonValue("00:1a:**:33:44:55");
        QTest::newRow("filter either ip") << QStringList{"filter", kGps10G, "ip=192.168.*.1"} << "filter"
                                          << "ip" << QJsonValue("192.168.*.1");
        QTest::newRow("filter ipv6") << QStringList{"filter", kGps10G, "src-ip=fe80::*"} << "filter"
                                     << "src-ip" << QJsonValue("fe80:0000:0000:0000:0000:0000:0000:00**");
        QTest::newRow("pattern") << QStringList{"pattern", kGps10G, "on", "47 45 54 ** 2f"} << "pattern"
                                 << "hex" << QJsonValue("47 45 54 ** 2f ** ** ** ** ** ** ** ** ** ** **");
    }

    void settingsAppliedAndReadBack()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, jsonKey);
        QFETCH(QString, field);
        QFETCH(QJsonValue, expected);
        const Result r = lqctl(args + QStringList{"--json"});
        QCOMPARE(r.code, 0);
        const QJsonObject shown = r.json()[jsonKey].toObject();
        if (!expected.isUndefined() && !expected.isNull())
            QCOMPARE(shown[field], expected);
        // What was printed is what the device holds: a new session reads it back.
        const Result again = lqctl({args[0], args[1], "--json"});
        QCOMPARE(again.json()[jsonKey].toObject(), shown);
        if (args[0] == "ports") {
            DevicePortsSpeed set{};
            QCOMPARE(lqsim_last_ports_speed(kV6, &set), 0);
            QCOMPARE(set.portA.master, 1u);
            QCOMPARE(shown["a"].toObject()["master"].toInt(), 1);
        }
        if (args[0] == "filter" && field == "dst-mac") {
            PacketFilter set{};
            QCOMPARE(lqsim_last_packet_filter(kGps10G, &set), 0);
            QCOMPARE(set.enabled, 1u);
            QCOMPARE(set.fields, uint32_t(LQ_FILTER_DST_MAC));
            // Addresses are stored byte-reversed, the open byte left out of the mask.
            QCOMPARE(set.dst_mac[0], uint8_t(0x55));
            QCOMPARE(set.dst_mac[5], uint8_t(0x00));
            QCOMPARE(set.mac_mask, uint16_t(0x3f & ~(1u << 3)));
        }
    }

    void badInputChangesNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown device") << QStringList{"features", "02:4c:51:00:00:99", "keep_crc=1"} << 2
                                        << "no device '02:4c:51:00:00:99'";
        QTest::newRow("malformed mac") << QStringList{"filter", kGps10G, "on", "src-mac=00:1a:2b:3c:4d"} << 2
                                       << "malformed address or port '00:1a:2b:3c:4d'";
        QTest::newRow("malformed ipv4") << QStringList{"filter", kGps10G, "dst-ip=10.0.256.1"} << 2
                                        << "malformed address or port '10.0.256.1'";
        QTest::newRow("port out of range")
            << QStringList{"filter", kGps10G, "port=65536"} << 2 << "malformed address or port '65536'";
        QTest::newRow("unknown filter key")
            << QStringList{"filter", kGps10G, "vlan=3"} << 2 << "unknown filter key 'vlan'";
        QTest::newRow("malformed pattern") << QStringList{"pattern", kGps10G, "on", "4g"} << 2 << "malformed pattern";
        QTest::newRow("feature out of range")
            << QStringList{"features", kV6, "keep_crc=1", "tap_mode=2"} << 2 << "tap_mode=2 is out of range (0 to 1)";
        QTest::newRow("unknown feature") << QStringList{"features", kV6, "turbo=1"} << 2 << "unknown feature 'turbo'";
        QTest::newRow("unknown port setting") << QStringList{"ports", kV6, "c.master=1"} << 2 << "the port is a or b";
        QTest::newRow("size out of range")
            << QStringList{"capture", kGps10G, "start", "--file", "/tmp/x.pcapng", "--size", "20001"} << 2
            << "file size 20001 MB is out of range (0 to 20000)";
        QTest::newRow("buffer out of range")
            << QStringList{"capture", kGps10G, "start", "--file", "/tmp/x.pcapng", "--buffer", "0"} << 2
            << "buffer size 0 MB is out of range (1 to 8192)";
        QTest::newRow("no such folder") << QStringList{"capture", kGps10G, "start", "--file", "/nonexistent/x.pcapng"}
                                        << 2 << "the folder of /nonexistent/x.pcapng does not exist";
        QTest::newRow("unknown option") << QStringList{"status", kGps10G, "--colour"} << 2 << "unknown option --colour";
        QTest::newRow("unknown command") << QStringList{"reboot", kGps10G} << 2 << "unknown command 'reboot'";
        QTest::newRow("no timing") << QStringList{"time", kV6, "gps"} << 1 << "has no timing";
        QTest::newRow("time source") << QStringList{"time", kGps10G, "ntp"} << 2 << "unknown time source 'ntp'";
    }

    void badInputChangesNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);
        const Result before = lqctl({"filter", kGps10G, "--json"});
        const Result beforeFeatures = lqctl({"features", kV6, "--json"});
        const Result r = lqctl(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.err.startsWith("lqctl: "));
        QCOMPARE(changingCalls(), uint64_t(0));
        QCOMPARE(lqctl({"filter", kGps10G, "--json"}).out, before.out);
        QCOMPARE(lqctl({"features", kV6, "--json"}).out, beforeFeatures.out);
    }

    void refusedCallsExitOne()
    {
        lqsim_fail("LumenquillAPISetPacketFilter", LQSIM_FAIL_ONCE, 0, LQSIM_ERR_BUSY);
        const Result r = lqctl({"filter", kGps10G, "on", "src-port=80"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("refused the packet filter (library answer -5)"));

        lqsim_fail("LumenquillAPIInitialize", LQSIM_FAIL_ONCE, 0, -1);
        const Result start = lqctl({"list"});
        QCOMPARE(start.code, 1);
        QVERIFY(start.err.contains("refused to start"));
        QVERIFY(start.err.contains("do not run against the same devices at once"));
    }

    void firmwareFlash()
    {
        QTemporaryDir dir;
        const QString foreign = makeImage(dir.path(), 14);
        QVERIFY(!foreign.isEmpty());
        const Result wrong = lqctl({"firmware", kGps10G, "flash", foreign});
        QCOMPARE(wrong.code, 1);
        QVERIFY(wrong.err.contains("Firmware update failed."));
        QCOMPARE(wrong.out, QString());

        const QString own = makeImage(dir.path(), 12);
        const Result ok = lqctl({"firmware", kGps10G, "flash", own});
        QCOMPARE(ok.code, 0);
        QVERIFY(ok.out.contains("Firmware successfully updated."));
        // Plain percentage lines away from a terminal, ending at 100 %.
        const QStringList lines = ok.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() > 3);
        QCOMPARE(lines[lines.size() - 3], QString("100%"));
        QVERIFY(QRegularExpression("^\\d+%$").match(lines.first()).hasMatch());

        const Result longPath = lqctl({"firmware", kGps10G, "flash", QString(2048, 'x')});
        QCOMPARE(longPath.code, 2);
        QVERIFY(longPath.err.contains("too long (2048 bytes; at most 2047)"));
    }

    void captureRunsUntilTheDeviceEndsIt()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("run.pcapng");
        const Result r =
            lqctl({"capture", kGps10G, "start", "--file", file, "--files", "1", "--duration", "3", "--buffer", "16"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("running  written"), qPrintable(r.out));
        QVERIFY(r.out.trimmed().split('\n').last().startsWith("stopped"));
        uint64_t packets = 0, files = 0;
        QCOMPARE(lqsim_disk_dump_written(kGps10G, &packets, &files), 0);
        QVERIFY(packets > 0);
        QCOMPARE(files, uint64_t(1));
        DiskDumpConfig config{};
        char path[512];
        QCOMPARE(lqsim_last_disk_dump_config(kGps10G, &config, path, sizeof path), 0);
        QCOMPARE(QString::fromUtf8(path), file);
        QCOMPARE(config.bufferSize, uint64_t(16) << 20);
        QCOMPARE(config.maxFileDuration, 3u);

        const Result status = lqctl({"capture", kGps10G, "status", "--json"});
        QCOMPARE(status.code, 0);
        checkSchema(status.json(), {"running:b", "written_bytes:n", "dropped_bytes:n", "buffered_bytes:n", "error:s"},
                    "capture");
        const Result stop = lqctl({"capture", kGps10G, "stop"});
        QCOMPARE(stop.code, 0);
        QVERIFY(stop.out.contains("No capture is running"));
    }

    void timeFromGps()
    {
        const Result r = lqctl({"time", kGps10G, "gps"});
        QCOMPARE(r.code, 0);
        TimingTimeSet set{};
        QCOMPARE(lqsim_last_timing_time(kGps10G, &set), 0);
        QCOMPARE(set.source, uint32_t(LQ_TIME_SOURCE_GPS));
    }

    void monitorWritesEveryDevice()
    {
        QTemporaryDir dir;
        const Result r = lqctl({"monitor", "--textfile-dir", dir.path(), "--interval", "1"}, 3);
        QCOMPARE(r.code, 0);
        QFile file(dir.filePath("lumenquill.prom"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.endsWith('\n'));
        QCOMPARE(text.count("lumenquill_up{"), 3);
        QVERIFY(text.contains("# TYPE lumenquill_valid_packets_total counter"));
        QVERIFY(text.contains(QString("lumenquill_sfp_temperature_celsius{mac=\"%1\"").arg(kGps10G)));
        QVERIFY(text.contains("lumenquill_configurable_counter_total{"));
        // Only the finished file is ever in the folder.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"lumenquill.prom"});

        // A failing call marks its device down and the loop goes on; a
        // device that leaves drops out.
        lqsim_fail("LumenquillAPIGetTimingStatus", LQSIM_FAIL_ALWAYS, 0, -1);
        QCOMPARE(lqsim_unplug(kV6), 0);
        QCOMPARE(lqctl({"monitor", "--textfile-dir", dir.path(), "--interval", "1"}, 2).code, 0);
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString after = QString::fromUtf8(file.readAll());
        QVERIFY(after.contains(QString("lumenquill_up{mac=\"%1\",name=\"Lumenquill\"} 0").arg(kGps10G)));
        QVERIFY(!after.contains(kV6));
        QVERIFY(!after.contains(QString("lumenquill_valid_packets_total{mac=\"%1\"").arg(kGps10G)));
    }

    void nodeExporterServesTheMetrics()
    {
        const QString exporter = QStandardPaths::findExecutable("prometheus-node-exporter");
        if (exporter.isEmpty())
            QSKIP("prometheus-node-exporter is not installed (scripts/bootstrap installs it)");
        QTemporaryDir dir;
        QCOMPARE(lqctl({"monitor", "--textfile-dir", dir.path(), "--interval", "1"}, 2).code, 0);
        // The clock stands still: the library now answers what the file holds.
        DeviceStatistics counted{};
        QVERIFY(lqsim_handle_of(kGps10G) == 0); // the session is closed
        QCOMPARE(LumenquillAPIInitialize(), 0);
        lqsim_advance_clock(0);
        QTRY_VERIFY(lqsim_handle_of(kGps10G) != 0);
        QCOMPARE(LumenquillAPIGetStatistics(lqsim_handle_of(kGps10G), &counted), 0);
        LumenquillAPIUninitialize();

        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        QProcess node;
        node.start(exporter, {"--web.listen-address=127.0.0.1:" + QString::number(port), "--collector.disable-defaults",
                              "--collector.textfile", "--collector.textfile.directory=" + dir.path()});
        QVERIFY(node.waitForStarted());
        const auto stop = qScopeGuard([&] {
            node.terminate();
            if (!node.waitForFinished(5000))
                node.kill();
        });
        QString scraped;
        QTRY_VERIFY_WITH_TIMEOUT(!(scraped = scrape(port)).isEmpty(), 10000);
        QVERIFY(scraped.contains("node_textfile_scrape_error 0"));
        const PortCounters *ports[2] = {&counted.u.ports.portA, &counted.u.ports.portB};
        for (int p = 0; p < 2; ++p) {
            const QString labels =
                QString("mac=\"%1\",name=\"Lumenquill\",port=\"%2\"").arg(kGps10G).arg(p ? 'B' : 'A');
            QCOMPARE(sample(scraped, "lumenquill_valid_packets_total{" + labels + ",size=\"64to1522\"}"),
                     double(ports[p]->valid64To1522));
            QCOMPARE(sample(scraped, "lumenquill_valid_bytes_total{" + labels + "}"), double(ports[p]->validBytes));
            QCOMPARE(sample(scraped, "lumenquill_crc_errors_total{" + labels + "}"), double(ports[p]->invalid64To1522));
            QCOMPARE(sample(scraped, "lumenquill_link_up{" + labels + "}"), 1.0);
            QCOMPARE(sample(scraped, "lumenquill_link_speed_bits_per_second{" + labels + "}"), 1e10);
        }
        QTextStream(stdout) << "one scrape, port A of " << kGps10G << ":\n";
        for (const QString &line : scraped.split('\n')) {
            if (line.contains(QString("mac=\"%1\"").arg(kGps10G)) && line.contains("port=\"A\""))
                QTextStream(stdout) << "  " << line << '\n';
        }
    }

    void binaryHelpAndExitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "do not run against the same devices at once";
        QTest::newRow("exit codes") << QStringList{"--help"} << 0 << "0 ok, 1 the device refused the call, 2 bad usage";
        QTest::newRow("command help") << QStringList{"capture", "--help"} << 0 << "--buffer MB";
        QTest::newRow("no command") << QStringList{} << 2 << "no command given";
        QTest::newRow("unknown device") << QStringList{"status", "nosuchtap"} << 2 << "no device 'nosuchtap'";
    }

    void binaryHelpAndExitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, text);
        QProcess p;
        p.start(QStringLiteral(LQCTL_BINARY), args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), code);
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).contains(text));
    }

private:
    static QString scrape(quint16 port)
    {
        QProcess curl;
        curl.start("curl", {"-s", "--max-time", "2", QString("http://127.0.0.1:%1/metrics").arg(port)});
        if (!curl.waitForFinished(5000) || curl.exitCode() != 0)
            return {};
        return QString::fromUtf8(curl.readAllStandardOutput());
    }

    static double sample(const QString &text, const QString &series)
    {
        for (const QString &line : text.split('\n')) {
            if (line.startsWith(series + ' '))
                return line.mid(series.size() + 1).toDouble();
        }
        return -1;
    }
};

QTEST_GUILESS_MAIN(tst_Lqctl)
#include "tst_lqctl.moc"
