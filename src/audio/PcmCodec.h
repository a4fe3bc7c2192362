#pragma once

#include "CodecDriver.h"

// Linear audio to PCM of 8 or 16 bits, 1 or 2 channels: from any layout
// that tools write (8 to 32-bit integer or float, plain or extensible, up
// to 8 channels, mixed down; 4 to 192 kHz). One driver serves each of the
// tags PCM, IEEE float and extensible. Rates change through libsoxr at high
// quality; the resampler's state runs across calls, so block boundaries
// leave no clicks.
class PcmCodec : public CodecDriver
{
public:
    explicit PcmCodec(quint16 tag = WaveTag::Pcm) : m_tag(tag) {}

    quint16 tag() const override { return m_tag; }
    QString tagName() const override;
    bool isValid(const TdeWaveFormat& format) const override;
    QString formatText(const TdeWaveFormat& format) const override;
    bool canConvert(const TdeWaveFormat& from, const TdeWaveFormat& to) const override;
    std::unique_ptr<CodecStream> open(const TdeWaveFormat& from, const TdeWaveFormat& to) const override;
    std::optional<TdeWaveFormat> suggestPcm(const TdeWaveFormat& format) const override;
    std::vector<TdeWaveFormat> formats() const override;

private:
    quint16 m_tag;
};
