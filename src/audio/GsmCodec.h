#pragma once

#include "CodecDriver.h"

// GSM 6.10 (tag 0x0031) in the WAV layout: blocks of 65 bytes holding two
// 160-sample frames (320 samples), mono, through libgsm. To and from 16-bit
// PCM of the same rate.
class GsmCodec : public CompressedCodec
{
public:
    static constexpr int BlockBytes = 65;
    static constexpr int SamplesPerBlock = 320;

    quint16 tag() const override { return WaveTag::Gsm610; }
    QString tagName() const override { return QStringLiteral("GSM 6.10"); }
    bool isValid(const TdeWaveFormat& format) const override;
    std::unique_ptr<CodecStream> open(const TdeWaveFormat& from, const TdeWaveFormat& to) const override;
    std::vector<TdeWaveFormat> formats() const override;
};

TdeWaveFormat gsmFormat(quint32 samplesPerSec);
