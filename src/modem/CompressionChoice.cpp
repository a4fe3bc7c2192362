#include "CompressionChoice.h"

#include "audio/ModemFormats.h"

namespace {

struct Preference
{
    const char* desc;
    const char* bps; // nullptr: any width
};

const Preference Preferences[] = {
    {"UNSIGNED PCM", "8"}, {"SIGNED PCM", "8"},    {"ULAW", "8"},       {"ALAW", "8"},
    {"SIGNED PCM", "16"},  {"UNSIGNED PCM", "16"}, {"IMA ADPCM", nullptr}, {"ADPCM", "4"},
};

bool matches(const Preference& p, const CompressionRecord& r)
{
    return r.desc == QLatin1String(p.desc) && (!p.bps || r.bps == QLatin1String(p.bps));
}

std::optional<int> firstMatch(const QList<CompressionRecord>& records, bool decodableOnly)
{
    for (const Preference& p : Preferences)
        for (qsizetype i = 0; i < records.size(); ++i)
            if (matches(p, records[i]) && (!decodableOnly || modemCodecFor(records[i])))
                return int(i);
    return std::nullopt;
}

QString codecName(const TdeWaveFormat& f)
{
    const char* kind = "pcm";
    if (f.formatTag() == WaveTag::MuLaw)
        kind = "uLaw";
    else if (f.formatTag() == WaveTag::ALaw)
        kind = "aLaw";
    else if (f.formatTag() == WaveTag::ImaAdpcm)
        kind = "ima_adpcm";
    return QStringLiteral("%1_%2_%3").arg(QLatin1String(kind)).arg(f.samplesPerSec()).arg(f.bitsPerSample());
}

} // namespace

std::optional<ModemCodec> modemCodecFor(const QString& desc, int bits, int rate)
{
    if (rate <= 0)
        return std::nullopt;
    const bool signed8 = bits == 8 && desc == QLatin1String("SIGNED PCM");
    const Tcodec codec;
    const auto format = codec.findModemFormat(signed8 ? QStringLiteral("UNSIGNED PCM") : desc, bits, quint32(rate));
    if (!format)
        return std::nullopt;
    return ModemCodec{codecName(*format), *format};
}

std::optional<ModemCodec> modemCodecFor(const CompressionRecord& record)
{
    bool bitsOk = false;
    bool rateOk = false;
    const int bits = record.bps.toInt(&bitsOk);
    const int rate = record.vsr.toInt(&rateOk);
    return bitsOk && rateOk ? modemCodecFor(record.desc, bits, rate) : std::nullopt;
}

std::optional<int> chooseCompressionIndex(const QList<CompressionRecord>& records)
{
    if (const auto decodable = firstMatch(records, true))
        return decodable;
    return firstMatch(records, false);
}

QString modemCodecName(const QByteArray& formatBlock)
{
    TdeWaveFormat stored;
    if (!stored.setFormatBuffer(formatBlock))
        return {};
    const struct
    {
        const char* desc;
        int bits;
    } kinds[] = {{"UNSIGNED PCM", 8}, {"UNSIGNED PCM", 16}, {"ULAW", 8}, {"ALAW", 8}, {"IMA ADPCM", 4}};
    for (const auto& k : kinds) {
        const auto codec = modemCodecFor(QLatin1String(k.desc), k.bits, int(stored.samplesPerSec()));
        if (codec && codec->format == stored)
            return codec->name;
    }
    return {};
}
