#include "ImaAdpcmCodec.h"

#include "CodecResult.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr std::array<int, 16> IndexAdjust{-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
constexpr std::array<int, 89> StepSize{
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

struct Channel
{
    int predictor = 0;
    int index = 0;

    // The decoder's step; the encoder runs it too, so both stay in step.
    qint16 decode(int code)
    {
        const int step = StepSize[size_t(index)];
        int diff = step >> 3;
        if (code & 4)
            diff += step;
        if (code & 2)
            diff += step >> 1;
        if (code & 1)
            diff += step >> 2;
        predictor = std::clamp(code & 8 ? predictor - diff : predictor + diff, -32768, 32767);
        index = std::clamp(index + IndexAdjust[size_t(code)], 0, 88);
        return qint16(predictor);
    }

    int encode(int sample)
    {
        int diff = sample - predictor;
        int code = 0;
        if (diff < 0) {
            code = 8;
            diff = -diff;
        }
        int step = StepSize[size_t(index)];
        for (int bit = 4; bit > 0; bit >>= 1, step >>= 1) {
            if (diff >= step) {
                code |= bit;
                diff -= step;
            }
        }
        decode(code);
        return code;
    }
};

// One block: a header per channel, then for each channel in turn 4 bytes
// (8 samples) at a time.
class ImaStream : public CodecStream
{
public:
    ImaStream(const TdeWaveFormat& ima, bool encode)
        : m_encode(encode), m_channels(ima.channels()), m_blockAlign(ima.blockAlign()),
          m_samplesPerBlock(imaSamplesPerBlock(ima.blockAlign(), ima.channels())),
          m_pcmBlock(qint64(m_samplesPerBlock) * m_channels * 2)
    {
    }

    qint64 outputSize(qint64 inputBytes) const override
    {
        return m_encode ? inputBytes / m_pcmBlock * m_blockAlign : inputBytes / m_blockAlign * m_pcmBlock;
    }

    void reset() override { m_state.fill({}); }

protected:
    int process(const quint8* input, qint64 inputBytes, quint8* output, qint64 outputCapacity, qint64& used,
                qint64& produced) override
    {
        const qint64 inBlock = m_encode ? m_pcmBlock : m_blockAlign;
        const qint64 outBlock = m_encode ? m_blockAlign : m_pcmBlock;
        const qint64 blocks = std::min(inputBytes / inBlock, outputCapacity / outBlock);
        for (qint64 b = 0; b < blocks; ++b) {
            if (m_encode)
                encodeBlock(reinterpret_cast<const qint16*>(input + b * inBlock), output + b * outBlock);
            else
                decodeBlock(input + b * inBlock, reinterpret_cast<qint16*>(output + b * outBlock));
        }
        used = blocks * inBlock;
        produced = blocks * outBlock;
        return CodecResult::Ok;
    }

private:
    void decodeBlock(const quint8* block, qint16* pcm)
    {
        for (int c = 0; c < m_channels; ++c) {
            const quint8* header = block + 4 * c;
            Channel& state = m_state[size_t(c)];
            state.predictor = qint16(header[0] | header[1] << 8);
            state.index = std::min<int>(header[2], 88);
            pcm[c] = qint16(state.predictor);
        }
        const quint8* codes = block + 4 * m_channels;
        for (int group = 0; group < (m_samplesPerBlock - 1) / 8; ++group) {
            for (int c = 0; c < m_channels; ++c, codes += 4) {
                qint16* out = pcm + (1 + group * 8) * m_channels + c;
                for (int i = 0; i < 8; ++i, out += m_channels)
                    *out = m_state[size_t(c)].decode((codes[i / 2] >> (4 * (i % 2))) & 0xf);
            }
        }
    }

    void encodeBlock(const qint16* pcm, quint8* block)
    {
        for (int c = 0; c < m_channels; ++c) {
            Channel& state = m_state[size_t(c)];
            state.predictor = pcm[c];
            quint8* header = block + 4 * c;
            header[0] = quint8(pcm[c] & 0xff);
            header[1] = quint8((pcm[c] >> 8) & 0xff);
            header[2] = quint8(state.index);
            header[3] = 0;
        }
        quint8* codes = block + 4 * m_channels;
        for (int group = 0; group < (m_samplesPerBlock - 1) / 8; ++group) {
            for (int c = 0; c < m_channels; ++c, codes += 4) {
                const qint16* in = pcm + (1 + group * 8) * m_channels + c;
                std::memset(codes, 0, 4);
                for (int i = 0; i < 8; ++i, in += m_channels)
                    codes[i / 2] |= quint8(m_state[size_t(c)].encode(*in) << (4 * (i % 2)));
            }
        }
    }

    const bool m_encode;
    const int m_channels;
    const int m_blockAlign;
    const int m_samplesPerBlock;
    const qint64 m_pcmBlock;
    std::array<Channel, 2> m_state{};
};

// The headerless stream a voice modem sends and takes: one byte holds two
// samples, low nibble first, and the coder's state runs on from byte to
// byte from the start of the stream.
class ImaModemStream : public CodecStream
{
public:
    explicit ImaModemStream(bool encode) : m_encode(encode) {}

    qint64 outputSize(qint64 inputBytes) const override { return m_encode ? inputBytes / 4 : inputBytes * 4; }
    void reset() override { m_state = {}; }

protected:
    int process(const quint8* input, qint64 inputBytes, quint8* output, qint64 outputCapacity, qint64& used,
                qint64& produced) override
    {
        const qint64 bytes = m_encode ? std::min(inputBytes / 4, outputCapacity) : std::min(inputBytes, outputCapacity / 4);
        for (qint64 i = 0; i < bytes; ++i) {
            if (m_encode) {
                qint16 pair[2];
                std::memcpy(pair, input + 4 * i, 4);
                output[i] = quint8(m_state.encode(pair[0]) | m_state.encode(pair[1]) << 4);
            } else {
                const qint16 pair[2] = {m_state.decode(input[i] & 0xf), m_state.decode(input[i] >> 4)};
                std::memcpy(output + 4 * i, pair, 4);
            }
        }
        used = m_encode ? bytes * 4 : bytes;
        produced = m_encode ? bytes : bytes * 4;
        return CodecResult::Ok;
    }

private:
    const bool m_encode;
    Channel m_state;
};

bool isModemStream(const TdeWaveFormat& f)
{
    return f.blockAlign() == 1 && f.channels() == 1 && f.extraSize() >= 2 && f.extraBytes()[0] == 2
        && f.extraBytes()[1] == 0;
}

} // namespace

int imaSamplesPerBlock(int blockAlign, int channels)
{
    return (blockAlign - 4 * channels) * 2 / channels + 1;
}

bool ImaAdpcmCodec::isValid(const TdeWaveFormat& f) const
{
    const int channels = f.channels();
    const int align = f.blockAlign();
    if (f.formatTag() != WaveTag::ImaAdpcm || f.bitsPerSample() != 4 || !codecformat::rateSupported(f.samplesPerSec()))
        return false;
    if (isModemStream(f))
        return true;
    return (channels == 1 || channels == 2) && align > 4 * channels && (align - 4 * channels) % (4 * channels) == 0;
}

std::unique_ptr<CodecStream> ImaAdpcmCodec::open(const TdeWaveFormat& from, const TdeWaveFormat& to) const
{
    const bool encode = from.formatTag() == WaveTag::Pcm;
    const TdeWaveFormat& ima = encode ? to : from;
    if (isModemStream(ima))
        return std::make_unique<ImaModemStream>(encode);
    return std::make_unique<ImaStream>(ima, encode);
}

std::vector<TdeWaveFormat> ImaAdpcmCodec::formats() const
{
    std::vector<TdeWaveFormat> all;
    for (quint32 rate : {8000u, 11025u, 22050u, 44100u})
        for (quint16 channels : {1, 2})
            all.push_back(imaAdpcmFormat(rate, channels));
    return all;
}

TdeWaveFormat imaAdpcmFormat(quint32 samplesPerSec, quint16 channels)
{
    const int scale = samplesPerSec <= 11025 ? 1 : samplesPerSec <= 22050 ? 2 : 4;
    const int blockAlign = 256 * channels * scale;
    const int samplesPerBlock = imaSamplesPerBlock(blockAlign, channels);
    TdeWaveFormat format;
    format.setFormatTag(WaveTag::ImaAdpcm);
    format.setChannels(channels);
    format.setSamplesPerSec(samplesPerSec);
    format.setAvgBytesPerSec(quint32(quint64(samplesPerSec) * blockAlign / samplesPerBlock));
    format.setBlockAlign(quint16(blockAlign));
    format.setBitsPerSample(4);
    format.setExtraSize(2);
    format.extraBytes()[0] = quint8(samplesPerBlock & 0xff);
    format.extraBytes()[1] = quint8(samplesPerBlock >> 8);
    return format;
}

TdeWaveFormat imaAdpcmModemFormat(quint32 samplesPerSec)
{
    TdeWaveFormat format;
    format.setFormatTag(WaveTag::ImaAdpcm);
    format.setChannels(1);
    format.setSamplesPerSec(samplesPerSec);
    format.setAvgBytesPerSec(samplesPerSec / 2);
    format.setBlockAlign(1);
    format.setBitsPerSample(4);
    format.setExtraSize(2);
    format.extraBytes()[0] = 2; // samples a "block": one byte
    format.extraBytes()[1] = 0;
    return format;
}
