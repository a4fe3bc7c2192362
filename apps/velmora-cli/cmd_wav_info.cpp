#include "CliCommand.h"

#include "audio/AudioErrors.h"
#include "audio/RiffReader.h"
#include "platform/RegularFile.h"

#include <QFile>

namespace {

int runWavInfo(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList files;
    if (!args.positional(1, 1, files))
        return cliUsageError(ctx, QStringLiteral("wav-info"), args.error());
    RegularFile file(files.first());
    if (!file.open(QIODevice::ReadOnly)) {
        ctx.err << "Cannot open " << file.fileName() << ": " << file.errorString() << "\n";
        return 1;
    }
    try {
        const TdeRIFFAudioReader reader(&file);
        const TdeWaveFormat& f = reader.trackFormat();
        ctx.out << "format_tag=" << f.formatTag() << "\nchannels=" << f.channels()
                << "\nsamples_per_sec=" << f.samplesPerSec() << "\navg_bytes_per_sec=" << f.avgBytesPerSec()
                << "\nblock_align=" << f.blockAlign() << "\nbits_per_sample=" << f.bitsPerSample()
                << "\nextra_size=" << f.extraSize() << "\ndata_offset=" << reader.dataOffset()
                << "\ndata_size=" << reader.trackSize() << "\n";
    } catch (const EACMError& e) {
        ctx.err << e.message() << "\n";
        return 1;
    }
    return 0;
}

CliCommandRegistrar wavInfo({QStringLiteral("wav-info"), QStringLiteral("FILE"),
                             QStringLiteral("show the wave format and audio data size of a WAV file"), &runWavInfo});

} // namespace
