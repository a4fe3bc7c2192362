#include "PtyPair.h"
#include "TestSupport.h"

#include "platform/InterruptScope.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A FIFO or a device named as a greeting blocked the program for ever in open.
TEST(RegularFile, OpensRegularFilesOnlyAndNeverWaits)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("greeting.wav"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString plain = dir.filePath(QStringLiteral("plain.wav"));
    testsupport::writeFile(plain, "RIFF");
    struct Case
    {
        QString path;
        QIODevice::OpenMode mode;
        bool opens;
    };
    const Case cases[] = {{plain, QIODevice::ReadOnly, true},
                          {plain, QIODevice::ReadWrite, true},
                          {dir.filePath(QStringLiteral("new.wav")), QIODevice::WriteOnly, true},
                          {fifo, QIODevice::ReadOnly, false},
                          {fifo, QIODevice::ReadWrite, false},
                          {QStringLiteral("/dev/zero"), QIODevice::ReadOnly, false},
                          {dir.path(), QIODevice::ReadOnly, false},
                          {dir.filePath(QStringLiteral("missing.wav")), QIODevice::ReadOnly, false}};
    for (const Case& c : cases) {
        RegularFile file(c.path);
        EXPECT_EQ(file.open(c.mode), c.opens) << qPrintable(c.path);
        EXPECT_EQ(file.isOpen(), c.opens);
        EXPECT_EQ(file.fileName(), c.path);
    }
    RegularFile kept(plain);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "RIFF");

    const auto info = testsupport::run(QStringLiteral(VELMORA_CLI), {QStringLiteral("wav-info"), fifo}, 10000);
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_TRUE(info.err.contains("not a regular file")) << info.err.constData();
}

// The first signal asks for an orderly end, which a stuck main thread never
// gives: the second one must end the process and let go of the line.
TEST(InterruptScopeDeathTest, ASecondSignalEndsAStuckProgramAndReleasesThePort)
{
    int port[2];
    ASSERT_EQ(::pipe(port), 0);
    EXPECT_EXIT(
        {
            InterruptScope scope;
            InterruptScope::setPortToRelease(port[1]);
            std::raise(SIGTERM);
            if (!InterruptScope::interrupted())
                ::_exit(1);
            std::raise(SIGTERM);
            ::sleep(30); // stuck
        },
        testing::ExitedWithCode(128 + SIGTERM), "ended by a second signal");
    char released[64] = {};
    const ssize_t n = ::read(port[0], released, sizeof released - 1);
    EXPECT_GT(n, 0);
    EXPECT_TRUE(QByteArray(released, int(n)).contains("ATH")) << released;
    ::close(port[0]);
    ::close(port[1]);
}

// monitor and init said nothing and exited 0 when the modem answered none
// of the initialisation commands.
TEST(SilentModem, InitialisationFailsWhenNoCommandIsAnswered)
{
    QTemporaryDir data;
    testsupport::writeFile(data.filePath(QStringLiteral("vlm.ini")), "[Commands]\nsVoiceMode=at+fclass=8\n");
    testsupport::writeFile(data.filePath(QStringLiteral("initScript.txt")), "ATZ\n");
    PtyPair silent;
    for (const char* command : {"monitor", "init"}) {
        QStringList args{QStringLiteral("--data-dir"), data.path(), QStringLiteral("--port"), silent.slavePath(),
                         QLatin1String(command)};
        if (QByteArray(command) == "monitor")
            args << QStringLiteral("--seconds") << QStringLiteral("0");
        const auto result = testsupport::run(QStringLiteral(VELMORA_CLI), args, 60000);
        EXPECT_EQ(result.exitCode, 1) << command;
        EXPECT_TRUE(result.err.contains("did not answer its initialisation")) << result.err.constData();
        silent.receiveAvailable();
    }
}

} // namespace
