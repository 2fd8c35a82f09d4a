// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// lqctl's commands; see lqctl.h. Every value shown comes from the same
// functions the window's tabs use; this file only reads arguments, calls the
// library in the worker's order and prints.

#include "lqctl.h"

#include "captureconfig.h"
#include "capturetexts.h"
#include "devicecombobox.h"
#include "devicemodel.h"
#include "devicereads.h"
#include "devicesession.h"
#include "deviceversion.h"
#include "dpipattern.h"
#include "firmwarecatalog.h"
#include "firmwareupdatetexts.h"
#include "metricsexport.h"
#include "portsettings.h"
#include "sfptexts.h"
#include "simplefilterrecord.h"
#include "sntpclient.h"
#include "statisticssample.h"
#include "timingtexts.h"
#include "updatethread.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSettings>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace Lqctl {

namespace {

const char kOneProcess[] = "The device library serves one process at a time: lqctl and LumenQuill Manager\n"
                           "do not run against the same devices at once.\n";

struct CommandHelp {
    const char *name;
    const char *synopsis;
    const char *text;
};

const CommandHelp kCommands[] = {
    {"list", "lqctl list [--json]",
     "Every device: MAC, friendly name, model, type, versions, USB speed, link and\n"
     "whether the manager admits it (with its reason when it does not).\n"},
    {"status", "lqctl status DEVICE [--interval S] [--json]",
     "Link, counters with rates and shares over S seconds (default 1), drops, SFP\n"
     "modules, timing and capture state.\n"},
    {"features", "lqctl features DEVICE [KEY=VALUE...] [--save] [--json]",
     "Shows the device features; KEY=VALUE sets them (keys as shown), --save has\n"
     "the device keep what is in force. The features are read back afterwards.\n"},
    {"ports", "lqctl ports DEVICE [PORT.KEY=VALUE...] [--default] [--save] [--json]",
     "Shows the port settings of port a and b; a.KEY=VALUE sets one, --default\n"
     "negotiates everything on both ports. Read back afterwards.\n"},
    {"filter", "lqctl filter DEVICE [on|off] [KEY=ADDRESS...] [--save] [--json]",
     "The packet filter. Keys: src-mac, dst-mac, mac (either direction), src-ip,\n"
     "dst-ip, ip, src-port, dst-port, port; '*' leaves a byte open\n"
     "(00:1a:**:33:44:55, 192.168.*.1, fe80::*). Given keys replace the filter's\n"
     "fields; on/off alone switches it. Read back afterwards.\n"},
    {"pattern", "lqctl pattern DEVICE [on|off] [HEX] [--save] [--json]",
     "The deep packet inspection pattern: up to 16 bytes as hex pairs or '**'\n"
     "(\"47 45 54 ** 2f\"). Read back afterwards.\n"},
    {"capture",
     "lqctl capture DEVICE start --file F [--size MB] [--files N] [--loop] [--duration S] [--buffer MB]\n"
     "       lqctl capture DEVICE stop|status [--json]",
     "start runs in the foreground, prints the capture's figures every second and\n"
     "stops the capture on SIGINT/SIGTERM or when the device ends it (N files of\n"
     "S seconds or MB each without --loop). status shows the capture state the\n"
     "device reports; stop stops a capture the device reports running. A capture\n"
     "belongs to the process that loaded the device library: it ends with lqctl.\n"},
    {"firmware", "lqctl firmware DEVICE flash IMAGE\n       lqctl firmware check [--json]",
     "flash updates the device from an image file; check shows what the\n"
     "installed firmware catalog offers each device.\n"},
    {"time", "lqctl time DEVICE gps|sntp [--server HOST]",
     "Sets the device clock from its GPS receiver or from an SNTP server\n"
     "(pool.ntp.org unless --server names another).\n"},
    {"monitor", "lqctl monitor --textfile-dir DIR [--interval S]",
     "Runs until stopped; every S seconds (default 15) writes lumenquill.prom in\n"
     "DIR for node_exporter's textfile collector.\n"},
};

const CommandHelp *findCommand(const QString &name)
{
    for (const CommandHelp &c : kCommands) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

// Thrown nowhere: every failure returns its exit code with its message written.
class Command {
public:
    Command(const Environment &env, QStringList args) : m_env(env), m_args(std::move(args)) {}

    int run();

private:
    QTextStream &out() { return *m_env.out; }
    int fail(int code, const QString &message)
    {
        *m_env.err << "lqctl: " << message << '\n';
        m_env.err->flush();
        return code;
    }
    int refused(const QString &what, int code)
    {
        return fail(DeviceRefused, QStringLiteral("the device refused %1 (library answer %2)").arg(what).arg(code));
    }
    bool flag(const char *name) { return m_flags.contains(QString::fromLatin1(name)); }
    void print(const QJsonObject &o) { out() << QJsonDocument(o).toJson(QJsonDocument::Indented); }

    int parse(const QStringList &valueOptions, const QStringList &flagOptions);
    int openDevice(const QString &wanted);
    // openDevice, then a refusal unless the device has `capability`; `lacking`
    // completes "device <mac> has no ...".
    int openDeviceWith(const QString &wanted, uint32_t capability, const char *lacking);

    int list();
    int status();
    int features();
    int ports();
    int filter();
    int pattern();
    int capture();
    int firmware();
    int time();
    int monitor();

    QJsonObject deviceJson(const StatsThreadInfo &info, const QString &refusal);
    QString refusalOf(const StatsThreadInfo &info) const;
    QString nameOf(const QString &mac) { return DeviceComboBox::friendlyName(m_settings, mac); }

    const Environment &m_env;
    QStringList m_args;
    QString m_command;
    QStringList m_positional;
    QMap<QString, QString> m_options;
    QStringList m_flags;
    QSettings m_settings{QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Hollerby"),
                         QStringLiteral("LumenquillManager")};
    DeviceSession m_session;
    uint64_t m_handle = 0;
    StatsThreadInfo m_device{};
};

QString normalisedMac(QString text)
{
    return text.remove(QLatin1Char(':')).remove(QLatin1Char('-')).toLower();
}

QString callName(const DeviceRead &read)
{
    const QString call = QString::fromLatin1(read.failedCall ? read.failedCall : "");
    return call.left(call.indexOf(QLatin1Char('(')));
}

int Command::parse(const QStringList &valueOptions, const QStringList &flagOptions)
{
    for (int i = 0; i < m_args.size(); ++i) {
        const QString &a = m_args[i];
        if (!a.startsWith(QLatin1String("--")) || a == QLatin1String("--")) {
            m_positional << a;
            continue;
        }
        const QString name = a.mid(2);
        if (name == QLatin1String("help") || flagOptions.contains(name)) {
            m_flags << name;
        } else if (valueOptions.contains(name)) {
            if (i + 1 >= m_args.size())
                return fail(BadUsage, QStringLiteral("option %1 needs a value").arg(a));
            m_options[name] = m_args[++i];
        } else {
            return fail(BadUsage, QStringLiteral("unknown option %1 for '%2' (see lqctl %2 --help)").arg(a, m_command));
        }
    }
    return Ok;
}

QString Command::refusalOf(const StatsThreadInfo &info) const
{
    const QString driver = versionRefusal(kDriverVersionCheck, versionFromBytes(info.versions.driverVersion));
    if (!driver.isEmpty())
        return driver;
    return versionRefusal(kLibraryVersionCheck, LumenquillAPIGetVersion());
}

int Command::openDeviceWith(const QString &wanted, uint32_t capability, const char *lacking)
{
    if (const int rc = openDevice(wanted))
        return rc;
    if (!(m_device.capabilities & capability))
        return fail(DeviceRefused,
                    QStringLiteral("device %1 has no %2").arg(macText(m_device.mac), QLatin1String(lacking)));
    return Ok;
}

int Command::openDevice(const QString &wanted)
{
    const QString key = normalisedMac(wanted);
    QStringList known;
    for (uint64_t handle : m_session.handles()) {
        StatsThreadInfo info;
        if (!readDeviceIdentity(handle, info))
            continue;
        const QString mac = macText(info.mac);
        const QString name = nameOf(mac);
        known << mac;
        if (normalisedMac(mac) != key && (name.isEmpty() || name != wanted))
            continue;
        const QString refusal = refusalOf(info);
        if (!refusal.isEmpty())
            return fail(DeviceRefused, QStringLiteral("device %1 is not admitted: %2").arg(mac, refusal));
        m_handle = handle;
        m_device = info;
        return Ok;
    }
    return fail(BadUsage,
                QStringLiteral("no device '%1' (devices: %2)")
                    .arg(wanted, known.isEmpty() ? QStringLiteral("none") : known.join(QStringLiteral(", "))));
}

int Command::run()
{
    if (m_args.isEmpty())
        return fail(BadUsage, QStringLiteral("no command given (see lqctl --help)"));
    m_command = m_args.takeFirst();
    if (m_command == QLatin1String("--help") || m_command == QLatin1String("help")) {
        out() << usage();
        return Ok;
    }
    const CommandHelp *help = findCommand(m_command);
    if (!help)
        return fail(BadUsage, QStringLiteral("unknown command '%1' (see lqctl --help)").arg(m_command));
    const QStringList values = {QStringLiteral("interval"), QStringLiteral("file"),        QStringLiteral("size"),
                                QStringLiteral("files"),    QStringLiteral("duration"),    QStringLiteral("buffer"),
                                QStringLiteral("server"),   QStringLiteral("textfile-dir")};
    const QStringList flags = {QStringLiteral("json"), QStringLiteral("save"), QStringLiteral("default"),
                               QStringLiteral("loop")};
    if (const int rc = parse(values, flags))
        return rc;
    if (flag("help")) {
        out() << "Usage: " << help->synopsis << "\n\n" << help->text << '\n' << kOneProcess;
        return Ok;
    }
    const int rc = m_session.open(m_env.settleQuietMs, m_env.settleMaxMs);
    if (rc != 0)
        return fail(DeviceRefused, QStringLiteral("the device library refused to start (answer %1). %2")
                                       .arg(rc)
                                       .arg(QString::fromLatin1(kOneProcess).simplified()));
    static const std::pair<const char *, int (Command::*)()> kHandlers[] = {
        {"list", &Command::list},       {"status", &Command::status},     {"features", &Command::features},
        {"ports", &Command::ports},     {"filter", &Command::filter},     {"pattern", &Command::pattern},
        {"capture", &Command::capture}, {"firmware", &Command::firmware}, {"time", &Command::time},
        {"monitor", &Command::monitor},
    };
    int result = BadUsage;
    for (const auto &[name, handler] : kHandlers) {
        if (m_command == QLatin1String(name))
            result = (this->*handler)();
    }
    out().flush();
    m_session.close();
    return result;
}

QString versionText(const uint8_t bytes[4])
{
    return versionToString(versionFromBytes(bytes));
}

QString usbText(uint32_t extraInfo)
{
    switch (extraInfo & 0xFFu) {
    case LQ_USB_FULL_SPEED:
        return QStringLiteral("Full Speed");
    case LQ_USB_HIGH_SPEED:
        return QStringLiteral("High Speed");
    case LQ_USB_SUPER_SPEED:
        return QStringLiteral("Super Speed");
    default:
        return QStringLiteral("Unknown");
    }
}

QJsonObject Command::deviceJson(const StatsThreadInfo &info, const QString &refusal)
{
    const QString mac = macText(info.mac);
    QJsonObject o;
    o[QStringLiteral("mac")] = mac;
    o[QStringLiteral("name")] = nameOf(mac);
    o[QStringLiteral("model")] = deviceModel(info.deviceType).head;
    o[QStringLiteral("type")] = int(info.deviceType);
    o[QStringLiteral("software_version")] = versionText(info.versions.softwareVersion);
    o[QStringLiteral("driver_version")] = versionText(info.versions.driverVersion);
    o[QStringLiteral("hardware_version")] = QString::asprintf("%04u", info.versions.hardwareFirmwareVersion);
    o[QStringLiteral("usb_speed")] = usbText(info.extraInfo);
    o[QStringLiteral("link")] = (info.capabilities & LQ_CAP_CONFIGURABLE)
                                    ? linkText(info, info.capabilities & LQ_CAP_PER_PORT_LINK)
                                    : QString();
    o[QStringLiteral("admitted")] = refusal.isEmpty();
    o[QStringLiteral("refusal")] = refusal;
    return o;
}

int Command::list()
{
    if (!m_positional.isEmpty())
        return fail(BadUsage, QStringLiteral("list takes no arguments"));
    QJsonArray devices;
    for (uint64_t handle : m_session.handles()) {
        StatsThreadInfo info;
        const DeviceRead read = readDeviceStatus(handle, info);
        if (!read && !readDeviceIdentity(handle, info))
            continue;
        devices.append(deviceJson(info, refusalOf(info)));
    }
    if (flag("json")) {
        print(QJsonObject{{QStringLiteral("devices"), devices}});
        return Ok;
    }
    for (const QJsonValue &v : devices) {
        const QJsonObject d = v.toObject();
        out() << d[QStringLiteral("mac")].toString() << "  " << d[QStringLiteral("model")].toString();
        if (!d[QStringLiteral("name")].toString().isEmpty())
            out() << "  \"" << d[QStringLiteral("name")].toString() << '"';
        out() << "\n  type " << d[QStringLiteral("type")].toInt() << ", software "
              << d[QStringLiteral("software_version")].toString() << ", driver "
              << d[QStringLiteral("driver_version")].toString() << ", hardware "
              << d[QStringLiteral("hardware_version")].toString() << ", USB "
              << d[QStringLiteral("usb_speed")].toString() << '\n';
        if (!d[QStringLiteral("link")].toString().isEmpty())
            out() << "  link " << d[QStringLiteral("link")].toString() << '\n';
        if (d[QStringLiteral("admitted")].toBool())
            out() << "  admitted\n";
        else
            out() << "  refused: "
                  << d[QStringLiteral("refusal")].toString().replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
    }
    if (devices.isEmpty())
        out() << "No devices.\n";
    return Ok;
}

std::optional<double> secondsOption(const QString &text, double minimum, double maximum)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !(value >= minimum && value <= maximum))
        return std::nullopt;
    return value;
}

QJsonValue optionalNumber(const std::optional<double> &v)
{
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

int Command::status()
{
    if (m_positional.size() != 1)
        return fail(BadUsage, QStringLiteral("status takes one DEVICE"));
    const auto interval = secondsOption(m_options.value(QStringLiteral("interval"), QStringLiteral("1")), 0.1, 3600);
    if (!interval)
        return fail(BadUsage, QStringLiteral("--interval must be between 0.1 and 3600 seconds"));
    if (const int rc = openDevice(m_positional[0]))
        return rc;
    StatsThreadInfo first, info;
    DeviceRead read = readDeviceStatus(m_handle, first);
    if (read)
        m_env.wait(int(*interval * 1000));
    if (read)
        read = readDeviceStatus(m_handle, info);
    if (!read)
        return refused(callName(read), read.code);
    const uint32_t caps = info.capabilities;
    QJsonObject o = deviceJson(info, QString());
    o.remove(QStringLiteral("admitted"));
    o.remove(QStringLiteral("refusal"));

    const StatisticsSample newest = StatisticsSample::from(info.statistics);
    const StatisticsSample delta = newest - StatisticsSample::from(first.statistics);
    const uint64_t intervalMs = delta.words[StatisticsSample::SampleTime];
    o[QStringLiteral("interval_ms")] = double(intervalMs);
    QJsonArray ports;
    const uint32_t speeds[2] = {info.linkStatus.portASpeed, info.linkStatus.portBSpeed};
    const PortPhyStatus *phy[2] = {&info.linkStatus.portAPhy, &info.linkStatus.portBPhy};
    const SfpPortInfo *sfp[2] = {&info.linkStatus.sfp.portA, &info.linkStatus.sfp.portB};
    static const char *const kRowNames[] = {"valid_packets", "valid_under_64", "valid_64_to_1522", "valid_over_1522",
                                            "valid_bytes"};
    static const char *const kErrorNames[] = {"invalid_packets", "collisions", "crc_errors", "jabbers"};
    for (int p = 0; p < 2; ++p) {
        QJsonObject port;
        port[QStringLiteral("port")] = p == 0 ? QStringLiteral("A") : QStringLiteral("B");
        if (caps & LQ_CAP_CONFIGURABLE) {
            port[QStringLiteral("link_up")] = speeds[p] != LQ_LINK_DOWN;
            port[QStringLiteral("local_receiver_ok")] = phy[p]->localReceiverOk == 1;
            port[QStringLiteral("remote_receiver_ok")] = phy[p]->remoteReceiverOk == 1;
            port[QStringLiteral("master")] = phy[p]->masterSlaveResolution == 0;
        }
        if (caps & LQ_CAP_STATS_PORTS) {
            QJsonObject counters;
            const uint64_t packets = intervalPackets(delta, p);
            auto row = [&](const char *name, StatisticsSample::PortWord word, bool share) {
                QJsonObject r;
                r[QStringLiteral("total")] = double(newest.port(p, word));
                r[QStringLiteral("rate")] = optionalNumber(ratePerSecond(delta.port(p, word), intervalMs));
                r[QStringLiteral("percent")] = share ? optionalNumber(packetShare(delta.port(p, word), packets))
                                                     : QJsonValue(bandwidthUsage(delta, p));
                counters[QString::fromLatin1(name)] = r;
            };
            for (std::size_t i = 0; i < StatisticsSample::kPacketRows.size(); ++i)
                row(kRowNames[i], StatisticsSample::kPacketRows[i], i != 4);
            for (std::size_t i = 0; i < StatisticsSample::kErrorRows.size(); ++i)
                row(kErrorNames[i], StatisticsSample::kErrorRows[i], true);
            port[QStringLiteral("counters")] = counters;
            port[QStringLiteral("hardware_dropped")] = double(newest.port(p, StatisticsSample::HardwareDropped));
            port[QStringLiteral("bandwidth_usage")] = bandwidthUsage(delta, p);
        }
        if (caps & LQ_CAP_SFP) {
            QJsonObject module;
            const SfpPortInfo &m = *sfp[p];
            module[QStringLiteral("present")] = m.present != 0;
            if (m.present) {
                module[QStringLiteral("vendor")] = SfpTexts::fieldText(m.vendorName);
                module[QStringLiteral("model")] = SfpTexts::fieldText(m.model);
                module[QStringLiteral("serial")] = SfpTexts::fieldText(m.serialNumber);
                module[QStringLiteral("wavelength")] = SfpTexts::wavelength(m.wavelength);
                module[QStringLiteral("temperature")] = SfpTexts::temperature(m.value.temperature);
                module[QStringLiteral("voltage")] = SfpTexts::voltage(m.value.voltage);
                module[QStringLiteral("tx_bias")] = SfpTexts::bias(m.value.txBias);
                module[QStringLiteral("tx_power")] = SfpTexts::power(m.value.txPower);
                module[QStringLiteral("rx_power")] = SfpTexts::power(m.value.rxPower);
                module[QStringLiteral("alarms")] = SfpTexts::alarmFlags(m.flags);
                module[QStringLiteral("warnings")] = SfpTexts::warningFlags(m.flags);
                module[QStringLiteral("status")] = SfpTexts::statusFlags(m.flags);
            }
            port[QStringLiteral("sfp")] = module;
        }
        ports.append(port);
    }
    o[QStringLiteral("ports")] = ports;
    if (caps & (LQ_CAP_STATS_PORTS | LQ_CAP_STATS_COUNTERS_V2))
        o[QStringLiteral("dropped")] = double(newest.words[StatisticsSample::SoftwareDropped]);
    if (caps & LQ_CAP_STATS_COUNTERS_V2) {
        QJsonArray counters;
        for (int i = 0; i < LQ_COUNTERS_V2; ++i) {
            const uint64_t now = info.statistics.u.configurable.counters[i];
            const uint64_t before = first.statistics.u.configurable.counters[i];
            counters.append(QJsonObject{
                {QStringLiteral("total"), double(now)},
                {QStringLiteral("rate"), optionalNumber(ratePerSecond(now > before ? now - before : 0, intervalMs))}});
        }
        o[QStringLiteral("configurable_counters")] = counters;
    }
    if (caps & LQ_CAP_TIMING) {
        const TimingStatus &t = info.timingStatus;
        o[QStringLiteral("timing")] =
            QJsonObject{{QStringLiteral("gps_fix"), t.gpsFixState == 2   ? QStringLiteral("fix")
                                                    : t.gpsFixState == 1 ? QStringLiteral("partial")
                                                                         : QStringLiteral("none")},
                        {QStringLiteral("satellites_used"), t.satellitesUsed},
                        {QStringLiteral("pps_deviation_ns"), t.ppsDeviationNs},
                        {QStringLiteral("time_source"), TimingTexts::timeSourceName(t.timeSource)},
                        {QStringLiteral("device_time"), TimingTexts::deviceTimeText(t)},
                        {QStringLiteral("summary"), TimingTexts::satellitesText(t).trimmed()}};
    }
    if (caps & LQ_CAP_CONFIGURABLE) {
        const DiskDumpStatus &c = info.diskDumpStatus;
        o[QStringLiteral("capture")] =
            QJsonObject{{QStringLiteral("running"), c.running != 0},
                        {QStringLiteral("written"), CaptureTexts::byteCount(c.writtenBytes)},
                        {QStringLiteral("dropped"), CaptureTexts::byteCount(c.droppedBytes)},
                        {QStringLiteral("buffered"), CaptureTexts::byteCount(c.bufferedBytes)},
                        {QStringLiteral("error"), c.errorCode ? CaptureTexts::captureFailure(c.errorCode) : QString()}};
    }
    if (flag("json")) {
        print(o);
        return Ok;
    }
    out() << o[QStringLiteral("mac")].toString() << "  " << o[QStringLiteral("model")].toString() << '\n';
    if (!o[QStringLiteral("link")].toString().isEmpty())
        out() << "Link: " << o[QStringLiteral("link")].toString() << '\n';
    for (int p = 0; p < 2 && (caps & LQ_CAP_STATS_PORTS); ++p) {
        const uint64_t packets = intervalPackets(delta, p);
        out() << "Port " << (p == 0 ? 'A' : 'B')
              << QStringLiteral("%1%2%3%4\n")
                     .arg(QString(), 14)
                     .arg(QStringLiteral("Total"), 16)
                     .arg(QStringLiteral("Rate (/s)"), 14)
                     .arg(QStringLiteral("%"), 10);
        auto line = [&](const char *caption, StatisticsSample::PortWord word, const QString &share) {
            out() << QStringLiteral("  %1%2%3%4\n")
                         .arg(QString::fromLatin1(caption), -18)
                         .arg(QString::number(newest.port(p, word)), 16)
                         .arg(rateText(delta.port(p, word), intervalMs), 14)
                         .arg(share, 10);
        };
        static const char *const kCaptions[] = {"Valid packets", "< 64 bytes", "64 - 1522", "> 1522", "Bytes"};
        static const char *const kErrorCaptions[] = {"Invalid packets", "Collisions", "CRC errors", "Jabbers"};
        for (std::size_t i = 0; i < StatisticsSample::kPacketRows.size(); ++i) {
            const auto word = StatisticsSample::kPacketRows[i];
            line(kCaptions[i], word,
                 i == 4 ? usageText(bandwidthUsage(delta, p)) : shareText(delta.port(p, word), packets));
        }
        for (std::size_t i = 0; i < StatisticsSample::kErrorRows.size(); ++i) {
            const auto word = StatisticsSample::kErrorRows[i];
            line(kErrorCaptions[i], word, shareText(delta.port(p, word), packets));
        }
        out() << "  Hardware drops: " << newest.port(p, StatisticsSample::HardwareDropped) << '\n';
    }
    if (o.contains(QStringLiteral("dropped")))
        out() << "Dropped: " << newest.words[StatisticsSample::SoftwareDropped] << '\n';
    if (caps & LQ_CAP_STATS_COUNTERS_V2) {
        const QJsonArray counters = o[QStringLiteral("configurable_counters")].toArray();
        for (int i = 0; i < counters.size(); ++i) {
            const QJsonObject c = counters[i].toObject();
            out() << "Counter " << (i + 1) << ": " << QString::number(c[QStringLiteral("total")].toDouble(), 'f', 0)
                  << "  "
                  << rateText(uint64_t(c[QStringLiteral("total")].toDouble()) -
                                  std::min(uint64_t(c[QStringLiteral("total")].toDouble()),
                                           first.statistics.u.configurable.counters[i]),
                              intervalMs)
                  << "/s\n";
        }
    }
    for (int p = 0; p < 2 && (caps & LQ_CAP_SFP); ++p) {
        const QJsonObject m = ports[p].toObject()[QStringLiteral("sfp")].toObject();
        out() << "SFP " << (p == 0 ? 'A' : 'B') << ": ";
        if (!m[QStringLiteral("present")].toBool()) {
            out() << "no module\n";
            continue;
        }
        out() << m[QStringLiteral("vendor")].toString() << ' ' << m[QStringLiteral("model")].toString() << " ("
              << m[QStringLiteral("serial")].toString() << "), " << m[QStringLiteral("wavelength")].toString() << '\n'
              << "  " << m[QStringLiteral("temperature")].toString() << ", " << m[QStringLiteral("voltage")].toString()
              << ", bias " << m[QStringLiteral("tx_bias")].toString() << ", TX "
              << m[QStringLiteral("tx_power")].toString() << ", RX " << m[QStringLiteral("rx_power")].toString() << '\n'
              << "  alarms: " << m[QStringLiteral("alarms")].toString()
              << "; warnings: " << m[QStringLiteral("warnings")].toString() << '\n';
    }
    if (caps & LQ_CAP_TIMING) {
        const QJsonObject t = o[QStringLiteral("timing")].toObject();
        out() << "GPS fix: " << t[QStringLiteral("gps_fix")].toString() << ", "
              << t[QStringLiteral("summary")].toString().replace(QLatin1Char('\n'), QStringLiteral(", ")) << '\n'
              << "Time source: " << t[QStringLiteral("time_source")].toString() << ", "
              << t[QStringLiteral("device_time")].toString() << '\n';
    }
    if (caps & LQ_CAP_CONFIGURABLE) {
        const QJsonObject c = o[QStringLiteral("capture")].toObject();
        out() << "Capture: " << (c[QStringLiteral("running")].toBool() ? "running" : "stopped") << ", written "
              << c[QStringLiteral("written")].toString() << ", dropped " << c[QStringLiteral("dropped")].toString()
              << ", buffered " << c[QStringLiteral("buffered")].toString();
        if (!c[QStringLiteral("error")].toString().isEmpty())
            out() << ", " << c[QStringLiteral("error")].toString();
        out() << '\n';
    }
    return Ok;
}

// ------------------------------------------------------------------ settings

struct FeatureField {
    const char *key;
    std::size_t offset;
    int bytes; // 4 unsigned, 2 unsigned, 1 unsigned, -2 signed 16-bit
    long long minimum;
    long long maximum;
};

#define LQ_FIELD(name, bytes, lo, hi)                                                                                  \
    {                                                                                                                  \
#name, offsetof(DeviceFeatures, name), bytes, lo, hi                                                           \
    }
const FeatureField kFeatureFields[] = {
    LQ_FIELD(transmit_crc_errors, 4, 0, 1),
    LQ_FIELD(keep_crc, 4, 0, 1),
    LQ_FIELD(disable_port_a, 4, 0, 1),
    LQ_FIELD(disable_port_b, 4, 0, 1),
    LQ_FIELD(packet_slicing, 4, 0, 1),
    LQ_FIELD(tap_mode, 4, 0, 1),
    LQ_FIELD(loopback, 4, 0, 1),
    LQ_FIELD(timestamps, 4, 0, 1),
    LQ_FIELD(force_pps, 4, 0, 1),
    LQ_FIELD(timestamp_init_source, 4, 0, 3),
    LQ_FIELD(wait_for_sync, 4, 0, 1),
    LQ_FIELD(pps_output, 4, 0, 1),
    LQ_FIELD(pps_delay, -2, -32768, 32767),
    LQ_FIELD(port_a_timestamp, 4, 0, 2),
    LQ_FIELD(port_b_timestamp, 4, 0, 2),
    LQ_FIELD(slicing_length, 2, 0, 65535),
    LQ_FIELD(firmware_variant, 1, 0, LQ_MAX_HW_FIRMWARES - 1),
};
#undef LQ_FIELD

long long fieldValue(const DeviceFeatures &f, const FeatureField &field)
{
    const auto *at = reinterpret_cast<const char *>(&f) + field.offset;
    switch (field.bytes) {
    case 4: {
        uint32_t v;
        std::memcpy(&v, at, 4);
        return v;
    }
    case 2: {
        uint16_t v;
        std::memcpy(&v, at, 2);
        return v;
    }
    case -2: {
        int16_t v;
        std::memcpy(&v, at, 2);
        return v;
    }
    default:
        return uint8_t(*at);
    }
}

void setFieldValue(DeviceFeatures &f, const FeatureField &field, long long value)
{
    auto *at = reinterpret_cast<char *>(&f) + field.offset;
    if (field.bytes == 4) {
        const uint32_t v = uint32_t(value);
        std::memcpy(at, &v, 4);
    } else if (field.bytes == 2 || field.bytes == -2) {
        const uint16_t v = uint16_t(value);
        std::memcpy(at, &v, 2);
    } else {
        *at = char(uint8_t(value));
    }
}

// KEY=VALUE into its two halves; false when there is no "=".
bool splitAssignment(const QString &text, QString &key, QString &value)
{
    const int eq = text.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    key = text.left(eq);
    value = text.mid(eq + 1);
    return true;
}

std::optional<long long> integerValue(const QString &text, long long minimum, long long maximum)
{
    bool ok = false;
    const long long v = text.toLongLong(&ok, 0);
    if (!ok || v < minimum || v > maximum)
        return std::nullopt;
    return v;
}

int Command::features()
{
    if (m_positional.isEmpty())
        return fail(BadUsage, QStringLiteral("features takes a DEVICE"));
    if (const int rc = openDeviceWith(m_positional[0], LQ_CAP_CONFIGURABLE, "configurable features"))
        return rc;
    DeviceFeatures features{};
    DevicePortsSpeed speeds{};
    if (int rc = LumenquillAPIGetDeviceFeatures(m_handle, &features))
        return refused(QStringLiteral("to read its features"), rc);
    if (int rc = LumenquillAPIGetDevicePortsSpeed(m_handle, &speeds))
        return refused(QStringLiteral("to read its port settings"), rc);
    // Every assignment is checked before the device hears of any.
    DeviceFeatures wanted = features;
    for (int i = 1; i < m_positional.size(); ++i) {
        QString key, value;
        if (!splitAssignment(m_positional[i], key, value))
            return fail(BadUsage, QStringLiteral("'%1' is not KEY=VALUE").arg(m_positional[i]));
        const FeatureField *field = nullptr;
        for (const FeatureField &f : kFeatureFields) {
            if (key == QLatin1String(f.key))
                field = &f;
        }
        if (!field)
            return fail(BadUsage, QStringLiteral("unknown feature '%1'").arg(key));
        const auto v = integerValue(value, field->minimum, field->maximum);
        if (!v)
            return fail(BadUsage, QStringLiteral("%1=%2 is out of range (%3 to %4)")
                                      .arg(key, value)
                                      .arg(field->minimum)
                                      .arg(field->maximum));
        setFieldValue(wanted, *field, *v);
    }
    if (m_positional.size() > 1) {
        // Port speeds follow only features the device accepted, as in the window.
        if (int rc = LumenquillAPISetDeviceFeatures(m_handle, wanted))
            return refused(QStringLiteral("the features"), rc);
        if (int rc = LumenquillAPISetDevicePortsSpeed(m_handle, speeds))
            return refused(QStringLiteral("the port settings"), rc);
    }
    if (flag("save")) {
        if (int rc = LumenquillAPISaveDeviceFeatures(m_handle))
            return refused(QStringLiteral("to save"), rc);
    }
    if (int rc = LumenquillAPIGetDeviceFeatures(m_handle, &features))
        return refused(QStringLiteral("to read its features back"), rc);
    QJsonObject o;
    for (const FeatureField &f : kFeatureFields)
        o[QString::fromLatin1(f.key)] = double(fieldValue(features, f));
    if (flag("json")) {
        print(QJsonObject{{QStringLiteral("mac"), macText(m_device.mac)}, {QStringLiteral("features"), o}});
        return Ok;
    }
    for (const FeatureField &f : kFeatureFields)
        out() << f.key << '=' << fieldValue(features, f) << '\n';
    return Ok;
}

const char *const kPortKeys[PortSettings::kPortBoxCount] = {
    "auto_negotiation", "speed_1000_full",  "speed_100_full",  "speed_100_half", "speed_10_full",
    "speed_10_half",    "asymmetric_pause", "symmetric_pause", "master",         "force_master_slave"};

int Command::ports()
{
    using PortSettings::PortBox;
    if (m_positional.isEmpty())
        return fail(BadUsage, QStringLiteral("ports takes a DEVICE"));
    if (const int rc = openDeviceWith(m_positional[0], LQ_CAP_PORT_SPEED, "port settings"))
        return rc;
    DeviceFeatures features{};
    DevicePortsSpeed speeds{};
    if (int rc = LumenquillAPIGetDeviceFeatures(m_handle, &features))
        return refused(QStringLiteral("to read its features"), rc);
    if (int rc = LumenquillAPIGetDevicePortsSpeed(m_handle, &speeds))
        return refused(QStringLiteral("to read its port settings"), rc);
    PortSettings::PortBoxes boxes[2] = {PortSettings::fromSettings(speeds.portA),
                                        PortSettings::fromSettings(speeds.portB)};
    const bool change = flag("default") || m_positional.size() > 1;
    if (flag("default"))
        boxes[0] = boxes[1] = PortSettings::defaultPortBoxes();
    for (int i = 1; i < m_positional.size(); ++i) {
        QString key, value;
        if (!splitAssignment(m_positional[i], key, value))
            return fail(BadUsage, QStringLiteral("'%1' is not PORT.KEY=VALUE").arg(m_positional[i]));
        const int dot = key.indexOf(QLatin1Char('.'));
        const QString port = key.left(dot).toLower();
        const QString name = key.mid(dot + 1);
        if (dot < 0 || (port != QLatin1String("a") && port != QLatin1String("b")))
            return fail(BadUsage, QStringLiteral("'%1': the port is a or b").arg(key));
        int box = -1;
        for (int b = 0; b < PortSettings::kPortBoxCount; ++b) {
            if (name == QLatin1String(kPortKeys[b]))
                box = b;
        }
        if (box < 0)
            return fail(BadUsage, QStringLiteral("unknown port setting '%1'").arg(name));
        const auto v = integerValue(value, 0, 1);
        if (!v)
            return fail(BadUsage, QStringLiteral("%1=%2: the value is 0 or 1").arg(key, value));
        boxes[port == QLatin1String("b") ? 1 : 0][PortBox(box)] = *v == 1;
    }
    if (change) {
        const DevicePortsSpeed wanted = PortSettings::buildPortsSpeed(boxes[0], boxes[1], features.tap_mode);
        if (int rc = LumenquillAPISetDeviceFeatures(m_handle, features))
            return refused(QStringLiteral("the features"), rc);
        if (int rc = LumenquillAPISetDevicePortsSpeed(m_handle, wanted))
            return refused(QStringLiteral("the port settings"), rc);
    }
    if (flag("save")) {
        if (int rc = LumenquillAPISaveDeviceFeatures(m_handle))
            return refused(QStringLiteral("to save"), rc);
    }
    if (int rc = LumenquillAPIGetDevicePortsSpeed(m_handle, &speeds))
        return refused(QStringLiteral("to read its port settings back"), rc);
    const PortSpeedSettings *settings[2] = {&speeds.portA, &speeds.portB};
    QJsonObject o;
    for (int p = 0; p < 2; ++p) {
        QJsonObject port;
        const uint32_t *words = reinterpret_cast<const uint32_t *>(settings[p]);
        for (int b = 0; b < PortSettings::kPortBoxCount; ++b)
            port[QString::fromLatin1(kPortKeys[b])] = double(words[b]);
        o[p == 0 ? QStringLiteral("a") : QStringLiteral("b")] = port;
    }
    if (flag("json")) {
        print(QJsonObject{{QStringLiteral("mac"), macText(m_device.mac)}, {QStringLiteral("ports"), o}});
        return Ok;
    }
    for (int p = 0; p < 2; ++p) {
        const uint32_t *words = reinterpret_cast<const uint32_t *>(settings[p]);
        for (int b = 0; b < PortSettings::kPortBoxCount; ++b)
            out() << (p == 0 ? "a." : "b.") << kPortKeys[b] << '=' << words[b] << '\n';
    }
    return Ok;
}

// A switch word of filter and pattern commands, or nothing.
std::optional<bool> switchWord(const QString &word)
{
    if (word == QLatin1String("on"))
        return true;
    if (word == QLatin1String("off"))
        return false;
    return std::nullopt;
}

int Command::filter()
{
    if (m_positional.isEmpty())
        return fail(BadUsage, QStringLiteral("filter takes a DEVICE"));
    if (const int rc = openDeviceWith(m_positional[0], LQ_CAP_FILTERS, "packet filters"))
        return rc;
    PacketFilter current{};
    if (int rc = LumenquillAPIGetPacketFilter(m_handle, &current))
        return refused(QStringLiteral("to read its packet filter"), rc);
    std::optional<bool> enable;
    uint32_t fields = 0;
    uint16_t modes = 0;
    SimpleFilterRecord::Texts texts;
    bool anyField = false;
    for (int i = 1; i < m_positional.size(); ++i) {
        const QString &a = m_positional[i];
        if (const auto s = switchWord(a)) {
            enable = s;
            continue;
        }
        QString key, value;
        if (!splitAssignment(a, key, value))
            return fail(BadUsage, QStringLiteral("'%1' is neither on, off nor KEY=ADDRESS").arg(a));
        anyField = true;
        const bool v6 = value.contains(QLatin1Char(':'));
        if (key == QLatin1String("src-mac") || key == QLatin1String("mac")) {
            fields |= LQ_FILTER_SRC_MAC;
            texts.srcMac = value;
            if (key == QLatin1String("mac"))
                modes |= LQ_FILTER_MODE_MAC;
        } else if (key == QLatin1String("dst-mac")) {
            fields |= LQ_FILTER_DST_MAC;
            texts.dstMac = value;
        } else if (key == QLatin1String("src-ip") || key == QLatin1String("ip")) {
            fields |= LQ_FILTER_SRC_IP | (v6 ? LQ_FILTER_IPV6 : 0);
            texts.srcIp = value;
            if (key == QLatin1String("ip"))
                modes |= LQ_FILTER_MODE_IP;
        } else if (key == QLatin1String("dst-ip")) {
            fields |= LQ_FILTER_DST_IP | (v6 ? LQ_FILTER_IPV6 : 0);
            texts.dstIp = value;
        } else if (key == QLatin1String("src-port") || key == QLatin1String("port")) {
            fields |= LQ_FILTER_SRC_PORT;
            texts.srcPort = value;
            if (key == QLatin1String("port"))
                modes |= LQ_FILTER_MODE_PORT;
        } else if (key == QLatin1String("dst-port")) {
            fields |= LQ_FILTER_DST_PORT;
            texts.dstPort = value;
        } else {
            return fail(BadUsage, QStringLiteral("unknown filter key '%1'").arg(key));
        }
    }
    const bool ipv6Src = texts.srcIp.contains(QLatin1Char(':')), ipv6Dst = texts.dstIp.contains(QLatin1Char(':'));
    if ((fields & LQ_FILTER_SRC_IP) && (fields & LQ_FILTER_DST_IP) && ipv6Src != ipv6Dst)
        return fail(BadUsage, QStringLiteral("source and destination addresses must be of one family"));
    PacketFilter wanted = current;
    if (anyField) {
        const SimpleFilterRecord::Built built = SimpleFilterRecord::build(fields, modes, texts);
        if (built.invalid) {
            QStringList bad;
            const std::pair<uint32_t, QString> names[] = {
                {LQ_FILTER_SRC_MAC, texts.srcMac},   {LQ_FILTER_DST_MAC, texts.dstMac},
                {LQ_FILTER_SRC_IP, texts.srcIp},     {LQ_FILTER_DST_IP, texts.dstIp},
                {LQ_FILTER_SRC_PORT, texts.srcPort}, {LQ_FILTER_DST_PORT, texts.dstPort}};
            for (const auto &[bit, text] : names) {
                if (built.invalid & bit)
                    bad << QStringLiteral("'%1'").arg(text);
            }
            return fail(BadUsage, QStringLiteral("malformed address or port %1").arg(bad.join(QStringLiteral(", "))));
        }
        wanted = built.filter;
        wanted.enabled = current.enabled;
    }
    if (enable)
        wanted.enabled = *enable ? 1 : 0;
    if (anyField || enable) {
        if (int rc = LumenquillAPISetPacketFilter(m_handle, wanted))
            return refused(QStringLiteral("the packet filter"), rc);
    }
    if (flag("save")) {
        if (int rc = LumenquillAPISavePacketFilter(m_handle))
            return refused(QStringLiteral("to save the packet filter"), rc);
    }
    if (int rc = LumenquillAPIGetPacketFilter(m_handle, &current))
        return refused(QStringLiteral("to read its packet filter back"), rc);
    const SimpleFilterRecord::Texts shown = SimpleFilterRecord::texts(current);
    QJsonObject o{{QStringLiteral("enabled"), current.enabled != 0}};
    const std::tuple<uint32_t, uint32_t, const char *, const char *, QString, QString> rows[] = {
        {LQ_FILTER_SRC_MAC, LQ_FILTER_DST_MAC, "src-mac", "dst-mac", shown.srcMac, shown.dstMac},
        {LQ_FILTER_SRC_IP, LQ_FILTER_DST_IP, "src-ip", "dst-ip", shown.srcIp, shown.dstIp},
        {LQ_FILTER_SRC_PORT, LQ_FILTER_DST_PORT, "src-port", "dst-port", shown.srcPort, shown.dstPort}};
    const uint16_t modeBits[] = {LQ_FILTER_MODE_MAC, LQ_FILTER_MODE_IP, LQ_FILTER_MODE_PORT};
    const char *const eitherKeys[] = {"mac", "ip", "port"};
    int r = 0;
    for (const auto &[srcBit, dstBit, srcKey, dstKey, srcText, dstText] : rows) {
        const bool either = current.modes & modeBits[r];
        if (current.fields & srcBit)
            o[QString::fromLatin1(either ? eitherKeys[r] : srcKey)] = srcText;
        if ((current.fields & dstBit) && !either)
            o[QString::fromLatin1(dstKey)] = dstText;
        ++r;
    }
    if (flag("json")) {
        print(QJsonObject{{QStringLiteral("mac"), macText(m_device.mac)}, {QStringLiteral("filter"), o}});
        return Ok;
    }
    out() << "filter " << (current.enabled ? "on" : "off") << '\n';
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (it.key() != QLatin1String("enabled"))
            out() << it.key() << '=' << it.value().toString() << '\n';
    }
    return Ok;
}

int Command::pattern()
{
    if (m_positional.isEmpty())
        return fail(BadUsage, QStringLiteral("pattern takes a DEVICE"));
    if (const int rc = openDeviceWith(m_positional[0], LQ_CAP_FILTERS, "pattern filter"))
        return rc;
    DpiFilter current{};
    if (int rc = LumenquillAPIGetDpiFilter(m_handle, &current))
        return refused(QStringLiteral("to read its pattern"), rc);
    DpiFilter wanted = current;
    bool change = false;
    QStringList hex;
    for (int i = 1; i < m_positional.size(); ++i) {
        if (const auto s = switchWord(m_positional[i])) {
            wanted.enabled = *s ? 1 : 0;
            change = true;
        } else {
            hex << m_positional[i];
        }
    }
    if (!hex.isEmpty()) {
        if (!DpiPattern::parseHex(hex.join(QLatin1Char(' ')), wanted.pattern, &wanted.pattern_mask))
            return fail(
                BadUsage,
                QStringLiteral("malformed pattern '%1': up to 16 hex pairs or '**'").arg(hex.join(QLatin1Char(' '))));
        change = true;
    }
    if (change) {
        if (int rc = LumenquillAPISetDpiFilter(m_handle, wanted))
            return refused(QStringLiteral("the pattern"), rc);
    }
    if (flag("save")) {
        if (int rc = LumenquillAPISaveDpiFilter(m_handle))
            return refused(QStringLiteral("to save the pattern"), rc);
    }
    if (int rc = LumenquillAPIGetDpiFilter(m_handle, &current))
        return refused(QStringLiteral("to read its pattern back"), rc);
    const uint32_t mask = current.pattern_mask & 0xffffu;
    const QJsonObject o{{QStringLiteral("enabled"), current.enabled != 0},
                        {QStringLiteral("hex"), DpiPattern::hexText(current.pattern, mask)},
                        {QStringLiteral("text"), DpiPattern::clearText(current.pattern, mask)}};
    if (flag("json")) {
        print(QJsonObject{{QStringLiteral("mac"), macText(m_device.mac)}, {QStringLiteral("pattern"), o}});
        return Ok;
    }
    out() << "pattern " << (current.enabled ? "on" : "off") << '\n'
          << "hex  " << o[QStringLiteral("hex")].toString() << '\n'
          << "text " << o[QStringLiteral("text")].toString() << '\n';
    return Ok;
}

QJsonObject captureJson(const DiskDumpStatus &c)
{
    return QJsonObject{{QStringLiteral("running"), c.running != 0},
                       {QStringLiteral("written_bytes"), double(c.writtenBytes)},
                       {QStringLiteral("dropped_bytes"), double(c.droppedBytes)},
                       {QStringLiteral("buffered_bytes"), double(c.bufferedBytes)},
                       {QStringLiteral("error"), c.errorCode ? CaptureTexts::captureFailure(c.errorCode) : QString()}};
}

QString captureLine(const DiskDumpStatus &c)
{
    QString line = QStringLiteral("%1  written %2  dropped %3  buffered %4")
                       .arg(c.running ? QStringLiteral("running") : QStringLiteral("stopped"),
                            CaptureTexts::byteCount(c.writtenBytes), CaptureTexts::byteCount(c.droppedBytes),
                            CaptureTexts::byteCount(c.bufferedBytes));
    if (c.errorCode)
        line += QStringLiteral("  ") + CaptureTexts::captureFailure(c.errorCode);
    return line;
}

int Command::capture()
{
    if (m_positional.size() != 2)
        return fail(BadUsage, QStringLiteral("capture takes a DEVICE and start, stop or status"));
    const QString action = m_positional[1];
    if (action != QLatin1String("start") && action != QLatin1String("stop") && action != QLatin1String("status"))
        return fail(BadUsage, QStringLiteral("unknown capture action '%1'").arg(action));
    CaptureConfig::Options options;
    if (action == QLatin1String("start")) {
        options.file = m_options.value(QStringLiteral("file"));
        options.loop = flag("loop");
        bool ok = true;
        auto number = [&](const char *name, double fallback) {
            const QString text = m_options.value(QString::fromLatin1(name));
            if (text.isEmpty())
                return fallback;
            bool good = false;
            const double v = text.toDouble(&good);
            ok = ok && good;
            return v;
        };
        options.fileSizeMegabytes = number("size", 0);
        options.fileCount = int(number("files", 1));
        options.fileDurationSeconds = int(number("duration", 0));
        options.bufferMegabytes = int(number("buffer", 64));
        if (!ok)
            return fail(BadUsage, QStringLiteral("capture options take numbers"));
        const QString problem = CaptureConfig::problem(options);
        if (!problem.isEmpty())
            return fail(BadUsage, problem);
        options.file = QFileInfo(options.file).absoluteFilePath();
        if (!QFileInfo(QFileInfo(options.file).absolutePath()).isDir())
            return fail(BadUsage, QStringLiteral("the folder of %1 does not exist").arg(options.file));
    }
    if (const int rc = openDeviceWith(m_positional[0], LQ_CAP_CONFIGURABLE, "direct capture"))
        return rc;
    DiskDumpStatus status{};
    if (int rc = LumenquillAPIDiskDumpGetStatus(m_handle, &status))
        return refused(QStringLiteral("to report its capture"), rc);
    if (action == QLatin1String("status")) {
        if (flag("json"))
            print(captureJson(status));
        else
            out() << captureLine(status) << '\n';
        return Ok;
    }
    if (action == QLatin1String("stop")) {
        if (!status.running) {
            out() << "No capture is running on " << macText(m_device.mac) << ".\n";
            return Ok;
        }
        if (int rc = LumenquillAPIDiskDumpStop(m_handle))
            return refused(QStringLiteral("to stop the capture"), rc);
        out() << "Capture stopped.\n";
        return Ok;
    }
    DiskDumpConfig config = CaptureConfig::build(options);
    const int setRc = LumenquillAPIDiskDumpSetConfig(m_handle, config);
    std::free(config.path);
    if (setRc)
        return refused(QStringLiteral("the capture configuration"), setRc);
    if (int rc = LumenquillAPIDiskDumpStart(m_handle))
        return refused(QStringLiteral("to start the capture"), rc);
    out() << "Capturing to " << options.file << " (Ctrl-C stops)\n";
    out().flush();
    bool started = false;
    for (;;) {
        m_env.wait(1000);
        if (int rc = LumenquillAPIDiskDumpGetStatus(m_handle, &status)) {
            LumenquillAPIDiskDumpStop(m_handle);
            return refused(QStringLiteral("to report its capture"), rc);
        }
        started = started || status.running;
        out() << captureLine(status) << '\n';
        out().flush();
        if (status.errorCode) {
            LumenquillAPIDiskDumpStop(m_handle);
            return fail(DeviceRefused, CaptureTexts::captureFailureDetails(options.file, status.errorCode));
        }
        if (!status.running || m_env.stopRequested())
            break;
    }
    if (status.running)
        LumenquillAPIDiskDumpStop(m_handle);
    if (LumenquillAPIDiskDumpGetStatus(m_handle, &status) == 0)
        out() << captureLine(status) << '\n';
    return Ok;
}

int Command::firmware()
{
    if (m_positional.size() == 1 && m_positional[0] == QLatin1String("check")) {
        FirmwareCatalog catalog;
        const QString path = defaultCatalogPath();
        QString problem;
        if (!loadFirmwareCatalog(catalog, path, &problem))
            return fail(BadUsage, QStringLiteral("cannot open the firmware catalog %1").arg(path));
        QJsonArray devices;
        for (uint64_t handle : m_session.handles()) {
            StatsThreadInfo info;
            if (!readDeviceIdentity(handle, info))
                continue;
            const FirmwareCatalogEntry entry = catalogEntryFor(catalog, qint32(info.deviceType));
            const auto offer = firmwareOfferFor(catalog, info);
            QJsonObject d{
                {QStringLiteral("mac"), macText(info.mac)},
                {QStringLiteral("installed"), versionText(info.versions.softwareVersion)},
                {QStringLiteral("offered"),
                 entry.type < 0 ? QString() : versionToString(versionFromBytes(entry.softwareVersion.data()))},
                {QStringLiteral("image"), entry.path},
                {QStringLiteral("newer"), bool(offer)}};
            devices.append(d);
        }
        if (flag("json")) {
            print(QJsonObject{{QStringLiteral("catalog"), path}, {QStringLiteral("devices"), devices}});
            return Ok;
        }
        for (const QJsonValue &v : devices) {
            const QJsonObject d = v.toObject();
            out() << d[QStringLiteral("mac")].toString() << "  installed " << d[QStringLiteral("installed")].toString()
                  << "  ";
            if (d[QStringLiteral("offered")].toString().isEmpty())
                out() << "no image in the catalog\n";
            else
                out() << "catalog " << d[QStringLiteral("offered")].toString()
                      << (d[QStringLiteral("newer")].toBool() ? "  newer: " : "  up to date: ")
                      << d[QStringLiteral("image")].toString() << '\n';
        }
        return Ok;
    }
    if (m_positional.size() != 3 || m_positional[1] != QLatin1String("flash"))
        return fail(BadUsage, QStringLiteral("firmware takes 'DEVICE flash IMAGE' or 'check'"));
    const QByteArray local = m_positional[2].toLocal8Bit();
    const QString pathProblem = FirmwareUpdateTexts::pathProblem(local);
    if (!pathProblem.isEmpty())
        return fail(BadUsage, pathProblem.simplified());
    if (const int rc = openDevice(m_positional[0]))
        return rc;
    if (!(m_device.capabilities & LQ_CAP_FIRMWARE_FLASH))
        return fail(DeviceRefused, QStringLiteral("device %1 cannot be flashed").arg(macText(m_device.mac)));
    const std::vector<wchar_t> wide = UpdateThread::widePath(local.constData(), std::size_t(local.size()) + 1);
    int answer = LumenquillAPIFirmwareUpdateStart(m_handle, wide.data());
    uint32_t percent = 0;
    int shown = -1;
    while (answer == 0) {
        answer = LumenquillAPIFirmwareUpdateGetProgress(m_handle, &percent);
        if (int(percent) != shown) {
            shown = int(percent);
            if (m_env.terminal) {
                const int filled = int(percent) * 40 / 100;
                out() << "\r[" << QString(filled, QLatin1Char('#')) << QString(40 - filled, QLatin1Char(' ')) << "] "
                      << percent << '%';
            } else {
                out() << percent << "%\n";
            }
            out().flush();
        }
        if (answer != LQ_FIRMWARE_UPDATE_RUNNING)
            break;
        answer = 0;
        m_env.wait(1000);
    }
    if (m_env.terminal && shown >= 0)
        out() << '\n';
    const bool succeeded = answer == 0;
    if (!succeeded) {
        *m_env.err << FirmwareUpdateTexts::result(false) << " (library answer " << answer << ")\n";
        return DeviceRefused;
    }
    out() << FirmwareUpdateTexts::result(true) << '\n';
    return Ok;
}

int Command::time()
{
    if (m_positional.size() != 2)
        return fail(BadUsage, QStringLiteral("time takes a DEVICE and gps or sntp"));
    const QString source = m_positional[1];
    if (source != QLatin1String("gps") && source != QLatin1String("sntp"))
        return fail(BadUsage, QStringLiteral("unknown time source '%1' (gps or sntp)").arg(source));
    if (const int rc = openDeviceWith(m_positional[0], LQ_CAP_TIMING, "timing"))
        return rc;
    TimingTimeSet set{};
    if (source == QLatin1String("gps")) {
        set.source = LQ_TIME_SOURCE_GPS;
    } else {
        set.source = LQ_TIME_SOURCE_SNTP;
        const QByteArray server = m_options.value(QStringLiteral("server"), QString::fromLatin1(kSntpServer)).toUtf8();
        if (!sntpWholeSecond(server.constData(), &set.seconds))
            return fail(DeviceRefused,
                        QStringLiteral("Failed to get time from SNTP server (%1)").arg(QString::fromUtf8(server)));
        set.secondsAgain = set.seconds;
    }
    if (int rc = LumenquillAPISetTimingTime(m_handle, set))
        return refused(QStringLiteral("the clock set"), rc);
    out() << "Device clock set from " << TimingTexts::timeSourceName(int32_t(set.source)) << ".\n";
    return Ok;
}

int Command::monitor()
{
    if (!m_positional.isEmpty())
        return fail(BadUsage, QStringLiteral("monitor takes no arguments"));
    const QString dir = m_options.value(QStringLiteral("textfile-dir"));
    if (dir.isEmpty())
        return fail(BadUsage, QStringLiteral("monitor needs --textfile-dir DIR"));
    if (!QFileInfo(dir).isDir())
        return fail(BadUsage, QStringLiteral("%1 is not a folder").arg(dir));
    const auto interval = secondsOption(m_options.value(QStringLiteral("interval"), QStringLiteral("15")), 0.1, 86400);
    if (!interval)
        return fail(BadUsage, QStringLiteral("--interval must be between 0.1 and 86400 seconds"));
    MetricsExport::MonitorLoop loop(m_session, m_settings, dir);
    for (long long poll = 0; m_env.monitorPolls == 0 || poll < m_env.monitorPolls; ++poll) {
        if (poll > 0)
            m_env.wait(int(*interval * 1000));
        if (m_env.stopRequested())
            break;
        QString error;
        if (!loop.pollOnce(&error))
            *m_env.err << "lqctl: cannot write " << dir << '/' << MetricsExport::kFileName << ": " << error << '\n';
    }
    return Ok;
}

} // namespace

QString usage()
{
    QString text = QStringLiteral("Usage: lqctl COMMAND [ARGUMENTS] [--json] [--help]\n\n"
                                  "LumenQuill taps from the command line. DEVICE is a MAC address or a\n"
                                  "friendly name given in the manager.\n\nCommands:\n");
    for (const CommandHelp &c : kCommands)
        text += QStringLiteral("  ") + QString::fromLatin1(c.synopsis) + QLatin1Char('\n');
    text += QStringLiteral("\nExit codes: 0 ok, 1 the device refused the call, 2 bad usage or input.\n"
                           "lqctl COMMAND --help shows a command's options.\n\n") +
            QString::fromLatin1(kOneProcess);
    return text;
}

int run(const QStringList &arguments, const Environment &environment)
{
    Command command(environment, arguments);
    return command.run();
}

} // namespace Lqctl
