#include "Query.h"

#include "TableError.h"

#include <QSet>
#include <algorithm>

Query::Query(Database& database, const QString& sql)
    : RowCursor(&database.dateFormat()), m_db(database), m_sql(sql)
{
}

Query::~Query()
{
    afterClose = nullptr; // whoever set it may be gone already
    try {
        close();
    } catch (const TableError&) {
    }
}

void Query::setSql(const QString& sql)
{
    close();
    m_sql = sql;
}

QStringList Query::referencedNames(const QString& sql)
{
    QStringList names;
    QSet<QString> seen;
    auto add = [&](const QString& name) {
        const QString key = name.toLower();
        if (!key.isEmpty() && !seen.contains(key)) {
            seen.insert(key);
            names.append(key);
        }
    };
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            const qsizetype end = sql.indexOf(close, i + 1);
            const qsizetype stop = end < 0 ? sql.size() : end;
            if (c != QLatin1Char('\''))
                add(sql.mid(i + 1, stop - i - 1));
            i = stop + 1;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype end = i + 1;
            while (end < sql.size() && (sql.at(end).isLetterOrNumber() || sql.at(end) == QLatin1Char('_')))
                ++end;
            add(sql.mid(i, end - i));
            i = end;
        } else {
            ++i;
        }
    }
    return names;
}

void Query::attachTables()
{
    m_attached = m_db.attachForQuery(referencedNames(m_sql));
}

void Query::releaseTables()
{
    for (const QString& name : std::as_const(m_attached))
        m_db.release(name);
    m_attached.clear();
}

void Query::open()
{
    if (m_open)
        return;
    try {
        attachTables();
        readRows();
    } catch (const TableError&) {
        m_rows.clear();
        releaseTables();
        throw;
    }
    m_open = true;
    m_pos = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    if (afterOpen)
        afterOpen(*this);
}

void Query::readRows()
{
    m_rows.clear();
    sqlite::Statement statement(m_db.connection(), m_sql);
    FieldDefs fields;
    std::vector<bool> typed; // an expression column keeps what SQLite computed
    for (int i = 0; i < statement.columnCount(); ++i) {
        const QString declared = statement.columnDeclaredType(i);
        typed.push_back(!declared.isEmpty());
        fields.push_back(declared.isEmpty() ? FieldDef{statement.columnName(i), FieldType::Memo, 0}
                                            : fieldvalues::fromDeclaredType(statement.columnName(i), declared));
    }
    setFieldDefs(fields);
    while (statement.step()) {
        std::vector<QVariant> row(fields.size());
        for (size_t i = 0; i < fields.size(); ++i) {
            const QVariant stored = statement.column(int(i));
            row[i] = typed[i] ? fieldvalues::fromStorage(fields[i], stored) : stored;
        }
        m_rows.push_back(std::move(row));
    }
}

void Query::close()
{
    if (!m_open)
        return;
    m_open = false;
    m_rows.clear();
    m_pos = -1;
    m_bof = m_eof = true;
    releaseTables();
    if (afterClose)
        afterClose(*this);
}

QVariant Query::value(int index)
{
    if (m_pos < 0)
        return {};
    return m_rows[size_t(m_pos)][size_t(index)];
}

void Query::setValue(int, const QVariant&)
{
    throw TableError(QStringLiteral("A query result cannot be changed"));
}

void Query::setRecNo(int recNo)
{
    if (m_rows.empty())
        return;
    m_pos = std::clamp<qsizetype>(recNo - 1, 0, qsizetype(m_rows.size()) - 1);
    m_bof = m_eof = false;
}

void Query::first()
{
    m_pos = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
}

void Query::next()
{
    if (m_pos + 1 < qsizetype(m_rows.size())) {
        ++m_pos;
        m_bof = m_eof = false;
    } else {
        m_eof = true;
    }
}

void Query::prior()
{
    if (m_pos > 0) {
        --m_pos;
        m_bof = m_eof = false;
    } else {
        m_bof = true;
    }
}

void Query::last()
{
    m_pos = qsizetype(m_rows.size()) - 1;
    m_eof = true;
    m_bof = m_rows.empty();
}
