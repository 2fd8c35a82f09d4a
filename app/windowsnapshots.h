// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// `lumenquill-manager --screenshots <folder>`: once the devices have been
// announced, saves every shown tab of every device as a PNG, names the devices
// on standard output and quits. It lets an installed manager prove, without a
// display or a test harness, that its window comes up with the devices the
// library reports, and gives pictures of it.

#pragma once

#include <QDir>
#include <QObject>
#include <QStringList>
#include <QTimer>

class MainWindow;

class WindowSnapshots : public QObject {
    Q_OBJECT
public:
    WindowSnapshots(MainWindow *window, const QString &folder, QObject *parent = nullptr);

    // Starts watching the selector; the application quits when done, with
    // exit code 0 when every picture was written.
    void start();

    // How long the device list must stay the same before it counts as
    // complete, and how long to wait at most for a first device.
    static constexpr int kSettleMs = 2000;
    static constexpr int kGiveUpMs = 20000;
    // Time for one poll to fill the tabs of a newly selected device.
    static constexpr int kFillMs = 2500;

private:
    void watch();
    void snapDevice(int index);
    void finish();

    MainWindow *m_window = nullptr;
    QDir m_folder;
    QTimer m_watch;
    QTimer m_decline;
    int m_lastCount = -1;
    qint64 m_stableSince = 0;
    qint64 m_started = 0;
    bool m_failed = false;
    QStringList m_written;
};
