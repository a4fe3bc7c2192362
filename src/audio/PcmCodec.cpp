#include "PcmCodec.h"

#include "CodecResult.h"

#include <algorithm>
#include <cstring>
#include <soxr.h>

namespace {

template <int Bits>
inline qint16 load(const quint8* p)
{
    if constexpr (Bits == 8) {
        return qint16((int(*p) - 128) * 256);
    } else {
        qint16 value;
        std::memcpy(&value, p, 2);
        return value;
    }
}

template <int Bits>
inline void store(quint8* p, qint16 value)
{
    if constexpr (Bits == 8)
        *p = quint8(std::clamp((int(value) + 128) >> 8, -128, 127) + 128);
    else
        std::memcpy(p, &value, 2);
}

// Samples of Bits bits into 16-bit samples, a stereo input mixed to mono
// when mixDown.
template <int Bits>
void readSamples(const quint8* in, qint64 frames, int channels, bool mixDown, qint16* out)
{
    constexpr int Width = Bits / 8;
    if (!mixDown) {
        for (qint64 i = 0; i < frames * channels; ++i)
            out[i] = load<Bits>(in + i * Width);
        return;
    }
    for (qint64 f = 0; f < frames; ++f)
        out[f] = qint16((load<Bits>(in + 2 * f * Width) + load<Bits>(in + (2 * f + 1) * Width)) >> 1);
}

// 16-bit samples out in Bits bits, a mono signal spread on two channels
// when spread.
template <int Bits>
void writeSamples(const qint16* samples, qint64 frames, int channels, bool spread, quint8* out)
{
    constexpr int Width = Bits / 8;
    if (!spread) {
        for (qint64 i = 0; i < frames * channels; ++i)
            store<Bits>(out + i * Width, samples[i]);
        return;
    }
    for (qint64 f = 0; f < frames; ++f) {
        store<Bits>(out + 2 * f * Width, samples[f]);
        store<Bits>(out + (2 * f + 1) * Width, samples[f]);
    }
}

// Works in 16-bit samples with the smaller of the two channel counts: a
// stereo input is mixed down before resampling, a mono one spread after it.
class PcmStream : public CodecStream
{
public:
    PcmStream(const TdeWaveFormat& from, const TdeWaveFormat& to)
        : m_inBits(from.bitsPerSample()), m_outBits(to.bitsPerSample()), m_inChannels(from.channels()),
          m_outChannels(to.channels()), m_channels(std::min(m_inChannels, m_outChannels)),
          m_inFrame(from.blockAlign()), m_outFrame(to.blockAlign()), m_inRate(from.samplesPerSec()),
          m_outRate(to.samplesPerSec())
    {
        if (m_inRate != m_outRate)
            createResampler();
    }
    ~PcmStream() override { soxr_delete(m_resampler); }

    bool isUsable() const { return m_inRate == m_outRate || m_resampler; }

    qint64 outputSize(qint64 inputBytes) const override
    {
        const qint64 frames = inputBytes / m_inFrame;
        return frames == 0 ? 0 : outputFrames(frames) * m_outFrame;
    }

    void reset() override
    {
        if (m_resampler)
            soxr_clear(m_resampler);
    }

protected:
    int onPrepare(qint64 inputLength) override
    {
        const qint64 frames = inputLength / m_inFrame;
        m_work.assign(size_t(frames * m_channels), 0);
        if (m_resampler)
            m_resampled.assign(size_t(outputFrames(frames) * m_channels), 0);
        return CodecResult::Ok;
    }

    void onUnprepare() override
    {
        m_work = {};
        m_resampled = {};
    }

    int process(const quint8* input, qint64 inputBytes, quint8* output, qint64 outputCapacity, qint64& used,
                qint64& produced) override
    {
        const qint64 frames = std::min<qint64>(inputBytes / m_inFrame, qint64(m_work.size()) / m_channels);
        readFrames(input, frames);
        const qint16* samples = m_work.data();
        qint64 outFrames = frames;
        used = frames * m_inFrame;
        if (m_resampler) {
            size_t taken = 0;
            size_t made = 0;
            const size_t room = m_resampled.size() / size_t(m_channels);
            if (soxr_process(m_resampler, m_work.data(), size_t(frames), &taken, m_resampled.data(), room, &made))
                return CodecResult::NotPossible;
            samples = m_resampled.data();
            outFrames = qint64(made);
            used = qint64(taken) * m_inFrame;
        }
        outFrames = std::min(outFrames, outputCapacity / m_outFrame);
        writeFrames(samples, outFrames, output);
        produced = outFrames * m_outFrame;
        return CodecResult::Ok;
    }

    int onDrain(quint8* output, qint64 outputCapacity, qint64& produced) override
    {
        produced = 0;
        if (!m_resampler)
            return CodecResult::Ok;
        size_t made = 0;
        const size_t room = std::min<size_t>(m_resampled.size() / size_t(m_channels), size_t(outputCapacity / m_outFrame));
        if (soxr_process(m_resampler, nullptr, 0, nullptr, m_resampled.data(), room, &made))
            return CodecResult::NotPossible;
        writeFrames(m_resampled.data(), qint64(made), output);
        produced = qint64(made) * m_outFrame;
        return CodecResult::Ok;
    }

private:
    void createResampler()
    {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        soxr_io_spec_t exact = io;
        exact.flags |= SOXR_NO_DITHER; // the same input always gives the same bytes
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_error_t error = nullptr;
        m_resampler = soxr_create(m_inRate, m_outRate, unsigned(m_channels), &error, &exact, &quality, nullptr);
        if (error) {
            soxr_delete(m_resampler);
            m_resampler = nullptr;
        }
    }

    // Enough room for the proportional output plus what the resampler may
    // still hold from earlier calls.
    qint64 outputFrames(qint64 inputFrames) const
    {
        if (m_inRate == m_outRate)
            return inputFrames;
        return inputFrames * m_outRate / m_inRate + 64;
    }

    void readFrames(const quint8* input, qint64 frames)
    {
        const bool mixDown = m_inChannels > m_channels;
        if (m_inBits == 8)
            readSamples<8>(input, frames, m_channels, mixDown, m_work.data());
        else
            readSamples<16>(input, frames, m_channels, mixDown, m_work.data());
    }

    void writeFrames(const qint16* samples, qint64 frames, quint8* output) const
    {
        const bool spread = m_outChannels > m_channels;
        if (m_outBits == 8)
            writeSamples<8>(samples, frames, m_channels, spread, output);
        else
            writeSamples<16>(samples, frames, m_channels, spread, output);
    }

    const int m_inBits;
    const int m_outBits;
    const int m_inChannels;
    const int m_outChannels;
    const int m_channels;
    const qint64 m_inFrame;
    const qint64 m_outFrame;
    const quint32 m_inRate;
    const quint32 m_outRate;
    soxr_t m_resampler = nullptr;
    std::vector<qint16> m_work;
    std::vector<qint16> m_resampled;
};

} // namespace

bool PcmCodec::isValid(const TdeWaveFormat& format) const
{
    return codecformat::isUsablePcm(format);
}

bool PcmCodec::canConvert(const TdeWaveFormat& from, const TdeWaveFormat& to) const
{
    return isValid(from) && isValid(to);
}

std::unique_ptr<CodecStream> PcmCodec::open(const TdeWaveFormat& from, const TdeWaveFormat& to) const
{
    auto stream = std::make_unique<PcmStream>(from, to);
    if (!stream->isUsable())
        return nullptr;
    return stream;
}

std::optional<TdeWaveFormat> PcmCodec::suggestPcm(const TdeWaveFormat& format) const
{
    return pcmFormat(format.samplesPerSec(), format.bitsPerSample(), format.channels());
}

std::vector<TdeWaveFormat> PcmCodec::formats() const
{
    std::vector<TdeWaveFormat> all;
    for (quint32 rate : codecformat::offeredRates())
        for (quint16 bits : {8, 16})
            for (quint16 channels : {1, 2})
                all.push_back(pcmFormat(rate, bits, channels));
    return all;
}
