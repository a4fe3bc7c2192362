#include "CliCommand.h"

#include "audio/AudioErrors.h"
#include "audio/AudioImport.h"

namespace {

// Any WAV file the codec layer reads, or a file libsndfile decodes, as a
// greeting: PCM, 8000 samples/s, 16 bits, mono.
int runImportGreeting(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList files;
    if (!args.positional(2, 2, files))
        return cliUsageError(ctx, QStringLiteral("import-greeting"), args.error());
    try {
        const qint64 written = ImportAudioFile(files[0], files[1], greetingFormat());
        ctx.out << files[1] << ": " << greetingFormat().describe() << ", " << written << " bytes of audio ("
                << QString::number(double(written) / greetingFormat().avgBytesPerSec(), 'f', 1) << " s)\n";
        return 0;
    } catch (const EACMError& e) {
        ctx.err << "velmora-cli import-greeting: " << e.message() << "\n";
        return 1;
    }
}

CliCommandRegistrar importGreeting({QStringLiteral("import-greeting"), QStringLiteral("IN OUT.wav"),
                                    QStringLiteral("convert any WAV file, or FLAC, Ogg Vorbis, Opus, MP3 and what "
                                                   "else libsndfile reads, into a greeting (8 kHz 16-bit mono WAV)"),
                                    &runImportGreeting});

} // namespace
