#include "Table.h"

#include "platform/FileSync.h"
#include "TableError.h"
#include "UniqueKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A new, empty file beside `target` (VACUUM INTO accepts an empty file).
QString makeTempBeside(const QString& target)
{
    QByteArray name = QFile::encodeName(target) + ".new-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        throw TableError(QStringLiteral("%1: cannot create a file: %2").arg(target, systemError()));
    ::close(fd);
    return QFile::decodeName(name);
}

} // namespace

Table::Table(Database& database, const QString& tableName)
    : RowCursor(&database.dateFormat()), m_db(database), m_name(tableName)
{
}

Table::~Table()
{
    try {
        close();
    } catch (const TableError&) {
        // A destructor cannot report; close() already tried to save the edit.
    }
    unlinkMaster();
    for (Table* detail : m_details)
        detail->m_master = nullptr;
}

void Table::setTableName(const QString& name)
{
    if (isOpen())
        throw TableError(QStringLiteral("Cannot rename the open table %1").arg(m_name));
    m_name = name;
}

void Table::setFieldDefinitions(FieldDefs fields)
{
    if (isOpen())
        throw TableError(QStringLiteral("Cannot change the fields of the open table %1").arg(m_name));
    setFieldDefs(std::move(fields));
}

QString Table::qualifiedName() const
{
    return sqlite::quoted(m_attachment.schema) + QLatin1Char('.') + sqlite::quoted(m_attachment.table);
}

// --- open and close --------------------------------------------------------

void Table::open()
{
    if (isOpen())
        return;
    if (m_name.isEmpty())
        throw TableError(QStringLiteral("A table needs a name before it is opened"));
    if (m_loadMode == LoadMode::Clear) {
        m_attachment = m_db.attachMemory(m_name, m_storedName);
        try {
            createInMemory();
        } catch (const TableError&) {
            m_db.release(m_name);
            throw;
        }
    } else {
        m_attachment = m_db.attachFile(m_name);
        try {
            readFieldsFromFile();
        } catch (const TableError& e) {
            m_db.release(m_name);
            throw TableError(QStringLiteral("%1: %2").arg(m_db.tableFilePath(m_name), e.message()));
        }
    }
    m_state = State::Browse;
    if (m_loadMode == LoadMode::Clear)
        createIndexes();
    m_loaded = false;
    m_pos = -1;
    invalidateRows();
    m_bof = m_eof = true;
    for (Table* detail : m_details)
        detail->followMaster();
    followMaster();
}

void Table::createInMemory()
{
    if (m_fields.empty())
        throw TableError(QStringLiteral("Table %1 has no field definitions").arg(m_name));
    QStringList columns;
    for (const FieldDef& def : m_fields)
        columns.append(sqlite::quoted(def.name) + QLatin1Char(' ') + fieldvalues::declaredType(def));
    m_db.connection().exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(qualifiedName(), columns.join(QStringLiteral(", "))));
}

void Table::readFieldsFromFile()
{
    sqlite::Statement info(m_db.connection(), QStringLiteral("PRAGMA %1.table_info(%2)")
                                                  .arg(sqlite::quoted(m_attachment.schema),
                                                       sqlite::quoted(m_attachment.table)));
    FieldDefs fields;
    while (info.step())
        fields.push_back(fieldvalues::fromDeclaredType(info.column(1).toString(), info.column(2).toString()));
    setFieldDefs(std::move(fields));
}

void Table::createIndexes()
{
    requireOpen();
    const QStringList existing = indexNames();
    for (const QString& name : std::as_const(m_indexed)) {
        const int index = fieldIndex(name);
        if (index < 0)
            continue;
        const QString field = m_fields[size_t(index)].name;
        // Looked up in one statement first: each CREATE, even one that
        // finds its index, is a transaction of its own on every open.
        if (existing.contains(m_attachment.table + QLatin1Char('_') + field, Qt::CaseInsensitive))
            continue;
        try {
            m_db.connection().exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1.%2 ON %3(%4)")
                                       .arg(sqlite::quoted(m_attachment.schema),
                                            sqlite::quoted(m_attachment.table + QLatin1Char('_') + field),
                                            sqlite::quoted(m_attachment.table), sqlite::quoted(field)));
        } catch (const TableError&) {
            // A read-only file works without its index, only slower.
        }
    }
}

QStringList Table::indexNames() const
{
    QStringList names;
    sqlite::Statement list(m_db.connection(), QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type='index'")
                                                  .arg(sqlite::quoted(m_attachment.schema)));
    while (list.step())
        names.append(list.column(0).toString());
    return names;
}

void Table::close()
{
    if (!isOpen())
        return;
    commit();
    m_insert.reset();
    m_state = State::Inactive;
    m_rowids.clear();
    m_loaded = false;
    m_pos = -1;
    invalidateRows();
    m_bof = m_eof = true;
    m_db.release(m_name);
    for (Table* detail : m_details)
        detail->followMaster();
}

void Table::saveToFile(const QString& path)
{
    requireOpen();
    commit();
    const QString target = QFileInfo(path).absoluteFilePath();
    const QString temp = makeTempBeside(target);
    try {
        m_db.connection().exec(QStringLiteral("VACUUM %1 INTO %2")
                                   .arg(sqlite::quoted(m_attachment.schema), sqlite::literal(temp)));
        if (!syncFile(temp))
            throw TableError(QStringLiteral("cannot write %1: %2").arg(temp, systemError()));
        if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0)
            throw TableError(QStringLiteral("cannot replace %1: %2").arg(target, systemError()));
    } catch (const TableError& e) {
        QFile::remove(temp);
        throw TableError(QStringLiteral("%1: %2").arg(target, e.message()));
    }
    syncFolder(QFileInfo(target).absolutePath());
}

void Table::requireOpen() const
{
    if (!isOpen())
        throw TableError(QStringLiteral("Table %1 is not open").arg(m_name));
}

// --- rows and navigation -----------------------------------------------------

void Table::ensureLoaded()
{
    if (m_loaded || !isOpen())
        return;
    loadRowids();
    m_loaded = true;
    invalidateRows();
    m_pos = m_rowids.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rowids.empty();
}

void Table::loadRowids()
{
    m_rowids.clear();
    if (m_master && !m_rangeValid)
        return;
    QString sql = QStringLiteral("SELECT rowid FROM %1").arg(qualifiedName());
    const bool ranged = m_master != nullptr;
    if (ranged)
        sql += QStringLiteral(" WHERE %1 = ?").arg(sqlite::quoted(m_rangeField));
    sql += QStringLiteral(" ORDER BY rowid");
    sqlite::Statement select(m_db.connection(), sql);
    if (ranged)
        select.bind(1, m_rangeValue);
    while (select.step())
        m_rowids.push_back(select.columnInt64(0));
}

void Table::invalidateRows()
{
    m_window.clear();
    m_windowStart = -1;
}

const std::vector<QVariant>& Table::currentRow()
{
    const auto inWindow = [this] {
        return m_windowStart >= 0 && m_pos >= m_windowStart && m_pos < m_windowStart + qsizetype(m_window.size());
    };
    if (!inWindow()) {
        const bool walking = m_windowStart >= 0 && m_pos == m_windowStart + qsizetype(m_window.size());
        m_windowSize = walking ? std::min<qsizetype>(m_windowSize * 2, 256) : 8;
        fetchWindow(m_pos);
    }
    if (!inWindow()) {
        m_nullRow = nullRow(); // the row went away under us
        return m_nullRow;
    }
    return m_window[size_t(m_pos - m_windowStart)];
}

// Reads the rows from position `start` on, as long as they are the rows the
// cursor expects there (another program may have changed the file).
void Table::fetchWindow(qsizetype start)
{
    invalidateRows();
    QString sql = QStringLiteral("SELECT rowid, * FROM %1 WHERE ").arg(qualifiedName());
    if (m_master)
        sql += QStringLiteral("%1 = ? AND ").arg(sqlite::quoted(m_rangeField));
    sql += QStringLiteral("rowid >= ? ORDER BY rowid LIMIT ?");
    sqlite::Statement select(m_db.connection(), sql);
    int parameter = 1;
    if (m_master)
        select.bind(parameter++, m_rangeValue);
    select.bind(parameter++, m_rowids[size_t(start)]);
    select.bind(parameter, qint64(m_windowSize));
    const int columns = std::min(select.columnCount() - 1, fieldCount());
    qsizetype pos = start;
    while (pos < qsizetype(m_rowids.size()) && select.step() && select.columnInt64(0) == m_rowids[size_t(pos)]) {
        std::vector<QVariant> row = nullRow();
        for (int i = 0; i < columns; ++i)
            row[size_t(i)] = fieldvalues::fromStorage(m_fields[size_t(i)], select.column(i + 1));
        m_window.push_back(std::move(row));
        ++pos;
    }
    m_windowStart = m_window.empty() ? -1 : start;
}

std::vector<QVariant> Table::nullRow() const
{
    return std::vector<QVariant>(m_fields.size());
}

QVariant Table::value(int index)
{
    if (m_state == State::Edit || m_state == State::Insert)
        return m_buffer[size_t(index)];
    ensureLoaded();
    if (m_pos < 0)
        return {};
    return currentRow()[size_t(index)];
}

void Table::setValue(int index, const QVariant& value)
{
    if (m_state != State::Edit && m_state != State::Insert)
        throw TableError(QStringLiteral("Table %1 is not in edit or insert mode").arg(m_name));
    m_buffer[size_t(index)] = value;
}

void Table::checkBrowse()
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        post();
}

void Table::setPosition(qsizetype pos)
{
    const bool moved = pos != m_pos;
    m_pos = pos;
    if (moved)
        rowChanged();
}

int Table::rowCount()
{
    ensureLoaded();
    return int(m_rowids.size());
}

int Table::recNo()
{
    ensureLoaded();
    return int(m_pos + 1);
}

void Table::setRecNo(int recNo)
{
    checkBrowse();
    ensureLoaded();
    if (m_rowids.empty())
        return;
    m_bof = m_eof = false;
    setPosition(std::clamp<qsizetype>(recNo - 1, 0, qsizetype(m_rowids.size()) - 1));
}

void Table::first()
{
    checkBrowse();
    ensureLoaded();
    m_bof = true;
    m_eof = m_rowids.empty();
    setPosition(m_rowids.empty() ? -1 : 0);
}

void Table::next()
{
    checkBrowse();
    ensureLoaded();
    if (m_pos + 1 < qsizetype(m_rowids.size())) {
        m_bof = m_eof = false;
        setPosition(m_pos + 1);
    } else {
        m_eof = true;
    }
}

void Table::prior()
{
    checkBrowse();
    ensureLoaded();
    if (m_pos > 0) {
        m_bof = m_eof = false;
        setPosition(m_pos - 1);
    } else {
        m_bof = true;
    }
}

void Table::last()
{
    checkBrowse();
    ensureLoaded();
    m_eof = true;
    m_bof = m_rowids.empty();
    setPosition(qsizetype(m_rowids.size()) - 1);
}

void Table::disableControls()
{
    ++m_disabled;
}

void Table::enableControls()
{
    if (m_disabled > 0 && --m_disabled == 0 && m_changePending) {
        m_changePending = false;
        if (dataChanged)
            dataChanged(*this);
    }
}

void Table::refresh()
{
    checkBrowse();
    const qint64 current = m_loaded && m_pos >= 0 ? m_rowids[size_t(m_pos)] : -1;
    const qsizetype oldPos = m_pos;
    loadRowids();
    m_loaded = true;
    invalidateRows();
    const auto it = std::lower_bound(m_rowids.begin(), m_rowids.end(), current);
    if (current >= 0 && it != m_rowids.end() && *it == current)
        m_pos = it - m_rowids.begin();
    else
        m_pos = m_rowids.empty() ? -1 : std::clamp<qsizetype>(oldPos, 0, qsizetype(m_rowids.size()) - 1);
    m_bof = m_pos <= 0;
    m_eof = m_rowids.empty();
    rowChanged();
}

void Table::rowChanged()
{
    for (Table* detail : m_details)
        detail->followMaster();
    if (m_disabled > 0) {
        m_changePending = true;
        return;
    }
    if (dataChanged)
        dataChanged(*this);
}

// --- master-detail range ------------------------------------------------------

void Table::setMasterLink(Table* master, const QString& masterField, const QString& detailField)
{
    unlinkMaster();
    m_master = master;
    m_masterField = masterField;
    m_rangeField = detailField;
    if (m_master)
        m_master->m_details.push_back(this);
    m_rangeValid = false;
    m_rangeValue = QVariant();
    m_loaded = false;
    followMaster();
}

void Table::unlinkMaster()
{
    if (!m_master)
        return;
    auto& list = m_master->m_details;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    m_master = nullptr;
}

void Table::followMaster()
{
    if (!m_master || !isOpen())
        return;
    const int detailIndex = fieldIndex(m_rangeField);
    if (detailIndex < 0)
        throw TableError(QStringLiteral("Field '%1' not found").arg(m_rangeField));
    m_rangeField = m_fields[size_t(detailIndex)].name;
    bool valid = m_master->isOpen() && m_master->rowCount() > 0;
    QVariant value;
    if (valid)
        value = fieldvalues::toStorage(m_fields[size_t(detailIndex)], m_master->field(m_masterField).asVariant());
    if (m_loaded && valid == m_rangeValid && value == m_rangeValue)
        return;
    if (m_state == State::Edit || m_state == State::Insert)
        post();
    m_rangeValid = valid;
    m_rangeValue = value;
    m_loaded = false;
    invalidateRows();
    for (Table* detail : m_details)
        detail->followMaster();
    if (m_disabled > 0)
        m_changePending = true;
    else if (dataChanged)
        dataChanged(*this);
}

bool Table::inRange(const std::vector<QVariant>& row) const
{
    if (!m_master)
        return true;
    if (!m_rangeValid)
        return false;
    const int index = fieldIndex(m_rangeField);
    return fieldvalues::toStorage(m_fields[size_t(index)], row[size_t(index)]) == m_rangeValue;
}

// --- editing ---------------------------------------------------------------

void Table::append()
{
    checkBrowse();
    m_buffer = nullRow();
    m_state = State::Insert;
}

void Table::edit()
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    ensureLoaded();
    if (m_pos < 0)
        throw TableError(QStringLiteral("Table %1 has no current row to edit").arg(m_name));
    m_buffer = currentRow();
    m_state = State::Edit;
}

void Table::cancel()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    m_buffer.clear();
    m_state = State::Browse;
}

void Table::post()
{
    if (m_state == State::Insert)
        insertRow();
    else if (m_state == State::Edit)
        updateRow();
}

void Table::insertRow()
{
    if (!m_insert) {
        QStringList names;
        QStringList marks;
        for (const FieldDef& def : m_fields) {
            names.append(sqlite::quoted(def.name));
            marks.append(QStringLiteral("?"));
        }
        m_insert = std::make_unique<sqlite::Statement>(
            m_db.connection(), QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                   .arg(qualifiedName(), names.join(QLatin1Char(',')), marks.join(QLatin1Char(','))));
    }
    m_insert->reset();
    for (int i = 0; i < fieldCount(); ++i)
        m_insert->bind(i + 1, fieldvalues::toStorage(m_fields[size_t(i)], m_buffer[size_t(i)]));
    m_insert->step();
    m_insert->reset();
    const qint64 rowid = m_db.connection().lastInsertRowid();
    const bool shown = m_loaded && inRange(m_buffer);
    m_buffer.clear();
    m_state = State::Browse;
    if (!shown)
        return;
    const auto it = std::lower_bound(m_rowids.begin(), m_rowids.end(), rowid);
    const auto inserted = m_rowids.insert(it, rowid); // may reallocate: begin() only after it
    const qsizetype pos = inserted - m_rowids.begin();
    invalidateRows();
    m_bof = m_eof = false;
    m_pos = pos;
    rowChanged();
}

void Table::updateRow()
{
    const qint64 rowid = m_rowids[size_t(m_pos)];
    QStringList sets;
    for (const FieldDef& def : m_fields)
        sets.append(sqlite::quoted(def.name) + QStringLiteral(" = ?"));
    sqlite::Statement update(m_db.connection(), QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                                    .arg(qualifiedName(), sets.join(QLatin1Char(','))));
    for (int i = 0; i < fieldCount(); ++i)
        update.bind(i + 1, fieldvalues::toStorage(m_fields[size_t(i)], m_buffer[size_t(i)]));
    update.bind(fieldCount() + 1, rowid);
    update.step();
    const bool stays = inRange(m_buffer);
    m_buffer.clear();
    invalidateRows();
    m_state = State::Browse;
    if (!stays) {
        m_rowids.erase(m_rowids.begin() + m_pos);
        m_pos = std::min(m_pos, qsizetype(m_rowids.size()) - 1);
        m_eof = m_rowids.empty();
    }
    rowChanged();
}

void Table::deleteRow()
{
    requireOpen();
    if (m_state == State::Insert || m_state == State::Edit) {
        const bool inserting = m_state == State::Insert;
        cancel();
        if (inserting)
            return;
    }
    ensureLoaded();
    if (m_pos < 0)
        throw TableError(QStringLiteral("Table %1 has no current row to delete").arg(m_name));
    if (beforeDelete)
        beforeDelete(*this);
    sqlite::Statement remove(m_db.connection(), QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(qualifiedName()));
    remove.bind(1, m_rowids[size_t(m_pos)]);
    remove.step();
    m_rowids.erase(m_rowids.begin() + m_pos);
    invalidateRows();
    m_pos = std::min(m_pos, qsizetype(m_rowids.size()) - 1);
    m_eof = m_rowids.empty();
    m_bof = m_pos <= 0;
    if (afterDelete)
        afterDelete(*this);
    rowChanged();
}

void Table::commit()
{
    if (m_state == State::Edit || m_state == State::Insert)
        post();
    m_db.commitBatch();
}

// --- searching -----------------------------------------------------------------

bool Table::locate(const QString& fieldName, const QVariant& value)
{
    checkBrowse();
    const FieldDef& def = field(fieldName).def();
    const auto typed = fieldvalues::coerce(def, value, dateFormat());
    if (!typed)
        return false;
    ensureLoaded();
    if (m_master && !m_rangeValid)
        return false;
    const QVariant stored = fieldvalues::toStorage(def, *typed);
    QString sql = QStringLiteral("SELECT rowid FROM %1 WHERE %2 %3").arg(qualifiedName(), sqlite::quoted(def.name),
                                                                          stored.isValid() ? QStringLiteral("= ?")
                                                                                           : QStringLiteral("IS NULL"));
    if (m_master)
        sql += QStringLiteral(" AND %1 = ?").arg(sqlite::quoted(m_rangeField));
    sql += QStringLiteral(" ORDER BY rowid LIMIT 1");
    sqlite::Statement search(m_db.connection(), sql);
    int parameter = 1;
    if (stored.isValid())
        search.bind(parameter++, stored);
    if (m_master)
        search.bind(parameter, m_rangeValue);
    if (!search.step())
        return false;
    const qint64 rowid = search.columnInt64(0);
    const auto it = std::lower_bound(m_rowids.begin(), m_rowids.end(), rowid);
    if (it == m_rowids.end() || *it != rowid)
        return false; // appended by someone else since the rows were read
    m_bof = m_eof = false;
    setPosition(it - m_rowids.begin());
    return true;
}

bool Table::containsValue(const QString& fieldName, const QVariant& value)
{
    requireOpen();
    const FieldDef& def = field(fieldName).def();
    const auto typed = fieldvalues::coerce(def, value, dateFormat());
    if (!typed || !typed->isValid())
        return false;
    sqlite::Statement search(m_db.connection(), QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ? LIMIT 1")
                                                    .arg(qualifiedName(), sqlite::quoted(def.name)));
    search.bind(1, fieldvalues::toStorage(def, *typed));
    return search.step();
}

QString Table::newUniqueKey(const QString& fieldName)
{
    for (int attempt = 0; attempt < 100000; ++attempt) {
        const QString key = ::newUniqueKey();
        if (!containsValue(fieldName, key))
            return key;
    }
    throw TableError(QStringLiteral("Table %1: no free key").arg(m_name));
}
