#pragma once

#include "core/TextSink.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <vector>

// The event log: every subsystem's lines, held in memory and kept in
// Events.log of the data folder. At 3000 lines they are written out and
// the memory starts empty; the file written then is kept as Events.1.log
// at the next save, so no line is lost. Lines logged before the log is
// opened are kept and follow "---------- New session ----------".
//
// Lines may come from any thread (a transmit worker's engine log).
class EventLog : public TextSink
{
public:
    static constexpr int FlushLines = 3000;
    static inline const QString FileName = QStringLiteral("Events.log");
    static inline const QString PreviousFileName = QStringLiteral("Events.1.log");
    static inline const QString NewSessionLine = QStringLiteral("---------- New session ----------");
    static inline const QString EndSessionLine = QStringLiteral("---------- End session ----------");

    // Loads the folder's Events.log and starts the session.
    void open(const QString& dataFolder);
    void LogEvent(const QString& text);
    void appendLine(const QString& line) override { LogEvent(line); }
    // Writes the lines held to Events.log; false (with error()) when the
    // file could not be written, the lines are then still held.
    bool save();
    // "---------- End session ----------", then save.
    bool endSession();

    // Every line also goes to these (stdout, a log window); they must accept
    // calls from any thread.
    void addMirror(TextSink* sink);
    void removeMirror(TextSink* sink);
    QStringList lines() const;
    QString error() const;

private:
    bool writeOut();
    QString path(const QString& name) const;

    mutable QMutex m_mutex;
    QString m_folder; // empty until open
    QStringList m_lines;
    QStringList m_early;
    bool m_fileHoldsFlushed = false; // Events.log holds lines no longer in memory
    std::vector<TextSink*> m_mirrors;
    QString m_error;
};
