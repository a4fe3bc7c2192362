#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What a call is at the moment, in one place.
enum class CallPhase : uint8_t {
    Idle,             // nothing, or the phone rang and stopped
    Ringing,          // rings are being counted
    AutoRecording,    // picked up on a handset and recorded
    Greeting,         // the answering machine plays its greeting
    MessageRecording, // the answering machine records the caller
    RemoteAccess,     // the owner listens to messages by DTMF
    ManualRecording,  // started by the user
    TurningAway,      // a blocked caller hears a click, tones or a greeting, then the line is freed
};

// What the lists made of the caller of this ringing.
enum class ScreenVerdict : uint8_t {
    Undecided, // no caller ID yet
    Unknown,   // on no list, and no screening
    Allowed,   // on the allow list: straight to the greeting
    Blocked,
    Challenge, // asked for a key before the greeting
};

// The session fields of the call handling. A call has an id; every timer
// and queued call carries the id it was made for and does nothing once
// that call has ended (endCall gives the next one a new id).
struct CallState
{
    static constexpr int MaxDtmfDigits = 64;

    quint64 callId = 1;
    CallPhase phase = CallPhase::Idle;
    int ringCount = 0;
    int periodicCount = 0;
    int64_t periodicLastBlock = 0;
    bool greetingIsTts = true;
    bool greetingStopped = false;
    bool trxEnded = false;
    bool portOpen = false;
    QString dtmfDigits;
    QByteArray ttsPcm;

    QString callerNumber;
    QString callerName;
    qint64 callerIdTick = -1; // when the caller ID came
    ScreenVerdict screen = ScreenVerdict::Undecided;
    int answerRings = 0; // a blocked caller sent to the answering machine: after these rings

    QDateTime recordStartTime;
    qint64 recordStartTick = 0;

    // The flags the spoken-of algorithms test, from the phase.
    bool autoRecording() const { return phase == CallPhase::AutoRecording; }
    bool answeringCall() const { return phase == CallPhase::Greeting || phase == CallPhase::MessageRecording; }
    bool remoteAccess() const { return phase == CallPhase::RemoteAccess; }
    bool recording() const
    {
        return phase == CallPhase::AutoRecording || phase == CallPhase::MessageRecording
            || phase == CallPhase::ManualRecording;
    }

    void addDtmf(char digit)
    {
        dtmfDigits.append(QLatin1Char(digit));
        if (dtmfDigits.size() > MaxDtmfDigits)
            dtmfDigits.remove(0, dtmfDigits.size() - MaxDtmfDigits);
    }
    void clearCaller()
    {
        callerNumber.clear();
        callerName.clear();
        callerIdTick = -1;
        screen = ScreenVerdict::Undecided;
        answerRings = 0;
    }
    // The call is over: every flag cleared, the caller forgotten, a new id.
    void endCall()
    {
        ++callId;
        phase = CallPhase::Idle;
        ringCount = 0;
        periodicCount = 0;
        greetingIsTts = true;
        trxEnded = false;
        dtmfDigits.clear();
        clearCaller();
    }
};
