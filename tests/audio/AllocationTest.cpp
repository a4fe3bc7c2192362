// Once a chain is prepared, converting a block allocates nothing: the voice
// path runs for hours on the user-interface thread.
#include "AudioTestSupport.h"
#include "audio/AudioConvertor.h"
#include "audio/G711Codec.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcmCodec.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace

void* operator new(std::size_t size)
{
    if (counting)
        ++allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

using namespace audiotest;

TEST(Allocation, PreparedChainsConvertWithoutAllocating)
{
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
        allocations = 0;
        counting = true;
        for (int i = 0; i < 40; ++i)
            convertor.convert(audio.constData() + (i % 20) * block, block);
        counting = false;
        EXPECT_EQ(allocations, 0);
    }
}
