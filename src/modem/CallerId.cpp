#include "CallerId.h"

#include <QRegularExpression>
#include <array>

namespace {

struct Tag
{
    const char* text;
    QString CallerIdValues::*value;
};

// In the order in which a line is tested for them.
const std::array<Tag, 10> Tags = {{
    {"DATE", &CallerIdValues::date},
    {"TIME", &CallerIdValues::time},
    {"NMBR", &CallerIdValues::number},
    {"NAME", &CallerIdValues::name},
    {"MESG", &CallerIdValues::message},
    {"ERRM", &CallerIdValues::error},
    {"DRON", &CallerIdValues::dron},
    {"DROF", &CallerIdValues::drof},
    {"CPON", &CallerIdValues::cpon},
    {"CPOF", &CallerIdValues::cpof},
}};

} // namespace

CallerIdValues parseCallerIdLines(const QStringList& lines)
{
    CallerIdValues values;
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        // Only the key names the tag: a name such as "TIMES MIRROR" must not
        // set the time.
        const QStringView key = equals < 0 ? QStringView(line) : QStringView(line).first(equals);
        const QString value = equals < 0 ? line.trimmed() : line.mid(equals + 1).trimmed();
        for (const Tag& tag : Tags)
            if (key.contains(QLatin1String(tag.text)))
                values.*tag.value = value;
    }
    return values;
}

QStringList splitPacketLines(QByteArrayView packet)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= packet.size(); ++i) {
        if (i < packet.size() && packet[i] != '\r' && packet[i] != '\n')
            continue;
        if (i > start)
            lines.append(QString::fromLatin1(packet.sliced(start, i - start)));
        // CR LF ends one line, not two.
        if (i + 1 < packet.size() && packet[i] == '\r' && packet[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

bool isCallerIdTextLine(const QString& line)
{
    static const QRegularExpression form(
        QStringLiteral("^\\s*(DATE|TIME|NMBR|DDN_NMBR|NAME|MESG|ERRM|DRON|DROF|CPON|CPOF)\\s*="));
    return form.match(line).hasMatch();
}
