#include "calls/AnsweringMachine.h"

#include "calls/MessageTail.h"

#include "calls/CallState.h"
#include "calls/EventLog.h"
#include "calls/GreetingTable.h"
#include "calls/LineEvents.h"
#include "calls/RecordingController.h"
#include "calls/RecordingView.h"
#include "calls/RemoteAccess.h"
#include "calls/SpokenTexts.h"
#include "calls/TvModem.h"
#include "catalogue/Catalogue.h"
#include "catalogue/TableError.h"
#include "config/CurrentSettings.h"
#include "config/SettingsCatalogue.h"
#include "linedsp/TQVMdsp.h"
#include "modem/TQVModem253.h"

#include <cmath>
#include <numbers>

AnsweringMachine::AnsweringMachine(Parts parts, QObject* parent)
    : QObject(parent), m_(std::move(parts)), m_line(m_.engine, m_.events, m_.texts, m_.clock, m_.log)
{
    m_remote = std::make_unique<RemoteAccess>(RemoteAccess::Parts{m_.state, m_.controller, m_.log, m_.clock,
                                                                  m_.view, m_.catalogue, m_line});
    m_line.setAllowed([this] { return current(); });
    m_.controller.describeRecording = [this](RecordingSession& session) { describe(session); };
    connect(&m_.events, &LineEvents::pcmData, this, &AnsweringMachine::audio, Qt::DirectConnection);
}

AnsweringMachine::~AnsweringMachine()
{
    m_.controller.describeRecording = nullptr;
}

// A call being stopped is no longer the machine's: nothing more is sent
// (a beep sent inside the stop's on-hook command would take its answer).
bool AnsweringMachine::current() const
{
    const CallPhase phase = m_.state.phase;
    return m_.state.callId == m_callId && !m_.controller.stopping()
        && (phase == CallPhase::Greeting || phase == CallPhase::MessageRecording || phase == CallPhase::RemoteAccess
            || phase == CallPhase::TurningAway);
}

QByteArray AnsweringMachine::beepTone()
{
    QByteArray tone(BeepMs * 8, char(0x80));
    for (qsizetype i = 0; i < tone.size(); ++i)
        tone[i] = char(128 + std::lround(90.0 * std::sin(2 * std::numbers::pi * 1000.0 * double(i) / 8000.0)));
    return tone;
}

void AnsweringMachine::freeLineOfEndedCall()
{
    if (m_.engine.portIsOpen() && m_.engine.cmdOnHook() != TQVModem253::ReplyOk) {
        m_.log.LogEvent(QStringLiteral("<ERROR> The modem did not confirm the on-hook command: the port is closed "
                                       "to free the line"));
        m_.controller.Rebind();
    }
}

// --- Greetings --------------------------------------------------------------------

Greeting AnsweringMachine::selectGreeting(const QString& callerNumber, const QTime& now)
{
    std::vector<CallerGreeting> rows;
    if (m_.greetings) {
        try {
            rows = m_.greetings->rows();
        } catch (const TableError& e) {
            m_.log.LogEvent(QStringLiteral("<ERROR> ") + e.message());
        }
    }
    return SelectGreeting(rows, m_.settings.values().periods, callerNumber, now, m_.dataFolder);
}

void AnsweringMachine::prepareTexts()
{
    const CallSettings& s = m_.settings.values();
    m_.texts.setVoice(s.ttsVoice, s.ttsVoiceId, s.ttsVolume);
    QStringList texts = RemoteAccess::fixedTexts();
    texts << settings::DefaultGreetingText << NotInServiceText << s.challengeText << s.blockGreeting;
    for (const PeriodSettings& p : s.periods)
        if (p.msgType == int(GreetingType::Text))
            texts << p.tts;
    if (m_.greetings) {
        try {
            for (const CallerGreeting& row : m_.greetings->rows())
                if (row.msgType == int(GreetingType::Text))
                    texts << row.tts;
        } catch (const TableError&) {
        }
    }
    m_.texts.prepare(texts);
}

// --- Answering ----------------------------------------------------------------------

// False (the line freed) when the modem did not take it or the call ended meanwhile.
bool AnsweringMachine::takeLine()
{
    const quint64 callId = m_.state.callId;
    const bool voice = m_.engine.GetModemMode() == TQVModem253::ModeVoice
                    || m_.engine.SetVoiceMode() == TQVModem253::ReplyOk;
    if (!voice || m_.engine.cmdVls() != TQVModem253::ReplyOk) {
        m_.log.LogEvent(QStringLiteral("<ERROR> The modem did not take the line: the call is not answered"));
        freeLineOfEndedCall(); // a take that timed out may still have happened
        return false; // the rings are counted again
    }
    if (callId != m_.state.callId || m_.state.phase != CallPhase::Ringing) {
        m_.log.LogEvent(QStringLiteral("The call ended while the line was taken: it is freed"));
        freeLineOfEndedCall();
        return false;
    }
    m_callId = callId;
    m_message = m_ownerKeys = false;
    m_challenging = false;
    m_wrongCodes = 0;
    m_.state.trxEnded = false;
    m_.state.greetingStopped = false;
    m_.state.dtmfDigits.clear(); // no digit from before the call counts
    return true;
}

void AnsweringMachine::answerCall()
{
    m_.log.LogEvent(QStringLiteral("Answering machine"));
    const CallSettings& s = m_.settings.values();
    m_.texts.setVoice(s.ttsVoice, s.ttsVoiceId, s.ttsVolume);
    const Greeting greeting = selectGreeting(m_.state.callerNumber, m_.clock.now().time());
    if (!takeLine())
        return;
    m_tries.setCode(s.remoteCode);
    m_tries.reset();
    m_.state.phase = CallPhase::Greeting;
    m_.view.showTransport(TransportMode::Answering);
    if (m_.state.screen == ScreenVerdict::Challenge) {
        startChallenge(greeting);
        return;
    }
    m_.log.LogEvent(QStringLiteral("Greeting: ") + greeting.source);
    startGreeting(greeting);
}

void AnsweringMachine::startGreeting(const Greeting& greeting)
{
    if (greeting.type == GreetingType::Text) {
        speakGreeting(greeting.content.trimmed().isEmpty() ? settings::DefaultGreetingText : greeting.content);
        return;
    }
    QString why;
    if (LineOutput::wavFileMs(greeting.content, &why) < 0) {
        m_.log.LogEvent(QStringLiteral("<ERROR> The greeting cannot be played: ") + why);
        speakGreeting(settings::DefaultGreetingText);
        return;
    }
    m_.state.greetingIsTts = false;
    m_line.playFile(greeting.content, [this](LineOutput::Result r) { greetingEnded(r); });
}

void AnsweringMachine::speakGreeting(const QString& text)
{
    m_.state.greetingIsTts = true;
    if (!m_.texts.available()) {
        m_.log.LogEvent(QStringLiteral("<ERROR> No greeting can be spoken: ") + m_.texts.unavailableMessage());
        greetingEnded(LineOutput::Result::Failed);
        return;
    }
    m_line.speak(text, [this](LineOutput::Result r) { greetingEnded(r); });
}

// Played or not, the caller may leave a message; only a modem that does
// not end its stream ends the call.
void AnsweringMachine::greetingEnded(LineOutput::Result result)
{
    if (!current() || m_.state.phase != CallPhase::Greeting)
        return;
    if (result == LineOutput::Result::TimedOut) {
        m_.log.LogEvent(QStringLiteral("<ERROR> The modem did not end the greeting: the call ends"));
        m_.controller.Stop();
        m_.controller.Rebind();
        return;
    }
    beep();
}

void AnsweringMachine::beep()
{
    if (!m_.settings.values().beep)
        return startMessageRecording();
    const int reply = m_.engine.SendCommand(BeepCommand); // its wait may hear the owner's keys
    if (!current() || m_.state.phase != CallPhase::Greeting)
        return;
    if (reply == TQVModem253::ReplyOk)
        return startMessageRecording();
    m_.log.LogEvent(QStringLiteral("The modem refused the beep: a tone is sent instead"));
    m_line.send(beepTone(), [this](LineOutput::Result result) {
        if (!current() || m_.state.phase != CallPhase::Greeting)
            return;
        if (result == LineOutput::Result::TimedOut) {
            m_.controller.Stop();
            m_.controller.Rebind();
            return;
        }
        startMessageRecording();
    });
}

void AnsweringMachine::startMessageRecording()
{
    if (!current() || m_.state.phase != CallPhase::Greeting || m_.state.greetingStopped) {
        m_.state.greetingStopped = false;
        return;
    }
    const CallSettings& s = m_.settings.values();
    m_.state.periodicCount = 0;
    TvModem::armDetector(m_.dsp, s);
    m_.state.dtmfDigits.clear();
    m_content.reset();
    m_message = true;
    m_messageStartTick = m_.clock.tickMs();
    if (s.maxMsgEnable) {
        const quint64 callId = m_callId;
        m_.clock.after(s.msgTime * 1000, [this, callId] {
            if (callId == m_.state.callId && m_.state.phase == CallPhase::MessageRecording
                && !m_.controller.stopping()) {
                m_.log.LogEvent(QStringLiteral("Message time reached"));
                m_.controller.Stop();
            }
        });
    }
    if (!m_.controller.Record(CallPhase::MessageRecording))
        m_message = false;
    m_.state.greetingStopped = false;
}

void AnsweringMachine::audio(const uint8_t* data, int size)
{
    if (m_message && m_.state.phase == CallPhase::MessageRecording)
        m_content.process(data, size);
}

// --- The caller's keys ----------------------------------------------------------------

bool AnsweringMachine::ownerKeysHeard() const
{
    const CallPhase phase = m_.state.phase;
    return phase == CallPhase::Greeting
        || (phase == CallPhase::MessageRecording && m_message
            && m_.clock.tickMs() - m_messageStartTick < OwnerKeysMs);
}

// Keys that come inside the wait for a transmit stream's CONNECT wait for
// it: acting on them there would send commands into that wait.
void AnsweringMachine::digitReceived()
{
    if (!current() || m_.state.dtmfDigits.isEmpty())
        return;
    const QChar digit = m_.state.dtmfDigits.back();
    if (!m_line.starting() && m_pendingDigits.isEmpty())
        return handleDigit(digit);
    m_pendingDigits.append(digit);
    armPendingDigits();
}

void AnsweringMachine::armPendingDigits()
{
    if (m_pendingArmed)
        return;
    m_pendingArmed = true;
    const quint64 callId = m_callId;
    m_.clock.after(PendingDigitRetryMs, [this, callId] {
        m_pendingArmed = false;
        if (callId == m_.state.callId)
            handlePendingDigits();
        else
            m_pendingDigits.clear();
    });
}

void AnsweringMachine::handlePendingDigits()
{
    if (m_line.starting())
        return armPendingDigits();
    const QString digits = std::exchange(m_pendingDigits, QString());
    for (const QChar digit : digits)
        if (current())
            handleDigit(digit);
}

void AnsweringMachine::handleDigit(QChar digit)
{
    const CallSettings& s = m_.settings.values();
    const QString& digits = m_.state.dtmfDigits;
    if (!s.hangupSeq.isEmpty() && digits == s.hangupSeq) {
        m_.controller.queueStop(m_callId); // the caller's way to end: a message stays a message
        return;
    }
    if (m_.state.phase == CallPhase::RemoteAccess) {
        m_remote->digitReceived();
        return;
    }
    if (m_challenging) {
        challengeKey(digit);
        return;
    }
    if (ownerKeysHeard())
        checkRemoteCode(digit);
}

void AnsweringMachine::checkRemoteCode(QChar digit)
{
    m_tries.setCode(m_.settings.values().remoteCode);
    remoteCodeTry(m_tries.digit(digit));
    if (!current())
        return;
    const quint64 serial = ++m_digitSerial;
    const quint64 callId = m_callId;
    m_.clock.after(RemoteCodeTries::PauseMs, [this, serial, callId] {
        if (serial == m_digitSerial && callId == m_.state.callId && current() && ownerKeysHeard())
            remoteCodeTry(m_tries.pause());
    });
}

void AnsweringMachine::remoteCodeTry(RemoteCodeTries::Result result)
{
    if (result == RemoteCodeTries::Result::Match) {
        m_ownerKeys = m_.state.phase == CallPhase::MessageRecording;
        enterRemoteAccess();
        return;
    }
    if (result == RemoteCodeTries::Result::Pending)
        return;
    m_.state.dtmfDigits.clear();
    m_.log.LogEvent(QStringLiteral("Wrong remote code"));
    if (++m_wrongCodes >= WrongCodesToHangUp) {
        m_.log.LogEvent(QStringLiteral("%1 wrong remote codes: hanging up").arg(m_wrongCodes));
        m_ownerKeys = m_.state.phase == CallPhase::MessageRecording; // someone's tries, not a message
        m_.controller.queueStop(m_callId);
    }
}

void AnsweringMachine::handsetLifted()
{
    if (!current() || m_.state.phase == CallPhase::RemoteAccess)
        return;
    m_message = false; // a conversation now, heard by whoever picked up
    m_challenging = false;
    if (m_.state.phase == CallPhase::MessageRecording) {
        m_.state.phase = CallPhase::AutoRecording;
        return;
    }
    if (!m_line.cancel()) {
        m_.controller.Stop();
        m_.controller.Rebind();
        return;
    }
    m_.state.greetingStopped = false;
    m_.state.periodicCount = 0;
    TvModem::armDetector(m_.dsp, m_.settings.values());
    m_.controller.Record(CallPhase::AutoRecording);
}

void AnsweringMachine::enterRemoteAccess()
{
    m_.log.LogEvent(QStringLiteral("-- Remote access"));
    m_.state.dtmfDigits.clear();
    bool stopped = true;
    if (m_.state.phase == CallPhase::MessageRecording)
        m_.controller.saveAndKeepLine(); // kept, but not as a new message
    else
        stopped = m_line.cancel();
    m_message = false;
    m_.state.phase = CallPhase::RemoteAccess;
    if (!stopped) {
        m_.log.LogEvent(QStringLiteral("<ERROR> The greeting could not be stopped"));
        m_.controller.Stop();
        m_.controller.Rebind();
        return;
    }
    // Started from the event loop, not inside the wait that heard the code.
    const quint64 callId = m_callId;
    m_.clock.after(0, [this, callId] {
        if (callId == m_.state.callId && m_.state.phase == CallPhase::RemoteAccess)
            m_remote->start();
    });
}

void AnsweringMachine::describe(RecordingSession& session)
{
    if (m_.state.callId != m_callId || !m_message)
        return;
    m_message = false;
    if (m_ownerKeys) {
        session.heard = true;
        return;
    }
    if (m_content.holdsVoice()) {
        MessageTail::cut(session, m_content.lastVoiceEndMs());
        return;
    }
    session.heard = true;
    session.comment = MissedCallComment;
    m_.log.LogEvent(QStringLiteral("Missed call %1 %2").arg(session.callerNumber, session.callerName).trimmed());
}
