#include "calls/LeftoverRecording.h"

#include "audio/WavRepair.h"
#include "catalogue/Catalogue.h"
#include "catalogue/TableError.h"
#include "core/TextSink.h"
#include "platform/FileSync.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool moveAside(const QString& path, const QString& folder, TextSink& log)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString target = folder + QStringLiteral("Recorded-damaged-%1.wav").arg(stamp);
    for (int n = 2; QFile::exists(target); ++n)
        target = folder + QStringLiteral("Recorded-damaged-%1_%2.wav").arg(stamp).arg(n);
    if (!QFile::rename(path, target))
        return false;
    log.appendLine(QStringLiteral("<ERROR> %1 is not a recording; it was kept as %2").arg(path, target));
    return true;
}

} // namespace

bool recoverLeftoverRecording(Catalogue& catalogue, TextSink& log)
{
    const QString folder = catalogue.recordingsFolder();
    const QString path = folder + Catalogue::RecordedFileName;
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    if (info.size() == 0)
        return QFile::remove(path); // the writer writes nothing before the first audio
    const WavRepair repair = repairWavLengths(path);
    if (!repair.usable)
        return moveAside(path, folder, log);
    const qint64 seconds = repair.bytesPerSecond ? repair.dataBytes / repair.bytesPerSecond : 0;
    RecordingSession session;
    session.savedAt = info.lastModified();
    session.startTime = session.savedAt.addSecs(-seconds);
    session.seconds = seconds;
    session.answeredByMachine = true; // nobody has heard it
    session.recordedFile = path;
    session.fileName = catalogue.freeRecordingName(session.savedAt, session.startTime);
    try {
        catalogue.AddRecordingRow(session);
    } catch (const TableError& e) {
        log.appendLine(QStringLiteral("<ERROR> A recording left by an earlier run could not be catalogued: %1")
                           .arg(e.message()));
    }
    if (!QFile::rename(path, folder + session.fileName))
        return false;
    syncFolder(folder);
    log.appendLine(QStringLiteral("Recovered a recording left by an earlier run: %1 (%2 s)")
                       .arg(session.fileName)
                       .arg(seconds));
    return true;
}
