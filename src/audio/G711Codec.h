#pragma once

#include "CodecDriver.h"

// G.711 A-law (tag 6) or mu-law (tag 7): one byte a sample, to and from
// 16-bit PCM of the same rate and channels.
class G711Codec : public CompressedCodec
{
public:
    explicit G711Codec(quint16 tag);

    quint16 tag() const override { return m_tag; }
    QString tagName() const override;
    bool isValid(const TdeWaveFormat& format) const override;
    std::unique_ptr<CodecStream> open(const TdeWaveFormat& from, const TdeWaveFormat& to) const override;
    std::vector<TdeWaveFormat> formats() const override;

private:
    quint16 m_tag;
};

// The format of a G.711 law (WaveTag::ALaw or WaveTag::MuLaw).
TdeWaveFormat g711Format(quint16 tag, quint32 samplesPerSec, quint16 channels);

// The sample values of the standard G.711 tables.
namespace g711 {
qint16 alawToLinear(quint8 code);
qint16 ulawToLinear(quint8 code);
quint8 linearToAlaw(qint16 sample);
quint8 linearToUlaw(qint16 sample);
} // namespace g711
