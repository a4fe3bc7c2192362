#pragma once

#include <QDateTime>
#include <QString>

class Catalogue;
class TextSink;

// A Recorded.wav left by a crash or a power loss is a call nobody saved:
// its lengths are repaired to the audio actually there, it is catalogued as
// an unheard message (started when its audio began, as far as the file's
// time tells) and takes its final name, so a new recording never
// overwrites it. A file without audio is removed; one that is not a
// recording at all is moved aside under a name of its own.
// Returns false when the file could not be moved out of the way.
bool recoverLeftoverRecording(Catalogue& catalogue, TextSink& log);

// At start: the same, and for the Recorded-<call>.wav files calls took
// while Recorded.wav was stuck.
void recoverLeftoverRecordings(Catalogue& catalogue, TextSink& log);
