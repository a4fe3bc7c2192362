#pragma once

#include "CodecDriver.h"

#include <memory>
#include <vector>

// One codec stream of a convertor's chain with its input and output buffers.
//
// The first block that yields output fixes the input capacity at three times
// its size; after that a block that (with the input still buffered) does not
// fit raises "Audio is too large to fit into conversion buffer", and no
// conversion allocates anything. A step fed by another step also makes room
// for the most its feeder can deliver at once: a resampler delivers in
// bursts, so its first output says little about the next.
class TdeConversionStep
{
public:
    TdeConversionStep(const TdeWaveFormat& in, const TdeWaveFormat& out);
    ~TdeConversionStep();
    TdeConversionStep(const TdeConversionStep&) = delete;
    TdeConversionStep& operator=(const TdeConversionStep&) = delete;

    // Raises EACMConversionError (error-table text) when the stream does not open.
    void open(bool realTime);
    void close();
    // The number of bytes produced into output(); 0 when the input stays
    // buffered until more arrives.
    qint64 convert(const quint8* data, qint64 size, bool maskFloatingPointErrors);
    // At the end of the input: what the codec still holds, at most maxBytes
    // at a time into output(); 0 when nothing is left.
    qint64 drain(qint64 maxBytes);
    const quint8* output() const { return m_output.data(); }
    // Bytes the step still accepts; unlimited before its first output.
    qint64 room() const;

    // The step whose output this one converts (none for the first).
    void setFeeder(const TdeConversionStep* feeder) { m_feeder = feeder; }
    qint64 outputCapacity() const { return qint64(m_output.size()); }

    bool isActive() const { return m_active; }
    bool isPrepared() const { return m_prepared; }
    qint64 capacity() const { return m_capacity; }
    qint64 fill() const { return m_fill; }
    const TdeWaveFormat& formatIn() const { return m_in; }
    const TdeWaveFormat& formatOut() const { return m_out; }

private:
    void append(const quint8* data, qint64 size);
    bool prepare();
    qint64 runCodec(bool maskFloatingPointErrors);

    TdeWaveFormat m_in;
    TdeWaveFormat m_out;
    std::unique_ptr<CodecStream> m_stream;
    const TdeConversionStep* m_feeder = nullptr;
    std::vector<quint8> m_input;
    std::vector<quint8> m_output;
    qint64 m_capacity = 0;
    qint64 m_fill = 0;
    bool m_prepared = false;
    bool m_active = false;
};
