#include "WebDriver.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QThread>

namespace {

const QString Chromium = QStringLiteral("/usr/bin/chromium");
const QString Driver = QStringLiteral("chromedriver");

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QNetworkAccessManager& network()
{
    static QNetworkAccessManager manager;
    return manager;
}

} // namespace

WebDriver::~WebDriver()
{
    if (!m_session.isEmpty())
        call("DELETE", QStringLiteral("/session/") + m_session);
    m_driver.kill();
    m_driver.waitForFinished(5000);
}

bool WebDriver::available()
{
    return QFile::exists(Chromium) && testsupport::haveProgram(Driver);
}

bool WebDriver::start()
{
    const quint16 port = freePort();
    m_base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    m_driver.start(Driver, {QStringLiteral("--port=%1").arg(port)});
    QDeadlineTimer ready(20000);
    while (!ready.hasExpired() && !call("GET", QStringLiteral("/status")).value(QStringLiteral("value")).toObject().value(QStringLiteral("ready")).toBool())
        QThread::msleep(100);
    const QJsonArray args = {QStringLiteral("--headless=new"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                             QStringLiteral("--disable-dev-shm-usage"), QStringLiteral("--autoplay-policy=no-user-gesture-required"),
                             QStringLiteral("--user-data-dir=") + m_profile.path(), QStringLiteral("--window-size=1280,800")};
    const QJsonObject options{{QStringLiteral("binary"), Chromium}, {QStringLiteral("args"), args}};
    const QJsonObject capabilities{
        {QStringLiteral("alwaysMatch"), QJsonObject{{QStringLiteral("goog:chromeOptions"), options}}}};
    const QJsonObject session = call("POST", QStringLiteral("/session"), {{QStringLiteral("capabilities"), capabilities}});
    m_session = session.value(QStringLiteral("value")).toObject().value(QStringLiteral("sessionId")).toString();
    if (m_session.isEmpty())
        m_error = QString::fromUtf8(QJsonDocument(session).toJson());
    return !m_session.isEmpty();
}

QJsonObject WebDriver::call(const QByteArray& method, const QString& path, const QJsonObject& body)
{
    QNetworkRequest request(QUrl(m_base + path));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    const QByteArray data = method == "POST" ? QJsonDocument(body).toJson(QJsonDocument::Compact) : QByteArray();
    QNetworkReply* reply = network().sendCustomRequest(request, method, data);
    QDeadlineTimer deadline(60000);
    while (!reply->isFinished() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return answer;
}

void WebDriver::open(const QString& url)
{
    call("POST", QStringLiteral("/session/%1/url").arg(m_session), {{QStringLiteral("url"), url}});
}

QString WebDriver::url()
{
    return call("GET", QStringLiteral("/session/%1/url").arg(m_session)).value(QStringLiteral("value")).toString();
}

QString WebDriver::find(const QString& css)
{
    const QJsonObject found = call("POST", QStringLiteral("/session/%1/element").arg(m_session),
                                   {{QStringLiteral("using"), QStringLiteral("css selector")}, {QStringLiteral("value"), css}});
    const QJsonObject element = found.value(QStringLiteral("value")).toObject();
    return element.isEmpty() ? QString() : element.constBegin().value().toString();
}

void WebDriver::click(const QString& css)
{
    call("POST", QStringLiteral("/session/%1/element/%2/click").arg(m_session, find(css)));
}

void WebDriver::type(const QString& css, const QString& text)
{
    const QString element = find(css);
    call("POST", QStringLiteral("/session/%1/element/%2/clear").arg(m_session, element));
    call("POST", QStringLiteral("/session/%1/element/%2/value").arg(m_session, element), {{QStringLiteral("text"), text}});
}

QJsonValue WebDriver::script(const QString& body, const QJsonArray& args)
{
    return call("POST", QStringLiteral("/session/%1/execute/sync").arg(m_session),
                {{QStringLiteral("script"), body}, {QStringLiteral("args"), args}})
        .value(QStringLiteral("value"));
}

bool WebDriver::waitFor(const QString& expression, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (script(QStringLiteral("return !!(%1);").arg(expression)).toBool())
            return true;
        QThread::msleep(200);
    }
    return false;
}

void WebDriver::resize(int width, int height)
{
    call("POST", QStringLiteral("/session/%1/window/rect").arg(m_session),
         {{QStringLiteral("width"), width}, {QStringLiteral("height"), height}});
}

bool WebDriver::screenshot(const QString& path)
{
    const QString png = call("GET", QStringLiteral("/session/%1/screenshot").arg(m_session)).value(QStringLiteral("value")).toString();
    QFile file(path);
    return !png.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(QByteArray::fromBase64(png.toLatin1())) > 0;
}
