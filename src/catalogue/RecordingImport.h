#pragma once

#include <QString>

class Catalogue;

struct ImportedCall
{
    qint64 lengthMs = 0; // the audio's length
    QString callerNumber;
    QString callerName;
    bool answeredByMachine = false;
};

// Files a WAV file as if a call had just been recorded: the recording ended
// now and started lengthMs earlier. The file is copied into the recordings
// folder under its final name (never over another recording; when the name
// is taken the call is taken to end a second later) and its row is added by
// AddRecordingRow. The source file is not changed. Returns the fileName;
// raises TableError, leaving nothing behind, on failure.
QString importRecording(Catalogue& catalogue, const QString& sourcePath, const ImportedCall& call);
