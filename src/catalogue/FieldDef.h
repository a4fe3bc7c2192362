#pragma once

#include <QString>
#include <QVariant>
#include <optional>
#include <vector>

// The field types of the table store. In memory a value is a QString (Text,
// Memo), int (Integer), bool (Boolean), double (Float), QDate (Date) or
// QTime (Time); a null value is an invalid QVariant.
enum class FieldType { Text, Integer, Date, Time, Boolean, Float, Memo };

struct FieldDef
{
    QString name;
    FieldType type = FieldType::Text;
    int size = 0; // maximum length of a Text field in characters
};

using FieldDefs = std::vector<FieldDef>;

namespace fieldvalues {

// The column type written into the table file; readFieldDef() maps it back,
// so a table file describes itself.
QString declaredType(const FieldDef& def);
FieldDef fromDeclaredType(const QString& name, const QString& declared);

// The in-memory value of a field from what SQLite returned. Values that do
// not fit the type (a hand-edited file) read as null, never as garbage.
QVariant fromStorage(const FieldDef& def, const QVariant& stored);
// What is written to the file: dates as yyyy-mm-dd, times as hh:mm:ss,
// booleans as 0/1, texts cut to the field's size.
QVariant toStorage(const FieldDef& def, const QVariant& value);
// Converts any QVariant (text, number, date, date-time) into the field's
// in-memory type; nullopt when it cannot be converted. An empty text is null.
std::optional<QVariant> coerce(const FieldDef& def, const QVariant& value, const QString& dateFormat);

// "mm/dd/yyyy" style (the database's date format property) to a Qt format.
QString qtDateFormat(const QString& format);

} // namespace fieldvalues
