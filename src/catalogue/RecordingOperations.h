#pragma once

#include "catalogue/RecordingList.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class Catalogue;

struct DeleteOutcome
{
    int rows = 0;            // rows deleted (and committed)
    QStringList fileProblems; // "<file>: <why>" for files that could not be removed
};

struct CopyOutcome
{
    QStringList copied;  // file names
    QStringList skipped; // already the same file at the target
    QStringList failed;  // "<file>: <why>"
};

// What the user does to recordings, by their ids, whatever folder they are
// in: comment, delete, copy out, find. Raise TableError when the catalogue
// cannot be read or written.
class RecordingOperations
{
public:
    explicit RecordingOperations(Catalogue& catalogue);

    // The rows with these ids, in that order; unknown ids are left out.
    std::vector<RecordingRow> rows(const QStringList& ids);
    // The path of the row's file, or empty when its name is not a plain file name.
    QString filePath(const RecordingRow& row) const;

    // An empty text changes nothing (a comment cannot be cleared this way);
    // false then, or when no row has the id.
    bool setComment(const QString& id, const QString& text);
    // The size of the row's file after it was rewritten; false when no row has the id.
    bool setFileSize(const QString& id, qint64 size);
    // The rows go first, in one committed transaction; only then their files
    // (to the desktop's trash where there is one). A failed commit keeps
    // every file.
    DeleteOutcome remove(const QStringList& ids);
    // Copies each file under its own name into the folder, replacing a file
    // there through a temporary one; the source is never touched.
    CopyOutcome copyOut(const QStringList& ids, const QString& folder);
    // Rows of every folder whose caller number contains the text, newest first.
    std::vector<RecordingRow> findByNumber(const QString& text);
    // The keys of the folders with this name (any letter case).
    QStringList folderKeysNamed(const QString& name);
    // The id of the row with this file name; empty when none has it.
    QString idOfFile(const QString& fileName);

    // How a file is removed; by default to the trash, else deleted.
    std::function<bool(const QString& path, QString* why)> removeFile;

private:
    std::vector<RecordingRow> select(const QString& where, const QStringList& values);
    Catalogue& m_catalogue;
};
