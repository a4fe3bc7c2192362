#include "CliLineSession.h"
#include "CliSpeech.h"

#include <QFileInfo>

namespace {

// Takes the line as a recording does: voice mode, then the line select
// from on hook.
bool takeLine(TQVModem253& engine)
{
    if (engine.GetModemMode() != TQVModem253::ModeVoice && engine.SetVoiceMode() != TQVModem253::ReplyOk)
        return false;
    if (engine.lineTaken())
        return true;
    return engine.cmdVls() == TQVModem253::ReplyOk;
}

// Plays a WAV file, or a text spoken as the answering machine speaks it, to
// the line, then hangs up.
int runPlay(CliContext& ctx)
{
    const QString name = QStringLiteral("play");
    CliArgs args(ctx.args);
    const std::optional<QString> text = args.option(QStringLiteral("--text"));
    CliSpeechOptions speech;
    if (!takeSpeechOptions(ctx, args, name, speech))
        return 2;
    QStringList files;
    if (!args.positional(text ? 0 : 1, text ? 0 : 1, files))
        return cliUsageError(ctx, name, args.error());
    QByteArray rendered;
    if (text && !renderSpeech(ctx, name, *text, speech, rendered))
        return 1;
    if (!text && !QFileInfo(files.first()).isFile()) {
        ctx.err << "velmora-cli play: " << files.first() << " is not a file\n";
        return 1;
    }

    CliLineSession session(ctx, name);
    TQVModem253& engine = session.engine();
    session.printEvents();
    if (!session.initialise())
        return 1;
    bool ended = false;
    QString error;
    engine.OnTrxEnd = [&](TQVModem253*) { ended = true; };
    engine.OnTransmitDone = [&](TQVModem253*) { session.stop(); };
    engine.OnTransmitError = [&](const QString& message) { error = message; };
    if (!takeLine(engine)) {
        ctx.err << "velmora-cli play: the modem did not take the line (see the log above)\n";
        return 1;
    }
    if (text) {
        if (engine.StartVTX() != TQVModem253::ReplyConnect) {
            ctx.err << "velmora-cli play: the modem did not start transmitting (see the log above)\n";
            engine.cmdOnHook();
            return 1;
        }
        engine.TransmitRaw(rendered);
    } else {
        engine.PlayWaveToLine(QFileInfo(files.first()).absoluteFilePath());
    }
    session.printLine(QStringLiteral("PLAYING %1").arg(text ? QStringLiteral("text") : files.first()));
    session.run(std::nullopt);
    if (session.interrupted()) // Ctrl+C: the audio stops, the stream ends in order
        text ? engine.StopTransmitRaw() : engine.StopWaveToLine();
    if (engine.GetVoiceState() == TQVModem253::VoiceTransmit)
        engine.ReleaseModem(); // the modem left nothing else: closing the port ends its stream
    else
        engine.cmdOnHook();
    if (!error.isEmpty())
        ctx.err << "velmora-cli play: " << error << " (see the log above)\n";
    if (!ended) {
        ctx.err << "velmora-cli play: the transmission did not end in order (the modem did not start it or did "
                   "not acknowledge its stop; see the log above)\n";
        return 1;
    }
    session.printLine(QStringLiteral("PLAYED"));
    return error.isEmpty() ? 0 : 1;
}

CliCommandRegistrar play({QStringLiteral("play"), QStringLiteral("FILE | --text \"TEXT\" [--voice N|ID] [--volume V]"),
                          QStringLiteral("take the line, play a WAV file or a spoken text to it, and hang up"),
                          &runPlay});

} // namespace
