// Off the loopback the web interface is HTTPS: the certificate the program
// makes for itself, its fingerprint as openssl reads it, Secure cookies.
#include "WebFixture.h"

#include "TestSupport.h"

#include "web/WebCertificate.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSslSocket>
#include <QUrl>

namespace {

using WebTls = WebFixture;

QByteArray overTls(quint16 port, const QByteArray& request)
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    socket.write(request);
    QByteArray raw;
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && socket.state() != QAbstractSocket::UnconnectedState) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        raw += socket.readAll();
    }
    return raw + socket.readAll();
}

TEST_F(WebTls, TheProgramsOwnCertificateServesHttpsWithSecureCookies)
{
    const QString folder = dataFolder() + QStringLiteral("/web");
    QString error;
    const auto tls = webcertificate::ownCertificate(folder, &error);
    ASSERT_TRUE(tls) << qPrintable(error);
    EXPECT_EQ(QFileInfo(folder + QStringLiteral("/key.pem")).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
    // The fingerprint the log and the settings show is the one openssl reads from the file.
    const auto openssl = testsupport::run(QStringLiteral("openssl"), {QStringLiteral("x509"), QStringLiteral("-noout"),
                                                                      QStringLiteral("-fingerprint"), QStringLiteral("-sha256"),
                                                                      QStringLiteral("-in"), folder + QStringLiteral("/certificate.pem")});
    EXPECT_TRUE(openssl.out.trimmed().endsWith(webcertificate::fingerprint(*tls).toLatin1())) << openssl.out.constData();
    // Made once: the next start serves the same certificate.
    EXPECT_EQ(webcertificate::fingerprint(*webcertificate::ownCertificate(folder, &error)), webcertificate::fingerprint(*tls));

    WebServer secure(*app, GateLimits{});
    ASSERT_TRUE(secure.start(QHostAddress::LocalHost, 0, tls, &error)) << qPrintable(error);
    const QByteArray host = "Host: 127.0.0.1:" + QByteArray::number(secure.port()) + "\r\n";
    EXPECT_TRUE(overTls(secure.port(), "GET /login HTTP/1.1\r\n" + host + "\r\n").startsWith("HTTP/1.1 200"));
    const QByteArray body = "password=" + QUrl::toPercentEncoding(Password);
    const QByteArray login = overTls(secure.port(), "POST /login HTTP/1.1\r\n" + host
                                                        + "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
                                                        + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    EXPECT_TRUE(login.startsWith("HTTP/1.1 303")) << login.constData();
    EXPECT_TRUE(login.contains("; HttpOnly; SameSite=Strict; Secure")) << login.constData();
    EXPECT_TRUE(login.contains("Strict-Transport-Security"));
    // Plain HTTP to the HTTPS port gets no page.
    EXPECT_EQ(exchange(secure.port(), "GET /login HTTP/1.1\r\n" + host + "\r\n").status, 0);
}

} // namespace
