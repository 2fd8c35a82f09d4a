// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The analysis stack over stand-in programs: the supervisor's modes, commands without
// effect, processes that end or resist, its waiting destructor; the VistaGrove tab
// (its look saved as analysis-panel.png in the temporary folder) and the file editor on
// regular files, files it must refuse and saves that fail.

#include "analysispanel.h"
#include "configfileeditor.h"
#include "modalanswerer.h"
#include "standinstack.h"
#include "ui_analysispanel.h"
#include "ui_configfileeditor.h"

#include <QDateTime>
#include <QMetaEnum>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <linux/capability.h>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using M = VistagroveMonitor;
Q_DECLARE_METATYPE(M::vistagrovemonitor_target)
Q_DECLARE_METATYPE(M::vistagrovemonitor_command)

namespace {
const QString kMarker = QStringLiteral("/tmp/.HTTPServerES");
const QStringList kTargets{"Monitor", "HTTPServer", "ElasticSearch", "Vistagrove"};
constexpr M::vistagrovemonitor_target kProcesses[] = {M::Target_HTTPServer, M::Target_ElasticSearch,
                                                      M::Target_Vistagrove};

// A supervisor over stand-in programs that all run until asked to end (when installed),
// and its reports ("ElasticSearch:Starting", …) in emission order.
struct Rig {
    explicit Rig(bool installed = true) : monitor(std::make_unique<M>(stack.applicationDirectory()))
    {
        if (installed)
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

// Server, ElasticSearch and VistaGrove bullet colours by the picture each
// shows: "green", "yellow", "red", "grey", or "" when empty.
QStringList bullets(const AnalysisPanel &panel)
{
    QStringList colours;
    for (const QLabel *b :
         {panel.form()->VistaGroveBulletServer, panel.form()->VistaGroveBulletES, panel.form()->VistaGroveBulletPS}) {
        QString name = b->pixmap().isNull() ? "" : "?";
        for (const char *c : {"green", "yellow", "red", "grey"}) {
            if (b->pixmap().toImage() == QPixmap(QString(":/gps/%1.png").arg(c)).toImage())
                name = c;
        }
        colours << name;
    }
    return colours;
}

// How many of the eight controls that only an idle stack allows are enabled.
int idleControls(const AnalysisPanel &panel)
{
    int on = 0;
    for (const char *name :
         {"ModeLocal", "ModeListening", "ModeRemote", "EditServer", "EditPS", "EditES", "Browse", "CapturePath"})
        on += panel.findChild<QWidget *>(QString("VistaGrove") + name)->isEnabled();
    return on;
}
// Root passes every file mode check. Tests run as root in CI, so where a mode must
// count this thread gives up the override for as long as the object lives.
class FileModesApply {
public:
    FileModesApply()
    {
        if (geteuid() != 0 || !get(m_saved))
            return;
        __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
        lowered[0].effective &= ~(1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH | 1u << CAP_FOWNER);
        m_lowered = set(lowered);
    }
    ~FileModesApply() { release(); }
    void release()
    {
        if (m_lowered)
            m_lowered = !set(m_saved);
    }

private:
    static bool get(__user_cap_data_struct *data)
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capget, &header, data) == 0;
    }
    static bool set(__user_cap_data_struct *data)
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capset, &header, data) == 0;
    }
    __user_cap_data_struct m_saved[2] = {};
    bool m_lowered = false;
};
} // namespace

class tst_AnalysisPanel : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QFile::remove(kMarker); }

    void modes_data()
    {
        const QString http =
            "HTTPServerES|" + QDir::homePath() + "/.config/vistagrove/vistagrove_server_config.ini|daemon";
        const QString es = QString("elasticsearch.sh|-Edefault.path.conf=/etc/elasticsearch|-p|"
                                   "/run/user/%1/elasticsearch.pid")
                               .arg(geteuid());
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
        // The server's left-over marker goes before it starts (only the removal is
        // checked: runs in other checkouts share /tmp).
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

    // A process that ends by itself reports Stopped without Stopping; the stack
    // reports Stopped, last, once nothing runs any more.
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

    // Every process is asked to end; one that ignores it is killed once its time is up.
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

    void bulletForStatus()
    {
        AnalysisPanel panel;
        QCOMPARE(bullets(panel), (QStringList{"", "", ""}));
        panel.slot_vistagrovemonitor_changed(M::Target_Monitor, M::Status_Started); // the stack has no bullet
        QCOMPARE(bullets(panel), (QStringList{"", "", ""}));
        // Stopped, Stopping, Started, Starting, Error, Disabled, then an unknown status.
        const QStringList colours{"red", "yellow", "green", "yellow", "red", "grey", ""};
        for (int status : {0, 1, 2, 3, 4, 5, 9}) {
            panel.slot_vistagrovemonitor_changed(M::Target_ElasticSearch, M::Status_Started); // so that emptying shows
            panel.slot_vistagrovemonitor_changed(M::Target_ElasticSearch, M::vistagrovemonitor_status(status));
            QCOMPARE(bullets(panel), (QStringList{"", colours.at(qMin(status, 6)), ""}));
        }
    }

    void startStop_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QStringList>("preview"); // also the bullets once the stack is back to idle
        QTest::addColumn<QStringList>("running");
        QTest::newRow("remote") << "Remote" << true << QStringList{"grey", "red", "red"}
                                << QStringList{"grey", "green", "green"};
        QTest::newRow("local, nothing starts") << "Local" << false << QStringList{"red", "red", "red"} << QStringList();
        QTest::newRow("listening, nothing starts")
            << "Listening" << false << QStringList{"red", "grey", "grey"} << QStringList();
    }
    void startStop()
    {
        QFETCH(QString, mode);
        QFETCH(bool, installed);
        QFETCH(QStringList, preview);
        QFETCH(QStringList, running);
        Rig rig(installed);
        AnalysisPanel panel;
        panel.setMonitor(rig.monitor.get());
        QPushButton *start = panel.form()->VistaGroveStart;
        QStringList history[4]; // the button text, or the bullet's colour, after each report on that target
        connect(rig.monitor.get(), &M::StatusChanged, &panel, [&](M::vistagrovemonitor_target t) {
            history[t] << (t == M::Target_Monitor ? start->text() : bullets(panel).at(t - 1));
        });

        QVERIFY(panel.form()->VistaGroveModeListening->isChecked());
        panel.findChild<QRadioButton *>("VistaGroveMode" + mode)->click();
        QCOMPARE(bullets(panel), preview);
        start->click();
        QCOMPARE(start->text(), QStringLiteral("Stop"));
        QVERIFY(start->isEnabled() && panel.stackRunning());
        QCOMPARE(idleControls(panel), 0);
        if (installed) {
            QTRY_COMPARE(bullets(panel), running);
            for (int t = 1; t <= 3; ++t)
                QCOMPARE(history[t], (running[t - 1] == "grey" ? QStringList{"grey"} : QStringList{"yellow", "green"}));
            start->click();
            QVERIFY(!start->isEnabled());
            QCOMPARE(bullets(panel), running.replaceInStrings("green", "yellow"));
        }
        QTRY_COMPARE(start->text(), QStringLiteral("Start"));
        QVERIFY(start->isEnabled() && !panel.stackRunning());
        QCOMPARE(history[M::Target_Monitor], QStringList{"Start"}); // the stack reported stopped once, at the end
        QCOMPARE(idleControls(panel), 8);
        QCOMPARE(bullets(panel), preview);
    }

    // Typing after "<temporary folder>/", where only "ab" exists: the field is red while
    // its folder is missing, and the store follows each keystroke.
    void captureFolder_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("colours");
        QTest::newRow("into a missing folder") << "abc" << QStringList{"red", "normal", "red"};
        QTest::newRow("into an existing folder") << "ab/" << QStringList{"red", "normal", "normal"};
    }
    void captureFolder()
    {
        QFETCH(QString, typed);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("ab");
        const QString store = dir.filePath("store.conf"), key = "LastLocations/VistagroveCaptureDirectory";
        QSettings settings(store, QSettings::IniFormat);
        AnalysisPanel panel;
        panel.setSettings(&settings);
        QLineEdit *field = panel.form()->VistaGroveCapturePath;
        panel.loadSettings();
        QCOMPARE(field->text(), QDir::homePath());
        settings.setValue(key, dir.path() + "/");
        panel.loadSettings();
        QCOMPARE(field->text(), dir.path() + "/");
        QStringList stored, shown, texts; // as another reader of the store sees it
        connect(field, &QLineEdit::textChanged, this, [&] {
            stored << QSettings(store, QSettings::IniFormat).value(key).toString();
            const QString style = field->styleSheet();
            shown << (style == "QLineEdit { }" ? "normal" : style == "QLineEdit { color: red; }" ? "red" : style);
        });
        QTest::keyClicks(field, typed);
        QTEST(shown, "colours");
        for (int i = 1; i <= typed.size(); ++i)
            texts << dir.path() + "/" + typed.left(i);
        QCOMPARE(stored, texts);
    }

    // Every widget lies inside the tab, and every text fits its widget.
    void lookOfTheTab()
    {
        Rig rig;
        AnalysisPanel panel;
        panel.setMonitor(rig.monitor.get());
        panel.form()->VistaGroveCapturePath->setText("/srv/captures/port-a"); // missing: red
        panel.form()->VistaGroveModeLocal->click();
        panel.form()->VistaGroveStart->click();
        QTRY_COMPARE(bullets(panel), (QStringList{"green", "green", "green"}));
        panel.resize(1250, 800);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        for (QWidget *w : panel.findChildren<QWidget *>()) {
            auto *picture = qobject_cast<QLabel *>(w);
            if (!w->isVisible() || (picture && picture->hasScaledContents()))
                continue;
            QVERIFY2(panel.rect().contains(QRect(w->mapTo(&panel, QPoint()), w->size())), qPrintable(w->objectName()));
            const QSize least = w->minimumSizeHint();
            QVERIFY2(w->width() >= least.width() && w->height() >= least.height(), qPrintable(w->objectName()));
        }
        QVERIFY(panel.grab().save(QDir::tempPath() + "/analysis-panel.png"));
    }

    // The configuration file editor the Edit buttons open, on real files: the text shown
    // and the bytes OK leaves behind, in the file's own encoding and line ends.
    void editFile_data()
    {
        // "@" stands for a temporary folder.
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("before"); // null: not written first
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("typed"); // at the end
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("after");
        const QByteArray yml = "cluster.name: taps\nhttp.port: 9200\n";
        const QString ymlText = QString::fromUtf8(yml);
        QTest::newRow("edit then OK") << "@/es.yml" << yml << ymlText << "path.data: /srv\n"
                                      << true << yml + "path.data: /srv\n";
        QTest::newRow("OK unchanged") << "@/es.yml" << yml << ymlText << "" << true << yml;
        QTest::newRow("edit then Cancel") << "@/es.yml" << yml << ymlText << "junk\n" << false << yml;
        QTest::newRow("missing file is created") << "@/new.ini" << QByteArray() << ""
                                                 << "" << false << QByteArray("");
        QTest::newRow("home relative") << "~/server.ini" << QByteArray("[server]\n") << "[server]\n"
                                       << "port=80\n"
                                       << true << QByteArray("[server]\nport=80\n");
        const QByteArray latin1 = "node.name: caf\xe9\n", bom = "\xef\xbb\xbfnode.name: caf\xc3\xa9\n";
        const QString cafe = QStringLiteral("node.name: caf\u00e9\n");
        QTest::newRow("Latin-1 unchanged") << "@/l.yml" << latin1 << cafe << "" << true << latin1;
        QTest::newRow("Latin-1 edited") << "@/l.yml" << latin1 << cafe << QStringLiteral("x: \u00fc\n") << true
                                        << latin1 + "x: \xfc\n";
        QTest::newRow("BOM unchanged") << "@/b.yml" << bom << cafe << "" << true << bom;
        QTest::newRow("BOM edited") << "@/b.yml" << bom << cafe << QStringLiteral("x: \u00fc\n") << true
                                    << bom + "x: \xc3\xbc\n";
        const QByteArray crlf = "[server]\r\nport=80\r\nhost=a"; // and no line end after the last line
        QTest::newRow("CRLF unchanged") << "@/c.ini" << crlf << "[server]\nport=80\nhost=a"
                                        << "" << true << crlf;
        QTest::newRow("CRLF edited") << "@/c.ini" << crlf << "[server]\nport=80\nhost=a"
                                     << "b\nx=1" << true << QByteArray("[server]\r\nport=80\r\nhost=ab\r\nx=1");
        QTest::newRow("no-break space kept") << "@/n.yml"
                                             << QByteArray("a:\xc2\xa0"
                                                           "b\n")
                                             << "a:\u00a0b\n"
                                             << "c\n"
                                             << true
                                             << QByteArray("a:\xc2\xa0"
                                                           "b\nc\n");
    }
    void editFile()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, before);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        path.replace('@', dir.path());
        const QString file = path.startsWith("~/") ? QDir::homePath() + path.mid(1) : path;
        const QDateTime longAgo = QDateTime::fromSecsSinceEpoch(1'000'000'000);
        if (!before.isNull()) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(before) == before.size() && f.flush());
            f.setFileTime(longAgo, QFileDevice::FileModificationTime);
            QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
        }
        const QFileDevice::Permissions permissions = QFileInfo(file).permissions(); // a save keeps them
        ModalAnswerer answerer;
        ConfigFileEditor editor(path);
        QCOMPARE(editor.path(), file);
        QVERIFY(editor.form()->ButtonBox->button(QDialogButtonBox::Ok)->isEnabled());
        // As held, without toPlainText()'s turning of no-break into plain spaces.
        QTEST(editor.form()->TextEditor->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n'), "shown");
        editor.form()->TextEditor->moveCursor(QTextCursor::End);
        editor.form()->TextEditor->insertPlainText(typed);
        editor.form()->ButtonBox->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();

        QCOMPARE(editor.result(), ok ? QDialog::Accepted : QDialog::Rejected);
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), after);
        if (!before.isNull()) { // OK rewrites even an unchanged file; Cancel leaves it alone
            QCOMPARE(QFileInfo(file).lastModified() != longAgo, ok);
            QCOMPARE(written.permissions(), permissions);
        }
        QCOMPARE(answerer.texts, QStringList());
    }

    // What cannot be read whole is not offered for editing: one box at once (a pipe must
    // not hang the window), an empty editor, OK off and the file untouched.
    void refusedFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason"); // at least these words, or the system's text when empty
        QTest::newRow("named pipe") << "fifo"
                                    << "named pipe";
        QTest::newRow("device") << "/dev/null"
                                << "device";
        QTest::newRow("folder") << "folder"
                                << "folder";
        QTest::newRow("unreadable file") << "mode 0200"
                                         << "";
        QTest::newRow("read-only file") << "mode 0400"
                                        << "";
        QTest::newRow("read fails") << "/proc/self/mem"
                                    << "";
    }
    void refusedFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString path = kind.startsWith('/') ? kind : dir.filePath("es.yml");
        const QByteArray content = "cluster.name: taps\n";
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (kind == "folder")
            path = dir.path();
        if (kind.startsWith("mode ")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
            f.close();
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(kind.mid(5).toUInt(nullptr, 8))), 0);
        }
        FileModesApply modes;
        ModalAnswerer answerer;
        ConfigFileEditor editor(path);
        editor.show();
        QCOMPARE(answerer.texts.size(), 1);
        const QString text = answerer.texts.first();
        const QString start = "Failed to open configuration file '" + path + "' : ";
        QVERIFY2(text.startsWith(start) && text.size() > start.size() && text.contains(reason), qPrintable(text));
        QVERIFY(answerer.titles.first() == "Edit file" && answerer.icons.first() == QMessageBox::Critical);

        QVERIFY(editor.form()->TextEditor->isReadOnly() && editor.form()->TextEditor->toPlainText().isEmpty());
        QPushButton *ok = editor.form()->ButtonBox->button(QDialogButtonBox::Ok);
        QVERIFY(!ok->isEnabled());
        editor.accept(); // even when asked, it writes nothing
        QCOMPARE(editor.result(), QDialog::Rejected);
        QCOMPARE(answerer.texts.size(), 1);
        if (kind.startsWith("mode ")) {
            modes.release();
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), content);
        }
    }

    // A save that cannot be completed says why, keeps the file as it was and the editor
    // open with the operator's text.
    void saveFails_data()
    {
        QTest::addColumn<QString>("path");      // in the temporary folder
        QTest::addColumn<QByteArray>("before"); // null: no such file
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("boxes"); // how each box's text starts
        const QString save = "Failed to save configuration to '", open = "Failed to open configuration file '";
        QTest::newRow("read-only folder") << "ro/es.yml" << QByteArray("a: 1\n") << "b: 2\n" << QStringList{save};
        QTest::newRow("missing folder") << "none/x.yml" << QByteArray() << "x: 1\n" << QStringList{open, save};
        QTest::newRow("not in Latin-1") << "l.yml" << QByteArray("a: caf\xe9\n") << QStringLiteral("b: \u20ac\n")
                                        << QStringList{save};
    }
    void saveFails()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, before);
        QFETCH(QString, typed);
        QFETCH(QStringList, boxes);
        QTemporaryDir dir;
        path = dir.filePath(path);
        if (path.contains("/ro/"))
            QVERIFY(QDir(dir.path()).mkdir("ro"));
        if (!before.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
        }
        if (path.contains("/ro/"))
            QCOMPARE(::chmod(QFile::encodeName(QFileInfo(path).path()).constData(), 0555), 0);
        FileModesApply modes;
        ModalAnswerer answerer;
        ConfigFileEditor editor(path);
        editor.show();
        editor.form()->TextEditor->moveCursor(QTextCursor::End);
        editor.form()->TextEditor->insertPlainText(typed);
        const QString shown = editor.form()->TextEditor->toPlainText();
        editor.form()->ButtonBox->button(QDialogButtonBox::Ok)->click();

        QCOMPARE(answerer.texts.size(), boxes.size());
        for (int i = 0; i < boxes.size(); ++i) { // each followed by a reason
            const QString start = boxes.at(i) + path + "' : ";
            QVERIFY2(answerer.texts.at(i).startsWith(start) && answerer.texts.at(i).size() > start.size(),
                     qPrintable(answerer.texts.at(i)));
            QVERIFY(answerer.titles.at(i) == "Edit file" && answerer.icons.at(i) == QMessageBox::Critical);
        }
        QVERIFY(editor.isVisible());
        QCOMPARE(editor.result(), QDialog::Rejected); // not closed as saved
        QCOMPARE(editor.form()->TextEditor->toPlainText(), shown);
        modes.release();
        QFile f(path);
        QCOMPARE(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), before);
        QCOMPARE(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden), // no temporary file left
                 before.isNull() ? QStringList() : QStringList{QFileInfo(path).fileName()});
    }
};

QTEST_MAIN(tst_AnalysisPanel)
#include "tst_analysispanel.moc"
