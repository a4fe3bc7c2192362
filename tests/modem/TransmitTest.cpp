#include "EngineFixture.h"
#include "EventWait.h"

#include "audio/RiffWriter.h"
#include "modem/TransmitWorkers.h"

#include <QFile>
#include <QMutex>

namespace {

using Engine = TQVModem253;

// An engine on a fake port whose modem takes 8 kHz 8-bit samples, answers
// the stream start with CONNECT and its stop with OK. The writes are kept
// one by one.
class TransmitTest : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        engine.setSleepFunction({}); // real sleeps: the worker's waits need the replies of this thread
        ini->writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), standardPcm8k().formatBuffer());
        port.addReply("at+fclass=8", {"\r\nOK\r\n"});
        port.addReply("at+vtx", {"\r\nCONNECT\r\n"});
        port.addReply(QByteArray("\x10\x03", 2), {"\r\nOK\r\n"});
        port.setWriteHook([this](const QByteArray& bytes) {
            QMutexLocker lock(&writesMutex);
            writes.append(QByteArray(bytes.constData(), bytes.size())); // the worker reuses its buffer
        });
        engine.OnTrxEnd = [this](Engine*) {
            ++trxEnds;
            trxEndOnMainThread = QThread::currentThread() == engine.thread();
        };
        engine.OnTransmitDone = [this](Engine*) { ++done; };
        engine.OnTransmitError = [this](const QString& message) { errors.append(message); };
        bind();
        ASSERT_EQ(engine.SetVoiceMode(), Engine::ReplyOk);
        clearWrites();
    }
    void clearWrites()
    {
        QMutexLocker lock(&writesMutex);
        writes.clear();
    }
    // The writes after the stream start, the stop pair last.
    QList<QByteArray> audioWrites()
    {
        QMutexLocker lock(&writesMutex);
        QList<QByteArray> out = writes;
        out.removeIf([](const QByteArray& w) { return w.startsWith("at"); });
        return out;
    }
    bool waitForDone(int count = 1) { return testsupport::waitUntil([&] { return done >= count; }, 10000); }
    QString wavFile(const TdeWaveFormat& format, const QByteArray& audio)
    {
        const QString path = dir.filePath(QStringLiteral("play.wav"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        TdeRIFFAudioWriter writer(&file);
        writer.setFormat(format);
        writer.writeData(audio.constData(), audio.size());
        writer.finish();
        return path;
    }

    QMutex writesMutex;
    QList<QByteArray> writes;
    int trxEnds = 0;
    bool trxEndOnMainThread = false;
    int done = 0;
    QStringList errors;
};

QByteArray sizes(const QList<QByteArray>& writes)
{
    QByteArray out;
    for (const QByteArray& w : writes)
        out += QByteArray::number(w.size()) + ' ';
    return out.trimmed();
}

// Raw audio goes out in 1024-byte blocks and the rest, signs flipped for a
// modem of signed samples (the last byte too), a data byte 0x10 doubled;
// less than one block sends nothing; the stream ends either way.
TEST_F(TransmitTest, RawAudioInBlocksSignedAndShielded)
{
    ini->writeString(QStringLiteral("Modem"), QStringLiteral("CompressionDesc"), QStringLiteral("SIGNED PCM"));
    engine.LoadProfile();
    QByteArray data(2500, '\x40');
    data[1000] = '\x90'; // becomes 0x10 once signed: goes out as DLE DLE
    data[2497] = '\x80';
    data[2498] = '\x7F';
    data[2499] = '\x00';
    ASSERT_EQ(engine.StartVTX(), Engine::ReplyConnect);
    engine.TransmitRaw(data);
    ASSERT_TRUE(waitForDone());
    const QList<QByteArray> sent = audioWrites();
    EXPECT_EQ(sizes(sent), "1025 1024 452 2");
    EXPECT_EQ(sent[0].mid(1000, 3), QByteArray("\x10\x10\xC0", 3));
    EXPECT_EQ(sent[2].right(3), QByteArray("\x00\xFF\x80", 3));
    EXPECT_EQ(sent.last(), QByteArray("\x10\x03", 2));
    EXPECT_EQ(trxEnds, 1);
    EXPECT_TRUE(trxEndOnMainThread);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);

    clearWrites();
    ASSERT_EQ(engine.StartVTX(), Engine::ReplyConnect);
    engine.TransmitRaw(QByteArray(1023, '\x40'));
    ASSERT_TRUE(waitForDone(2));
    EXPECT_EQ(sizes(audioWrites()), "2"); // only the stop
    EXPECT_EQ(trxEnds, 2);
}

// A WAV file of 16-bit 8 kHz is read in 1000-byte pieces, the last 1500
// bytes as one; each converted piece is one write.
TEST_F(TransmitTest, WaveFileInPiecesOfASixteenthOfASecond)
{
    EXPECT_EQ(Twav2Line::pieceSize(pcmFormat(8000, 16, 1)), 1000);
    EXPECT_EQ(Twav2Line::pieceSize(standardPcm8k()), 500);
    TdeWaveFormat slow = standardPcm8k();
    slow.setAvgBytesPerSec(15);
    EXPECT_EQ(Twav2Line::pieceSize(slow), 0);

    QByteArray audio;
    for (int i = 0; i < 1750; ++i) {
        const qint16 sample = qint16((i % 50) * 512 - 12800);
        audio.append(reinterpret_cast<const char*>(&sample), 2);
    }
    engine.PlayWaveToLine(wavFile(pcmFormat(8000, 16, 1), audio));
    ASSERT_TRUE(waitForDone());
    EXPECT_EQ(sizes(audioWrites()), "500 500 750 2");
    EXPECT_EQ(audioWrites()[0][1], char((512 * 1 - 12800 + 128 + 32768) >> 8)); // 16 to 8 bits
    EXPECT_EQ(trxEnds, 1);
}

// Broken files end the worker at once with the message, and the stream is
// still ended so the call goes on.
TEST_F(TransmitTest, UnplayableFilesAreReportedAndTheStreamEnds)
{
    // A PCM header's bytes per second are taken from its rate now: a codec no
    // driver knows is what cannot be played.
    TdeWaveFormat unknown = standardPcm8k();
    unknown.setFormatTag(0x0055);
    for (const QString& file : {dir.filePath(QStringLiteral("missing.wav")), wavFile(unknown, QByteArray(400, '\x80'))}) {
        errors.clear();
        clearWrites();
        const int before = done;
        engine.PlayWaveToLine(file);
        ASSERT_TRUE(waitForDone(before + 1));
        EXPECT_EQ(errors, QStringList{QStringLiteral("Error was created startWav2Line")});
        EXPECT_EQ(sizes(audioWrites()), "2");
        settle();
        EXPECT_TRUE(log.lines.filter(QStringLiteral("<ERROR> was created startWav2Line")).size() >= 1);
    }
}

// Stops: nothing transmitting is true at once; a running worker stops
// early and ends the stream; a worker that ended on a failed stop is not
// waited for again.
TEST_F(TransmitTest, StopsEndTheWorkerAndNeverWaitForOneThatEnded)
{
    EXPECT_TRUE(engine.StopTransmitRaw());
    EXPECT_TRUE(engine.StopWaveToLine());
    EXPECT_TRUE(audioWrites().isEmpty());

    port.setOutputQueued(2040); // the modem plays slowly: the worker waits for room
    ASSERT_EQ(engine.StartVTX(), Engine::ReplyConnect);
    engine.TransmitRaw(QByteArray(80000, '\x40'));
    EXPECT_FALSE(engine.StopWaveToLine()); // not the kind that runs
    port.setOutputQueued(0);
    EXPECT_TRUE(engine.StopTransmitRaw());
    EXPECT_LT(audioWrites().size(), 10);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    EXPECT_EQ(done, 1);

    port.clearReplies(); // the modem ignores the stop now
    port.addReply("at+vtx", {"\r\nCONNECT\r\n"});
    ASSERT_EQ(engine.StartVTX(), Engine::ReplyConnect);
    engine.TransmitRaw(QByteArray(1024, '\x40'));
    ASSERT_TRUE(waitForDone(2));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("stop Transmiting FAILED")));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(engine.StopTransmitRaw()); // the port was closed to end the stream: no worker to wait for
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
}

// The end of one worker, noticed late, must not be taken for the end of the
// next one.
TEST_F(TransmitTest, StaleEndOfAnEarlierWorkerDoesNotEndTheNext)
{
    ASSERT_EQ(engine.StartVTX(), Engine::ReplyConnect);
    engine.TransmitRaw(QByteArray(1024, '\x40'));
    ASSERT_TRUE(testsupport::waitUntil([&] { return trxEnds == 1; }));
    port.setOutputQueued(2040); // the next worker will wait for room
    // Started before the first worker's own notice is processed.
    engine.PlayWaveToLine(wavFile(standardPcm8k(), QByteArray(4000, '\x40')));
    testsupport::settle(100);
    EXPECT_TRUE(engine.transmitting());
    port.setOutputQueued(0);
    ASSERT_TRUE(waitForDone(2));
    EXPECT_EQ(trxEnds, 2);
}

TEST_F(TransmitTest, StreamStartIsRefusedWhileAnotherStreamRuns)
{
    port.addReply("at+vrx", {"\r\nCONNECT\r\n"});
    ASSERT_EQ(engine.StartVRX(), Engine::ReplyConnect);
    clearWrites();
    EXPECT_EQ(engine.StartVTX(), Engine::ReplyError);
    EXPECT_TRUE(audioWrites().isEmpty());
}

} // namespace
