#include "CliFormats.h"

#include "audio/G711Codec.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcmCodec.h"

std::optional<TdeWaveFormat> parseFormatSpec(const QString& spec)
{
    const QStringList parts = spec.split(QLatin1Char(':'));
    std::vector<uint> numbers;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        bool ok = false;
        numbers.push_back(parts[i].toUInt(&ok));
        if (!ok || (i > 1 && numbers.back() > 0xffff))
            return std::nullopt;
    }
    const QString kind = parts.first().toLower();
    if (kind == QLatin1String("pcm") && numbers.size() == 3)
        return pcmFormat(numbers[0], quint16(numbers[1]), quint16(numbers[2]));
    if (numbers.size() != 2)
        return std::nullopt;
    const quint32 rate = numbers[0];
    const auto channels = quint16(numbers[1]);
    if (kind == QLatin1String("alaw") || kind == QLatin1String("ulaw"))
        return g711Format(kind == QLatin1String("alaw") ? WaveTag::ALaw : WaveTag::MuLaw, rate, channels);
    if (kind == QLatin1String("ima"))
        return imaAdpcmFormat(rate, channels);
    if (kind == QLatin1String("gsm") && channels == 1)
        return gsmFormat(rate);
    return std::nullopt;
}
