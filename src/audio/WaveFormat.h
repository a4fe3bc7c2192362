#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>

class QIODevice;

// Format tags the codec layer knows.
namespace WaveTag {
constexpr quint16 Pcm = 0x0001;
constexpr quint16 IeeeFloat = 0x0003;
constexpr quint16 ALaw = 0x0006;
constexpr quint16 MuLaw = 0x0007;
constexpr quint16 ImaAdpcm = 0x0011;
constexpr quint16 Gsm610 = 0x0031;
constexpr quint16 Extensible = 0xFFFE; // the sub-format GUID in the extra bytes says what it holds
} // namespace WaveTag

// The wave-format record: one 512-byte buffer whose first 18 bytes are the
// little-endian WAVEFORMATEX layout of a "fmt " chunk, followed by the
// codec's extra bytes. Records are values: copies never share. Two records
// are equal only when all 512 bytes are, stale extra bytes included (the
// conversion chains depend on this byte comparison).
class TdeWaveFormat
{
public:
    static constexpr int BufferSize = 512;
    static constexpr int HeaderSize = 18;
    static constexpr int MaxExtraSize = BufferSize - HeaderSize;

    TdeWaveFormat(); // all zero, then setDefault()

    // PCM, 2 channels, 11025 samples/s, 22050 bytes/s, block 2, 8 bits, no
    // extra size. The extra bytes keep what they held.
    void setDefault();
    void assign(const TdeWaveFormat& other) { *this = other; }
    bool equals(const TdeWaveFormat& other) const { return m_buffer == other.m_buffer; }
    bool operator==(const TdeWaveFormat& other) const { return equals(other); }

    quint16 formatTag() const { return u16(0); }
    void setFormatTag(quint16 value) { setU16(0, value); }
    quint16 channels() const { return u16(2); }
    void setChannels(quint16 value) { setU16(2, value); }
    quint32 samplesPerSec() const { return u32(4); }
    void setSamplesPerSec(quint32 value) { setU32(4, value); }
    quint32 avgBytesPerSec() const { return u32(8); }
    void setAvgBytesPerSec(quint32 value) { setU32(8, value); }
    quint16 blockAlign() const { return u16(12); }
    void setBlockAlign(quint16 value) { setU16(12, value); }
    quint16 bitsPerSample() const { return u16(14); }
    void setBitsPerSample(quint16 value) { setU16(14, value); }
    // The stored value, but never more than MaxExtraSize.
    quint16 extraSize() const;
    // Raises EACMError "The wave format buffer is too small." above
    // MaxExtraSize, leaving the record unchanged.
    void setExtraSize(quint16 value);

    quint8* extraBytes() { return m_buffer.data() + HeaderSize; }
    const quint8* extraBytes() const { return m_buffer.data() + HeaderSize; }
    quint8* buffer() { return m_buffer.data(); }
    const quint8* buffer() const { return m_buffer.data(); }

    // The stored form: exactly the 512 bytes (settings key "Bin", properties).
    QByteArray formatBuffer() const;
    // False, and the record unchanged, unless bytes holds exactly 512 bytes.
    bool setFormatBuffer(const QByteArray& bytes);
    bool saveFormatBuffer(QIODevice& stream) const;
    // Reads 512 bytes; false, and the record unchanged, when fewer arrive.
    bool loadFormatBuffer(QIODevice& stream);

    // Tag name and format text from the codec layer: "name: text", the text
    // alone without a tag name, empty without a text.
    QString describe() const;
    // Sets this record to the PCM format the codec layer suggests for source.
    // Raises EACMConversionError (error-table text) when there is none and
    // "Conversion not possible." when no stream from source to it opens.
    void suggestPCM(const TdeWaveFormat& source);

private:
    quint16 u16(int offset) const;
    quint32 u32(int offset) const;
    void setU16(int offset, quint16 value);
    void setU32(int offset, quint32 value);

    std::array<quint8, BufferSize> m_buffer{};
};

// Plain PCM with consistent derived fields (block alignment, bytes/s).
TdeWaveFormat pcmFormat(quint32 samplesPerSec, quint16 bitsPerSample, quint16 channels);

// 8 kHz, 8-bit unsigned, mono PCM: display, line detection, speech,
// post-processing.
TdeWaveFormat standardPcm8k();
