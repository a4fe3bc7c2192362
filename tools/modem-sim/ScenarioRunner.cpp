#include "ScenarioRunner.h"

#include <algorithm>
#include <cctype>

namespace sim {

namespace {

// Seconds from the first ring at which the caller ID arrives when it comes
// before the first ring.
constexpr double kCallerIdLead = 1.0;
// A modem needs about this long to recognise a busy or dial tone.
constexpr double kToneDetection = 1.0;
// A held DTMF key is reported again this often.
constexpr double kDtmfRepeat = 0.07;

bool containsUpper(const std::string& haystack, const std::string& needle)
{
    std::string up = haystack;
    for (char& c : up)
        c = char(std::toupper(uint8_t(c)));
    return up.find(needle) != std::string::npos;
}

} // namespace

void ScenarioRunner::append(std::vector<Step> steps)
{
    for (Step& s : steps)
        m_steps.push_back(std::move(s));
}

void ScenarioRunner::tick(double now)
{
    while (!m_steps.empty() && m_exit == ExitRequest::None) {
        Step& step = m_steps.front();
        if (!m_running) {
            m_running = true;
            m_progress = Progress();
            m_progress.start = now;
            m_progress.commandsAtStart = m_modem.commands().size();
            if (begin(step, now)) {
                m_running = false;
                if (!m_steps.empty() && &m_steps.front() == &step)
                    m_steps.pop_front();
                continue;
            }
        }
        if (!advance(step, now))
            return;
        m_running = false;
        if (!m_steps.empty() && &m_steps.front() == &step)
            m_steps.pop_front();
    }
}

bool ScenarioRunner::runInstant(const Step& step, double now)
{
    using K = Step::Kind;
    switch (step.kind) {
    case K::Call: m_log(m_name + ": call"); return true;
    case K::CallerId: m_callerId = step.fields; return true;
    case K::Event:
        for (char code : step.text)
            m_modem.event(code);
        return true;
    case K::Send: m_modem.sendText(step.text); return true;
    case K::Handset: m_modem.setHandset(step.text == "up"); return true;
    case K::Waiting:
        m_log(m_name + ": a second caller calls");
        m_modem.callWaiting(m_callerId);
        m_callerId.clear();
        return true;
    case K::Set: {
        std::string error;
        if (m_modem.profile().set(step.text, step.value, error))
            m_log(m_name + ": set " + step.text + " " + step.value);
        else
            m_log(m_name + ": line " + std::to_string(step.sourceLine) + ": " + error);
        return true;
    }
    case K::UseProfile:
        if (const Profile* p = findProfile(step.text)) {
            m_modem.setProfile(*p);
            m_log(m_name + ": profile " + step.text);
        } else {
            m_log(m_name + ": no profile named " + step.text);
        }
        return true;
    case K::Log: m_log(m_name + ": " + step.text); return true;
    case K::Freeze: m_modem.freeze(step.seconds); return true;
    case K::Unplug: m_exit = ExitRequest::Unplug; return true;
    case K::Quit: m_exit = ExitRequest::Quit; return true;
    default: (void)now; return false;
    }
}

// Starts a step; true when it is already complete.
bool ScenarioRunner::begin(Step& step, double now)
{
    if (runInstant(step, now))
        return true;
    switch (step.kind) {
    case Step::Kind::Sound:
        m_progress.soundId = m_modem.line().play(now, step.sound());
        if (step.detectedEvent)
            m_progress.events.emplace_back(now + kToneDetection, step.detectedEvent);
        return false;
    case Step::Kind::Dtmf:
        m_log(m_name + ": caller keys " + step.text);
        m_progress.soundId = m_modem.line().play(now, step.sound());
        scheduleDtmf(step, now);
        return false;
    case Step::Kind::Ring:
        m_log(m_name + ": ringing " + std::to_string(step.count) + " times");
        return false;
    default:
        return false;
    }
}

bool ScenarioRunner::advance(Step& step, double now)
{
    switch (step.kind) {
    case Step::Kind::Wait: return now - m_progress.start >= step.seconds;
    case Step::Kind::Ring: return advanceRing(step, now);
    case Step::Kind::Await: return advanceAwait(step, now);
    case Step::Kind::Sound:
    case Step::Kind::Dtmf: return advanceSound(step, now);
    default: return true;
    }
}

bool ScenarioRunner::advanceRing(Step& step, double now)
{
    const int reports = step.doubleRing ? 2 : 1;
    if (step.handsetAfter > 0 && m_progress.ringsDone >= step.handsetAfter * reports && !m_modem.handsetOffHook()
        && now >= m_progress.lastRing + std::min(1.0, step.seconds / 2))
        m_modem.setHandset(true);
    // A line taken after the caller ID of this call is this call answered.
    if (m_progress.ringsDone == 0 && m_modem.offHook() && !m_progress.callerIdSent) {
        m_log(m_name + ": the caller hears a busy line (it was left off hook)");
        skipToNextCall("busy line");
        return false;
    }
    if (m_modem.offHook() || m_modem.handsetOffHook()) {
        m_log(m_name + ": line taken after " + std::to_string(m_progress.ringsDone / reports) + " ring(s)");
        m_callerId.clear();
        return true;
    }
    const bool before = m_modem.profile().callerIdTiming == CallerIdTiming::BeforeFirstRing;
    const double firstRing = m_progress.start + (before && !m_callerId.empty() ? kCallerIdLead : 0);
    const double callerIdAt = before ? m_progress.start : firstRing + step.seconds / 2;
    if (!m_callerId.empty() && !m_progress.callerIdSent && now >= callerIdAt) {
        m_progress.callerIdSent = true;
        m_modem.callerId(m_callerId);
    }
    // Each ring is reported once, or twice 0.4 s apart for a double ring.
    while (m_progress.ringsDone < step.count * reports) {
        const int ring = m_progress.ringsDone / reports;
        const double at = firstRing + ring * step.seconds + (m_progress.ringsDone % reports) * 0.4;
        if (now < at)
            break;
        m_modem.ring();
        ++m_progress.ringsDone;
        m_progress.lastRing = now;
    }
    if (now < firstRing + step.count * step.seconds)
        return false;
    m_callerId.clear();
    skipToNextCall("no answer after " + std::to_string(step.count) + " ring(s)");
    return false; // the skip has already removed this step
}

bool ScenarioRunner::advanceAwait(const Step& step, double now)
{
    bool met = false;
    const std::string& c = step.text;
    if (c == "offhook")
        met = m_modem.offHook();
    else if (c == "onhook")
        met = !m_modem.offHook();
    else if (c == "rx")
        met = m_modem.receiving();
    else if (c == "tx")
        met = m_modem.transmitting();
    else if (c == "idle")
        met = !m_modem.receiving() && !m_modem.transmitting();
    else if (c == "voice")
        met = m_modem.fclass() == 8;
    else if (c == "host")
        met = m_modem.hostPresent();
    else if (c == "command") {
        const auto& commands = m_modem.commands();
        met = std::any_of(commands.begin() + long(std::min(m_progress.commandsAtStart, commands.size())),
                          commands.end(), [&](const std::string& cmd) { return containsUpper(cmd, step.value); });
    }
    if (met)
        return true;
    if (step.seconds > 0 && now - m_progress.start >= step.seconds) {
        skipToNextCall("await " + c + " timed out");
        return false;
    }
    return false;
}

void ScenarioRunner::scheduleDtmf(const Step& step, double now)
{
    for (size_t i = 0; i < step.text.size(); ++i) {
        const double t0 = now + double(i) * (step.on + step.off);
        m_progress.events.emplace_back(t0, '/');
        for (double t = t0; t < t0 + step.on; t += kDtmfRepeat)
            m_progress.events.emplace_back(t, step.text[i]);
        m_progress.events.emplace_back(t0 + step.on, '~');
    }
}

bool ScenarioRunner::advanceSound(const Step& step, double now)
{
    auto& events = m_progress.events;
    while (!events.empty() && events.front().first <= now) {
        const char code = events.front().second;
        events.erase(events.begin());
        if (step.kind == Step::Kind::Dtmf)
            m_modem.dtmfEvent(code);
        else if (m_modem.profile().reportsHangup && m_modem.fclass() == 8 && m_modem.offHook())
            m_modem.event(code);
    }
    if (step.kind == Step::Kind::Dtmf && step.untilOnHook) {
        // The caller keys on and on until the line is freed.
        if (!m_modem.offHook()) {
            m_modem.line().stop(m_progress.soundId, now);
            return true;
        }
        if (events.empty() && now - m_progress.start >= step.seconds) {
            m_progress.start = now;
            m_progress.soundId = m_modem.line().play(now, step.sound());
            scheduleDtmf(step, now);
        }
        return false;
    }
    if (step.untilOnHook) {
        if (m_modem.offHook())
            return false;
        m_modem.line().stop(m_progress.soundId, now);
        return true;
    }
    return now - m_progress.start >= step.seconds && events.empty();
}

void ScenarioRunner::skipToNextCall(const std::string& why)
{
    m_log(m_name + ": " + why + ", skipping to the next call");
    m_running = false;
    m_steps.pop_front();
    while (!m_steps.empty() && m_steps.front().kind != Step::Kind::Call)
        m_steps.pop_front();
}

} // namespace sim
