// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Developer tool: runs the manager offscreen against the simulated devices,
// lets minutes of simulated traffic pass in seconds, and saves every shown
// tab of every device as a PNG, so the look of the window can be checked
// without a display.
//
//   lq-screenshots <output folder> [simulated seconds, default 130]

#include "devicecombobox.h"
#include "firmwarecatalog.h"
#include "lqsim.h"
#include "mainwindow.h"
#include "statsthread.h"
#include "unattendedrun.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace {

// One simulated second: the device clock, the window's clock, one poll.
void tick(MainWindow &window, int &answered)
{
    lqsim_advance_clock(1000);
    window.monitorClock()->advance(1000);
    const int before = answered;
    QMetaObject::invokeMethod(&window, "updateStats");
    QElapsedTimer waited;
    waited.start();
    while (answered == before && waited.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The pictures show the build's demo catalog and default names, whatever
    // the developer's own settings and catalog say.
    UnattendedRun unattended(QStringLiteral(LQ_DEMO_CATALOG_DIR));
    registerStatsThreadInfo();
    registerLumenquillDevice();
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [simulated seconds]\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.absolutePath());
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 130;

    // Questions such as the firmware offer are declined: the pictures show
    // the window as it monitors.
    unattended.declineModalBoxes(true);

    lqsim_use_manual_clock(0);
    MainWindow window;
    window.findChild<QTimer *>(QStringLiteral("pollTimer"))->stop();
    window.monitorClock()->setManual(QDateTime::currentDateTime());
    window.resize(1280, 900);
    window.show();
    int answered = 0;
    QObject::connect(
        window.worker(), &StatsThread::signal_status, &window, [&answered] { ++answered; }, Qt::QueuedConnection);
    lqsim_advance_clock(0);
    QElapsedTimer arrival;
    arrival.start();
    while (window.deviceSelector()->count() < lqsim_device_count() && arrival.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    const QDir scratch(unattended.scratchPath());
    for (int device = 0; device < window.deviceSelector()->count(); ++device) {
        window.deviceSelector()->setCurrentIndex(device);
        // A capture runs on every device that can capture, into a scratch
        // folder, so the Capture tab shows its figures moving.
        tick(window, answered);
        auto *start = window.findChild<QPushButton *>(QStringLiteral("capture_start_btn"));
        if (start && start->isEnabled()) {
            window.findChild<QLineEdit *>(QStringLiteral("capture_filename"))
                ->setText(scratch.filePath(QStringLiteral("device%1.pcapng").arg(device)));
            start->click();
        }
        for (int s = 0; s < seconds; ++s)
            tick(window, answered);
        for (int t = 0; t < tabs->count(); ++t) {
            tabs->setCurrentIndex(t);
            QCoreApplication::processEvents();
            const QString name = QStringLiteral("%1-%2.png").arg(device).arg(tabs->tabText(t).replace(' ', '_'));
            window.grab().save(out.filePath(name));
            std::printf("%s\n", qPrintable(out.filePath(name)));
        }
        // The SFP detail dialogs of Port A, as they open from the SFP tab.
        auto *sfp = window.findChild<QWidget *>(QStringLiteral("sfpDisp"));
        if (tabs->indexOf(window.findChild<QWidget *>(QStringLiteral("tab_2"))) >= 0) {
            for (const char *slot : {"slot_ShowTransceiverA", "slot_ShowOptionsA"}) {
                QMetaObject::invokeMethod(sfp, slot);
                QCoreApplication::processEvents();
                for (QWidget *w : QApplication::topLevelWidgets()) {
                    if (w != &window && w->isVisible() && w->inherits("QDialog")) {
                        const QString name = QStringLiteral("%1-%2.png").arg(device).arg(QLatin1String(slot));
                        w->grab().save(out.filePath(name));
                        std::printf("%s\n", qPrintable(out.filePath(name)));
                        w->close();
                    }
                }
            }
        }
    }
    // The Features tab while the selected device takes the catalog's image.
    FirmwareCatalog catalog;
    loadFirmwareCatalog(catalog, defaultCatalogPath());
    const FirmwareCatalogEntry entry = catalogEntryFor(catalog, qint32(window.currentType()));
    if (!entry.path.isEmpty()) {
        // As the operator does it: the image in the file field, then Flash.
        window.findChild<QLineEdit *>(QStringLiteral("features_firmware_file"))->setText(entry.path);
        window.findChild<QPushButton *>(QStringLiteral("features_flash_btn"))->click();
        for (int s = 0; s < 4; ++s) {
            lqsim_advance_clock(1000);
            QElapsedTimer second;
            second.start();
            while (second.elapsed() < 1100)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        for (int t = 0; t < tabs->count(); ++t) {
            if (tabs->tabText(t) == QLatin1String("Features"))
                tabs->setCurrentIndex(t);
        }
        QCoreApplication::processEvents();
        const QString name = out.filePath(QStringLiteral("firmware-update.png"));
        window.grab().save(name);
        std::printf("%s\n", qPrintable(name));
    }
    return 0;
}
