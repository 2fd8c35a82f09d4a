// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The analysis-stack supervisor against stand-in programs: start order and launch
// arguments per mode, commands that must do nothing, processes that end by
// themselves or ignore termination, and the waiting destructor.

#include "standinstack.h"
#include "vistagrovemonitor.h"

#include <QMetaEnum>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <memory>
#include <unistd.h>

using M = VistagroveMonitor;
Q_DECLARE_METATYPE(M::vistagrovemonitor_target)
Q_DECLARE_METATYPE(M::vistagrovemonitor_command)

namespace {

const QString kMarker = QStringLiteral("/tmp/.HTTPServerES");
const QStringList kTargets{"Monitor", "HTTPServer", "ElasticSearch", "Vistagrove"};
constexpr M::vistagrovemonitor_target kProcesses[] = {M::Target_HTTPServer, M::Target_ElasticSearch,
                                                      M::Target_Vistagrove};

// A supervisor over stand-in programs that all run until asked to end, and its
// reports ("ElasticSearch:Starting", …) in emission order.
struct Rig {
    Rig() : monitor(std::make_unique<M>(stack.applicationDirectory()))
    {
        stack.installAll(StandInStack::Runs);
        QObject::connect(monitor.get(), &M::StatusChanged, &context, [this](auto t, auto s) {
            events << kTargets[t] + ':' +
                          QString(QMetaEnum::fromType<M::vistagrovemonitor_status>().valueToKey(s)).mid(7);
        });
    }
    bool waitFor(const QString &event)
    {
        return QTest::qWaitFor([&] { return events.contains(event); });
    }

    StandInStack stack;
    std::unique_ptr<M> monitor;
    QStringList events;
    QObject context; // goes first, so reports made while the rig is torn down are not kept
};

} // namespace

class tst_VistagroveMonitor : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QFile::remove(kMarker); }

    void modes_data()
    {
        const QString http =
            "HTTPServerES|" + QDir::homePath() + "/.config/vistagrove/vistagrove_server_config.ini|daemon";
        const QString es = QString("elasticsearch.sh|-Edefault.path.conf=/etc/elasticsearch|-p|"
                                   "/run/user/%1/elasticsearch.pid").arg(geteuid());
        const QString vg = "vistagrove|--config|/etc/vistagrove/vistagrove.yml";
        const auto events = [](const char *list) { return QString(list).split(' '); };
        QTest::addColumn<M::vistagrovemonitor_command>("command");
        QTest::addColumn<QStringList>("atOnce"); // reported before Command returns
        QTest::addColumn<QStringList>("launches");
        QTest::addColumn<QStringList>("stopping");
        QTest::newRow("local") << M::Command_StartLocal
                               << events("ElasticSearch:Starting HTTPServer:Starting Vistagrove:Starting")
                               << QStringList{es, http, vg}
                               << events("HTTPServer:Stopping Vistagrove:Stopping ElasticSearch:Stopping");
        QTest::newRow("remote") << M::Command_StartRemote
                                << events("ElasticSearch:Starting Vistagrove:Starting HTTPServer:Disabled")
                                << QStringList{es, vg} << events("Vistagrove:Stopping ElasticSearch:Stopping");
        QTest::newRow("listening") << M::Command_StartListening
                                   << events("HTTPServer:Starting ElasticSearch:Disabled Vistagrove:Disabled")
                                   << QStringList{http} << events("HTTPServer:Stopping");
    }

    void modes()
    {
        QFETCH(M::vistagrovemonitor_command, command);
        QFETCH(QStringList, atOnce);
        QFETCH(QStringList, launches);
        QFETCH(QStringList, stopping);
        Rig rig;
        QFile(kMarker).open(QIODevice::WriteOnly);

        rig.monitor->Command(M::Target_Monitor, command);
        QCOMPARE(rig.events, atOnce);
        // The server's left-over marker goes before it starts. Only its removal is
        // checked: a supervisor in another test program may remove it as well.
        if (atOnce.contains("HTTPServer:Starting"))
            QVERIFY(!QFile::exists(kMarker));
        for (const QString &starting : atOnce.filter(":Starting"))
            QVERIFY(rig.waitFor(QString(starting).replace("Starting", "Started")));
        QTRY_COMPARE(rig.stack.launches().size(), launches.size());
        QStringList launched = rig.stack.launches();
        launched.sort();
        launches.sort();
        QCOMPARE(launched, launches);

        rig.events.clear();
        rig.monitor->Command(M::Target_Monitor, M::Command_Stop);
        QCOMPARE(rig.events, stopping);
        QVERIFY(rig.waitFor("Monitor:Stopped"));
        QCOMPARE(rig.events.size(), 2 * stopping.size() + 1); // the stack's report once, and last
        QCOMPARE(rig.events.last(), QStringLiteral("Monitor:Stopped"));
        for (auto t : kProcesses) // each ended at once: no kill left pending
            QVERIFY(!rig.monitor->killTimer(t)->isActive());
    }

    void commandsWithoutEffect_data()
    {
        QTest::addColumn<M::vistagrovemonitor_target>("target");
        QTest::addColumn<M::vistagrovemonitor_command>("command");
        QTest::addColumn<bool>("serverRunning");
        QTest::newRow("start running server") << M::Target_HTTPServer << M::Command_Start << true;
        QTest::newRow("stop stopped process") << M::Target_ElasticSearch << M::Command_Stop << false;
        QTest::newRow("mode command to a process") << M::Target_Vistagrove << M::Command_StartLocal << false;
        QTest::newRow("plain start to the stack") << M::Target_Monitor << M::Command_Start << true;
        QTest::newRow("stop a stopped stack") << M::Target_Monitor << M::Command_Stop << false;
    }

    void commandsWithoutEffect()
    {
        QFETCH(M::vistagrovemonitor_target, target);
        QFETCH(M::vistagrovemonitor_command, command);
        QFETCH(bool, serverRunning);
        Rig rig;
        if (serverRunning) {
            rig.monitor->Command(M::Target_HTTPServer, M::Command_Start);
            QVERIFY(rig.waitFor("HTTPServer:Started"));
            rig.events.clear();
        }
        const qint64 pid = rig.monitor->processId(M::Target_HTTPServer);
        rig.monitor->Command(target, command);
        QTest::qWait(300);
        QCOMPARE(rig.events, QStringList());
        QCOMPARE(rig.monitor->processId(M::Target_HTTPServer), pid);
        QCOMPARE(rig.stack.launches().size(), serverRunning ? 1 : 0);
    }

    // A process that ends by itself reports Stopped without Stopping, and the
    // stack reports Stopped, last, once nothing runs any more.
    void exitByItself_data()
    {
        QTest::addColumn<M::vistagrovemonitor_command>("command");
        QTest::addColumn<M::vistagrovemonitor_target>("quitter");
        QTest::addColumn<bool>("stackStopped");
        QTest::newRow("last one running") << M::Command_StartListening << M::Target_HTTPServer << true;
        QTest::newRow("others still running") << M::Command_StartLocal << M::Target_ElasticSearch << false;
    }

    void exitByItself()
    {
        QFETCH(M::vistagrovemonitor_command, command);
        QFETCH(M::vistagrovemonitor_target, quitter);
        QFETCH(bool, stackStopped);
        Rig rig;
        rig.stack.install(quitter, StandInStack::ExitsSoon);
        rig.monitor->Command(M::Target_Monitor, command);
        QVERIFY(rig.waitFor(kTargets[quitter] + ":Stopped"));
        QTest::qWait(200);
        QCOMPARE(rig.events.count("Monitor:Stopped"), int(stackStopped));
        QCOMPARE(rig.events.last() == "Monitor:Stopped", stackStopped);
        QVERIFY(!rig.events.contains(kTargets[quitter] + ":Stopping"));
    }

    void killAfterTimeout()
    {
        Rig rig;
        rig.stack.install(M::Target_HTTPServer, StandInStack::IgnoresTerm);
        rig.monitor->Command(M::Target_Monitor, M::Command_StartListening);
        QTRY_COMPARE(rig.stack.launches().size(), 1);
        rig.monitor->Command(M::Target_HTTPServer, M::Command_Stop);
        QTimer *timer = rig.monitor->findChild<QTimer *>("httpServerKillTimer");
        QCOMPARE(timer, rig.monitor->killTimer(M::Target_HTTPServer));
        QVERIFY(timer->isActive() && timer->isSingleShot() && timer->interval() == 10000);
        QTest::qWait(300);
        QCOMPARE(rig.monitor->state(M::Target_HTTPServer), QProcess::Running);
        timer->start(10); // rather than sitting out the ten seconds
        QVERIFY(rig.waitFor("Monitor:Stopped"));
        QCOMPARE(rig.monitor->state(M::Target_HTTPServer), QProcess::NotRunning);
    }

    // Every process is asked to end; one that ignores it is killed once its
    // timer's time is up.
    void destructorWaits()
    {
        Rig rig;
        rig.stack.install(M::Target_Vistagrove, StandInStack::IgnoresTerm);
        rig.monitor->Command(M::Target_Monitor, M::Command_StartLocal);
        QTRY_COMPARE(rig.stack.launches().size(), 3);
        QList<qint64> pids;
        for (auto t : kProcesses) {
            QTRY_COMPARE(rig.monitor->state(t), QProcess::Running);
            pids << rig.monitor->processId(t);
            rig.monitor->killTimer(t)->setInterval(2000);
        }
        rig.events.clear();
        // QProcess's own destructor would kill what is left, and say so.
        QTest::failOnWarning(QRegularExpression("still running"));
        rig.monitor.reset();
        QCOMPARE(rig.events.mid(0, 3),
                 (QStringList{"HTTPServer:Stopping", "ElasticSearch:Stopping", "Vistagrove:Stopping"}));
        QStringList terms = rig.stack.terminations();
        terms.sort();
        QCOMPARE(terms, (QStringList{"HTTPServerES|TERM", "elasticsearch.sh|TERM"}));
        for (qint64 pid : pids) { // ended and reaped
            errno = 0;
            QVERIFY(::kill(pid_t(pid), 0) == -1 && errno == ESRCH);
        }
    }
};

QTEST_GUILESS_MAIN(tst_VistagroveMonitor)
#include "tst_vistagrovemonitor.moc"
