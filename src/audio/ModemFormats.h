#pragma once

#include "AudioConvertor.h"

#include <QString>
#include <optional>

// The modem's native sample formats, held in the FormatIn of five
// convertors (their FormatOut plays no part). All are 1 channel, 8000 Hz.
class Tcodec
{
public:
    Tcodec();

    TdeAudioConvertor pcm_8000_8;       // "UNSIGNED PCM", 8 bits
    TdeAudioConvertor pcm_8000_16;      // "UNSIGNED PCM" or "SIGNED PCM", 16 bits
    TdeAudioConvertor uLaw_8000_8;      // "ULAW", 8 bits
    TdeAudioConvertor aLaw_8000_8;      // "ALAW", 8 bits
    TdeAudioConvertor ima_adpcm_8000_4; // "IMA ADPCM", 4 bits, the modems' headerless stream

    // The format of the first row, in the order above, whose compression
    // name (exact, case-sensitive) and bits per sample match, at the given
    // rate: the rows are for 8000 samples/s, and a modem that streams at
    // another rate the codec layer takes (7200 on several older modems) gets
    // the same encoding at its rate. None for an 8-bit "SIGNED PCM", for
    // instance, or a rate the codec layer does not take.
    std::optional<TdeWaveFormat> findModemFormat(const QString& compression, int bitsPerSample,
                                                 quint32 samplesPerSec) const;

private:
    static TdeWaveFormat atRate(const TdeWaveFormat& row, quint32 samplesPerSec);
};
