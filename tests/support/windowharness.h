// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Test support: a main window on a scenario of simulated devices, on the
// simulator's manual clock, with its poll timer stopped so that the test
// drives each poll and waits for its answer.

#pragma once

#include "lqsim.h"
#include "mainwindow.h"
#include "workerprobe.h"

#include <QSettings>
#include <QTest>
#include <QTimer>

#include <memory>

struct WindowHarness {
    static void prepare()
    {
        registerStatsThreadInfo();
        registerLumenquillDevice();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Hollerby", "LumenquillManager").clear();
    }

    // One device of the scenario becomes current. Returns false (with the
    // test already failed) when it does not.
    bool open(const char *mac, const QByteArray &deviceJson)
    {
        lqsim_use_manual_clock(1764892800000ull);
        if (lqsim_load_scenario_text(("{\"devices\":[" + deviceJson + "]}").constData()) != 0)
            return false;
        window = std::make_unique<MainWindow>();
        window->findChild<QTimer *>(QStringLiteral("pollTimer"))->stop();
        probe = std::make_unique<WorkerProbe>(window->worker());
        lqsim_advance_clock(0);
        return QTest::qWaitFor([&] { return window->currentHandle() == lqsim_handle_of(mac); });
    }

    // One poll answered and handled by the window (its reply slot is
    // connected before the probe's). `advanceMs` of simulator time pass first.
    StatsThreadInfo poll(uint64_t advanceMs = 1000)
    {
        lqsim_advance_clock(advanceMs);
        const auto before = probe->status.size();
        QMetaObject::invokeMethod(window.get(), "updateStats");
        if (!QTest::qWaitFor([&] { return probe->status.size() > before; })) {
            QTest::qFail("the poll was not answered", __FILE__, __LINE__);
            return makeRequest(kNoDeviceHandle);
        }
        return probe->status.last();
    }

    template <typename W> W *child(const char *name) const { return window->findChild<W *>(QLatin1String(name)); }

    void close()
    {
        probe.reset();
        window.reset();
    }

    std::unique_ptr<MainWindow> window;
    std::unique_ptr<WorkerProbe> probe;
};
