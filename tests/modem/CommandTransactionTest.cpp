#include "EngineFixture.h"

#include "modem/ModemLines.h"

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

// Real modems hand their output over in reads of any size: a result is a
// whole line, wherever the reads split it.
TEST_F(EngineTest, ResultSplitAtAnyBytePositionIsRecognised)
{
    bind();
    const struct
    {
        QByteArray reply;
        int code;
    } cases[] = {
        {"\r\nOK\r\n", Engine::ReplyOk},
        {"\r\nERROR\r\n", Engine::ReplyError},
        {"\r\nCONNECT\r\n", Engine::ReplyConnect},
        {"\r\n+GMM: LOOKOUT\r\n\r\nOK\r\n", Engine::ReplyOk},
    };
    for (const auto& c : cases) {
        for (qsizetype split = 0; split <= c.reply.size(); ++split) {
            port.clearReplies();
            port.addReply("at+gmm", {c.reply.first(split), c.reply.sliced(split)}, 1);
            EXPECT_EQ(engine.SendCommand(QStringLiteral("at+gmm")), c.code) << c.reply.constData() << split;
            EXPECT_EQ(engine.GetLastReply(), QString::fromLatin1(c.reply));
        }
        QList<QByteArray> bytewise;
        for (const char b : c.reply)
            bytewise.append(QByteArray(1, b));
        port.clearReplies();
        port.addReply("at+gmm", bytewise, 1);
        EXPECT_EQ(engine.SendCommand(QStringLiteral("at+gmm")), c.code) << c.reply.constData();
    }
}

TEST_F(EngineTest, ResultWordsInsideOtherLinesEndNoWait)
{
    bind();
    // Information text that merely contains a result word is not a result.
    for (const char* text : {"\r\n+GMM: LOOKOUT\r\n", "\r\nNAME = BROOKS\r\n", "\r\nTERROR\r\n", "OK?\r\n"}) {
        port.clearReplies();
        port.addReply("ati3", {text}, 1);
        EXPECT_EQ(engine.SendCommand(QStringLiteral("ati3")), Engine::ReplyTimeOut) << text;
    }
}

TEST_F(EngineTest, NumericResultsCountAfterV0Only)
{
    bind();
    port.addReply("at+fclass?", {"\r\n0\r\n\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+fclass?")), Engine::ReplyOk);
    EXPECT_EQ(engine.GetLastReply(), QStringLiteral("\r\n0\r\n\r\nOK\r\n")); // "0" was no result yet

    port.addReply("ATE0V0", {"0", "\r"}, 1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("ATE0V0")), Engine::ReplyOk);
    port.addReply("at+vgr=999", {"4\r"}, 1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vgr=999")), Engine::ReplyError);
    port.addReply("atv1", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("atv1")), Engine::ReplyOk);
    port.addReply("at+vgr=998", {"\r\n4\r\n"}, 1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vgr=998")), Engine::ReplyTimeOut);
}

TEST_F(EngineTest, CommandLinesThatSwitchNumericResults)
{
    EXPECT_EQ(numericResultsAfter("ATV0"), true);
    EXPECT_EQ(numericResultsAfter("ate0v0q0"), true);
    EXPECT_EQ(numericResultsAfter("ATV"), true);
    EXPECT_EQ(numericResultsAfter("ATS0=0V0"), true);
    EXPECT_EQ(numericResultsAfter("ATV0Z"), false);
    EXPECT_EQ(numericResultsAfter("AT&FE0"), false);
    EXPECT_EQ(numericResultsAfter("ATV1"), false);
    EXPECT_EQ(numericResultsAfter("AT+VSM=128,8000,0,0"), std::nullopt);
    EXPECT_EQ(numericResultsAfter("AT+VLS=0;V0"), true);
    EXPECT_EQ(numericResultsAfter("ATDT5550V0"), std::nullopt);
    EXPECT_EQ(numericResultsAfter("at&v0"), std::nullopt);
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

// Voice bytes are audio: no result word inside them counts. What follows
// the modem's DLE ETX, once the stream was asked to stop, is text again.
TEST_F(EngineTest, WhileReceivingResultsCountOnlyAfterTheStreamEnds)
{
    bind();
    enterStream(QStringLiteral("at+vrx"));
    ASSERT_EQ(engine.replyState(), Engine::ReplyConnect);
    const QString replyBefore = engine.GetLastReply();

    port.deliver(QByteArray("\x81\x7f\r\nERROR\r\n\x80\x10", 13));
    port.deliver(QByteArray("\x80\r\nCONNECT\r\n\x80", 13));
    port.deliver(QByteArray("\x7f\r\nOK\r\nok\n\x81", 12));
    settle();
    EXPECT_EQ(engine.replyState(), Engine::ReplyConnect);
    EXPECT_EQ(engine.GetLastReply(), replyBefore); // voice bytes are not reply text
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceReceive);

    // The stop answered with DLE ETX and OK split over several reads.
    port.addReply(Engine::ReceiveStopPair, {QByteArray("\x80\r\nOK\r\n\x10", 8), "\x03\r\nO", "K\r\n"}, 1);
    EXPECT_EQ(engine.StopVRX(), Engine::ReplyOk);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    // That OK has been read: it cannot answer the next command.
    port.addReply("at+vls=0", {"\r\nERROR\r\n"}, 1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vls=0")), Engine::ReplyError);
}

TEST_F(EngineTest, ConnectSplitOverReadsStartsTheStreamAndWhatFollowsIsVoice)
{
    bind();
    QByteArray data;
    engine.OnData = [&](const QByteArray& d) { data += d; };
    port.addReply("at+vrx", {"\r\nCONN", "ECT\r", "\nOK\x10\x10"}, 1);
    EXPECT_EQ(engine.StartVRX(), Engine::ReplyConnect);
    settle();
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceReceive);
    EXPECT_EQ(engine.GetLastReply(), QStringLiteral("\r\nCONNECT\r"));
    EXPECT_TRUE(data.endsWith(QByteArray("OK\x10", 3))); // the LF of the CONNECT line is not audio
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
