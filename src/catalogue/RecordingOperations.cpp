#include "catalogue/RecordingOperations.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Sqlite.h"
#include "catalogue/TableError.h"
#include "platform/RegularFile.h"
#include "catalogue/RecordingNames.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <sqlite3.h>

namespace {

constexpr qint64 CopyPiece = 1 << 16;

QString marks(qsizetype count)
{
    QStringList list;
    for (qsizetype i = 0; i < count; ++i)
        list << QStringLiteral("?");
    return list.join(QLatin1Char(','));
}

bool trashOrRemove(const QString& path, QString* why)
{
    QFile file(path);
    if (file.moveToTrash() || file.remove())
        return true;
    *why = file.errorString();
    return false;
}

bool copyFile(const QString& from, const QString& to, QString* why)
{
    RegularFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *why = source.errorString();
        return false;
    }
    QSaveFile target(to); // a temporary file, renamed over the target at the end
    if (!target.open(QIODevice::WriteOnly)) {
        *why = target.errorString();
        return false;
    }
    QByteArray piece;
    while (!(piece = source.read(CopyPiece)).isEmpty())
        if (target.write(piece) != piece.size()) {
            *why = target.errorString();
            target.cancelWriting();
            return false;
        }
    if (source.error() != QFileDevice::NoError) {
        *why = source.errorString();
        target.cancelWriting();
        return false;
    }
    if (!target.commit()) {
        *why = target.errorString();
        return false;
    }
    return true;
}

} // namespace

RecordingOperations::RecordingOperations(Catalogue& catalogue) : removeFile(trashOrRemove), m_catalogue(catalogue) {}

std::vector<RecordingRow> RecordingOperations::select(const QString& where, const QStringList& values)
{
    sqlite::Statement s(m_catalogue.database().connection(),
                        QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                            .arg(RecordingRow::Columns, m_catalogue.calls().qualifiedName(), where));
    for (int i = 0; i < values.size(); ++i)
        s.bind(i + 1, values[i]);
    std::vector<RecordingRow> rows;
    while (s.step())
        rows.push_back(RecordingRow::read(s));
    return rows;
}

std::vector<RecordingRow> RecordingOperations::rows(const QStringList& ids)
{
    if (ids.isEmpty())
        return {};
    const std::vector<RecordingRow> found = select(QStringLiteral("id IN (%1)").arg(marks(ids.size())), ids);
    std::vector<RecordingRow> ordered;
    for (const QString& id : ids)
        for (const RecordingRow& row : found)
            if (row.id == id) {
                ordered.push_back(row);
                break;
            }
    return ordered;
}

QString RecordingOperations::filePath(const RecordingRow& row) const
{
    return m_catalogue.recordingPath(row.fileName);
}

bool RecordingOperations::setComment(const QString& id, const QString& text)
{
    if (text.isEmpty())
        return false;
    sqlite::Statement update(m_catalogue.database().connection(),
                             QStringLiteral("UPDATE %1 SET Comment = ? WHERE id = ?").arg(m_catalogue.calls().qualifiedName()));
    update.bind(1, text.left(255));
    update.bind(2, id);
    update.step();
    const bool changed = sqlite3_changes(m_catalogue.database().connection().handle()) > 0;
    m_catalogue.calls().refresh();
    return changed;
}

bool RecordingOperations::setFileSize(const QString& id, qint64 size)
{
    sqlite::Statement update(m_catalogue.database().connection(),
                             QStringLiteral("UPDATE %1 SET fileSize = ? WHERE id = ?").arg(m_catalogue.calls().qualifiedName()));
    update.bind(1, size);
    update.bind(2, id);
    update.step();
    const bool changed = sqlite3_changes(m_catalogue.database().connection().handle()) > 0;
    m_catalogue.calls().refresh();
    return changed;
}

DeleteOutcome RecordingOperations::remove(const QStringList& ids)
{
    DeleteOutcome outcome;
    const std::vector<RecordingRow> doomed = rows(ids);
    if (doomed.empty())
        return outcome;
    Database& db = m_catalogue.database();
    QStringList found;
    for (const RecordingRow& row : doomed)
        found << row.id;
    try {
        db.transaction([&] {
            sqlite::Statement remove(db.connection(), QStringLiteral("DELETE FROM %1 WHERE id IN (%2)")
                                                          .arg(m_catalogue.calls().qualifiedName(), marks(found.size())));
            for (int i = 0; i < found.size(); ++i)
                remove.bind(i + 1, found[i]);
            remove.step();
        });
    } catch (const TableError&) {
        m_catalogue.calls().refresh();
        throw; // every file is still there
    }
    m_catalogue.calls().refresh();
    outcome.rows = int(doomed.size());
    for (const RecordingRow& row : doomed) {
        const QString legacy = isPlainFileName(row.id) ? m_catalogue.recordingPath(row.id + QStringLiteral(".wav")) : QString();
        for (const QString& path : {filePath(row), legacy}) {
            if (path.isEmpty() || !QFileInfo::exists(path))
                continue;
            QString why;
            if (!removeFile(path, &why))
                outcome.fileProblems << QFileInfo(path).fileName() + QStringLiteral(": ") + why;
        }
    }
    return outcome;
}

CopyOutcome RecordingOperations::copyOut(const QStringList& ids, const QString& folder)
{
    CopyOutcome outcome;
    for (const RecordingRow& row : rows(ids)) {
        const QString from = filePath(row);
        if (from.isEmpty() || !QFileInfo(from).isFile()) {
            outcome.failed << row.fileName + QStringLiteral(": the file does not exist");
            continue;
        }
        const QString to = folder + QLatin1Char('/') + row.fileName;
        const QString canonicalFrom = QFileInfo(from).canonicalFilePath();
        if (QFileInfo::exists(to) && QFileInfo(to).canonicalFilePath() == canonicalFrom) {
            outcome.skipped << row.fileName; // copying onto itself would destroy it
            continue;
        }
        QString why;
        if (copyFile(from, to, &why))
            outcome.copied << row.fileName;
        else
            outcome.failed << row.fileName + QStringLiteral(": ") + why;
    }
    return outcome;
}

std::vector<RecordingRow> RecordingOperations::findByNumber(const QString& text)
{
    return select(QStringLiteral("instr(callerID, ?) > 0 ORDER BY DateS DESC, TimeS DESC, rowid DESC"), {text});
}

QStringList RecordingOperations::folderKeysNamed(const QString& name)
{
    QStringList keys;
    m_catalogue.tree().forEach([&](const FolderNode& node, int) {
        if (node.text.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            keys << node.folderKey;
    });
    return keys;
}

QString RecordingOperations::idOfFile(const QString& fileName)
{
    const std::vector<RecordingRow> found = select(QStringLiteral("fileName = ?"), {fileName});
    return found.empty() ? QString() : found.front().id;
}
