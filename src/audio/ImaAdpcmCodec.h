#pragma once

#include "CodecDriver.h"

// IMA ADPCM (tag 0x0011) in the WAV block layout: each block starts with a
// 4-byte header per channel (first sample, step index, 0), then 4-bit codes
// in groups of 4 bytes per channel, low nibble first. Also the headerless
// mono stream of voice modems (imaAdpcmModemFormat). To and from 16-bit PCM
// of the same rate and channels.
class ImaAdpcmCodec : public CompressedCodec
{
public:
    quint16 tag() const override { return WaveTag::ImaAdpcm; }
    QString tagName() const override { return QStringLiteral("IMA ADPCM"); }
    bool isValid(const TdeWaveFormat& format) const override;
    std::unique_ptr<CodecStream> open(const TdeWaveFormat& from, const TdeWaveFormat& to) const override;
    std::vector<TdeWaveFormat> formats() const override;
};

// The usual layout for a rate: 256 bytes a channel per block up to 11025 Hz,
// doubled for each doubling of the rate (505 samples a block at 8 kHz mono).
TdeWaveFormat imaAdpcmFormat(quint32 samplesPerSec, quint16 channels);

// The stream a voice modem sends and takes: mono, no block headers, two
// samples a byte, low nibble first, the coder's state carried through the
// whole stream (block alignment 1, two samples a block).
TdeWaveFormat imaAdpcmModemFormat(quint32 samplesPerSec);

// Samples per channel in a block of blockAlign bytes.
int imaSamplesPerBlock(int blockAlign, int channels);
