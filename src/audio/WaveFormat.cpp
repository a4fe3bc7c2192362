#include "WaveFormat.h"

#include "AudioErrors.h"

#include <QIODevice>
#include <QtEndian>
#include <cstring>

TdeWaveFormat::TdeWaveFormat()
{
    setDefault();
}

void TdeWaveFormat::setDefault()
{
    setFormatTag(WaveTag::Pcm);
    setChannels(2);
    setSamplesPerSec(11025);
    setAvgBytesPerSec(22050);
    setBlockAlign(2);
    setBitsPerSample(8);
    setU16(16, 0);
}

quint16 TdeWaveFormat::extraSize() const
{
    return qMin<quint16>(u16(16), MaxExtraSize);
}

void TdeWaveFormat::setExtraSize(quint16 value)
{
    if (value > MaxExtraSize)
        throw EACMError(QStringLiteral("The wave format buffer is too small."));
    setU16(16, value);
}

QByteArray TdeWaveFormat::formatBuffer() const
{
    return QByteArray(reinterpret_cast<const char*>(m_buffer.data()), BufferSize);
}

bool TdeWaveFormat::setFormatBuffer(const QByteArray& bytes)
{
    if (bytes.size() != BufferSize)
        return false;
    std::memcpy(m_buffer.data(), bytes.constData(), BufferSize);
    return true;
}

bool TdeWaveFormat::saveFormatBuffer(QIODevice& stream) const
{
    return stream.write(reinterpret_cast<const char*>(m_buffer.data()), BufferSize) == BufferSize;
}

bool TdeWaveFormat::loadFormatBuffer(QIODevice& stream)
{
    return setFormatBuffer(stream.read(BufferSize));
}

quint16 TdeWaveFormat::u16(int offset) const
{
    return qFromLittleEndian<quint16>(m_buffer.data() + offset);
}

quint32 TdeWaveFormat::u32(int offset) const
{
    return qFromLittleEndian<quint32>(m_buffer.data() + offset);
}

void TdeWaveFormat::setU16(int offset, quint16 value)
{
    qToLittleEndian(value, m_buffer.data() + offset);
}

void TdeWaveFormat::setU32(int offset, quint32 value)
{
    qToLittleEndian(value, m_buffer.data() + offset);
}

TdeWaveFormat pcmFormat(quint32 samplesPerSec, quint16 bitsPerSample, quint16 channels)
{
    TdeWaveFormat format;
    format.setFormatTag(WaveTag::Pcm);
    format.setChannels(channels);
    format.setSamplesPerSec(samplesPerSec);
    format.setBitsPerSample(bitsPerSample);
    format.setBlockAlign(quint16(channels * bitsPerSample / 8));
    format.setAvgBytesPerSec(samplesPerSec * format.blockAlign());
    return format;
}

TdeWaveFormat standardPcm8k()
{
    return pcmFormat(8000, 8, 1);
}
