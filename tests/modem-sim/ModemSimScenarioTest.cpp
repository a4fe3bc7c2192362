// Scripted calls: rings, caller ID as each family sends it, answered and
// unanswered calls, recorded audio on the line, and scenario errors.
#include "SimSession.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::waitUntil;

namespace {

const char* kCallScenario = "await command AT+VCID=1\n"
                            "cid DATE=1015 TIME=1310 NMBR=5551234 NAME=\"SMITH JOHN\"\n"
                            "ring 2 every 2s\n"
                            "log after the call\n";

// What the host receives of an unanswered call with two rings.
QByteArray unansweredCall(const QString& profile, bool callerIdOn = true)
{
    SimSession s(simOptions(profile, QString::fromLatin1(kCallScenario)));
    if (!s.start() || !s.setUp({"AT+FCLASS=8"}))
        return "cannot start";
    s.talk.clear();
    s.port.write(callerIdOn ? "AT+VCID=1\r" : "AT+VCID=1;+VCID=0\r");
    if (!s.sim.waitForLog(QStringLiteral("no answer after 2 ring(s)")))
        return "the call never ended";
    testsupport::settle(50);
    return s.talk.received();
}

} // namespace

TEST(ModemSimScenarios, CallerIdIsFramedAsEachFamilySendsIt)
{
    const QByteArray dleR("\x10R", 2);
    const QByteArray ok("\r\nOK\r\n");
    EXPECT_EQ(unansweredCall(QStringLiteral("generic")),
              ok + dleR + "\x10XDATE=1015\r\nTIME=1310\r\nNMBR=5551234\r\nNAME=SMITH JOHN\r\n\x10." + dleR);
    EXPECT_EQ(unansweredCall(QStringLiteral("conexant")),
              ok + dleR + "\r\nDATE = 1015\r\nTIME = 1310\r\nNMBR = 5551234\r\nNAME = SMITH JOHN\r\n" + dleR);
    EXPECT_EQ(unansweredCall(QStringLiteral("usr")),
              ok + "\r\nRING\r\n\r\nDATE=1015\r\nTIME=1310\r\nNMBR=5551234\r\nNAME=SMITH JOHN\r\n\r\nRING\r\n");
    EXPECT_EQ(unansweredCall(QStringLiteral("old-serial")), // before the first ring, as in the UK
              ok + "\r\nDATE = 1015\r\nTIME = 1310\r\nNMBR = 5551234\r\nNAME = SMITH JOHN\r\n\r\nRING\r\n\r\nRING\r\n");
    EXPECT_EQ(unansweredCall(QStringLiteral("generic"), false), ok + dleR + dleR)
        << "caller ID stays off unless the host turns it on";
}

TEST(ModemSimScenarios, DistinctiveRingReportsComeWithEachRing)
{
    SimSession s(simOptions(QStringLiteral("conexant"), QStringLiteral("await command AT+VDR\nring 1 every 1s\n")));
    ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
    ASSERT_TRUE(s.setUp({"AT+FCLASS=8"}));
    s.talk.clear();
    s.port.write("AT+VDR=1,0\r");
    ASSERT_TRUE(s.sim.waitForLog(QStringLiteral("no answer after 1 ring(s)")));
    EXPECT_EQ(s.talk.received(), QByteArray("\r\nOK\r\n\r\nDROF = 40\r\n\r\nDRON = 20\r\n\x10R"));
}

TEST(ModemSimScenarios, AnsweredCallPlaysTheCallersAudioUnansweredCallIsSkipped)
{
    if (!testsupport::haveProgram(QStringLiteral("sox")))
        GTEST_SKIP() << "sox is not installed";
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("caller.wav"));
    ASSERT_EQ(testsupport::run(QStringLiteral("sox"), {"-n", "-r", "8000", "-b", "16", "-c", "1", wav, "synth",
                                                        "0.5", "sine", "300-900", "vol", "0.5"})
                  .exitCode,
              0);
    const QString scenario = QStringLiteral("call\nring 1 every 1s\nlog unreachable\n"
                                            "call\nring 5 every 2s\nawait rx timeout 10s\nplay %1\nlog message played\n")
                                 .arg(wav);
    SimSession s(simOptions(QStringLiteral("generic"), scenario, 4)); // slow enough that no audio is dropped
    ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
    ASSERT_TRUE(s.setUp({"AT+FCLASS=8"}));
    ASSERT_TRUE(s.sim.waitForLog(QStringLiteral("no answer after 1 ring(s)")));
    ASSERT_TRUE(s.talk.waitFor(QByteArray("\x10R", 2)));
    ASSERT_TRUE(s.setUp({"AT+VLS=1"}));
    ASSERT_TRUE(s.sim.waitForLog(QStringLiteral("line taken after 1 ring(s)")));
    ASSERT_TRUE(s.talk.command("AT+VRX").contains("\r\nCONNECT\r\n"));
    ASSERT_TRUE(s.sim.waitForLog(QStringLiteral("message played")));
    s.port.write(QByteArray("\x10!", 2));
    ASSERT_TRUE(s.talk.waitFor(QByteArray("\x10\x03\r\nOK\r\n", 8)));
    EXPECT_FALSE(s.sim.log().join('\n').contains(QStringLiteral("unreachable")));

    // The received 8-bit samples are the file's 16-bit samples, as sox reads them.
    const QByteArray pcm =
        testsupport::run(QStringLiteral("sox"), {wav, "-t", "raw", "-e", "signed", "-b", "16", "-L", "-"}).out;
    ASSERT_EQ(pcm.size(), 8000);
    QByteArray expected;
    for (qsizetype i = 0; i + 1 < pcm.size(); i += 2)
        expected.append(char((int16_t(uint8_t(pcm[i]) | (uint8_t(pcm[i + 1]) << 8)) >> 8) + 128));
    QByteArray data, events;
    const QByteArray& got = s.talk.received();
    ASSERT_TRUE(unshield(got.mid(got.indexOf("CONNECT\r\n") + 9).chopped(8), data, events));
    EXPECT_TRUE(data.contains(expected)) << "the file's audio is not in the stream";
}

TEST(ModemSimScenarios, SpokenTextReachesTheLine)
{
    if (!testsupport::haveProgram(QStringLiteral("espeak-ng")) || !testsupport::haveProgram(QStringLiteral("sox")))
        GTEST_SKIP() << "espeak-ng or sox is not installed";
    SimSession s(simOptions(QStringLiteral("usr"), QStringLiteral("await rx\nsay \"Please leave a message\"\nlog said\n")));
    ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
    ASSERT_TRUE(s.setUp({"AT+FCLASS=8"}));
    ASSERT_TRUE(s.talk.command("AT+VLS=1").startsWith("\r\nOK\r\n"));
    ASSERT_TRUE(s.talk.command("AT+VRX").contains("\r\nCONNECT\r\n"));
    ASSERT_TRUE(s.sim.waitForLog(QStringLiteral("said")));
    s.port.write(QByteArray("\x10!", 2));
    ASSERT_TRUE(s.talk.waitFor(QByteArray("\x10\x03\r\nOK\r\n", 8)));
    const QByteArray& got = s.talk.received();
    QByteArray data, events;
    ASSERT_TRUE(unshield(got.mid(got.indexOf("CONNECT\r\n") + 9).chopped(8), data, events));
    // unsigned 8-bit samples: speech swings well away from the silence value 128
    int loud = 0;
    for (char c : data)
        loud += std::abs(int(uint8_t(c)) - 128) > 16;
    EXPECT_GT(loud, 500) << "no speech in " << data.size() << " bytes";
}

TEST(ModemSimScenarios, LiftedHandsetEndsTheRinging)
{
    SimSession s(simOptions(QStringLiteral("generic"), QStringLiteral("await voice\ncall\nring 4 every 1s handset-after 2\n"
                                                                      "log talking\nwait 1s\nhandset down\n")));
    ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
    ASSERT_TRUE(s.setUp({"AT+FCLASS=8"}));
    ASSERT_TRUE(s.sim.waitForLog(QStringLiteral("handset put down")));
    testsupport::settle(50);
    EXPECT_EQ(s.talk.received(), QByteArray("\r\nOK\r\n\x10R\x10R\x10H\x10h"));
    EXPECT_TRUE(s.sim.waitForLog(QStringLiteral("line taken after 2 ring(s)")));
}

TEST(ModemSimScenarios, BadScenarioOrOptionIsRefusedWithTheReason)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bad.txt"));
    testsupport::writeFile(file, "call\nring 2\nring 2 every fast\n");
    const QString sim = testsupport::ModemSim::program();
    auto result = testsupport::run(sim, {"--scenario", file});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("line 3: bad ring interval 'fast'")) << result.err.toStdString();

    testsupport::writeFile(file, "say \"unterminated\n");
    result = testsupport::run(sim, {"--scenario", file});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("line 1: unterminated quote")) << result.err.toStdString();

    testsupport::writeFile(file, "play no-such-file.wav\n");
    result = testsupport::run(sim, {"--scenario", file});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("no-such-file.wav")) << result.err.toStdString();

    result = testsupport::run(sim, {"--profile", "nosuch"});
    EXPECT_EQ(result.exitCode, 2);
    result = testsupport::run(sim, {"--set", "stop=sometimes"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_TRUE(result.err.contains("stop is plain or escaped")) << result.err.toStdString();
}

TEST(ModemSimScenarios, PathFileAndLiveUnplug)
{
    QTemporaryDir dir;
    testsupport::ModemSim::Options options;
    options.extraArgs = {"--path-file", dir.filePath(QStringLiteral("path"))};
    SimSession s(options);
    ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
    EXPECT_EQ(testsupport::readFile(dir.filePath(QStringLiteral("path"))).trimmed(), s.sim.devicePath().toUtf8());
    s.sim.command(QStringLiteral("unplug"));
    EXPECT_TRUE(waitUntil([&] { return !s.port.isOpen(); }));
    EXPECT_TRUE(waitUntil([&] { return !s.sim.running(); }));
}
