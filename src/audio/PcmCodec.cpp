#include "PcmCodec.h"

#include "CodecResult.h"

#include <algorithm>
#include <cstring>
#include <cmath>
#include <type_traits>
#include <soxr.h>

namespace {

using codecformat::SampleLayout;
using Kind = SampleLayout::Kind;

// One sample of any readable kind as a 16-bit value.
template <Kind K>
inline qint16 load(const quint8* p)
{
    if constexpr (K == Kind::U8) {
        return qint16((int(*p) - 128) * 256);
    } else if constexpr (K == Kind::S16) {
        qint16 value;
        std::memcpy(&value, p, 2);
        return value;
    } else if constexpr (K == Kind::S24) {
        return qint16(qint32(quint32(p[0]) << 8 | quint32(p[1]) << 16 | quint32(p[2]) << 24) >> 16);
    } else if constexpr (K == Kind::S32) {
        qint32 value;
        std::memcpy(&value, p, 4);
        return qint16(value >> 16);
    } else {
        using Float = std::conditional_t<K == Kind::F32, float, double>;
        Float value;
        std::memcpy(&value, p, sizeof value);
        if (!(value == value)) // NaN in a damaged file
            return 0;
        return qint16(std::lround(std::clamp<double>(value, -1.0, 1.0) * 32767.0));
    }
}

// Frames of `inChannels` samples into 16-bit samples: as they are, or all
// channels mixed into one when `outChannels` is 1 and there are more.
template <Kind K>
void readSamples(const quint8* in, qint64 frames, int inChannels, int width, int outChannels, qint16* out)
{
    if (inChannels == outChannels) {
        for (qint64 i = 0; i < frames * inChannels; ++i)
            out[i] = load<K>(in + i * width);
        return;
    }
    for (qint64 f = 0; f < frames; ++f) {
        int sum = 0;
        for (int c = 0; c < inChannels; ++c)
            sum += load<K>(in + (f * inChannels + c) * width);
        out[f] = qint16(sum / inChannels);
    }
}

using SampleReader = void (*)(const quint8*, qint64, int, int, int, qint16*);

SampleReader readerFor(Kind kind)
{
    switch (kind) {
    case Kind::U8: return &readSamples<Kind::U8>;
    case Kind::S16: return &readSamples<Kind::S16>;
    case Kind::S24: return &readSamples<Kind::S24>;
    case Kind::S32: return &readSamples<Kind::S32>;
    case Kind::F32: return &readSamples<Kind::F32>;
    case Kind::F64: return &readSamples<Kind::F64>;
    }
    return &readSamples<Kind::S16>;
}

template <int Bits>
inline void store(quint8* p, qint16 value)
{
    if constexpr (Bits == 8)
        *p = quint8(std::clamp((int(value) + 128) >> 8, -128, 127) + 128);
    else
        std::memcpy(p, &value, 2);
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
// stereo input is mixed down before resampling, a mono one spread after it;
// more than two channels are always mixed into one.
class PcmStream : public CodecStream
{
public:
    PcmStream(const SampleLayout& from, quint32 fromRate, const TdeWaveFormat& to)
        : m_read(readerFor(from.kind)), m_inWidth(from.frameBytes / from.channels), m_outBits(to.bitsPerSample()),
          m_inChannels(from.channels), m_outChannels(to.channels()),
          m_channels(m_inChannels <= 2 ? std::min(m_inChannels, m_outChannels) : 1), m_inFrame(from.frameBytes),
          m_outFrame(to.blockAlign()), m_inRate(fromRate), m_outRate(to.samplesPerSec())
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
        m_read(input, frames, m_inChannels, m_inWidth, m_channels, m_work.data());
    }

    void writeFrames(const qint16* samples, qint64 frames, quint8* output) const
    {
        const bool spread = m_outChannels > m_channels;
        if (m_outBits == 8)
            writeSamples<8>(samples, frames, m_channels, spread, output);
        else
            writeSamples<16>(samples, frames, m_channels, spread, output);
    }

    const SampleReader m_read;
    const int m_inWidth;
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

QString PcmCodec::tagName() const
{
    switch (m_tag) {
    case WaveTag::IeeeFloat: return QStringLiteral("IEEE Float");
    case WaveTag::Extensible: return QStringLiteral("Extensible");
    default: return QStringLiteral("PCM");
    }
}

bool PcmCodec::isValid(const TdeWaveFormat& format) const
{
    return format.formatTag() == m_tag && codecformat::readableLayout(format).has_value();
}

QString PcmCodec::formatText(const TdeWaveFormat& format) const
{
    const auto layout = codecformat::readableLayout(format);
    const bool isFloat = layout && (layout->kind == Kind::F32 || layout->kind == Kind::F64);
    return CodecDriver::formatText(format) + (isFloat ? QStringLiteral(" float") : QString());
}

// Any readable layout to 8- or 16-bit PCM of up to two channels.
bool PcmCodec::canConvert(const TdeWaveFormat& from, const TdeWaveFormat& to) const
{
    return codecformat::readableLayout(from).has_value() && codecformat::isUsablePcm(to);
}

std::unique_ptr<CodecStream> PcmCodec::open(const TdeWaveFormat& from, const TdeWaveFormat& to) const
{
    auto stream = std::make_unique<PcmStream>(*codecformat::readableLayout(from), from.samplesPerSec(), to);
    if (!stream->isUsable())
        return nullptr;
    return stream;
}

std::optional<TdeWaveFormat> PcmCodec::suggestPcm(const TdeWaveFormat& format) const
{
    if (codecformat::isUsablePcm(format))
        return pcmFormat(format.samplesPerSec(), format.bitsPerSample(), format.channels());
    return pcmFormat(format.samplesPerSec(), 16, format.channels() == 2 ? 2 : 1);
}

std::vector<TdeWaveFormat> PcmCodec::formats() const
{
    if (m_tag != WaveTag::Pcm)
        return {}; // read, never offered for writing
    std::vector<TdeWaveFormat> all;
    for (quint32 rate : codecformat::offeredRates())
        for (quint16 bits : {8, 16})
            for (quint16 channels : {1, 2})
                all.push_back(pcmFormat(rate, bits, channels));
    return all;
}
