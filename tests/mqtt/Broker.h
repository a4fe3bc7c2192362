#pragma once

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <unistd.h>

// Debian's mosquitto broker on a free port of 127.0.0.1, and a subscriber of
// the test's own (mosquitto_sub) that writes "retained topic payload" lines.
class Broker
{
public:
    Broker()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
        probe.close();
        // Run as root, the broker would become the user "mosquitto", who cannot write here.
        const QString user = ::getuid() == 0 ? QStringLiteral("user root\n") : QString();
        testsupport::writeFile(dir.filePath(QStringLiteral("broker.conf")),
                               (QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                                               "persistence_location %2/\n").arg(port).arg(dir.path()) + user).toUtf8());
    }
    ~Broker()
    {
        for (QProcess* p : {&subscriber, &broker}) {
            p->kill();
            p->waitForFinished();
        }
    }
    bool start()
    {
        broker.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), dir.filePath(QStringLiteral("broker.conf"))});
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, port);
            if (socket.waitForConnected(200))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    // As a service stops: the sessions of subscribers are kept for its next start.
    void stop()
    {
        broker.terminate();
        broker.waitForFinished();
    }
    void unsubscribe()
    {
        subscriber.kill();
        subscriber.waitForFinished();
    }
    // Subscribes (a lasting session: what comes while it is away waits for
    // it) and returns once a message of its own came through.
    bool subscribe()
    {
        subscriber.start(QStringLiteral("mosquitto_sub"),
                         {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                          QStringLiteral("-t"), QStringLiteral("velmora/#"), QStringLiteral("-t"), QStringLiteral("homeassistant/#"),
                          QStringLiteral("-t"), QStringLiteral("probe"), QStringLiteral("-F"), QStringLiteral("%r %t %p"),
                          QStringLiteral("-c"), QStringLiteral("-i"), QStringLiteral("test-subscriber"), QStringLiteral("-q"),
                          QStringLiteral("1")});
        for (int i = 0; i < 50; ++i) {
            publish(QStringLiteral("probe"), "ready");
            if (waitFor(QStringLiteral("0 probe ready"), 300))
                return true;
        }
        return false;
    }
    void publish(const QString& topic, const QByteArray& payload)
    {
        testsupport::run(QStringLiteral("mosquitto_pub"), {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                                                           QString::number(port), QStringLiteral("-t"), topic,
                                                           QStringLiteral("-m"), QString::fromUtf8(payload)});
    }
    // The subscriber's lines so far.
    QStringList lines()
    {
        received += subscriber.readAllStandardOutput();
        return QString::fromUtf8(received).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    bool waitFor(const QString& line, int timeoutMs = 30000)
    {
        QDeadlineTimer deadline(timeoutMs);
        do {
            if (lines().contains(line))
                return true;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            subscriber.waitForReadyRead(20);
        } while (!deadline.hasExpired());
        return lines().contains(line);
    }

    QTemporaryDir dir;
    QProcess broker;
    QProcess subscriber;
    QByteArray received;
    quint16 port = 0;
};
