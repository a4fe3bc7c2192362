#include "core/VisibleText.h"

namespace {

bool hidden(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)
        || c == 0x2028 || c == 0x2029 || c == 0x200E || c == 0x200F || c == 0x061C;
}

QString escaped(const QString& text, bool keepLines)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!hidden(c) || (keepLines && (c == u'\t' || c == u'\n')))
            out.append(ch);
        else if (c < 0x100)
            out.append(QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0')));
        else
            out.append(QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0')));
    }
    return out;
}

} // namespace

QString visibleText(const QString& text)
{
    return escaped(text, false);
}

QString visibleLines(const QString& text)
{
    return escaped(text, true);
}
