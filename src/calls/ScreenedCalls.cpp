// The answering machine's part in call screening: blocked callers turned
// away, and unknown callers asked for a key before the greeting.
#include "calls/AnsweringMachine.h"

#include "calls/CallScreen.h"
#include "calls/CallState.h"
#include "calls/EventLog.h"
#include "calls/RecordingController.h"
#include "calls/RecordingView.h"
#include "calls/SpokenTexts.h"
#include "config/CurrentSettings.h"

#include <cmath>
#include <numbers>

namespace {

struct Tone
{
    double hz;
    int ms;
};

// The special information tones of a vacant number.
constexpr Tone InformationTones[] = {{913.8, 274}, {1370.6, 274}, {1776.7, 380}};
constexpr int TonesPauseMs = 300;

void appendTone(QByteArray& out, const Tone& tone)
{
    const qsizetype start = out.size();
    out.resize(start + tone.ms * 8);
    for (qsizetype i = 0; i < tone.ms * 8; ++i)
        out[start + i] = char(128 + std::lround(80.0 * std::sin(2 * std::numbers::pi * tone.hz * double(i) / 8000.0)));
}

} // namespace

QByteArray AnsweringMachine::informationTones()
{
    QByteArray out;
    for (const Tone& tone : InformationTones)
        appendTone(out, tone);
    out.append(QByteArray(TonesPauseMs * 8, char(0x80)));
    return out;
}

void AnsweringMachine::turnAway(const ScreenDecision& decision)
{
    if (!takeLine())
        return;
    m_.state.phase = CallPhase::TurningAway;
    m_.view.hideCallerId(); // nobody to pick up for
    m_.view.showTransport(TransportMode::Answering);
    const quint64 callId = m_callId;
    switch (decision.action) {
    case BlockAction::Tones:
    case BlockAction::Greeting:
        sendTurnAway(decision);
        return;
    default:
        m_.clock.after(HangUpHoldMs, [this, callId] {
            if (callId == m_.state.callId && current())
                turnedAway(callerlists::actionText(BlockAction::HangUp));
        });
        return;
    }
}

void AnsweringMachine::sendTurnAway(const ScreenDecision& decision)
{
    const quint64 callId = m_callId;
    m_.state.greetingIsTts = true;
    if (decision.action == BlockAction::Greeting) {
        m_line.speak(decision.greeting, [this](LineOutput::Result) { turnedAway(QStringLiteral("own greeting, hung up")); });
        return;
    }
    // The tones go out even when no text can be spoken.
    m_.texts.render(NotInServiceText, [this, callId](const QByteArray& text, const QString&) {
        if (callId != m_.state.callId || !current())
            return;
        m_line.send(informationTones() + text,
                    [this](LineOutput::Result) { turnedAway(QStringLiteral("not-in-service tones, hung up")); });
    });
}

void AnsweringMachine::turnedAway(const QString& action)
{
    if (!current() || m_.state.phase != CallPhase::TurningAway)
        return;
    if (m_screen)
        m_screen->report(ScreenEvent::Kind::Blocked, m_.state.callerNumber, m_.state.callerName, action);
    m_.controller.Stop();
}

bool AnsweringMachine::pickUp()
{
    const CallPhase phase = m_.state.phase;
    if (!current() || (phase != CallPhase::Greeting && phase != CallPhase::MessageRecording))
        return false;
    m_.log.LogEvent(QStringLiteral("Picked up from the window: the call is taken over"));
    handsetLifted();
    return true;
}

// --- The key check -------------------------------------------------------------------

void AnsweringMachine::startChallenge(const Greeting& greeting)
{
    const CallSettings& s = m_.settings.values();
    m_challengeGreeting = greeting;
    if (!m_.texts.available()) {
        m_.log.LogEvent(QStringLiteral("<ERROR> The caller cannot be asked for the key: ") + m_.texts.unavailableMessage());
        m_.log.LogEvent(QStringLiteral("Greeting: ") + greeting.source);
        startGreeting(greeting);
        return;
    }
    m_challenging = true;
    m_.log.LogEvent(QStringLiteral("Key check: the caller is asked for %1").arg(s.challengeKey));
    m_.state.greetingIsTts = true;
    m_line.speak(s.challengeText, [this](LineOutput::Result r) { challengeAsked(r); });
}

// The caller has the settings' seconds from the end of the question.
void AnsweringMachine::challengeAsked(LineOutput::Result result)
{
    if (!current() || !m_challenging)
        return;
    if (result == LineOutput::Result::TimedOut) {
        m_.log.LogEvent(QStringLiteral("<ERROR> The modem did not end the question: the call ends"));
        m_.controller.Stop();
        m_.controller.Rebind();
        return;
    }
    const quint64 callId = m_callId;
    m_.clock.after(m_.settings.values().challengeSeconds * 1000, [this, callId] {
        if (callId == m_.state.callId && m_challenging && current())
            challengeFailed();
    });
}

void AnsweringMachine::challengeKey(QChar digit)
{
    if (digit != m_.settings.values().challengeKey)
        return;
    m_challenging = false;
    if (!m_line.cancel()) { // the question may still be playing
        m_.controller.Stop();
        m_.controller.Rebind();
        return;
    }
    m_.state.dtmfDigits.clear();
    if (m_screen) {
        m_screen->report(ScreenEvent::Kind::ChallengePassed, m_.state.callerNumber, m_.state.callerName,
                         QStringLiteral("put through"));
        m_screen->allowPasser(m_.state.callerNumber);
    }
    if (!current())
        return;
    m_.log.LogEvent(QStringLiteral("Greeting: ") + m_challengeGreeting.source);
    startGreeting(m_challengeGreeting);
}

void AnsweringMachine::challengeFailed()
{
    m_challenging = false;
    if (m_screen)
        m_screen->report(ScreenEvent::Kind::ChallengeFailed, m_.state.callerNumber, m_.state.callerName,
                         QStringLiteral("no key, hung up"));
    m_.controller.Stop();
}
