#pragma once

#include "WaveFormat.h"

class QIODevice;
class TdeSubStream;

// An audio file on a stream the caller owns and frees after this object.
class TdeAbstractAudioStream
{
public:
    explicit TdeAbstractAudioStream(QIODevice* stream) : m_stream(stream) {}
    virtual ~TdeAbstractAudioStream() = default;
    TdeAbstractAudioStream(const TdeAbstractAudioStream&) = delete;
    TdeAbstractAudioStream& operator=(const TdeAbstractAudioStream&) = delete;

    QIODevice* stream() const { return m_stream; }

protected:
    QIODevice* m_stream;
    TdeWaveFormat m_format;
};

class TdeAbstractAudioReader : public TdeAbstractAudioStream
{
public:
    using TdeAbstractAudioStream::TdeAbstractAudioStream;

    virtual int trackCount() const = 0;
    virtual const TdeWaveFormat& trackFormat(int track) const = 0;
    virtual qint64 trackSize(int track) const = 0;
    // Always from the first audio byte of the track.
    virtual qint64 readTrack(int track, void* buffer, qint64 count) = 0;
    // A window on the track's audio, owned by the reader.
    virtual TdeSubStream* openTrack(int track) = 0;
};

class TdeAbstractAudioWriter : public TdeAbstractAudioStream
{
public:
    using TdeAbstractAudioStream::TdeAbstractAudioStream;

    const TdeWaveFormat& format() const { return m_format; }
    // Takes effect for a file not yet begun.
    void setFormat(const TdeWaveFormat& format) { m_format = format; }
    virtual void writeData(const void* data, qint64 size) = 0;
};
