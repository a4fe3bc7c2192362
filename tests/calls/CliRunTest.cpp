// velmora-cli run against the modem simulator: a call picked up on the
// handset, a modem unplugged in the middle of a call and plugged in again,
// and SIGTERM in the middle of a call.
#include "CliProcess.h"
#include "ModemSim.h"
#include "RealLine.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using testsupport::ModemSim;

namespace {

class CliRun : public testing::Test
{
protected:
    std::unique_ptr<ModemSim> plugIn(const QString& profile = QStringLiteral("generic"))
    {
        ModemSim::Options options;
        options.profile = profile;
        options.capture = true;
        options.speed = 10;
        options.extraArgs = {QStringLiteral("--link"), link};
        auto sim = std::make_unique<ModemSim>(options);
        EXPECT_TRUE(sim->start()) << qPrintable(sim->error());
        return sim;
    }
    void commands(ModemSim& sim, std::initializer_list<const char*> lines)
    {
        for (const char* line : lines)
            sim.command(QLatin1String(line));
    }

    QTemporaryDir data;
    const QString link = data.filePath(QStringLiteral("modem"));
    testsupport::CliProcess velmora{data.path(), link};
};

TEST_F(CliRun, EveryCallIsKeptThroughAnUnplugAndSigterm)
{
    auto sim = plugIn();
    ASSERT_EQ(velmora.cli({QStringLiteral("probe")}).exitCode, 0);
    velmora.startRun();
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened...")));

    for (const char* line : {"call", "cid DATE=1209 TIME=1000 NMBR=5551234 NAME=\"SMITH JOHN\"",
                             "ring 4 every 6s handset-after 2", "noise 4s 20", "handset down", "busy 10s"})
        sim->command(QLatin1String(line));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- File saved"))) << qPrintable(sim->log().join(QLatin1Char('\n')));
    EXPECT_TRUE(velmora.output().contains("Auto Recording"));

    // The modem goes away in the middle of the next call.
    for (const char* line : {"call", "ring 2 every 6s handset-after 1", "noise 60s 20"})
        sim->command(QLatin1String(line));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- Start Recording"), 30000, 2));
    QThread::msleep(500);
    sim->kill();
    // As udev removes the device of a modem unplugged: a stale link could
    // lead to another test's pseudo-terminal once its number is reused.
    QFile::remove(link);
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- File saved"), 30000, 2));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("does not answer; it is tried again every 2 s")));
    sim = plugIn();
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened..."), 30000, 2));

    // SIGTERM in the middle of a call saves it, as closing the window does.
    for (const char* line : {"call", "ring 2 every 6s handset-after 1", "noise 60s 20"})
        sim->command(QLatin1String(line));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- Start Recording"), 30000, 3));
    QThread::msleep(300);
    ASSERT_TRUE(velmora.stopRun());
    EXPECT_EQ(velmora.run().exitCode(), 0) << velmora.run().readAllStandardError().constData();
    EXPECT_EQ(QString::fromUtf8(velmora.output()).count(QStringLiteral("-- File saved")), 3);
    EXPECT_TRUE(velmora.output().contains("---------- End session ----------"));

    const auto list = velmora.cli({QStringLiteral("list")});
    EXPECT_EQ(QString::fromUtf8(list.out).count(QStringLiteral(".wav")), 3) << list.out.constData();
    EXPECT_TRUE(list.out.contains("5551234")) << list.out.constData();
    // The handset call is there from the moment the handset was lifted: 4 s
    // of speech and the busy tone before the disconnect.
    QString first;
    for (const QByteArray& row : list.out.split('\n'))
        if (row.contains("5551234"))
            first = QString::fromUtf8(row.split('\t').value(6));
    const auto seconds = testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-D"), data.filePath(QStringLiteral("wav/")) + first});
    EXPECT_GT(seconds.out.trimmed().toDouble(), 5.0) << first.toStdString();
    EXPECT_EQ(velmora.newCount(), 0);
}

// A modem that hears no keys while it transmits: the owner's code comes
// in the first seconds of the message.
TEST_F(CliRun, AnswersTakesAMessageAndPlaysItToTheOwner)
{
    auto sim = plugIn(QStringLiteral("conexant"));
    ASSERT_EQ(velmora.cli({"probe"}).exitCode, 0);
    // A ring span of real time: rings 1.5 s apart on a loaded machine are never taken for a call that rang off.
    for (const char* key : {"Settings amRings 2", "Settings RemoteCode 4711", "Settings MsgTime 60", "Modem ringSpan 4000"}) {
        const QStringList words = QString::fromLatin1(key).split(QLatin1Char(' '));
        ASSERT_EQ(velmora.cli({"set", words[0], words[1], words[2]}).exitCode, 0);
    }
    velmora.startRun();
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened...")));

    commands(*sim, {"call", "cid DATE=1209 TIME=1000 NMBR=5551234 NAME=\"SMITH JOHN\"", "ring 2 every 15s",
                    "await rx timeout 200s", "say \"Hello, this is John. Please call me back tomorrow.\"",
                    "busy 10s"});
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- File saved"))) << qPrintable(sim->log().join(QLatin1Char('\n')));
    EXPECT_TRUE(velmora.output().contains("Answering machine"));
    EXPECT_TRUE(sim->log().filter(QStringLiteral("AT+VTS={A,60}"), Qt::CaseInsensitive).size() == 1);
    EXPECT_EQ(velmora.newCount(), 1);

    commands(*sim, {"call", "ring 2 every 15s", "await rx timeout 200s", "dtmf 4711", "silence 300s"});
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- Remote completed"), 90000, 1))
        << qPrintable(sim->log().join(QLatin1Char('\n')));
    EXPECT_TRUE(velmora.output().contains("-- Remote access"));
    EXPECT_TRUE(velmora.output().contains("Play 1_20")) << "the message was played";
    EXPECT_EQ(velmora.newCount(), 0) << velmora.output().constData();
    ASSERT_TRUE(velmora.stopRun());

    // Greeting, greeting; then the count, the announcement, the message, the menu and "Good bye.".
    const QStringList captures = QDir(sim->captureDir()).entryList({QStringLiteral("tx-*.wav")}, QDir::Files, QDir::Name);
    ASSERT_EQ(captures.size(), 7) << qPrintable(captures.join(QLatin1Char(' ')));
    const auto greeting = testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-D"), sim->captureDir() + QStringLiteral("/") + captures[0]});
    EXPECT_GT(greeting.out.trimmed().toDouble(), 2.0) << "the spoken greeting";
}

// A modem that hangs in its transmit stream during the greeting: the port is
// closed to end it, which frees the line, and the next caller is answered.
TEST_F(CliRun, AModemHungInItsGreetingIsLetGoAndTheNextCallIsAnswered)
{
    auto sim = plugIn();
    ASSERT_EQ(velmora.cli({"probe"}).exitCode, 0);
    for (const char* key : {"Settings amRings 2", "Settings MsgTime 10", "Modem ringSpan 4000"}) {
        const QStringList words = QString::fromLatin1(key).split(QLatin1Char(' '));
        ASSERT_EQ(velmora.cli({"set", words[0], words[1], words[2]}).exitCode, 0);
    }
    velmora.startRun();
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened...")));
    commands(*sim, {"set tx-ignores-stop yes", "call", "ring 2 every 15s", "silence 120s"});
    ASSERT_TRUE(sim->waitForLog(QStringLiteral("tx stop ignored"), 30000)) << qPrintable(sim->log().join(QLatin1Char('\n')));
    ASSERT_TRUE(sim->waitForLog(QStringLiteral("] line freed"), 30000)) << velmora.output().constData();
    EXPECT_TRUE(velmora.waitFor(QStringLiteral("did not leave its transmit stream")));
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened..."), 30000, 2)) << "bound again";

    const int before = int(sim->log().size());
    commands(*sim, {"set tx-ignores-stop no", "call", "ring 2 every 15s", "await rx timeout 200s",
                    "say \"Hello, this is John.\"", "busy 10s"});
    ASSERT_TRUE(sim->waitForLog(QStringLiteral("] line taken"), 60000, before)) << qPrintable(sim->log().join(QLatin1Char('\n')));
    EXPECT_TRUE(velmora.waitFor(QStringLiteral("-- File saved")));
    ASSERT_TRUE(velmora.stopRun());
}

// A long conversation of a real speaker, quiet on the line, picked up on
// the handset: recorded whole until the busy tone after it.
TEST_F(CliRun, ALongRealConversationIsRecordedWhole)
{
    const QStringList prompts = realline::spokenPrompts();
    ASSERT_GT(prompts.size(), 150) << "install the Debian package asterisk-prompt-es-co (scripts/install-deps.sh)";
    const QString talk = data.filePath(QStringLiteral("conversation.wav"));
    // Eight minutes of prompts, three times over, at -24 dBFS peak.
    ASSERT_EQ(testsupport::run(QStringLiteral("sox"),
                               prompts + QStringList{QStringLiteral("-b"), QStringLiteral("16"), talk,
                                                     QStringLiteral("sinc"), QStringLiteral("300-3400"),
                                                     QStringLiteral("gain"), QStringLiteral("-n"), QStringLiteral("-24"),
                                                     QStringLiteral("repeat"), QStringLiteral("2")},
                               120000)
                  .exitCode,
              0);
    const double talkSeconds = testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-D"), talk}).out.toDouble();
    ASSERT_GT(talkSeconds, 20 * 60);

    ModemSim::Options options;
    options.speed = 60;
    options.extraArgs = {QStringLiteral("--link"), link};
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    ASSERT_EQ(velmora.cli({QStringLiteral("probe")}).exitCode, 0);
    velmora.startRun();
    ASSERT_TRUE(velmora.waitFor(QStringLiteral(" opened...")));
    for (const QString& line : {QStringLiteral("call"), QStringLiteral("ring 3 every 6s handset-after 1"),
                                QStringLiteral("play ") + talk, QStringLiteral("handset down"),
                                QStringLiteral("busy 10s")})
        sim.command(line);
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- File saved"), 120000, 1)) << qPrintable(sim.log().join(QLatin1Char('\n')));
    ASSERT_TRUE(velmora.stopRun());
    EXPECT_EQ(QString::fromUtf8(velmora.output()).count(QStringLiteral("-- File saved")), 1) << velmora.output().constData();
    EXPECT_FALSE(velmora.output().contains("backstop")) << velmora.output().constData();

    const QStringList saved = QDir(data.filePath(QStringLiteral("wav"))).entryList({QStringLiteral("1_*.wav")});
    ASSERT_EQ(saved.size(), 1);
    const double seconds =
        testsupport::run(QStringLiteral("soxi"), {QStringLiteral("-D"), data.filePath(QStringLiteral("wav/")) + saved[0]})
            .out.toDouble();
    // From the handset's lift, a second or two into the speech, to the busy tone.
    EXPECT_GE(seconds, talkSeconds - 5.0) << "the whole conversation\n" << velmora.output().constData();
    EXPECT_LE(seconds, talkSeconds + 15.0) << "ended by the busy tone";
}

// A handset lifted while the modem still works through its init commands:
// the recording starts after the last of them, so none lands in the stream.
TEST_F(CliRun, AHandsetLiftedDuringTheInitIsRecordedOnceTheInitIsDone)
{
    ModemSim::Options options;
    options.extraArgs = {QStringLiteral("--link"), link, QStringLiteral("--set"), QStringLiteral("slow=+VGR")};
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    ASSERT_EQ(velmora.cli({QStringLiteral("probe")}).exitCode, 0);
    const int probed = int(sim.log().size());
    velmora.startRun();
    ASSERT_TRUE(sim.waitForLog(QStringLiteral("host: at+vgr"), 10000, probed));
    for (const QString& line : {QStringLiteral("call"), QStringLiteral("ring 2 every 0.5s handset-after 1"),
                                QStringLiteral("say \"Hello, I am calling about the order.\""),
                                QStringLiteral("handset down"), QStringLiteral("busy 10s")})
        sim.command(line);
    ASSERT_TRUE(velmora.waitFor(QStringLiteral("-- File saved"), 60000, 1)) << qPrintable(sim.log().join(QLatin1Char('\n')));
    const QStringList log = sim.log().mid(probed);
    const auto at = [&](const char* text, qsizetype from) {
        for (qsizetype i = from; i < log.size(); ++i)
            if (log[i].contains(QLatin1String(text)))
                return i;
        return qsizetype(log.size());
    };
    // The rest of run's init (caller ID on) is sent, and before the line is taken.
    const qsizetype slowReply = at("host: at+vgr=", 0);
    const qsizetype taken = at("] line taken", slowReply);
    EXPECT_LT(at("host: at+vcid=1", slowReply), taken) << qPrintable(log.join(QLatin1Char('\n')));
    EXPECT_LT(at("host: at+vtd=10", slowReply), taken);
    EXPECT_FALSE(velmora.output().contains("Time out")) << velmora.output().constData();
    ASSERT_TRUE(velmora.stopRun());
}

} // namespace
