#include "FieldDef.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace fieldvalues {

namespace {

const QString IsoDate = QStringLiteral("yyyy-MM-dd");
const QString IsoTime = QStringLiteral("HH:mm:ss");

// Reads `count` digits at `from`; -1 when one is not a digit.
int digits(const QString& text, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// The stored forms, read without a format parser: a walk through a table
// reads thousands of them.
QDate storedDate(const QString& text)
{
    if (text.size() != 10 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-'))
        return {};
    return QDate(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
}

QTime storedTime(const QString& text)
{
    if (text.size() != 8 || text.at(2) != QLatin1Char(':') || text.at(5) != QLatin1Char(':'))
        return {};
    return QTime(digits(text, 0, 2), digits(text, 3, 2), digits(text, 6, 2));
}

QVariant parseDate(const QString& text, const QString& dateFormat)
{
    if (const QDate date = storedDate(text); date.isValid())
        return date;
    for (const QString& format : {IsoDate, qtDateFormat(dateFormat)}) {
        const QDate date = QDate::fromString(text, format);
        if (date.isValid())
            return date;
    }
    const QDate local = QLocale().toDate(text, QLocale::ShortFormat);
    return local.isValid() ? QVariant(local) : QVariant();
}

QVariant parseTime(const QString& text)
{
    if (const QTime time = storedTime(text); time.isValid())
        return time;
    for (const char* format : {"HH:mm:ss", "H:mm:ss", "HH:mm:ss.zzz", "HH:mm", "H:mm"}) {
        const QTime time = QTime::fromString(text, QLatin1String(format));
        if (time.isValid())
            return QTime(time.hour(), time.minute(), time.second());
    }
    for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QTime time = QLocale().toTime(text, format);
        if (time.isValid())
            return QTime(time.hour(), time.minute(), time.second());
    }
    return {};
}

std::optional<QVariant> toInteger(const QVariant& value)
{
    bool ok = false;
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (!std::isfinite(d) || d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max())
            return std::nullopt;
        return QVariant(int(std::lround(d)));
    }
    const qint64 n = value.typeId() == QMetaType::QString ? value.toString().trimmed().toLongLong(&ok)
                                                          : value.toLongLong(&ok);
    if (!ok || n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        return std::nullopt;
    return QVariant(int(n));
}

std::optional<QVariant> toBoolean(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString) {
        const QString t = value.toString().trimmed().toLower();
        if (t == QLatin1String("true") || t == QLatin1String("1"))
            return QVariant(true);
        if (t == QLatin1String("false") || t == QLatin1String("0"))
            return QVariant(false);
        return std::nullopt;
    }
    bool ok = false;
    const qint64 n = value.toLongLong(&ok);
    return ok ? std::optional<QVariant>(QVariant(n != 0)) : std::nullopt;
}

std::optional<QVariant> toFloat(const QVariant& value)
{
    bool ok = false;
    const double d = value.typeId() == QMetaType::QString ? value.toString().trimmed().toDouble(&ok)
                                                          : value.toDouble(&ok);
    return ok ? std::optional<QVariant>(QVariant(d)) : std::nullopt;
}

std::optional<QVariant> toDate(const QVariant& value, const QString& dateFormat)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().isValid() ? std::optional<QVariant>(value) : std::nullopt;
    case QMetaType::QDateTime:
        return value.toDateTime().isValid() ? std::optional<QVariant>(value.toDateTime().date()) : std::nullopt;
    case QMetaType::QString: {
        const QVariant date = parseDate(value.toString().trimmed(), dateFormat);
        return date.isValid() ? std::optional<QVariant>(date) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QVariant> toTime(const QVariant& value)
{
    QTime time;
    switch (value.typeId()) {
    case QMetaType::QTime:
        time = value.toTime();
        break;
    case QMetaType::QDateTime:
        time = value.toDateTime().time();
        break;
    case QMetaType::QString:
        time = parseTime(value.toString().trimmed()).toTime();
        break;
    default:
        break;
    }
    if (!time.isValid())
        return std::nullopt;
    return QVariant(QTime(time.hour(), time.minute(), time.second()));
}

} // namespace

QString declaredType(const FieldDef& def)
{
    switch (def.type) {
    case FieldType::Text:
        return QStringLiteral("VARCHAR(%1)").arg(def.size);
    case FieldType::Integer:
        return QStringLiteral("INTEGER");
    case FieldType::Date:
        return QStringLiteral("DATE");
    case FieldType::Time:
        return QStringLiteral("TIME");
    case FieldType::Boolean:
        return QStringLiteral("BOOLEAN");
    case FieldType::Float:
        return QStringLiteral("DOUBLE");
    case FieldType::Memo:
        return QStringLiteral("TEXT");
    }
    return QStringLiteral("TEXT");
}

FieldDef fromDeclaredType(const QString& name, const QString& declared)
{
    static const QRegularExpression sized(QStringLiteral("^\\s*(VAR)?CHAR(ACTER)?\\s*\\(\\s*(\\d+)\\s*\\)\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QString type = declared.trimmed().toUpper();
    if (const auto match = sized.match(type); match.hasMatch())
        return {name, FieldType::Text, match.captured(3).toInt()};
    if (type == QLatin1String("DATE"))
        return {name, FieldType::Date, 0};
    if (type == QLatin1String("TIME"))
        return {name, FieldType::Time, 0};
    if (type.startsWith(QLatin1String("BOOL")))
        return {name, FieldType::Boolean, 0};
    if (type.contains(QLatin1String("INT")))
        return {name, FieldType::Integer, 0};
    if (type.contains(QLatin1String("DOUB")) || type.contains(QLatin1String("REAL"))
        || type.contains(QLatin1String("FLOA")))
        return {name, FieldType::Float, 0};
    return {name, FieldType::Memo, 0};
}

QVariant fromStorage(const FieldDef& def, const QVariant& stored)
{
    if (!stored.isValid() || stored.isNull())
        return {};
    switch (def.type) {
    case FieldType::Text:
    case FieldType::Memo:
        return stored.toString();
    case FieldType::Date: {
        const QDate date = storedDate(stored.toString());
        return date.isValid() ? QVariant(date) : QVariant();
    }
    case FieldType::Time:
        return parseTime(stored.toString());
    case FieldType::Integer:
        return toInteger(stored).value_or(QVariant());
    case FieldType::Boolean:
        return toBoolean(stored).value_or(QVariant());
    case FieldType::Float:
        return toFloat(stored).value_or(QVariant());
    }
    return {};
}

QVariant toStorage(const FieldDef& def, const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (def.type) {
    case FieldType::Text:
        return def.size > 0 ? value.toString().left(def.size) : value.toString();
    case FieldType::Memo:
        return value.toString();
    case FieldType::Date:
        return value.toDate().toString(IsoDate);
    case FieldType::Time:
        return value.toTime().toString(IsoTime);
    case FieldType::Integer:
        return QVariant(qint64(value.toInt()));
    case FieldType::Boolean:
        return QVariant(qint64(value.toBool() ? 1 : 0));
    case FieldType::Float:
        return QVariant(value.toDouble());
    }
    return {};
}

std::optional<QVariant> coerce(const FieldDef& def, const QVariant& value, const QString& dateFormat)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    if (value.typeId() == QMetaType::QString && value.toString().isEmpty()
        && def.type != FieldType::Text && def.type != FieldType::Memo)
        return QVariant();
    switch (def.type) {
    case FieldType::Text:
        return QVariant(def.size > 0 ? value.toString().left(def.size) : value.toString());
    case FieldType::Memo:
        return QVariant(value.toString());
    case FieldType::Date:
        return toDate(value, dateFormat);
    case FieldType::Time:
        return toTime(value);
    case FieldType::Integer:
        return toInteger(value);
    case FieldType::Boolean:
        return toBoolean(value);
    case FieldType::Float:
        return toFloat(value);
    }
    return std::nullopt;
}

QString qtDateFormat(const QString& format)
{
    // Only the day, month and year letters matter in a date format: "m" is
    // the month there, "M" in Qt.
    QString qt = format;
    qt.replace(QLatin1Char('m'), QLatin1Char('M'));
    qt.replace(QLatin1Char('D'), QLatin1Char('d'));
    qt.replace(QLatin1Char('Y'), QLatin1Char('y'));
    return qt;
}

} // namespace fieldvalues
