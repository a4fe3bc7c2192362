#include "GsmCodec.h"

#include "CodecResult.h"

#include <algorithm>

extern "C" {
#include <gsm.h>
}

namespace {

constexpr qint64 PcmBlockBytes = GsmCodec::SamplesPerBlock * 2;

class GsmStream : public CodecStream
{
public:
    explicit GsmStream(bool encode) : m_encode(encode) { reset(); }
    ~GsmStream() override
    {
        if (m_gsm)
            gsm_destroy(m_gsm);
    }

    bool isUsable() const { return m_gsm != nullptr; }

    qint64 outputSize(qint64 inputBytes) const override
    {
        return m_encode ? inputBytes / PcmBlockBytes * GsmCodec::BlockBytes
                        : inputBytes / GsmCodec::BlockBytes * PcmBlockBytes;
    }

    // A new coder: the WAV layout alternates two frame shapes, so a stream
    // must start on the first of a pair.
    void reset() override
    {
        if (m_gsm)
            gsm_destroy(m_gsm);
        m_gsm = gsm_create();
        int wav49 = 1;
        if (m_gsm)
            gsm_option(m_gsm, GSM_OPT_WAV49, &wav49);
    }

protected:
    int process(const quint8* input, qint64 inputBytes, quint8* output, qint64 outputCapacity, qint64& used,
                qint64& produced) override
    {
        const qint64 inBlock = m_encode ? PcmBlockBytes : GsmCodec::BlockBytes;
        const qint64 outBlock = m_encode ? GsmCodec::BlockBytes : PcmBlockBytes;
        const qint64 blocks = std::min(inputBytes / inBlock, outputCapacity / outBlock);
        for (qint64 b = 0; b < blocks; ++b) {
            auto* gsmBytes = const_cast<gsm_byte*>(m_encode ? output + b * outBlock : input + b * inBlock);
            auto* pcm = reinterpret_cast<gsm_signal*>(
                const_cast<quint8*>(m_encode ? input + b * inBlock : output + b * outBlock));
            if (m_encode) {
                gsm_encode(m_gsm, pcm, gsmBytes);
                gsm_encode(m_gsm, pcm + 160, gsmBytes + 32);
            } else {
                // A damaged frame still decodes to some sound; it never stops the stream.
                gsm_decode(m_gsm, gsmBytes, pcm);
                gsm_decode(m_gsm, gsmBytes + 33, pcm + 160);
            }
        }
        used = blocks * inBlock;
        produced = blocks * outBlock;
        return CodecResult::Ok;
    }

private:
    const bool m_encode;
    gsm m_gsm = nullptr;
};

} // namespace

bool GsmCodec::isValid(const TdeWaveFormat& f) const
{
    return f.formatTag() == WaveTag::Gsm610 && f.channels() == 1 && f.blockAlign() == BlockBytes &&
           codecformat::rateSupported(f.samplesPerSec());
}

std::unique_ptr<CodecStream> GsmCodec::open(const TdeWaveFormat& from, const TdeWaveFormat&) const
{
    auto stream = std::make_unique<GsmStream>(from.formatTag() == WaveTag::Pcm);
    if (!stream->isUsable())
        return nullptr;
    return stream;
}

std::vector<TdeWaveFormat> GsmCodec::formats() const
{
    std::vector<TdeWaveFormat> all;
    for (quint32 rate : {8000u, 11025u, 22050u, 44100u})
        all.push_back(gsmFormat(rate));
    return all;
}

TdeWaveFormat gsmFormat(quint32 samplesPerSec)
{
    TdeWaveFormat format;
    format.setFormatTag(WaveTag::Gsm610);
    format.setChannels(1);
    format.setSamplesPerSec(samplesPerSec);
    format.setAvgBytesPerSec(quint32(quint64(samplesPerSec) * GsmCodec::BlockBytes / GsmCodec::SamplesPerBlock));
    format.setBlockAlign(GsmCodec::BlockBytes);
    format.setBitsPerSample(0);
    format.setExtraSize(2);
    format.extraBytes()[0] = quint8(GsmCodec::SamplesPerBlock & 0xff);
    format.extraBytes()[1] = quint8(GsmCodec::SamplesPerBlock >> 8);
    return format;
}
