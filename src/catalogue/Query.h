#pragma once

#include "Database.h"
#include "RowCursor.h"

#include <QStringList>
#include <functional>
#include <vector>

// An SQL statement on a database, with its result rows behind a cursor.
// A table name in the text resolves, without regard to letter case, to the
// file of that name followed by ".d" in the database folder, so
// "SELECT * FROM recordings WHERE accessed=false" runs as written. The
// result is read once, when the query is opened; it is read-only.
class Query : public RowCursor
{
public:
    explicit Query(Database& database, const QString& sql = QString());
    ~Query() override;
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void setSql(const QString& sql);
    const QString& sql() const { return m_sql; }

    void open();
    void close();
    bool isOpen() const { return m_open; }

    bool bof() const override { return m_bof; }
    bool eof() const override { return m_eof; }
    int rowCount() override { return int(m_rows.size()); }
    int recNo() override { return int(m_pos + 1); }
    void setRecNo(int recNo) override;
    void first() override;
    void next() override;
    void prior() override;
    void last() override;

    std::function<void(Query&)> afterOpen;
    std::function<void(Query&)> afterClose;

    // The names in the text that could be tables: identifiers outside
    // string literals, lower-cased, each once.
    static QStringList referencedNames(const QString& sql);

protected:
    QVariant value(int index) override;
    void setValue(int index, const QVariant& value) override;

private:
    void attachTables();
    void releaseTables();
    void readRows();

    Database& m_db;
    QString m_sql;
    bool m_open = false;
    QStringList m_attached;
    std::vector<std::vector<QVariant>> m_rows;
    qsizetype m_pos = -1;
    bool m_bof = true;
    bool m_eof = true;
};
