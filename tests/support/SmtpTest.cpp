// Mail over SMTP against a small server on 127.0.0.1 that speaks TLS with a
// certificate made here and trusted only by this test.
#include "TestSupport.h"

#include "support/SmtpMail.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class Smtp : public testing::Test
{
protected:
    void SetUp() override
    {
        const auto made = testsupport::run(
            QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
             QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
             QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
             QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost"), QStringLiteral("-keyout"), path("key.pem"),
             QStringLiteral("-out"), path("cert.pem")});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    }
    void TearDown() override
    {
        server.kill();
        server.waitForFinished();
    }
    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }

    // The server's port, 0 when it did not start.
    int startServer(const QStringList& extra = {})
    {
        server.start(QStringLiteral("python3"),
                     QStringList{QStringLiteral(SMTP_SERVER), QStringLiteral("--cert"), path("cert.pem"),
                                 QStringLiteral("--key"), path("key.pem"), QStringLiteral("--out"), path("session.json"),
                                 QStringLiteral("--port-file"), path("port")}
                         + extra);
        QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && !QFileInfo::exists(path("port")))
            QThread::msleep(20);
        return testsupport::readFile(path("port")).toInt();
    }
    QJsonObject session()
    {
        server.waitForFinished(20000);
        return QJsonDocument::fromJson(testsupport::readFile(path("session.json"))).object();
    }
    SmtpMessage message()
    {
        testsupport::writeFile(path("Events.log"), "New session\n");
        return {QStringLiteral("ann@example.org"), QStringLiteral("Ann Dupré"), QStringLiteral("ann@example.org"),
                QStringLiteral("help@example.org"), QStringLiteral("VLM v2.5.3 support"),
                QStringLiteral("No rings since Monday."), {path("Events.log")}};
    }

    QTemporaryDir dir;
    QProcess server;
};

TEST_F(Smtp, SendsOverStartTlsWithTheLoginAndTheAttachments)
{
    const int port = startServer();
    ASSERT_GT(port, 0);
    QString error;
    const SmtpEndpoint to{QStringLiteral("127.0.0.1"), port, QStringLiteral("ann"), path("cert.pem")};
    ASSERT_TRUE(SmtpMail::send(to, QStringLiteral("pa55"), message(), &error)) << error.toStdString();
    const QJsonObject got = session();
    EXPECT_TRUE(got[QStringLiteral("tls")].toBool());
    EXPECT_EQ(got[QStringLiteral("user")].toString(), QStringLiteral("ann"));
    EXPECT_EQ(got[QStringLiteral("password")].toString(), QStringLiteral("pa55"));
    EXPECT_EQ(got[QStringLiteral("from")].toString(), QStringLiteral("<ann@example.org>"));
    const QString data = got[QStringLiteral("data")].toString();
    EXPECT_TRUE(data.contains(QLatin1String("Subject: VLM v2.5.3 support")));
    EXPECT_TRUE(data.contains(QLatin1String("Reply-To: <ann@example.org>")));
    EXPECT_TRUE(data.contains(QLatin1String("From: =?UTF-8?B?")));
    EXPECT_TRUE(data.contains(QLatin1String("No rings since Monday.")));
    EXPECT_TRUE(data.contains(QLatin1String("filename=\"Events.log\"")));
    EXPECT_TRUE(data.contains(QLatin1String("TmV3IHNlc3Npb24K"))) << "the attachment, base64";
}

TEST_F(Smtp, NothingIsSentWithoutTlsOrToAnUntrustedServer)
{
    int port = startServer({QStringLiteral("--no-starttls")});
    ASSERT_GT(port, 0);
    QString error;
    EXPECT_FALSE(SmtpMail::send({QStringLiteral("127.0.0.1"), port, QString(), path("cert.pem")}, QString(), message(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(session()[QStringLiteral("commands")].toVariant().toStringList().contains(QStringLiteral("DATA")));

    QFile::remove(path("port"));
    port = startServer();
    ASSERT_GT(port, 0);
    // The system store does not know the test's certificate.
    EXPECT_FALSE(SmtpMail::send({QStringLiteral("127.0.0.1"), port, QString(), QString()}, QString(), message(), &error));
    EXPECT_FALSE(session()[QStringLiteral("commands")].toVariant().toStringList().contains(QStringLiteral("MAIL")));

    SmtpMessage injected = message();
    injected.subject = QStringLiteral("Hi\r\nBcc: someone@example.org");
    EXPECT_FALSE(SmtpMail::send({QStringLiteral("127.0.0.1"), 1, QString(), QString()}, QString(), injected, &error));
    injected = message();
    injected.to = QStringLiteral("help@example.org>, <other@example.org");
    EXPECT_FALSE(SmtpMail::send({QStringLiteral("127.0.0.1"), 1, QString(), QString()}, QString(), injected, &error));
    EXPECT_TRUE(error.contains(QLatin1String("not a mail address")));
}

} // namespace
