#include "RecordingImport.h"

#include "Catalogue.h"
#include "platform/FileSync.h"
#include "RecordingNames.h"
#include "TableError.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <QThread>

namespace {

constexpr int NameAttempts = 5;

// A complete copy in the recordings folder, under a name no recording has.
QString copyIntoFolder(const QString& sourcePath, const QString& folder)
{
    RegularFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly))
        throw TableError(QStringLiteral("Cannot open %1: %2").arg(sourcePath, source.errorString()));
    QTemporaryFile copy(folder + QStringLiteral(".import-XXXXXX.tmp"));
    copy.setAutoRemove(false);
    if (!copy.open())
        throw TableError(QStringLiteral("Cannot create a file in %1: %2").arg(folder, copy.errorString()));
    bool ok = true;
    while (ok && !source.atEnd()) {
        const QByteArray chunk = source.read(1 << 16);
        ok = !chunk.isEmpty() && copy.write(chunk) == chunk.size();
    }
    ok = ok && copy.flush();
    const QString error = copy.errorString().isEmpty() ? source.errorString() : copy.errorString();
    copy.close();
    if (!ok || !syncFile(copy.fileName())) {
        QFile::remove(copy.fileName());
        throw TableError(QStringLiteral("Cannot copy %1 into %2: %3").arg(sourcePath, folder, error));
    }
    return copy.fileName();
}

void sleepToNextSecond()
{
    QThread::msleep(ulong(1000 - QDateTime::currentDateTime().time().msec()));
}

} // namespace

QString importRecording(Catalogue& catalogue, const QString& sourcePath, const ImportedCall& call)
{
    const QString folder = catalogue.recordingsFolder();
    if (!QDir().mkpath(folder))
        throw TableError(QStringLiteral("Cannot create the recordings folder %1").arg(folder));
    const QString copy = copyIntoFolder(sourcePath, folder);
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const QDateTime savedAt = QDateTime::currentDateTime();
        const QDateTime start = savedAt.addMSecs(-call.lengthMs);
        const QString name = RecordingFileName(1, savedAt.date(), start.time()) + QStringLiteral(".wav");
        // QFile::rename never replaces a file that is there.
        QFile file(copy);
        if (!file.rename(folder + name)) {
            if (QFile::exists(folder + name)) {
                sleepToNextSecond();
                continue;
            }
            QFile::remove(copy);
            throw TableError(QStringLiteral("Cannot name %1 %2: %3").arg(copy, name, file.errorString()));
        }
        syncFolder(folder);
        RecordingSession session;
        session.startTime = start;
        session.seconds = call.lengthMs / 1000;
        session.callerNumber = call.callerNumber;
        session.callerName = call.callerName;
        session.answeredByMachine = call.answeredByMachine;
        session.recordedFile = folder + name;
        session.savedAt = savedAt;
        try {
            return catalogue.AddRecordingRow(session);
        } catch (const TableError&) {
            QFile::remove(folder + name); // our copy; the source is untouched
            throw;
        }
    }
    QFile::remove(copy);
    throw TableError(QStringLiteral("Cannot file %1: the recordings folder %2 holds recordings of the same second")
                         .arg(sourcePath, folder));
}
