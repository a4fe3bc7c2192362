#include "FileConversion.h"

#include "AudioConvertor.h"
#include "AudioErrors.h"
#include "RiffReader.h"
#include "RiffWriter.h"
#include "SubStream.h"

#include "platform/FileSync.h"
#include "platform/RegularFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>
#include <functional>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qint64 Pcm8kBlock = 2048;
constexpr qint64 MaxPiece = 1 << 20; // a damaged header's rate cannot ask for more

void openForReading(QFile& file)
{
    if (!file.open(QIODevice::ReadOnly))
        throw EACMAudioStreamError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(file.fileName(), file.errorString()));
}

void writeAll(QIODevice& stream, const void* data, qint64 size)
{
    if (stream.write(static_cast<const char*>(data), size) != size)
        throw EACMAudioStreamError(QStringLiteral("Cannot write the converted audio: %1").arg(stream.errorString()));
}

// Room for the whole output at once in a memory stream, so it never holds
// two copies while growing. The estimate is bounded: the header's rate may lie.
void reserveOutput(QIODevice& stream, const TdeRIFFAudioReader& reader)
{
    auto* memory = qobject_cast<QBuffer*>(&stream);
    const quint32 perSecond = reader.trackFormat().avgBytesPerSec();
    if (!memory || perSecond == 0)
        return;
    const qint64 expected = reader.trackSize() * 8000 / perSecond + 65536;
    memory->buffer().reserve(memory->pos() + std::min(expected, 16 * reader.trackSize() + 65536));
}

TdeWaveFormat readWaveFormat(const QString& fileName)
{
    RegularFile file(fileName);
    openForReading(file);
    const TdeRIFFAudioReader reader(&file);
    return reader.trackFormat();
}

void feedPcm8k(QIODevice& stream, TdeAudioConvertor& convertor)
{
    if (!stream.seek(0))
        throw EACMAudioStreamError(QStringLiteral("Cannot read the audio to save."));
    char block[Pcm8kBlock];
    for (qint64 left = stream.size(); left > 0;) {
        const qint64 n = std::min(left, Pcm8kBlock);
        if (stream.read(block, n) != n)
            throw EACMAudioStreamError(QStringLiteral("Cannot read the audio to save."));
        convertor.convert(block, n);
        left -= n;
    }
}

void commitOrThrow(QSaveFile& target)
{
    if (!commitSynced(target))
        throw EACMAudioStreamError(
            QStringLiteral("Cannot write file \"%1\". %2").arg(target.fileName(), target.errorString()));
}

// Runs what feed gives a convertor into a WAV file; returns the audio bytes.
qint64 convertInto(QSaveFile& target, const TdeWaveFormat& from, const TdeWaveFormat& to,
                   const std::function<void(TdeAudioConvertor&)>& feed)
{
    TdeRIFFAudioWriter writer(&target);
    writer.setFormat(to);
    writer.setSyncOnRefresh(false); // synced once, before it takes its name
    TdeAudioConvertor convertor;
    convertor.setFormatIn(from);
    convertor.setFormatOut(to);
    convertor.setOnAudioConverted(
        [&](TdeAudioConvertor*, const void* data, qint64 size, bool&) { writer.writeData(data, size); });
    convertor.open();
    feed(convertor);
    convertor.close();
    writer.finish();
    return writer.bytesWritten();
}

} // namespace

void StderrMessageSink::showMessage(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

qint64 conversionPieceSize(const TdeWaveFormat& format)
{
    const qint64 block = std::max<qint64>(format.blockAlign(), 1);
    const qint64 quarter = std::min<qint64>(format.avgBytesPerSec() / 4, MaxPiece);
    return std::max(block, quarter / block * block);
}

void convertWholeTrack(TdeAbstractAudioReader& reader, TdeAudioConvertor& convertor)
{
    const std::unique_ptr<TdeSubStream> track(reader.openTrack(0));
    const qint64 piece = conversionPieceSize(reader.trackFormat(0));
    std::vector<char> buffer(size_t(std::min(2 * piece, std::max<qint64>(track->size(), 1))));
    for (qint64 left = track->size(); left > 0;) {
        const qint64 n = left < 2 * piece ? left : piece;
        track->read(buffer.data(), n);
        convertor.convert(buffer.data(), n);
        left -= n;
    }
    convertor.flush();
}

bool WavToPcm8k(const QString& fileName, QIODevice& stream, AudioMessageSink* messages)
{
    RegularFile file(fileName);
    openForReading(file);
    TdeAudioConvertor convertor;
    convertor.setOnAudioConverted([&](TdeAudioConvertor*, const void* data, qint64 size, bool&) {
        writeAll(stream, data, size);
    });
    try {
        TdeRIFFAudioReader reader(&file);
        convertor.setFormatIn(reader.trackFormat());
        convertor.setFormatOut(standardPcm8k());
        convertor.open();
        reserveOutput(stream, reader);
        convertWholeTrack(reader, convertor);
        convertor.close();
        return true;
    } catch (const std::exception&) {
        StderrMessageSink stderrSink;
        (messages ? messages : &stderrSink)->showMessage(QStringLiteral("Error was created during pcm conversion"));
        return false;
    }
}

bool Pcm8kToWav(const QString& fileName, QIODevice& stream)
{
    const TdeWaveFormat format = readWaveFormat(fileName);
    QSaveFile target(fileName);
    try {
        if (!target.open(QIODevice::WriteOnly))
            return false;
        convertInto(target, standardPcm8k(), format, [&](TdeAudioConvertor& convertor) {
            feedPcm8k(stream, convertor);
            convertor.flush();
        });
        commitOrThrow(target);
        return true;
    } catch (const std::exception&) {
        target.cancelWriting();
        return false;
    }
}

QString whyNotWritableFromPcm8k(const QString& fileName)
{
    const TdeWaveFormat format = readWaveFormat(fileName);
    try {
        TdeAudioConvertor convertor;
        convertor.setFormatIn(standardPcm8k());
        convertor.setFormatOut(format);
        convertor.open();
        convertor.close();
        return {};
    } catch (const EACMError& e) {
        return QStringLiteral("its format (%1) can be read but not written: %2").arg(format.describe(), e.message());
    }
}

qint64 WriteConvertedWav(const QString& outName, const TdeWaveFormat& from, const TdeWaveFormat& to,
                         const std::function<void(TdeAudioConvertor&)>& feed)
{
    QSaveFile out(outName);
    if (!out.open(QIODevice::WriteOnly))
        throw EACMAudioStreamError(QStringLiteral("Cannot create file \"%1\". %2").arg(outName, out.errorString()));
    const qint64 written = convertInto(out, from, to, feed);
    commitOrThrow(out);
    return written;
}

qint64 ConvertWavFile(const QString& inName, const QString& outName, const TdeWaveFormat& to)
{
    RegularFile in(inName);
    openForReading(in);
    TdeRIFFAudioReader reader(&in);
    return WriteConvertedWav(outName, reader.trackFormat(), to,
                             [&](TdeAudioConvertor& convertor) { convertWholeTrack(reader, convertor); });
}
