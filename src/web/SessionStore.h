#pragma once

#include <QByteArray>
#include <QHash>

// Logged-in browsers, in memory only (a restart asks for the password
// again). A session ends when idle for its time, and after twelve hours
// whatever it does.
class SessionStore
{
public:
    struct Session
    {
        QByteArray csrf; // sent back on every state-changing request
        qint64 started = 0;
        qint64 lastUsed = 0;
    };
    static constexpr qint64 LifetimeMs = 12 * 3600 * 1000LL;
    static constexpr int MaxSessions = 64;

    explicit SessionStore(qint64 idleMs) : m_idleMs(idleMs) {}

    // A new session's token; empty when no random token could be made.
    QByteArray open(qint64 now);
    // The live session of this token, its idle time restarted; null otherwise.
    const Session* find(const QByteArray& token, qint64 now);
    void close(const QByteArray& token) { m_sessions.remove(token); }

private:
    void dropOldest();

    qint64 m_idleMs;
    QHash<QByteArray, Session> m_sessions;
};
