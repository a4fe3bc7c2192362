#pragma once

#include "AudioStream.h"

#include <vector>

// Reads a RIFF WAVE file from a random-access stream, starting at the
// stream's current position.
//
// Every byte of the file is untrusted: the constructor raises
// EACMAudioReadError "Invalid file format." for anything that is not a usable
// WAV file, reads no more than 512 bytes of any chunk, and never takes a
// stated length on trust. A "data" length that runs past the end of the file
// (a recording cut short, a hostile file) is cut to the bytes present, so the
// track size is what can really be read.
class TdeRIFFAudioReader : public TdeAbstractAudioReader
{
public:
    explicit TdeRIFFAudioReader(QIODevice* source);
    ~TdeRIFFAudioReader() override;

    int trackCount() const override { return 1; }
    const TdeWaveFormat& trackFormat(int track = 0) const override { return m_format; }
    qint64 trackSize(int track = 0) const override { return m_dataSize; }
    qint64 readTrack(int track, void* buffer, qint64 count) override;
    TdeSubStream* openTrack(int track = 0) override;

    qint64 dataOffset() const { return m_dataOffset; }
    // The length the "data" chunk header states (before cutting to the file).
    quint32 statedDataSize() const { return m_statedDataSize; }

private:
    void parse();
    bool readChunkHeader(QByteArray& id, quint32& length);
    qint64 chunkEnd(qint64 position, quint32 length) const;
    [[noreturn]] static void fail();

    qint64 m_dataOffset = 0;
    qint64 m_dataSize = 0;
    quint32 m_statedDataSize = 0;
    std::vector<TdeSubStream*> m_subStreams;
};
