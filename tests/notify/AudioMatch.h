#pragma once

#include <QString>

// How closely two recordings carry the same sound, read by sox (opusdec
// first for Ogg Opus): the best correlation of their 20 ms loudness
// envelopes over shifts of up to a second, and their lengths in seconds.
struct AudioMatch
{
    double correlation = 0;
    double seconds[2] = {0, 0};
    QString error;
};

AudioMatch matchAudio(const QString& reference, const QString& candidate, const QString& scratchDir);
