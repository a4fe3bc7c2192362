#pragma once

#include <QHash>
#include <QHostAddress>
#include <QString>

// Wrong passwords by address: a few are free, then each one doubles the
// wait before the next try (up to five minutes). IPv6 addresses count by
// their /64, as one host usually holds the whole network.
class LoginThrottle
{
public:
    static constexpr int FreeFailures = 3;
    static constexpr qint64 FirstWaitMs = 2000;
    static constexpr qint64 MaxWaitMs = 300000;

    // How long this address must still wait before a try is looked at; 0: now.
    qint64 waitMs(const QHostAddress& address, qint64 now) const;
    void failed(const QHostAddress& address, qint64 now);
    void succeeded(const QHostAddress& address) { m_entries.remove(keyOf(address)); }

private:
    struct Entry
    {
        int failures = 0;
        qint64 until = 0;
        qint64 last = 0;
    };
    static QString keyOf(const QHostAddress& address);
    void forgetQuiet(qint64 now);

    QHash<QString, Entry> m_entries;
};
