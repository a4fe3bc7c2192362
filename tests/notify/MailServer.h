#pragma once

#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

// The tests' SMTP server (tests/support/smtp_server.py) on 127.0.0.1 with
// a certificate made here; one connection, captured as JSON.
class MailServer
{
public:
    MailServer()
    {
        const auto made = testsupport::run(
            QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
             QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
             QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
             QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost"), QStringLiteral("-keyout"), path("key.pem"),
             QStringLiteral("-out"), path("cert.pem")});
        ok = made.exitCode == 0;
        QTcpServer probe; // a port nobody listens on until start()
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
    }
    ~MailServer() { stop(); }

    bool start(bool hang = false)
    {
        QFile::remove(path("port"));
        QFile::remove(path("session.json"));
        QStringList args{QStringLiteral(SMTP_SERVER), QStringLiteral("--cert"), path("cert.pem"), QStringLiteral("--key"),
                         path("key.pem"), QStringLiteral("--out"), path("session.json"), QStringLiteral("--port-file"),
                         path("port"), QStringLiteral("--port"), QString::number(port)};
        if (hang)
            args << QStringLiteral("--hang");
        server.start(QStringLiteral("python3"), args);
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && !QFileInfo::exists(path("port")))
            QThread::msleep(20);
        return QFileInfo::exists(path("port"));
    }
    void stop()
    {
        server.kill();
        server.waitForFinished();
    }
    // The session once the server is done with its connection.
    bool finished(int timeoutMs = 20000)
    {
        if (server.state() != QProcess::NotRunning)
            server.waitForFinished(timeoutMs);
        return server.state() == QProcess::NotRunning && QFileInfo::exists(path("session.json"));
    }
    // The mail as Python's parser reads it; the attachment written to `attachment`.
    QString parsed(const QString& attachment = {})
    {
        QStringList args{QStringLiteral(MAIL_PARTS), path("session.json")};
        if (!attachment.isEmpty())
            args << QStringLiteral("--attachment") << attachment;
        const auto r = testsupport::run(QStringLiteral("python3"), args);
        return QString::fromUtf8(r.out + r.err);
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    QProcess server;
    bool ok = false;
    quint16 port = 0;
};
