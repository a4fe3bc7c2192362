#pragma once

#include "Database.h"
#include "RowCursor.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// A table of the table store with a cursor on one current row.
//
// Rows keep the order in which they were appended. With a master link the
// table shows only the rows whose link field equals the master's current
// value (the master-detail range): row count, record numbers, navigation and
// Locate all work within it, and it follows every move of the master.
//
// Editing: append() or edit(), set fields, then post() or cancel(). A post
// and a delete are each a committed, synced transaction on their own (see
// Database for batches). Moving the cursor posts a pending edit first.
class Table : public RowCursor
{
public:
    enum class LoadMode { Clear, File };
    enum class State { Inactive, Browse, Edit, Insert };

    explicit Table(Database& database, const QString& tableName = QString());
    ~Table() override;
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    Database& database() const { return m_db; }
    void setTableName(const QString& name);
    const QString& tableName() const { return m_name; }
    // Clear: open() creates an empty table from the field definitions;
    // File: open() loads the table's file.
    void setLoadMode(LoadMode mode) { m_loadMode = mode; }
    LoadMode loadMode() const { return m_loadMode; }
    // The definitions used by LoadMode::Clear; an open table reports the
    // fields of its file.
    void setFieldDefinitions(FieldDefs fields);
    // Fields searched often (Locate, a detail range). A table created in
    // memory gets an index on each; a file only when createIndexes() is
    // called, so opening a file never changes it.
    void setIndexedFields(const QStringList& fields) { m_indexed = fields; }
    void createIndexes();
    // The name of the table inside a file that LoadMode::Clear creates; by
    // default the file name without ".d". Queries find a table by its file's
    // name either way; this keeps a file that is built under a temporary
    // name readable by name after it is renamed.
    void setStoredName(const QString& name) { m_storedName = name; }

    void open();
    void close();
    bool isOpen() const { return m_state != State::Inactive; }
    // Writes the whole table to a file, replacing it atomically.
    void saveToFile(const QString& path);

    bool bof() const override { return m_bof; }
    bool eof() const override { return m_eof; }
    int rowCount() override;
    int recNo() override; // 1-based, 0 without rows
    void setRecNo(int recNo) override;
    void first() override;
    void next() override;
    void prior() override;
    void last() override;
    // Bound views are not told of changes until the matching enableControls().
    void disableControls();
    void enableControls();
    // Re-reads the rows, staying on the current row when it still exists.
    void refresh();

    State state() const { return m_state; }
    void append();
    void edit();
    void post();
    void cancel();
    void deleteRow();
    // Exact, case-sensitive equality on one field within the range; the first
    // match becomes current. Nothing changes when no row matches.
    bool locate(const QString& field, const QVariant& value);
    // Posts a pending edit and makes every change durable.
    void commit();
    // Searches the whole table, ignoring the range.
    bool containsValue(const QString& field, const QVariant& value);
    // A key from newUniqueKey() that no row of this table holds in `field`.
    QString newUniqueKey(const QString& field);

    void setMasterLink(Table* master, const QString& masterField, const QString& detailField);

    // Notifications; each is called only when set, with this table.
    std::function<void(Table&)> beforeDelete; // may throw to stop the delete
    std::function<void(Table&)> afterDelete;
    std::function<void(Table&)> dataChanged;  // for bound views

protected:
    QVariant value(int index) override;
    void setValue(int index, const QVariant& value) override;

public:
    // "schema"."table", for statements on the database's connection.
    QString qualifiedName() const;
    const Database::Attachment& attachment() const { return m_attachment; }

private:
    void createInMemory();
    void readFieldsFromFile();
    QStringList indexNames() const;
    void requireOpen() const;
    void checkBrowse();
    void ensureLoaded();
    void loadRowids();
    const std::vector<QVariant>& currentRow();
    void fetchWindow(qsizetype start);
    void invalidateRows();
    void setPosition(qsizetype pos);
    void rowChanged();
    void followMaster();
    bool inRange(const std::vector<QVariant>& row) const;
    void insertRow();
    void updateRow();
    void unlinkMaster();
    std::vector<QVariant> nullRow() const;

    Database& m_db;
    QString m_name;
    LoadMode m_loadMode = LoadMode::File;
    QStringList m_indexed;
    QString m_storedName;
    Database::Attachment m_attachment;
    State m_state = State::Inactive;

    std::vector<qint64> m_rowids; // the rows of the range, in table order
    bool m_loaded = false;
    qsizetype m_pos = -1;
    bool m_bof = true;
    bool m_eof = true;
    // Rows read ahead of the cursor: one statement serves a walk of many rows.
    std::vector<std::vector<QVariant>> m_window;
    qsizetype m_windowStart = -1; // position of m_window[0]
    qsizetype m_windowSize = 8;   // grows while the cursor walks forward
    std::vector<QVariant> m_nullRow;
    std::vector<QVariant> m_buffer; // the row being edited or appended
    std::unique_ptr<sqlite::Statement> m_insert;

    Table* m_master = nullptr;
    std::vector<Table*> m_details;
    QString m_masterField;
    QString m_rangeField;
    bool m_rangeValid = false; // false: the master has no current row
    QVariant m_rangeValue;     // in stored form

    int m_disabled = 0;
    bool m_changePending = false;
};
