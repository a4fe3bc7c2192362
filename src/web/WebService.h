#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

class CallService;
class WebApp;
class WebServer;

// The web interface as the settings ask for it, beside a running call
// service: off unless enabled; plain HTTP only on a loopback address, any
// other address over HTTPS with the user's certificate or one made here.
class WebService
{
public:
    explicit WebService(CallService& service);
    ~WebService();

    // Nothing happens when the settings leave it off. False with *error when
    // it is on but cannot run (no password set, a bad address, the port
    // taken, no certificate); the reason is logged too.
    bool start(QString* error);
    void stop();
    bool running() const { return m_server != nullptr; }
    // "http://127.0.0.1:8765/"; empty when not running.
    const QString& url() const { return m_url; }

private:
    bool fail(const QString& why, QString* error);

    CallService& m_service;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::unique_ptr<WebApp> m_app;
    std::unique_ptr<WebServer> m_server;
    QString m_url;
};
