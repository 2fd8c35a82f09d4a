// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Benchmarks and developer tools run the main window with nobody at the
// screen. They must give the same figures and pictures on every machine and
// must never wait for an answer: a settings store of their own, a firmware
// catalog they choose, and any modal box that still comes up is declined.

#pragma once

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

class UnattendedRun {
public:
    // Before the QApplication exists: the settings store and the catalog
    // folder are read from the environment. An empty `catalogDir` means no
    // catalog, so no device is offered an update on arrival.
    explicit UnattendedRun(const QString &catalogDir = {})
    {
        const QString home = m_scratch.path();
        QDir(home).mkpath(QStringLiteral(".config"));
        QDir(home).mkpath(QStringLiteral("no-catalog"));
        qputenv("HOME", QFile::encodeName(home));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home));
        qputenv("LUMENQUILL_FIRMWARE_DIR",
                QFile::encodeName(catalogDir.isEmpty() ? home + QStringLiteral("/no-catalog") : catalogDir));
    }
    UnattendedRun(const UnattendedRun &) = delete;
    UnattendedRun &operator=(const UnattendedRun &) = delete;

    bool isValid() const { return m_scratch.isValid(); }
    // A scratch folder that goes away with the run.
    QString scratchPath() const { return m_scratch.path(); }

    // Once the QApplication runs: a modal box nobody expected is declined
    // and named on standard error (a benchmark that met one measured
    // something else than it meant to). `expected` boxes are declined
    // silently.
    void declineModalBoxes(bool expected = false)
    {
        m_expected = expected;
        // Owned by the application, so that it stops before the event loop goes.
        auto *decline = new QTimer(qApp);
        QObject::connect(decline, &QTimer::timeout, [this] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            ++m_declined;
            if (!m_expected) {
                const auto *box = qobject_cast<QMessageBox *>(dialog);
                std::fprintf(stderr, "declined an unexpected modal box: %s: %s\n", qPrintable(dialog->windowTitle()),
                             box ? qPrintable(box->text()) : "");
            }
            dialog->reject();
        });
        decline->start(20);
    }
    int declined() const { return m_declined; }

private:
    QTemporaryDir m_scratch;
    bool m_expected = false;
    int m_declined = 0;
};
