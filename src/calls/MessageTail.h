#pragma once

#include <QtGlobal>

struct RecordingSession;

// A message ends at the caller's last word: what follows it (the line after
// the caller hung up, the exchange's tone that ended the recording) is cut
// from the recorded file, keeping at most TailMs. The row then gives the
// duration of what was kept.
struct MessageTail
{
    static constexpr qint64 TailMs = 400; // with the 100 ms a voice's stretch may end after the word

    // `lastVoiceEndMs` counts from the start of the recording; false when
    // the file could not be cut (it is then saved whole).
    static bool cut(RecordingSession& session, qint64 lastVoiceEndMs);
};
