// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// lq_soak: the real main window, offscreen, on the simulated default taps for
// many simulated hours, with library calls failing at random, cables pulled
// and put back (during captures and firmware updates too), links flapping,
// SFP modules pulled, captures started and stopped with rotation, selection
// changes and renames. It fails on a crash, on resident memory that keeps
// growing after warm-up, on a capture file that tools cannot read whole, on a
// window whose current device is not the selector's, and on a message box
// that opened without the operator asking for anything.
//
//   lq_soak [--hours H] [--cycles N] [--seed S] [--failure-rate R]

#include "capturepanel.h"
#include "devicecombobox.h"
#include "firmwarecatalog.h"
#include "lqsim.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "scenario.h"
#include "statsthread.h"
#include "ui_capturepanel.h"
#include "workerprobe.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <unistd.h>
#include <malloc.h>

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Options {
    double hours = 24;
    int cycles = 1000;
    unsigned seed = 1;
    double failureRate = 0.10;
};

Options parseOptions(const QStringList &args)
{
    Options o;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString &key = args[i];
        const QString &value = args[i + 1];
        if (key == QLatin1String("--hours"))
            o.hours = value.toDouble();
        else if (key == QLatin1String("--cycles"))
            o.cycles = value.toInt();
        else if (key == QLatin1String("--seed"))
            o.seed = value.toUInt();
        else if (key == QLatin1String("--failure-rate"))
            o.failureRate = value.toDouble();
        else
            std::fprintf(stderr, "lq_soak: unknown option %s\n", qPrintable(key));
    }
    return o;
}

// Resident set size in kB, as the kernel counts it, after the allocator has
// given back the free pages it keeps: what stays is memory in use.
long residentKb()
{
    malloc_trim(0);
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Bytes handed out by the allocator and not yet freed, large blocks included:
// tells growth in use from growth in the allocator's own keeping.
long heapInUseKb()
{
    const struct mallinfo2 info = mallinfo2();
    return long((info.uordblks + info.hblkhd) / 1024);
}

// The library functions a device may fail at any time. Initialising and
// uninitialising happen once per run and are not what the soak is about;
// the version and capability queries cannot fail.
const char *const kFallibleFunctions[] = {
    "LumenquillAPIGetDeviceType",       "LumenquillAPIGetDeviceMAC",        "LumenquillAPIGetDeviceExtraInfo",
    "LumenquillAPIGetVersions",         "LumenquillAPIGetLinkStatus",       "LumenquillAPIGetStatistics",
    "LumenquillAPIGetTimingStatus",     "LumenquillAPIDiskDumpGetStatus",   "LumenquillAPIGetDeviceFeatures",
    "LumenquillAPIGetDevicePortsSpeed", "LumenquillAPIGetPacketFilter",     "LumenquillAPIGetDpiFilter",
    "LumenquillAPISetDeviceFeatures",   "LumenquillAPISetDevicePortsSpeed", "LumenquillAPISetPacketFilter",
    "LumenquillAPISetDpiFilter",        "LumenquillAPISetCounterV2",        "LumenquillAPISetTimingTime",
    "LumenquillAPIDiskDumpSetConfig",   "LumenquillAPISaveDeviceFeatures",  "LumenquillAPISavePacketFilter",
    "LumenquillAPISaveDpiFilter",       "LumenquillAPIRestartDevice",       "LumenquillAPIDiskDumpStart",
    "LumenquillAPIDiskDumpStop",        "LumenquillAPIFirmwareUpdateStart", "LumenquillAPIFirmwareUpdateGetProgress",
    "LumenquillAPIGetHwFirmwaresDesc",
};

struct Tally {
    uint64_t calls = 0;
    uint64_t failures = 0;
    void add()
    {
        for (const char *f : kFallibleFunctions) {
            calls += lqsim_call_count(f);
            failures += lqsim_failure_count(f);
        }
        lqsim_reset_call_counts();
    }
};

class Soak {
public:
    Soak(const Options &options, const QString &captureDir, const QString &catalogDir)
        : m_options(options), m_random(options.seed), m_captureDir(captureDir)
    {
        const auto scenario = nlohmann::json::parse(lqsim::defaultScenarioJson());
        for (const auto &device : scenario.at("devices")) {
            m_macs.append(QByteArray::fromStdString(device.at("mac").get<std::string>()));
            m_deviceJson.append(QByteArray::fromStdString(device.dump()));
        }
        loadFirmwareCatalog(m_catalog, catalogDir + QStringLiteral("/firmware.xml"));
    }

    int run();

private:
    void advance(uint64_t ms)
    {
        lqsim_advance_clock(ms);
        m_window->monitorClock()->advance(qint64(ms));
    }
    void poll();
    void cycle(int n);
    void flapLink();
    void toggleSfp();
    void toggleCapture();
    void startUpdate();
    void changeSelection();
    void rename();
    void checkWindow(bool operatorActed, bool updateWasRunning);
    int checkCaptureFiles();
    void problem(const QString &what)
    {
        if (m_problems.size() < 20)
            std::fprintf(stderr, "lq_soak: %s\n", qPrintable(what));
        m_problems.append(what);
    }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_random) < p; }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    QByteArray macOfHandle(uint64_t handle) const
    {
        for (const QByteArray &mac : m_macs) {
            if (lqsim_handle_of(mac.constData()) == handle)
                return mac;
        }
        return {};
    }

    Options m_options;
    std::mt19937 m_random;
    QString m_captureDir;
    QList<QByteArray> m_macs, m_deviceJson;
    FirmwareCatalog m_catalog;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<WorkerProbe> m_probe;
    std::unique_ptr<ModalAnswerer> m_answerer;
    QStringList m_problems;
    Tally m_tally;
    QList<QPair<QByteArray, int>> m_linksDown;
    QSet<QByteArray> m_pulledModules; // MAC and port digit
    int m_cycles = 0, m_cyclesDuringCapture = 0, m_cyclesDuringUpdate = 0;
    int m_captures = 0, m_updates = 0, m_flaps = 0, m_sfpChanges = 0, m_selections = 0, m_renames = 0;
    int m_unansweredPolls = 0;
    bool m_operatorActed = false;
    int m_captureSteps = 0;
};

int Soak::run()
{
    constexpr uint64_t kStepMs = 10000;
    const int steps = int(m_options.hours * 3600000.0 / kStepMs);
    const int warmUp = std::max(1, steps / 20);
    const int cycleEvery = m_options.cycles > 0 ? std::max(1, steps / m_options.cycles) : steps + 1;

    lqsim_use_manual_clock(1764892800000ull);
    if (lqsim_load_startup_scenario() != 0) {
        problem(QStringLiteral("the default scenario did not load"));
        return 1;
    }
    m_window = std::make_unique<MainWindow>();
    // Charts and log stamps follow the simulated day, as they would the real one.
    m_window->monitorClock()->setManual(QDateTime::fromMSecsSinceEpoch(qint64(lqsim_now_ms())));
    // Polls are driven by the simulated clock, one per step, not by wall time.
    m_window->findChild<QTimer *>(QStringLiteral("pollTimer"))->stop();
    m_probe = std::make_unique<WorkerProbe>(m_window->worker());
    m_answerer = std::make_unique<ModalAnswerer>(QMessageBox::Ok);
    m_window->show();
    lqsim_advance_clock(0);
    if (!QTest::qWaitFor([&] { return m_window->currentHandle() != kNoDeviceHandle; }, 10000)) {
        problem(QStringLiteral("no device became current"));
        return 1;
    }
    for (const char *f : kFallibleFunctions)
        lqsim_fail(f, LQSIM_FAIL_RATE, m_options.failureRate, -1);
    lqsim_reset_call_counts();

    long rssStart = 0;
    for (int s = 0; s < steps; ++s) {
        if (s == warmUp)
            rssStart = residentKb();
        if (s > 0 && s % std::max(1, steps / 8) == 0)
            std::printf("lq_soak: hour %.1f, RSS %ld kB, heap in use %ld kB, %d cycles\n",
                        double(s) * kStepMs / 3600000.0, residentKb(), heapInUseKb(), m_cycles);
        m_operatorActed = false;
        const bool updateWasRunning = m_window->updateInProgress();
        if ((s + 1) % cycleEvery == 0 && m_cycles < m_options.cycles)
            cycle(m_cycles);
        if (chance(0.05))
            flapLink();
        if (chance(0.02))
            toggleSfp();
        if (chance(0.03) || (m_captureSteps > 0 && --m_captureSteps == 0))
            toggleCapture();
        if (chance(0.004))
            startUpdate();
        if (chance(0.03))
            changeSelection();
        if (chance(0.015))
            rename();
        advance(kStepMs);
        poll();
        checkWindow(m_operatorActed, updateWasRunning);
        if (s % 64 == 0)
            m_tally.add();
    }
    m_tally.add();
    const long rssEnd = residentKb();

    // Wind down: no more faults, every device's capture stopped (captures go
    // on when another device is selected), any update finished.
    lqsim_clear_failures();
    for (const auto &down : m_linksDown)
        lqsim_set_link(down.first.constData(), down.second, 1);
    for (int i = 0; i < 10 && m_window->updateInProgress(); ++i) {
        advance(kStepMs);
        poll();
    }
    DeviceComboBox *selector = m_window->deviceSelector();
    auto *start = m_window->findChild<CapturePanel *>()->form()->capture_start_btn;
    for (int i = 0; i < selector->count(); ++i) {
        selector->setCurrentIndex(i);
        advance(kStepMs);
        poll();
        if (start->text() == QLatin1String("Stop Capture"))
            start->click();
        advance(kStepMs);
        poll();
    }
    advance(kStepMs);
    poll();
    QTest::qWait(50);
    const int files = checkCaptureFiles();
    m_probe.reset();
    m_window.reset();

    std::printf("lq_soak: %.1f simulated hours in %d steps, seed %u\n", m_options.hours, steps, m_options.seed);
    std::printf("lq_soak: library calls %llu, failures injected %llu (%.1f %%)\n",
                static_cast<unsigned long long>(m_tally.calls), static_cast<unsigned long long>(m_tally.failures),
                m_tally.calls ? 100.0 * double(m_tally.failures) / double(m_tally.calls) : 0.0);
    std::printf("lq_soak: unplug/replug cycles %d (%d during a capture, %d during a firmware update)\n", m_cycles,
                m_cyclesDuringCapture, m_cyclesDuringUpdate);
    std::printf("lq_soak: link flaps %d, SFP pulls and inserts %d, captures %d, firmware updates %d, "
                "selection changes %d, renames %d, polls unanswered %d\n",
                m_flaps, m_sfpChanges, m_captures, m_updates, m_selections, m_renames, m_unansweredPolls);
    std::printf("lq_soak: message boxes answered %lld, capture files checked %d\n",
                static_cast<long long>(m_answerer->titles.size()), files);
    std::printf("lq_soak: RSS after warm-up %ld kB, at end %ld kB (%+ld kB)\n", rssStart, rssEnd, rssEnd - rssStart);
    if (kSanitized)
        std::printf(
            "lq_soak: RSS not judged: the sanitizer's quarantine holds freed memory (its leak check runs at exit)\n");
    else if (rssEnd - rssStart > 2048)
        problem(QStringLiteral("resident memory grew by %1 kB after warm-up").arg(rssEnd - rssStart));
    std::printf("lq_soak: %s (%lld problems)\n", m_problems.isEmpty() ? "PASS" : "FAIL",
                static_cast<long long>(m_problems.size()));
    return m_problems.isEmpty() ? 0 : 1;
}

void Soak::poll()
{
    const auto before = m_probe->status.size();
    const bool asked = m_window->currentHandle() != kNoDeviceHandle && !m_window->updateInProgress();
    QMetaObject::invokeMethod(m_window.get(), "updateStats");
    // The worker takes requests in order: once a marker queued after the poll
    // has run there, the poll has been handled, answered or not (a failed
    // library call leaves it without an answer).
    std::atomic<bool> reached{false};
    QMetaObject::invokeMethod(
        m_window->worker(), [&reached] { reached = true; }, Qt::QueuedConnection);
    if (!QTest::qWaitFor([&] { return reached.load(); }, 10000))
        problem(QStringLiteral("the worker did not take a request within 10 s"));
    QCoreApplication::processEvents();
    if (asked && m_probe->status.size() == before)
        ++m_unansweredPolls;
    // Only the count matters; the records themselves would grow for ever.
    m_probe->clear();
}

void Soak::cycle(int n)
{
    const QByteArray &mac = m_macs[n % m_macs.size()];
    const uint64_t handle = lqsim_handle_of(mac.constData());
    const bool capturing =
        handle != 0 && handle == m_window->currentHandle() &&
        m_window->findChild<CapturePanel *>()->form()->capture_start_btn->text() == QLatin1String("Stop Capture");
    const bool updating = m_window->updateInProgress() && handle == m_window->currentHandle();
    if (lqsim_replug(mac.constData()) != 0) {
        // A device writing its firmware refuses a replug; the cable can still be pulled.
        if (lqsim_unplug(mac.constData()) != 0)
            return;
        advance(1000);
        poll();
        if (lqsim_plug(m_deviceJson[n % m_deviceJson.size()].constData()) != 0) {
            problem(QStringLiteral("%1 could not be plugged back").arg(QString::fromLatin1(mac)));
            return;
        }
    }
    ++m_cycles;
    m_cyclesDuringCapture += capturing;
    m_cyclesDuringUpdate += updating;
}

void Soak::flapLink()
{
    if (!m_linksDown.isEmpty() && chance(0.7)) {
        const auto down = m_linksDown.takeFirst();
        lqsim_set_link(down.first.constData(), down.second, 1);
        return;
    }
    const QByteArray &mac = m_macs[pick(int(m_macs.size()))];
    const int port = pick(2);
    if (lqsim_set_link(mac.constData(), port, 0) == 0) {
        m_linksDown.append({mac, port});
        ++m_flaps;
    }
}

void Soak::toggleSfp()
{
    const QByteArray &mac = m_macs[pick(int(m_macs.size()))];
    // Pulled modules go back in after a while: the next toggle inserts.
    QSet<QByteArray> &pulled = m_pulledModules;
    const QByteArray key = mac + char('0' + pick(2));
    const bool insert = pulled.contains(key);
    if (lqsim_set_sfp_module(mac.constData(), key.back() - '0', insert ? 1 : 0) == 0) {
        if (insert)
            pulled.remove(key);
        else
            pulled.insert(key);
        ++m_sfpChanges;
    }
}

void Soak::toggleCapture()
{
    auto *panel = m_window->findChild<CapturePanel *>();
    auto *form = panel->form();
    if (!form->capture_start_btn->isEnabled() || !panel->isEnabled())
        return;
    m_operatorActed = true;
    if (form->capture_start_btn->text() == QLatin1String("Stop Capture")) {
        form->capture_start_btn->click();
        m_captureSteps = 0;
        return;
    }
    // A small ring so that files rotate many times over the run.
    form->capture_filename->setText(
        QDir(m_captureDir).filePath(QStringLiteral("soak-%1.pcapng").arg(m_captures, 4, 10, QLatin1Char('0'))));
    form->capture_loop->setChecked(true);
    form->capture_size->setValue(form->capture_size->minimum());
    form->capture_count->setValue(4);
    form->capture_duration->setValue(0);
    form->capture_start_btn->click();
    ++m_captures;
    m_captureSteps = 20 + pick(40);
}

void Soak::startUpdate()
{
    const uint64_t handle = m_window->currentHandle();
    if (handle == kNoDeviceHandle || m_window->updateInProgress())
        return;
    const FirmwareCatalogEntry entry = catalogEntryFor(m_catalog, qint32(m_window->currentType()));
    if (entry.path.isEmpty())
        return;
    m_operatorActed = true;
    m_window->startFirmwareUpdate(handle, entry.path);
    ++m_updates;
}

void Soak::changeSelection()
{
    DeviceComboBox *selector = m_window->deviceSelector();
    if (selector->count() < 2)
        return;
    m_operatorActed = true;
    selector->setCurrentIndex(pick(selector->count()));
    ++m_selections;
}

void Soak::rename()
{
    DeviceComboBox *selector = m_window->deviceSelector();
    const QVariant data = selector->currentData();
    if (!data.canConvert<LumenquillDevice>())
        return;
    m_operatorActed = true;
    LumenquillDevice device = data.value<LumenquillDevice>();
    device.friendlyName = QStringLiteral("Soak tap %1").arg(m_renames++);
    emit selector->FriendlyNameChanged(device);
}

void Soak::checkWindow(bool operatorActed, bool updateWasRunning)
{
    const auto boxesBefore = m_answerer->titles.size();
    QTest::qWait(10); // lets the answerer see a box the step opened
    if (m_answerer->titles.size() > boxesBefore && !operatorActed && !updateWasRunning)
        problem(QStringLiteral("message box \"%1\" (%2) opened without an operator action")
                    .arg(m_answerer->titles.last(), m_answerer->texts.last()));
    const QVariant data = m_window->deviceSelector()->currentData();
    const uint64_t selected = data.canConvert<LumenquillDevice>() ? data.value<LumenquillDevice>().handle : 0;
    if (selected != m_window->currentHandle() && !(selected == 0 && m_window->currentHandle() == kNoDeviceHandle))
        problem(QStringLiteral("the window's device %1 is not the selector's %2")
                    .arg(m_window->currentHandle())
                    .arg(selected));
}

int Soak::checkCaptureFiles()
{
    int checked = 0;
    const QFileInfoList files = QDir(m_captureDir).entryInfoList({QStringLiteral("*.pcapng")}, QDir::Files);
    for (const QFileInfo &file : files) {
        QProcess capinfos;
        capinfos.setProcessChannelMode(QProcess::MergedChannels);
        capinfos.start(QStringLiteral("capinfos"), {QStringLiteral("-c"), file.filePath()});
        if (!capinfos.waitForFinished(60000)) {
            problem(QStringLiteral("capinfos did not run on %1").arg(file.fileName()));
            continue;
        }
        const QString out = QString::fromLocal8Bit(capinfos.readAll());
        if (capinfos.exitCode() != 0 || out.contains(QLatin1String("cut short")) || out.contains(QLatin1String("rror")))
            problem(QStringLiteral("%1 does not read whole: %2").arg(file.fileName(), out.simplified()));
        ++checked;
    }
    return checked;
}

} // namespace

// The offscreen platform says this for every window placed; nothing to act on.
static void quietOffscreen(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    qt_message_output(type, context, message);
}

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietOffscreen);
    // Never the operator's settings, captures or firmware catalog.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit());
    qputenv("LUMENQUILL_SIM_SCENARIO", "");
    // Without a catalog beside it the window offers no firmware on arrival:
    // that question is the operator's, and the soak starts updates itself.
    qputenv("LUMENQUILL_FIRMWARE_DIR", (home.path() + "/no-catalog").toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    registerStatsThreadInfo();
    registerLumenquillDevice();
    const Options options = parseOptions(app.arguments());
    QDir(home.path()).mkpath(QStringLiteral("captures"));
    Soak soak(options, home.path() + QStringLiteral("/captures"), QStringLiteral(LQ_SOAK_FIRMWARE_DIR));
    return soak.run();
}
