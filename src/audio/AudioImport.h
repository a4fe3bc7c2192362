#pragma once

#include "WaveFormat.h"

#include <QString>
#include <QStringList>

// Audio files from other tools, for greetings: any WAV file the codec layer
// reads, else whatever libsndfile decodes (FLAC, Ogg Vorbis, Opus, MP3 and
// more), converted once into a WAV file.

// PCM, 8000 samples/s, 16 bits, mono: what greetings are kept in.
TdeWaveFormat greetingFormat();

// Converts the file into a WAV file of format `to`, written beside its name
// and renamed when complete. Returns the audio bytes written. Raises
// EACMAudioReadError naming the file, the format found and why it cannot be
// used, and EACMAudioStreamError when the result cannot be written.
qint64 ImportAudioFile(const QString& inName, const QString& outName, const TdeWaveFormat& to);

// Why bytes received (an upload) are not audio the import reads: empty when
// they are a WAV file the codec layer reads, or a file libsndfile decodes
// with at least one frame. Checked in memory, before anything is written.
QString whyNotAudio(const QByteArray& bytes);

// The kinds of file libsndfile decodes here, for messages and help.
QStringList importableFormats();
