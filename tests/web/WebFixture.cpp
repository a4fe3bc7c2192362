#include "WebFixture.h"

#include "TestSupport.h"

#include "catalogue/Catalogue.h"
#include "catalogue/RecordingOperations.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "web/PasswordHash.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QUrl>

namespace {

RawReply parse(const QByteArray& raw)
{
    RawReply reply;
    const qsizetype end = raw.indexOf("\r\n\r\n");
    if (end < 0)
        return reply;
    const QList<QByteArray> lines = raw.left(end).split('\n');
    reply.status = lines.value(0).split(' ').value(1).toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            reply.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    reply.body = raw.mid(end + 4);
    return reply;
}

} // namespace

RawReply exchange(quint16 port, const QByteArray& request, qint64 stopAt)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    const QByteArray sent = stopAt < 0 ? request : request.left(stopAt);
    socket.write(sent);
    QByteArray raw;
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && socket.state() != QAbstractSocket::UnconnectedState) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        raw += socket.readAll();
        if (stopAt >= 0 && raw.contains("\r\n\r\n"))
            break; // the answer came before the rest was sent
    }
    raw += socket.readAll();
    RawReply reply = parse(raw);
    reply.bytesSent = sent.size() - socket.bytesToWrite();
    return reply;
}

void WebFixture::SetUp()
{
    QDir().mkpath(wavFolder());
    service = std::make_unique<CallService>(CallService::Options{m_data.path(), nullptr, nullptr, nullptr});
    QString error;
    ASSERT_TRUE(service->open(&error)) << qPrintable(error);
    settings::writeString(service->ini(), keys::WebPasswordHash, passwordhash::make(Password));
    WebApp::Options options;
    options.clock = [this] { return now; };
    options.tempFolder = m_temp.path();
    app = std::make_unique<WebApp>(*service, options);
    GateLimits limits;
    limits.uploadBytes = 2 * 1024 * 1024;
    server = std::make_unique<WebServer>(*app, limits);
    ASSERT_TRUE(server->start(QHostAddress::LocalHost, 0, std::nullopt, &error)) << qPrintable(error);
}

void WebFixture::TearDown()
{
    server.reset();
    app.reset();
    if (service)
        service->shutDown();
}

RawReply WebFixture::send(const QByteArray& method, const QByteArray& path, const QByteArray& body,
                          const QList<QPair<QByteArray, QByteArray>>& headers)
{
    QByteArray request = method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(server->port()) + "\r\n";
    if (!cookie.isEmpty())
        request += "Cookie: " + WebApp::SessionCookie + '=' + cookie + "\r\n";
    for (const auto& [name, value] : headers)
        request += name + ": " + value + "\r\n";
    if (method == "POST")
        request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    return exchange(server->port(), request + "\r\n" + body);
}

RawReply WebFixture::action(const QByteArray& path, const QByteArray& json)
{
    return send("POST", path, json, {{"Content-Type", "application/json"}, {"X-CSRF-Token", csrf}});
}

RawReply WebFixture::tryPassword(const QString& password)
{
    return send("POST", "/login", "password=" + QUrl::toPercentEncoding(password),
                {{"Content-Type", "application/x-www-form-urlencoded"}});
}

void WebFixture::logIn()
{
    const RawReply reply = tryPassword(Password);
    ASSERT_EQ(reply.status, 303) << reply.body.constData();
    const QByteArray setCookie = reply.headers.value("set-cookie");
    cookie = setCookie.mid(setCookie.indexOf('=') + 1, setCookie.indexOf(';') - setCookie.indexOf('=') - 1);
    const RawReply page = send("GET", "/");
    const QRegularExpressionMatch token =
        QRegularExpression(QStringLiteral("name=\"csrf-token\" content=\"([^\"]+)\"")).match(QString::fromUtf8(page.body));
    ASSERT_TRUE(token.hasMatch()) << page.body.constData();
    csrf = token.captured(1).toLatin1();
}

QString WebFixture::addRecording(const QString& number, const QString& memo, const QString& fileName, double seconds,
                                 const QStringList& encoding)
{
    const QString file = wavFolder() + QStringLiteral("made-by-sox.wav");
    const auto sox = testsupport::run(QStringLiteral("sox"), QStringList{QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("8000"),
                                                                         QStringLiteral("-c"), QStringLiteral("1")}
                                                                 + encoding
                                                                 + QStringList{file, QStringLiteral("synth"), QString::number(seconds),
                                                                               QStringLiteral("sine"), QStringLiteral("440")});
    EXPECT_EQ(sox.exitCode, 0) << sox.err.constData();
    if (!fileName.contains(QLatin1Char('/')) && fileName != QLatin1String(".."))
        QFile::rename(file, wavFolder() + fileName);
    RecordingSession session;
    session.startTime = QDateTime::currentDateTime();
    session.seconds = qint64(seconds);
    session.callerNumber = number;
    session.comment = memo;
    session.answeredByMachine = true;
    session.recordedFile = QFile::exists(file) ? file : wavFolder() + fileName;
    session.fileName = fileName;
    Catalogue& catalogue = service->catalogue();
    catalogue.AddRecordingRow(session);
    return RecordingOperations(catalogue).idOfFile(fileName);
}
