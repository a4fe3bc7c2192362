#include "RiffReader.h"

#include "AudioErrors.h"
#include "SubStream.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {

constexpr quint32 FullHeader = 16; // up to the bits per sample
constexpr quint16 MaxChannels = 8;
constexpr quint32 MinRate = 4000;
constexpr quint32 MaxRate = 192000;

// Tags whose bytes per second follow from the rate and the block.
bool plainSamples(quint16 tag)
{
    return tag == 0x0001 || tag == 0x0003 || tag == 0x0006 || tag == 0x0007 || tag == 0xFFFE;
}

// A format nothing can play (no channels, 1 sample/s, 65535 channels) or a
// chunk too short to hold one is refused, never completed from defaults.
TdeWaveFormat formatOf(const QByteArray& bytes)
{
    TdeWaveFormat format;
    std::memset(format.buffer(), 0, TdeWaveFormat::BufferSize);
    std::memcpy(format.buffer(), bytes.constData(), size_t(bytes.size()));
    if (bytes.size() < qsizetype(FullHeader) || format.channels() < 1 || format.channels() > MaxChannels
        || format.samplesPerSec() < MinRate || format.samplesPerSec() > MaxRate || format.blockAlign() == 0)
        throw EACMAudioReadError(QStringLiteral("Invalid file format."));
    // A player times its audio by this: 0 made a second of audio last eight.
    const quint64 perSecond = quint64(format.samplesPerSec()) * format.blockAlign();
    if (plainSamples(format.formatTag()) && format.avgBytesPerSec() != perSecond && perSecond <= 0xFFFFFFFFu)
        format.setAvgBytesPerSec(quint32(perSecond));
    if (format.avgBytesPerSec() == 0)
        throw EACMAudioReadError(QStringLiteral("Invalid file format."));
    return format;
}

} // namespace

TdeRIFFAudioReader::TdeRIFFAudioReader(QIODevice* source) : TdeAbstractAudioReader(source)
{
    parse();
}

TdeRIFFAudioReader::~TdeRIFFAudioReader()
{
    const auto subStreams = std::move(m_subStreams);
    for (TdeSubStream* subStream : subStreams) {
        subStream->setOwnerNotify({});
        delete subStream;
    }
}

void TdeRIFFAudioReader::fail()
{
    throw EACMAudioReadError(QStringLiteral("Invalid file format."));
}

void TdeRIFFAudioReader::parse()
{
    QIODevice* source = m_stream;
    if (!source || !source->isReadable() || source->isSequential())
        fail();
    const QByteArray riff = source->read(8);
    if (riff.size() != 8 || !riff.startsWith("RIFF") || qFromLittleEndian<quint32>(riff.constData() + 4) == 0)
        fail();
    if (source->read(4) != "WAVE")
        fail();

    const qint64 end = source->size();
    bool haveFormat = false;
    bool haveData = false;
    QByteArray id;
    quint32 length = 0;
    while (source->pos() < end && !(haveFormat && haveData) && readChunkHeader(id, length)) {
        const qint64 body = source->pos();
        if (id == "FMT ") {
            if (length > quint32(TdeWaveFormat::BufferSize))
                fail();
            const QByteArray bytes = source->read(length);
            if (bytes.size() != qsizetype(length))
                fail();
            m_format = formatOf(bytes);
            haveFormat = true;
        } else if (id == "DATA") {
            m_dataOffset = body;
            m_statedDataSize = length;
            m_dataSize = std::min<qint64>(length, end - body);
            haveData = true;
        }
        const qint64 next = chunkEnd(body, length);
        if (next >= end || !source->seek(next))
            break;
    }
    if (!haveFormat || !haveData)
        fail();
}

bool TdeRIFFAudioReader::readChunkHeader(QByteArray& id, quint32& length)
{
    const QByteArray header = m_stream->read(8);
    if (header.size() != 8)
        return false;
    id = header.left(4).toUpper();
    length = qFromLittleEndian<quint32>(header.constData() + 4);
    return true;
}

// Chunks follow each other without pad bytes, as this system writes them;
// but a writer that pads an odd-length chunk leaves a zero byte where no
// chunk identifier can start, and that byte is skipped.
qint64 TdeRIFFAudioReader::chunkEnd(qint64 position, quint32 length) const
{
    const qint64 next = position + qint64(length);
    if (length % 2 == 0 || next >= m_stream->size() || !m_stream->seek(next))
        return next;
    char pad = 1;
    return m_stream->getChar(&pad) && pad == 0 ? next + 1 : next;
}

qint64 TdeRIFFAudioReader::readTrack(int, void* buffer, qint64 count)
{
    if (!m_stream->seek(m_dataOffset))
        return 0;
    const qint64 got = m_stream->read(static_cast<char*>(buffer), std::clamp<qint64>(count, 0, m_dataSize));
    return std::max<qint64>(got, 0);
}

TdeSubStream* TdeRIFFAudioReader::openTrack(int)
{
    auto* subStream = new TdeSubStream(m_stream, m_dataOffset, m_dataSize);
    subStream->setOwnerNotify([this](TdeSubStream* gone) { std::erase(m_subStreams, gone); });
    m_subStreams.push_back(subStream);
    return subStream;
}
