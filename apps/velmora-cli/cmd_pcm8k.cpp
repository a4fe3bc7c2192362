#include "CliCommand.h"

#include "audio/AudioErrors.h"
#include "audio/FileConversion.h"

#include <QSaveFile>

namespace {

class CliMessages : public AudioMessageSink
{
public:
    explicit CliMessages(QTextStream& err) : m_err(err) {}
    void showMessage(const QString& text) override { m_err << "velmora-cli pcm8k: " << text << "\n"; }

private:
    QTextStream& m_err;
};

int runPcm8k(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList files;
    if (!args.positional(2, 2, files))
        return cliUsageError(ctx, QStringLiteral("pcm8k"), args.error());
    // Straight into the file: an hour in a large format never sits in memory.
    // Until commit() the output is a temporary file, so a failure leaves none.
    QSaveFile out(files[1]);
    if (!out.open(QIODevice::WriteOnly)) {
        ctx.err << "velmora-cli pcm8k: Cannot write file \"" << files[1] << "\". " << out.errorString() << "\n";
        return 1;
    }
    CliMessages messages(ctx.err);
    try {
        if (!WavToPcm8k(files[0], out, &messages))
            return 1;
    } catch (const EACMError& e) {
        ctx.err << "velmora-cli pcm8k: " << e.message() << "\n";
        return 1;
    }
    const qint64 size = out.pos();
    if (!out.commit()) {
        ctx.err << "velmora-cli pcm8k: Cannot write file \"" << files[1] << "\". " << out.errorString() << "\n";
        return 1;
    }
    ctx.out << files[1] << ": " << size << " bytes of 8 kHz 8-bit mono PCM\n";
    return 0;
}

CliCommandRegistrar pcm8k({QStringLiteral("pcm8k"), QStringLiteral("IN.wav OUT.raw"),
                           QStringLiteral("write a WAV file's audio as raw 8 kHz 8-bit unsigned mono PCM"),
                           &runPcm8k});

} // namespace
