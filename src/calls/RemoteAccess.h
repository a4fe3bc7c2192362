#pragma once

#include "calls/CallClock.h"
#include "calls/LineOutput.h"
#include "catalogue/Catalogue.h"

#include <QString>
#include <QStringList>
#include <vector>

class EventLog;
class RecordingController;
class RecordingView;
struct CallState;

// The owner listens to the new messages by telephone: how many there are,
// then each with its number, date, time and caller, and a menu (1 repeats,
// 2 goes on) after each. Driven by the ends of its transmissions, the
// caller's digits and timers, so every wait has an end: a text or message
// the modem does not finish within its length and a margin re-binds the
// modem, a caller who presses nothing hears "Good bye.".
//
// A message is marked heard, by its id, once it was played or skipped by
// the caller's key.
class RemoteAccess
{
public:
    struct Parts
    {
        CallState& state;
        RecordingController& controller;
        EventLog& log;
        CallClock& clock;
        RecordingView& view;
        Catalogue& catalogue;
        LineOutput& line;
    };
    static constexpr int DigitWaitMs = 3000;
    static inline const QString NoMessagesText =
        QStringLiteral("You have no new messages to your answering machine. Good-bye.");
    static inline const QString MenuText = QStringLiteral("Press 1 to repeat message. Press 2 to play next message.");
    static inline const QString MissingFileText = QStringLiteral("Recording to be played could not be found");
    static inline const QString GoodByeText = QStringLiteral("Good bye.");
    static QStringList fixedTexts() { return {NoMessagesText, MenuText, MissingFileText, GoodByeText}; }
    static QString countText(int count);
    static QString announcement(int number, const NewMessage& message);

    explicit RemoteAccess(Parts parts);
    ~RemoteAccess();

    // The greeting has been stopped: the count, then the first message.
    void start();
    void digitReceived();

private:
    enum class Step { Idle, Count, Announce, Play, Notice, Menu, DigitWait, GoodBye };
    using After = void (RemoteAccess::*)();
    void say(const QString& text, Step step, After next, const char* limitLine);
    bool current() const;
    void announce();
    void play();
    void played();
    void menu();
    void waitForDigit();
    void decide();
    void goodBye();
    void finish();
    void rebind(const char* line);
    void markHeard();

    Parts m_;
    Step m_step = Step::Idle;
    quint64 m_callId = 0;
    std::vector<NewMessage> m_rows;
    size_t m_row = 0;
    int m_heard = 0;
    bool m_announce = true;
    CallClock::TimerId m_digitTimer = 0;
};
