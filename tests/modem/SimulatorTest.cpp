// The engine against the voice modem simulator on a pseudo-terminal.
#include "EngineFixture.h"

#include "EventWait.h"
#include "ModemSim.h"
#include "TestSupport.h"
#include "VoiceSignal.h"
#include "modem/InitScript.h"
#include "platform/LinuxSerialPort.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {

using Engine = TQVModem253;
using testsupport::ModemSim;

class SimulatorTest : public EngineHarness<LinuxSerialPort>
{
protected:
    void startSim(const QString& profile = QStringLiteral("generic"), const QStringList& extraArgs = {})
    {
        ModemSim::Options options;
        options.profile = profile;
        options.extraArgs = extraArgs;
        sim = std::make_unique<ModemSim>(options);
        ASSERT_TRUE(sim->start()) << qPrintable(sim->error());
        port.setDeviceName(sim->devicePath());
    }

    // The commands the simulator received, in order, upper-cased.
    QStringList commandsSeen()
    {
        QStringList seen;
        for (const QString& line : sim->log()) {
            const qsizetype at = line.indexOf(QLatin1String("host: "));
            if (at >= 0)
                seen << line.mid(at + 6).trimmed().toUpper();
        }
        return seen;
    }

    QStringList resultLines() const
    {
        QStringList results;
        for (const QString& line : log.lines)
            if (line == QLatin1String("ok") || line == QLatin1String("Error") || line == QLatin1String("Connect")
                || line == QLatin1String("Time out"))
                results << line;
        return results;
    }

    std::unique_ptr<ModemSim> sim;
};

TEST_F(SimulatorTest, InitSendsInitStringsThenTheDefaultScript)
{
    startSim();
    ini->writeString(QStringLiteral("ModemInitString"), QStringLiteral("st1"), QStringLiteral("AT&F"));
    ini->writeString(QStringLiteral("ModemInitString"), QStringLiteral("st2"), QStringLiteral("ATE0"));
    ensureInitScript(initScriptPath(ini->fileName()));

    ASSERT_TRUE(engine.InitModem());
    EXPECT_EQ(engine.GetModemMode(), Engine::ModeVoice);
    EXPECT_EQ(resultLines(), QStringList(8, QStringLiteral("ok")));
    ASSERT_TRUE(testsupport::waitUntil([&] { return commandsSeen().contains(QStringLiteral("AT+VTD=10")); }));
    EXPECT_EQ(commandsSeen(), QStringList({"AT&F", "ATE0", "AT+FCLASS=8", "AT+VSM=128", "AT+VGT=128",
                                           "AT+VGR=128", "AT+VCID=1", "AT+VTD=10"}));
}

TEST_F(SimulatorTest, RepliesAreCleanWithEchoOn)
{
    startSim(); // echo is on after a reset, as on real modems
    ASSERT_TRUE(engine.BindModem());
    EXPECT_EQ(engine.SendCommand(QStringLiteral("AT&F")), Engine::ReplyOk);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+fclass=?")), Engine::ReplyOk);
    EXPECT_FALSE(engine.GetLastReply().contains(QLatin1String("at+fclass=?"), Qt::CaseInsensitive));
    EXPECT_TRUE(engine.GetLastReply().endsWith(QLatin1String("\r\nOK\r\n")));
}

TEST_F(SimulatorTest, RefusedReceiveStartLeadsToTheLineCycleAtTheNextInit)
{
    startSim();
    ASSERT_EQ(engine.SetVoiceMode(), 0);
    EXPECT_EQ(engine.StartVRX(), Engine::ReplyError); // on hook: the modem refuses
    ASSERT_TRUE(ini->readBool(QStringLiteral("Modem"), QStringLiteral("atdt"), false));

    ensureInitScript(initScriptPath(ini->fileName()));
    log.lines.clear();
    ASSERT_TRUE(engine.InitModem());
    const qsizetype wait = log.lines.indexOf(QStringLiteral("Please wait."));
    ASSERT_GE(wait, 0);
    EXPECT_EQ(log.lines.mid(wait + 1, 2), QStringList({QStringLiteral("atdt"), QStringLiteral("ok")}));
    ASSERT_TRUE(testsupport::waitUntil([&] { return commandsSeen().endsWith(QStringLiteral("AT+VLS=0")); }));
    const QStringList seen = commandsSeen();
    EXPECT_EQ(seen.mid(seen.size() - 2), QStringList({"ATDT", "AT+VLS=0"}));
    EXPECT_FALSE(resultLines().contains(QStringLiteral("Time out")));
    // The flag stays for every later init.
    EXPECT_TRUE(ini->readBool(QStringLiteral("Modem"), QStringLiteral("atdt"), false));
}

TEST_F(SimulatorTest, ModemObeyingOnlyEscapedStopsIsLearnedOnce)
{
    startSim(QStringLiteral("conexant"));
    engine.setCmdTimeoutDur(1);
    ASSERT_EQ(engine.SetVoiceMode(), 0);
    ASSERT_EQ(engine.cmdOffHook(), 0);
    ASSERT_EQ(engine.StartVRX(), Engine::ReplyConnect);

    EXPECT_EQ(engine.StopVRX(), Engine::ReplyTimeOut); // the plain pair is ignored
    EXPECT_EQ(engine.StopVRX(), Engine::ReplyOk);      // the escaped one is not
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    EXPECT_TRUE(ini->readBool(QStringLiteral("Modem"), QStringLiteral("EscapeStopPairs"), false));

    // The transmit stop now goes escaped at the first attempt.
    int ends = 0;
    engine.OnTrxEnd = [&](TQVModem253*) { ++ends; };
    ASSERT_EQ(engine.StartVTX(), Engine::ReplyConnect);
    log.lines.clear();
    EXPECT_TRUE(engine.EndTransmit());
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(log.lines.contains(QStringLiteral("Time out")));
}

TEST_F(SimulatorTest, UnpluggedModemEndsTheWaitAtOnce)
{
    startSim(QStringLiteral("conexant"));
    ASSERT_EQ(engine.SetVoiceMode(), 0);
    ASSERT_EQ(engine.cmdOffHook(), 0);
    ASSERT_EQ(engine.StartVRX(), Engine::ReplyConnect);
    int closes = 0;
    engine.OnPortClose = [&](TQVModem253*) { ++closes; };

    // The plain stop goes unanswered; the modem is unplugged meanwhile.
    QTimer::singleShot(200, [this] { sim->kill(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(engine.StopVRX(), Engine::ReplyTimeOut);
    EXPECT_LT(clock.elapsed(), 2000); // not the 4 s time-out
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(engine.portIsOpen());

    clock.restart();
    EXPECT_EQ(engine.cmdOnHook(), Engine::ReplyTimeOut);
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_TRUE(engine.ReleaseModem());
}

// The owner's key ends a message just as its playback starts: the stream
// still waiting for its CONNECT is ended too, and the next one starts cleanly.
TEST_F(SimulatorTest, APlaybackStoppedBeforeItsStreamStartsLeavesTheLineToTheNext)
{
    startSim(QStringLiteral("generic"), {QStringLiteral("--set"), QStringLiteral("slow=+VTX")});
    const QString wav = dir.filePath(QStringLiteral("message.wav"));
    ASSERT_TRUE(voicesignal::writeWav(wav, voicesignal::speechLike()));
    ASSERT_EQ(engine.SetVoiceMode(), 0);
    ASSERT_EQ(engine.cmdOffHook(), 0);
    ASSERT_NE(engine.PlayWaveToLine(wav), 0u);
    ASSERT_TRUE(sim->waitForLog(QStringLiteral("host: at+vtx")));
    engine.StopWaveToLine();
    engine.StopTransmitRaw();
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    ASSERT_TRUE(sim->waitForLog(QStringLiteral("tx end")));

    EXPECT_EQ(engine.StartVTX(), Engine::ReplyConnect);
    EXPECT_TRUE(engine.EndTransmit());
    ASSERT_TRUE(testsupport::waitUntil([&] { return sim->log().filter(QStringLiteral("tx end")).size() == 2; }));
    const QStringList ends = sim->log().filter(QStringLiteral("tx end"));
    EXPECT_TRUE(ends[0].endsWith(QLatin1String(" 0 bytes"))) << qPrintable(ends[0]) << ": none of the message went out";
    EXPECT_EQ(commandsSeen().filter(QStringLiteral("AT+VTX")).size(), 2);
    EXPECT_FALSE(log.lines.contains(QStringLiteral("Time out")));
}

TEST_F(SimulatorTest, CommandLineSendAndInit)
{
    startSim();
    const QString data = dir.filePath(QStringLiteral("data"));
    const QStringList global{QStringLiteral("--data-dir"), data, QStringLiteral("--port"), sim->devicePath()};

    auto ok = testsupport::run(VELMORA_CLI, global + QStringList{"send", "AT", "ATI3"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.constData();
    EXPECT_TRUE(ok.out.startsWith("reply=0 \\r\\nOK\\r\\n\nreply=0 ")) << ok.out.constData();

    auto refused = testsupport::run(VELMORA_CLI, global + QStringList{"send", "AT", "AT+NOSUCH"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.out.endsWith("reply=1 \\r\\nERROR\\r\\n\n")) << refused.out.constData();

    // A data folder nobody probed sends nothing and says what to do.
    auto unprobed = testsupport::run(VELMORA_CLI, global + QStringList{"init"});
    EXPECT_EQ(unprobed.exitCode, 1);
    EXPECT_TRUE(unprobed.err.contains("run velmora-cli probe first")) << unprobed.err.constData();
    EXPECT_TRUE(unprobed.out.isEmpty());
    ASSERT_EQ(testsupport::run(VELMORA_CLI, global + QStringList{"probe"}).exitCode, 0);

    auto init = testsupport::run(VELMORA_CLI, global + QStringList{"init"});
    EXPECT_EQ(init.exitCode, 0) << init.err.constData();
    EXPECT_TRUE(init.out.contains(" -> at+fclass=8\n")) << init.out.constData();
    EXPECT_FALSE(init.out.contains("Time out"));
    EXPECT_EQ(readInitScript(data + QStringLiteral("/initScript.txt")), defaultInitScript());

    auto noDevice = testsupport::run(VELMORA_CLI, {"--data-dir", data, "--port", dir.filePath("nothing"), "send", "AT"});
    EXPECT_EQ(noDevice.exitCode, 1);
    EXPECT_FALSE(noDevice.err.isEmpty());
}

} // namespace
