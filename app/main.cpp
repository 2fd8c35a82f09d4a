// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Program entry of LumenQuill Manager.

#include "lumenquilldevice.h"
#include "mainwindow.h"
#include "statsthreadinfo.h"
#include "vistagrovemonitor.h"
#include "windowsnapshots.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    registerStatsThreadInfo();
    registerLumenquillDevice();
    registerVistagroveTypes();
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(LQ_VERSION));
    // Ties the window to its desktop entry, so that docks and Wayland
    // compositors show the installed icon and name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.lumenquill.Manager"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Monitors, configures and updates LumenQuill network taps."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption screenshots(
        QStringLiteral("screenshots"),
        QStringLiteral("Once the devices are in, save every tab of every device as a PNG into <folder>, "
                       "list the devices on standard output and quit."),
        QStringLiteral("folder"));
    parser.addOption(screenshots);
    parser.process(app);

    auto *window = new MainWindow;
    window->show();
    WindowSnapshots snapshots(window, parser.value(screenshots));
    if (parser.isSet(screenshots))
        snapshots.start();
    const int code = app.exec();
    delete window;
    return code;
}
