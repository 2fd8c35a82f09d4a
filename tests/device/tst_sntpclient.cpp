// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The SNTP client and the worker's clock set that uses it: decoding, a real
// time server (a chronyd of our own on 127.0.0.1:123), and a scripted one that
// chooses how far past the second each reply lies.

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

// Answers request n with the n-th fraction of its script (the last one
// repeats); with an empty script it never answers.
class ScriptedTimeServer : public QObject {
public:
    explicit ScriptedTimeServer(QList<double> script) : m_script(std::move(script))
    {
        connect(&m_socket, &QUdpSocket::readyRead, this, [this] {
            while (m_socket.hasPendingDatagrams()) {
                const QNetworkDatagram request = m_socket.receiveDatagram();
                requests.append(request.data());
                if (m_script.isEmpty())
                    continue;
                QByteArray reply(48, '\0');
                reply[0] = 0x1c; // server mode
                qToBigEndian(kServerNtpSeconds, reply.data() + 40);
                qToBigEndian(uint32_t(m_script.value(requests.size() - 1, m_script.last()) * 4294967296.0),
                             reply.data() + 44);
                m_socket.writeDatagram(request.makeReply(reply));
            }
        });
    }
    bool listen() { return m_socket.bind(QHostAddress::LocalHost, 123); }

    QList<QByteArray> requests;

private:
    QUdpSocket m_socket;
    QList<double> m_script;
};

} // namespace

class tst_SntpClient : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerStatsThreadInfo(); }
    void decodesTransmitTime_data();
    void decodesTransmitTime();
    void localChronydAnswers();
    void silentServerTimesOut();
    void clockSet_data();
    void clockSet();
};

void tst_SntpClient::decodesTransmitTime_data()
{
    QTest::addColumn<uint>("ntpSeconds");
    QTest::addColumn<uint>("fraction");
    QTest::addColumn<int>("length");
    QTest::addColumn<uint>("unixSeconds");
    QTest::addColumn<int>("nanoseconds");
    QTest::newRow("1970") << 2208988800u << 0u << 48 << 0u << 0;
    QTest::newRow("2024") << 3913056000u << 0u << 48 << 1704067200u << 0;
    QTest::newRow("half second") << 3913056000u << 0x80000000u << 48 << 1704067200u << 500000000;
    QTest::newRow("quarter second") << 3913056000u << 0x40000000u << 48 << 1704067200u << 250000000;
    QTest::newRow("before 1970 wraps") << 0u << 0u << 48 << 2085978496u << 0;
    QTest::newRow("short reply lacks the fraction") << 3913056000u << 0x80000000u << 44 << 1704067200u << 0;
    QTest::newRow("empty reply") << 3913056000u << 0x80000000u << 0 << 2085978496u << 0;
}

void tst_SntpClient::decodesTransmitTime()
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

void tst_SntpClient::localChronydAnswers()
{
    QString chronyd = QStandardPaths::findExecutable(QStringLiteral("chronyd"));
    if (chronyd.isEmpty())
        chronyd = QStandardPaths::findExecutable(QStringLiteral("chronyd"), {"/usr/sbin", "/sbin"});
    QVERIFY2(!chronyd.isEmpty(), "chronyd is missing: install the chrony package (scripts/bootstrap)");

    // Serves its own clock to the loopback interface only, never touches the
    // system clock (-x) and keeps every file in a throwaway directory.
    QTemporaryDir dir;
    QFile conf(dir.filePath("chrony.conf"));
    QVERIFY(dir.isValid() && conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral("port 123\nbindaddress 127.0.0.1\nlocal stratum 8\nallow 127.0.0.1\ncmdport 0\n"
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
}

void tst_SntpClient::silentServerTimesOut()
{
    ScriptedTimeServer server({});
    QVERIFY(server.listen());
    uint32_t seconds = 0;
    int32_t nanoseconds = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(sntpQuery("127.0.0.1", &seconds, &nanoseconds), kSntpTimeout);
    QVERIFY2(elapsed.elapsed() >= 195 && elapsed.elapsed() < 400, qPrintable(QString::number(elapsed.elapsed())));
    // A name with no IPv4 address is refused before anything is sent.
    QCOMPARE(sntpQuery("::1", &seconds, &nanoseconds), EAI_ADDRFAMILY);
    QTest::qWait(50);
    QCOMPARE(server.requests.size(), 1);
}

void tst_SntpClient::clockSet_data()
{
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

void tst_SntpClient::clockSet()
{
    QFETCH(uint, source);
    QFETCH(QList<double>, script);
    QFETCH(int, leastMs);
    QFETCH(bool, set);
    ScriptedTimeServer server(script);
    QVERIFY2(server.listen(), "cannot bind 127.0.0.1:123");

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
    QVERIFY2(elapsed.elapsed() >= leastMs - 20 && elapsed.elapsed() < leastMs + 1500,
             qPrintable(QString::number(elapsed.elapsed())));

    QTEST(int(server.requests.size()), "queries");
    QByteArray expectedRequest(48, '\0');
    expectedRequest[0] = char(0xdb);
    expectedRequest[2] = 10;
    for (const QByteArray &r : std::as_const(server.requests))
        QCOMPARE(r, expectedRequest);
    QCOMPARE(lqsim_call_count("LumenquillAPISetTimingTime"), uint64_t(set ? 1 : 0));
    QCOMPARE(probe.sntpFailures, set ? QStringList() : QStringList{"Failed to get time from SNTP server"});
    TimingTimeSet seen{};
    if (set && source == LQ_TIME_SOURCE_SNTP) {
        QCOMPARE(lqsim_last_timing_time("02:4c:51:00:00:01", &seen), 0);
        QCOMPARE(seen.seconds, 1704067200u);
        QCOMPARE(seen.secondsAgain, 1704067200u);
    }
}

QTEST_GUILESS_MAIN(tst_SntpClient)
#include "tst_sntpclient.moc"
