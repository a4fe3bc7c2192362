// Once a chain is prepared, converting a block allocates nothing, nor does
// a file playing on the sound card: both run for hours on the user-interface
// thread.
#include "AudioTestSupport.h"
#include "EventWait.h"
#include "HeapCounter.h"

#include "audio/AudioConvertor.h"
#include "audio/AudioPlayers.h"
#include "audio/G711Codec.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcmCodec.h"
#include "platform/SoundBackend.h"

#include <gtest/gtest.h>

using namespace audiotest;
using namespace heapcount;

TEST(Allocation, PreparedChainsConvertWithoutAllocating)
{
    if (!heapcount::available)
        GTEST_SKIP() << "allocations are not counted under AddressSanitizer";
    const TdeWaveFormat pcm8 = standardPcm8k();
    struct Case
    {
        const char* name;
        TdeWaveFormat in;
        TdeWaveFormat out;
    } cases[] = {
        {"resample to stereo", pcm8, pcmFormat(44100, 16, 2)},
        {"to mu-law", pcm8, g711Format(WaveTag::MuLaw, 8000, 1)},
        {"to IMA ADPCM", pcm8, imaAdpcmFormat(8000, 1)},
        {"to GSM", pcm8, gsmFormat(8000)},
        {"three steps", g711Format(WaveTag::ALaw, 11025, 2), gsmFormat(8000)},
    };
    const QByteArray audio = toBytes(testSignal(8000, 1, 440, 8000));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TdeAudioConvertor convertor;
        convertor.setFormatIn(c.in);
        convertor.setFormatOut(c.out);
        convertor.open();
        const qint64 block = 400;
        int at = 0;
        const auto prepared = [&] {
            return std::all_of(convertor.steps().begin(), convertor.steps().end(),
                               [](const auto& step) { return step->isPrepared(); });
        };
        for (; !prepared(); at = (at + 1) % 20) // a resampler holds its first output back
            convertor.convert(audio.constData() + at * block, block);
        for (int i = 0; i < 400; ++i) // and soxr's own buffers settle
            convertor.convert(audio.constData() + (i % 20) * block, block);
        allocations = 0;
        counting = true;
        for (int i = 0; i < 40; ++i)
            convertor.convert(audio.constData() + (i % 20) * block, block);
        counting = false;
        EXPECT_EQ(allocations, 0);
    }
}

namespace {

// Counts the allocations while the blocks between `from` and `to` play.
class SteadyWindow : public IdeAudioObserver
{
public:
    SteadyWindow(int from, int to) : m_from(from), m_to(to) {}
    void audioData(IdeAudioSubject*, const void*, qint64) override
    {
        ++blocks;
        counting = blocks >= m_from && blocks < m_to;
    }
    int blocks = 0;

private:
    int m_from, m_to;
};

} // namespace

TEST(Allocation, SteadyPlaybackAllocatesNothingPerBuffer)
{
    if (!heapcount::available)
        GTEST_SKIP() << "allocations are not counted under AddressSanitizer";
    const auto card = VirtualSoundDevice::instance();
    card->setSpeed(0);
    card->setKeepPlayed(false);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("long.wav"));
    writeWav(file, pcmFormat(11025, 16, 1), toBytes(testSignal(11025 * 20, 1, 440, 11025)));
    TQAudioPlayer player;
    player.FileName = file;
    bool done = false;
    player.OnAudioCompleted = [&](TQAudioPlayer*) { done = true; };
    SteadyWindow window(10, 70);
    window.setAudioSource(&player.device());
    allocations = 0;
    player.Play();
    EXPECT_TRUE(testsupport::waitUntil([&] { return done; }, 20000));
    counting = false;
    player.Stop();
    card->setKeepPlayed(true);
    card->setSpeed(1);
    EXPECT_EQ(window.blocks, 80);
    EXPECT_EQ(allocations, 0) << "over 60 played buffers";
}
