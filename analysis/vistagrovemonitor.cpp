// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Supervisor of the local analysis stack; see vistagrovemonitor.h.

#include "vistagrovemonitor.h"

#include "homepath.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaType>

#include <algorithm>

#include <unistd.h>

namespace {

// Left behind by the HTTP server; cleared on every command to it so that a
// stale one from an unclean exit does not linger.
const QString kHttpServerMarker = QStringLiteral("/tmp/.HTTPServerES");
const QString kServerConfig = QStringLiteral("~/.config/vistagrove/vistagrove_server_config.ini");
const QString kElasticSearchConfigDir = QStringLiteral("/etc/elasticsearch");
const QString kVistagroveConfig = QStringLiteral("/etc/vistagrove/vistagrove.yml");

// Also the order in which the destructor stops and waits.
constexpr std::array<VistagroveMonitor::vistagrovemonitor_target, 3> kProcessTargets{
    VistagroveMonitor::Target_HTTPServer, VistagroveMonitor::Target_ElasticSearch,
    VistagroveMonitor::Target_Vistagrove};

} // namespace

VistagroveMonitor::VistagroveMonitor(QObject *parent)
    : VistagroveMonitor(QCoreApplication::applicationDirPath(), parent)
{
}

VistagroveMonitor::VistagroveMonitor(const QString &applicationDirectory, QObject *parent)
    : QObject(parent), m_applicationDirectory(applicationDirectory),
      m_pidFilePath(QStringLiteral("/run/user/%1/elasticsearch.pid").arg(static_cast<qulonglong>(geteuid())))
{
    static const char *const timerNames[] = {"httpServerKillTimer", "elasticSearchKillTimer", "vistagroveKillTimer"};
    for (vistagrovemonitor_target target : kProcessTargets) {
        Child &c = child(target);
        // Children by value: each leaves the child list when it is destroyed,
        // before QObject's own destructor would delete it.
        c.process.setParent(this);
        c.killTimer.setParent(this);
        c.killTimer.setObjectName(QLatin1String(timerNames[target - Target_HTTPServer]));
        c.killTimer.setSingleShot(true);
        c.killTimer.setInterval(kKillDelayMs);
        connect(&c.killTimer, &QTimer::timeout, &c.process, &QProcess::kill);
        // Nobody reads what the stack prints; drop it so a long-running
        // process cannot grow our read buffers without bound.
        QProcess *p = &c.process;
        connect(p, &QProcess::readyReadStandardOutput, this, [p] { p->readAllStandardOutput(); });
        connect(p, &QProcess::readyReadStandardError, this, [p] { p->readAllStandardError(); });
    }
    connect(&child(Target_HTTPServer).process, &QProcess::stateChanged, this,
            &VistagroveMonitor::HttpServerStateChanged);
    connect(&child(Target_ElasticSearch).process, &QProcess::stateChanged, this,
            &VistagroveMonitor::ElasticSearchStateChanged);
    connect(&child(Target_Vistagrove).process, &QProcess::stateChanged, this,
            &VistagroveMonitor::VistagroveStateChanged);
    connect(&child(Target_HTTPServer).process, &QProcess::errorOccurred, this, &VistagroveMonitor::HttpServerError);
    connect(&child(Target_ElasticSearch).process, &QProcess::errorOccurred, this,
            &VistagroveMonitor::ElasticSearchError);
    connect(&child(Target_Vistagrove).process, &QProcess::errorOccurred, this, &VistagroveMonitor::VistagroveError);
}

VistagroveMonitor::~VistagroveMonitor()
{
    for (vistagrovemonitor_target target : kProcessTargets)
        Command(target, Command_Stop);
    // The wait blocks the event loop, so the kill timers cannot fire on their
    // own: each wait lasts until its timer would have fired, then we kill.
    for (vistagrovemonitor_target target : kProcessTargets) {
        Child &c = child(target);
        if (c.process.state() == QProcess::NotRunning)
            continue;
        const int left = c.killTimer.isActive() ? c.killTimer.remainingTime() : 0;
        if (!c.process.waitForFinished(std::max(left, 1))) {
            c.process.kill();
            c.process.waitForFinished(-1);
        }
    }
    for (Child &c : m_children)
        c.process.disconnect(this);
}

QString VistagroveMonitor::program(vistagrovemonitor_target target) const
{
    switch (target) {
    case Target_HTTPServer:
        return m_applicationDirectory + QStringLiteral("/../httpserveres") + QStringLiteral("/HTTPServerES");
    case Target_ElasticSearch:
        return m_applicationDirectory + QStringLiteral("/elasticsearch.sh");
    case Target_Vistagrove:
        return m_applicationDirectory + QStringLiteral("/../vistagrove/bin") + QStringLiteral("/vistagrove");
    case Target_Monitor:
        break;
    }
    return {};
}

QStringList VistagroveMonitor::arguments(vistagrovemonitor_target target) const
{
    switch (target) {
    case Target_HTTPServer:
        return {expandHomePath(kServerConfig), QStringLiteral("daemon")};
    case Target_ElasticSearch:
        return {QStringLiteral("-Edefault.path.conf=%1").arg(kElasticSearchConfigDir), QStringLiteral("-p"),
                m_pidFilePath};
    case Target_Vistagrove:
        return {QStringLiteral("--config"), kVistagroveConfig};
    case Target_Monitor:
        break;
    }
    return {};
}

QProcess::ProcessState VistagroveMonitor::state(vistagrovemonitor_target target) const
{
    return isProcessTarget(target) ? child(target).process.state() : QProcess::NotRunning;
}

qint64 VistagroveMonitor::processId(vistagrovemonitor_target target) const
{
    return isProcessTarget(target) ? child(target).process.processId() : 0;
}

QTimer *VistagroveMonitor::killTimer(vistagrovemonitor_target target)
{
    return isProcessTarget(target) ? &child(target).killTimer : nullptr;
}

void VistagroveMonitor::Command(vistagrovemonitor_target target, vistagrovemonitor_command command)
{
    if (target == Target_HTTPServer)
        QFile::remove(kHttpServerMarker);

    if (isProcessTarget(target)) {
        if (command == Command_Start)
            start(target);
        else if (command == Command_Stop)
            stop(target);
        return;
    }
    if (target != Target_Monitor)
        return;

    switch (command) {
    case Command_StartLocal:
        Command(Target_ElasticSearch, Command_Start);
        Command(Target_HTTPServer, Command_Start);
        Command(Target_Vistagrove, Command_Start);
        break;
    case Command_StartRemote:
        Command(Target_ElasticSearch, Command_Start);
        Command(Target_Vistagrove, Command_Start);
        emit StatusChanged(Target_HTTPServer, Status_Disabled);
        break;
    case Command_StartListening:
        Command(Target_HTTPServer, Command_Start);
        emit StatusChanged(Target_ElasticSearch, Status_Disabled);
        emit StatusChanged(Target_Vistagrove, Status_Disabled);
        break;
    case Command_Stop:
        // The front end first, so nobody is served from a half-stopped stack.
        Command(Target_HTTPServer, Command_Stop);
        Command(Target_Vistagrove, Command_Stop);
        Command(Target_ElasticSearch, Command_Stop);
        break;
    case Command_Start:
        break;
    }
}

bool VistagroveMonitor::isProcessTarget(vistagrovemonitor_target target)
{
    return target == Target_HTTPServer || target == Target_ElasticSearch || target == Target_Vistagrove;
}

void VistagroveMonitor::start(vistagrovemonitor_target target)
{
    QProcess &p = child(target).process;
    if (p.state() != QProcess::NotRunning)
        return;
    p.start(program(target), arguments(target), QIODevice::ReadWrite);
}

void VistagroveMonitor::stop(vistagrovemonitor_target target)
{
    Child &c = child(target);
    if (c.process.state() == QProcess::NotRunning)
        return;
    emit StatusChanged(target, Status_Stopping);
    c.killTimer.start();
    c.process.terminate();
}

void VistagroveMonitor::stateChanged(vistagrovemonitor_target target, QProcess::ProcessState state)
{
    switch (state) {
    case QProcess::Starting:
        emit StatusChanged(target, Status_Starting);
        break;
    case QProcess::Running:
        emit StatusChanged(target, Status_Started);
        break;
    case QProcess::NotRunning: {
        child(target).killTimer.stop();
        emit StatusChanged(target, Status_Stopped);
        bool allStopped = true;
        for (const Child &c : m_children)
            allStopped = allStopped && c.process.state() == QProcess::NotRunning;
        if (allStopped)
            emit StatusChanged(Target_Monitor, Status_Stopped);
        break;
    }
    }
}

void VistagroveMonitor::HttpServerStateChanged(QProcess::ProcessState state)
{
    stateChanged(Target_HTTPServer, state);
}

void VistagroveMonitor::ElasticSearchStateChanged(QProcess::ProcessState state)
{
    stateChanged(Target_ElasticSearch, state);
}

void VistagroveMonitor::VistagroveStateChanged(QProcess::ProcessState state)
{
    stateChanged(Target_Vistagrove, state);
}

// A process that cannot be started is seen through its state changes alone.
void VistagroveMonitor::HttpServerError(QProcess::ProcessError) {}
void VistagroveMonitor::ElasticSearchError(QProcess::ProcessError) {}
void VistagroveMonitor::VistagroveError(QProcess::ProcessError) {}

void registerVistagroveTypes()
{
    qRegisterMetaType<VistagroveMonitor::vistagrovemonitor_target>("VistagroveMonitor::vistagrovemonitor_target");
    qRegisterMetaType<VistagroveMonitor::vistagrovemonitor_command>("VistagroveMonitor::vistagrovemonitor_command");
    qRegisterMetaType<VistagroveMonitor::vistagrovemonitor_status>("VistagroveMonitor::vistagrovemonitor_status");
    qRegisterMetaType<VistagroveMonitor::vistagrovemonitor_target>("vistagrovemonitor_target");
    qRegisterMetaType<VistagroveMonitor::vistagrovemonitor_command>("vistagrovemonitor_command");
    qRegisterMetaType<VistagroveMonitor::vistagrovemonitor_status>("vistagrovemonitor_status");
}
