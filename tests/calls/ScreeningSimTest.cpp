// Call screening with velmora-cli run against the simulator, judged by the
// simulator's log of the line (when it was taken and freed, what the
// caller heard), by sox's reading of what was sent and by the catalogue.
#include "CliProcess.h"
#include "ModemSim.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <memory>

using testsupport::ModemSim;

namespace {

constexpr double Speed = 10;
const char* const Talk = "say \"Hello, this is a test call. Please call me back.\"";

double simTime(const QString& line)
{
    static const QRegularExpression stamp(QStringLiteral("^\\[(\\d+\\.\\d+)\\]"));
    const auto m = stamp.match(line);
    return m.hasMatch() ? m.captured(1).toDouble() : -1;
}

// The first line holding `text`, or an empty one.
QString lineWith(const QStringList& log, const QString& text)
{
    for (const QString& line : log)
        if (line.contains(text))
            return line;
    return QString();
}

// Program seconds from the first line holding `from` to the first holding `to`.
double between(const QStringList& log, const QString& from, const QString& to)
{
    const double a = simTime(lineWith(log, from)), b = simTime(lineWith(log, to));
    return a < 0 || b < 0 ? -1 : (b - a) / Speed;
}

class ScreeningSim : public testing::TestWithParam<const char*>
{
protected:
    void TearDown() override
    {
        velmora.stopRun();
        if (HasFailure())
            std::cerr << "--- simulator log\n" << qPrintable(sim->log().join(QLatin1Char('\n'))) << "\n--- run\n"
                      << velmora.output().constData() << "\n";
    }
    void setUpLine()
    {
        ModemSim::Options options;
        options.profile = QLatin1String(GetParam());
        options.speed = Speed;
        options.capture = true;
        options.extraArgs = {QStringLiteral("--link"), link};
        sim = std::make_unique<ModemSim>(options);
        ASSERT_TRUE(sim->start()) << qPrintable(sim->error());
        ASSERT_EQ(velmora.cli({"probe"}).exitCode, 0);
        for (const char* setting : {"Settings amRings 2", "Modem ringSpan 4000", "Screening ScreenUnknown 1",
                                    "Screening AllowPassers 1", "Settings MsgTime 30"}) {
            const QStringList w = QString::fromLatin1(setting).split(QLatin1Char(' '));
            ASSERT_TRUE(velmora.set(w[0], w[1], w[2]));
        }
        ASSERT_EQ(velmora.cli({"greeting", "period", "default", "--text", "Please leave a message."}).exitCode, 0);
        ASSERT_EQ(velmora.cli({"block", "add", "0900*", "--action", "tones"}).exitCode, 0);
        ASSERT_EQ(velmora.cli({"block", "add", "withheld"}).exitCode, 0);
        ASSERT_EQ(velmora.cli({"allow", "add", "+555-0100"}).exitCode, 0);
        velmora.startRun();
        ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened..."), 60000));
    }
    // Plays one call to its end and returns the simulator's lines of it.
    QStringList call(const QString& number, const QStringList& lines, const char* ring = "ring 4 every 15s")
    {
        const int from = int(sim->log().size());
        const QString over = QStringLiteral("over ") + number;
        QStringList all{QStringLiteral("call"), QStringLiteral("cid NMBR=%1 NAME=\"TEST CALLER\"").arg(number),
                        QLatin1String(ring)};
        all += lines;
        all << QStringLiteral("await onhook timeout 600s") << QStringLiteral("log ") + over;
        for (const QString& line : all)
            sim->command(line);
        QDeadlineTimer deadline(180000);
        while (!deadline.hasExpired()) {
            velmora.output();
            if (sim->waitForLog(over, 100, from))
                break;
        }
        EXPECT_TRUE(sim->waitForLog(over, 0, from)) << qPrintable(number) << ": the call did not end";
        return sim->log().mid(from);
    }
    // The catalogue's rows of this number: fields split at TABs.
    std::vector<QStringList> rows(const QStringList& command, const QString& number)
    {
        std::vector<QStringList> out;
        for (const QString& r : QString::fromUtf8(velmora.cli(command).out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (r.split(QLatin1Char('\t')).value(4) == number)
                out.push_back(r.split(QLatin1Char('\t')));
        return out;
    }
    QString lastCapture()
    {
        const QStringList files = QDir(sim->captureDir()).entryList({QStringLiteral("tx-*.wav")}, QDir::Files, QDir::Name);
        return files.isEmpty() ? QString() : sim->captureDir() + QLatin1Char('/') + files.last();
    }

    QTemporaryDir data;
    const QString link = data.filePath(QStringLiteral("modem"));
    std::unique_ptr<ModemSim> sim;
    testsupport::CliProcess velmora{data.path(), link};
};

TEST_P(ScreeningSim, BlockedWaitingAndCheckedCallers)
{
    setUpLine();
    if (HasFatalFailure())
        return;
    std::cout << "\nScreening on " << GetParam() << " (program seconds)\n";

    // A blocked prefix hears the information tones, then the line is freed.
    QStringList log = call(QStringLiteral("0900123"), {});
    const double tonesTaken = between(log, QStringLiteral("caller ID"), QStringLiteral("line taken"));
    const double tonesFreed = between(log, QStringLiteral("caller ID"), QStringLiteral("line freed"));
    EXPECT_GE(tonesTaken, 0);
    EXPECT_LE(tonesTaken, 2.0) << "the line is taken as the caller ID arrives";
    const double afterTones = between(log, QStringLiteral("tx end"), QStringLiteral("line freed"));
    EXPECT_GE(afterTones, 0);
    EXPECT_LE(afterTones, 2.0) << "freed once the announcement is over";
    EXPECT_TRUE(lineWith(log, QStringLiteral("line freed")).contains(QStringLiteral("of audio from the host")));
    const auto stat = testsupport::run(QStringLiteral("sox"), {lastCapture(), QStringLiteral("-n"), QStringLiteral("trim"),
                                                               QStringLiteral("0"), QStringLiteral("0.25"), QStringLiteral("stat")});
    const QRegularExpression rough(QStringLiteral("Rough\\s+frequency:\\s+(\\d+)"));
    const double hz = rough.match(QString::fromUtf8(stat.err)).captured(1).toDouble();
    EXPECT_NEAR(hz, 914, 60) << "the first information tone: " << stat.err.constData();
    std::cout << "  blocked 0900*: caller ID to line taken " << tonesTaken << " s, to line freed " << tonesFreed
              << " s (announcement's end to freed " << afterTones << " s); first tone " << hz << " Hz\n";

    // A withheld number blocked with the default action hears a click.
    log = call(QStringLiteral("P"), {});
    const double clickFreed = between(log, QStringLiteral("caller ID"), QStringLiteral("line freed"));
    EXPECT_GE(clickFreed, 0);
    EXPECT_LE(clickFreed, 2.0);
    EXPECT_TRUE(lineWith(log, QStringLiteral("line freed")).contains(QStringLiteral("nothing from the host"))) << "a click";
    std::cout << "  withheld: caller ID to line freed " << clickFreed << " s\n";

    // An allowed number goes straight to the greeting; a second caller during
    // its message changes nothing about it.
    log = call(QStringLiteral("5550100"),
               {"await rx timeout 300s", Talk, "cid NMBR=5550555 NAME=WAITER", "waiting", Talk, "busy 15s"});
    EXPECT_EQ(log.filter(QStringLiteral("tx start")).size(), 1) << "the greeting only, no question";
    EXPECT_TRUE(velmora.output().contains("Call waiting: 5550555 WAITER"));
    auto mine = rows({"list"}, QStringLiteral("5550100"));
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(mine[0].value(8), QStringLiteral("0")) << "a new message";
    EXPECT_TRUE(rows({"list"}, QStringLiteral("5550555")).empty()) << "the waiting caller took no message";

    // An unknown caller who presses the key leaves a message.
    log = call(QStringLiteral("5550222"),
               {"await tx timeout 300s", "await idle timeout 300s", "dtmf 1", "await rx timeout 300s", Talk, "busy 15s"});
    mine = rows({"list"}, QStringLiteral("5550222"));
    ASSERT_EQ(mine.size(), 1u) << "the message";
    EXPECT_EQ(mine[0].value(8), QStringLiteral("0"));
    EXPECT_TRUE(velmora.cli({"allow", "list"}).out.contains("\t5550222\t")) << "a person: put through from now on";

    // One who does not is hung up.
    log = call(QStringLiteral("5550333"), {"await tx timeout 300s", "await idle timeout 300s", "log asked"});
    const double silentFreed = between(log, QStringLiteral(": asked"), QStringLiteral("line freed"));
    const double silentFromTaken = between(log, QStringLiteral("line taken"), QStringLiteral("line freed"));
    EXPECT_GE(silentFreed, 0);
    EXPECT_LE(silentFreed, 8.0) << "hung up after the key's window";
    EXPECT_TRUE(log.filter(QStringLiteral("rx start")).isEmpty()) << "no message";
    std::cout << "  no key: question's end to line freed " << silentFreed << " s, line held " << silentFromTaken
              << " s\n";

    // The owner lifts a handset while the caller is asked: a conversation, heard.
    log = call(QStringLiteral("5550666"),
               {"await tx timeout 300s", "await idle timeout 300s", "wait 25s", "handset up", Talk, "handset down", "busy 15s"});
    mine = rows({"list"}, QStringLiteral("5550666"));
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_EQ(mine[0].value(8), QStringLiteral("1")) << "heard";
    const auto soxi = testsupport::run(QStringLiteral("soxi"),
                                       {QStringLiteral("-D"), data.filePath(QStringLiteral("wav/")) + mine[0].value(6)});
    EXPECT_GT(soxi.out.trimmed().toDouble(), 1.0) << "the conversation is recorded";

    for (const char* number : {"0900123", "P", "5550222", "5550333", "5550555"})
        EXPECT_EQ(rows({"calls", "--blocked"}, QLatin1String(number)).size(), 1u) << number;
}

INSTANTIATE_TEST_SUITE_P(Families, ScreeningSim, testing::Values("generic", "old-serial"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             QString name = QLatin1String(info.param);
                             return name.remove(QLatin1Char('-')).toStdString();
                         });

} // namespace
