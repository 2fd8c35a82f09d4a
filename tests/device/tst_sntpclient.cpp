// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The SNTP client and the worker's clock set: decoding, a real time server (our
// own chronyd on 127.0.0.1:123), and a scripted one that answers late, too early
// in the second or not at all.

#include "lqsim.h"
#include "statsthread.h"
#include "workerprobe.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

#include <netdb.h>
#include <pwd.h>
#include <unistd.h>

namespace {
constexpr uint32_t kServerNtpSeconds = 3913056000u; // 2024-01-01 00:00:00 UTC

// Why 127.0.0.1:123 cannot be had, or empty when it can. Below 1024 only root may
// bind; CI runs as root, so there a refusal is a fault to report, not to skip.
QString ntpPortProblem()
{
    QUdpSocket probe;
    if (probe.bind(QHostAddress::LocalHost, 123))
        return {};
    return QStringLiteral("cannot bind 127.0.0.1:123 for a time server (%1); run as root "
                          "(or lower net.ipv4.ip_unprivileged_port_start)")
        .arg(probe.errorString());
}
} // namespace

class tst_SntpClient : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerStatsThreadInfo(); }

    void decodesTransmitTime_data()
    {
        QTest::addColumn<uint>("ntpSeconds");
        QTest::addColumn<uint>("fraction");
        QTest::addColumn<int>("length");
        QTest::addColumn<uint>("unixSeconds");
        QTest::addColumn<int>("nanoseconds");
        QTest::newRow("1970") << 2208988800u << 0u << 48 << 0u << 0;
        QTest::newRow("half second") << kServerNtpSeconds << 0x80000000u << 48 << 1704067200u << 500000000;
        QTest::newRow("before 1970 wraps") << 0u << 0u << 48 << 2085978496u << 0;
        QTest::newRow("short reply lacks the fraction") << kServerNtpSeconds << 0x80000000u << 44 << 1704067200u << 0;
        QTest::newRow("last fraction stays in its second")
            << kServerNtpSeconds << 0xffffffffu << 48 << 1704067200u << 999999940;
        QTest::newRow("empty reply") << kServerNtpSeconds << 0x80000000u << 0 << 2085978496u << 0;
    }

    void decodesTransmitTime()
    {
        QFETCH(uint, ntpSeconds);
        QFETCH(uint, fraction);
        QFETCH(int, length);
        uint8_t reply[kSntpPacketBytes] = {0x1c, 2};
        qToBigEndian(uint32_t(ntpSeconds), reply + 40);
        qToBigEndian(uint32_t(fraction), reply + 44);
        const SntpTime time = sntpDecodeReply(reply, std::size_t(length));
        QTEST(uint(time.seconds), "unixSeconds");
        QTEST(int(time.nanoseconds), "nanoseconds");
    }

    void localChronydAnswers()
    {
        // chronyd stops at once without root ("Not superuser"), whatever the port. CI
        // runs as root, where it must run.
        if (geteuid() != 0)
            QSKIP("chronyd runs only as root; run as root to serve time on 127.0.0.1:123");
        QString chronyd = QStandardPaths::findExecutable("chronyd");
        if (chronyd.isEmpty())
            chronyd = QStandardPaths::findExecutable("chronyd", {"/usr/sbin", "/sbin"});
        QVERIFY2(!chronyd.isEmpty(), "chronyd is missing: install the chrony package (scripts/bootstrap)");

        // Serves its own clock to loopback only, never touches the system clock
        // (-x) and keeps every file in a throwaway directory.
        QTemporaryDir dir;
        QFile conf(dir.filePath("chrony.conf"));
        QVERIFY(dir.isValid() && conf.open(QIODevice::WriteOnly));
        conf.write(QString("port 123\nbindaddress 127.0.0.1\nlocal stratum 8\nallow 127.0.0.1\ncmdport 0\n"
                           "bindcmdaddress /\npidfile %1\ndriftfile %2\n")
                       .arg(dir.filePath("chronyd.pid"), dir.filePath("chrony.drift"))
                       .toUtf8());
        conf.close();
        QProcess server;
        server.setProcessChannelMode(QProcess::MergedChannels);
        server.start(chronyd,
                     {"-d", "-x", "-u", QString::fromLocal8Bit(getpwuid(geteuid())->pw_name), "-f", conf.fileName()});
        const auto stop = qScopeGuard([&server] {
            server.kill();
            server.waitForFinished();
        });
        QVERIFY2(server.waitForStarted(), qPrintable(server.errorString()));

        uint32_t seconds = 0;
        int32_t nanoseconds = 0;
        int status = -1;
        for (int i = 0; i < 50 && status != 0 && server.state() == QProcess::Running; ++i) {
            if ((status = sntpQuery("127.0.0.1", &seconds, &nanoseconds)) != 0)
                QTest::qWait(100);
        }
        QVERIFY2(status == 0, server.readAll().constData());
        QVERIFY(nanoseconds >= 0 && nanoseconds < 1000000000);
        const qint64 served = qint64(seconds) * 1000 + nanoseconds / 1000000;
        QVERIFY2(qAbs(served - QDateTime::currentMSecsSinceEpoch()) < 1000,
                 qPrintable(QDateTime::fromMSecsSinceEpoch(served).toString(Qt::ISODateWithMs)));
        // A name with no IPv4 address is refused.
        QCOMPARE(sntpQuery("::1", &seconds, &nanoseconds), EAI_ADDRFAMILY);
    }

    void clockSet_data()
    {
        // Without root the scripted server may not get its port; as root a refused
        // bind is a fault, and the test's own bind reports it.
        if (const QString problem = ntpPortProblem(); !problem.isEmpty() && geteuid() != 0)
            QSKIP(qPrintable(problem));
        QTest::addColumn<uint>("source");
        QTest::addColumn<QList<double>>("script");
        QTest::addColumn<int>("queries");
        QTest::addColumn<bool>("set");
        QTest::addColumn<int>("leastMs"); // the time-outs and pauses the script forces
        QTest::newRow("GPS goes straight to the device") << 2u << QList<double>{0.5} << 0 << true << 0;
        QTest::newRow("0.5 s past the second at once") << 5u << QList<double>{0.5} << 1 << true << 0;
        QTest::newRow("0.1 s rejected, then 0.5 s") << 5u << QList<double>{0.1, 0.5} << 2 << true << 100;
        QTest::newRow("0.8 s rejected, then 0.3 s") << 5u << QList<double>{0.8, 0.3} << 2 << true << 100;
        QTest::newRow("always 0.1 s: ten attempts") << 5u << QList<double>{0.1} << 10 << false << 1000;
        QTest::newRow("no answer: ten time-outs") << 5u << QList<double>{} << 10 << false << 3000;
    }

    void clockSet()
    {
        QFETCH(uint, source);
        QFETCH(QList<double>, script);
        QFETCH(int, queries);
        QFETCH(int, leastMs);
        QFETCH(bool, set);
        // Answers request n with the n-th fraction of the script (the last one
        // repeats); with an empty script it never answers.
        QUdpSocket server;
        QList<QByteArray> requests;
        QVERIFY2(server.bind(QHostAddress::LocalHost, 123), "cannot bind 127.0.0.1:123");
        connect(&server, &QUdpSocket::readyRead, this, [&] {
            while (server.hasPendingDatagrams()) {
                const QNetworkDatagram request = server.receiveDatagram();
                requests.append(request.data());
                if (script.isEmpty())
                    continue;
                QByteArray reply = QByteArray::fromHex("1c") + QByteArray(47, '\0'); // server mode
                qToBigEndian(kServerNtpSeconds, reply.data() + 40);
                const double fraction = script.value(requests.size() - 1, script.last());
                qToBigEndian(uint32_t(fraction * 4294967296.0), reply.data() + 44);
                server.writeDatagram(request.makeReply(reply));
            }
        });
        const char *mac = "02:4c:51:00:00:01";
        lqsim_use_manual_clock(1764892800000ull);
        QCOMPARE(lqsim_load_scenario_text(R"({"devices":[{"type":10,"mac":"02:4c:51:00:00:01"}]})"), 0);
        StatsThread worker;
        worker.setSntpServer("127.0.0.1");
        WorkerProbe probe(&worker);
        worker.startLibrary();
        lqsim_advance_clock(0);
        QTRY_COMPARE(probe.added.size(), 1);
        lqsim_reset_call_counts();

        StatsThreadInfo request = makeRequest(probe.added.first().handle);
        request.timingTimeSet.source = source;
        QElapsedTimer elapsed;
        elapsed.start();
        probe.request("slot_timing_resync", request);
        QVERIFY(probe.drain(request.handle));
        // Each attempt waits up to 200 ms for its answer, then 100 ms after a miss.
        QVERIFY2(elapsed.elapsed() >= leastMs - 20 && elapsed.elapsed() < leastMs + 1500,
                 qPrintable(QString::number(elapsed.elapsed())));

        const QByteArray expected = QByteArray::fromHex("db000a") + QByteArray(45, '\0'); // client, version 3
        QCOMPARE(requests, QList<QByteArray>(queries, expected));
        QCOMPARE(lqsim_call_count("LumenquillAPISetTimingTime"), uint64_t(set ? 1 : 0));
        QCOMPARE(probe.sntpFailures, set ? QStringList() : QStringList{"Failed to get time from SNTP server"});
        TimingTimeSet seen{};
        QCOMPARE(lqsim_last_timing_time(mac, &seen), set ? 0 : -1);
        QCOMPARE(seen.source, set ? source : 0u);
        if (set && source == LQ_TIME_SOURCE_SNTP)
            QCOMPARE(seen.seconds, 1704067200u);
        QCOMPARE(seen.secondsAgain, seen.seconds);
    }
};

QTEST_GUILESS_MAIN(tst_SntpClient)
#include "tst_sntpclient.moc"
