#include "CliSpeech.h"

#include "audio/AudioErrors.h"
#include "audio/RiffWriter.h"
#include "speech/TextToSpeech.h"

#include <QSaveFile>

namespace {

int runVoices(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList none;
    if (!args.positional(0, 0, none))
        return cliUsageError(ctx, QStringLiteral("voices"), args.error());
    TextToSpeech tts;
    if (!tts.available()) {
        ctx.err << tts.unavailableMessage() << '\n' << "(" << tts.engineError() << ")\n";
        return 1;
    }
    for (size_t i = 0; i < tts.voices().size(); ++i)
        ctx.out << i << '\t' << tts.voices()[i].id << '\t' << tts.voices()[i].description() << '\n';
    return 0;
}

// Speaks the text as the answering machine would and keeps it as a file.
int runSpeak(CliContext& ctx)
{
    const QString name = QStringLiteral("speak");
    CliArgs args(ctx.args);
    CliSpeechOptions options;
    if (!takeSpeechOptions(ctx, args, name, options))
        return 2;
    QStringList values;
    if (!args.positional(2, 2, values))
        return cliUsageError(ctx, name, args.error());
    QByteArray audio;
    if (!renderSpeech(ctx, name, values[0], options, audio))
        return 1;
    if (audio.isEmpty()) {
        ctx.err << "velmora-cli speak: the text gives no speech\n";
        return 1;
    }
    QSaveFile file(values[1]);
    try {
        if (!file.open(QIODevice::WriteOnly))
            throw EACMAudioStreamError(file.errorString());
        {
            TdeRIFFAudioWriter writer(&file);
            writer.setFormat(standardPcm8k());
            writer.writeData(audio.constData(), audio.size());
            writer.finish();
        }
        if (!file.commit())
            throw EACMAudioStreamError(file.errorString());
    } catch (const EACMError& e) {
        ctx.err << "velmora-cli speak: cannot write " << values[1] << ": " << e.message() << '\n';
        return 1;
    }
    ctx.out << values[1] << ": " << audio.size() << " bytes, " << QString::number(audio.size() / 8000.0, 'f', 2)
            << " s of 8 kHz 8-bit mono\n";
    return 0;
}

CliCommandRegistrar voices({QStringLiteral("voices"), QString(),
                            QStringLiteral("list the text-to-speech voices: INDEX, ID and DESCRIPTION"), &runVoices});
CliCommandRegistrar speak({QStringLiteral("speak"), QStringLiteral("\"TEXT\" OUT.wav [--voice N|ID] [--volume V]"),
                           QStringLiteral("speak a text as the answering machine does (the settings' voice and "
                                          "volume unless given) into an 8 kHz 8-bit WAV file"),
                           &runSpeak});

} // namespace
