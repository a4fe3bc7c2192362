#include "EngineFixture.h"

namespace {

using Engine = TQVModem253;

const QByteArray DleEtx("\x10\x03", 2);
const QByteArray DleBang("\x10!", 2);
const QByteArray DleCaret("\x10^", 2);

struct StreamCase
{
    const char* start;
    uint8_t state;
    int (Engine::*stop)();
    QByteArray pair;
    QByteArray answer; // what a standard modem sends back
};

const StreamCase streams[] = {
    {"at+vrx", Engine::VoiceReceive, &Engine::StopVRX, DleBang, QByteArray("\x10\x03\r\nOK\r\n", 7)},
    {"at+vtx", Engine::VoiceTransmit, &Engine::StopVTX, DleEtx, QByteArray("\r\nOK\r\n")},
    {"at+vtr", Engine::VoiceDuplex, &Engine::StopVTR, DleCaret, QByteArray("\x10\x03\r\nOK\r\n", 7)},
};

TEST_F(EngineTest, EachStreamStopsOnlyWithItsOwnPair)
{
    for (const StreamCase& s : streams) {
        SCOPED_TRACE(s.start);
        bind();
        enterStream(QString::fromLatin1(s.start));
        ASSERT_EQ(engine.GetVoiceState(), s.state);

        // The other two stops do nothing in this state.
        for (const StreamCase& other : streams) {
            if (other.state == s.state)
                continue;
            EXPECT_EQ((engine.*other.stop)(), Engine::ReplyError);
        }
        EXPECT_TRUE(port.written().isEmpty());

        port.addReply(s.pair, {s.answer}, 1);
        EXPECT_EQ((engine.*s.stop)(), Engine::ReplyOk);
        EXPECT_EQ(port.written(), s.pair); // no carriage return, no command line in the log
        const QStringList endOfData{QStringLiteral("End Data State")};
        EXPECT_EQ(log.lines, s.state == Engine::VoiceReceive ? endOfData : QStringList());
        EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
        EXPECT_EQ(engine.lastCommand(), QString::fromLatin1(s.pair));
        engine.ReleaseModem();
    }
}

TEST_F(EngineTest, StopWithoutAnswerTimesOutAndKeepsTheStream)
{
    bind();
    enterStream(QStringLiteral("at+vrx"));
    // ERROR and CONNECT do not end a stop wait.
    port.addReply(DleBang, {"\r\nERROR\r\n"}, 1);
    EXPECT_EQ(engine.StopVRX(), Engine::ReplyTimeOut);
    EXPECT_EQ(sleeps, 500);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Time out")});
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceReceive);
}

TEST_F(EngineTest, UnansweredStopIsRetriedEscapedAndThatFormIsKept)
{
    bind();
    enterStream(QStringLiteral("at+vrx"));
    const QByteArray escaped = QByteArray("\x10\x10", 2) + DleBang;
    port.addReply(escaped, {QByteArray("\x10\x03\r\nOK\r\n", 7)});

    EXPECT_EQ(engine.StopVRX(), Engine::ReplyTimeOut); // the plain pair is ignored
    EXPECT_EQ(port.written(), DleBang);
    EXPECT_FALSE(ini->readBool(QStringLiteral("Modem"), QStringLiteral("EscapeStopPairs"), false));

    port.clearWritten();
    EXPECT_EQ(engine.StopVRX(), Engine::ReplyOk);
    EXPECT_EQ(port.written(), escaped);
    EXPECT_TRUE(ini->readBool(QStringLiteral("Modem"), QStringLiteral("EscapeStopPairs"), false));

    // From now on, also after the profile is read again, the first attempt
    // is the escaped one.
    engine.ReleaseModem();
    bind();
    enterStream(QStringLiteral("at+vrx"));
    sleeps = 0;
    EXPECT_EQ(engine.StopVRX(), Engine::ReplyOk);
    EXPECT_EQ(port.written(), escaped);
    EXPECT_LT(sleeps, 5);
}

TEST_F(EngineTest, EndTransmitRetriesEscapedBeforeGivingUp)
{
    int ends = 0;
    engine.OnTrxEnd = [&](TQVModem253*) { ++ends; };
    bind();
    enterStream(QStringLiteral("at+vtx"));
    const QByteArray escaped = QByteArray("\x10\x10", 2) + DleEtx;
    port.addReply(escaped, {"\r\nOK\r\n"}, 1);
    EXPECT_TRUE(engine.EndTransmit());
    EXPECT_EQ(port.written(), DleEtx + escaped);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);

    // Nothing transmits: true at once, nothing sent.
    port.clearWritten();
    EXPECT_TRUE(engine.EndTransmit());
    EXPECT_TRUE(port.written().isEmpty());
    EXPECT_EQ(ends, 1);
}

// A modem deaf to both stops would hear no command and report no ring
// again: the port is closed to end its stream.
TEST_F(EngineTest, EndTransmitFailingTwiceClosesThePort)
{
    int ends = 0;
    engine.OnTrxEnd = [&](TQVModem253*) { ++ends; };
    bind();
    enterStream(QStringLiteral("at+vtx"));
    EXPECT_FALSE(engine.EndTransmit());
    EXPECT_EQ(log.lines.mid(0, 3), QStringList({QStringLiteral("Time out"), QStringLiteral("Time out"),
                                               QStringLiteral("stop Transmiting FAILED")}));
    EXPECT_TRUE(log.lines.contains(
        QStringLiteral("<ERROR> The modem did not leave its transmit stream: the port is closed to end it")));
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(ends, 0);
    // A failed escaped attempt does not make the escaped form the rule.
    EXPECT_FALSE(ini->valueExists(QStringLiteral("Modem"), QStringLiteral("EscapeStopPairs")));
}

TEST_F(EngineTest, ReleaseModemResetsModeAndStreamWithoutTellingTheModem)
{
    bind();
    port.addReply("at+fclass=8", {"\r\nOK\r\n"}, 1);
    ASSERT_EQ(engine.SetVoiceMode(), 0);
    enterStream(QStringLiteral("at+vrx"));
    ASSERT_EQ(engine.GetModemMode(), Engine::ModeVoice);

    EXPECT_TRUE(engine.ReleaseModem());
    EXPECT_EQ(engine.GetModemMode(), Engine::ModeData);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    EXPECT_FALSE(engine.portIsOpen());
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.written().isEmpty());
}

} // namespace
