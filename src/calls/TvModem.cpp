#include "calls/TvModem.h"

#include "calls/CallAnswerer.h"
#include "calls/CallClock.h"
#include "calls/CallScreen.h"
#include "calls/CallState.h"
#include "calls/EventLog.h"
#include "calls/LeftoverRecording.h"
#include "calls/LineEvents.h"
#include "calls/RecordingController.h"
#include "calls/RecordingView.h"
#include "config/CurrentSettings.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "linedsp/CallEndRules.h"
#include "linedsp/TQVMdsp.h"
#include "modem/InitScript.h"
#include "modem/TQVModem253.h"
#include "platform/SerialPort.h"
#include "speech/TextToSpeech.h"

#include <utility>

namespace {

constexpr int WatchIntervalMs = 1000;

} // namespace

TvModem::TvModem(Parts parts, QObject* parent) : QObject(parent), m_(parts)
{
    connectEvents();
    m_.controller.onRecordingStarted = [this] { recordingStarted(); };
    m_.controller.onCallEnded = [this] { refreshBetweenCalls(); };
    m_.controller.onOwnBindFailed = [this] { rebindLater(); };
}

TvModem::~TvModem()
{
    m_.controller.onRecordingStarted = nullptr;
    m_.controller.onCallEnded = nullptr;
    m_.controller.onOwnBindFailed = nullptr;
}

void TvModem::connectEvents()
{
    LineEvents* e = &m_.events;
    connect(e, &LineEvents::portOpened, this, &TvModem::DevPortOpen);
    connect(e, &LineEvents::portClosed, this, &TvModem::DevPortClose);
    connect(e, &LineEvents::ring, this, &TvModem::DevRing);
    connect(e, &LineEvents::ringAway, this, &TvModem::DevRingAway);
    connect(e, &LineEvents::callerId, this, &TvModem::DevCallerID);
    connect(e, &LineEvents::pcmData, this, &TvModem::DevPCMdata, Qt::DirectConnection);
    connect(e, &LineEvents::dtmf, this, &TvModem::DevDTMF);
    connect(e, &LineEvents::trxEnd, this, &TvModem::DevTrxEnd);
    connect(e, &LineEvents::localOffHook, this, [this] { DevOffHook(QStringLiteral("local")); });
    connect(e, &LineEvents::extensionOffHook, this, [this] { DevOffHook(QStringLiteral("extension")); });
    connect(e, &LineEvents::handsetOffHook, this, [this] { DevOffHook(QStringLiteral("handset")); });
    connect(e, &LineEvents::silence, this, &TvModem::dsp1Silence);
    connect(e, &LineEvents::periodic, this, &TvModem::dsp1Periodic);
    connect(e, &LineEvents::cadenceDisconnect, this, &TvModem::dsp1CadenceDisc);
    connect(e, &LineEvents::callProgressTone, this, &TvModem::dsp1CallProgress);
    connect(e, &LineEvents::criticalError, this, &TvModem::dsp1CriticalError);
}

void TvModem::refreshBetweenCalls()
{
    m_.settings.reloadIfChanged();
    if (betweenCalls)
        betweenCalls();
}

// --- Start and end -----------------------------------------------------------------

TvModem::Start TvModem::DataModuleCreate()
{
    m_.state.portOpen = false;
    if (!m_.ini.sectionExists(sections::Commands))
        return Start::NoModem;
    try {
        ensureInitScript(initScriptPath(m_.ini.fileName()));
    } catch (const InitScriptError& e) {
        m_.log.LogEvent(QStringLiteral("<ERROR> ") + QString::fromUtf8(e.what()));
    }
    m_tts = std::make_unique<TextToSpeech>();
    if (m_tts->available())
        m_tts->setVolume(m_.settings.values().ttsVolume);
    else
        m_.log.LogEvent(QStringLiteral("<ERROR> ") + m_tts->unavailableMessage());
    if (onSpeechReady)
        onSpeechReady(m_tts.get());
    m_.state.periodicCount = m_.state.ringCount = 0;
    m_.state.phase = CallPhase::Idle;
    m_.state.trxEnded = false;
    m_.state.dtmfDigits.clear();
    m_.state.greetingIsTts = true;
    // Last: a ring that arrives while the modem is initialised starts a call.
    StartModem();
    return Start::Ready;
}

void TvModem::StartModem()
{
    if (!m_.ini.sectionExists(sections::Commands))
        return;
    bool started = false;
    try {
        started = initialiseModem();
    } catch (const std::exception& e) {
        m_.log.LogEvent(QStringLiteral("<ERROR> ") + QString::fromUtf8(e.what()));
    }
    if (!started) {
        m_.log.LogEvent(QStringLiteral("<ERROR> during opening com port ") + portText());
        rebindLater();
    }
}

bool TvModem::initialiseModem()
{
    m_initialising = true;
    m_takeAfterInit = nullptr;
    struct Done
    {
        TvModem* self;
        ~Done() { self->m_initialising = false; }
    } done{this};
    const bool ok = m_.engine.LoadProfile() && m_.engine.InitModem();
    if (ok && m_takeAfterInit)
        m_.clock.after(0, std::exchange(m_takeAfterInit, nullptr));
    return ok;
}

void TvModem::takeCallAfterInit(std::function<void()> take)
{
    if (m_initialising)
        m_takeAfterInit = std::move(take);
    else
        take();
}

void TvModem::shutDown()
{
    m_shuttingDown = true;
    if (m_.state.phase != CallPhase::Idle || m_.engine.GetVoiceState() != TQVModem253::VoiceIdle)
        m_.controller.Stop();
    m_.engine.ReleaseModem();
}

void TvModem::ShowAnsweringState()
{
    m_.view.showTransport(TransportMode::Answering);
}

QString TvModem::portText() const
{
    const SerialPort* port = m_.engine.serialPort();
    if (!port)
        return QString();
    return port->portText(); // the device the engine uses, which --port may name
}

// --- The port ----------------------------------------------------------------------

void TvModem::DevPortOpen()
{
    m_.state.portOpen = true;
    m_rebinding = false;
    m_rebindFailed = false;
    m_.log.LogEvent(QStringLiteral("Com port ") + portText() + QStringLiteral(" opened..."));
    m_.view.showStatus(QStringLiteral(" Modem bound"));
    m_.view.showTray(TrayIcon::Bound);
    if (m_.state.phase == CallPhase::Idle)
        m_.view.showTransport(m_.controller.voiceFeatures() ? TransportMode::Idle : TransportMode::NoRecord);
}

void TvModem::DevPortClose()
{
    m_.state.portOpen = false;
    m_.log.LogEvent(QStringLiteral("Com port ") + portText() + QStringLiteral(" closed..."));
    m_.view.showStatus(QStringLiteral(" Modem released"));
    m_.view.showTray(TrayIcon::Released);
    if (m_.state.phase == CallPhase::Idle)
        m_.view.showTransport(TransportMode::NoRecord);
    if (m_shuttingDown || m_.controller.userReleased() || m_.controller.stopping())
        return;
    // The modem went away by itself (unplugged): what was recorded is saved.
    if (m_.state.phase != CallPhase::Idle)
        m_.controller.queueStop(m_.state.callId);
    rebindLater();
}

void TvModem::rebindLater()
{
    if (m_rebinding || m_shuttingDown)
        return;
    m_rebinding = true;
    m_.clock.after(RebindIntervalMs, [this] { rebind(); });
}

void TvModem::rebind()
{
    if (!m_rebinding || m_.engine.portIsOpen() || m_.controller.userReleased()) {
        m_rebinding = false;
        return;
    }
    if (m_.controller.stopping() || m_.state.phase != CallPhase::Idle) {
        m_.clock.after(RebindIntervalMs, [this] { rebind(); });
        return;
    }
    bool bound = false;
    try {
        bound = initialiseModem();
    } catch (const std::exception&) {
    }
    if (bound)
        return; // DevPortOpen ends the attempts
    if (!m_rebindFailed)
        m_.log.LogEvent(QStringLiteral("<ERROR> The modem on port %1 does not answer; it is tried again every %2 s")
                            .arg(portText())
                            .arg(RebindIntervalMs / 1000));
    m_rebindFailed = true;
    m_.engine.ReleaseModem(); // a port that opened but did not initialise
    m_.clock.after(RebindIntervalMs, [this] { rebind(); });
}

// --- Rings and caller ID -------------------------------------------------------------

// The first ring of a call: the settings of this call, and no caller data
// of an earlier one (a caller ID sent before the first ring, as in the UK,
// is this call's).
void TvModem::beginRinging()
{
    refreshBetweenCalls(); // the settings this call starts with
    m_.state.phase = CallPhase::Ringing;
    m_.state.ringCount = 0;
    m_.state.dtmfDigits.clear();
    if (m_.state.callerIdTick < 0 || m_.clock.tickMs() - m_.state.callerIdTick > CallerIdBeforeRingMs)
        m_.state.clearCaller();
}

bool TvModem::lineInUse() const
{
    return m_.state.phase != CallPhase::Idle && m_.state.phase != CallPhase::Ringing;
}

// A blocked caller sent to the answering machine is answered after its own
// rings, even when the machine is off.
int TvModem::ringsToAnswer() const
{
    if (m_.state.answerRings > 0)
        return m_.state.answerRings;
    return m_.settings.values().answeringMachine ? m_.settings.values().amRings : 0;
}

void TvModem::DevRing()
{
    m_.log.LogEvent(QStringLiteral("Ring"));
    if (lineInUse()) {
        callWaiting(QString(), QString());
        return; // the call on the line goes on as it is
    }
    if (m_.state.phase == CallPhase::Idle)
        beginRinging();
    // A line that sends caller ID between the first two rings has sent it by the second.
    if (m_.state.screen == ScreenVerdict::Undecided && m_.state.ringCount >= 1)
        screenCaller();
    if (m_.state.phase != CallPhase::Ringing)
        return; // turned away
    const int rings = ringsToAnswer();
    ++m_.state.ringCount;
    if (rings <= 0 || m_.state.ringCount < rings)
        return;
    if (m_.state.screen == ScreenVerdict::Undecided)
        screenCaller();
    if (m_.state.phase != CallPhase::Ringing)
        return;
    m_.state.ringCount = 0;
    takeCallAfterInit([this] {
        if (m_answerer && m_.state.phase == CallPhase::Ringing)
            m_answerer->answerCall();
    });
}

void TvModem::DevRingAway(int ringNum)
{
    if (m_.state.phase != CallPhase::Ringing)
        return; // the call was taken already (a handset, the answering machine)
    const CallSettings& s = m_.settings.values();
    if (ringNum < s.amRings && s.autoRecord) {
        takeCallAfterInit([this] {
            if (m_.state.phase == CallPhase::Ringing)
                startAutoRecording();
        });
        return;
    }
    m_.state.endCall(); // rang and stopped: nothing to keep
    refreshBetweenCalls();
}

void TvModem::DevOffHook(const QString& which)
{
    // Some modems report their own line take (AT+VLS=1) as a handset
    // lifted, however the line was taken.
    if (m_.engine.tookLineWithin(OwnLineTakeReportMs))
        return;
    const CallPhase phase = m_.state.phase;
    if (m_answerer && (phase == CallPhase::Greeting || phase == CallPhase::MessageRecording)) {
        m_.log.LogEvent(QStringLiteral("Off hook (%1) while answering: the call is taken over").arg(which));
        m_answerer->handsetLifted();
        return;
    }
    if (phase != CallPhase::Ringing || !m_.settings.values().autoRecord)
        return; // an outgoing call, or the line is ours already
    m_.log.LogEvent(QStringLiteral("Off hook (%1) while ringing").arg(which));
    takeCallAfterInit([this] {
        if (m_.state.phase == CallPhase::Ringing)
            startAutoRecording();
    });
}

void TvModem::DevCallerID(const QString&, const QString&, const QString& rawNumber, const QString& rawName)
{
    m_.log.LogEvent(QStringLiteral("Caller ID detected"));
    // Network input: nothing unprintable reaches the log, a screen or the catalogue.
    const QString number = callerlists::printable(rawNumber, 40);
    const QString name = callerlists::printable(rawName, 40);
    if (lineInUse()) {
        callWaiting(number, name);
        return; // the call on the line keeps its own caller
    }
    if (!m_.settings.values().callerId)
        return;
    m_.state.callerNumber = number;
    m_.state.callerName = name;
    m_.state.callerIdTick = m_.clock.tickMs();
    m_.view.showCallerId(number, name);
    if (m_.state.screen == ScreenVerdict::Undecided)
        screenCaller();
}

// Matched the moment the caller ID arrives; a line that sends none is
// matched at the second ring (or when the machine answers before it).
void TvModem::screenCaller()
{
    if (!m_screen || !m_.settings.values().callerId) {
        m_.state.screen = ScreenVerdict::Unknown;
        return;
    }
    const CallerIdentity caller{m_.state.callerNumber, m_.state.callerName, m_.state.callerIdTick >= 0};
    const ScreenDecision decision = m_screen->decide(caller);
    m_.state.screen = decision.verdict;
    if (decision.verdict != ScreenVerdict::Blocked)
        return;
    if (decision.action == BlockAction::Rings) {
        m_.state.answerRings = decision.rings;
        m_screen->report(ScreenEvent::Kind::Blocked, caller.number, caller.name,
                         QStringLiteral("answering machine after %1 rings").arg(decision.rings));
        return;
    }
    if (m_.state.phase == CallPhase::Idle) {
        // Caller ID before the first ring: this is the call's start.
        const ScreenVerdict verdict = m_.state.screen;
        beginRinging();
        m_.state.screen = verdict;
    }
    if (m_answerer)
        m_answerer->turnAway(decision);
}

void TvModem::callWaiting(const QString& number, const QString& name)
{
    // One report per second caller: its rings and caller ID come close together.
    const bool known = !number.isEmpty() || !name.isEmpty();
    if (!known && m_waitingTick >= 0 && m_.clock.tickMs() - m_waitingTick < CallerIdBeforeRingMs)
        return;
    m_waitingTick = m_.clock.tickMs();
    if (known)
        m_.view.showCallerId(number, name);
    if (m_screen)
        m_screen->report(ScreenEvent::Kind::Waiting, number, name, QStringLiteral("not answered"));
    else
        m_.log.LogEvent((QStringLiteral("Call waiting: ") + number + QLatin1Char(' ') + name).trimmed());
}

// --- Recording -----------------------------------------------------------------------

void TvModem::startAutoRecording()
{
    m_.log.LogEvent(QStringLiteral("Auto Recording"));
    m_.view.hideCallerId();
    m_.state.periodicCount = 0;
    m_.state.ringCount = 0;
    armDetector(m_.dsp, m_.settings.values());
    m_.controller.Record(CallPhase::AutoRecording);
}

void TvModem::armDetector(TQVMdsp& dsp, const CallSettings& s)
{
    dsp.Silence = s.silence;
    dsp.Periodic = s.periodic;
    dsp.Cadence = s.cadence;
    dsp.CallProgress = s.callProgress;
    dsp.SilenceDim = s.discTime * 5;
    dsp.Enable = true;
}

void TvModem::recordingStarted()
{
    m_lastAudioTick = m_.clock.tickMs();
    m_backstop.reset();
    watchRecording(m_.state.callId);
}

// Once a second while a call records: a modem that sends nothing, or a line
// silent for minutes, ends it.
void TvModem::watchRecording(quint64 callId)
{
    m_.clock.after(WatchIntervalMs, [this, callId] {
        if (callId != m_.state.callId || !m_.state.recording())
            return;
        if (m_.clock.tickMs() - m_lastAudioTick >= SilentAudioMs) {
            m_.log.LogEvent(QStringLiteral("<ERROR> No audio from the modem for %1 s: the recording ends")
                                .arg(SilentAudioMs / 1000));
            m_.controller.Stop(true); // waiting for a stalled modem to end its stream only keeps the line taken
            return;
        }
        if (m_backstop.ends()) {
            m_.log.LogEvent(QStringLiteral("Silence for %1 minutes: the recording ends (backstop)")
                                .arg(SilenceBackstopMs / 60000));
            m_.controller.Stop();
            return;
        }
        watchRecording(callId);
    });
}

void TvModem::DevPCMdata(const uint8_t* data, int size)
{
    m_lastAudioTick = m_.clock.tickMs();
    m_backstop.audio(data, size);
    if (m_.settings.values().recordTrace)
        m_.view.showLiveAudio(data, size);
}

// --- DTMF and the end of transmissions ---------------------------------------------------

void TvModem::DevDTMF(char digit)
{
    m_.log.LogEvent(QStringLiteral("<< %1 >>").arg(QLatin1Char(digit)));
    m_.state.addDtmf(digit);
    const CallPhase phase = m_.state.phase;
    if (m_answerer
        && (phase == CallPhase::Greeting || phase == CallPhase::MessageRecording || phase == CallPhase::RemoteAccess)) {
        m_answerer->digitReceived();
        return;
    }
    const CallSettings& s = m_.settings.values();
    if (phase != CallPhase::Idle && !s.hangupSeq.isEmpty() && m_.state.dtmfDigits == s.hangupSeq)
        m_.controller.queueStop(m_.state.callId);
}

void TvModem::DevTrxEnd()
{
    m_.log.LogEvent(QStringLiteral("trx end"));
    m_.state.trxEnded = true;
}

// --- Disconnects -----------------------------------------------------------------------

// Only a call the program took itself ends on a disconnect: a recording
// the user started runs until the user stops it.
void TvModem::disconnect(const QString& line)
{
    const CallPhase phase = m_.state.phase;
    if (phase != CallPhase::AutoRecording && phase != CallPhase::MessageRecording)
        return;
    m_.log.LogEvent(line);
    m_.state.periodicCount = 0;
    m_.state.ringCount = 0;
    m_.dsp.Enable = false;
    m_.controller.queueStop(m_.state.callId);
}

void TvModem::dsp1Silence()
{
    disconnect(QStringLiteral("Silence"));
}

void TvModem::dsp1CadenceDisc()
{
    disconnect(QStringLiteral("cadence disconnect"));
}

void TvModem::dsp1CallProgress(const QString& tone)
{
    disconnect(QStringLiteral("Disconnect tone: ") + tone);
}

void TvModem::dsp1Periodic()
{
    const CallPhase phase = m_.state.phase;
    if (phase != CallPhase::AutoRecording && phase != CallPhase::MessageRecording)
        return;
    m_.log.LogEvent(QStringLiteral("Periodic signal"));
    if (PeriodicSignalRule::periodicBlock(m_.state.periodicCount, m_.state.periodicLastBlock, m_.dsp.blocks()))
        disconnect(QStringLiteral("Periodic signal: %1 events").arg(m_.state.periodicCount));
}

void TvModem::dsp1CriticalError(const QString& message, const QString& line)
{
    m_.log.LogEvent(QStringLiteral("DSP critical error ") + message);
    m_.log.LogEvent(QStringLiteral("DSP line ") + line);
}
