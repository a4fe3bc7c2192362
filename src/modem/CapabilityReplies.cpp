#include "CapabilityReplies.h"

#include <QRegularExpression>
#include <optional>

namespace {

void removePrefix(QString& line, const QString& prefix)
{
    const qsizetype at = line.toUpper().indexOf(prefix.toUpper());
    if (at >= 0)
        line.remove(at, prefix.size());
}

void removeFirst(QString& text, QChar c)
{
    const qsizetype at = text.indexOf(c);
    if (at >= 0)
        text.remove(at, 1);
}

std::optional<int> toInt(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// "0-3,5" style lists: each item a number or a low-high range.
void addListedSources(const QString& list, LineSourceReply& result)
{
    for (const QString& item : list.split(QLatin1Char(','))) {
        const QStringList ends = item.split(QLatin1Char('-'));
        const auto low = toInt(ends.first());
        const auto high = ends.size() == 2 ? toInt(ends.last()) : low;
        if (ends.size() > 2 || !low || !high) {
            result.unreadable.append(item.trimmed());
            continue;
        }
        for (int n = std::max(*low, 0); n <= std::min(*high, LineSourceReply::MaxSource); ++n)
            result.offered[size_t(n)] = true;
    }
}

// Whether one of the listed values or ranges starts at 0.
bool listAdmitsZero(QString list)
{
    list.remove(QLatin1Char('(')).remove(QLatin1Char(')'));
    for (const QString& item : list.split(QLatin1Char(','))) {
        const auto low = toInt(item.section(QLatin1Char('-'), 0, 0));
        if (low && *low == 0)
            return true;
    }
    return false;
}

} // namespace

QStringList replyLines(const QString& reply)
{
    static const QRegularExpression breaks(QStringLiteral("[\r\n]"));
    return reply.split(breaks);
}

LineSourceReply parseLineSources(const QString& reply)
{
    LineSourceReply result;
    for (QString line : replyLines(reply)) {
        removePrefix(line, QStringLiteral("+VLS:"));
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('('))) {
            addListedSources(line.mid(1).section(QLatin1Char(')'), 0, 0), result);
            continue;
        }
        const qsizetype comma = line.indexOf(QLatin1Char(','));
        if (comma < 0)
            continue;
        const QString text = line.left(comma);
        if (const auto n = toInt(text)) {
            if (*n >= 0 && *n <= LineSourceReply::MaxSource)
                result.offered[size_t(*n)] = true;
        } else {
            result.unreadable.append(text);
        }
    }
    return result;
}

QList<GainLine> parseGainReply(const QString& reply, const QString& prefix)
{
    static const QRegularExpression digit(QStringLiteral("[0-9]"));
    QList<GainLine> lines;
    for (QString line : replyLines(reply)) {
        if (!line.contains(digit))
            continue;
        removePrefix(line, prefix);
        removeFirst(line, QLatin1Char('('));
        removeFirst(line, QLatin1Char(')'));
        GainLine gain;
        gain.admitsZero = listAdmitsZero(line);
        const qsizetype comma = line.indexOf(QLatin1Char(','));
        if (comma >= 0)
            line.remove(0, comma + 1);
        const qsizetype dash = line.indexOf(QLatin1Char('-'));
        if (dash >= 0) {
            gain.hasRange = true;
            gain.low = toInt(line.left(dash)).value_or(1);
            gain.high = toInt(line.mid(dash + 1)).value_or(255);
        }
        lines.append(gain);
    }
    return lines;
}
