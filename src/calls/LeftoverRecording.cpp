#include "calls/LeftoverRecording.h"

#include "audio/WavRepair.h"
#include "catalogue/Catalogue.h"
#include "catalogue/Sqlite.h"
#include "catalogue/TableError.h"
#include "core/TextSink.h"
#include "platform/FileSync.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

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

// A save stopped between its row and its rename (a power loss) left a row
// whose file is missing and whose size is this file's: the save is finished,
// so the recording is not catalogued twice.
QString rowAwaitingFile(Catalogue& catalogue, qint64 size)
{
    sqlite::Statement select(catalogue.database().connection(),
                             QStringLiteral("SELECT fileName FROM %1 WHERE fileSize = ? ORDER BY rowid DESC LIMIT 3")
                                 .arg(catalogue.calls().qualifiedName()));
    select.bind(1, size);
    while (select.step()) {
        const QString name = select.column(0).toString();
        const QString path = catalogue.recordingPath(name);
        if (!path.isEmpty() && !QFileInfo::exists(path))
            return name;
    }
    return {};
}

bool recoverFile(Catalogue& catalogue, const QString& path, TextSink& log)
{
    const QString folder = catalogue.recordingsFolder();
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    if (info.size() == 0)
        return QFile::remove(path); // the writer writes nothing before the first audio
    const WavRepair repair = repairWavLengths(path);
    if (!repair.usable)
        return moveAside(path, folder, log);
    QString awaited;
    try {
        awaited = rowAwaitingFile(catalogue, info.size());
    } catch (const TableError&) {
    }
    if (!awaited.isEmpty()) {
        if (!QFile::rename(path, folder + awaited))
            return false;
        syncFolder(folder);
        log.appendLine(QStringLiteral("Finished saving a recording an earlier run left: %1").arg(awaited));
        return true;
    }
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

} // namespace

bool recoverLeftoverRecording(Catalogue& catalogue, TextSink& log)
{
    return recoverFile(catalogue, catalogue.recordingsFolder() + Catalogue::RecordedFileName, log);
}

void recoverLeftoverRecordings(Catalogue& catalogue, TextSink& log)
{
    // A call recorded beside a Recorded.wav that could not be moved has a
    // name of its own; call numbers start again with every run, so a later
    // run would write over it.
    const QString folder = catalogue.recordingsFolder();
    static const QRegularExpression own(QStringLiteral("^Recorded-[0-9]{1,20}\\.wav$"));
    for (const QString& name : QDir(folder).entryList({QStringLiteral("Recorded-*.wav")}, QDir::Files))
        if (own.match(name).hasMatch())
            recoverFile(catalogue, folder + name, log);
    recoverLeftoverRecording(catalogue, log);
}
