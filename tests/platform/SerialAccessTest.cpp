#include "platform/SerialAccess.h"
#include "platform/SerialOpenError.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void write(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// A process whose command name is ModemManager, as the real one's is.
struct FakeModemManager
{
    QTemporaryDir dir;
    QProcess process;

    FakeModemManager()
    {
        const QString program = dir.path() + QStringLiteral("/ModemManager");
        QFile::copy(QStandardPaths::findExecutable(QStringLiteral("sleep")), program);
        process.start(program, {QStringLiteral("60")});
        process.waitForStarted();
    }
    ~FakeModemManager()
    {
        process.kill();
        process.waitForFinished();
    }
};

} // namespace

TEST(SerialAccess, MembershipOfTheSerialGroupComesFromTheGroupFileAndTheLogin)
{
    QTemporaryDir dir;
    const QString groups = dir.filePath(QStringLiteral("group"));
    write(groups, "root:x:0:\ndialout\ndialout:x:twenty:carol\ndialout:x:20:alice,bob\naudio:x:29:carol\n");
    struct Row
    {
        const char* user;
        uint primaryGid;
        QList<uint> session;
        const char* group;
        bool exists, listed, inSession;
        const char* advice; // what the user is told to do
    } rows[] = {
        {"bob", 1000, {1000}, "dialout", true, true, false, "log out and in again"},
        {"carol", 1000, {1000, 29}, "dialout", true, false, false, "sudo usermod -aG dialout carol"},
        {"alice", 1000, {1000, 20}, "dialout", true, true, true, "check its permissions"},
        {"dave", 20, {1000}, "dialout", true, true, false, "log out and in again"},
        {"bob", 1000, {1000}, "uucp", false, false, false, "does not exist"},
    };
    for (const Row& r : rows) {
        const UserGroups user{QString::fromLatin1(r.user), false, r.primaryGid, r.session};
        const GroupMembership m = groupMembership(QString::fromLatin1(r.group), user, groups);
        EXPECT_EQ(m.groupExists, r.exists) << r.user << ' ' << r.group;
        EXPECT_EQ(m.listed, r.listed) << r.user << ' ' << r.group;
        EXPECT_EQ(m.inSession, r.inSession) << r.user << ' ' << r.group;
        const QString advice = permissionAdvice(QString::fromLatin1(r.group), m, user.user);
        EXPECT_TRUE(advice.contains(QLatin1String(r.advice))) << r.user << ": " << advice.toStdString();
    }
}

TEST(SerialAccess, OnlyRulesThatKeepModemManagerAwayCount)
{
    QTemporaryDir etc, lib;
    write(etc.filePath(QStringLiteral("61-velmora-local.rules")), udevRuleLine(QStringLiteral("1234:abcd")).toUtf8());
    write(lib.filePath(QStringLiteral("77-mm-usb-device-blacklist.rules")), "ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n");
    write(lib.filePath(QStringLiteral("50-other.rules")), "SUBSYSTEM==\"tty\", GROUP=\"dialout\"\n");
    QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/packaging/60-velmora.rules"),
                lib.filePath(QStringLiteral("60-velmora.rules")));
    const QStringList found = modemManagerIgnoreRules({etc.path(), lib.path(), QStringLiteral("/nonexistent")});
    EXPECT_EQ(found, (QStringList{etc.filePath(QStringLiteral("61-velmora-local.rules")),
                                  lib.filePath(QStringLiteral("60-velmora.rules"))}));
    EXPECT_TRUE(modemManagerIgnoreRules({lib.filePath(QStringLiteral("none"))}).isEmpty());
    EXPECT_TRUE(busyAdvice(true, {}).contains(InstalledUdevRule));
    EXPECT_TRUE(busyAdvice(true, found).contains(LocalUdevRule));
}

TEST(SerialAccess, ABusyPortNamesModemManagerWhileItRunsAndWhoHoldsIt)
{
    if (modemManagerRunning())
        GTEST_SKIP() << "ModemManager runs on this machine";
    QTemporaryDir dir;
    const QString device = dir.filePath(QStringLiteral("ttyFake"));
    write(device, "");
    EXPECT_FALSE(describeSerialBusy(device).contains(QLatin1String("ModemManager is running")));

    FakeModemManager modemManager;
    ASSERT_TRUE(modemManagerRunning());
    QProcess holder; // holds the file open on its standard input
    holder.setStandardInputFile(device);
    holder.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    ASSERT_TRUE(holder.waitForStarted());
    EXPECT_EQ(deviceHolders(device), QStringList{QStringLiteral("sleep")});
    const QString busy = describeSerialBusy(device);
    EXPECT_TRUE(busy.contains(QLatin1String("in use by another program (sleep)"))) << busy.toStdString();
    EXPECT_TRUE(busy.contains(QLatin1String("ModemManager is running"))) << busy.toStdString();
    EXPECT_TRUE(busy.contains(QLatin1String("systemctl disable --now ModemManager"))) << busy.toStdString();
    holder.kill();
    holder.waitForFinished();
}
