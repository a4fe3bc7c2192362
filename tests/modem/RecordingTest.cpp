#include "EngineFixture.h"

#include "audio/RiffReader.h"
#include "audio/WaveFormat.h"
#include "linedsp/TQVMdsp.h"
#include "modem/Shielding.h"

#include <QBuffer>
#include <QFile>

namespace {

using Engine = TQVModem253;

const QByteArray EndOfData("\x10\x03\r\nOK\r\n", 7);

QByteArray wavAudio(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    TdeRIFFAudioReader reader(&file);
    QByteArray audio(int(reader.trackSize()), '\0');
    audio.resize(int(reader.readTrack(0, audio.data(), audio.size())));
    return audio;
}

// An engine in voice mode with a stored modem compression, whose modem
// answers the recording commands.
class RecordingTest : public EngineTest
{
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        ini->writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"),
                         standardPcm8k().formatBuffer());
        ini->writeBinary(QStringLiteral("File compression"), QStringLiteral("Bin"), standardPcm8k().formatBuffer());
        engine.setSleepFunction([](int) {});
        engine.setDSP(&dsp);
        answerRecording("\r\nCONNECT\r\n");
        bind();
        engine.OnPCMdata = [this](const uint8_t* block, int size) {
            pcmBlocks.append(QByteArray(reinterpret_cast<const char*>(block), size));
        };
        file = dir.filePath(QStringLiteral("rec.wav"));
    }
    // The modem's answers to the recording commands, `vrx` to AT+VRX.
    void answerRecording(const QByteArray& vrx)
    {
        port.clearReplies();
        port.addReply("at+fclass=8", {"\r\nOK\r\n"});
        port.addReply("at+vls=", {"\r\nOK\r\n"});
        port.addReply("AT+VLS=0", {"\r\nOK\r\n"});
        port.addReply("at+vrx", {vrx});
        port.addReply(Engine::ReceiveStopPair, {EndOfData});
    }
    void arrive(const QByteArray& chunk)
    {
        port.deliver(chunk);
        settle();
    }
    bool record()
    {
        const bool started = engine.StartRecording(file);
        port.clearWritten();
        return started;
    }

    TQVMdsp dsp;
    QList<QByteArray> pcmBlocks;
    QString file;
};

TEST_F(RecordingTest, StartsFromOnHookWithTheLineSelectWhateverItsCase)
{
    ini->writeString(QStringLiteral("Commands"), QStringLiteral("sOnHook"), QStringLiteral("AT+VLS=0"));
    engine.LoadProfile();
    ASSERT_EQ(engine.cmdOnHook(), Engine::ReplyOk);
    port.clearWritten();
    ASSERT_TRUE(engine.StartRecording(file));
    EXPECT_EQ(port.written(), "at+fclass=8\rat+vls=1\rat+vrx\r");
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceReceive);
}

TEST_F(RecordingTest, RefusedWhileAnyStreamRunsAndStopIsFreeWhenIdle)
{
    EXPECT_TRUE(engine.StopRecording());
    EXPECT_TRUE(port.written().isEmpty());
    port.addReply("at+vtx", {"\r\nCONNECT\r\n"});
    port.addReply("at+vtr", {"\r\nCONNECT\r\n"});
    for (const char* start : {"at+vtx", "at+vrx", "at+vtr"}) {
        SCOPED_TRACE(start);
        ASSERT_EQ(engine.SetVoiceMode(), Engine::ReplyOk);
        ASSERT_EQ(engine.SendIfOpen(QString::fromLatin1(start)), Engine::ReplyConnect);
        port.clearWritten();
        EXPECT_FALSE(engine.StartRecording(file));
        EXPECT_TRUE(port.written().isEmpty());
        engine.ReleaseModem();
        bind();
    }
}

// The detector and display get whole blocks; the file also gets the part
// block the stream ended in.
TEST_F(RecordingTest, LiveBlocksAreWholeAndTheFileKeepsEveryByte)
{
    for (const int bytes : {3071, 3072}) {
        SCOPED_TRACE(bytes);
        pcmBlocks.clear();
        ASSERT_TRUE(record());
        QByteArray voice(bytes, '\0');
        for (int i = 0; i < bytes; ++i)
            voice[i] = char(0x20 + i % 64);
        arrive(voice.first(1000));
        arrive(voice.sliced(1000));
        ASSERT_TRUE(engine.StopRecording());
        const int blocks = bytes / 1536;
        EXPECT_EQ(pcmBlocks.size(), blocks);
        EXPECT_EQ(wavAudio(file), voice);
    }
}

// Every byte value, 0x10 among them, as the modem shields it and in reads
// that split the pairs anywhere.
TEST_F(RecordingTest, RampOfEveryByteValueIsRecordedExactly)
{
    QByteArray ramp;
    for (int i = 0; i < 1536 * 2; ++i)
        ramp.append(char(i % 256));
    ASSERT_TRUE(record());
    const QByteArray line = ShieldVoiceData(ramp);
    for (qsizetype at = 0; at < line.size(); at += 7)
        arrive(line.sliced(at, std::min<qsizetype>(7, line.size() - at)));
    ASSERT_TRUE(engine.StopRecording());
    EXPECT_EQ(wavAudio(file), ramp);
}

// A full disk stops the file, never the live blocks: the detector still
// ends the call, the line is released and the stop says what was lost.
TEST_F(RecordingTest, WriteFailureKeepsTheLiveBlocksAndTheStopSaysTheFileIsIncomplete)
{
    ini->writeBool(QStringLiteral("Settings"), QStringLiteral("Silence"), true);
    ini->writeInteger(QStringLiteral("Settings"), QStringLiteral("DiscTime"), 1);
    engine.LoadProfile();
    int silences = 0;
    dsp.OnSilence = [&](TQVMdsp*) { ++silences; };
    file = QStringLiteral("/dev/full");
    ASSERT_TRUE(record());
    arrive(QByteArray(1536 * 6, '\x80'));
    EXPECT_EQ(pcmBlocks.size(), 6);
    EXPECT_EQ(silences, 1);
    EXPECT_EQ(log.lines.filter(QStringLiteral("Recording stopped writing")).size(), 1);
    EXPECT_TRUE(engine.StopRecording());
    EXPECT_FALSE(engine.recordingProblem().isEmpty());
    EXPECT_TRUE(port.written().endsWith("at+vls=0\r"));

    file = dir.filePath(QStringLiteral("next.wav")); // the next recording starts clean
    ASSERT_TRUE(record());
    arrive(QByteArray(1536, '\x33'));
    ASSERT_TRUE(engine.StopRecording());
    EXPECT_TRUE(engine.recordingProblem().isEmpty());
}

TEST_F(RecordingTest, SignedSamplesOfTheModemAreRecordedUnsigned)
{
    ini->writeString(QStringLiteral("Modem"), QStringLiteral("CompressionDesc"), QStringLiteral("SIGNED PCM"));
    engine.LoadProfile();
    ASSERT_TRUE(record());
    arrive(QByteArray("\x00\x7F\x80\xFF", 4).repeated(384));
    ASSERT_TRUE(engine.StopRecording());
    EXPECT_EQ(wavAudio(file), QByteArray("\x80\xFF\x00\x7F", 4).repeated(384));

    // 16-bit samples are signed in WAV too: they stay as they are.
    for (const char* section : {"Modem compression", "File compression"})
        ini->writeBinary(QLatin1String(section), QStringLiteral("Bin"), pcmFormat(8000, 16, 1).formatBuffer());
    engine.LoadProfile();
    ASSERT_TRUE(record());
    arrive(QByteArray("\x00\x7F\x80\xFF", 4).repeated(384));
    ASSERT_TRUE(engine.StopRecording());
    EXPECT_EQ(wavAudio(file), QByteArray("\x00\x7F\x80\xFF", 4).repeated(384));
}

TEST_F(RecordingTest, LiveBlocksCarryOverflowIntoTheNextBlock)
{
    QByteArray output(1537, '\x40');
    output[1536] = '\x7A';
    engine.PCMConverted(reinterpret_cast<const uint8_t*>(output.constData()), output.size());
    ASSERT_EQ(pcmBlocks.size(), 1);
    const QByteArray rest(1535, '\x41');
    engine.PCMConverted(reinterpret_cast<const uint8_t*>(rest.constData()), rest.size());
    ASSERT_EQ(pcmBlocks.size(), 2);
    EXPECT_EQ(pcmBlocks[1].at(0), '\x7A');
}

TEST_F(RecordingTest, DetectorIsResetAndFedEveryLiveBlock)
{
    ini->writeBool(QStringLiteral("Settings"), QStringLiteral("Silence"), true);
    ini->writeInteger(QStringLiteral("Settings"), QStringLiteral("DiscTime"), 1);
    engine.LoadProfile();
    int silences = 0;
    dsp.OnSilence = [&](TQVMdsp*) { ++silences; };
    for (int run = 0; run < 2; ++run) {
        silences = 0;
        ASSERT_TRUE(record());
        arrive(QByteArray(1536 * 6, '\x80')); // the sixth block decides
        EXPECT_EQ(silences, 1);
        ASSERT_TRUE(engine.StopRecording());
    }
}

TEST_F(RecordingTest, StopThatIsNeverAnsweredReleasesThePortAndKeepsTheFile)
{
    ASSERT_TRUE(record());
    arrive(QByteArray(1536, '\x33'));
    port.clearReplies();
    EXPECT_FALSE(engine.StopRecording());
    EXPECT_FALSE(engine.portIsOpen());
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    EXPECT_EQ(wavAudio(file), QByteArray(1536, '\x33'));
}

// Some modems answer the stop with OK alone, no DLE ETX; before our stop
// an OK in the data is audio. The stop waits for no time-out, and what
// comes after the decision is not recorded.
TEST_F(RecordingTest, ReceiveStreamEndsOnAnOkAloneOnlyAfterTheStop)
{
    answerRecording("\r\nCONNECT\r\n");
    port.clearReplies();
    port.addReply("at+fclass=8", {"\r\nOK\r\n"});
    port.addReply("at+vls=", {"\r\nOK\r\n"});
    port.addReply("at+vrx", {"\r\nCONNECT\r\n"});
    port.addReply(Engine::ReceiveStopPair, {QByteArray(300, '\x46') + "\r\nO", "K\r", "\n"});
    int polls = 0;
    engine.setSleepFunction([&polls](int) { ++polls; });
    ASSERT_TRUE(record());
    const QByteArray voice = QByteArray(1000, '\x44') + "\r\nOK\r\n" + QByteArray(600, '\x45');
    arrive(voice);
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceReceive);
    polls = 0;
    EXPECT_TRUE(engine.StopRecording(false));
    EXPECT_LT(polls, 200) << "no time-out";
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    EXPECT_TRUE(engine.portIsOpen());
    EXPECT_EQ(wavAudio(file), voice);
}

// A modem streams at once: audio in the same read as its CONNECT is kept.
TEST_F(RecordingTest, VoiceDataThatComesWithTheConnectIsRecorded)
{
    const QByteArray voice(1536 + 100, '\x44');
    answerRecording("\r\nCONNECT\r\n" + voice.first(1536));
    ASSERT_TRUE(record());
    arrive(voice.sliced(1536));
    ASSERT_TRUE(engine.StopRecording());
    EXPECT_EQ(wavAudio(file), voice);
    EXPECT_EQ(pcmBlocks.size(), 1);
}

// Nothing to record into, or a refused stream: no stream runs and no
// empty file is left behind.
TEST_F(RecordingTest, RecordingThatCannotStartLeavesNoStreamAndNoFile)
{
    EXPECT_FALSE(engine.StartRecording(dir.filePath(QStringLiteral("missing/rec.wav"))));
    EXPECT_FALSE(port.written().contains("at+vrx"));
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);

    answerRecording("\r\nERROR\r\n");
    port.clearWritten();
    EXPECT_FALSE(engine.StartRecording(file));
    EXPECT_TRUE(port.written().contains("at+vrx"));
    EXPECT_EQ(engine.GetVoiceState(), Engine::VoiceIdle);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(engine.StopRecording());
}

} // namespace
