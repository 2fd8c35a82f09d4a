// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Test support: a throw-away installation of the analysis stack whose three
// programs are shell scripts with a chosen behaviour. Each run appends its
// name and arguments, "|"-separated, to launches.log; one that runs also logs
// "<name>|TERM" there when asked to terminate.

#pragma once

#include "vistagrovemonitor.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

class StandInStack {
public:
    enum Behaviour { Runs, ExitsSoon, IgnoresTerm };

    StandInStack() { QDir(m_root.path()).mkpath(QStringLiteral("bin")); }

    // What the supervisor takes as the executable's directory.
    QString applicationDirectory() const { return m_root.filePath(QStringLiteral("bin")); }

    void install(VistagroveMonitor::vistagrovemonitor_target target, Behaviour behaviour)
    {
        static const char *const paths[] = {nullptr, "httpserveres/HTTPServerES", "bin/elasticsearch.sh",
                                            "vistagrove/bin/vistagrove"};
        const QString path = m_root.filePath(QLatin1String(paths[target]));
        QDir().mkpath(QFileInfo(path).path());
        const QByteArray log = "'" + m_root.filePath(QStringLiteral("launches.log")).toUtf8() + "'";
        QFile script(path);
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\n"); // replaces an earlier stand-in
        // Traps come before the launch is logged, so a logged launch has them.
        if (behaviour == Runs)
            script.write("trap 'echo \"$(basename \"$0\")|TERM\" >> " + log + "; exit 0' TERM\n");
        if (behaviour == IgnoresTerm)
            script.write("trap '' TERM\n");
        script.write("line=$(basename \"$0\")\nfor a in \"$@\"; do line=\"$line|$a\"; done\n");
        script.write("echo \"$line\" >> " + log + "\n");
        script.write(behaviour == ExitsSoon ? "sleep 0.3\n" : "while :; do sleep 0.05; done\n");
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void installAll(Behaviour behaviour)
    {
        for (auto t : {VistagroveMonitor::Target_HTTPServer, VistagroveMonitor::Target_ElasticSearch,
                       VistagroveMonitor::Target_Vistagrove})
            install(t, behaviour);
    }

    QStringList launches() const { return logLines().filter(QRegularExpression(QStringLiteral("^(?!.*\\|TERM$)"))); }
    QStringList terminations() const { return logLines().filter(QStringLiteral("|TERM")); }

private:
    QStringList logLines() const
    {
        QFile log(m_root.filePath(QStringLiteral("launches.log")));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir m_root;
};
