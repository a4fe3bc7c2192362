#include "RowCursor.h"

#include "TableError.h"

namespace {

const QDate DelphiDayZero(1899, 12, 30);

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

void RowCursor::setFieldDefs(FieldDefs fields)
{
    m_fields = std::move(fields);
    m_byName.clear();
    for (int i = 0; i < int(m_fields.size()); ++i)
        m_byName.insert(m_fields[size_t(i)].name.toLower(), i);
}

int RowCursor::fieldIndex(const QString& name) const
{
    return m_byName.value(name.toLower(), -1);
}

Field RowCursor::field(const QString& name)
{
    const int index = fieldIndex(name);
    if (index < 0)
        throw TableError(QStringLiteral("Field '%1' not found").arg(name));
    return Field(*this, index);
}

void RowCursor::assign(int index, const QVariant& value)
{
    const FieldDef& def = m_fields.at(size_t(index));
    const auto converted = fieldvalues::coerce(def, value, dateFormat());
    if (!converted)
        throw TableError(QStringLiteral("'%1' is not a valid value for field '%2'").arg(value.toString(), def.name));
    setValue(index, *converted);
}

const FieldDef& Field::def() const
{
    return m_cursor->m_fields.at(size_t(m_index));
}

bool Field::isNull() const
{
    return !m_cursor->value(m_index).isValid();
}

QVariant Field::asVariant() const
{
    return m_cursor->value(m_index);
}

QString Field::asText() const
{
    const QVariant v = asVariant();
    if (!v.isValid())
        return {};
    switch (def().type) {
    case FieldType::Date:
        return v.toDate().toString(fieldvalues::qtDateFormat(m_cursor->dateFormat()));
    case FieldType::Time:
        return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    case FieldType::Boolean:
        return boolText(v.toBool());
    case FieldType::Float:
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

QVariant Field::convertedTo(FieldType type, const char* typeName) const
{
    const QVariant v = asVariant();
    if (!v.isValid())
        return {};
    const auto converted = fieldvalues::coerce({name(), type, 0}, v, m_cursor->dateFormat());
    if (!converted)
        throw TableError(QStringLiteral("'%1' is not a valid %2 value").arg(v.toString(), QLatin1String(typeName)));
    return *converted;
}

int Field::asInteger() const
{
    return convertedTo(FieldType::Integer, "integer").toInt();
}

bool Field::asBool() const
{
    return convertedTo(FieldType::Boolean, "boolean").toBool();
}

double Field::asFloat() const
{
    return convertedTo(FieldType::Float, "floating point").toDouble();
}

QDateTime Field::asDateTime() const
{
    const QVariant v = asVariant();
    switch (def().type) {
    case FieldType::Date:
        return v.isValid() ? QDateTime(v.toDate(), QTime(0, 0)) : QDateTime();
    case FieldType::Time:
        return v.isValid() ? QDateTime(DelphiDayZero, v.toTime()) : QDateTime();
    default:
        return QDateTime::fromString(asText(), Qt::ISODate);
    }
}

void Field::setText(const QString& value)
{
    m_cursor->assign(m_index, value);
}

void Field::setInteger(int value)
{
    m_cursor->assign(m_index, value);
}

void Field::setBool(bool value)
{
    m_cursor->assign(m_index, value);
}

void Field::setFloat(double value)
{
    m_cursor->assign(m_index, value);
}

void Field::setDateTime(const QDateTime& value)
{
    m_cursor->assign(m_index, value);
}

void Field::setVariant(const QVariant& value)
{
    m_cursor->assign(m_index, value);
}

void Field::clear()
{
    m_cursor->setValue(m_index, QVariant());
}
