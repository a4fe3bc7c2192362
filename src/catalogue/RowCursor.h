#pragma once

#include "FieldDef.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariant>

class RowCursor;

// One field of the current row of a table or query, reached by name.
// Reading converts like the table store always did: a null reads as "", 0,
// false or an invalid date; writing converts text, numbers and dates into
// the field's type and raises TableError when that is impossible.
class Field
{
public:
    Field(RowCursor& cursor, int index) : m_cursor(&cursor), m_index(index) {}

    const FieldDef& def() const;
    const QString& name() const { return def().name; }
    bool isNull() const;

    QString asText() const;
    int asInteger() const;
    bool asBool() const;
    double asFloat() const;
    QDateTime asDateTime() const;
    QVariant asVariant() const;

    void setText(const QString& value);
    void setInteger(int value);
    void setBool(bool value);
    void setFloat(double value);
    void setDateTime(const QDateTime& value);
    void setVariant(const QVariant& value);
    void clear();

private:
    // The value in another type; null stays null.
    QVariant convertedTo(FieldType type, const char* typeName) const;

    RowCursor* m_cursor;
    int m_index;
};

// What tables and queries share: field definitions matched by name without
// regard to letter case, and typed access to the current row.
class RowCursor
{
public:
    virtual ~RowCursor() = default;

    const FieldDefs& fieldDefs() const { return m_fields; }
    int fieldCount() const { return int(m_fields.size()); }
    // -1 when there is no such field.
    int fieldIndex(const QString& name) const;
    // Raises TableError "Field 'x' not found".
    Field field(const QString& name);
    Field field(int index) { return Field(*this, index); }

    virtual bool bof() const = 0;
    virtual bool eof() const = 0;
    virtual int rowCount() = 0;
    virtual int recNo() = 0;
    virtual void setRecNo(int recNo) = 0;
    virtual void first() = 0;
    virtual void next() = 0;
    virtual void prior() = 0;
    virtual void last() = 0;

protected:
    friend class Field;
    explicit RowCursor(const QString* dateFormat) : m_dateFormat(dateFormat) {}

    void setFieldDefs(FieldDefs fields);
    const QString& dateFormat() const { return *m_dateFormat; }
    // The current value of field `index` in its in-memory type.
    virtual QVariant value(int index) = 0;
    // Stores an already converted value; raises TableError when the cursor
    // is not being edited.
    virtual void setValue(int index, const QVariant& value) = 0;
    void assign(int index, const QVariant& value);

    // The in-memory type (or definition for a fresh table) of the fields.
    FieldDefs m_fields;

private:
    QHash<QString, int> m_byName;
    const QString* m_dateFormat;
};
