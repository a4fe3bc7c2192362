#include "VsmParser.h"

#include <QStringList>
#include <initializer_list>

namespace {

// The rate a modem that lists none is asked for: V.253's standard rate.
const QString StandardRate = QStringLiteral("8000");

bool containsAny(const QString& text, std::initializer_list<const char*> words)
{
    for (const char* word : words)
        if (text.contains(QLatin1String(word)))
            return true;
    return false;
}

// The separator of a line: a comma outside parentheses and quotes, else a
// semicolon there, else none.
QChar findSeparator(const QString& line)
{
    int depth = 0;
    bool quoted = false;
    bool semicolon = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')') && depth > 0)
            --depth;
        else if (depth == 0 && c == QLatin1Char(','))
            return c;
        else if (depth == 0 && c == QLatin1Char(';'))
            semicolon = true;
    }
    return semicolon ? QChar(QLatin1Char(';')) : QChar();
}

// The fields of a line, trimmed; a parenthesised group or a quoted text is
// never split.
QStringList splitFields(const QString& line, QChar separator)
{
    QStringList fields;
    QString field;
    int depth = 0;
    bool quoted = false;
    for (const QChar c : line) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('('))
            ++depth;
        else if (!quoted && c == QLatin1Char(')') && depth > 0)
            --depth;
        if (!quoted && depth == 0 && c == separator) {
            fields.append(field.trimmed());
            field.clear();
        } else {
            field.append(c);
        }
    }
    fields.append(field.trimmed());
    return fields;
}

// A field as stored: its first "(" and first ")" removed.
QString unwrap(QString field)
{
    const qsizetype open = field.indexOf(QLatin1Char('('));
    if (open >= 0)
        field.remove(open, 1);
    const qsizetype close = field.indexOf(QLatin1Char(')'));
    if (close >= 0)
        field.remove(close, 1);
    return field.trimmed();
}

QString cut(const QString& text)
{
    return text.left(CompressionRecord::FieldLength);
}

// The first value of a silence range: "0,5" and "0-255" give "0".
QString firstOfRange(const QString& range)
{
    const qsizetype comma = range.indexOf(QLatin1Char(','));
    if (comma >= 0)
        return range.left(comma);
    const qsizetype dash = range.indexOf(QLatin1Char('-'));
    return dash >= 0 ? range.left(dash) : range;
}

bool takeFields(const QStringList& fields, CompressionRecord& record)
{
    QString rates = StandardRate;
    switch (fields.size()) {
    case 2:
    case 4:
        break;
    case 3:
        rates = unwrap(fields[2]);
        break;
    case 5:
    case 7:
        rates = unwrap(fields[4]);
        break;
    default:
        return false;
    }
    record.cml = cut(unwrap(fields[0]));
    record.cmid = cut(unwrap(fields[1]));
    if (fields.size() >= 4) {
        record.bps = cut(unwrap(fields[2]));
        record.tm = cut(unwrap(fields[3]));
    }
    record.vsr = PickRate(record.bps, rates);
    if (fields.size() == 7) {
        record.sds = cut(firstOfRange(unwrap(fields[5])));
        record.sel = cut(firstOfRange(unwrap(fields[6])));
    }
    return true;
}

// Widths named in a description, written "8-BIT", "8BIT" or "8 BIT".
bool namesWidth(const QString& upperCmid, const char* digits)
{
    const QString n = QLatin1String(digits);
    return upperCmid.contains(n + QLatin1String("-BIT"))
        || upperCmid.contains(n + QLatin1String("BIT")) || upperCmid.contains(n + QLatin1String(" BIT"));
}

QString pcmWidth(const QString& upperCmid)
{
    if (namesWidth(upperCmid, "8"))
        return QStringLiteral("8");
    if (namesWidth(upperCmid, "16"))
        return QStringLiteral("16");
    return QStringLiteral("8");
}

QString adpcmWidth(const QString& upperCmid)
{
    if (namesWidth(upperCmid, "2"))
        return QStringLiteral("2");
    if (namesWidth(upperCmid, "3")) // stored as 4: there is no 3-bit format to decode
        return QStringLiteral("4");
    return QStringLiteral("4");
}

// Names the compression by its description (the numbers mean different
// things on different modems) and fills in a missing width.
bool classify(CompressionRecord& record)
{
    const QString cmid = record.cmid.toUpper();
    QString width;
    if (containsAny(cmid, {"UNSIGNED PCM", "LINEAR"})) {
        record.desc = QStringLiteral("UNSIGNED PCM");
        width = pcmWidth(cmid);
    } else if (cmid.contains(QLatin1String("SIGNED PCM"))) {
        record.desc = QStringLiteral("SIGNED PCM");
        width = pcmWidth(cmid);
    } else if (cmid.contains(QLatin1String("IMA ADPCM"))) {
        record.desc = QStringLiteral("IMA ADPCM");
        width = QStringLiteral("4");
    } else if (containsAny(cmid, {"ULAW", "M-LAW", "U-LAW", "G.711U"})) {
        record.desc = QStringLiteral("ULAW");
        width = pcmWidth(cmid);
    } else if (containsAny(cmid, {"ALAW", "A-LAW", "G.711A"})) {
        record.desc = QStringLiteral("ALAW");
        width = pcmWidth(cmid);
    } else if (containsAny(cmid, {"ADPCM", "G.721"})) {
        record.desc = QStringLiteral("ADPCM");
        width = adpcmWidth(cmid);
    } else {
        return false;
    }
    if (record.bps.isEmpty() || record.bps == QLatin1String("0"))
        record.bps = width;
    return true;
}

} // namespace

bool ParseVsmLine(const QString& line, CompressionRecord& record)
{
    record = CompressionRecord();
    QString text = line;
    const qsizetype prefix = text.toUpper().indexOf(QLatin1String("+VSM:"));
    if (prefix >= 0)
        text.remove(prefix, 5);
    const QChar separator = findSeparator(text);
    if (separator.isNull())
        return false;
    CompressionRecord parsed;
    if (!takeFields(splitFields(text, separator), parsed))
        return false;
    if (parsed.cmid.toUpper() == QLatin1String("\"SIGNED LINEAR\""))
        parsed.cmid = QStringLiteral("SIGNED PCM");
    if (!classify(parsed))
        return false;
    record = parsed;
    return true;
}

QString PickRate(const QString& bits, const QString& rates)
{
    static const char* const narrow[] = {"8000", "7200", "9200", "11025", "4800"};
    static const char* const wide[] = {"7200", "8000", "11025", "9200", "4800"};
    static const char* const unknown[] = {"8000", "7200", "11025", "9200", "4800"};
    const char* const* order = nullptr;
    if (bits == QLatin1String("2") || bits == QLatin1String("4") || bits == QLatin1String("8")
        || bits == QLatin1String("0"))
        order = narrow;
    else if (bits == QLatin1String("12") || bits == QLatin1String("16"))
        order = wide;
    else if (bits.isEmpty())
        order = unknown;
    else
        return {};
    for (int i = 0; i < 5; ++i)
        if (rates.contains(QLatin1String(order[i])))
            return QLatin1String(order[i]);
    return {};
}

QString BuildVsmCommand(const CompressionRecord& record)
{
    QStringList parts;
    for (const QString* value : {&record.cml, &record.vsr, &record.sds, &record.sel})
        if (!value->isEmpty())
            parts.append(*value);
    return QStringLiteral("at+vsm=") + parts.join(QLatin1Char(','));
}
