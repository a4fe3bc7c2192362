#include "catalogue/RecordingList.h"

#include "catalogue/Catalogue.h"
#include "catalogue/SearchIndex.h"
#include "catalogue/Sqlite.h"

namespace {

constexpr size_t MaxCachedRows = 8192;

QString orderBy(RecordingList::Column column, bool descending)
{
    const char* direction = descending ? " DESC" : " ASC";
    QString order;
    switch (column) {
    case RecordingList::Column::Date: order = QStringLiteral("DateS%1, TimeS%1"); break;
    case RecordingList::Column::Time: order = QStringLiteral("TimeS%1"); break;
    case RecordingList::Column::Duration: order = QStringLiteral("Duration%1"); break;
    case RecordingList::Column::CallerId: order = QStringLiteral("callerID%1"); break;
    case RecordingList::Column::Comment: order = QStringLiteral("Comment%1"); break;
    }
    return order.arg(QLatin1String(direction)) + QStringLiteral(", rowid") + QLatin1String(direction);
}

} // namespace

RecordingRow RecordingRow::read(const sqlite::Statement& s)
{
    RecordingRow row;
    row.rowid = s.columnInt64(0);
    row.id = s.column(1).toString();
    row.date = QDate::fromString(s.column(2).toString(), Qt::ISODate);
    row.time = QTime::fromString(s.column(3).toString(), Qt::ISODate);
    row.duration = s.column(4).toString();
    row.callerId = s.column(5).toString();
    row.comment = s.column(6).toString();
    row.fileName = s.column(7).toString();
    row.fileSize = s.columnInt64(8);
    const QVariant accessed = s.column(9);
    row.accessed = !accessed.isValid() || accessed.toInt() != 0;
    return row;
}

void RecordingList::setFolder(const QString& folderKey)
{
    m_folder = folderKey;
    m_search.clear(); // a folder chosen ends a search
    reload();
}

void RecordingList::setOrder(Column column, bool descending)
{
    m_column = column;
    m_descending = descending;
    reload();
}

void RecordingList::setSearch(const QString& text)
{
    m_search = text.trimmed();
    reload();
}

void RecordingList::reload()
{
    m_rowids.clear();
    m_rows.clear();
    if ((m_folder.isEmpty() && m_search.isEmpty()) || !m_catalogue.isOpen())
        return;
    const bool indexed = m_catalogue.searchIndexed() && m_search.size() >= searchindex::MinimumLength;
    QString where = QStringLiteral("FolderId = ?1");
    if (indexed) {
        const Database::Attachment& table = m_catalogue.calls().attachment();
        where = QStringLiteral("rowid IN (SELECT rowid FROM %1.%2 WHERE %2 MATCH ?1)")
                    .arg(sqlite::quoted(table.schema), sqlite::quoted(searchindex::nameFor(table.table)));
    } else if (!m_search.isEmpty()) {
        where = QStringLiteral("(instr(callerID, ?1) > 0 OR instr(lower(Comment), lower(?1)) > 0)");
    }
    sqlite::Statement select(m_catalogue.database().connection(),
                             QStringLiteral("SELECT rowid FROM %1 WHERE %2 ORDER BY %3")
                                 .arg(m_catalogue.calls().qualifiedName(), where, orderBy(m_column, m_descending)));
    select.bind(1, m_search.isEmpty() ? m_folder : indexed ? searchindex::matchPattern(m_search) : m_search);
    while (select.step())
        m_rowids.push_back(select.columnInt64(0));
}

const RecordingRow& RecordingList::row(int index)
{
    if (index < 0 || index >= count())
        return m_missing;
    auto it = m_rows.find(m_rowids[size_t(index)]);
    if (it == m_rows.end()) {
        fetchBlock(index);
        it = m_rows.find(m_rowids[size_t(index)]);
        if (it == m_rows.end())
            return m_missing; // deleted meanwhile; the next reload drops it
    }
    return it->second;
}

void RecordingList::fetchBlock(int index)
{
    if (m_rows.size() > MaxCachedRows)
        m_rows.clear();
    const int first = index / BlockRows * BlockRows;
    const int last = std::min(count(), first + BlockRows);
    QStringList marks;
    for (int i = first; i < last; ++i)
        marks << QStringLiteral("?");
    sqlite::Statement select(m_catalogue.database().connection(),
                             QStringLiteral("SELECT %1 FROM %2 WHERE rowid IN (%3)")
                                 .arg(RecordingRow::Columns, m_catalogue.calls().qualifiedName(),
                                      marks.join(QLatin1Char(','))));
    for (int i = first; i < last; ++i)
        select.bind(i - first + 1, m_rowids[size_t(i)]);
    while (select.step()) {
        RecordingRow row = RecordingRow::read(select);
        m_rows[row.rowid] = std::move(row);
    }
}

int RecordingList::indexOfId(const QString& id)
{
    for (int i = 0; i < count(); ++i)
        if (row(i).id == id)
            return i;
    return -1;
}
