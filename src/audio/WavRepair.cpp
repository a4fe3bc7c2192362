#include "WavRepair.h"

#include "platform/FileSync.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr qint64 HeaderBytes = 12;
constexpr qint64 ChunkHeaderBytes = 8;
constexpr qint64 MaxRiffLength = 0xFFFFFFFFLL;

quint32 le32(const QByteArray& bytes, qint64 at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

bool writeLength(QFile& file, qint64 at, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    return file.seek(at) && file.write(bytes, 4) == 4;
}

struct Layout
{
    quint16 blockAlign = 0;
    quint32 bytesPerSecond = 0;
    qint64 dataStart = -1;
    quint32 statedData = 0;
    quint32 statedRiff = 0;
};

// Walks the chunks up to "data"; the header of a damaged file is read only
// as far as the file goes.
bool readLayout(QFile& file, Layout& layout, QString& error)
{
    const QByteArray head = file.read(HeaderBytes);
    if (head.size() < HeaderBytes || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") {
        error = QStringLiteral("not a RIFF WAVE file");
        return false;
    }
    layout.statedRiff = le32(head, 4);
    for (qint64 at = HeaderBytes; at + ChunkHeaderBytes <= file.size();) {
        if (!file.seek(at))
            break;
        const QByteArray chunk = file.read(ChunkHeaderBytes);
        if (chunk.size() < ChunkHeaderBytes)
            break;
        const quint32 length = le32(chunk, 4);
        if (chunk.startsWith("fmt ")) {
            const QByteArray fmt = file.read(16);
            if (fmt.size() < 16)
                break;
            layout.bytesPerSecond = le32(fmt, 8);
            layout.blockAlign = qFromLittleEndian<quint16>(fmt.constData() + 12);
        } else if (chunk.startsWith("data")) {
            layout.dataStart = at + ChunkHeaderBytes;
            layout.statedData = length;
            break;
        }
        at += ChunkHeaderBytes + length + (length & 1);
    }
    if (layout.dataStart < 0 || layout.blockAlign == 0) {
        error = layout.blockAlign == 0 ? QStringLiteral("no format chunk") : QStringLiteral("no data chunk");
        return false;
    }
    return true;
}

bool isChunkId(const QByteArray& id)
{
    for (const char c : id)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

// Whether [at, end) holds nothing but whole chunks (a LIST after the audio).
bool onlyChunks(QFile& file, qint64 at)
{
    const qint64 end = file.size();
    while (at + ChunkHeaderBytes <= end) {
        if (!file.seek(at))
            return false;
        const QByteArray chunk = file.read(ChunkHeaderBytes);
        const qint64 length = le32(chunk, 4);
        if (chunk.size() < ChunkHeaderBytes || !isChunkId(chunk.left(4)) || at + ChunkHeaderBytes + length > end)
            return false;
        at += ChunkHeaderBytes + length + (length & 1);
    }
    return end - at <= 1;
}

} // namespace

qint64 uncountedAudioBytes(const QString& path)
{
    RegularFile file(path);
    Layout layout;
    QString error;
    if (!file.open(QIODevice::ReadOnly) || !readLayout(file, layout, error))
        return 0;
    const qint64 statedEnd = layout.dataStart + layout.statedData;
    if (statedEnd >= file.size() || onlyChunks(file, statedEnd + (layout.statedData & 1)))
        return 0;
    return file.size() - statedEnd;
}

WavRepair repairWavLengths(const QString& path)
{
    WavRepair result;
    RegularFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        result.error = file.errorString();
        return result;
    }
    Layout layout;
    if (!readLayout(file, layout, result.error))
        return result;
    qint64 audio = std::min(file.size() - layout.dataStart, MaxRiffLength - layout.dataStart);
    audio -= audio % layout.blockAlign;
    result.usable = true;
    result.dataBytes = audio;
    result.bytesPerSecond = layout.bytesPerSecond;
    const quint32 riffLength = quint32(layout.dataStart + audio - 8);
    if (audio == qint64(layout.statedData) && layout.statedRiff == riffLength)
        return result;
    if (!writeLength(file, 4, riffLength) || !writeLength(file, layout.dataStart - 4, quint32(audio))
        || !file.flush()) {
        result.error = file.errorString();
        return result;
    }
    file.close();
    syncFile(path);
    result.changed = true;
    return result;
}

WavRepair cutWavAudio(const QString& path, qint64 keepBytes)
{
    WavRepair result = repairWavLengths(path);
    if (!result.usable || !result.error.isEmpty())
        return result;
    RegularFile file(path);
    Layout layout;
    if (!file.open(QIODevice::ReadWrite) || !readLayout(file, layout, result.error)) {
        result.usable = false;
        result.error = result.error.isEmpty() ? file.errorString() : result.error;
        return result;
    }
    const qint64 keep = std::max<qint64>(0, keepBytes) - std::max<qint64>(0, keepBytes) % layout.blockAlign;
    if (keep >= result.dataBytes)
        return result;
    if (!file.resize(layout.dataStart + keep) || !writeLength(file, 4, quint32(layout.dataStart + keep - 8))
        || !writeLength(file, layout.dataStart - 4, quint32(keep)) || !file.flush()) {
        result.error = file.errorString();
        return result;
    }
    file.close();
    syncFile(path);
    result.dataBytes = keep;
    result.changed = true;
    return result;
}
