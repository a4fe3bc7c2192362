#pragma once

#include "EventWait.h"
#include "platform/SerialPort.h"

#include <QByteArray>
#include <QList>
#include <QObject>

namespace testsupport {

// Talks to a modem through a SerialPort the way the engine reads it: every
// bytes-available notification is read at once and kept as one chunk.
// Header-only, so only tests that link velmora_platform use it.
class PortTalk
{
public:
    explicit PortTalk(SerialPort& port) : m_port(port)
    {
        m_connection = QObject::connect(&port, &SerialPort::triggerAvail, [this](int count) {
            QByteArray chunk(count, '\0');
            chunk.resize(int(m_port.read(chunk.data(), count)));
            if (!chunk.isEmpty()) {
                chunks << chunk;
                m_received += chunk;
            }
        });
    }
    ~PortTalk() { QObject::disconnect(m_connection); }

    QList<QByteArray> chunks;
    const QByteArray& received() const { return m_received; }
    void clear()
    {
        m_received.clear();
        chunks.clear();
    }

    // Waits until what was received contains `needle`.
    bool waitFor(const QByteArray& needle, int timeoutMs = 5000)
    {
        return waitUntil([&] { return m_received.contains(needle); }, timeoutMs);
    }

    // Sends a command line and waits for its result code; returns everything
    // received from the write on (empty when no result came).
    QByteArray command(const QByteArray& line, int timeoutMs = 5000)
    {
        clear();
        m_port.write(line + '\r');
        const bool done = waitUntil(
            [&] {
                return m_received.contains("\r\nOK\r\n") || m_received.contains("\r\nERROR\r\n")
                       || m_received.contains("\r\nCONNECT\r\n");
            },
            timeoutMs);
        return done ? m_received : QByteArray();
    }

private:
    SerialPort& m_port;
    QMetaObject::Connection m_connection;
    QByteArray m_received;
};

} // namespace testsupport
