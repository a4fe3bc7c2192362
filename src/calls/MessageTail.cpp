#include "calls/MessageTail.h"

#include "audio/WavRepair.h"
#include "catalogue/Catalogue.h"

bool MessageTail::cut(RecordingSession& session, qint64 lastVoiceEndMs)
{
    if (lastVoiceEndMs <= 0 || session.recordedFile.isEmpty())
        return false;
    const WavRepair before = repairWavLengths(session.recordedFile);
    if (!before.usable || before.bytesPerSecond == 0)
        return false;
    const qint64 keepMs = lastVoiceEndMs + TailMs;
    const WavRepair after = cutWavAudio(session.recordedFile, keepMs * before.bytesPerSecond / 1000);
    if (!after.usable || !after.error.isEmpty())
        return false;
    session.seconds = after.dataBytes / after.bytesPerSecond;
    return after.changed;
}
