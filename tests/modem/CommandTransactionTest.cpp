#include "EngineFixture.h"

#include <QTimer>

namespace {

using Engine = TQVModem253;

TEST_F(EngineTest, EachResultWordGivesItsReplyCodeAndLogLine)
{
    bind();
    const struct
    {
        QByteArray reply;
        int code;
        const char* logLine;
    } cases[] = {
        {"\r\nOK\r\n", Engine::ReplyOk, "ok"},
        {"\r\nERROR\r\n", Engine::ReplyError, "Error"},
        {"\r\nCONNECT\r\n", Engine::ReplyConnect, "Connect"},
        {"\r\nok\r\n", Engine::ReplyOk, "ok"}, // letter case does not matter
    };
    for (const auto& c : cases) {
        port.clearReplies();
        port.clearWritten();
        log.lines.clear();
        port.addReply("at+vgr=128", {c.reply});
        EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vgr=128")), c.code) << c.reply.constData();
        EXPECT_EQ(port.written(), QByteArray("at+vgr=128\r"));
        EXPECT_EQ(log.lines, QStringList({QStringLiteral("at+vgr=128"), QString::fromLatin1(c.logLine)}));
        EXPECT_EQ(engine.GetLastReply(), QString::fromLatin1(c.reply));
    }
    EXPECT_FALSE(log.stamped.contains(false));
}

TEST_F(EngineTest, NoAnswerTimesOutAfterFiveHundredPollsPerSecond)
{
    bind();
    engine.setCmdTimeoutDur(1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vsm=128")), Engine::ReplyTimeOut);
    EXPECT_EQ(sleeps, 500);
    EXPECT_EQ(sleptMs, 1000);
    EXPECT_EQ(log.lines, QStringList({QStringLiteral("at+vsm=128"), QStringLiteral("Time out")}));

    sleeps = 0;
    engine.setCmdTimeoutDur(3);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at")), Engine::ReplyTimeOut);
    EXPECT_EQ(sleeps, 1500);
    EXPECT_EQ(engine.replyState(), Engine::ReplyTimeOut);
}

TEST_F(EngineTest, ReplySplitOverTwoArrivalsTimesOutAndLeavesTheEngineUsable)
{
    bind();
    port.addReply("at+vls=1", {"\r\nO", "K\r\n"}, 1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vls=1")), Engine::ReplyTimeOut);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    EXPECT_EQ(engine.GetLastReply(), QStringLiteral("\r\nOK\r\n")); // both halves arrived

    // The late half does not answer the next command; its own reply does.
    port.addReply("at+vls=0", {"\r\nOK\r\n"});
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vls=0")), Engine::ReplyOk);
    EXPECT_EQ(engine.GetLastReply(), QStringLiteral("\r\nOK\r\n"));
}

TEST_F(EngineTest, StreamStartSplitConnectKeepsReplyTextBounded)
{
    // The modem started receiving but the engine never saw CONNECT: the
    // voice bytes that follow are not allowed to pile up as reply text.
    bind();
    port.addReply("at+vrx", {"\r\nCONN", "ECT\r\n"}, 1);
    EXPECT_EQ(engine.StartVRX(), Engine::ReplyTimeOut);
    const QByteArray voice(1536, '\x80');
    for (int i = 0; i < 100; ++i)
        port.deliver(voice);
    settle();
    EXPECT_LE(engine.GetLastReply().size(), 64 * 1024);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
}

TEST_F(EngineTest, ConnectAndOkInOneChunk)
{
    bind();
    // OK, tested after CONNECT, has the last word, and both start the stream.
    port.addReply("at+vtx", {"\r\nCONNECT\r\n\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.StartVTX(), Engine::ReplyOk);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceTransmit);

    // A duplex start moves to state 3 on CONNECT, where OK no longer counts.
    engine.ReleaseModem();
    bind();
    port.addReply("at+vtr", {"\r\nCONNECT\r\n\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.StartVTR(), Engine::ReplyConnect);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceDuplex);
}

TEST_F(EngineTest, StreamStartsOnlyForTheStreamCommands)
{
    bind();
    port.addReply("at+vrx", {"\r\nCONNECT\r\n"});
    port.addReply("AT+VRX", {"\r\nCONNECT\r\n"});
    port.addReply("at+vrx=1", {"\r\nCONNECT\r\n"});

    // SendCommand alone does not name the stream: LastCommand stays unset.
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vrx")), Engine::ReplyConnect);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    // A longer command is not the stream start.
    EXPECT_EQ(engine.SendIfOpen(QStringLiteral("at+vrx=1")), Engine::ReplyConnect);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    // Any letter case is.
    EXPECT_EQ(engine.SendIfOpen(QStringLiteral("AT+VRX")), Engine::ReplyConnect);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceReceive);
}

TEST_F(EngineTest, WhileReceivingOnlyOkInTheVoiceBytesCounts)
{
    bind();
    enterStream(QStringLiteral("at+vrx"));
    ASSERT_EQ(engine.replyState(), Engine::ReplyConnect);
    const QString replyBefore = engine.GetLastReply();

    port.deliver(QByteArray("\x81\x7f ERROR \x80\x10", 10));
    port.deliver(QByteArray("\x80 CONNECT \x80", 11));
    settle();
    EXPECT_EQ(engine.replyState(), Engine::ReplyConnect);
    EXPECT_EQ(engine.GetLastReply(), replyBefore); // voice bytes are not reply text

    port.deliver(QByteArray("\x7f\x80oK\x81", 5));
    settle();
    EXPECT_EQ(engine.replyState(), Engine::ReplyOk);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceReceive);
}

TEST_F(EngineTest, CommandEchoIsNeitherReplyNorResult)
{
    bind();
    // With echo on, the modem repeats the command before answering; this
    // vendor command's own text holds "OK" and must not answer itself.
    port.addReply("at+vlook=1", {"at+vlo", "ok=1\r", "\r\nERROR\r\n"});
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vlook=1")), Engine::ReplyError);
    EXPECT_EQ(engine.GetLastReply(), QStringLiteral("\r\nERROR\r\n"));

    port.addReply("at+vls=1", {"AT+VLS=1\r\r\nOK\r\n"});
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vls=1")), Engine::ReplyOk);
    EXPECT_EQ(engine.GetLastReply(), QStringLiteral("\r\nOK\r\n"));

    // A modem without echo keeps its whole answer.
    port.addReply("at+vgt=128", {"\r\nOK\r\n"});
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vgt=128")), Engine::ReplyOk);
    EXPECT_EQ(engine.GetLastReply(), QStringLiteral("\r\nOK\r\n"));
}

TEST_F(EngineTest, SendIfOpenSendsNothingWhenThePortIsClosed)
{
    EXPECT_EQ(engine.SendIfOpen(QStringLiteral("at+vtx")), Engine::ReplyError);
    EXPECT_TRUE(port.written().isEmpty());
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(EngineTest, HandlerSendingACommandInsideAnotherCommandsWait)
{
    bind();
    // The outer command's answer raises OnResultString; its handler sends a
    // command of its own, which runs a nested wait to its reply.
    port.addReply("at+vgr=128", {"\r\nOK\r\n"});
    port.addReply("at+vgt=128", {"\r\nERROR\r\n"});
    int nested = -1;
    engine.OnResultString = [&](const QString&) {
        engine.OnResultString = nullptr; // once
        nested = engine.SendCommand(QStringLiteral("at+vgt=128"));
    };
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vgr=128")), Engine::ReplyOk);
    EXPECT_EQ(nested, Engine::ReplyError);
    EXPECT_EQ(port.written(), QByteArray("at+vgr=128\rat+vgt=128\r"));
}

TEST_F(EngineTest, NestedCommandDoesNotEndTheOuterWaitWithItsReply)
{
    bind();
    // A timer fires inside the outer wait and sends a command; the modem
    // answers that one at once and the outer one a little later.
    engine.setCmdTimeoutDur(4);
    port.addReply("at+vtd=10", {"\r\nOK\r\n"});
    int nested = -1;
    QTimer::singleShot(0, &engine, [&] {
        nested = engine.SendCommand(QStringLiteral("at+vtd=10"));
        port.deliver("\r\nERROR\r\n"); // the outer command's answer
    });
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vdr=0,0")), Engine::ReplyError);
    EXPECT_EQ(nested, Engine::ReplyOk);
}

TEST_F(EngineTest, DeviceVanishingEndsTheWaitAndEveryLaterOne)
{
    bind();
    engine.setCmdTimeoutDur(4);
    int closes = 0;
    engine.OnPortClose = [&](TQVModem253* sender) {
        EXPECT_EQ(sender, &engine);
        ++closes;
    };
    port.setWriteHook([this](const QByteArray&) {
        QMetaObject::invokeMethod(&port, [this] { port.vanish(); }, Qt::QueuedConnection);
    });
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+fclass=8")), Engine::ReplyTimeOut);
    EXPECT_LT(sleeps, 5);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(engine.portIsOpen());
    EXPECT_EQ(log.lines.last(), QStringLiteral("Port closed"));

    // The rest of a script costs nothing either.
    sleeps = 0;
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vsm=128")), Engine::ReplyTimeOut);
    EXPECT_EQ(engine.cmdVgr(), Engine::ReplyTimeOut);
    EXPECT_EQ(sleeps, 0);
}

} // namespace
