// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// What one statistics refresh costs the GUI thread (counters, gauges, log,
// charts with every series shown on the 10-second scale), with and without
// the chart replot; and that hours of monitoring leave the memory flat.
// Runs offscreen against the simulated device library, unattended: its own
// settings store, no firmware catalog, and never a box waiting for an answer.

#include "chartspanel.h"
#include "lqsim.h"
#include "mainwindow.h"
#include "unattendedrun.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

constexpr uint64_t kStartMs = 1764892800000ull;

struct Monitor {
    std::unique_ptr<MainWindow> window;
    ChartsPanel *charts = nullptr;
    StatsThreadInfo record{};

    Monitor()
    {
        lqsim_use_manual_clock(kStartMs);
        lqsim_load_scenario_text(R"({"devices":[{"type":10,"mac":"02:4c:51:00:0b:01"}]})");
        window = std::make_unique<MainWindow>();
        window->findChild<QTimer *>(QStringLiteral("pollTimer"))->stop();
        window->resize(1280, 900);
        window->show();
        lqsim_advance_clock(0);
        QElapsedTimer arrival;
        arrival.start();
        while (window->currentHandle() == kNoDeviceHandle) {
            if (arrival.elapsed() > 10000) {
                std::fprintf(stderr, "the simulated device did not arrive\n");
                std::exit(1);
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        window->monitorClock()->setManual(QDateTime::fromMSecsSinceEpoch(qint64(kStartMs)));
        charts = window->findChild<ChartsPanel *>(QStringLiteral("chartsPanel"));
        for (QCheckBox *box : charts->findChildren<QCheckBox *>())
            box->setChecked(true);
        charts->findChild<QRadioButton *>(QStringLiteral("graphs_ps_radio"))->setChecked(true);
        charts->findChild<QComboBox *>(QStringLiteral("graphs_resolution_dropdown"))->setCurrentIndex(0);
        charts->graphs_display();
        auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        tabs->setCurrentWidget(window->findChild<QWidget *>(QStringLiteral("chartsTab")));
        QCoreApplication::processEvents();

        record = makeRequest(window->currentHandle());
        record.deviceType = 10;
        record.capabilities = LumenquillAPIGetDeviceCapabilities(10);
        record.statistics.u.ports.linkUpMs = 1000;
        for (PortCounters *port : {&record.statistics.u.ports.portA, &record.statistics.u.ports.portB})
            port->capacity = 125000000;
    }

    // The device a second later: traffic on both ports, a CRC error now and then.
    void advance()
    {
        DeviceStatistics &s = record.statistics;
        s.sampleTimeMs += 1000;
        s.u.ports.linkUpMs += 1000;
        uint64_t n = s.sampleTimeMs / 1000;
        for (PortCounters *port : {&s.u.ports.portA, &s.u.ports.portB}) {
            const uint64_t packets = 40000 + (n * 7919) % 20000;
            port->valid64To1522 += packets;
            port->validPackets += packets;
            port->validBytes += packets * 700;
            port->invalid64To1522 += n % 3;
            port->invalidPackets += n % 3;
            ++n;
        }
        window->monitorClock()->advance(1000);
    }

    void refresh()
    {
        advance();
        window->statusUpdate(record);
    }
};

Monitor &monitor()
{
    static Monitor instance;
    return instance;
}

void refreshWithoutReplot(benchmark::State &state)
{
    Monitor &m = monitor();
    m.charts->setDeferredReplot(true);
    for (auto _ : state)
        m.refresh();
    QCoreApplication::processEvents(); // the one replot the refreshes asked for
}
BENCHMARK(refreshWithoutReplot)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

void refreshWithReplot(benchmark::State &state)
{
    Monitor &m = monitor();
    m.charts->setDeferredReplot(false);
    for (auto _ : state)
        m.refresh();
}
BENCHMARK(refreshWithReplot)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

double residentMegabytes()
{
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// 100 000 refreshes are almost 28 hours of monitoring: every time scale has
// long wrapped its window, so the charts must have stopped growing.
void memoryOverHoursOfMonitoring(benchmark::State &state)
{
    Monitor &m = monitor();
    m.charts->setDeferredReplot(true);
    for (auto _ : state) {
        double at40k = 0;
        for (int i = 1; i <= 100000; ++i) {
            m.refresh();
            if (i % 1000 == 0)
                QCoreApplication::processEvents();
            if (i == 40000)
                at40k = residentMegabytes();
        }
        const double at100k = residentMegabytes();
        state.counters["rss_40k_MB"] = at40k;
        state.counters["rss_100k_MB"] = at100k;
        state.counters["growth_MB"] = at100k - at40k;
    }
}
BENCHMARK(memoryOverHoursOfMonitoring)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    UnattendedRun unattended;
    if (!unattended.isValid()) {
        std::fprintf(stderr, "no scratch folder for the settings store\n");
        return 1;
    }
    registerStatsThreadInfo();
    QApplication app(argc, argv);
    unattended.declineModalBoxes();
    // --grab-charts=FILE: instead of timing, the Charts tab after 150
    // refreshes, always the same, to check by eye that a faster drawing
    // still looks the same.
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (!arg.startsWith("--grab-charts="))
            continue;
        const QString file = QString::fromLocal8Bit(arg.mid(int(std::strlen("--grab-charts="))));
        for (int refresh = 0; refresh < 150; ++refresh)
            monitor().refresh();
        QCoreApplication::processEvents();
        const bool saved = monitor().charts->grab().save(file);
        delete monitor().window.release();
        if (!saved)
            std::fprintf(stderr, "could not write %s\n", qPrintable(file));
        return saved && unattended.declined() == 0 ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete monitor().window.release();
    // A window that asked something was not the window meant to be measured.
    return unattended.declined() == 0 ? 0 : 1;
}
