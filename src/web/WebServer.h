#pragma once

#include "web/RequestGate.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QSslConfiguration>
#include <optional>

class WebApp;

// Qt's HTTP server in front of the web interface: each connection passes
// the request gate, carries one request, gets one response and is closed.
class WebServer : public QAbstractHttpServer
{
public:
    WebServer(WebApp& app, const GateLimits& limits, QObject* parent = nullptr);

    // Listens on the address (over TLS when a configuration is given);
    // false with *error.
    bool start(const QHostAddress& address, quint16 port, const std::optional<QSslConfiguration>& tls, QString* error);
    quint16 port() const { return m_port; }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    WebApp& m_app;
    GateLimits m_limits;
    quint16 m_port = 0;
    bool m_secure = false;
};
