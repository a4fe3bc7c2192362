#pragma once

#include <QByteArray>
#include <QObject>
#include <QSet>
#include <QTcpServer>
#include <functional>

class QTcpSocket;

// What a request may be before the HTTP server reads it.
struct GateLimits
{
    qint64 headBytes = 16 * 1024;
    qint64 bodyBytes = 64 * 1024;
    qint64 uploadBytes = 10 * 1024 * 1024; // the body of an upload route
    int connections = 64;
};

// The status that refuses a request from its head (request line and
// headers, up to the blank line), or 0 to let it through: unknown methods,
// bodies over the limit, chunked bodies (their size is not known
// beforehand), a missing length on a POST.
int gateStatus(const QByteArray& head, const GateLimits& limits);

// Holds each new connection until its request head has arrived and passed
// gateStatus, so an oversized body is refused before a byte of it is kept,
// and a connection that sends nothing is closed. Admitted connections are
// handed on; the server answers each with one response and closes it.
class ConnectionGate : public QObject
{
public:
    ConnectionGate(const GateLimits& limits, std::function<void(QTcpSocket*)> admit);
    void watch(QTcpSocket* socket);

private:
    void inspect(QTcpSocket* socket);
    void refuse(QTcpSocket* socket, int status);

    GateLimits m_limits;
    std::function<void(QTcpSocket*)> m_admit;
    int m_open = 0;
};

// A listening server (QTcpServer or QSslServer) whose connections pass the
// gate before QAbstractHttpServer takes them through nextPendingConnection.
template <class Base>
class GatedServer : public Base
{
public:
    explicit GatedServer(const GateLimits& limits)
        : m_gate(limits, [this](QTcpSocket* socket) {
              m_admitted.insert(socket);
              this->addPendingConnection(socket);
          })
    {
    }

    QTcpSocket* nextPendingConnection() override
    {
        while (QTcpSocket* socket = Base::nextPendingConnection()) {
            if (m_admitted.remove(socket))
                return socket;
            m_gate.watch(socket);
        }
        return nullptr;
    }

private:
    ConnectionGate m_gate;
    QSet<QTcpSocket*> m_admitted;
};
