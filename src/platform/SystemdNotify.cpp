#include "SystemdNotify.h"

#include <QtGlobal>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace systemdnotify {

bool send(const QByteArray& state)
{
    const QByteArray path = qgetenv("NOTIFY_SOCKET");
    sockaddr_un address{};
    // '@' stands for Linux's abstract namespace, a leading NUL byte.
    if (path.isEmpty() || size_t(path.size()) >= sizeof(address.sun_path) || (path[0] != '/' && path[0] != '@'))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    if (path[0] == '@')
        address.sun_path[0] = '\0';
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(path.size()));
    const bool sent = ::sendto(fd, state.constData(), size_t(state.size()), MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&address), length)
                      == state.size();
    ::close(fd);
    return sent;
}

int watchdogIntervalMs()
{
    bool ok = false;
    const qulonglong usec = qEnvironmentVariable("WATCHDOG_USEC").toULongLong(&ok);
    if (!ok || usec == 0)
        return 0;
    // WATCHDOG_PID, when set, names the process the watchdog is meant for.
    const QByteArray pid = qgetenv("WATCHDOG_PID");
    if (!pid.isEmpty() && pid.toLongLong() != ::getpid())
        return 0;
    return int(qBound<qulonglong>(1, usec / 2000, 24ULL * 3600 * 1000));
}

} // namespace systemdnotify

SystemdService::SystemdService(QObject* parent) : QObject(parent)
{
    connect(&m_watchdog, &QTimer::timeout, this, [] { systemdnotify::send("WATCHDOG=1"); });
}

SystemdService::~SystemdService()
{
    systemdnotify::send("STOPPING=1");
}

void SystemdService::ready(const QString& status)
{
    // The status is ours, but keep it one line: the protocol is newline-separated.
    QString line = status;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    systemdnotify::send("READY=1\nSTATUS=" + line.toUtf8());
    if (const int interval = systemdnotify::watchdogIntervalMs())
        m_watchdog.start(interval);
}
