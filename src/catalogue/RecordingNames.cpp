#include "RecordingNames.h"

QString RecordingFileName(int channel, const QDate& dateS, const QTime& timeS)
{
    return QStringLiteral("%1_%2_%3")
        .arg(channel)
        .arg(dateS.toString(QStringLiteral("yyyyMMdd")), timeS.toString(QStringLiteral("HHmmss")));
}

QString DurationText(qint64 seconds)
{
    seconds = qMax<qint64>(0, seconds);
    const qint64 minutes = seconds / 60;
    const qint64 rest = seconds % 60;
    return QStringLiteral("%1:%2").arg(minutes, 2, 10, QLatin1Char('0')).arg(rest, 2, 10, QLatin1Char('0'));
}

QString LongDateText(const QDate& date)
{
    static const char* const months[] = {"January", "February", "March",     "April",   "May",      "June",
                                         "July",    "Augest",   "September", "October", "November", "December"};
    static const char* const weekdays[] = {"Sunday",   "Monday", "Tuesday", "Wensday",
                                           "Thursday", "Friday", "Saturday"};
    if (!date.isValid())
        return {};
    // QDate counts Monday as 1 and Sunday as 7.
    const int weekday = date.dayOfWeek() % 7;
    return QStringLiteral("%1, %2 %3 %4")
        .arg(QLatin1String(weekdays[weekday]))
        .arg(date.day())
        .arg(QLatin1String(months[date.month() - 1]))
        .arg(date.year());
}

bool isPlainFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}
