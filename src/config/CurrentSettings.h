#pragma once

#include <QString>
#include <QTime>
#include <array>
#include <optional>

class IniFile;

// One greeting period of the schedule (the default period is index 0).
struct PeriodSettings
{
    bool enabled = false;
    QTime from, to;
    int msgType = 1; // 0 WAV file, 1 spoken text, 2 recorded greeting
    QString wav;
    QString tts;

    bool operator==(const PeriodSettings&) const = default;
};
using GreetingPeriods = std::array<PeriodSettings, 4>;

// What the call handling reads "from the settings dialog": one snapshot of
// the values, so a call decides with the settings it started with.
struct CallSettings
{
    bool autoRecord = true;
    bool silence = false, periodic = false, cadence = false, callProgress = true;
    int discTime = 10;
    bool answeringMachine = true;
    int amRings = 4;
    bool beep = true;
    int msgTime = 20;
    bool maxMsgEnable = true;
    QString hangupSeq;  // blanks around it removed
    QString remoteCode; // blanks removed
    int ttsVoice = 0;
    QString ttsVoiceId;
    int ttsVolume = 100;
    bool callerId = true;
    bool recordTrace = true;
    GreetingPeriods periods;
    // Call screening.
    bool screenUnknown = false;
    QString blockAction; // the name of the default action for blocked callers
    int blockRings = 6;
    QString blockGreeting;
    QChar challengeKey = QLatin1Char('1');
    QString challengeText;
    int challengeSeconds = 6;
    bool allowPassers = false;
    bool liveScreening = false;

    static CallSettings read(const IniFile& ini);
    static GreetingPeriods readPeriods(const IniFile& ini);
    // As one write; false when it failed (IniFile::lastError).
    static bool writePeriods(IniFile& ini, const GreetingPeriods& periods);
};

// The current settings: loaded from vlm.ini at start, replaced when the
// settings dialog is confirmed, and reloaded between calls when the file
// changed on disk (velmora-cli set while the service runs).
class CurrentSettings
{
public:
    explicit CurrentSettings(const IniFile& ini);

    const CallSettings& values() const { return m_values; }
    void replace(const CallSettings& values);
    // The schedule as the Schedule dialog holds it: used from the next call
    // on and kept over reloads until the run ends or it is stored.
    void setPeriods(const GreetingPeriods& periods);
    // The schedule was written to the file: the file's is the one again.
    void periodsStored();
    // Reads the file again when it changed since the last read; true then.
    bool reloadIfChanged();

private:
    const IniFile& m_ini;
    CallSettings m_values;
    std::optional<GreetingPeriods> m_periods;
    quint64 m_version = 0;
};
