#pragma once

#include <QString>

// What a WAV file cut short (a crash, a power loss) holds once repaired.
struct WavRepair
{
    bool usable = false;    // a RIFF WAVE file with a format and a data chunk
    bool changed = false;   // its lengths were wrong and have been rewritten
    qint64 dataBytes = 0;   // the audio there, in whole blocks
    quint32 bytesPerSecond = 0;
    QString error;          // why it is not usable, or why it could not be written
};

// Brings the RIFF and "data" lengths of a recording in line with the audio
// actually in the file (the data chunk is the last one, as the writer leaves
// it), in place and synced. The audio itself is never touched.
WavRepair repairWavLengths(const QString& path);

// Keeps the first `keepBytes` of a recording's audio (rounded down to whole
// blocks) and drops the rest, in place and synced; a file with less audio is
// left as it is.
WavRepair cutWavAudio(const QString& path, qint64 keepBytes);

// The bytes after the audio the "data" chunk states that are not whole
// chunks either: audio the header does not count (a recording cut short
// before its lengths were written). 0 for a sound file or one not readable.
qint64 uncountedAudioBytes(const QString& path);
