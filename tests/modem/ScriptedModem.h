#pragma once

#include "platform/FakeSerialPort.h"

#include <QByteArray>
#include <QMap>
#include <QStringList>

// A modem behind a fake port that answers whole commands: each command
// written (up to its carriage return) is looked up, letter case ignored, and
// answered with its reply; a command it does not know gets ERROR. Commands
// are recorded in the order they came.
class ScriptedModem
{
public:
    explicit ScriptedModem(FakeSerialPort& port) : m_port(port)
    {
        port.setWriteHook([this](const QByteArray& bytes) { heard(bytes); });
    }

    // The reply text before the final result, e.g. "\r\n+VGR: (0-255)\r\n";
    // the modem adds "\r\nOK\r\n".
    void answer(const QString& command, const QByteArray& text = {}) { m_replies[command.toLower()] = text + "\r\nOK\r\n"; }
    // The whole reply, result included (or nothing at all, for silence).
    void answerRaw(const QString& command, const QByteArray& reply) { m_replies[command.toLower()] = reply; }
    void reject(const QString& command) { m_replies.remove(command.toLower()); }

    const QStringList& commands() const { return m_commands; }
    void clearCommands() { m_commands.clear(); }

private:
    void heard(const QByteArray& bytes)
    {
        m_pending += bytes;
        qsizetype end;
        while ((end = m_pending.indexOf('\r')) >= 0) {
            const QString command = QString::fromLatin1(m_pending.left(end)).trimmed();
            m_pending.remove(0, end + 1);
            if (m_pending.startsWith('\n'))
                m_pending.remove(0, 1);
            m_commands.append(command);
            const auto reply = m_replies.constFind(command.toLower());
            m_port.deliver(reply != m_replies.cend() ? *reply : QByteArray("\r\nERROR\r\n"));
        }
    }

    FakeSerialPort& m_port;
    QMap<QString, QByteArray> m_replies;
    QStringList m_commands;
    QByteArray m_pending;
};
