// SPDX-FileCopyrightText: 2026 LumenQuill Manager developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The device record crosses threads through queued connections unchanged.

#include "statsthreadinfo.h"

#include <QRandomGenerator>
#include <QTest>
#include <QThread>


namespace {

class Sender : public QObject {
    Q_OBJECT
signals:
    void carry(StatsThreadInfo info);
};

class Receiver : public QObject {
    Q_OBJECT
public:
    QList<QByteArray> received;
    QList<QThread *> threads;
public slots:
    void take(StatsThreadInfo info)
    {
        received.append(QByteArray(reinterpret_cast<const char *>(&info), sizeof info));
        threads.append(QThread::currentThread());
        emit echoed(info);
    }
signals:
    void echoed(StatsThreadInfo info);
};

StatsThreadInfo randomRecord(quint32 seed)
{
    StatsThreadInfo info;
    QRandomGenerator rng(seed);
    auto *bytes = reinterpret_cast<unsigned char *>(&info);
    for (std::size_t i = 0; i < sizeof info; ++i)
        bytes[i] = static_cast<unsigned char>(rng.bounded(256));
    return info;
}

} // namespace

class tst_StatsThreadInfo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { registerStatsThreadInfo(); }
    void registeredUnderItsName();
    void roundTripThroughQueuedConnections();
};

void tst_StatsThreadInfo::registeredUnderItsName()
{
    const QMetaType type = QMetaType::fromName("StatsThreadInfo");
    QVERIFY(type.isValid());
    QCOMPARE(type.sizeOf(), 4224);
}

void tst_StatsThreadInfo::roundTripThroughQueuedConnections()
{
    QThread worker;
    Receiver remote;
    remote.moveToThread(&worker);
    worker.start();

    Sender sender;
    Receiver back;
    connect(&sender, &Sender::carry, &remote, &Receiver::take, Qt::QueuedConnection);
    connect(&remote, &Receiver::echoed, &back, &Receiver::take, Qt::QueuedConnection);

    QList<QByteArray> sent;
    for (quint32 seed = 1; seed <= 5; ++seed) {
        const StatsThreadInfo info = randomRecord(seed);
        sent.append(QByteArray(reinterpret_cast<const char *>(&info), sizeof info));
        emit sender.carry(info);
    }
    // There and back again, in emission order, every byte intact.
    QTRY_COMPARE(back.received.size(), sent.size());
    worker.quit();
    worker.wait();
    QCOMPARE(remote.received, sent);
    QCOMPARE(back.received, sent);
    QVERIFY(remote.threads.first() == &worker);
    QVERIFY(back.threads.first() == QThread::currentThread());
}

QTEST_GUILESS_MAIN(tst_StatsThreadInfo)
#include "tst_statsthreadinfo.moc"
