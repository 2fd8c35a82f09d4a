// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Test support: a main window on simulated devices and the simulator's manual
// clock, its poll timer stopped so that the test drives each poll.

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

    // A scenario device: `extra` continues its JSON object (",\"features\":{...}").
    static QByteArray device(int type, const char *mac, const QByteArray &extra = {})
    {
        return "{\"type\":" + QByteArray::number(type) + ",\"mac\":\"" + mac + '"' + extra + '}';
    }

    // Loads the devices (comma-separated objects) and starts the window.
    bool open(const char *mac, const QByteArray &deviceJson)
    {
        lqsim_use_manual_clock(1764892800000ull);
        return lqsim_load_scenario_text(("{\"devices\":[" + deviceJson + "]}").constData()) == 0 && start(mac);
    }

    // A window on the scenario loaded; false unless `mac` becomes current.
    bool start(const char *mac)
    {
        window = std::make_unique<MainWindow>();
        window->findChild<QTimer *>(QStringLiteral("pollTimer"))->stop();
        probe = std::make_unique<WorkerProbe>(window->worker());
        lqsim_advance_clock(0);
        return QTest::qWaitFor([&] { return window->currentHandle() == lqsim_handle_of(mac); });
    }

    // One poll, after `advanceMs` of simulator time, answered and handled by
    // the window (its reply slot is connected before the probe's).
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
