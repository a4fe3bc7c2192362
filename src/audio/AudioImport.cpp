#include "AudioImport.h"

#include "AudioConvertor.h"
#include "AudioErrors.h"
#include "CodecRegistry.h"
#include "CodecResult.h"
#include "FileConversion.h"
#include "RiffReader.h"
#include "platform/RegularFile.h"

#include <QBuffer>
#include <QFile>
#include <algorithm>
#include <cstring>
#include <sndfile.h>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr int MaxChannels = 8;

struct SndFileCloser
{
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndFile = std::unique_ptr<SNDFILE, SndFileCloser>;

[[noreturn]] void cannotUse(const QString& file, const QString& found, const QString& why)
{
    throw EACMAudioReadError(QStringLiteral("Cannot use %1: %2: %3").arg(file, found, why));
}

// The format of a WAV file the codec layer reads and converts to `to`;
// none when the file is no such WAV file. `found` then says what it is.
std::optional<TdeWaveFormat> codecLayerFormat(const QString& name, const TdeWaveFormat& to, QString& found)
{
    RegularFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw EACMAudioStreamError(QStringLiteral("Cannot open file \"%1\". %2").arg(name, file.errorString()));
    try {
        const TdeRIFFAudioReader reader(&file);
        const TdeWaveFormat format = reader.trackFormat();
        const QString text = format.describe();
        found = QStringLiteral("a WAV file (%1)")
                    .arg(text.isEmpty() ? QStringLiteral("format tag 0x%1, %2 Hz, %3 bits, %4 channels")
                                              .arg(format.formatTag(), 4, 16, QLatin1Char('0'))
                                              .arg(format.samplesPerSec())
                                              .arg(format.bitsPerSample())
                                              .arg(format.channels())
                                        : text);
        TdeAudioConvertor probe; // a chain to the wanted format must exist
        probe.setFormatIn(format);
        probe.setFormatOut(to);
        probe.open();
        return format;
    } catch (const EACMError&) {
        if (found.isEmpty())
            found = QStringLiteral("not a WAV file");
        return std::nullopt;
    }
}

QString majorName(int format)
{
    SF_FORMAT_INFO info{};
    info.format = format & SF_FORMAT_TYPEMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || !info.name)
        return QStringLiteral("format 0x%1").arg(format, 0, 16);
    return QString::fromUtf8(info.name);
}

qint64 importThroughLibsndfile(const QString& inName, const QString& outName, const TdeWaveFormat& to,
                               const QString& foundByCodecLayer)
{
    SF_INFO info{};
    RegularFile source(inName);
    if (!source.open(QIODevice::ReadOnly))
        cannotUse(inName, foundByCodecLayer, source.errorString());
    SndFile file(sf_open_fd(source.handle(), SFM_READ, &info, 0));
    if (!file)
        cannotUse(inName, foundByCodecLayer,
                  QStringLiteral("neither the codec layer nor libsndfile can read it (%1)")
                      .arg(QString::fromUtf8(sf_strerror(nullptr))));
    const QString found = majorName(info.format);
    if (info.channels < 1 || info.channels > MaxChannels)
        cannotUse(inName, found, QStringLiteral("it has %1 channels; at most %2 are mixed").arg(info.channels).arg(MaxChannels));
    if (!codecformat::rateSupported(quint32(std::max(info.samplerate, 0))))
        cannotUse(inName, found, QStringLiteral("its rate of %1 Hz is outside 4000 to 192000 Hz").arg(info.samplerate));
    const TdeWaveFormat from = pcmFormat(quint32(info.samplerate), 16, quint16(info.channels));
    // A quarter of a second of frames at a time.
    std::vector<short> frames(size_t(std::max(info.samplerate / 4, 1)) * size_t(info.channels));
    return WriteConvertedWav(outName, from, to, [&](TdeAudioConvertor& convertor) {
        for (;;) {
            const sf_count_t got = sf_readf_short(file.get(), frames.data(), sf_count_t(frames.size() / info.channels));
            if (got <= 0)
                break;
            convertor.convert(frames.data(), qint64(got) * info.channels * 2);
        }
        if (sf_error(file.get()) != SF_ERR_NO_ERROR)
            cannotUse(inName, found, QStringLiteral("decoding failed (%1)").arg(QString::fromUtf8(sf_strerror(file.get()))));
        convertor.flush();
    });
}

// libsndfile reading from memory.
struct MemoryFile
{
    const QByteArray& bytes;
    sf_count_t position = 0;
};

SF_VIRTUAL_IO memoryIo()
{
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) -> sf_count_t { return static_cast<MemoryFile*>(user)->bytes.size(); };
    io.seek = [](sf_count_t offset, int whence, void* user) -> sf_count_t {
        auto* m = static_cast<MemoryFile*>(user);
        const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->position : m->bytes.size();
        m->position = std::clamp<sf_count_t>(base + offset, 0, m->bytes.size());
        return m->position;
    };
    io.read = [](void* ptr, sf_count_t count, void* user) -> sf_count_t {
        auto* m = static_cast<MemoryFile*>(user);
        const sf_count_t n = std::clamp<sf_count_t>(m->bytes.size() - m->position, 0, count);
        memcpy(ptr, m->bytes.constData() + m->position, size_t(n));
        m->position += n;
        return n;
    };
    io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
    io.tell = [](void* user) -> sf_count_t { return static_cast<MemoryFile*>(user)->position; };
    return io;
}

bool codecLayerReads(const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    try {
        TdeRIFFAudioReader reader(&buffer);
        TdeAudioConvertor probe; // a chain to the greetings' format must exist
        probe.setFormatIn(reader.trackFormat());
        probe.setFormatOut(greetingFormat());
        probe.open();
        return reader.trackSize() > 0;
    } catch (const EACMError&) {
        return false;
    }
}

} // namespace

QString whyNotAudio(const QByteArray& bytes)
{
    if (codecLayerReads(bytes))
        return QString();
    MemoryFile memory{bytes};
    SF_VIRTUAL_IO io = memoryIo();
    SF_INFO info{};
    SndFile file(sf_open_virtual(&io, SFM_READ, &info, &memory));
    if (!file)
        return QStringLiteral("not an audio file this program reads (%1)").arg(QString::fromUtf8(sf_strerror(nullptr)));
    if (info.channels < 1 || info.channels > MaxChannels || info.samplerate < 1000 || info.frames <= 0)
        return QStringLiteral("an audio file without usable audio");
    std::vector<short> frames(size_t(info.channels) * 256);
    if (sf_readf_short(file.get(), frames.data(), 256) <= 0)
        return QStringLiteral("an audio file whose audio cannot be decoded");
    return QString();
}

TdeWaveFormat greetingFormat()
{
    return pcmFormat(8000, 16, 1);
}

qint64 ImportAudioFile(const QString& inName, const QString& outName, const TdeWaveFormat& to)
{
    QString found;
    if (codecLayerFormat(inName, to, found))
        return ConvertWavFile(inName, outName, to);
    return importThroughLibsndfile(inName, outName, to, found);
}

QStringList importableFormats()
{
    QStringList names;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 && info.name)
            names.append(QString::fromUtf8(info.name));
    }
    return names;
}
