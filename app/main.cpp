// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Program entry of LumenQuill Manager.

#include "lumenquilldevice.h"
#include "mainwindow.h"
#include "vistagrovemonitor.h"
#include "statsthreadinfo.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    registerStatsThreadInfo();
    registerLumenquillDevice();
    registerVistagroveTypes();
    QApplication app(argc, argv);
    auto *window = new MainWindow;
    window->show();
    const int code = app.exec();
    delete window;
    return code;
}
