#include "web/RequestGate.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr int HeadWaitMs = 10000;
constexpr int RequestWaitMs = 120000;
constexpr int DrainMs = 1000;

const QByteArray UploadPath = QByteArrayLiteral("/api/greetings/upload");

QByteArray reason(int status)
{
    switch (status) {
    case 400: return "Bad Request";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

// The value of Content-Length: -1 when absent, -2 when malformed or given twice.
qint64 contentLength(const QList<QByteArray>& lines)
{
    qint64 length = -1;
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.left(colon).trimmed().toLower() != "content-length")
            continue;
        const QByteArray value = line.mid(colon + 1).trimmed();
        bool ok = !value.isEmpty() && value.size() <= 15;
        for (const char c : value)
            ok = ok && c >= '0' && c <= '9';
        if (!ok || length != -1)
            return -2;
        length = value.toLongLong();
    }
    return length;
}

bool hasHeader(const QList<QByteArray>& lines, const QByteArray& name)
{
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return true;
    }
    return false;
}

} // namespace

int gateStatus(const QByteArray& head, const GateLimits& limits)
{
    if (head.size() > limits.headBytes)
        return 431;
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& line : lines)
        line = line.trimmed();
    const QList<QByteArray> request = lines.value(0).split(' ');
    if (request.size() != 3 || !request[1].startsWith('/') || !request[2].startsWith("HTTP/1."))
        return 400;
    const QByteArray& method = request[0];
    if (method != "GET" && method != "HEAD" && method != "POST")
        return 405;
    if (hasHeader(lines, "transfer-encoding"))
        return 411;
    const qint64 length = contentLength(lines.mid(1));
    if (length == -2)
        return 400;
    if (method == "POST" && length < 0)
        return 411;
    const QByteArray path = request[1].split('?').first();
    const qint64 allowed = method == "POST" && path == UploadPath ? limits.uploadBytes : limits.bodyBytes;
    if (method != "POST" && length > 0)
        return 400;
    return length > allowed ? 413 : 0;
}

ConnectionGate::ConnectionGate(const GateLimits& limits, std::function<void(QTcpSocket*)> admit)
    : m_limits(limits), m_admit(std::move(admit))
{
}

void ConnectionGate::watch(QTcpSocket* socket)
{
    ++m_open;
    connect(socket, &QObject::destroyed, this, [this] { --m_open; });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (m_open > m_limits.connections) {
        socket->abort();
        return;
    }
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { inspect(socket); });
    // Whatever happens to the request, the connection does not outlive this.
    QTimer::singleShot(RequestWaitMs, socket, [socket] { socket->abort(); });
    QTimer::singleShot(HeadWaitMs, socket, [this, socket] {
        if (!socket->property("velmoraAdmitted").toBool())
            refuse(socket, 408);
    });
    if (socket->bytesAvailable() > 0)
        inspect(socket);
}

void ConnectionGate::inspect(QTcpSocket* socket)
{
    if (socket->property("velmoraAdmitted").toBool() || socket->property("velmoraRefused").toBool())
        return;
    const QByteArray seen = socket->peek(m_limits.headBytes + 4);
    const qsizetype end = seen.indexOf("\r\n\r\n");
    if (end < 0) {
        if (seen.size() > m_limits.headBytes)
            refuse(socket, 431);
        return;
    }
    if (const int status = gateStatus(seen.left(end), m_limits)) {
        refuse(socket, status);
        return;
    }
    socket->setProperty("velmoraAdmitted", true);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    m_admit(socket);
    // The server took the socket after its first bytes had come: it reads them now.
    QTimer::singleShot(0, socket, [socket] { emit socket->readyRead(); });
}

void ConnectionGate::refuse(QTcpSocket* socket, int status)
{
    socket->setProperty("velmoraRefused", true);
    const QByteArray text = reason(status);
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + text
                  + "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: "
                  + QByteArray::number(text.size() + 1) + "\r\nConnection: close\r\n\r\n" + text + '\n');
    // What the client still sends is read and dropped for a moment, so it
    // gets the answer rather than a reset.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->skip(socket->bytesAvailable()); });
    socket->skip(socket->bytesAvailable());
    QTimer::singleShot(DrainMs, socket, [socket] { socket->disconnectFromHost(); });
}
