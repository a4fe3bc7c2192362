// Rate changes keep a tone's frequency and level, and the resampler's state
// runs across blocks: no clicks where one block ends and the next begins.
#include "AudioTestSupport.h"
#include "audio/AudioConvertor.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace audiotest;

namespace {

constexpr double Amplitude = 16000;

std::vector<qint16> sine(int samples, double frequency, double rate)
{
    std::vector<qint16> out(size_t(samples), 0);
    for (int i = 0; i < samples; ++i)
        out[size_t(i)] = qint16(std::lround(Amplitude * std::sin(2 * M_PI * frequency * i / rate)));
    return out;
}

std::vector<qint16> samplesOf(const QByteArray& bytes)
{
    std::vector<qint16> out(size_t(bytes.size() / 2));
    std::memcpy(out.data(), bytes.constData(), out.size() * 2);
    return out;
}

struct Measured
{
    double frequency;
    double rms;
    int maxStep;
};

// Over the middle of the signal, away from the filter's start and end.
Measured measure(const std::vector<qint16>& s, double rate)
{
    const size_t from = s.size() / 10;
    const size_t to = s.size() - s.size() / 10;
    int crossings = 0;
    size_t first = 0;
    size_t last = 0;
    double energy = 0;
    int maxStep = 0;
    for (size_t i = from; i < to; ++i) {
        energy += double(s[i]) * s[i];
        maxStep = std::max(maxStep, std::abs(s[i + 1] - s[i]));
        if (s[i] < 0 && s[i + 1] >= 0) {
            first = crossings++ == 0 ? i : first;
            last = i;
        }
    }
    return {(crossings - 1) * rate / double(last - first), std::sqrt(energy / double(to - from)), maxStep};
}

} // namespace

TEST(Resample, OneKilohertzUpAndBackKeepsFrequencyLevelAndContinuity)
{
    const TdeWaveFormat narrow = pcmFormat(8000, 16, 1);
    const TdeWaveFormat wide = pcmFormat(44100, 16, 1);
    const std::vector<qint16> tone = sine(16000, 1000, 8000);
    const QByteArray input = toBytes(tone);

    const QByteArray up = convertAll(narrow, wide, input, 1536);
    EXPECT_EQ(up, convertAll(narrow, wide, input, 0)) << "block boundaries changed the output";
    EXPECT_EQ(up.size(), 2 * 88200);
    const Measured high = measure(samplesOf(up), 44100);
    EXPECT_NEAR(high.frequency, 1000, 1);
    EXPECT_NEAR(high.rms, Amplitude / std::sqrt(2.0), Amplitude * 0.01);
    // The steepest step a clean 1 kHz sine takes at 44.1 kHz.
    EXPECT_LE(high.maxStep, 1.05 * 2 * Amplitude * std::sin(M_PI * 1000 / 44100));

    const std::vector<qint16> back = samplesOf(convertAll(wide, narrow, up, 4410));
    ASSERT_EQ(back.size(), tone.size());
    const Measured low = measure(back, 8000);
    EXPECT_NEAR(low.frequency, 1000, 1);
    EXPECT_NEAR(low.rms, Amplitude / std::sqrt(2.0), Amplitude * 0.01);
    double error = 0;
    for (size_t i = 1000; i < back.size() - 1000; ++i)
        error = std::max(error, std::abs(double(back[i]) - tone[i]));
    EXPECT_LT(error, Amplitude * 0.01) << "the round trip moved or distorted the tone";
}

TEST(Resample, ChannelsAndBitsChangeAlongTheWay)
{
    const QByteArray input = toBytes(sine(8000, 1000, 8000));
    const QByteArray stereo8 = convertAll(pcmFormat(8000, 16, 1), pcmFormat(22050, 8, 2), input, 1000);
    ASSERT_EQ(stereo8.size(), 2 * 22050);
    int peak = 0;
    for (int i = 0; i < stereo8.size(); i += 2) {
        ASSERT_EQ(stereo8[i], stereo8[i + 1]) << "channels differ at frame " << i / 2;
        peak = std::max(peak, std::abs(quint8(stereo8[i]) - 128));
    }
    EXPECT_NEAR(peak, Amplitude / 256, 2);

    const QByteArray mono = convertAll(pcmFormat(22050, 8, 2), pcmFormat(22050, 16, 1), stereo8, 0);
    ASSERT_EQ(mono.size(), 2 * 22050);
    const std::vector<qint16> m = samplesOf(mono);
    for (size_t i = 0; i < m.size(); ++i)
        ASSERT_EQ(m[i], (quint8(stereo8[int(2 * i)]) - 128) * 256) << i;
}
