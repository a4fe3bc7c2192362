#include "EngineFixture.h"

#include "EventWait.h"
#include "modem/Shielding.h"

#include <QTimer>
#include <random>

namespace {

using Engine = TQVModem253;

QByteArray dle(char code)
{
    return QByteArray("\x10", 1) + code;
}

// Counts what the engine raises during a test.
struct Raised
{
    explicit Raised(Engine& e)
    {
        e.OnDTMF = [this](char c) { digits += c; };
        e.OnRing = [this](Engine*) { ++rings; };
        e.OnRingAway = [this](int n) { ringAways.append(n); };
        e.OnBusy = [this](Engine*) { ++busy; };
        e.OnData = [this](const QByteArray& d) { data += d; };
        e.OnCallerID = [this](const QString& d, const QString& t, const QString& n, const QString& m) {
            callers.append(QStringList{d, t, n, m});
        };
        e.OnDstvRing = [this](const QString& on, const QString& off) { distinctive.append(on + "/" + off); };
    }
    QString digits;
    int rings = 0;
    QList<int> ringAways;
    int busy = 0;
    QByteArray data;
    QList<QStringList> callers;
    QStringList distinctive;
};

class ArrivalTest : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        engine.setTickClock([this] { return now; });
        engine.setCallerIdQuietMs(60000); // records end at rings unless a test says otherwise
        bind();
    }
    void arrive(const QByteArray& chunk)
    {
        port.deliver(chunk);
        settle();
    }
    uint32_t now = 0;
};

TEST_F(ArrivalTest, DigitIsReportedOnceInsideItsToneOnly)
{
    Raised r(engine);
    arrive(dle('/') + dle('5') + dle('5') + dle('~'));
    EXPECT_EQ(r.digits, "5");
    arrive(dle('5'));
    EXPECT_EQ(r.digits, "5");
    arrive(dle('/') + dle('#'));
    arrive(dle('#') + dle('~'));
    EXPECT_EQ(r.digits, "5#");
    EXPECT_FALSE(engine.dtmfToneOn());
    // A key whose end the modem lost (deaf while it transmitted) does not
    // swallow the next one.
    arrive(dle('/') + dle('4'));
    arrive(dle('/') + dle('7') + dle('~'));
    EXPECT_EQ(r.digits, "5#47");
}

TEST_F(ArrivalTest, PairSplitBetweenArrivalsIsStillRecognised)
{
    Raised r(engine);
    arrive(QByteArray("x\x10", 2));
    arrive("R");
    EXPECT_EQ(r.rings, 1);

    enterStream(QStringLiteral("at+vrx"));
    r.data.clear();
    arrive(QByteArray("A\x10", 2));
    arrive("bB");
    arrive(QByteArray("C\x10\x10\x10", 4)); // data DLE, then an open pair
    arrive("dD");
    EXPECT_EQ(r.data, QByteArray("ABC\x10" "D", 5));
    EXPECT_EQ(r.busy, 1);
}

// V.253: DLE DLE is one data byte 0x10; a DLE before a byte outside the
// shielded set is data as it stands.
TEST_F(ArrivalTest, ReceivedDataIsUnshieldedAndDataDleStartsNoEvent)
{
    Raised r(engine);
    enterStream(QStringLiteral("at+vrx"));
    r.data.clear();
    arrive(QByteArray("\x41\x10\x10\x42", 4));
    arrive(QByteArray("\x10\x80", 2));
    arrive(QByteArray("\x10\x10" "b" "\x10\x10/\x10\x10" "5", 9));
    EXPECT_EQ(r.data, QByteArray("\x41\x10\x42\x10\x80\x10" "b\x10/\x10" "5", 11));
    EXPECT_EQ(r.busy, 0);
    EXPECT_TRUE(r.digits.isEmpty());
}

// Voice bytes of every value, shielded as the modem does and read in
// pieces of any size, come out exactly as they went in.
TEST_F(ArrivalTest, VoiceDataComesBackExactlyWhateverTheReads)
{
    Raised r(engine);
    enterStream(QStringLiteral("at+vrx"));
    r.data.clear();
    std::mt19937 random(3);
    QByteArray voice;
    for (int i = 0; i < 20000; ++i)
        voice.append(char(random() % 4 == 0 ? 0x10 : random() % 256));
    const QByteArray line = ShieldVoiceData(voice);
    for (qsizetype at = 0; at < line.size();) {
        const qsizetype n = std::min<qsizetype>(1 + random() % 40, line.size() - at);
        port.deliver(line.sliced(at, n));
        at += n;
    }
    settle();
    EXPECT_EQ(r.data, voice);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceReceive);
}

TEST_F(ArrivalTest, EndOfDataCountsOnlyAfterTheReceiveStop)
{
    enterStream(QStringLiteral("at+vrx"));
    const uint8_t before = engine.replyState();
    arrive(dle('\x03'));
    EXPECT_EQ(engine.replyState(), before);
    EXPECT_TRUE(log.lines.isEmpty());

    port.addReply(Engine::ReceiveStopPair, {dle('\x03')}, 1); // no OK follows
    EXPECT_EQ(engine.StopVRX(), Engine::ReplyOk);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("End Data State")});
}

TEST_F(ArrivalTest, RingsMeasureTheSpanOnceAndRingAwayReportsTheCount)
{
    Raised r(engine);
    arrive(dle('R'));
    EXPECT_EQ(engine.ringTimer()->interval(), 9056);
    EXPECT_TRUE(engine.ringTimer()->isActive());
    now = 400; // the same ring reported again
    arrive(dle('R'));
    now = 4000;
    arrive(dle('R'));
    EXPECT_EQ(r.rings, 2);
    EXPECT_EQ(engine.ringTimer()->interval(), 4400);
    EXPECT_EQ(ini->readInteger(QStringLiteral("Modem"), QStringLiteral("ringSpan"), 0), 4000);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Ring span calculated : 4000")});

    engine.RingAwayTimer();
    EXPECT_EQ(r.ringAways, QList<int>{2});
    EXPECT_FALSE(engine.ringTimer()->isActive());
    EXPECT_EQ(engine.ringCounter(), 0);

    engine.LoadProfile(); // the measured span is kept from now on
    log.lines.clear();
    now = 90000;
    arrive(dle('R'));
    now = 94000;
    arrive(dle('R'));
    EXPECT_TRUE(log.lines.isEmpty());
    EXPECT_EQ(engine.ringTimer()->interval(), 4400);
}

TEST_F(ArrivalTest, TextRingCountsLikeDleRingButOnceWhenBothCome)
{
    Raised r(engine);
    arrive("\r\nRING\r\n");
    EXPECT_EQ(r.rings, 1);
    now = 5000;
    arrive(dle('R') + "\r\nRI");
    arrive("NG\r\n");
    EXPECT_EQ(r.rings, 2);
    EXPECT_EQ(engine.ringCounter(), 2);
}

TEST_F(ArrivalTest, RingWhileAStreamRunsIsIgnored)
{
    Raised r(engine);
    enterStream(QStringLiteral("at+vrx"));
    arrive(dle('R'));
    arrive("\r\nRING\r\n");
    EXPECT_EQ(r.rings, 0);
    EXPECT_EQ(engine.ringCounter(), 0);
    EXPECT_FALSE(engine.ringTimer()->isActive());
}

TEST_F(ArrivalTest, FramedPacketOverSeveralArrivals)
{
    Raised r(engine);
    arrive("noise" + dle('X') + "DATE=0321\r\nTIME=1405\r\n");
    arrive("NMBR= 5551234\r\nNAME=DOE JANE\r\n" + dle('.'));
    ASSERT_EQ(r.callers.size(), 1);
    EXPECT_EQ(r.callers[0], (QStringList{"0321", "1405", "5551234", "DOE JANE"}));

    arrive(dle('X') + "NAME=ONLY A NAME\r\n" + dle('.'));
    EXPECT_EQ(r.callers.size(), 1);
}

TEST_F(ArrivalTest, PacketThatNeverEndsIsDroppedNotGrown)
{
    Raised r(engine);
    arrive(dle('X') + "NMBR=1\r\n");
    for (int i = 0; i < 10; ++i)
        arrive(QByteArray(1000, 'z'));
    arrive(dle('.'));
    EXPECT_TRUE(r.callers.isEmpty());
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Caller ID packet without an end discarded")});
}

TEST_F(ArrivalTest, PlainTextCallerIdEndsAtTheNextRing)
{
    Raised r(engine);
    arrive("\r\nDATE = 1015\r\nTI");
    arrive("ME = 1310\r\nNMBR = 5551234\r\n"); // no NAME
    arrive("\r\nRING\r\n");
    ASSERT_EQ(r.callers.size(), 1);
    EXPECT_EQ(r.callers[0], (QStringList{"1015", "1310", "5551234", ""}));
    EXPECT_EQ(r.rings, 1);
}

TEST_F(ArrivalTest, PlainTextCallerIdEndsWhenTheModemGoesQuiet)
{
    Raised r(engine);
    engine.setCallerIdQuietMs(0);
    arrive("DATE=1203\r\nDDN_NMBR=PRIVATE\r\nDRON=5\r\nDROF=10\r\n");
    EXPECT_TRUE(testsupport::waitUntil([&] { return !r.callers.isEmpty(); }));
    EXPECT_EQ(r.callers[0], (QStringList{"1203", "", "PRIVATE", ""}));
    EXPECT_EQ(r.distinctive, QStringList{"5/10"});
}

} // namespace
