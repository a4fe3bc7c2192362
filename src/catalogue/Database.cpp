#include "Database.h"

#include "TableError.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

Database::Database(const QString& folder)
{
    setFolder(folder);
}

Database::~Database()
{
    if (m_batch) {
        try {
            commitBatch();
        } catch (const TableError&) {
            // Nothing can be reported from here; SQLite rolls the batch back.
        }
    }
}

void Database::setFolder(const QString& folder)
{
    m_folder = folder;
    if (!m_folder.isEmpty() && !m_folder.endsWith(QLatin1Char('/')))
        m_folder += QLatin1Char('/');
}

QString Database::stemOf(const QString& tableName)
{
    if (tableName.endsWith(QLatin1String(".d"), Qt::CaseInsensitive))
        return tableName.chopped(2);
    return tableName;
}

QString Database::findExisting(const QString& fileName) const
{
    const QString exact = m_folder + fileName;
    if (QFileInfo(exact).isFile())
        return exact;
    const QDir dir(m_folder.isEmpty() ? QStringLiteral(".") : m_folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : names)
        if (name.compare(fileName, Qt::CaseInsensitive) == 0)
            return m_folder + name;
    return {};
}

QString Database::tableFilePath(const QString& tableName) const
{
    const QString existing = findExisting(tableName);
    return existing.isEmpty() ? m_folder + tableName : existing;
}

bool Database::tableFileExists(const QString& tableName) const
{
    return !findExisting(tableName).isEmpty();
}

void Database::beginBatch()
{
    if (m_batch)
        return;
    m_connection.exec(QStringLiteral("BEGIN"));
    m_batch = true;
}

void Database::transaction(const std::function<void()>& work)
{
    if (m_batch) {
        work();
        return;
    }
    beginBatch();
    try {
        work();
    } catch (const TableError&) {
        m_batch = false;
        try {
            m_connection.exec(QStringLiteral("ROLLBACK"));
        } catch (const TableError&) {
        }
        throw;
    }
    commitBatch();
}

void Database::commitBatch()
{
    if (!m_batch)
        return;
    m_batch = false;
    try {
        m_connection.exec(QStringLiteral("COMMIT"));
    } catch (const TableError&) {
        m_connection.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

Database::Attachment Database::attachFile(const QString& tableName)
{
    const QString key = stemOf(tableName).toLower();
    if (auto it = m_attached.find(key); it != m_attached.end()) {
        if (it->memory)
            throw TableError(QStringLiteral("Table %1 is already open").arg(tableName));
        ++it->users;
        return it->attachment;
    }
    const QString path = findExisting(tableName);
    if (path.isEmpty())
        throw TableError(QStringLiteral("Table file %1 does not exist").arg(m_folder + tableName));
    Entry entry = openFile(tableName, path);
    m_attached.insert(key, entry);
    return entry.attachment;
}

Database::Attachment Database::attachMemory(const QString& tableName, const QString& storedName)
{
    const QString stem = stemOf(tableName);
    if (m_attached.contains(stem.toLower()))
        throw TableError(QStringLiteral("Table %1 is already open").arg(tableName));
    m_connection.exec(QStringLiteral("ATTACH DATABASE ':memory:' AS %1").arg(sqlite::quoted(stem)));
    Entry entry;
    entry.attachment = {stem, storedName.isEmpty() ? stem : storedName};
    entry.memory = true;
    entry.users = 1;
    m_attached.insert(stem.toLower(), entry);
    return entry.attachment;
}

QStringList Database::attachForQuery(const QStringList& names)
{
    QStringList attached;
    QStringList files; // read once, and only when a name is not open yet
    bool listed = false;
    for (const QString& name : names) {
        if (auto it = m_attached.find(name.toLower()); it != m_attached.end()) {
            ++it->users;
            attached.append(name);
            continue;
        }
        if (!listed) {
            const QDir dir(m_folder.isEmpty() ? QStringLiteral(".") : m_folder);
            files = dir.entryList({QStringLiteral("*.d")}, QDir::Files | QDir::Hidden);
            listed = true;
        }
        const QString fileName = name + QStringLiteral(".d");
        const bool present = std::any_of(files.begin(), files.end(), [&](const QString& file) {
            return file.compare(fileName, Qt::CaseInsensitive) == 0;
        });
        if (!present)
            continue;
        try {
            attachFile(fileName);
        } catch (const TableError&) {
            for (const QString& done : std::as_const(attached))
                release(done);
            throw;
        }
        attached.append(name);
    }
    return attached;
}

void Database::release(const QString& tableName)
{
    const auto it = m_attached.find(stemOf(tableName).toLower());
    if (it == m_attached.end() || --it->users > 0)
        return;
    const Entry entry = *it;
    m_attached.erase(it);
    detach(entry);
}

void Database::detach(const Entry& entry)
{
    if (entry.view)
        m_connection.exec(QStringLiteral("DROP VIEW IF EXISTS temp.%1").arg(sqlite::quoted(entry.attachment.schema)));
    m_connection.exec(QStringLiteral("DETACH DATABASE %1").arg(sqlite::quoted(entry.attachment.schema)));
}

Database::Entry Database::openFile(const QString& tableName, const QString& path)
{
    Entry entry;
    entry.attachment.schema = stemOf(tableName);
    entry.users = 1;
    const QString schema = sqlite::quoted(entry.attachment.schema);
    // mode=rw: a missing file is an error, never silently created.
    const QString uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)
                        + QStringLiteral("?mode=rw");
    try {
        sqlite::Statement attach(m_connection, QStringLiteral("ATTACH DATABASE ? AS %1").arg(schema));
        attach.bind(1, uri);
        attach.step();
    } catch (const TableError& e) {
        throw TableError(QStringLiteral("%1: %2").arg(path, e.message()));
    }
    try {
        QStringList tables;
        {
            // An index's virtual table and its own tables are not the file's table.
            sqlite::Statement list(m_connection,
                                   QStringLiteral("SELECT name FROM %1.sqlite_master t WHERE type='table' "
                                                  "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                                                  "AND sql NOT LIKE 'CREATE VIRTUAL TABLE%' "
                                                  "AND NOT EXISTS (SELECT 1 FROM %1.sqlite_master v WHERE v.type='table' "
                                                  "AND v.sql LIKE 'CREATE VIRTUAL TABLE%' AND substr(t.name, 1, length(v.name) + 1) = v.name || '_') "
                                                  "ORDER BY rowid")
                                       .arg(schema));
            while (list.step())
                tables.append(list.column(0).toString());
        }
        for (const QString& name : tables)
            if (name.compare(entry.attachment.schema, Qt::CaseInsensitive) == 0)
                entry.attachment.table = name;
        if (entry.attachment.table.isEmpty() && tables.size() == 1)
            entry.attachment.table = tables.first();
        if (entry.attachment.table.isEmpty())
            throw TableError(tables.isEmpty() ? QStringLiteral("the file holds no table")
                                              : QStringLiteral("the file holds several tables"));
        m_connection.exec(QStringLiteral("PRAGMA %1.synchronous=FULL").arg(schema));
        // Room for a catalogue of years (100,000 rows are some 17 MB), so a
        // query across folders does not read the file again page by page.
        m_connection.exec(QStringLiteral("PRAGMA %1.cache_size=-32768").arg(schema));
        if (entry.attachment.table.compare(entry.attachment.schema, Qt::CaseInsensitive) != 0) {
            // A renamed file: queries still find the table under the file's name.
            m_connection.exec(QStringLiteral("CREATE TEMP VIEW %1 AS SELECT * FROM %1.%2")
                                  .arg(schema, sqlite::quoted(entry.attachment.table)));
            entry.view = true;
        }
    } catch (const TableError& e) {
        try {
            detach(entry);
        } catch (const TableError&) {
        }
        throw TableError(QStringLiteral("%1: %2").arg(path, e.message()));
    }
    return entry;
}
