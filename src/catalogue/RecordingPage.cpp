#include "catalogue/RecordingPage.h"

#include "catalogue/Catalogue.h"
#include "catalogue/SearchIndex.h"
#include "catalogue/Sqlite.h"

namespace {

// The WHERE clause and its one parameter.
QString condition(Catalogue& catalogue, const QString& search, bool* indexed)
{
    *indexed = catalogue.searchIndexed() && search.size() >= searchindex::MinimumLength;
    if (search.isEmpty())
        return QStringLiteral("FolderId = ?1");
    if (!*indexed)
        return QStringLiteral("(instr(callerID, ?1) > 0 OR instr(lower(Comment), lower(?1)) > 0)");
    const Database::Attachment& table = catalogue.calls().attachment();
    return QStringLiteral("rowid IN (SELECT rowid FROM %1.%2 WHERE %2 MATCH ?1)")
        .arg(sqlite::quoted(table.schema), sqlite::quoted(searchindex::nameFor(table.table)));
}

} // namespace

RecordingPage readRecordingPage(Catalogue& catalogue, const QString& folderKey, const QString& search, int offset,
                                int limit)
{
    RecordingPage page;
    if (!catalogue.isOpen() || (folderKey.isEmpty() && search.isEmpty()))
        return page;
    bool indexed = false;
    const QString where = condition(catalogue, search, &indexed);
    const QString value = search.isEmpty() ? folderKey : indexed ? searchindex::matchPattern(search) : search;
    const QString table = catalogue.calls().qualifiedName();
    sqlite::Connection& db = catalogue.database().connection();

    sqlite::Statement count(db, QStringLiteral("SELECT count(*), total(accessed = 0) FROM %1 WHERE %2").arg(table, where));
    count.bind(1, value);
    if (count.step()) {
        page.total = int(count.columnInt64(0));
        page.newCount = int(count.column(1).toDouble());
    }
    sqlite::Statement select(db, QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY DateS DESC, TimeS DESC, rowid DESC "
                                                "LIMIT ?2 OFFSET ?3")
                                     .arg(RecordingRow::Columns, table, where));
    select.bind(1, value);
    select.bind(2, qint64(limit));
    select.bind(3, qint64(offset));
    while (select.step())
        page.rows.push_back(RecordingRow::read(select));
    return page;
}

qint64 lastRecordingRowid(Catalogue& catalogue)
{
    if (!catalogue.isOpen())
        return 0;
    sqlite::Statement last(catalogue.database().connection(),
                           QStringLiteral("SELECT max(rowid) FROM %1").arg(catalogue.calls().qualifiedName()));
    return last.step() ? last.columnInt64(0) : 0;
}
