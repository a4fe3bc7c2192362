// The event log keeps every line across sessions and its 3000-line rule.
#include "calls/EventLog.h"
#include "core/TextSink.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QStringList fileLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

TEST(EventLogTest, SessionsFollowEachOtherAndEarlyLinesAreKept)
{
    QTemporaryDir dir;
    {
        EventLog log;
        log.open(dir.path());
        log.LogEvent(QStringLiteral("first run"));
        ASSERT_TRUE(log.endSession());
    }
    EventLog log;
    log.LogEvent(QStringLiteral("before the folder was known"));
    log.open(dir.path());
    log.LogEvent(QStringLiteral("second run"));
    ASSERT_TRUE(log.save());
    EXPECT_EQ(fileLines(dir.filePath(EventLog::FileName)),
              (QStringList{EventLog::NewSessionLine, QStringLiteral("first run"), EventLog::EndSessionLine,
                           EventLog::NewSessionLine, QStringLiteral("before the folder was known"),
                           QStringLiteral("second run")}));
}

struct Mirror : TextSink
{
    void appendLine(const QString& line) override { lines << line; }
    QStringList lines;
};

// A caller's name is network input: escape sequences in it reached the
// terminal of run and Events.log as they came.
TEST(EventLogTest, ControlCharactersFromTheLineAreNeverWrittenRaw)
{
    const struct
    {
        QString received, logged;
    } cases[] = {{QStringLiteral("NAME = \x1b[2J\aEVIL"), QStringLiteral("NAME = \\x1b[2J\\x07EVIL")},
                 {QStringLiteral("NMBR = 555\r\u009b31m"), QStringLiteral("NMBR = 555\\x0d\\x9b31m")},
                 {QStringLiteral("NAME = \u202eLIVE"), QStringLiteral("NAME = \\u202eLIVE")},
                 {QStringLiteral("NAME = M\u00dcLLER\tJ"), QStringLiteral("NAME = M\u00dcLLER\tJ")}};
    QTemporaryDir dir;
    EventLog log;
    Mirror mirror;
    log.addMirror(&mirror);
    log.open(dir.path());
    for (const auto& c : cases)
        log.LogEvent(c.received);
    ASSERT_TRUE(log.save());
    QStringList expected{EventLog::NewSessionLine};
    for (const auto& c : cases)
        expected << c.logged;
    EXPECT_EQ(fileLines(dir.filePath(EventLog::FileName)), expected);
    EXPECT_EQ(mirror.lines, expected.mid(1));
}

TEST(EventLogTest, ThreeThousandLinesAreWrittenOutAndNoneIsLost)
{
    QTemporaryDir dir;
    EventLog log;
    log.open(dir.path()); // the session line is the first of the 3000
    for (int i = 1; i < EventLog::FlushLines; ++i)
        log.LogEvent(QString::number(i));
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(fileLines(dir.filePath(EventLog::FileName)).size(), EventLog::FlushLines);

    log.LogEvent(QStringLiteral("after"));
    ASSERT_TRUE(log.save());
    const QStringList previous = fileLines(dir.filePath(EventLog::PreviousFileName));
    ASSERT_EQ(previous.size(), EventLog::FlushLines);
    EXPECT_EQ(previous.last(), QString::number(EventLog::FlushLines - 1));
    EXPECT_EQ(fileLines(dir.filePath(EventLog::FileName)), QStringList{QStringLiteral("after")});

    // Saving again keeps the previous file as it is.
    ASSERT_TRUE(log.save());
    EXPECT_EQ(fileLines(dir.filePath(EventLog::PreviousFileName)).size(), EventLog::FlushLines);
}

} // namespace
