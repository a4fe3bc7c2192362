#include "CodecDriver.h"

#include "CodecResult.h"

#include <algorithm>
#include <cstring>

int CodecStream::prepare(quint8* input, qint64 inputLength, quint8* output, qint64 outputLength)
{
    if (isPrepared())
        return CodecResult::Busy;
    if (!input || !output || inputLength <= 0 || outputLength <= 0)
        return CodecResult::InvalidParameter;
    if (const int result = onPrepare(inputLength))
        return result;
    m_input = input;
    m_inputLength = inputLength;
    m_output = output;
    m_outputLength = outputLength;
    return CodecResult::Ok;
}

void CodecStream::unprepare()
{
    if (!isPrepared())
        return;
    onUnprepare();
    m_input = m_output = nullptr;
    m_inputLength = m_outputLength = 0;
}

int CodecStream::convert(qint64 inputBytes, qint64& used, qint64& produced)
{
    used = produced = 0;
    if (!isPrepared())
        return CodecResult::Unprepared;
    if (inputBytes < 0 || inputBytes > m_inputLength)
        return CodecResult::InvalidParameter;
    return process(m_input, inputBytes, m_output, m_outputLength, used, produced);
}

int CodecStream::drain(qint64 maxBytes, qint64& produced)
{
    produced = 0;
    if (!isPrepared())
        return CodecResult::Unprepared;
    return onDrain(m_output, std::min(maxBytes, m_outputLength), produced);
}

QString CodecDriver::formatText(const TdeWaveFormat& format) const
{
    return codecformat::describeFields(format.samplesPerSec(), format.bitsPerSample(), format.channels());
}

bool CompressedCodec::canConvert(const TdeWaveFormat& from, const TdeWaveFormat& to) const
{
    return (isValid(from) && codecformat::isPcm16Like(to, from)) ||
           (isValid(to) && codecformat::isPcm16Like(from, to));
}

std::optional<TdeWaveFormat> CompressedCodec::suggestPcm(const TdeWaveFormat& format) const
{
    return pcmFormat(format.samplesPerSec(), 16, format.channels());
}

namespace codecformat {

QString describeFields(quint32 samplesPerSec, quint16 bits, quint16 channels)
{
    const QString rate = QString::asprintf("%u.%03u kHz", samplesPerSec / 1000, samplesPerSec % 1000);
    const QString layout = channels == 1 ? QStringLiteral("Mono")
                           : channels == 2 ? QStringLiteral("Stereo")
                                           : QStringLiteral("%1 Channels").arg(channels);
    if (bits == 0)
        return rate + QStringLiteral(", ") + layout;
    return QStringLiteral("%1, %2 Bit, %3").arg(rate).arg(bits).arg(layout);
}

bool rateSupported(quint32 samplesPerSec)
{
    return samplesPerSec >= 4000 && samplesPerSec <= 192000;
}

namespace {

// The KSDATAFORMAT_SUBTYPE GUIDs of PCM and IEEE float, after their first
// two bytes (the format tag they stand for).
constexpr quint8 SubtypeTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                    0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The tag a format's samples are in: its own, or an extensible one's sub-format.
std::optional<quint16> sampleTag(const TdeWaveFormat& f)
{
    if (f.formatTag() != WaveTag::Extensible)
        return f.formatTag();
    if (f.extraSize() < 22)
        return std::nullopt;
    const quint8* guid = f.extraBytes() + 6;
    if (std::memcmp(guid + 2, SubtypeTail, sizeof SubtypeTail) != 0)
        return std::nullopt;
    return quint16(guid[0] | guid[1] << 8);
}

} // namespace

std::optional<SampleLayout> readableLayout(const TdeWaveFormat& f)
{
    using Kind = SampleLayout::Kind;
    const std::optional<quint16> tag = sampleTag(f);
    const int channels = f.channels();
    const int bits = f.bitsPerSample();
    if (!tag || channels < 1 || channels > 8 || !rateSupported(f.samplesPerSec()) || bits % 8 != 0
        || f.blockAlign() != channels * bits / 8)
        return std::nullopt;
    std::optional<Kind> kind;
    if (*tag == WaveTag::Pcm)
        kind = bits == 8 ? Kind::U8 : bits == 16 ? Kind::S16 : bits == 24 ? Kind::S24 : bits == 32 ? Kind::S32 : kind;
    else if (*tag == WaveTag::IeeeFloat)
        kind = bits == 32 ? Kind::F32 : bits == 64 ? Kind::F64 : kind;
    if (!kind)
        return std::nullopt;
    return SampleLayout{*kind, channels, f.blockAlign()};
}

bool isUsablePcm(const TdeWaveFormat& f)
{
    const quint16 bits = f.bitsPerSample();
    return f.formatTag() == WaveTag::Pcm && (bits == 8 || bits == 16) && (f.channels() == 1 || f.channels() == 2) &&
           rateSupported(f.samplesPerSec()) && f.blockAlign() == f.channels() * bits / 8;
}

bool isPcm16Like(const TdeWaveFormat& pcm, const TdeWaveFormat& format)
{
    return isUsablePcm(pcm) && pcm.bitsPerSample() == 16 && pcm.channels() == format.channels() &&
           pcm.samplesPerSec() == format.samplesPerSec();
}

const std::vector<quint32>& offeredRates()
{
    static const std::vector<quint32> rates{8000, 11025, 16000, 22050, 32000, 44100, 48000};
    return rates;
}

} // namespace codecformat
