#pragma once

#include "CodecDriver.h"

// PCM to PCM: 8 or 16 bits, 1 or 2 channels, 8000 to 48000 Hz. Rates change
// through libsoxr at high quality; the resampler's state runs across calls,
// so block boundaries leave no clicks.
class PcmCodec : public CodecDriver
{
public:
    quint16 tag() const override { return WaveTag::Pcm; }
    QString tagName() const override { return QStringLiteral("PCM"); }
    bool isValid(const TdeWaveFormat& format) const override;
    bool canConvert(const TdeWaveFormat& from, const TdeWaveFormat& to) const override;
    std::unique_ptr<CodecStream> open(const TdeWaveFormat& from, const TdeWaveFormat& to) const override;
    std::optional<TdeWaveFormat> suggestPcm(const TdeWaveFormat& format) const override;
    std::vector<TdeWaveFormat> formats() const override;
};
