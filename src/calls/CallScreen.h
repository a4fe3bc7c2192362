#pragma once

#include "calls/CallState.h"
#include "calls/CallerLists.h"

#include <QDateTime>
#include <QMetaType>
#include <QObject>
#include <QString>

class CallClock;
class CallerListTable;
class Catalogue;
class CurrentSettings;
class EventLog;

// What the lists make of a caller, resolved against the settings.
struct ScreenDecision
{
    ScreenVerdict verdict = ScreenVerdict::Unknown;
    BlockAction action = BlockAction::HangUp; // never Default
    int rings = 0;                            // Rings
    QString greeting;                         // Greeting
    QString reason;                           // "block list: 0900*", for the log
};

// A screened call, as the log, the catalogue and a notifier see it.
struct ScreenEvent
{
    enum class Kind : uint8_t { Blocked, ChallengePassed, ChallengeFailed, Waiting };
    Kind kind = Kind::Blocked;
    QString number; // printable
    QString name;   // printable
    QString action; // what was done: "hung up", "put through", ...
    QDateTime when;
};
Q_DECLARE_METATYPE(ScreenEvent) // a notifier may follow it queued

// Decides at caller-ID time whether a caller is allowed, blocked or
// challenged, and reports every screened call: a line of the event log, a
// row of the "Blocked calls" folder (no audio) and the callScreened signal,
// which a desktop notifier follows.
class CallScreen : public QObject
{
    Q_OBJECT
public:
    static inline const QString FolderName = QStringLiteral("Blocked calls");
    static inline const QString PasserNote = QStringLiteral("passed the key check");

    struct Parts
    {
        EventLog& log;
        Catalogue& catalogue;
        CurrentSettings& settings;
        CallClock& clock;
        CallerListTable* lists; // null when Lists.d cannot be opened: nobody is blocked
    };
    explicit CallScreen(Parts parts, QObject* parent = nullptr);

    ScreenDecision decide(const CallerIdentity& caller);
    void report(ScreenEvent::Kind kind, const QString& number, const QString& name, const QString& action);
    // Puts a caller who passed the key check on the allow list, when the
    // settings say so and the number is one.
    void allowPasser(const QString& number);

signals:
    void callScreened(const ScreenEvent& event);

private:
    ScreenDecision blocked(const ListEntry& entry);
    void logDecision(const CallerIdentity& caller, const ScreenDecision& decision);

    Parts m_;
};
