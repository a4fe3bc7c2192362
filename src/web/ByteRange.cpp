#include "web/ByteRange.h"

#include <algorithm>

namespace {

// Digits only, and few enough to fit; -1 otherwise.
qint64 number(const QByteArray& text)
{
    if (text.isEmpty() || text.size() > 15)
        return -1;
    for (const char c : text)
        if (c < '0' || c > '9')
            return -1;
    return text.toLongLong();
}

} // namespace

ByteRange ByteRange::parse(const QByteArray& header, qint64 size)
{
    ByteRange whole{Kind::Whole, 0, size - 1};
    const QByteArray spec = header.trimmed();
    if (!spec.startsWith("bytes=") || spec.contains(','))
        return whole;
    const QByteArray range = spec.mid(6).trimmed();
    const qsizetype dash = range.indexOf('-');
    if (dash < 0)
        return whole;
    const QByteArray from = range.left(dash).trimmed();
    const QByteArray to = range.mid(dash + 1).trimmed();
    if (from.isEmpty()) { // the last n bytes
        const qint64 n = number(to);
        if (n < 0)
            return whole;
        if (n == 0 || size == 0)
            return {Kind::Unsatisfiable, 0, -1};
        return {Kind::Part, std::max<qint64>(0, size - n), size - 1};
    }
    const qint64 first = number(from);
    const qint64 last = to.isEmpty() ? size - 1 : number(to);
    if (first < 0 || last < 0)
        return whole;
    if (first >= size)
        return {Kind::Unsatisfiable, 0, -1};
    if (last < first)
        return whole;
    return {Kind::Part, first, std::min(last, size - 1)};
}
