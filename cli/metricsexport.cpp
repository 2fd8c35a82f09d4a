// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The metrics export; see metricsexport.h.

#include "metricsexport.h"

#include "devicecombobox.h"
#include "devicemodel.h"
#include "devicereads.h"
#include "devicesession.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <cmath>

namespace MetricsExport {

namespace {

QByteArray escaped(const QString &value)
{
    QByteArray out;
    for (const char c : value.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

QByteArray number(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    return QByteArray::number(value, 'g', 17);
}

QByteArray number(uint64_t value)
{
    return QByteArray::number(qulonglong(value));
}

// One metric family: its samples must stand together under one HELP and TYPE.
struct Family {
    const char *name;
    const char *type;
    const char *help;
    QByteArray samples;
};

class Writer {
public:
    Family &family(const char *name, const char *type, const char *help)
    {
        for (Family &f : m_families) {
            if (qstrcmp(f.name, name) == 0)
                return f;
        }
        m_families.push_back({name, type, help, {}});
        return m_families.back();
    }

    template <typename T>
    void add(const char *name, const char *type, const char *help, const QByteArray &labels, T value)
    {
        Family &f = family(name, type, help);
        f.samples += f.name;
        f.samples += '{';
        f.samples += labels;
        f.samples += "} ";
        f.samples += number(value);
        f.samples += '\n';
    }

    QByteArray text() const
    {
        QByteArray out;
        for (const Family &f : m_families) {
            out += QByteArray("# HELP ") + f.name + ' ' + f.help + '\n';
            out += QByteArray("# TYPE ") + f.name + ' ' + f.type + '\n';
            out += f.samples;
        }
        return out;
    }

private:
    std::vector<Family> m_families;
};

double linkSpeedBits(uint32_t code)
{
    switch (code) {
    case LQ_LINK_10M:
        return 10e6;
    case LQ_LINK_100M:
        return 100e6;
    case LQ_LINK_1G:
        return 1e9;
    case LQ_LINK_10G:
        return 10e9;
    default:
        return 0;
    }
}

const char *const kPortNames[2] = {"A", "B"};

void addPortCounters(Writer &w, const QByteArray &port, const StatisticsSample &s, int p)
{
    using S = StatisticsSample;
    struct SizeClass {
        const char *size;
        S::PortWord valid;
        S::PortWord invalid;
    };
    static const SizeClass classes[] = {{"under64", S::ValidUnder64, S::InvalidUnder64},
                                        {"64to1522", S::Valid64To1522, S::Invalid64To1522},
                                        {"over1522", S::ValidOver1522, S::InvalidOver1522}};
    for (const SizeClass &c : classes) {
        const QByteArray labels = port + ",size=\"" + c.size + '"';
        w.add("lumenquill_valid_packets_total", "counter", "Valid packets seen on the port, by size class.", labels,
              s.port(p, c.valid));
        w.add("lumenquill_invalid_packets_total", "counter", "Invalid packets seen on the port, by size class.", labels,
              s.port(p, c.invalid));
    }
    w.add("lumenquill_valid_bytes_total", "counter", "Bytes of valid packets seen on the port.", port,
          s.port(p, S::ValidBytes));
    w.add("lumenquill_crc_errors_total", "counter", "Packets of 64 to 1522 bytes with a CRC error.", port,
          s.port(p, S::Invalid64To1522));
    w.add("lumenquill_hardware_dropped_packets_total", "counter", "Packets the port's hardware dropped.", port,
          s.port(p, S::HardwareDropped));
}

void addSfp(Writer &w, const QByteArray &port, const SfpPortInfo &sfp)
{
    w.add("lumenquill_sfp_present", "gauge", "1 when an SFP module sits in the port's cage.", port,
          double(sfp.present));
    if (!sfp.present)
        return;
    struct Measure {
        const char *name;
        const char *help;
        float value;
        uint32_t alarm;
        uint32_t warning;
        const char *label;
    };
    const Measure measures[] = {
        {"lumenquill_sfp_temperature_celsius", "SFP module temperature.", sfp.value.temperature,
         LQ_SFP_ALARM_TEMPERATURE, LQ_SFP_WARNING_TEMPERATURE, "temperature"},
        {"lumenquill_sfp_voltage_volts", "SFP module supply voltage.", sfp.value.voltage, LQ_SFP_ALARM_VOLTAGE,
         LQ_SFP_WARNING_VOLTAGE, "voltage"},
        {"lumenquill_sfp_tx_bias_milliamperes", "SFP module laser bias current.", sfp.value.txBias, LQ_SFP_ALARM_BIAS,
         LQ_SFP_WARNING_BIAS, "bias"},
        {"lumenquill_sfp_tx_power_milliwatts", "SFP module transmitted optical power.", sfp.value.txPower,
         LQ_SFP_ALARM_TX_POWER, LQ_SFP_WARNING_TX_POWER, "tx_power"},
        {"lumenquill_sfp_rx_power_milliwatts", "SFP module received optical power.", sfp.value.rxPower,
         LQ_SFP_ALARM_RX_POWER, LQ_SFP_WARNING_RX_POWER, "rx_power"},
    };
    for (const Measure &m : measures) {
        w.add(m.name, "gauge", m.help, port, double(m.value));
        const QByteArray labels = port + ",measurement=\"" + m.label + '"';
        w.add("lumenquill_sfp_alarm", "gauge", "1 while the module raises the measurement's alarm flag.", labels,
              double((sfp.flags & m.alarm) ? 1 : 0));
        w.add("lumenquill_sfp_warning", "gauge", "1 while the module raises the measurement's warning flag.", labels,
              double((sfp.flags & m.warning) ? 1 : 0));
    }
}

void addDevice(Writer &w, const DeviceSnapshot &d)
{
    const QByteArray device = "mac=\"" + escaped(d.mac) + "\",name=\"" + escaped(d.name) + '"';
    w.add("lumenquill_up", "gauge", "1 when every library call of the last poll succeeded.", device,
          double(d.up ? 1 : 0));
    if (!d.up)
        return;
    const StatsThreadInfo &info = d.info;
    const uint32_t caps = info.capabilities;
    const StatisticsSample sample = StatisticsSample::from(info.statistics);
    if (caps & (LQ_CAP_STATS_PORTS | LQ_CAP_STATS_COUNTERS_V2))
        w.add("lumenquill_dropped_packets_total", "counter", "Packets the host side dropped.", device,
              sample.words[StatisticsSample::SoftwareDropped]);
    const uint32_t speeds[2] = {info.linkStatus.portASpeed, info.linkStatus.portBSpeed};
    const SfpPortInfo *sfp[2] = {&info.linkStatus.sfp.portA, &info.linkStatus.sfp.portB};
    for (int p = 0; p < 2; ++p) {
        const QByteArray port = device + ",port=\"" + kPortNames[p] + '"';
        if (caps & LQ_CAP_CONFIGURABLE) {
            w.add("lumenquill_link_up", "gauge", "1 while the port's link is up.", port,
                  double(speeds[p] != LQ_LINK_DOWN ? 1 : 0));
            w.add("lumenquill_link_speed_bits_per_second", "gauge", "The port's link speed; 0 when down or unknown.",
                  port, linkSpeedBits(speeds[p]));
        }
        if (caps & LQ_CAP_STATS_PORTS) {
            addPortCounters(w, port, sample, p);
            w.add("lumenquill_bandwidth_usage_percent", "gauge",
                  "Share of the line the port used since the previous poll.", port, d.usage[p]);
        }
        if (caps & LQ_CAP_SFP)
            addSfp(w, port, *sfp[p]);
    }
    if (caps & LQ_CAP_STATS_COUNTERS_V2) {
        for (int i = 0; i < LQ_COUNTERS_V2; ++i)
            w.add("lumenquill_configurable_counter_total", "counter", "The device's configurable counters.",
                  device + ",counter=\"" + QByteArray::number(i + 1) + '"', info.statistics.u.configurable.counters[i]);
    }
    if (caps & LQ_CAP_TIMING) {
        const TimingStatus &t = info.timingStatus;
        w.add("lumenquill_gps_fix", "gauge", "GPS fix: 0 none, 1 partial, 2 fix.", device, double(t.gpsFixState));
        w.add("lumenquill_gps_satellites_used", "gauge", "Satellites the GPS receiver uses.", device,
              double(t.satellitesUsed));
        w.add("lumenquill_pps_deviation_nanoseconds", "gauge", "Deviation of the device clock from the PPS.", device,
              t.ppsDeviationNs);
    }
    if (caps & LQ_CAP_CONFIGURABLE) {
        const DiskDumpStatus &c = info.diskDumpStatus;
        w.add("lumenquill_capture_running", "gauge", "1 while the device reports a direct capture running.", device,
              double(c.running ? 1 : 0));
        w.add("lumenquill_capture_written_bytes_total", "counter", "Bytes the current capture wrote.", device,
              c.writtenBytes);
        w.add("lumenquill_capture_dropped_bytes_total", "counter", "Bytes the current capture dropped.", device,
              c.droppedBytes);
        w.add("lumenquill_capture_buffered_bytes", "gauge", "Bytes waiting in the capture buffer.", device,
              c.bufferedBytes);
    }
}

} // namespace

QByteArray render(const std::vector<DeviceSnapshot> &devices)
{
    Writer w;
    // Declared first so the family stands even with no device at all.
    w.family("lumenquill_up", "gauge", "1 when every library call of the last poll succeeded.");
    for (const DeviceSnapshot &d : devices)
        addDevice(w, d);
    return w.text();
}

bool writeAtomically(const QString &dir, const QString &name, const QByteArray &data, QString *error)
{
    // A hidden "<name>.XXXXXX" beside the target, renamed over it: the
    // collector only reads names ending in ".prom", and a reader sees the old
    // file or the new one. No fsync: the file is rewritten every interval, and
    // a once-a-second disk flush would cost more than the poll.
    const QByteArray target = QFile::encodeName(dir + QLatin1Char('/') + name);
    QByteArray temporary = QFile::encodeName(dir + QStringLiteral("/.") + name) + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    auto failed = [&](const char *what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(strerror(errno)));
        return false;
    };
    if (fd < 0)
        return failed("cannot create a temporary file");
    // node_exporter reads as its own user.
    bool ok = fchmod(fd, 0644) == 0;
    for (qsizetype done = 0; ok && done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        ok = n > 0;
        done += n > 0 ? n : 0;
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.constData(), target.constData()) != 0) {
        const bool result = failed("cannot write the file");
        ::unlink(temporary.constData());
        return result;
    }
    return true;
}

MonitorLoop::MonitorLoop(DeviceSession &session, QSettings &settings, QString dir)
    : m_session(session), m_settings(settings), m_dir(std::move(dir))
{
}

bool MonitorLoop::pollOnce(QString *error)
{
    const std::vector<uint64_t> handles = m_session.handles();
    m_snapshots.resize(handles.size());
    std::map<uint64_t, StatisticsSample> previous;
    for (std::size_t i = 0; i < handles.size(); ++i) {
        DeviceSnapshot &d = m_snapshots[i];
        const uint64_t handle = handles[i];
        StatsThreadInfo identity;
        const DeviceRead read = readDeviceStatus(handle, d.info);
        d.up = bool(read);
        if (!d.up && !readDeviceIdentity(handle, identity)) {
            // Without even a MAC the device cannot be named: leave it out.
            d.mac.clear();
            continue;
        }
        const StatsThreadInfo &named = d.up ? d.info : identity;
        d.mac = macText(named.mac);
        d.name = DeviceComboBox::friendlyName(m_settings, d.mac);
        d.usage[0] = d.usage[1] = 0;
        if (!d.up)
            continue;
        const StatisticsSample sample = StatisticsSample::from(d.info.statistics);
        const auto last = m_previous.find(handle);
        if (last != m_previous.end()) {
            const StatisticsSample difference = sample - last->second;
            d.usage[0] = bandwidthUsage(difference, 0);
            d.usage[1] = bandwidthUsage(difference, 1);
        }
        previous[handle] = sample;
    }
    // Devices that left take their samples with them.
    m_previous = std::move(previous);
    std::vector<DeviceSnapshot> named;
    named.reserve(m_snapshots.size());
    for (const DeviceSnapshot &d : m_snapshots) {
        if (!d.mac.isEmpty())
            named.push_back(d);
    }
    return writeAtomically(m_dir, QString::fromLatin1(kFileName), render(named), error);
}

} // namespace MetricsExport
