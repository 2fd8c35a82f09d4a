// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The VistaGrove tab driving a real supervisor over stand-in programs:
// bullets per status and per mode, starting and stopping the stack or failing
// to, the capture folder field and its store, and the look of the tab (saved
// as analysis-panel.png in the temporary folder).

#include "analysispanel.h"
#include "standinstack.h"
#include "ui_analysispanel.h"

#include <QSettings>
#include <QTest>

using M = VistagroveMonitor;
Q_DECLARE_METATYPE(M::vistagrovemonitor_target)

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
    void bulletForStatus_data()
    {
        QTest::addColumn<M::vistagrovemonitor_target>("target");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("expected");
        const auto es = M::Target_ElasticSearch;
        QTest::newRow("stopped") << es << 0 << QStringList{"", "red", ""};
        QTest::newRow("stopping") << es << 1 << QStringList{"", "yellow", ""};
        QTest::newRow("started") << es << 2 << QStringList{"", "green", ""};
        QTest::newRow("starting") << es << 3 << QStringList{"", "yellow", ""};
        QTest::newRow("error") << es << 4 << QStringList{"", "red", ""};
        QTest::newRow("disabled") << es << 5 << QStringList{"", "grey", ""};
        QTest::newRow("unknown status empties") << es << 9 << QStringList{"", "", ""};
        QTest::newRow("the stack has no bullet") << M::Target_Monitor << 2 << QStringList{"", "", ""};
    }

    void bulletForStatus()
    {
        QFETCH(M::vistagrovemonitor_target, target);
        QFETCH(int, status);
        QFETCH(QStringList, expected);
        AnalysisPanel panel;
        QCOMPARE(bullets(panel), (QStringList{"", "", ""}));
        panel.slot_vistagrovemonitor_changed(target, M::Status_Started); // so that emptying shows
        panel.slot_vistagrovemonitor_changed(target, M::vistagrovemonitor_status(status));
        QCOMPARE(bullets(panel), expected);
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
        QTest::newRow("remote, nothing starts")
            << "Remote" << false << QStringList{"grey", "red", "red"} << QStringList();
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
        QVERIFY(start->isEnabled());
        QCOMPARE(history[M::Target_Monitor], QStringList{"Start"}); // the stack reported stopped once, at the end
        QVERIFY(!panel.stackRunning());
        QCOMPARE(idleControls(panel), 8);
        QCOMPARE(bullets(panel), preview);
    }

    void captureFolder_data()
    {
        // Typed after "<temporary folder>/", where only the folder "ab" exists.
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("colours");
        QTest::newRow("into a missing folder") << "abc" << QStringList{"red", "normal", "red"};
        QTest::newRow("into an existing folder") << "ab/" << QStringList{"red", "normal", "normal"};
    }

    void captureFolder()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, colours);
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

        // What another reader of the store sees after each keystroke.
        QStringList stored, shown, texts;
        connect(field, &QLineEdit::textChanged, this, [&] {
            stored << QSettings(store, QSettings::IniFormat).value(key).toString();
            const QString style = field->styleSheet();
            shown << (style == "QLineEdit { }" ? "normal" : style == "QLineEdit { color: red; }" ? "red" : style);
        });
        QTest::keyClicks(field, typed);
        QCOMPARE(shown, colours);
        for (int i = 1; i <= typed.size(); ++i)
            texts << dir.path() + "/" + typed.left(i);
        QCOMPARE(stored, texts);
    }

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

        // Every widget lies inside the tab, and every text fits its widget.
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
};

QTEST_MAIN(tst_AnalysisPanel)
#include "tst_analysispanel.moc"
