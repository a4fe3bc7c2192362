#include "IniSyntax.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <cctype>

namespace inisyntax {

std::optional<QString> sectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

std::optional<KeyValue> keyValue(const QString& line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')) ||
        t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return std::nullopt;
    KeyValue kv{t.left(eq).trimmed(), t.mid(eq + 1).trimmed()};
    if (kv.key.isEmpty())
        return std::nullopt;
    return kv;
}

std::optional<int> parseInteger(const QString& text)
{
    QStringView s(text);
    bool negative = false;
    if (s.startsWith(QLatin1Char('-')) || s.startsWith(QLatin1Char('+'))) {
        negative = s.front() == QLatin1Char('-');
        s = s.mid(1);
    }
    int base = 10;
    if (s.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        s = s.mid(2);
    } else if (s.startsWith(QLatin1Char('$'))) {
        base = 16;
        s = s.mid(1);
    }
    if (s.isEmpty())
        return std::nullopt;
    const quint64 limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    quint64 value = 0;
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        int digit = -1;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (base == 16 && u >= 'a' && u <= 'f')
            digit = u - 'a' + 10;
        else if (base == 16 && u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + quint64(digit);
        if (value > limit)
            return std::nullopt;
    }
    const qint64 signedValue = base == 16 ? qint64(qint32(quint32(value))) : qint64(value);
    return int(negative ? -signedValue : signedValue);
}

QTime parseTime(const QString& text)
{
    static const QStringList formats = {
        QStringLiteral("H:mm:ss"), QStringLiteral("H:mm"),
        QStringLiteral("h:mm:ss AP"), QStringLiteral("h:mm AP"),
        QStringLiteral("h:mm:ssAP"), QStringLiteral("h:mmAP"),
    };
    const QString t = text.trimmed();
    for (const QString& format : formats) {
        const QTime time = QTime::fromString(t, format);
        if (time.isValid())
            return time;
    }
    const QLocale locale = QLocale::system();
    for (const auto type : {QLocale::LongFormat, QLocale::ShortFormat, QLocale::NarrowFormat}) {
        const QTime time = locale.toTime(t, type);
        if (time.isValid())
            return time;
    }
    return {};
}

std::optional<QByteArray> parseHex(const QString& text)
{
    if (text.size() % 2 != 0)
        return std::nullopt;
    for (const QChar c : text)
        if (!isxdigit(c.unicode() < 128 ? c.unicode() : 'g'))
            return std::nullopt;
    return QByteArray::fromHex(text.toLatin1());
}

QString firstLine(const QString& value)
{
    const qsizetype end = value.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    return end < 0 ? value : value.left(end);
}

} // namespace inisyntax
