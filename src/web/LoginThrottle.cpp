#include "web/LoginThrottle.h"

#include <algorithm>

namespace {

constexpr qint64 ForgetAfterMs = 3600 * 1000LL;
constexpr int MaxEntries = 4096;
const QString OverflowKey = QStringLiteral("*");

} // namespace

QString LoginThrottle::keyOf(const QHostAddress& address)
{
    bool v4 = false;
    address.toIPv4Address(&v4);
    if (v4 || address.protocol() != QAbstractSocket::IPv6Protocol)
        return address.toString();
    Q_IPV6ADDR bytes = address.toIPv6Address();
    std::fill(bytes.c + 8, bytes.c + 16, quint8(0));
    return QHostAddress(bytes).toString();
}

qint64 LoginThrottle::waitMs(const QHostAddress& address, qint64 now) const
{
    qint64 until = 0;
    for (const QString& key : {keyOf(address), OverflowKey}) {
        const auto it = m_entries.constFind(key);
        if (it != m_entries.constEnd())
            until = std::max(until, it->until);
    }
    return std::max<qint64>(0, until - now);
}

void LoginThrottle::failed(const QHostAddress& address, qint64 now)
{
    QString key = keyOf(address);
    if (m_entries.size() >= MaxEntries && !m_entries.contains(key)) {
        forgetQuiet(now);
        if (m_entries.size() >= MaxEntries)
            key = OverflowKey; // a flood of addresses shares one wait
    }
    Entry& entry = m_entries[key];
    ++entry.failures;
    entry.last = now;
    const int over = entry.failures - FreeFailures;
    if (over > 0)
        entry.until = now + std::min(MaxWaitMs, FirstWaitMs << std::min(over - 1, 20));
}

void LoginThrottle::forgetQuiet(qint64 now)
{
    for (auto it = m_entries.begin(); it != m_entries.end();)
        it = now - it->last > ForgetAfterMs ? m_entries.erase(it) : std::next(it);
}
