// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Test support: a throw-away installation of the analysis stack whose three
// programs are shell scripts with a chosen behaviour. Each run appends its name
// and arguments, "|"-separated, to launches.log; one that Runs also logs
// "<name>|TERM" there when asked to terminate.

#pragma once

#include "vistagrovemonitor.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class StandInStack {
public:
    enum Behaviour { Runs, ExitsSoon, IgnoresTerm };

    StandInStack() { QDir(m_root.path()).mkpath("bin"); }

    // What the supervisor takes as the executable's directory.
    QString applicationDirectory() const { return m_root.filePath("bin"); }

    void install(VistagroveMonitor::vistagrovemonitor_target target, Behaviour behaviour)
    {
        const char *const paths[] = {"", "httpserveres/HTTPServerES", "bin/elasticsearch.sh",
                                     "vistagrove/bin/vistagrove"};
        QFile script(m_root.filePath(paths[target]));
        QDir().mkpath(QFileInfo(script).path());
        const QByteArray log = "'" + m_root.filePath("launches.log").toUtf8() + "'";
        QByteArray text = "#!/bin/sh\n"; // replaces an earlier stand-in
        // Traps come before the launch is logged, so a logged launch has them.
        if (behaviour == Runs)
            text += "trap 'echo \"$(basename \"$0\")|TERM\" >> " + log + "; exit 0' TERM\n";
        if (behaviour == IgnoresTerm)
            text += "trap '' TERM\n";
        text += "line=$(basename \"$0\")\nfor a in \"$@\"; do line=\"$line|$a\"; done\necho \"$line\" >> " + log;
        text += behaviour == ExitsSoon ? "\nsleep 0.3\n" : "\nwhile :; do sleep 0.05; done\n";
        QVERIFY(script.open(QIODevice::WriteOnly) && script.write(text) == text.size());
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void installAll(Behaviour behaviour)
    {
        for (auto t : {VistagroveMonitor::Target_HTTPServer, VistagroveMonitor::Target_ElasticSearch,
                       VistagroveMonitor::Target_Vistagrove})
            install(t, behaviour);
    }

    QStringList launches() const { return log().filter(QRegularExpression("^(?!.*\\|TERM$)")); }
    QStringList terminations() const { return log().filter("|TERM"); }

private:
    QStringList log() const
    {
        QFile file(m_root.filePath("launches.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                              : QStringList();
    }

    QTemporaryDir m_root;
};
