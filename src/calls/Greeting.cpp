#include "calls/Greeting.h"

namespace greetings {

const std::array<QString, 4> PeriodNames = {QStringLiteral("Default time period"), QStringLiteral("First time period"),
                                            QStringLiteral("Second time period"), QStringLiteral("Third time period")};

int periodIndex(const QString& name)
{
    static const std::array<QString, 4> shortNames = {QStringLiteral("default"), QStringLiteral("first"),
                                                      QStringLiteral("second"), QStringLiteral("third")};
    for (int i = 0; i < 4; ++i)
        if (name.compare(shortNames[size_t(i)], Qt::CaseInsensitive) == 0
            || name.compare(PeriodNames[size_t(i)], Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString messagesFolder(const QString& dataFolder)
{
    QString folder = dataFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("Msgs/");
}

QString recordedCallerFile(const QString& dataFolder, const QString& msgId)
{
    return messagesFolder(dataFolder) + msgId + QStringLiteral(".wav");
}

QString recordedPeriodFile(const QString& dataFolder, int period)
{
    return messagesFolder(dataFolder) + PeriodNames[size_t(period)] + QStringLiteral(".wav");
}

namespace {

int secondOfDay(const QTime& t)
{
    return t.isValid() ? t.hour() * 3600 + t.minute() * 60 + t.second() : -1;
}

} // namespace

bool periodCovers(const PeriodSettings& period, const QTime& now)
{
    const int from = secondOfDay(period.from), to = secondOfDay(period.to), at = secondOfDay(now);
    if (from < 0 || to < 0 || at < 0)
        return false;
    return from <= to ? from <= at && at <= to : at >= from || at <= to;
}

} // namespace greetings

namespace {

Greeting greetingOf(int type, const QString& wav, const QString& text, const QString& recorded, const QString& source)
{
    switch (type) {
    case 0: return {GreetingType::WavFile, wav, source};
    case 2: return {GreetingType::Recorded, recorded, source};
    default: return {GreetingType::Text, text, source};
    }
}

} // namespace

Greeting SelectGreeting(const std::vector<CallerGreeting>& callers, const GreetingPeriods& periods,
                        const QString& callerNumber, const QTime& now, const QString& dataFolder)
{
    if (!callerNumber.isEmpty())
        for (const CallerGreeting& row : callers)
            if (row.callerId == callerNumber)
                return greetingOf(row.msgType, row.wavFile, row.tts,
                                  greetings::recordedCallerFile(dataFolder, row.msgId),
                                  QStringLiteral("caller ") + callerNumber);
    int chosen = 0;
    for (int i = 1; i < int(periods.size()) && chosen == 0; ++i)
        if (periods[size_t(i)].enabled && greetings::periodCovers(periods[size_t(i)], now))
            chosen = i;
    const PeriodSettings& p = periods[size_t(chosen)];
    return greetingOf(p.msgType, p.wav, p.tts, greetings::recordedPeriodFile(dataFolder, chosen),
                      greetings::PeriodNames[size_t(chosen)]);
}
