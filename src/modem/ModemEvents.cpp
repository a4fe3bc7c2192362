// What the modem reports besides replies and voice data: the DLE events,
// DTMF digits, caller ID in packets and in plain text, and rings.
#include "TQVModem253.h"

#include "config/IniFile.h"

#include <QTimer>
#include <chrono>

namespace {

// A packet that never ends is dropped beyond this; real packets are far
// smaller.
constexpr qsizetype MaxCallerIdBuffer = 4096;
// Plain-text caller-ID lines kept for one record; a record has a handful.
constexpr qsizetype MaxCallerIdLines = 32;
constexpr int DefaultCallerIdQuietMs = 1000;

uint32_t steadyTicks()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

void TQVModem253::setUpArrival()
{
    TickClock = steadyTicks;
    connect(RingTimer, &QTimer::timeout, this, &TQVModem253::RingAwayTimer);
    CallerIdQuietTimer = new QTimer(this);
    CallerIdQuietTimer->setSingleShot(true);
    CallerIdQuietTimer->setInterval(DefaultCallerIdQuietMs);
    connect(CallerIdQuietTimer, &QTimer::timeout, this, &TQVModem253::completeTextCallerId);
}

void TQVModem253::setTickClock(std::function<uint32_t()> clock)
{
    TickClock = clock ? std::move(clock) : steadyTicks;
}

void TQVModem253::setCallerIdQuietMs(int ms)
{
    CallerIdQuietTimer->setInterval(std::max(0, ms));
}

// --- DLE events ------------------------------------------------------------------

void TQVModem253::runDleAction(uint8_t code, const QByteArray& rest)
{
    const DleAction action = dleAction(code);
    switch (action) {
    case DleAction::None:
        return;
    case DleAction::EndOfData:
        endOfData();
        return;
    case DleAction::CallerIdStart:
        callerIdStart(rest);
        return;
    case DleAction::CallerIdEnd:
        callerIdEnd();
        return;
    case DleAction::ToneOn:
        // A new key: a modem deaf while it transmitted may have lost the
        // end of the last one, which must not swallow this one.
        DtmfToneOn = true;
        DtmfReported = false;
        return;
    case DleAction::ToneOff:
        DtmfToneOn = false;
        DtmfReported = false;
        return;
    case DleAction::Ring:
        Ring(RingTracker::Source::Dle);
        return;
    case DleAction::Digit:
        dtmfDigit(char(code));
        return;
    default:
        raiseDleEvent(action);
        return;
    }
}

// The modem's end of a stream it was asked to stop: the text after it holds
// results again. A DLE ETX at any other time is taken for nothing, so a
// modem that sends one unasked cannot cut a recording short.
void TQVModem253::endOfData()
{
    const QString command = lastCommand();
    if (command == QLatin1String(ReceiveStopPair) || command == QLatin1String(DuplexStopPair)) {
        StreamEnded = true;
        Lines.clear();
    }
    if (command == QLatin1String(ReceiveStopPair)) {
        Log(QStringLiteral("End Data State"));
        ReplyState = ReplyOk;
    }
}

void TQVModem253::raiseDleEvent(DleAction action)
{
    SenderEvent* event = nullptr;
    switch (action) {
    case DleAction::RcvOverrun: event = &OnRcvOverrun; break;
    case DleAction::LclOnHook: event = &OnLclOnHook; break;
    case DleAction::LclOffHook: event = &OnLclOffHook; break;
    case DleAction::Silence: event = &OnSilence; break;
    case DleAction::Quiet: event = &OnQuiet; break;
    case DleAction::LCI: event = &OnLCI; break;
    case DleAction::LCPR: event = &OnLCPR; break;
    case DleAction::CallWait: event = &OnCallWait; break;
    case DleAction::RingBack: event = &OnRingBack; break;
    case DleAction::Busy: event = &OnBusy; break;
    case DleAction::Dialtone: event = &OnDialtone; break;
    case DleAction::Reorder: event = &OnReorder; break;
    case DleAction::TrxUnderrun: event = &OnTrxUnderrun; break;
    case DleAction::ExtOnHook: event = &OnExtOnHook; break;
    case DleAction::ExtOffHook: event = &OnExtOffHook; break;
    case DleAction::VoiceDetect: event = &OnVoiceDetect; break;
    case DleAction::HandsetOffHook: event = &OnHandsetOffHook; break;
    default: return;
    }
    // A copy: the handler may reassign the event while it runs.
    if (auto handler = *event)
        handler(this);
}

// A key held down is reported again and again between DLE "/" and DLE "~";
// the digit counts once.
void TQVModem253::dtmfDigit(char digit)
{
    if (!DtmfToneOn || DtmfReported)
        return;
    DtmfReported = true;
    if (auto handler = OnDTMF)
        handler(digit);
}

// --- Caller ID ---------------------------------------------------------------------

void TQVModem253::appendCallerIdChunk(const QByteArray& chunk)
{
    CallerIdBuffer.append(chunk);
    if (CallerIdBuffer.size() > MaxCallerIdBuffer) {
        Log(QStringLiteral("Caller ID packet without an end discarded"));
        CallerIdCollecting = false;
        CallerIdBuffer.clear();
    }
}

// `rest` is the chunk from this DLE "X" on.
void TQVModem253::callerIdStart(const QByteArray& rest)
{
    CallerIdCollecting = true;
    appendCallerIdChunk(rest);
    const qsizetype at = CallerIdBuffer.indexOf(QByteArrayView("\x10X", 2));
    if (at >= 0)
        CallerIdBuffer.remove(at, 2);
}

void TQVModem253::callerIdEnd()
{
    const qsizetype at = CallerIdBuffer.indexOf(QByteArrayView("\x10.", 2));
    if (at >= 0)
        CallerIdBuffer.remove(at, 2);
    const QStringList lines = splitPacketLines(CallerIdBuffer);
    CallerIdCollecting = false;
    CallerIdBuffer.clear();
    ParseCallerID(lines);
}

void TQVModem253::ParseCallerID(const QStringList& lines)
{
    const CallerIdValues v = parseCallerIdLines(lines);
    if (!v.number.isEmpty())
        if (auto handler = OnCallerID)
            handler(v.date, v.time, v.number, v.name);
    if (!v.message.isEmpty())
        if (auto handler = OnCmxMsg)
            handler(v.message);
    if (!v.error.isEmpty())
        if (auto handler = OnCmxError)
            handler(v.error);
    if (!v.dron.isEmpty())
        if (auto handler = OnDstvRing)
            handler(v.dron, v.drof);
    if (!v.cpon.isEmpty())
        if (auto handler = OnCadence)
            handler(v.cpon, v.cpof);
}

// Real modems send caller ID and rings as text lines while idle.
void TQVModem253::idleTextLine(const QString& line)
{
    if (line.compare(QLatin1String("RING"), Qt::CaseInsensitive) == 0)
        Ring(RingTracker::Source::Text);
    else if (isCallerIdTextLine(line))
        textCallerIdLine(line);
}

void TQVModem253::textCallerIdLine(const QString& line)
{
    if (TextCallerId.size() < MaxCallerIdLines)
        TextCallerId.append(line);
    CallerIdQuietTimer->start();
}

// A plain-text record ends at the next ring or when the modem goes quiet.
void TQVModem253::completeTextCallerId()
{
    CallerIdQuietTimer->stop();
    if (TextCallerId.isEmpty())
        return;
    const QStringList lines = std::exchange(TextCallerId, {});
    ParseCallerID(lines);
}

// --- Rings ---------------------------------------------------------------------------

void TQVModem253::Ring(RingTracker::Source source)
{
    if (VoiceState.load() != VoiceIdle)
        return;
    completeTextCallerId();
    const RingTracker::Outcome outcome = Rings.ring(source, TickClock(), Profile.ringSpan);
    if (!outcome.counted)
        return;
    if (outcome.measuredSpan) {
        const int span = *outcome.measuredSpan;
        Profile.ringSpan = span;
        writeSetting([span](IniFile& ini) { settings::writeInteger(ini, keys::RingSpan, span); });
        Log(QStringLiteral("Ring span calculated : %1").arg(span));
    }
    RingTimer->stop();
    RingTimer->setInterval(outcome.ringAwayMs);
    RingTimer->start();
    if (auto handler = OnRing)
        handler(this);
}

void TQVModem253::RingAwayTimer()
{
    RingTimer->stop();
    const int n = Rings.ringAway();
    if (auto handler = OnRingAway)
        handler(n);
}
