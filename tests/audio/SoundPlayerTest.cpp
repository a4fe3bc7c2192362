// The players, the recorder and the output device on the virtual sound card,
// which plays as fast as it is fed, so playback takes no real time.
#include "AudioTestSupport.h"
#include "EventWait.h"

#include "audio/AudioDevices.h"
#include "audio/AudioErrors.h"
#include "audio/AudioPlayers.h"
#include "audio/G711Codec.h"
#include "audio/MediaPlayer.h"
#include "platform/SoundBackend.h"

#include <QBuffer>
#include <QDir>
#include <gtest/gtest.h>

using namespace audiotest;
using testsupport::waitUntil;

namespace {

// Collects every block the output device reports played, in order.
class PlayedBlocks : public IdeAudioObserver
{
public:
    void audioData(IdeAudioSubject*, const void*, qint64 size) override { sizes.push_back(size); }
    std::vector<qint64> sizes;
};

QByteArray ramp8(int bytes)
{
    QByteArray audio(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        audio[i] = char(i * 7 % 251);
    return audio;
}

class SoundPlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        card->setSpeed(0);
        card->failAfter(-1);
        card->setKeepPlayed(true);
        card->setInput({});
        card->takePlayed();
    }
    void TearDown() override { card->setSpeed(1); }

    QString wav(const QString& name, const TdeWaveFormat& format, const QByteArray& audio)
    {
        const QString path = dir.filePath(name);
        writeWav(path, format, audio);
        return path;
    }

    std::shared_ptr<VirtualSoundDevice> card = VirtualSoundDevice::instance();
    QTemporaryDir dir;
};

TEST_F(SoundPlayerTest, FilePlaysInQuarterSecondBlocksAndCompletesOnce)
{
    const QByteArray audio = ramp8(220500); // 10 s of 11025 Hz 8-bit stereo
    TQAudioPlayer player;
    player.FileName = wav(QStringLiteral("ten.wav"), pcmFormat(11025, 8, 2), audio);
    PlayedBlocks played;
    played.setAudioSource(&player.device());
    int completions = 0;
    size_t blocksAtCompletion = 0;
    qint64 pcm8kBytes = 0;
    player.OnAudioCompleted = [&](TQAudioPlayer*) {
        ++completions;
        blocksAtCompletion = played.sizes.size();
    };
    player.OnPCMConveted = [&](QObject*, const void*, qint64 size) { pcm8kBytes += size; };

    player.Play();
    ASSERT_TRUE(waitUntil([&] { return completions > 0; }));
    testsupport::settle(50);

    std::vector<qint64> expected(39, 5512);
    expected.push_back(5532); // fewer than two blocks left: the rest at once
    EXPECT_EQ(played.sizes, expected);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(blocksAtCompletion, expected.size());
    EXPECT_EQ(card->takePlayed(), audio);
    EXPECT_NEAR(pcm8kBytes, 80000, 80);
    player.Stop();
    EXPECT_TRUE(player.Stopped());
}

TEST_F(SoundPlayerTest, AudioShorterThanThePrerollIsPlayedWhole)
{
    const QByteArray audio = toBytes(testSignal(2400, 1, 300, 8000)); // 0.3 s
    TQAudioPlayer player;
    player.FileName = wav(QStringLiteral("short.wav"), pcmFormat(8000, 16, 1), audio);
    int completions = 0;
    player.OnAudioCompleted = [&](TQAudioPlayer*) { ++completions; };
    player.Play();
    ASSERT_TRUE(waitUntil([&] { return completions > 0; }));
    EXPECT_EQ(card->takePlayed(), audio);

    // A file without audio ends the same way.
    player.FileName = dir.filePath(QStringLiteral("empty.wav"));
    testsupport::writeFile(player.FileName,
                           riffFile(chunk("fmt ", pcmFmtBody(8000, 16, 1)) + chunk("data", QByteArray())));
    player.Play();
    ASSERT_TRUE(waitUntil([&] { return completions > 1; }));
}

TEST_F(SoundPlayerTest, StopRaisesNoCompletionAndPlayStartsOver)
{
    const QByteArray audio = toBytes(testSignal(80000, 1, 440, 8000));
    TQAudioPlayer player;
    player.FileName = wav(QStringLiteral("long.wav"), pcmFormat(8000, 16, 1), audio);
    int completions = 0;
    player.OnAudioCompleted = [&](TQAudioPlayer*) { ++completions; };
    card->setSpeed(1); // real time, so Stop comes in the middle
    player.Play();
    testsupport::settle(30);
    player.Stop();
    testsupport::settle(30);
    EXPECT_EQ(completions, 0);
    const QByteArray first = card->takePlayed();
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(first, audio.left(first.size()));

    player.Play();
    testsupport::settle(30);
    player.Stop();
    const QByteArray again = card->takePlayed();
    ASSERT_FALSE(again.isEmpty());
    EXPECT_EQ(again, audio.left(again.size()));
}

TEST_F(SoundPlayerTest, PlayerReportsBadFilesAndStaysStopped)
{
    TQAudioPlayer player;
    player.FileName = dir.filePath(QStringLiteral("missing.wav"));
    EXPECT_THROW(player.Play(), EACMAudioStreamError);
    testsupport::writeFile(dir.filePath(QStringLiteral("text.wav")), "not a wave file at all");
    player.FileName = dir.filePath(QStringLiteral("text.wav"));
    EXPECT_THROW(player.Play(), EACMAudioReadError);
    EXPECT_TRUE(player.Stopped());
    EXPECT_FALSE(player.device().active());
}

TEST_F(SoundPlayerTest, VanishingDeviceEndsPlaybackWithAnError)
{
    TQAudioPlayer player;
    player.FileName = wav(QStringLiteral("ten.wav"), pcmFormat(8000, 16, 1), toBytes(testSignal(80000, 1, 440, 8000)));
    QString error;
    bool completed = false;
    player.OnError = [&](TQAudioPlayer*, const QString& message) { error = message; };
    player.OnAudioCompleted = [&](TQAudioPlayer*) { completed = true; };
    card->failAfter(40000);
    player.Play();
    ASSERT_TRUE(waitUntil([&] { return !error.isEmpty(); }));
    EXPECT_EQ(error, QStringLiteral("The audio device stopped playing: it was disconnected."));
    EXPECT_FALSE(completed);
    EXPECT_FALSE(player.device().active());
    player.Stop();
}

TEST_F(SoundPlayerTest, MediaPlayerPausesSeeksAndResumesWhereItStood)
{
    const QByteArray audio = toBytes(testSignal(80000, 1, 440, 8000)); // 10 s, 4000-byte blocks
    TMediaPlayer media;
    int completions = 0;
    QObject::connect(&media, &TMediaPlayer::completed, [&] { ++completions; });
    ASSERT_TRUE(media.open(wav(QStringLiteral("ten.wav"), pcmFormat(8000, 16, 1), audio)));
    EXPECT_EQ(media.length(), 10000);
    EXPECT_EQ(media.mode(), TMediaPlayer::Mode::Stopped);

    ASSERT_TRUE(media.seek(4000));
    EXPECT_EQ(media.position(), 4000);
    ASSERT_TRUE(media.play());
    // The card took the five primed blocks at once: 1.25 s.
    ASSERT_TRUE(media.pause());
    EXPECT_EQ(media.mode(), TMediaPlayer::Mode::Paused);
    EXPECT_EQ(media.position(), 5250);
    EXPECT_EQ(card->takePlayed(), audio.mid(64000, 20000));

    ASSERT_TRUE(media.resume());
    ASSERT_TRUE(waitUntil([&] { return completions > 0; }));
    EXPECT_EQ(card->takePlayed(), audio.mid(84000));
    EXPECT_EQ(media.mode(), TMediaPlayer::Mode::Stopped);
    EXPECT_EQ(media.position(), 10000);
    EXPECT_EQ(completions, 1);

    ASSERT_TRUE(media.seek(20000)); // clamped
    EXPECT_EQ(media.position(), 10000);
}

TEST_F(SoundPlayerTest, MediaPlayerErrorsCarryNumberAndText)
{
    TMediaPlayer media;
    EXPECT_FALSE(media.play());
    EXPECT_EQ(media.errorNumber(), TMediaPlayer::NotOpenError);
    EXPECT_FALSE(media.open(dir.filePath(QStringLiteral("none.wav"))));
    EXPECT_EQ(media.errorNumber(), TMediaPlayer::FileNotFound);
    testsupport::writeFile(dir.filePath(QStringLiteral("bad.wav")), "RIFF....WAVEjunk");
    EXPECT_FALSE(media.open(dir.filePath(QStringLiteral("bad.wav"))));
    EXPECT_EQ(media.errorNumber(), TMediaPlayer::InvalidFile);
    EXPECT_EQ(media.errorText(), QStringLiteral("Invalid file format."));
    EXPECT_EQ(media.mode(), TMediaPlayer::Mode::NotOpen);
}

TEST_F(SoundPlayerTest, RawPlayerQueuesBlocksOf2048AndCallsBackOnce)
{
    for (const int size : {5000, 100}) {
        SCOPED_TRACE(size);
        QByteArray audio = ramp8(size);
        QBuffer stream(&audio);
        stream.open(QIODevice::ReadOnly);
        TRawDataPlayer raw;
        PlayedBlocks played;
        played.setAudioSource(&raw.device());
        int calls = 0;
        raw.OnCompleted = [&](TRawDataPlayer*) { ++calls; };
        raw.Play(&stream);
        EXPECT_TRUE(raw.Playing());
        ASSERT_TRUE(waitUntil([&] { return calls > 0; }));
        testsupport::settle(20);
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(raw.Playing());
        EXPECT_EQ(card->takePlayed(), audio);
        const std::vector<qint64> expected = size == 5000 ? std::vector<qint64>{2048, 2048, 904} : std::vector<qint64>{100};
        EXPECT_EQ(played.sizes, expected);
    }
}

TEST_F(SoundPlayerTest, OutputHoldsThePrerollAndDropsBeyondMaximumBuffers)
{
    const QByteArray block = ramp8(800);
    TdeAudioOut out;
    out.setFormat(standardPcm8k());
    out.setBufferCount(4);
    out.Open();
    for (int i = 0; i < 3; ++i)
        out.Queue(block.constData(), block.size());
    EXPECT_EQ(out.inFlight(), 0u);
    EXPECT_TRUE(card->takePlayed().isEmpty());
    out.Flush();
    EXPECT_EQ(out.inFlight(), 3u);
    EXPECT_EQ(card->takePlayed().size(), 3 * 800);
    EXPECT_THROW(out.setMaximumBuffers(2), EACMAudioIOError);
    out.Close();

    out.setBufferCount(0);
    out.setMaximumBuffers(2);
    out.Open();
    for (int i = 0; i < 5; ++i)
        out.Queue(block.constData(), block.size());
    EXPECT_EQ(out.inFlight(), 2u);
    ASSERT_TRUE(waitUntil([&] { return out.inFlight() == 0; }));
    out.Queue(block.constData(), block.size()); // room again
    EXPECT_EQ(card->takePlayed().size(), 3 * 800);
    out.Close();
    EXPECT_THROW(out.Queue(block.constData(), block.size()), EACMAudioIOError);
}

TEST_F(SoundPlayerTest, RecorderReplacesTheFileOnlyWhenAudioWasRecorded)
{
    const QString target = dir.filePath(QStringLiteral("greeting.wav"));
    testsupport::writeFile(target, "the old greeting");
    TQAudioRecorder recorder;
    recorder.FileName = target;
    recorder.WavFormat = pcmFormat(8000, 16, 1);
    recorder.AudioInFormat = pcmFormat(8000, 16, 1);

    // Stopped before the first buffer: nothing recorded, nothing replaced.
    card->setSpeed(1);
    recorder.Start();
    EXPECT_TRUE(recorder.Stop());
    EXPECT_EQ(testsupport::readFile(target), QByteArray("the old greeting"));

    // A format the card's audio cannot reach fails at Start, harmlessly.
    TdeWaveFormat unknown = pcmFormat(8000, 16, 1);
    unknown.setFormatTag(0x7777);
    recorder.WavFormat = unknown;
    EXPECT_THROW(recorder.Start(), EACMConversionError);
    EXPECT_TRUE(recorder.Stopped());
    EXPECT_EQ(testsupport::readFile(target), QByteArray("the old greeting"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file left behind";

    // A real recording takes the name, in the file's own format.
    card->setSpeed(0);
    const QByteArray heard = toBytes(testSignal(8000, 1, 500, 8000));
    card->setInput(heard);
    recorder.WavFormat = g711Format(WaveTag::ALaw, 8000, 1);
    qint64 tap = 0;
    recorder.On8BitPCMConveted = [&](QObject*, const void*, qint64 size) { tap += size; };
    recorder.Start();
    ASSERT_TRUE(waitUntil([&] { return tap >= 8000; }));
    EXPECT_TRUE(recorder.Stop());
    const ParsedWav written = parseWav(testsupport::readFile(target));
    EXPECT_EQ(written.format.formatTag(), WaveTag::ALaw);
    EXPECT_GE(written.data.size(), 8000);
    EXPECT_EQ(written.data.left(8000), convertAll(pcmFormat(8000, 16, 1), recorder.WavFormat, heard, 0).left(8000));
}

TEST_F(SoundPlayerTest, RecorderWithoutFileStillFeedsItsTap)
{
    TQAudioRecorder recorder;
    recorder.SaveToFile = false;
    recorder.FileName = dir.filePath(QStringLiteral("never.wav"));
    recorder.AudioInFormat = pcmFormat(11025, 8, 2);
    qint64 tap = 0;
    recorder.On8BitPCMConveted = [&](QObject*, const void*, qint64 size) { tap += size; };
    recorder.Start();
    EXPECT_EQ(recorder.device().bufferSize(), 2760u);
    ASSERT_TRUE(waitUntil([&] { return tap > 4000; }));
    recorder.Stop();
    EXPECT_FALSE(QFile::exists(recorder.FileName));
}

} // namespace
