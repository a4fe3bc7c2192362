#pragma once

#include "calls/Greeting.h"
#include "config/CurrentSettings.h"

#include <QString>
#include <optional>
#include <vector>

class CurrentSettings;
class GreetingTable;
class IniFile;

// What the "  Message  " group of both greeting dialogs edits: a type and
// its content, with the file a recorded greeting lives in.
struct GreetingMessage
{
    int msgType = 1;
    QString wav;
    QString tts;
    QString recordedFile;

    // What Play plays: the WAV file, the text, or the recorded file.
    Greeting greeting(const QString& source) const;
};

// A WAV file the line can play is used as it is; any other file the import
// reads becomes a WAV greeting in the Msgs folder under a free name. The
// path to store, or empty with *error.
QString greetingFileFor(const QString& dataFolder, const QString& file, QString* error, bool* imported = nullptr);

// The logic of the "Greeting Messages" dialog over Msgs.d: the rows by
// caller, the current one, and every change stored at once. Table errors
// raise TableError.
class GreetingMessagesForm
{
public:
    GreetingMessagesForm(GreetingTable& table, const QString& dataFolder);

    const std::vector<CallerGreeting>& rows() const { return m_rows; }
    bool hasRows() const { return !m_rows.empty(); }
    int current() const { return m_current; }
    void setCurrent(int index);
    // The current row's message; a text greeting when there is no row.
    GreetingMessage message() const;

    // "Add...": an empty (or blank) caller ID does nothing; otherwise a
    // text row with the default greeting, made current; its MsgId.
    std::optional<QString> add(const QString& callerId);
    void removeCurrent();
    void setType(int msgType);
    void setWavFile(const QString& path);
    void setText(const QString& text);

private:
    void reload(const QString& currentId);
    void store(const CallerGreeting& row);

    GreetingTable& m_table;
    QString m_dataFolder;
    std::vector<CallerGreeting> m_rows;
    int m_current = -1;
};

// The logic of the "Schedule" dialog: the four periods held for the run.
// A change reaches the answering machine at once; close() stores them.
class ScheduleForm
{
public:
    ScheduleForm(IniFile& ini, CurrentSettings& current, const QString& dataFolder);

    int current() const { return m_current; }
    void setCurrent(int period);
    const PeriodSettings& period() const { return m_periods[size_t(m_current)]; }
    // The default period covers the whole day: no flag, no times.
    bool editsTimes() const { return m_current != 0; }
    GreetingMessage message() const;

    void setEnabled(bool on);
    void setFrom(const QTime& from);
    void setTo(const QTime& to);
    void setType(int msgType);
    void setWavFile(const QString& path);
    void setText(const QString& text);

    // "Close": the four periods into their sections; false when the write failed.
    bool close();

private:
    void apply();

    IniFile& m_ini;
    CurrentSettings& m_settings;
    QString m_dataFolder;
    GreetingPeriods m_periods;
    int m_current = 0;
};
