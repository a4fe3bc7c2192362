#pragma once

#include "calls/CallAnswerer.h"
#include "calls/CallClock.h"
#include "calls/Greeting.h"
#include "calls/LineOutput.h"
#include "calls/MessageContent.h"
#include "calls/RemoteCodeTries.h"

#include <QObject>
#include <QString>
#include <memory>

class CallScreen;
class Catalogue;
class CurrentSettings;
class EventLog;
class GreetingTable;
class LineEvents;
class RecordingController;
class RecordingView;
class RemoteAccess;
class SpokenTexts;
class TQVMdsp;
class TQVModem253;
struct CallState;
struct RecordingSession;

// The answering machine: takes the line after the rings, plays the
// greeting SelectGreeting picks, the beep, and records the caller's
// message until a disconnect, the message time or the hang-up sequence.
// The owner's remote code, during the greeting, the beep or the first
// seconds of the message (modems that hear no keys while they transmit),
// starts remote access.
//
// Whatever fails, the call goes on towards the message or ends: a greeting
// that cannot be played is logged and skipped, a refused beep is sent as
// a tone, and nothing is sent once the call has ended.
class AnsweringMachine : public QObject, public CallAnswerer
{
    Q_OBJECT
public:
    struct Parts
    {
        TQVModem253& engine;
        TQVMdsp& dsp;
        LineEvents& events;
        CurrentSettings& settings;
        CallState& state;
        RecordingController& controller;
        EventLog& log;
        CallClock& clock;
        RecordingView& view;
        Catalogue& catalogue;
        SpokenTexts& texts;
        GreetingTable* greetings; // null when Msgs.d cannot be opened
        QString dataFolder;
    };
    static constexpr int OwnerKeysMs = 10000;
    static constexpr int BeepMs = 600;
    static constexpr int WrongCodesToHangUp = 3;
    static constexpr int PendingDigitRetryMs = 20;
    static inline const QString BeepCommand = QStringLiteral("at+vts={A,60}");
    static inline const QString MissedCallComment = QStringLiteral("Missed call");
    static inline const QString NotInServiceText = QStringLiteral("The number you have dialled is not in service.");
    // Long enough for the exchange to see the call answered: the caller hears a click.
    static constexpr int HangUpHoldMs = 500;

    explicit AnsweringMachine(Parts parts, QObject* parent = nullptr);
    ~AnsweringMachine() override;

    void answerCall() override;
    void digitReceived() override;
    void handsetLifted() override;
    void turnAway(const ScreenDecision& decision) override;
    // The owner picks the call up from the window while the machine greets
    // or records: as a handset lifted. False when the machine has no call.
    bool pickUp();
    void setScreen(CallScreen* screen) { m_screen = screen; }
    // Renders every text greeting and the remote access texts ahead, in the
    // voice of the settings.
    void prepareTexts();
    Greeting selectGreeting(const QString& callerNumber, const QTime& now);
    // 1 kHz, BeepMs long, 8 kHz 8-bit unsigned: the beep of a modem that
    // refuses +VTS.
    static QByteArray beepTone();
    // The three rising tones of a number not in service, then a pause.
    static QByteArray informationTones();

private:
    bool current() const;
    bool takeLine();
    void sendTurnAway(const ScreenDecision& decision);
    void turnedAway(const QString& action);
    void startChallenge(const Greeting& greeting);
    void challengeAsked(LineOutput::Result result);
    void challengeKey(QChar digit);
    void challengeFailed();
    void startGreeting(const Greeting& greeting);
    void speakGreeting(const QString& text);
    void greetingEnded(LineOutput::Result result);
    void beep();
    void startMessageRecording();
    void enterRemoteAccess();
    bool ownerKeysHeard() const;
    void handleDigit(QChar digit);
    void armPendingDigits();
    void handlePendingDigits();
    void checkRemoteCode(QChar digit);
    void remoteCodeTry(RemoteCodeTries::Result result);
    void freeLineOfEndedCall();
    void describe(RecordingSession& session);
    void audio(const uint8_t* data, int size);

    Parts m_;
    LineOutput m_line;
    std::unique_ptr<RemoteAccess> m_remote;
    MessageContent m_content;
    quint64 m_callId = 0;       // the call this machine has taken
    bool m_message = false;     // its message is being recorded
    bool m_ownerKeys = false;   // the owner's keys ended the message
    qint64 m_messageStartTick = 0;
    int m_wrongCodes = 0;
    RemoteCodeTries m_tries;
    quint64 m_digitSerial = 0;  // the pause timer of the latest digit only
    QString m_pendingDigits;    // keys that came while a stream was being started
    bool m_pendingArmed = false;
    CallScreen* m_screen = nullptr;
    bool m_challenging = false; // the caller is asked for the key
    Greeting m_challengeGreeting; // what a caller who passes hears
};
