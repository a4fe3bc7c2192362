#include "CliSpeech.h"

#include "catalogue/DataFolder.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "speech/TextToSpeech.h"

#include <QEventLoop>

bool takeSpeechOptions(CliContext& ctx, CliArgs& args, const QString& command, CliSpeechOptions& options)
{
    options.voice = args.option(QStringLiteral("--voice"));
    options.volume = args.intOption(QStringLiteral("--volume"));
    if (!args.error().isEmpty()) {
        cliUsageError(ctx, command, args.error());
        return false;
    }
    if (options.volume && (*options.volume < 0 || *options.volume > 100)) {
        cliUsageError(ctx, command, QStringLiteral("--volume must be 0 to 100"));
        return false;
    }
    return true;
}

namespace {

// --voice: an index of the list, or a voice's id.
int chosenVoice(const TextToSpeech& tts, const QString& voice)
{
    bool isIndex = false;
    const int index = voice.toInt(&isIndex);
    if (isIndex)
        return index >= 0 && size_t(index) < tts.voices().size() ? index : -1;
    return tts.indexOfVoice(voice);
}

} // namespace

bool renderSpeech(CliContext& ctx, const QString& command, const QString& text, const CliSpeechOptions& options,
                  QByteArray& audio)
{
    TextToSpeech tts;
    if (!tts.available()) {
        ctx.err << tts.unavailableMessage() << '\n' << "(" << tts.engineError() << ")\n";
        return false;
    }
    const IniFile ini(datafolder::choose(datafolder::currentInputs(ctx.dataDir)) + QLatin1Char('/')
                      + datafolder::SettingsFileName);
    int voice = tts.resolveVoice(settings::readInteger(ini, keys::TTSvoice), settings::readString(ini, keys::TTSvoiceId));
    if (options.voice) {
        voice = chosenVoice(tts, *options.voice);
        if (voice < 0) {
            ctx.err << "velmora-cli " << command << ": there is no voice " << *options.voice
                    << " (velmora-cli voices lists them)\n";
            return false;
        }
    }
    tts.setVoice(voice);
    tts.setVolume(options.volume.value_or(settings::readInteger(ini, keys::TTSvolume)));
    QString error;
    QEventLoop loop;
    QObject::connect(&tts, &TextToSpeech::endStream, &loop, [&](quint64, const QByteArray& rendered, const QString& why) {
        audio = rendered;
        error = why;
        loop.quit();
    });
    tts.speak(text);
    loop.exec();
    if (!error.isEmpty()) {
        ctx.err << "velmora-cli " << command << ": " << error << '\n';
        return false;
    }
    return true;
}
