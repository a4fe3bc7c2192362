#include "CliSound.h"

#include "audio/AudioConvertor.h"
#include "audio/AudioErrors.h"
#include "audio/FileConversion.h"
#include "audio/RiffReader.h"
#include "audio/RiffWriter.h"

#include "platform/FileSync.h"
#include "platform/SoundBackend.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <QSaveFile>

namespace {

bool usable(const SoundDevice& d, bool output)
{
    return (output ? d.info.outputChannels : d.info.inputChannels) > 0;
}

} // namespace

int virtualSoundDeviceNumber()
{
    const std::vector<SoundDevice> all = soundDevices();
    for (size_t i = 0; i < all.size(); ++i)
        if (!all[i].backend->isReal())
            return int(i);
    return -1;
}

QString soundDeviceName(int number, bool output)
{
    const std::optional<SoundDevice> chosen =
        number < 0 ? defaultSoundDevice(output) : std::optional<SoundDevice>(soundDevices().at(size_t(number)));
    return chosen ? chosen->info.name : QStringLiteral("none");
}

std::optional<int> takeSoundDevice(CliContext& ctx, const QString& command, CliArgs& args, bool output)
{
    const std::optional<QString> text = args.option(QStringLiteral("--device"));
    if (!text)
        return -1;
    if (*text == QLatin1String("virtual"))
        return virtualSoundDeviceNumber();
    const std::vector<SoundDevice> all = soundDevices();
    bool ok = false;
    const int number = text->toInt(&ok);
    if (!ok || number < 0 || size_t(number) >= all.size()) {
        ctx.err << "velmora-cli " << command << ": no sound device " << *text
                << " (velmora-cli sound-devices lists them)\n";
        return std::nullopt;
    }
    if (!usable(all[size_t(number)], output)) {
        ctx.err << "velmora-cli " << command << ": sound device " << number << " (" << all[size_t(number)].info.name
                << ") cannot " << (output ? "play" : "record") << "\n";
        return std::nullopt;
    }
    return number;
}

bool loadVirtualInput(CliContext& ctx, const QString& command, const QString& fileName, const TdeWaveFormat& format)
{
    try {
        RegularFile file(fileName);
        if (!file.open(QIODevice::ReadOnly))
            throw EACMAudioStreamError(
                QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
        TdeRIFFAudioReader reader(&file);
        TdeAudioConvertor convertor;
        convertor.setFormatIn(reader.trackFormat());
        convertor.setFormatOut(format);
        QByteArray heard;
        convertor.setOnAudioConverted([&](TdeAudioConvertor*, const void* data, qint64 size, bool&) {
            heard.append(static_cast<const char*>(data), size);
        });
        convertor.open();
        convertWholeTrack(reader, convertor);
        VirtualSoundDevice::instance()->setInput(heard);
        return true;
    } catch (const EACMError& e) {
        ctx.err << "velmora-cli " << command << ": " << fileName << ": " << e.message() << "\n";
        return false;
    }
}

bool saveVirtualOutput(CliContext& ctx, const QString& command, const QString& fileName)
{
    SoundFormat played;
    const QByteArray audio = VirtualSoundDevice::instance()->takePlayed(&played);
    QSaveFile file(fileName);
    try {
        if (!file.open(QIODevice::WriteOnly))
            throw EACMAudioStreamError(
                QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
        {
            TdeRIFFAudioWriter writer(&file);
            writer.setFormat(pcmFormat(quint32(played.rate), quint16(played.bits), quint16(played.channels)));
            writer.setSyncOnRefresh(false);
            writer.writeData(audio.constData(), audio.size());
            writer.finish();
        }
        if (!commitSynced(file))
            throw EACMAudioStreamError(
                QStringLiteral("Cannot write file \"%1\". %2").arg(fileName, file.errorString()));
        return true;
    } catch (const EACMError& e) {
        file.cancelWriting();
        ctx.err << "velmora-cli " << command << ": " << e.message() << "\n";
        return false;
    }
}
