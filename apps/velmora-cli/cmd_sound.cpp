#include "CliCommand.h"
#include "CliFormats.h"
#include "platform/InterruptScope.h"
#include "CliSound.h"

#include "audio/AudioDevices.h"
#include "audio/AudioErrors.h"
#include "audio/AudioPlayers.h"
#include "platform/SoundBackend.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace {

constexpr int InterruptPollMs = 50;

bool sameDevice(const std::optional<SoundDevice>& a, const SoundDevice& b)
{
    return a && a->backend == b.backend && a->index == b.index;
}

int runSoundDevices(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, QStringLiteral("sound-devices"), args.error());
    const std::optional<SoundDevice> defaultOut = defaultSoundDevice(true);
    const std::optional<SoundDevice> defaultIn = defaultSoundDevice(false);
    const std::vector<SoundDevice> all = soundDevices();
    for (size_t i = 0; i < all.size(); ++i) {
        const SoundDeviceInfo& d = all[i].info;
        const bool in = d.inputChannels > 0;
        const bool out = d.outputChannels > 0;
        const char* direction = in && out ? "in+out" : in ? "in" : "out";
        const bool isDefault = sameDevice(defaultOut, all[i]) || sameDevice(defaultIn, all[i]);
        ctx.out << i << '\t' << direction << '\t' << (isDefault ? "default" : "-") << '\t' << d.name << '\n';
    }
    if (!haveRealSoundDevice())
        ctx.err << "No sound card found: the virtual device stands in for one.\n";
    return 0;
}

int defaultSoundDeviceNumber(bool output)
{
    const std::optional<SoundDevice> d = defaultSoundDevice(output);
    return d ? soundDeviceNumber(*d) : TdeAudioIO::DefaultDevice;
}

// Runs the event loop until `done` says so, Ctrl+C comes or quit() is
// called from a handler (which ends it before another buffer is taken).
class CliWait
{
public:
    void quit() { m_loop.quit(); }
    void run(const std::function<bool()>& done)
    {
        InterruptScope interrupts;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &m_loop, [&] {
            if (done() || InterruptScope::interrupted())
                m_loop.quit();
        });
        poll.start(InterruptPollMs);
        if (!done())
            m_loop.exec();
    }

private:
    QEventLoop m_loop;
};

// The virtual options choose the virtual device unless --device says otherwise.
std::optional<int> deviceFor(CliContext& ctx, const QString& name, CliArgs& args, bool output, bool virtualIo)
{
    std::optional<int> device = takeSoundDevice(ctx, name, args, output);
    if (device && virtualIo) {
        if (*device < 0)
            device = virtualSoundDeviceNumber();
        if (*device != virtualSoundDeviceNumber()) {
            ctx.err << "velmora-cli " << name << ": " << (output ? "--virtual-out" : "--virtual-in")
                    << " needs the virtual device\n";
            return std::nullopt;
        }
    }
    return device;
}

int runPlayLocal(CliContext& ctx)
{
    const QString name = QStringLiteral("play-local");
    CliArgs args(ctx.args);
    const std::optional<QString> virtualOut = args.option(QStringLiteral("--virtual-out"));
    const std::optional<int> volume = args.intOption(QStringLiteral("--volume"));
    const std::optional<int> device = deviceFor(ctx, name, args, true, virtualOut.has_value());
    QStringList files;
    if (!device)
        return 1;
    if (!args.positional(1, 1, files))
        return cliUsageError(ctx, name, args.error());
    if (volume && (*volume < 0 || *volume > 100))
        return cliUsageError(ctx, name, QStringLiteral("--volume takes 0 to 100"));
    if (!QFileInfo(files.first()).isFile()) {
        ctx.err << "velmora-cli " << name << ": " << files.first() << " is not a file\n";
        return 1;
    }
    const int number = *device < 0 ? defaultSoundDeviceNumber(true) : *device;
    try {
        if (volume)
            for (const TdeAudioOutDevice& d : audioOutDevices())
                if (d.deviceNumber == number)
                    d.SetVolume(quint16(*volume * 65535 / 100));
        VirtualSoundDevice::instance()->takePlayed(); // only this file goes to --virtual-out
        TQAudioPlayer player;
        player.FileName = files.first();
        player.device().setDeviceNumber(number);
        bool completed = false;
        QString error;
        CliWait wait;
        player.OnAudioCompleted = [&](TQAudioPlayer*) {
            completed = true;
            wait.quit();
        };
        player.OnError = [&](TQAudioPlayer*, const QString& message) {
            error = message;
            wait.quit();
        };
        try {
            player.Play();
        } catch (const EACMAudioReadError& e) {
            throw EACMAudioReadError(files.first() + QStringLiteral(": ") + e.message());
        }
        ctx.out << "PLAYING " << files.first() << " on " << soundDeviceName(number, true) << ": "
                << player.PlayConvert().formatIn().describe() << ", " << QString::number(player.lengthMs() / 1000.0, 'f', 1)
                << " s\n";
        ctx.out.flush();
        wait.run([&] { return completed || !error.isEmpty(); });
        const qint64 playedMs = completed ? player.lengthMs() : player.playedMs();
        player.Stop();
        if (virtualOut && !saveVirtualOutput(ctx, name, *virtualOut))
            return 1;
        if (!error.isEmpty()) {
            ctx.err << "velmora-cli " << name << ": " << error << "\n";
            return 1;
        }
        ctx.out << (completed ? "PLAYED " : "STOPPED ") << QString::number(playedMs / 1000.0, 'f', 1) << " s\n";
        return 0;
    } catch (const EACMError& e) {
        ctx.err << "velmora-cli " << name << ": " << e.message() << "\n";
        return 1;
    }
}

// The card records plain PCM of at most 16 bits and two channels; the
// file's own format is converted from it.
TdeWaveFormat cardFormatFor(const TdeWaveFormat& file)
{
    if (file.formatTag() == WaveTag::Pcm && (file.bitsPerSample() == 8 || file.bitsPerSample() == 16)
        && file.channels() <= 2)
        return file;
    return pcmFormat(file.samplesPerSec(), 16, std::min<quint16>(file.channels(), 2));
}

int runRecordLocal(CliContext& ctx)
{
    const QString name = QStringLiteral("record-local");
    CliArgs args(ctx.args);
    const std::optional<QString> virtualIn = args.option(QStringLiteral("--virtual-in"));
    const std::optional<int> seconds = args.intOption(QStringLiteral("--seconds"));
    const QString spec = args.option(QStringLiteral("--format")).value_or(QStringLiteral("pcm:8000:16:1"));
    const std::optional<int> device = deviceFor(ctx, name, args, false, virtualIn.has_value());
    QStringList files;
    if (!device)
        return 1;
    if (!args.positional(1, 1, files))
        return cliUsageError(ctx, name, args.error());
    if (!seconds || *seconds <= 0)
        return cliUsageError(ctx, name, QStringLiteral("--seconds N (above 0) is required"));
    const std::optional<TdeWaveFormat> format = parseFormatSpec(spec);
    if (!format)
        return cliUsageError(ctx, name, QStringLiteral("unknown format \"%1\"").arg(spec));
    const int number = *device < 0 ? defaultSoundDeviceNumber(false) : *device;
    TQAudioRecorder recorder;
    recorder.FileName = files.first();
    recorder.WavFormat = *format;
    recorder.AudioInFormat = cardFormatFor(*format);
    recorder.device().setDeviceNumber(number);
    if (virtualIn && !loadVirtualInput(ctx, name, *virtualIn, recorder.AudioInFormat))
        return 1;
    const qint64 wanted = qint64(*seconds) * 8000; // bytes of the 8 kHz tap
    qint64 heard = 0;
    QString error;
    CliWait wait;
    recorder.On8BitPCMConveted = [&](QObject*, const void*, qint64 size) {
        heard += size;
        if (heard >= wanted)
            wait.quit();
    };
    recorder.OnError = [&](TQAudioRecorder*, const QString& message) {
        error = message;
        wait.quit();
    };
    try {
        recorder.Start();
    } catch (const EACMError& e) {
        ctx.err << "velmora-cli " << name << ": " << e.message() << "\n";
        return 1;
    }
    ctx.out << "RECORDING " << files.first() << " from " << soundDeviceName(number, false) << ": "
            << format->describe() << ", " << *seconds << " s\n";
    ctx.out.flush();
    QElapsedTimer clock;
    clock.start();
    const qint64 giveUpMs = qint64(*seconds) * 1000 + 5000; // a card that delivers nothing
    wait.run([&] { return heard >= wanted || !error.isEmpty() || clock.elapsed() > giveUpMs; });
    const qint64 written = recorder.bytesWritten();
    const bool saved = recorder.Stop();
    if (error.isEmpty() && heard == 0 && !InterruptScope::interrupted())
        error = QStringLiteral("the sound card delivered no audio");
    if (!error.isEmpty() || !saved) {
        ctx.err << "velmora-cli " << name << ": " << (error.isEmpty() ? QStringLiteral("the file could not be completed") : error)
                << (written > 0 && saved ? QStringLiteral(" (what was recorded is in %1)").arg(files.first()) : QString())
                << "\n";
        return 1;
    }
    ctx.out << "RECORDED " << files.first() << ": " << QString::number(heard / 8000.0, 'f', 2) << " s, " << written
            << " bytes of audio\n";
    return 0;
}

CliCommandRegistrar soundDevicesCommand({QStringLiteral("sound-devices"), QString(),
                                         QStringLiteral("list the sound cards: INDEX, in|out|in+out, default|-, NAME "
                                                        "(the virtual device included)"),
                                         &runSoundDevices});
CliCommandRegistrar playLocalCommand(
    {QStringLiteral("play-local"), QStringLiteral("FILE [--device N|virtual] [--volume 0-100] [--virtual-out FILE]"),
     QStringLiteral("play a WAV file on the sound card; the virtual device writes what it played to --virtual-out"),
     &runPlayLocal});
CliCommandRegistrar recordLocalCommand(
    {QStringLiteral("record-local"),
     QStringLiteral("OUT.wav --seconds N [--device N|virtual] [--format SPEC] [--virtual-in FILE]"),
     QStringLiteral("record from the sound card into a WAV file (SPEC as convert takes it, default pcm:8000:16:1); "
                    "the virtual device hears --virtual-in"),
     &runRecordLocal});

} // namespace
