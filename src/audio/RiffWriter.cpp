#include "RiffWriter.h"

#include "AudioErrors.h"

#include <QFileDevice>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

namespace {

constexpr qint64 MaxRiffLength = std::numeric_limits<quint32>::max();

void appendU32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

TdeRIFFAudioWriter::TdeRIFFAudioWriter(QIODevice* target)
    : TdeAbstractAudioWriter(target), m_riffStart(target->pos())
{
}

TdeRIFFAudioWriter::~TdeRIFFAudioWriter()
{
    try {
        finish();
    } catch (...) {
        // A destructor cannot report; callers that must know call finish().
    }
}

QByteArray TdeRIFFAudioWriter::header(quint32 firstBlockSize) const
{
    const quint32 fmtLength = m_format.formatTag() == WaveTag::Pcm ? 16 : 18 + m_format.extraSize();
    const quint32 headerLength = 4 + 8 + fmtLength + 8;
    QByteArray out;
    out.append("RIFF");
    appendU32(out, headerLength + firstBlockSize);
    out.append("WAVEfmt ");
    appendU32(out, fmtLength);
    out.append(reinterpret_cast<const char*>(m_format.buffer()), fmtLength);
    out.append("data");
    appendU32(out, firstBlockSize);
    return out;
}

void TdeRIFFAudioWriter::writeData(const void* data, qint64 size)
{
    if (size <= 0)
        return;
    const auto* bytes = static_cast<const char*>(data);
    if (m_bytesWritten == 0) {
        const QByteArray head = header(quint32(std::min(size, MaxRiffLength)));
        if (head.size() + size > MaxRiffLength)
            failWrite();
        m_dataChunkStart = m_riffStart + head.size() - 8;
        writeRaw(head.constData(), head.size());
        writeRaw(bytes, size);
        m_bytesWritten = size;
        sync();
        return;
    }
    if (m_stream->pos() + size - m_riffStart - 8 > MaxRiffLength)
        failWrite();
    writeRaw(bytes, size);
    m_bytesWritten += size;
    m_sinceRefresh += size;
    m_dirty = true;
    if (m_sinceRefresh >= refreshInterval())
        refresh();
}

void TdeRIFFAudioWriter::finish()
{
    if (m_bytesWritten == 0)
        return;
    if (m_dirty)
        refresh();
    else
        sync();
}

// Half a second of audio in the file's own format: a power loss then costs
// less than a second of what the modem sent, pieces in flight included.
qint64 TdeRIFFAudioWriter::refreshInterval() const
{
    const quint32 perSecond = m_format.avgBytesPerSec();
    return (perSecond > 0 ? perSecond : 8000) / 2;
}

void TdeRIFFAudioWriter::refresh()
{
    const qint64 end = m_stream->pos();
    writeLength(m_riffStart + 4, end - (m_riffStart + 8));
    writeLength(m_dataChunkStart + 4, end - (m_dataChunkStart + 8));
    if (!m_stream->seek(end))
        failWrite();
    m_sinceRefresh = 0;
    m_dirty = false;
    sync();
}

void TdeRIFFAudioWriter::writeLength(qint64 at, qint64 value)
{
    char bytes[4];
    qToLittleEndian(quint32(value), bytes);
    if (!m_stream->seek(at))
        failWrite();
    writeRaw(bytes, 4);
}

void TdeRIFFAudioWriter::writeRaw(const char* data, qint64 size)
{
    if (m_stream->write(data, size) != size)
        failWrite();
}

void TdeRIFFAudioWriter::sync()
{
    auto* file = qobject_cast<QFileDevice*>(m_stream);
    if (!file)
        return;
    if (!file->flush())
        failWrite();
    if (!m_syncOnRefresh || file->handle() < 0 || ::fdatasync(file->handle()) == 0)
        return;
    // Devices that cannot sync (EINVAL) are fine; lost data is not.
    if (errno == EIO || errno == ENOSPC || errno == EDQUOT)
        throw EACMAudioStreamError(
            QStringLiteral("Cannot write the audio file: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
}

void TdeRIFFAudioWriter::failWrite() const
{
    const QString reason = m_stream->errorString();
    throw EACMAudioStreamError(QStringLiteral("Cannot write the audio file: %1").arg(reason));
}
