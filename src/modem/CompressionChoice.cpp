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
            if (matches(p, records[i]) && (!decodableOnly || modemCodecRow(records[i])))
                return int(i);
    return std::nullopt;
}

struct Rule
{
    int bits;
    const char* descs[2];
    ModemCodecRow row;
};

const Rule Rules[] = {
    {8, {"UNSIGNED PCM", nullptr}, {"pcm_8000_8", &Tcodec::pcm_8000_8}},
    {16, {"UNSIGNED PCM", "SIGNED PCM"}, {"pcm_8000_16", &Tcodec::pcm_8000_16}},
    {8, {"ULAW", nullptr}, {"uLaw_8000_8", &Tcodec::uLaw_8000_8}},
    {8, {"ALAW", nullptr}, {"aLaw_8000_8", &Tcodec::aLaw_8000_8}},
    {4, {"IMA ADPCM", nullptr}, {"ima_adpcm_8000_4", &Tcodec::ima_adpcm_8000_4}},
};

} // namespace

const ModemCodecRow* modemCodecRow(const QString& desc, int bits, int rate)
{
    if (rate != 8000)
        return nullptr;
    for (const Rule& rule : Rules) {
        if (rule.bits != bits)
            continue;
        for (const char* name : rule.descs)
            if (name && desc == QLatin1String(name))
                return &rule.row;
    }
    return nullptr;
}

const ModemCodecRow* modemCodecRow(const CompressionRecord& record)
{
    bool bitsOk = false;
    bool rateOk = false;
    const int bits = record.bps.toInt(&bitsOk);
    const int rate = record.vsr.toInt(&rateOk);
    return bitsOk && rateOk ? modemCodecRow(record.desc, bits, rate) : nullptr;
}

std::optional<int> chooseCompressionIndex(const QList<CompressionRecord>& records)
{
    if (const auto decodable = firstMatch(records, true))
        return decodable;
    return firstMatch(records, false);
}

QString modemCodecName(const QByteArray& formatBlock)
{
    const Tcodec codec;
    for (const Rule& rule : Rules)
        if ((codec.*rule.row.convertor).formatIn().formatBuffer() == formatBlock)
            return QLatin1String(rule.row.name);
    return {};
}
