#include "EngineFixture.h"

#include "modem/InitScript.h"
#include "modem/WaitWindow.h"
#include "TestSupport.h"

namespace {

using Engine = TQVModem253;
using Kind = ScriptLine::Kind;

TEST(InitScriptLine, KeywordsCommentsAndCommands)
{
    EXPECT_EQ(classifyScriptLine(QStringLiteral("SetVoiceMode")).kind, Kind::Operation);
    EXPECT_EQ(classifyScriptLine(QStringLiteral("ReleaseModem")).op, ScriptOp::ReleaseModem);
    const ScriptLine vgt = classifyScriptLine(QStringLiteral("cmdVgt"));
    EXPECT_EQ(vgt.kind, Kind::ProfileCommand);
    EXPECT_EQ(vgt.command, ModemCommand::sTransmitGain);
    EXPECT_EQ(classifyScriptLine(QStringLiteral("cmdSpkPhone_4")).command, ModemCommand::sSpkPhone_4);

    // Commands: the lower-case letters "at" anywhere, or "AT" in any case
    // at the start.
    EXPECT_EQ(classifyScriptLine(QStringLiteral("at+vgt=140")).kind, Kind::AtCommand);
    EXPECT_EQ(classifyScriptLine(QStringLiteral("AT+VGT=140")).kind, Kind::AtCommand);
    EXPECT_EQ(classifyScriptLine(QStringLiteral("VGT=140")).kind, Kind::Ignored);
    EXPECT_EQ(classifyScriptLine(QStringLiteral("// at+vgt=140")).kind, Kind::Comment);
    // Keywords match whole lines, case and blanks included.
    EXPECT_EQ(classifyScriptLine(QStringLiteral(" cmdVgt")).kind, Kind::Ignored);
    EXPECT_EQ(classifyScriptLine(QStringLiteral("setvoicemode")).kind, Kind::Ignored);
    EXPECT_EQ(classifyScriptLine(QStringLiteral(" StartVTX")).kind, Kind::Ignored);
    EXPECT_EQ(classifyScriptLine(QStringLiteral(" SetDataMode")).kind, Kind::AtCommand); // "SetDataMode" holds "at"
}

TEST(InitScriptFile, DefaultIsWrittenOnceAndReadBack)
{
    QTemporaryDir dir;
    const QString path = initScriptPath(dir.filePath(QStringLiteral("vlm.ini")));
    EXPECT_EQ(path, dir.filePath(QStringLiteral("initScript.txt")));
    ensureInitScript(path);
    EXPECT_EQ(readInitScript(path), defaultInitScript());
    EXPECT_EQ(defaultInitScript().size(), 6);

    testsupport::writeFile(path, "// mine\r\nSetVoiceMode\r\n\r\nat+vgt=140");
    ensureInitScript(path); // an existing script is the user's
    EXPECT_EQ(readInitScript(path),
              QStringList({QStringLiteral("// mine"), QStringLiteral("SetVoiceMode"), QString(),
                           QStringLiteral("at+vgt=140")}));

    EXPECT_THROW(readInitScript(dir.filePath(QStringLiteral("missing.txt"))), InitScriptError);
}

class InitTest : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        port.addReply("\r", {"\r\nOK\r\n"}); // a modem that accepts everything
    }
    void writeScript(const QByteArray& text)
    {
        testsupport::writeFile(dir.filePath(QStringLiteral("initScript.txt")), text);
    }
    void initString(int n, const QString& value)
    {
        ini->writeString(QStringLiteral("ModemInitString"), QStringLiteral("st%1").arg(n), value);
    }
};

TEST_F(InitTest, InitStringsThenScriptLinesInOrder)
{
    initString(1, QStringLiteral("AT!4886=00"));
    initString(2, QStringLiteral("ATE0"));
    initString(4, QStringLiteral("ATZ")); // after the gap at st3: not sent
    writeScript("SetVoiceMode\n// at+vgt=1\nAT+VGT=2\ncmdVgt\nat+vls=1;+vcid=1\ncmdFVcid\nnonsense\n\n");
    EXPECT_TRUE(engine.InitModem());
    EXPECT_EQ(port.written(),
              QByteArray("AT!4886=00\rATE0\rat+fclass=8\rAT+VGT=2\rat+vgt=128\rat+vls=1;+vcid=1\rat+vcid=1\r"));
    EXPECT_EQ(engine.GetModemMode(), Engine::ModeVoice);
    // The one line that did nothing says so; the blank one does not.
    EXPECT_EQ(log.lines.filter(QStringLiteral("ignored")),
              QStringList{QStringLiteral(
                  "initScript.txt line 7 ignored (not a keyword, an AT command or a comment): nonsense")});
}

TEST_F(InitTest, RejectedScriptLinesDoNotStopTheScript)
{
    port.clearReplies();
    port.addReply("at+vsm", {"\r\nERROR\r\n"});
    port.addReply("\r", {"\r\nOK\r\n"});
    ensureInitScript(dir.filePath(QStringLiteral("initScript.txt")));
    EXPECT_TRUE(engine.InitModem());
    EXPECT_EQ(port.written(),
              QByteArray("at+fclass=8\rat+vsm=128\rat+vgt=128\rat+vgr=128\rat+vcid=1\rat+vtd=10\r"));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("Error")));
}

TEST_F(InitTest, MissingScriptIsAnErrorForTheCaller)
{
    EXPECT_THROW(engine.InitModem(), InitScriptError);
}

TEST_F(InitTest, LineCycleAfterARefusedReceiveStart)
{
    ini->writeBool(QStringLiteral("Modem"), QStringLiteral("atdt"), true);
    writeScript("");
    port.clearReplies();
    port.addReply("atdt", {"\r\nNO CARRIER\r\n"});
    port.addReply("at+vls=0", {"\r\nOK\r\n"});
    EXPECT_TRUE(engine.InitModem());
    EXPECT_EQ(port.written(), QByteArray("atdt\rat+vls=0\r"));
    // The dial times out (NO CARRIER is no result word), then the line is
    // left for about ten seconds before it is put back on hook.
    EXPECT_EQ(sleptMs, 1 + 1000 + 100 * 100 + 2); // open, dial, pause, hook
    EXPECT_EQ(log.lines.first(), QStringLiteral("Please wait."));
    EXPECT_EQ(engine.lastCommand(), QStringLiteral("at+vls=0"));

    // The flag stays: every init repeats the cycle. A dial answered OK is
    // followed by half a second of quiet.
    port.clearWritten();
    port.addReply("atdt", {"\r\nOK\r\n"});
    sleptMs = 0;
    class Window : public WaitWindow
    {
    public:
        void showWait() override { ++shown; }
        void closeWait() override { ++closed; }
        int shown = 0;
        int closed = 0;
    } window;
    engine.setWaitWindow(&window);
    port.clearReplies();
    port.addReply("\r", {"\r\nOK\r\n"});
    EXPECT_TRUE(engine.InitModem());
    EXPECT_EQ(port.written(), QByteArray("atdt\rat+vls=0\r"));
    EXPECT_EQ(sleptMs, 2 + 500 + 2);
    EXPECT_EQ(window.shown, 1);
    EXPECT_EQ(window.closed, 1);
}

TEST(WaitWindowText, DotsCycleFromOneToFour)
{
    EXPECT_EQ(WaitWindow::labelText(0), QStringLiteral("Please wait."));
    EXPECT_EQ(WaitWindow::labelText(3), QStringLiteral("Please wait...."));
    EXPECT_EQ(WaitWindow::labelText(4), QStringLiteral("Please wait."));
}

} // namespace
