// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Saving the window's tabs once the devices are in.

#include "windowsnapshots.h"

#include "devicecombobox.h"
#include "mainwindow.h"

#include <QApplication>
#include <QDateTime>
#include <QMessageBox>
#include <QTabWidget>

#include <cstdio>

WindowSnapshots::WindowSnapshots(MainWindow *window, const QString &folder, QObject *parent)
    : QObject(parent), m_window(window), m_folder(folder)
{
}

void WindowSnapshots::start()
{
    if (!m_folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "lumenquill-manager: cannot create %s\n", qPrintable(m_folder.path()));
        m_failed = true;
        QTimer::singleShot(0, this, &WindowSnapshots::finish);
        return;
    }
    // Questions such as a firmware offer would wait for an operator who is
    // not there; the pictures show the window as it monitors.
    connect(&m_decline, &QTimer::timeout, this, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->reject();
    });
    m_decline.start(50);
    m_started = QDateTime::currentMSecsSinceEpoch();
    connect(&m_watch, &QTimer::timeout, this, &WindowSnapshots::watch);
    m_watch.start(100);
}

void WindowSnapshots::watch()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const int count = m_window->deviceSelector()->count();
    if (count != m_lastCount) {
        m_lastCount = count;
        m_stableSince = now;
        return;
    }
    const bool settled = count > 0 && now - m_stableSince >= kSettleMs;
    if (!settled && now - m_started < kGiveUpMs)
        return;
    m_watch.stop();
    std::printf("lumenquill-manager: %d devices\n", count);
    for (int i = 0; i < count; ++i)
        std::printf("  %s\n", qPrintable(m_window->deviceSelector()->itemText(i)));
    std::fflush(stdout);
    if (count == 0) {
        // The empty window is worth a look too: it says why.
        snapDevice(-1);
        return;
    }
    m_window->deviceSelector()->setCurrentIndex(0);
    QTimer::singleShot(kFillMs, this, [this] { snapDevice(0); });
}

void WindowSnapshots::snapDevice(int index)
{
    auto *tabs = m_window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    const int device = qMax(index, 0);
    for (int t = 0; tabs && t < tabs->count(); ++t) {
        tabs->setCurrentIndex(t);
        QCoreApplication::processEvents();
        const QString name =
            m_folder.filePath(QStringLiteral("%1-%2.png").arg(device).arg(tabs->tabText(t).replace(' ', '_')));
        if (m_window->grab().save(name)) {
            m_written << name;
        } else {
            std::fprintf(stderr, "lumenquill-manager: cannot write %s\n", qPrintable(name));
            m_failed = true;
        }
    }
    const int next = index + 1;
    if (index >= 0 && next < m_window->deviceSelector()->count()) {
        m_window->deviceSelector()->setCurrentIndex(next);
        QTimer::singleShot(kFillMs, this, [this, next] { snapDevice(next); });
        return;
    }
    finish();
}

void WindowSnapshots::finish()
{
    for (const QString &name : std::as_const(m_written))
        std::printf("%s\n", qPrintable(name));
    std::fflush(stdout);
    m_decline.stop();
    m_window->close();
    QCoreApplication::exit(m_failed ? 1 : 0);
}
