// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The configuration file editor: load, OK and Cancel on real files, and the
// two error boxes for files it cannot open or save.

#include "configfileeditor.h"
#include "modalanswerer.h"
#include "ui_configfileeditor.h"

#include <QDateTime>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class tst_ConfigFileEditor : public QObject {
    Q_OBJECT
private slots:
    void editAndClose_data()
    {
        // "@" stands for a temporary folder. Tests run as root, which ignores file
        // modes, so the files that cannot be opened are a folder and a file in a
        // folder that does not exist.
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("before"); // null: not written first
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("after"); // null: no such file
        QTest::addColumn<QStringList>("errors");
        const QByteArray yml = "cluster.name: taps\nhttp.port: 9200\n";
        const QStringList none;
        QTest::newRow("edit then OK") << "@/es.yml" << yml << "path.data: /srv\n"
                                      << true << yml + "path.data: /srv\n"
                                      << none;
        QTest::newRow("OK unchanged") << "@/es.yml" << yml << "" << true << yml << none;
        QTest::newRow("edit then Cancel") << "@/es.yml" << yml << "junk\n" << false << yml << none;
        QTest::newRow("missing file is created")
            << "@/new.ini" << QByteArray() << "" << false << QByteArray("") << none;
        QTest::newRow("home relative") << "~/server.ini" << QByteArray("[server]\n") << "port=80\n"
                                       << true << QByteArray("[server]\nport=80\n") << none;
        QTest::newRow("folder") << "@" << QByteArray() << "x: 1\n"
                                << true << QByteArray()
                                << QStringList{"Failed to open configuration file '@' : ",
                                               "Failed to save configuration to '@' : "};
        QTest::newRow("missing folder") << "@/none/x.yml" << QByteArray() << "x: 1\n"
                                        << true << QByteArray()
                                        << QStringList{"Failed to open configuration file '@/none/x.yml' : ",
                                                       "Failed to save configuration to '@/none/x.yml' : "};
    }

    void editAndClose()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, before);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(QByteArray, after);
        QFETCH(QStringList, errors);
        QTemporaryDir dir;
        path.replace('@', dir.path());
        errors.replaceInStrings("@", dir.path());
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
        QCOMPARE(answerer.texts.size(), errors.size());
        for (int i = 0; i < errors.size(); ++i) {
            QCOMPARE(answerer.titles.at(i), QStringLiteral("Edit file"));
            QCOMPARE(answerer.icons.at(i), QMessageBox::Critical);
            QVERIFY2(answerer.texts.at(i).startsWith(errors.at(i)), qPrintable(answerer.texts.at(i)));
            QVERIFY2(answerer.texts.at(i).size() > errors.at(i).size(), "the system's reason is missing");
        }
    }
};

QTEST_MAIN(tst_ConfigFileEditor)
#include "tst_configfileeditor.moc"
