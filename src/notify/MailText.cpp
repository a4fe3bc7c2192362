#include "notify/MailText.h"

namespace mailtext {

namespace {

QString printable(const QString& text, int limit)
{
    QString clean;
    for (const QChar c : text)
        clean += c.isPrint() ? c : QLatin1Char(' ');
    return clean.simplified().left(limit);
}

} // namespace

QString duration(qint64 seconds)
{
    const qint64 s = qMax<qint64>(0, seconds);
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString fill(const QString& text, const CallFacts& facts)
{
    const QString number = printable(facts.number, MaxField);
    const QString name = printable(facts.name, MaxField);
    const std::pair<const char*, QString> fields[] = {
        {"{number}", number.isEmpty() && name.isEmpty() ? QStringLiteral("unknown caller") : number},
        {"{name}", name},
        {"{date}", facts.when.date().toString(Qt::ISODate)},
        {"{time}", facts.when.time().toString(QStringLiteral("HH:mm"))},
        {"{duration}", facts.seconds < 0 ? QStringLiteral("no message") : duration(facts.seconds)},
        {"{folder}", printable(facts.folder, MaxField)},
    };
    // One pass from left to right: a caller's "{name}" stays as it came.
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        bool matched = false;
        for (const auto& [placeholder, value] : fields)
            if (text.mid(i).startsWith(QLatin1String(placeholder))) {
                out += value;
                i += qsizetype(qstrlen(placeholder));
                matched = true;
                break;
            }
        if (!matched)
            out += text[i++];
    }
    return out;
}

QString subjectLine(const QString& text)
{
    return printable(text, MaxSubject);
}

} // namespace mailtext
