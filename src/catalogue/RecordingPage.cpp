#include "catalogue/RecordingPage.h"

#include "catalogue/Catalogue.h"
#include "catalogue/SearchIndex.h"
#include "catalogue/Sqlite.h"
#include "catalogue/TableError.h"

namespace {

const QString NewestFirst = QStringLiteral("ORDER BY DateS DESC, TimeS DESC, rowid DESC");
const QString ByFolderIndex = QStringLiteral("_byFolderDate");
const QString ByDateIndex = QStringLiteral("_byDate");
// Above this many matches a search walks the date index newest first and
// stops at the page, rather than sorting every match.
constexpr int ManyMatches = 2000;

qint64 single(sqlite::Connection& db, const QString& sql, const QVariant& value)
{
    sqlite::Statement s(db, sql);
    if (!value.isNull())
        s.bind(1, value);
    return s.step() ? s.columnInt64(0) : 0;
}

std::vector<RecordingRow> rowsOf(Catalogue& catalogue, const QString& rowidSelect, const QVariant& value, int offset, int limit)
{
    sqlite::Statement select(catalogue.database().connection(),
                             QStringLiteral("SELECT %1 FROM %2 WHERE rowid IN (%3 %4 LIMIT ?2 OFFSET ?3) %4")
                                 .arg(RecordingRow::Columns, catalogue.calls().qualifiedName(), rowidSelect, NewestFirst));
    select.bind(1, value);
    select.bind(2, qint64(limit));
    select.bind(3, qint64(offset));
    std::vector<RecordingRow> rows;
    while (select.step())
        rows.push_back(RecordingRow::read(select));
    return rows;
}

RecordingPage folderPage(Catalogue& catalogue, const QString& folderKey, int offset, int limit)
{
    sqlite::Connection& db = catalogue.database().connection();
    const QString table = catalogue.calls().qualifiedName();
    RecordingPage page;
    page.total = int(single(db, QStringLiteral("SELECT count(*) FROM %1 WHERE FolderId = ?1").arg(table), folderKey));
    page.newCount = int(single(db, QStringLiteral("SELECT count(*) FROM %1 WHERE FolderId = ?1 AND accessed = 0").arg(table), folderKey));
    page.rows = rowsOf(catalogue, QStringLiteral("SELECT rowid FROM %1 WHERE FolderId = ?1").arg(table), folderKey, offset, limit);
    return page;
}

// Through the trigram index: texts of three characters or more.
RecordingPage indexedSearch(Catalogue& catalogue, const QString& search, int offset, int limit)
{
    sqlite::Connection& db = catalogue.database().connection();
    const Database::Attachment& attachment = catalogue.calls().attachment();
    const QString index = sqlite::quoted(attachment.schema) + QLatin1Char('.') + sqlite::quoted(searchindex::nameFor(attachment.table));
    const QString matches = QStringLiteral("SELECT rowid FROM %1 WHERE %2 MATCH ?1")
                                .arg(index, sqlite::quoted(searchindex::nameFor(attachment.table)));
    const QString pattern = searchindex::matchPattern(search);
    RecordingPage page;
    page.total = int(single(db, QStringLiteral("SELECT count(*) FROM (%1)").arg(matches), pattern));
    const QString walk = page.total > ManyMatches
        ? QStringLiteral(" INDEXED BY %1").arg(sqlite::quoted(attachment.table + ByDateIndex))
        : QString();
    page.rows = rowsOf(catalogue, QStringLiteral("SELECT rowid FROM %1%2 WHERE rowid IN (%3)")
                                      .arg(catalogue.calls().qualifiedName(), walk, matches),
                       pattern, offset, limit);
    return page;
}

// Shorter texts (or a file without the index): every row is read once, newest first.
RecordingPage scannedSearch(Catalogue& catalogue, const QString& search, int offset, int limit)
{
    sqlite::Statement scan(catalogue.database().connection(),
                           QStringLiteral("SELECT rowid FROM %1 WHERE instr(callerID, ?1) > 0 OR instr(lower(Comment), lower(?1)) > 0 %2")
                               .arg(catalogue.calls().qualifiedName(), NewestFirst));
    scan.bind(1, search);
    std::vector<qint64> found;
    while (scan.step())
        found.push_back(scan.columnInt64(0));
    RecordingPage page;
    page.total = int(found.size());
    QStringList ids;
    for (size_t i = size_t(std::max(0, offset)); i < found.size() && ids.size() < limit; ++i)
        ids << QString::number(found[i]);
    if (!ids.isEmpty())
        page.rows = rowsOf(catalogue, QStringLiteral("SELECT rowid FROM %1 WHERE rowid IN (%2)")
                                          .arg(catalogue.calls().qualifiedName(), ids.join(QLatin1Char(','))),
                           QVariant(), 0, limit);
    return page;
}

} // namespace

RecordingPage readRecordingPage(Catalogue& catalogue, const QString& folderKey, const QString& search, int offset,
                                int limit)
{
    if (!catalogue.isOpen() || (folderKey.isEmpty() && search.isEmpty()))
        return RecordingPage();
    if (search.isEmpty())
        return folderPage(catalogue, folderKey, offset, limit);
    if (catalogue.searchIndexed() && search.size() >= searchindex::MinimumLength)
        return indexedSearch(catalogue, search, offset, limit);
    return scannedSearch(catalogue, search, offset, limit);
}

qint64 lastRecordingRowid(Catalogue& catalogue)
{
    if (!catalogue.isOpen())
        return 0;
    return single(catalogue.database().connection(),
                  QStringLiteral("SELECT max(rowid) FROM %1").arg(catalogue.calls().qualifiedName()), QVariant());
}

bool ensurePageIndexes(Database& db, const Database::Attachment& table)
{
    const QString schema = sqlite::quoted(table.schema);
    const QString rows = sqlite::quoted(table.table);
    try {
        db.connection().exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1.%2 ON %3(FolderId, DateS, TimeS)")
                                 .arg(schema, sqlite::quoted(table.table + ByFolderIndex), rows));
        db.connection().exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1.%2 ON %3(DateS, TimeS)")
                                 .arg(schema, sqlite::quoted(table.table + ByDateIndex), rows));
        return true;
    } catch (const TableError&) {
        return false;
    }
}
