#include "calls/RecordingController.h"

#include "calls/CallClock.h"
#include "calls/EventLog.h"
#include "calls/LeftoverRecording.h"
#include "calls/RecordingView.h"
#include "catalogue/Catalogue.h"
#include "catalogue/TableError.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "linedsp/TQVMdsp.h"
#include "modem/TQVModem253.h"
#include "platform/FileSync.h"
#include "platform/SerialPort.h"

#include <QFile>

namespace {

constexpr int RebindPauseMs = 200;

} // namespace

RecordingController::RecordingController(Parts parts) : m_(parts) {}

QString RecordingController::recordedPath() const
{
    return m_.catalogue.recordingsFolder() + Catalogue::RecordedFileName;
}

bool RecordingController::voiceFeatures() const
{
    return settings::readBool(m_.ini, keys::Voicefeatures);
}

QString RecordingController::portText() const
{
    const SerialPort* port = m_.engine.serialPort();
    if (!port)
        return QString::number(m_.engine.profile().portNumber);
    return port->portText(); // the device the engine uses, which --port may name
}

bool RecordingController::Record(CallPhase phase)
{
    if (m_.engine.GetVoiceState() == TQVModem253::VoiceReceive) {
        m_.view.showMessage(QStringLiteral("Receive state"));
        return false;
    }
    if (m_.engine.GetVoiceState() != TQVModem253::VoiceIdle || m_.engine.GetModemMode() != TQVModem253::ModeVoice)
        return false;
    m_.log.LogEvent(QStringLiteral("-- Start Recording"));
    // Recorded.wav is never written over: what an earlier run left is saved first.
    m_recordedPath = recordedPath();
    if (!recoverLeftoverRecording(m_.catalogue, m_.log))
        m_recordedPath = m_.catalogue.recordingsFolder() + QStringLiteral("Recorded-%1.wav").arg(m_.state.callId);
    m_.state.phase = phase;
    if (m_.engine.StartRecording(m_recordedPath)) {
        m_.state.recordStartTime = m_.clock.now();
        m_.state.recordStartTick = m_.clock.tickMs();
        m_.view.showTray(TrayIcon::Recording);
        m_.view.showTransport(TransportMode::Recording);
        if (onRecordingStarted)
            onRecordingStarted();
        return true;
    }
    // Nothing is left half-done: the line goes back on hook and the call is over.
    m_.log.LogEvent(QStringLiteral("<ERROR> The recording did not start"));
    m_.engine.StopRecording(false);
    stopTransmission();
    endCall();
    Rebind();
    return false;
}

void RecordingController::queueStop(quint64 callId)
{
    m_.clock.after(0, [this, callId] {
        if (callId == m_.state.callId)
            Stop();
    });
}

void RecordingController::Stop(bool modemStalled)
{
    if (m_stopping)
        return;
    m_stopping = true;
    if (modemStalled && m_.engine.portIsOpen()) {
        m_.log.LogEvent(QStringLiteral("The port is closed to free the line"));
        m_.engine.ReleaseModem(); // bound again once the recording is saved
    }
    const CallPhase phase = m_.state.phase;
    if (m_.state.recording() || m_.engine.GetVoiceState() == TQVModem253::VoiceReceive)
        stopRecording();
    else if (phase == CallPhase::Greeting || phase == CallPhase::RemoteAccess)
        stopGreeting(phase == CallPhase::RemoteAccess);
    if (phase != CallPhase::Idle) {
        stopTransmission();
        endCall();
    }
    m_stopping = false;
}

void RecordingController::stopRecording()
{
    m_.dsp.Enable = false;
    m_.log.LogEvent(QStringLiteral("-- Stop Recording"));
    const bool onHook = m_.engine.StopRecording();
    const bool newMessage = SaveRecording();
    if (!onHook)
        freeLine();
    if (m_.engine.portIsOpen())
        m_.view.showStatus(voiceFeatures() ? QStringLiteral(" Modem bound") : QString());
    else
        bindLater(); // the port was closed to end the stream or to free the line
    if (newMessage)
        m_.view.showTray(TrayIcon::NewMessages);
}

void RecordingController::saveAndKeepLine()
{
    if (m_.engine.GetVoiceState() != TQVModem253::VoiceReceive)
        return;
    m_.dsp.Enable = false;
    m_.log.LogEvent(QStringLiteral("-- Stop Recording"));
    m_.engine.StopRecording(false);
    SaveRecording();
}

void RecordingController::Rebind()
{
    Release();
    bindLater();
}

void RecordingController::bindLater()
{
    m_.clock.after(RebindPauseMs, [this] { bindAgain(); });
}

void RecordingController::bindAgain()
{
    if (Bind())
        return;
    m_userReleased = false; // the release was this program's own
    if (onOwnBindFailed)
        onOwnBindFailed();
}

void RecordingController::stopGreeting(bool remote)
{
    m_.dsp.Enable = false;
    m_.log.LogEvent(remote ? QStringLiteral("-- Remote completed") : QStringLiteral("-- Stop Transmitting"));
    m_.state.greetingStopped = !remote;
    stopTransmission();
}

// Whatever the call was doing, the line is released.
void RecordingController::stopTransmission()
{
    if (m_.engine.transmitting()) { // each stops only a worker of its kind
        m_.engine.StopTransmitRaw();
        m_.engine.StopWaveToLine();
    }
    if (!freeLine())
        bindLater();
}

// The on-hook command goes out at the end of every call, whatever the
// engine believes of the hook (on an idle line it does no harm). A modem
// that does not confirm it is let go: closing the port drops DTR, which
// frees the line. False when the port had to be closed.
bool RecordingController::freeLine()
{
    if (!m_.engine.portIsOpen())
        return true; // DTR is down: the line is free
    if (m_.engine.cmdOnHook() == TQVModem253::ReplyOk)
        return true;
    m_.log.LogEvent(QStringLiteral("<ERROR> The modem did not confirm the on-hook command: the port is closed "
                                   "to free the line"));
    m_userReleased = true; // not a modem gone: it is bound again below
    m_.engine.ReleaseModem();
    m_userReleased = false;
    return false;
}

bool RecordingController::SaveRecording()
{
    m_.view.showTray(TrayIcon::Bound);
    RecordingSession session;
    session.savedAt = m_.clock.now();
    session.startTime = m_.state.recordStartTime.isValid() ? m_.state.recordStartTime : session.savedAt;
    session.seconds = (m_.clock.tickMs() - m_.state.recordStartTick) / 1000;
    session.callerNumber = m_.state.callerNumber;
    session.callerName = m_.state.callerName;
    session.answeredByMachine = m_.state.answeringCall();
    session.recordedFile = m_recordedPath.isEmpty() ? recordedPath() : m_recordedPath;
    session.fileName = m_.catalogue.freeRecordingName(session.savedAt, session.startTime);
    if (describeRecording)
        describeRecording(session);
    const bool newMessage = !session.heard.value_or(!session.answeredByMachine);
    try {
        m_.catalogue.AddRecordingRow(session);
    } catch (const TableError& e) {
        m_.log.LogEvent(QStringLiteral("<ERROR> The recording could not be catalogued (%1); its file is kept as %2")
                            .arg(e.message(), session.fileName));
    }
    m_.state.clearCaller();
    const QString folder = m_.catalogue.recordingsFolder();
    if (!QFile::rename(session.recordedFile, folder + session.fileName)) {
        const QString text = QStringLiteral("can not rename file ") + session.recordedFile;
        m_.view.showMessage(text);
        m_.log.LogEvent(QStringLiteral("<ERROR> ") + text);
    } else {
        syncFolder(folder);
    }
    m_.log.LogEvent(QStringLiteral("-- File saved (") + session.fileName + QLatin1Char(')'));
    try {
        m_.view.showNewMessages(m_.catalogue.newMessageCount());
    } catch (const TableError&) {
    }
    if (onRecordingSaved)
        onRecordingSaved(session, newMessage);
    return newMessage;
}

void RecordingController::endCall()
{
    m_.state.endCall();
    m_.view.showTransport(m_.state.portOpen && voiceFeatures() ? TransportMode::Idle : TransportMode::NoRecord);
    if (onCallEnded)
        onCallEnded();
}

bool RecordingController::Bind()
{
    m_.log.LogEvent(QStringLiteral("-- Modem on clicked"));
    if (m_.engine.portIsOpen())
        return true;
    bool bound = false;
    try {
        bound = m_.engine.BindModem();
        if (bound && m_.ini.sectionExists(sections::Commands)) {
            m_.engine.LoadProfile();
            m_.engine.InitModem();
        }
    } catch (const std::exception& e) {
        m_.log.LogEvent(QString::fromUtf8(e.what()));
    }
    bound = bound && m_.engine.portIsOpen(); // not unplugged while it was initialised
    if (!bound) {
        m_.view.showMessage(QStringLiteral("Error during opening com port ") + portText());
        m_.log.LogEvent(QStringLiteral("<ERROR> during opening com port ") + portText());
        m_.view.showTransport(TransportMode::NoRecord);
        return false;
    }
    m_userReleased = false;
    m_.view.showTray(TrayIcon::Bound);
    m_.view.showTransport(voiceFeatures() ? TransportMode::Idle : TransportMode::NoRecord);
    return true;
}

void RecordingController::releaseForDefinition(const QString& purpose)
{
    m_.log.LogEvent(QStringLiteral("-- Modem released for ") + purpose);
    m_userReleased = true;
    if (m_.engine.portIsOpen())
        m_.engine.ReleaseModem();
    m_.view.showTransport(TransportMode::NoRecord);
}

bool RecordingController::Release()
{
    m_.log.LogEvent(QStringLiteral("-- Modem off clicked"));
    if (!m_.engine.portIsOpen())
        return false;
    m_userReleased = true; // before: the port's close arrives inside ReleaseModem
    if (!m_.engine.ReleaseModem()) {
        m_userReleased = false;
        return false;
    }
    m_.view.showTray(TrayIcon::Released);
    m_.view.showTransport(TransportMode::NoRecord);
    return true;
}
