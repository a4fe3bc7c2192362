// One program per user and data folder: a second start restores the first
// one's window, a socket left by a crash is taken over.
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Claims from another thread while this one answers, as a second process would.
SingleInstance::Role claimElsewhere(const QString& folder)
{
    auto role = std::async(std::launch::async, [folder] {
        SingleInstance second(folder);
        return second.claim();
    });
    while (role.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        QCoreApplication::processEvents();
    return role.get();
}

TEST(SingleInstanceTest, ASecondStartRestoresTheFirstAndOtherFoldersAreIndependent)
{
    QTemporaryDir one, two;
    SingleInstance first(one.path());
    int restores = 0;
    QObject::connect(&first, &SingleInstance::restoreRequested, [&] { ++restores; });
    ASSERT_EQ(first.claim(), SingleInstance::Role::First);
    EXPECT_EQ(claimElsewhere(one.path()), SingleInstance::Role::Second);
    EXPECT_EQ(claimElsewhere(one.path() + QStringLiteral("/.")), SingleInstance::Role::Second); // the same folder
    EXPECT_EQ(restores, 2);

    SingleInstance other(two.path());
    EXPECT_EQ(other.claim(), SingleInstance::Role::First);
    EXPECT_NE(SingleInstance::socketPath(one.path()), SingleInstance::socketPath(two.path()));
}

TEST(SingleInstanceTest, ASocketLeftByACrashIsTakenOver)
{
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(SingleInstance::socketPath(folder.path()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd); // the file stays, nobody listens
    ASSERT_TRUE(QFile::exists(QFile::decodeName(path)));

    SingleInstance start(folder.path());
    EXPECT_EQ(start.claim(), SingleInstance::Role::First);
    EXPECT_EQ(claimElsewhere(folder.path()), SingleInstance::Role::Second);
}

} // namespace
