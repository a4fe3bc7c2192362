#pragma once

#include "calls/CallState.h"

#include <QString>
#include <functional>

class Catalogue;
struct RecordingSession;
class CallClock;
class EventLog;
class IniFile;
class RecordingView;
class TQVMdsp;
class TQVModem253;

// The main window's Record, Stop, SaveRecording, Bind and Release without
// the window: the call session drives them, the desktop program and the
// headless service show what they publish through a RecordingView.
//
// Stop acts on the call's phase. It cannot re-enter itself (the engine's
// waits run handlers inside it); Stop asked for by an event comes through
// queueStop and is dropped when its call has ended meanwhile. Every Stop
// ends with the line on hook, no transmission, and the call's flags clear.
class RecordingController
{
public:
    struct Parts
    {
        TQVModem253& engine;
        TQVMdsp& dsp;
        Catalogue& catalogue;
        EventLog& log;
        CallClock& clock;
        CallState& state;
        RecordingView& view;
        IniFile& ini;
    };
    explicit RecordingController(Parts parts);

    // acRecord: records the line into Recorded.wav as `phase` (a manual
    // recording unless the session says otherwise). False when it did not
    // start; the call is then over.
    bool Record(CallPhase phase = CallPhase::ManualRecording);
    // acRestore. `modemStalled`: the modem sends nothing, so it is not asked
    // to end its stream: the port is closed at once (which frees the line)
    // and bound again a moment later.
    void Stop(bool modemStalled = false);
    // Stop for the call `callId`, once the event that asks for it is over.
    void queueStop(quint64 callId);
    // Ends the recording under way and catalogues it, keeping the line:
    // the owner called in during the message.
    void saveAndKeepLine();
    // acModemOn, acModemOff.
    bool Bind();
    bool Release();
    // The modem definition (or the diagnostics) needs the port: released, and
    // not bound again by itself (also while a re-bind is being tried) until Bind.
    void releaseForDefinition(const QString& purpose = QStringLiteral("the modem definition"));
    // Releases the modem and binds it again a moment later (a modem that
    // stopped answering within a call).
    void Rebind();

    bool stopping() const { return m_stopping; }
    // The user released the modem: a closed port is not a modem gone.
    bool userReleased() const { return m_userReleased; }
    bool voiceFeatures() const;
    // Called whenever a recording has started, and whenever a call has ended.
    std::function<void()> onRecordingStarted;
    std::function<void()> onCallEnded;
    // A bind this program did by itself (after a modem that stopped
    // answering) failed: the modem is to be tried again until it answers.
    std::function<void()> onOwnBindFailed;
    // May change what the row of a recording being saved says.
    std::function<void(RecordingSession&)> describeRecording;
    // A recording has been catalogued (newMessage: as a message not heard yet).
    std::function<void(const RecordingSession&, bool newMessage)> onRecordingSaved;

private:
    void bindAgain();
    void bindLater();
    bool freeLine();
    void stopRecording();
    void stopGreeting(bool remote);
    void stopTransmission();
    // True when the row was added as a new message.
    bool SaveRecording();
    void endCall();
    QString portText() const;
    QString recordedPath() const;

    Parts m_;
    bool m_stopping = false;
    bool m_userReleased = false;
    QString m_recordedPath;
};
