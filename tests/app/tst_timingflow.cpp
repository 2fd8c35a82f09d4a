// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Timing tab against a simulated GPS device on the manual clock: the fix
// bullet goes red, yellow, green as the receiver acquires its fix, and
// "set time from GPS" changes the time source the device reports.

#include "lqsim.h"
#include "mainwindow.h"
#include "workerprobe.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
const char *const kMac = "02:4c:51:00:07:01";

QString colourOf(const QLabel *bullet)
{
    const QImage shown = bullet->pixmap().toImage();
    for (const char *colour : {"red", "yellow", "green", "grey"}) {
        if (shown == QPixmap(QStringLiteral(":/gps/%1.png").arg(QLatin1String(colour))).toImage())
            return QLatin1String(colour);
    }
    return QStringLiteral("?");
}
} // namespace

class tst_TimingFlow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerStatsThreadInfo();
        registerLumenquillDevice();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Hollerby", "LumenquillManager").clear();
    }

    void fixAcquiredAndClockSetFromGps()
    {
        // The device's clock follows the simulator clock as it read at power-up.
        lqsim_use_manual_clock(1764892800000ull);
        QCOMPARE(lqsim_load_scenario_text((QByteArray(R"({"devices":[{"type":10,"mac":")") + kMac + "\"}]}").constData()), 0);
        MainWindow window;
        window.findChild<QTimer *>(QStringLiteral("pollTimer"))->stop();
        WorkerProbe probe(window.worker());
        lqsim_advance_clock(0);
        QTRY_COMPARE(window.currentHandle(), lqsim_handle_of(kMac));
        auto *fix = window.findChild<QLabel *>(QStringLiteral("GPSFixBullet"));
        auto *source = window.findChild<QLabel *>(QStringLiteral("TimingTimeSource"));

        auto poll = [&] {
            const auto before = probe.status.size();
            lqsim_advance_clock(1000);
            QMetaObject::invokeMethod(&window, "updateStats");
            QTRY_COMPARE(probe.status.size(), before + 1);
        };
        QStringList colours;
        auto note = [&] {
            if (colours.isEmpty() || colours.last() != colourOf(fix))
                colours << colourOf(fix);
        };
        for (int s = 0; s < 10; ++s) {
            poll();
            note();
        }
        QVERIFY2(source->text().isEmpty(), qPrintable(source->text()));

        window.findChild<QPushButton *>(QStringLiteral("TimingSetGPSTime"))->click();
        TimingTimeSet set{};
        QTRY_COMPARE(lqsim_last_timing_time(kMac, &set), 0);
        poll();
        QCOMPARE(source->text(), QStringLiteral("GPS"));

        for (int s = 0; s < 60 && colourOf(fix) != QLatin1String("green"); ++s) {
            poll();
            note();
        }
        QCOMPARE(colours, (QStringList{"red", "yellow", "green"}));
    }
};

QTEST_MAIN(tst_TimingFlow)
#include "tst_timingflow.moc"
