// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The Timing tab against a simulated GPS device on the manual clock: the fix
// bullet goes red, yellow, green as the receiver acquires its fix, and
// "set time from GPS" changes the time source the device reports.

#include "windowharness.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>


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
    void initTestCase() { WindowHarness::prepare(); }

    void fixAcquiredAndClockSetFromGps()
    {
        WindowHarness h;
        QVERIFY(h.open(kMac, QByteArray(R"({"type":10,"mac":")") + kMac + "\"}"));
        auto *fix = h.child<QLabel>("GPSFixBullet");
        auto *source = h.child<QLabel>("TimingTimeSource");
        QStringList colours;
        auto note = [&] {
            if (colours.isEmpty() || colours.last() != colourOf(fix))
                colours << colourOf(fix);
        };
        for (int s = 0; s < 10; ++s) {
            h.poll();
            note();
        }
        QVERIFY2(source->text().isEmpty(), qPrintable(source->text()));

        h.child<QPushButton>("TimingSetGPSTime")->click();
        TimingTimeSet set{};
        QTRY_COMPARE(lqsim_last_timing_time(kMac, &set), 0);
        h.poll();
        QCOMPARE(source->text(), QStringLiteral("GPS"));

        for (int s = 0; s < 60 && colourOf(fix) != QLatin1String("green"); ++s) {
            h.poll();
            note();
        }
        QCOMPARE(colours, (QStringList{"red", "yellow", "green"}));
    }
};

QTEST_MAIN(tst_TimingFlow)
#include "tst_timingflow.moc"
