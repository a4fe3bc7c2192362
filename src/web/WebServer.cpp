#include "web/WebServer.h"

#include "web/WebApp.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QSslServer>
#include <QTcpSocket>

namespace {

QByteArray methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get: return "GET";
    case QHttpServerRequest::Method::Head: return "HEAD";
    case QHttpServerRequest::Method::Post: return "POST";
    default: return "OTHER";
    }
}

WebRequest toWebRequest(const QHttpServerRequest& request, bool secure)
{
    WebRequest out;
    out.method = methodName(request.method());
    const QUrl url = request.url();
    out.path = url.path(QUrl::FullyEncoded).toLatin1();
    out.query = request.query();
    for (const auto& [name, value] : request.headers())
        out.headers.insert(name.toLower(), value);
    out.body = request.body();
    out.peer = request.remoteAddress();
    out.secure = secure;
    return out;
}

} // namespace

WebServer::WebServer(WebApp& app, const GateLimits& limits, QObject* parent)
    : QAbstractHttpServer(parent), m_app(app), m_limits(limits)
{
}

bool WebServer::start(const QHostAddress& address, quint16 port, const std::optional<QSslConfiguration>& tls, QString* error)
{
    QTcpServer* server = nullptr;
    if (tls) {
        auto* ssl = new GatedServer<QSslServer>(m_limits);
        ssl->setSslConfiguration(*tls);
        server = ssl;
    } else {
        server = new GatedServer<QTcpServer>(m_limits);
    }
    if (!server->listen(address, port)) {
        *error = server->errorString();
        delete server;
        return false;
    }
    m_secure = tls.has_value();
    m_port = server->serverPort();
    bind(server);
    return true;
}

bool WebServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    auto responder = std::make_shared<QHttpServerResponder>(makeResponder(request, socket));
    QPointer<QTcpSocket> alive(socket);
    m_app.handle(toWebRequest(request, m_secure), [responder, alive](WebResponse response) {
        if (!alive || !alive->isOpen())
            return;
        responder->writeStatusLine(QHttpServerResponder::StatusCode(response.status));
        if (!response.contentType.isEmpty())
            responder->writeHeader("Content-Type", response.contentType);
        for (const auto& [name, value] : response.headers)
            responder->writeHeader(name, value);
        responder->writeHeader("Content-Length", QByteArray::number(response.body.size()));
        responder->writeHeader("Connection", "close");
        responder->writeBody(response.body);
        alive->disconnectFromHost();
    });
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest&, QTcpSocket* socket)
{
    socket->disconnectFromHost();
}
