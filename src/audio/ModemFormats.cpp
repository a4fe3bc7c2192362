#include "ModemFormats.h"

#include "CodecDriver.h"
#include "G711Codec.h"
#include "ImaAdpcmCodec.h"

#include <QStringList>

Tcodec::Tcodec()
{
    pcm_8000_8.setFormatIn(pcmFormat(8000, 8, 1));
    pcm_8000_16.setFormatIn(pcmFormat(8000, 16, 1));
    uLaw_8000_8.setFormatIn(g711Format(WaveTag::MuLaw, 8000, 1));
    aLaw_8000_8.setFormatIn(g711Format(WaveTag::ALaw, 8000, 1));
    ima_adpcm_8000_4.setFormatIn(imaAdpcmModemFormat(8000));
}

std::optional<TdeWaveFormat> Tcodec::findModemFormat(const QString& compression, int bitsPerSample,
                                                     quint32 samplesPerSec) const
{
    const struct
    {
        const TdeAudioConvertor& row;
        QStringList names;
    } rows[] = {
        {pcm_8000_8, {QStringLiteral("UNSIGNED PCM")}},
        {pcm_8000_16, {QStringLiteral("UNSIGNED PCM"), QStringLiteral("SIGNED PCM")}},
        {uLaw_8000_8, {QStringLiteral("ULAW")}},
        {aLaw_8000_8, {QStringLiteral("ALAW")}},
        {ima_adpcm_8000_4, {QStringLiteral("IMA ADPCM")}},
    };
    if (!codecformat::rateSupported(samplesPerSec))
        return std::nullopt;
    for (const auto& r : rows) {
        const TdeWaveFormat& f = r.row.formatIn();
        if (r.names.contains(compression, Qt::CaseSensitive) && f.bitsPerSample() == bitsPerSample)
            return atRate(f, samplesPerSec);
    }
    return std::nullopt;
}

// The same encoding as one of the rows, at another rate.
TdeWaveFormat Tcodec::atRate(const TdeWaveFormat& row, quint32 samplesPerSec)
{
    if (row.samplesPerSec() == samplesPerSec)
        return row;
    switch (row.formatTag()) {
    case WaveTag::MuLaw:
    case WaveTag::ALaw: return g711Format(row.formatTag(), samplesPerSec, 1);
    case WaveTag::ImaAdpcm: return imaAdpcmModemFormat(samplesPerSec);
    default: return pcmFormat(samplesPerSec, row.bitsPerSample(), 1);
    }
}
