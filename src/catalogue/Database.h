#pragma once

#include "Sqlite.h"

#include <QHash>
#include <functional>
#include <QString>

// The database object of the table store: a folder whose files are the
// tables. A table "Recordings.d" is the SQLite file of that name; while it
// is open it is attached to one connection under the name "Recordings", so
// SQL such as "SELECT * FROM recordings" runs on it as written.
//
// Every change a table posts or deletes is its own committed, fully synced
// transaction, unless a batch is running; then the batch's commit makes all
// of its changes durable at once.
//
// The database must outlive its tables and queries.
class Database
{
public:
    explicit Database(const QString& folder = QString());
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The folder always ends with a separator.
    void setFolder(const QString& folder);
    const QString& folder() const { return m_folder; }
    // Used where a date is read or written as text; "mm/dd/yyyy" by default.
    void setDateFormat(const QString& format) { m_dateFormat = format; }
    const QString& dateFormat() const { return m_dateFormat; }

    // The file of a table: an existing file whose name matches without regard
    // to letter case, or the name as given in the folder.
    QString tableFilePath(const QString& tableName) const;
    bool tableFileExists(const QString& tableName) const;

    // Several changes in one transaction, made durable by commitBatch().
    void beginBatch();
    // Runs `work` as one transaction, committed at its end, or, when it
    // raises TableError, rolled back (the error passes on). Inside a batch
    // already running, `work` becomes part of that batch.
    void transaction(const std::function<void()>& work);
    void commitBatch();
    bool inBatch() const { return m_batch; }

    // Used by tables and queries.
    struct Attachment
    {
        QString schema; // quoted-ready name the file is attached under
        QString table;  // the table inside the file
    };
    // Attaches a table's file (it must exist and hold a table), or a new
    // empty in-memory table store; counted, so several users share it.
    Attachment attachFile(const QString& tableName);
    Attachment attachMemory(const QString& tableName, const QString& storedName);
    // For queries: of the names given, those that are tables (open, or with a
    // file "<name>.d" in the folder), each attached and counted once.
    QStringList attachForQuery(const QStringList& names);
    void release(const QString& tableName);
    sqlite::Connection& connection() { return m_connection; }

    // "Recordings" for "Recordings.d".
    static QString stemOf(const QString& tableName);

private:
    struct Entry
    {
        Attachment attachment;
        bool memory = false;
        bool view = false;
        int users = 0;
    };
    QString findExisting(const QString& fileName) const;
    Entry openFile(const QString& tableName, const QString& path);
    void detach(const Entry& entry);

    sqlite::Connection m_connection;
    QString m_folder;
    QString m_dateFormat = QStringLiteral("mm/dd/yyyy");
    QHash<QString, Entry> m_attached; // by lower-case stem
    bool m_batch = false;
};
