#include "CliCommand.h"
#include "CliFormats.h"

#include "audio/AudioErrors.h"
#include "audio/FileConversion.h"

namespace {

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
        ctx.err << "velmora-cli " << name << ": " << e.message() << "\n";
        return 1;
    }
}

CliCommandRegistrar convert({QStringLiteral("convert"), QStringLiteral("IN.wav OUT.wav --to SPEC"),
                             QStringLiteral("convert a WAV file; SPEC is pcm:RATE:BITS:CHANNELS, alaw:RATE:CHANNELS, "
                                            "ulaw:RATE:CHANNELS, ima:RATE:CHANNELS or gsm:8000:1"),
                             &runConvert});

} // namespace
