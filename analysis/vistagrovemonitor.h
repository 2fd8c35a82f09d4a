// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Supervisor of the local analysis stack: the HTTP front-end server, the
// search engine and the analysis application. Starts them in one of three
// modes, stops them (killing any that ignores the request after 10 s) and
// reports every process, and the stack as a whole, through StatusChanged.

#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>

class VistagroveMonitor : public QObject {
    Q_OBJECT
public:
    enum vistagrovemonitor_target {
        Target_Monitor = 0,
        Target_HTTPServer = 1,
        Target_ElasticSearch = 2,
        Target_Vistagrove = 3,
    };
    Q_ENUM(vistagrovemonitor_target)

    enum vistagrovemonitor_command {
        Command_Start = 0,
        Command_Stop = 1,
        Command_StartListening = 2,
        Command_StartLocal = 3,
        Command_StartRemote = 4,
    };
    Q_ENUM(vistagrovemonitor_command)

    enum vistagrovemonitor_status {
        Status_Stopped = 0,
        Status_Stopping = 1,
        Status_Started = 2,
        Status_Starting = 3,
        Status_Error = 4,
        Status_Disabled = 5,
    };
    Q_ENUM(vistagrovemonitor_status)

    static constexpr int kKillDelayMs = 10000;

    // Programs are looked up relative to the executable's directory.
    explicit VistagroveMonitor(QObject *parent = nullptr);
    // Programs are looked up relative to `applicationDirectory` instead (tests,
    // or an installation that keeps the stack elsewhere).
    explicit VistagroveMonitor(const QString &applicationDirectory, QObject *parent = nullptr);
    // Stops all three processes and waits until each has ended; one that
    // ignores the request is killed when its kill timer's time is up.
    ~VistagroveMonitor() override;

    // Launch table: program path and arguments of a process target.
    QString program(vistagrovemonitor_target target) const;
    QStringList arguments(vistagrovemonitor_target target) const;
    QString pidFilePath() const { return m_pidFilePath; }

    // Process targets only; Target_Monitor gives NotRunning, 0 and nullptr.
    QProcess::ProcessState state(vistagrovemonitor_target target) const;
    qint64 processId(vistagrovemonitor_target target) const;
    // The single-shot timer that kills the target's process once a stop
    // request has gone unanswered for its interval (kKillDelayMs).
    QTimer *killTimer(vistagrovemonitor_target target);

signals:
    void StatusChanged(vistagrovemonitor_target target, vistagrovemonitor_status status);

public slots:
    void Command(vistagrovemonitor_target target, vistagrovemonitor_command command);

private slots:
    void HttpServerStateChanged(QProcess::ProcessState state);
    void ElasticSearchStateChanged(QProcess::ProcessState state);
    void VistagroveStateChanged(QProcess::ProcessState state);
    void HttpServerError(QProcess::ProcessError error);
    void ElasticSearchError(QProcess::ProcessError error);
    void VistagroveError(QProcess::ProcessError error);

private:
    struct Child {
        QProcess process;
        QTimer killTimer;
    };

    static bool isProcessTarget(vistagrovemonitor_target target);
    Child &child(vistagrovemonitor_target target) { return m_children[target - Target_HTTPServer]; }
    const Child &child(vistagrovemonitor_target target) const { return m_children[target - Target_HTTPServer]; }
    void start(vistagrovemonitor_target target);
    void stop(vistagrovemonitor_target target);
    void stateChanged(vistagrovemonitor_target target, QProcess::ProcessState state);

    QString m_applicationDirectory;
    QString m_pidFilePath;
    std::array<Child, 3> m_children; // HTTP server, ElasticSearch, VistaGrove
};

using vistagrovemonitor_target = VistagroveMonitor::vistagrovemonitor_target;
using vistagrovemonitor_command = VistagroveMonitor::vistagrovemonitor_command;
using vistagrovemonitor_status = VistagroveMonitor::vistagrovemonitor_status;

// Makes the three enumerations known to the meta-type system under their
// qualified and short names, so they travel in queued and name-based
// connections. Called once by the program entry.
void registerVistagroveTypes();
