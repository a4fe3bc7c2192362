#pragma once

#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

// Thin RAII wrappers over the SQLite C interface. Every failure raises a
// TableError carrying SQLite's own text.
namespace sqlite {

class Connection
{
public:
    Connection(); // an in-memory main database; files are attached to it
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return m_db; }
    void exec(const QString& sql);
    qint64 lastInsertRowid() const;
    QString errorText() const;

private:
    sqlite3* m_db = nullptr;
};

class Statement
{
public:
    Statement(const Connection& connection, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds a value: null, integer, boolean (as 0/1), double or text.
    void bind(int index, const QVariant& value);
    // True while a row is available; false at the end.
    bool step();
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    QString columnDeclaredType(int column) const;
    // Null, qint64, double or QString, as stored.
    QVariant column(int column) const;
    qint64 columnInt64(int column) const;

private:
    const Connection& m_connection;
    sqlite3_stmt* m_stmt = nullptr;
};

// "name" with inner quotes doubled, for identifiers built from table names.
QString quoted(const QString& identifier);
// 'text' with inner quotes doubled.
QString literal(const QString& text);

} // namespace sqlite
