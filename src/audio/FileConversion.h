#pragma once

#include "AudioStream.h"

#include <QString>
#include <functional>

class QIODevice;
class TdeAudioConvertor;

// Where a whole-file conversion shows its message to the user: a message box
// in the desktop program, stderr headless.
class AudioMessageSink
{
public:
    virtual ~AudioMessageSink() = default;
    virtual void showMessage(const QString& text) = 0;
};

class StderrMessageSink : public AudioMessageSink
{
public:
    void showMessage(const QString& text) override;
};

// Writes the file's audio, converted to the standard 8 kHz PCM format, into
// stream at its current position. The file is converted a quarter of a
// second at a time, so memory stays bounded by the output however long the
// recording. On failure shows "Error was created during pcm conversion"
// (on stderr without a sink) and returns false. A file that cannot be opened
// raises EACMAudioStreamError.
bool WavToPcm8k(const QString& fileName, QIODevice& stream, AudioMessageSink* messages = nullptr);

// Replaces the file by the stream's standard 8 kHz PCM content, converted back
// into the file's own format. The recording is never lost: the new file is
// written beside it and replaces it in one rename only when complete; on any
// failure the old file stays untouched and the result is false. A file whose
// format cannot be read raises (EACMAudioStreamError, EACMAudioReadError).
bool Pcm8kToWav(const QString& fileName, QIODevice& stream);
// Why Pcm8kToWav cannot write into this file's format; empty when it can.
// Raises as Pcm8kToWav does for a file it cannot read.
QString whyNotWritableFromPcm8k(const QString& fileName);

// Converts a whole WAV file into a WAV file of another format. The output is
// written beside its final name and takes it in one rename when complete, so
// a failure never leaves a half-written file (nor harms one already there).
// Returns the audio bytes written; raises the audio exceptions.
qint64 ConvertWavFile(const QString& inName, const QString& outName, const TdeWaveFormat& to);

// Writes a WAV file of `to` from what `feed` hands an open convertor from
// `from` (then flushed by feed); written beside its final name and renamed
// when complete. Returns the audio bytes written; raises the audio exceptions.
qint64 WriteConvertedWav(const QString& outName, const TdeWaveFormat& from, const TdeWaveFormat& to,
                         const std::function<void(TdeAudioConvertor&)>& feed);

// How many bytes of a format a whole-file conversion feeds at a time: a
// quarter of a second, whole blocks, at least one block.
qint64 conversionPieceSize(const TdeWaveFormat& format);

// Feeds a reader's whole track through an open convertor in pieces; the
// rest goes as the last piece when fewer than two pieces remain, so every
// piece fits the capacity the first one fixed. Ends with the convertor's
// flush, so the file is converted to its last sample.
void convertWholeTrack(TdeAbstractAudioReader& reader, TdeAudioConvertor& convertor);
