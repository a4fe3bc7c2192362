#pragma once

#include "AudioStream.h"

// Writes a RIFF WAVE file at the target stream's current position: "RIFF",
// "WAVE", "fmt " (16 bytes for PCM, 18 + extra size otherwise), "data" last,
// no "fact" chunk, no pad byte.
//
// A recording must survive a crash or a power loss, so the header's RIFF and
// "data" lengths never lag far behind the audio: they are right from the
// first block on, brought up to date after every second of audio, and at the
// end; on a file each update is flushed and synced to the disk. A file cut
// short therefore reads back with all its audio up to the last update.
//
// Nothing is written until the first audio byte arrives: a recording that
// got no audio leaves an empty file. A failed or short write raises
// EACMAudioStreamError, so a full disk is never taken for success.
class TdeRIFFAudioWriter : public TdeAbstractAudioWriter
{
public:
    explicit TdeRIFFAudioWriter(QIODevice* target);
    // Completes the file (see finish()); errors are swallowed here.
    ~TdeRIFFAudioWriter() override;

    void writeData(const void* data, qint64 size) override;
    // Brings the header up to date and syncs it; the writer stays usable.
    void finish();

    qint64 bytesWritten() const { return m_bytesWritten; }
    // Off, updates still happen but are not synced to the disk: for a file
    // that is itself a temporary one, synced once by its owner before use.
    void setSyncOnRefresh(bool on) { m_syncOnRefresh = on; }

private:
    QByteArray header(quint32 firstBlockSize) const;
    void refresh();
    void writeRaw(const char* data, qint64 size);
    void writeLength(qint64 at, qint64 value);
    void sync();
    qint64 refreshInterval() const;
    [[noreturn]] void failWrite() const;

    qint64 m_riffStart;
    qint64 m_dataChunkStart = 0;
    qint64 m_bytesWritten = 0;
    qint64 m_sinceRefresh = 0;
    bool m_syncOnRefresh = true;
    bool m_dirty = false;
};
