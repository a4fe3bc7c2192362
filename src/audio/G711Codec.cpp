#include "G711Codec.h"

#include "CodecResult.h"

#include <array>
#include <cstring>

namespace g711 {

namespace {

constexpr int SignBit = 0x80;
constexpr int QuantMask = 0x0f;
constexpr int SegShift = 4;
constexpr int SegMask = 0x70;
constexpr int UlawBias = 0x84;
constexpr int UlawClip = 8159;

int segment(int value, const std::array<int, 8>& ends)
{
    int seg = 0;
    while (seg < 8 && value > ends[size_t(seg)])
        ++seg;
    return seg;
}

quint8 encodeAlaw(int sample)
{
    static constexpr std::array<int, 8> ends{0x1f, 0x3f, 0x7f, 0xff, 0x1ff, 0x3ff, 0x7ff, 0xfff};
    int value = sample >> 3;
    int mask = 0xd5;
    if (value < 0) {
        mask = 0x55;
        value = -value - 1;
    }
    const int seg = segment(value, ends);
    if (seg >= 8)
        return quint8(0x7f ^ mask);
    const int quant = (seg < 2 ? value >> 1 : value >> seg) & QuantMask;
    return quint8(((seg << SegShift) | quant) ^ mask);
}

quint8 encodeUlaw(int sample)
{
    static constexpr std::array<int, 8> ends{0x3f, 0x7f, 0xff, 0x1ff, 0x3ff, 0x7ff, 0xfff, 0x1fff};
    int value = sample >> 2;
    int mask = 0xff;
    if (value < 0) {
        value = -value;
        mask = 0x7f;
    }
    value = std::min(value, UlawClip) + (UlawBias >> 2);
    const int seg = segment(value, ends);
    if (seg >= 8)
        return quint8(0x7f ^ mask);
    return quint8(((seg << 4) | ((value >> (seg + 1)) & 0xf)) ^ mask);
}

qint16 decodeAlaw(quint8 code)
{
    const int a = code ^ 0x55;
    int t = (a & QuantMask) << 4;
    const int seg = (a & SegMask) >> SegShift;
    t += seg == 0 ? 8 : 0x108;
    if (seg > 1)
        t <<= seg - 1;
    return qint16((a & SignBit) ? t : -t);
}

qint16 decodeUlaw(quint8 code)
{
    const int u = ~code & 0xff;
    int t = ((u & QuantMask) << 3) + UlawBias;
    t <<= (u & SegMask) >> SegShift;
    return qint16((u & SignBit) ? UlawBias - t : t - UlawBias);
}

// Encoding looks up the sample's 13 (A-law) or 14 (mu-law) significant bits.
struct Tables
{
    std::array<qint16, 256> alawDecode{};
    std::array<qint16, 256> ulawDecode{};
    std::array<quint8, 8192> alawEncode{};
    std::array<quint8, 16384> ulawEncode{};

    Tables()
    {
        for (int code = 0; code < 256; ++code) {
            alawDecode[size_t(code)] = decodeAlaw(quint8(code));
            ulawDecode[size_t(code)] = decodeUlaw(quint8(code));
        }
        for (int i = 0; i < 8192; ++i)
            alawEncode[size_t(i)] = encodeAlaw((i - 4096) * 8);
        for (int i = 0; i < 16384; ++i)
            ulawEncode[size_t(i)] = encodeUlaw((i - 8192) * 4);
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

} // namespace

qint16 alawToLinear(quint8 code)
{
    return tables().alawDecode[code];
}

qint16 ulawToLinear(quint8 code)
{
    return tables().ulawDecode[code];
}

quint8 linearToAlaw(qint16 sample)
{
    return tables().alawEncode[size_t((sample >> 3) + 4096)];
}

quint8 linearToUlaw(qint16 sample)
{
    return tables().ulawEncode[size_t((sample >> 2) + 8192)];
}

} // namespace g711

namespace {

class G711Stream : public CodecStream
{
public:
    G711Stream(bool alaw, bool encode) : m_alaw(alaw), m_encode(encode) {}

    qint64 outputSize(qint64 inputBytes) const override
    {
        return m_encode ? inputBytes / 2 : inputBytes * 2;
    }
    void reset() override {}

protected:
    int process(const quint8* input, qint64 inputBytes, quint8* output, qint64 outputCapacity, qint64& used,
                qint64& produced) override
    {
        const qint64 samples = std::min(m_encode ? inputBytes / 2 : inputBytes,
                                        m_encode ? outputCapacity : outputCapacity / 2);
        if (m_encode)
            encode(reinterpret_cast<const qint16*>(input), samples, output);
        else
            decode(input, samples, reinterpret_cast<qint16*>(output));
        used = m_encode ? samples * 2 : samples;
        produced = m_encode ? samples : samples * 2;
        return CodecResult::Ok;
    }

private:
    void encode(const qint16* input, qint64 samples, quint8* output) const
    {
        for (qint64 i = 0; i < samples; ++i)
            output[i] = m_alaw ? g711::linearToAlaw(input[i]) : g711::linearToUlaw(input[i]);
    }

    void decode(const quint8* input, qint64 samples, qint16* output) const
    {
        for (qint64 i = 0; i < samples; ++i)
            output[i] = m_alaw ? g711::alawToLinear(input[i]) : g711::ulawToLinear(input[i]);
    }

    bool m_alaw;
    bool m_encode;
};

} // namespace

G711Codec::G711Codec(quint16 tag) : m_tag(tag) {}

QString G711Codec::tagName() const
{
    return m_tag == WaveTag::ALaw ? QStringLiteral("CCITT A-Law") : QStringLiteral("CCITT u-Law");
}

bool G711Codec::isValid(const TdeWaveFormat& f) const
{
    return f.formatTag() == m_tag && f.bitsPerSample() == 8 && (f.channels() == 1 || f.channels() == 2) &&
           f.blockAlign() == f.channels() && codecformat::rateSupported(f.samplesPerSec());
}

std::unique_ptr<CodecStream> G711Codec::open(const TdeWaveFormat& from, const TdeWaveFormat&) const
{
    return std::make_unique<G711Stream>(m_tag == WaveTag::ALaw, from.formatTag() == WaveTag::Pcm);
}

std::vector<TdeWaveFormat> G711Codec::formats() const
{
    std::vector<TdeWaveFormat> all;
    for (quint32 rate : codecformat::offeredRates())
        for (quint16 channels : {1, 2})
            all.push_back(g711Format(m_tag, rate, channels));
    return all;
}

TdeWaveFormat g711Format(quint16 tag, quint32 samplesPerSec, quint16 channels)
{
    TdeWaveFormat format = pcmFormat(samplesPerSec, 8, channels);
    format.setFormatTag(tag);
    return format;
}
