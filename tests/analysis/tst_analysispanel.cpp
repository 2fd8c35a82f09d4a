// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The VistaGrove tab driving a real supervisor over stand-in programs: bullets,
// starting and stopping the stack or failing to, the capture folder and its store,
// the look of the tab (saved as analysis-panel.png in the temporary folder), and
// the configuration file editor: load, OK and Cancel, and its error boxes.

#include "analysispanel.h"
#include "configfileeditor.h"
#include "modalanswerer.h"
#include "standinstack.h"
#include "ui_analysispanel.h"
#include "ui_configfileeditor.h"

#include <QDateTime>
#include <QPushButton>
#include <QSettings>
#include <QTest>

using M = VistagroveMonitor;

namespace {

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

QRadioButton *mode(const AnalysisPanel &panel, const QString &name)
{
    return panel.findChild<QRadioButton *>("VistaGroveMode" + name);
}

} // namespace

class tst_AnalysisPanel : public QObject {
    Q_OBJECT
private slots:
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
        StandInStack stack;
        if (installed)
            stack.installAll(StandInStack::Runs);
        M monitor(stack.applicationDirectory());
        AnalysisPanel panel;
        panel.setMonitor(&monitor);
        QPushButton *start = panel.form()->VistaGroveStart;
        QStringList history[4]; // the button text, or the bullet's colour, after each report on that target
        connect(&monitor, &M::StatusChanged, &panel, [&](M::vistagrovemonitor_target t) {
            history[t] << (t == M::Target_Monitor ? start->text() : bullets(panel).at(t - 1));
        });

        QVERIFY(::mode(panel, "Listening")->isChecked());
        ::mode(panel, mode)->click();
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

    // Typing after "<temporary folder>/", where only the folder "ab" exists: the
    // field is red while its folder is missing, and the store follows each keystroke.
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
        StandInStack stack;
        stack.installAll(StandInStack::Runs);
        M monitor(stack.applicationDirectory());
        AnalysisPanel panel;
        panel.setMonitor(&monitor);
        panel.form()->VistaGroveCapturePath->setText("/srv/captures/port-a"); // missing: red
        mode(panel, "Local")->click();
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

    // The configuration file editor the Edit buttons open, on real files.
    void editFile_data()
    {
        // "@" stands for a temporary folder. Tests run as root, which ignores file
        // modes, so the files that cannot be opened are a folder and a file in a
        // folder that does not exist.
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("before"); // null: not written first
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("after"); // null: no such file, after an error box on open and on save
        const QByteArray yml = "cluster.name: taps\nhttp.port: 9200\n";
        QTest::newRow("edit then OK") << "@/es.yml" << yml << "path.data: /srv\n" << true << yml + "path.data: /srv\n";
        QTest::newRow("OK unchanged") << "@/es.yml" << yml << "" << true << yml;
        QTest::newRow("edit then Cancel") << "@/es.yml" << yml << "junk\n" << false << yml;
        QTest::newRow("missing file is created") << "@/new.ini" << QByteArray() << "" << false << QByteArray("");
        QTest::newRow("home relative") << "~/server.ini" << QByteArray("[server]\n") << "port=80\n" << true
                                       << QByteArray("[server]\nport=80\n");
        QTest::newRow("folder") << "@" << QByteArray() << "x: 1\n" << true << QByteArray();
        QTest::newRow("missing folder") << "@/none/x.yml" << QByteArray() << "x: 1\n" << true << QByteArray();
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
        }

        ModalAnswerer answerer;
        ConfigFileEditor editor(path);
        QCOMPARE(editor.path(), file);
        QCOMPARE(editor.form()->TextEditor->toPlainText().toUtf8(), before.isNull() ? "" : before);
        editor.form()->TextEditor->moveCursor(QTextCursor::End);
        editor.form()->TextEditor->insertPlainText(typed);
        editor.form()->ButtonBox->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();

        QCOMPARE(editor.result(), ok ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(QFileInfo(file).isFile(), !after.isNull());
        QFile written(file);
        QCOMPARE(written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray(), after);
        if (!before.isNull()) // OK rewrites even an unchanged file; Cancel leaves it alone
            QCOMPARE(QFileInfo(file).lastModified() != longAgo, ok);
        QCOMPARE(answerer.texts.size(), after.isNull() ? 2 : 0);
        for (int i = 0; i < answerer.texts.size(); ++i) { // each followed by the system's reason
            const QString text = answerer.texts.at(i);
            const QString start = (i ? "Failed to save configuration to '" : "Failed to open configuration file '") +
                                  path + "' : ";
            QVERIFY2(text.startsWith(start) && text.size() > start.size(), qPrintable(text));
            QVERIFY(answerer.titles.at(i) == "Edit file" && answerer.icons.at(i) == QMessageBox::Critical);
        }
    }
};

QTEST_MAIN(tst_AnalysisPanel)
#include "tst_analysispanel.moc"
