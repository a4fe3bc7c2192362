#pragma once

#include "WaveFormat.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

// One open conversion from a format to another.
//
// The caller registers an input and an output buffer once (prepare), then
// converts the first n bytes of the input buffer again and again. Only whole
// blocks of a block-structured format are converted; what is left stays for
// the next call. Everything a stream needs per call is allocated in prepare,
// so converting allocates nothing.
class CodecStream
{
public:
    virtual ~CodecStream() = default;

    // The most output n input bytes may produce; 0 when n is too little to
    // produce anything.
    virtual qint64 outputSize(qint64 inputBytes) const = 0;
    // Forgets all state carried between calls (filter history, predictors).
    virtual void reset() = 0;

    int prepare(quint8* input, qint64 inputLength, quint8* output, qint64 outputLength);
    void unprepare();
    bool isPrepared() const { return m_input != nullptr; }
    int convert(qint64 inputBytes, qint64& used, qint64& produced);
    // At the end of the input: produces into the output buffer, at most
    // maxBytes at a time, what the stream still holds (a resampler's tail).
    // produced is 0 once nothing is left.
    int drain(qint64 maxBytes, qint64& produced);

protected:
    // Sizes the stream's work memory for inputs of up to inputLength bytes.
    virtual int onPrepare(qint64 inputLength) { return 0; }
    virtual void onUnprepare() {}
    virtual int onDrain(quint8* output, qint64 outputCapacity, qint64& produced)
    {
        produced = 0;
        return 0;
    }
    virtual int process(const quint8* input, qint64 inputBytes, quint8* output, qint64 outputCapacity,
                        qint64& used, qint64& produced) = 0;

private:
    quint8* m_input = nullptr;
    qint64 m_inputLength = 0;
    quint8* m_output = nullptr;
    qint64 m_outputLength = 0;
};

// A driver of one format tag: converts between its format and PCM (the PCM
// driver: between PCM formats). Drivers register with the codec registry.
class CodecDriver
{
public:
    virtual ~CodecDriver() = default;

    virtual quint16 tag() const = 0;
    virtual QString tagName() const = 0;
    // A format of this tag the driver can encode or decode.
    virtual bool isValid(const TdeWaveFormat& format) const = 0;
    virtual QString formatText(const TdeWaveFormat& format) const;
    virtual bool canConvert(const TdeWaveFormat& from, const TdeWaveFormat& to) const = 0;
    // Only called when canConvert(from, to).
    virtual std::unique_ptr<CodecStream> open(const TdeWaveFormat& from, const TdeWaveFormat& to) const = 0;
    // The PCM format this driver converts a valid format to and from.
    virtual std::optional<TdeWaveFormat> suggestPcm(const TdeWaveFormat& format) const = 0;
    // The formats a user may choose from.
    virtual std::vector<TdeWaveFormat> formats() const = 0;
};

// A driver of a compressed format: converts only between its format and
// 16-bit PCM of the same rate and channels.
class CompressedCodec : public CodecDriver
{
public:
    bool canConvert(const TdeWaveFormat& from, const TdeWaveFormat& to) const override;
    std::optional<TdeWaveFormat> suggestPcm(const TdeWaveFormat& format) const override;
};

// Helpers shared by the drivers.
namespace codecformat {
// "8.000 kHz, 16 Bit, Stereo"; bits are left out when 0.
QString describeFields(quint32 samplesPerSec, quint16 bits, quint16 channels);
// PCM with consistent fields, rate 4000-192000 Hz, 1-2 channels, 8 or 16 bits.
bool isUsablePcm(const TdeWaveFormat& format);

// How the samples of a linear format that tools write lie in the data:
// integer PCM of 8 (unsigned), 16, 24 or 32 bits, or 32- or 64-bit float;
// plain, IEEE float or WAVE_FORMAT_EXTENSIBLE; 1 to 8 channels.
struct SampleLayout
{
    enum class Kind : quint8 { U8, S16, S24, S32, F32, F64 };
    Kind kind;
    int channels;
    int frameBytes;
};
// None for anything else, or fields that do not agree.
std::optional<SampleLayout> readableLayout(const TdeWaveFormat& format);
// 16-bit PCM of the same rate and channels as format.
bool isPcm16Like(const TdeWaveFormat& pcm, const TdeWaveFormat& format);
// 4000 Hz (the slowest voice modems) to 192000 Hz (studio recorders).
bool rateSupported(quint32 samplesPerSec);
// The sample rates offered for choosing.
const std::vector<quint32>& offeredRates();
} // namespace codecformat
