#include "EventWait.h"
#include "platform/SystemdNotify.h"

#include <QTemporaryDir>
#include <cstddef>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using testsupport::waitUntil;

namespace {

// What systemd listens on: a datagram socket, by path or in the abstract namespace.
struct NotifySocket
{
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);

    explicit NotifySocket(const QByteArray& name)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        if (name.startsWith('@'))
            address.sun_path[0] = '\0';
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), socklen_t(offsetof(sockaddr_un, sun_path) + name.size()));
        qputenv("NOTIFY_SOCKET", name);
    }
    ~NotifySocket()
    {
        ::close(fd);
        qunsetenv("NOTIFY_SOCKET");
        qunsetenv("WATCHDOG_USEC");
        qunsetenv("WATCHDOG_PID");
    }
    QList<QByteArray> received()
    {
        QList<QByteArray> messages;
        char buffer[512];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            messages << QByteArray(buffer, int(n));
        return messages;
    }
};

} // namespace

TEST(SystemdNotify, ReadyThenWatchdogWhileTheLoopTurnsThenStopping)
{
    QTemporaryDir dir;
    for (const QByteArray& name : {dir.filePath(QStringLiteral("notify")).toLocal8Bit(),
                                   QByteArray("@velmora-test-") + QByteArray::number(::getpid())}) {
        NotifySocket socket(name);
        qputenv("WATCHDOG_USEC", "100000");
        QList<QByteArray> got;
        {
            SystemdService service;
            service.ready(QStringLiteral("handling\ncalls"));
            ASSERT_TRUE(waitUntil([&] {
                got << socket.received();
                return got.count("WATCHDOG=1") >= 2;
            }, 5000)) << name.constData();
        }
        got << socket.received();
        EXPECT_EQ(got.first(), QByteArray("READY=1\nSTATUS=handling calls")) << name.constData();
        EXPECT_EQ(got.last(), QByteArray("STOPPING=1")) << name.constData();
    }
}

TEST(SystemdNotify, NothingIsSentOrKeptAliveOutsideSystemd)
{
    qunsetenv("NOTIFY_SOCKET");
    EXPECT_FALSE(systemdnotify::send("READY=1"));
    qputenv("WATCHDOG_USEC", "4000000");
    EXPECT_EQ(systemdnotify::watchdogIntervalMs(), 2000);
    qputenv("WATCHDOG_PID", QByteArray::number(::getpid() + 1)); // meant for another process
    EXPECT_EQ(systemdnotify::watchdogIntervalMs(), 0);
    qputenv("WATCHDOG_USEC", "junk");
    qunsetenv("WATCHDOG_PID");
    EXPECT_EQ(systemdnotify::watchdogIntervalMs(), 0);
    qunsetenv("WATCHDOG_USEC");
}
