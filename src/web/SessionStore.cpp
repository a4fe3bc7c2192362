#include "web/SessionStore.h"

#include "web/PasswordHash.h"

QByteArray SessionStore::open(qint64 now)
{
    const QByteArray token = randomToken(32);
    const QByteArray csrf = randomToken(32);
    if (token.isEmpty() || csrf.isEmpty())
        return QByteArray();
    if (m_sessions.size() >= MaxSessions)
        dropOldest();
    m_sessions.insert(token, Session{csrf, now, now});
    return token;
}

const SessionStore::Session* SessionStore::find(const QByteArray& token, qint64 now)
{
    auto it = m_sessions.find(token);
    if (token.isEmpty() || it == m_sessions.end())
        return nullptr;
    if (now - it->lastUsed > m_idleMs || now - it->started > LifetimeMs || now < it->lastUsed) {
        m_sessions.erase(it);
        return nullptr;
    }
    it->lastUsed = now;
    return &*it;
}

void SessionStore::dropOldest()
{
    auto oldest = m_sessions.begin();
    for (auto it = m_sessions.begin(); it != m_sessions.end(); ++it)
        if (it->lastUsed < oldest->lastUsed)
            oldest = it;
    if (oldest != m_sessions.end())
        m_sessions.erase(oldest);
}
