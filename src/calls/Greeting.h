#pragma once

#include "config/CurrentSettings.h"

#include <QString>
#include <QTime>
#include <array>
#include <vector>

// What a caller hears when the answering machine answers.
enum class GreetingType : int { WavFile = 0, Text = 1, Recorded = 2 };

struct Greeting
{
    GreetingType type = GreetingType::Text;
    QString content; // a file path (WavFile, Recorded) or the text to speak
    QString source;  // for the log: "caller 5551234", "First time period"
};

// A row of Msgs.d.
struct CallerGreeting
{
    QString msgId;
    QString callerId;
    int msgType = 1;
    QString wavFile;
    QString tts;
};

namespace greetings {

// "Default time period", "First time period", ... by period index.
extern const std::array<QString, 4> PeriodNames;
// The index of a period name or of "default", "first", "second", "third"; -1.
int periodIndex(const QString& name);

// "<data folder>/Msgs/", where greeting files recorded or imported live.
QString messagesFolder(const QString& dataFolder);
QString recordedCallerFile(const QString& dataFolder, const QString& msgId);
QString recordedPeriodFile(const QString& dataFolder, int period);

// Whether the period covers `now`, comparing whole seconds; a period whose
// start lies after its end spans midnight (22:00 to 06:00 is a night).
bool periodCovers(const PeriodSettings& period, const QTime& now);

} // namespace greetings

// The greeting for a call: the first caller row whose CallerID is the
// caller's number exactly, else the first enabled period (First, Second,
// Third) covering `now`, else the default period.
Greeting SelectGreeting(const std::vector<CallerGreeting>& callers, const GreetingPeriods& periods,
                        const QString& callerNumber, const QTime& now, const QString& dataFolder);
