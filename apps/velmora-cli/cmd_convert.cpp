#include "CliCommand.h"

#include "audio/AudioErrors.h"
#include "audio/FileConversion.h"
#include "audio/G711Codec.h"
#include "audio/GsmCodec.h"
#include "audio/ImaAdpcmCodec.h"


namespace {

// pcm:RATE:BITS:CHANNELS, alaw:RATE:CHANNELS, ulaw:RATE:CHANNELS,
// ima:RATE:CHANNELS or gsm:RATE:1.
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

int runConvert(CliContext& ctx)
{
    const QString name = QStringLiteral("convert");
    CliArgs args(ctx.args);
    const std::optional<QString> spec = args.option(QStringLiteral("--to"));
    QStringList files;
    if (!args.positional(2, 2, files))
        return cliUsageError(ctx, name, args.error());
    if (!spec)
        return cliUsageError(ctx, name, QStringLiteral("the option --to is required"));
    const std::optional<TdeWaveFormat> to = parseFormatSpec(*spec);
    if (!to)
        return cliUsageError(ctx, name, QStringLiteral("unknown format \"%1\"").arg(*spec));
    try {
        const qint64 written = ConvertWavFile(files[0], files[1], *to);
        ctx.out << files[1] << ": " << to->describe() << ", " << written << " bytes of audio\n";
        return 0;
    } catch (const EACMError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
}

CliCommandRegistrar convert({QStringLiteral("convert"), QStringLiteral("IN.wav OUT.wav --to SPEC"),
                             QStringLiteral("convert a WAV file; SPEC is pcm:RATE:BITS:CHANNELS, alaw:RATE:CHANNELS, "
                                            "ulaw:RATE:CHANNELS, ima:RATE:CHANNELS or gsm:8000:1"),
                             &runConvert});

} // namespace
