#include "TQVModem253.h"

#include "audio/AudioConvertor.h"
#include "audio/RiffWriter.h"
#include "config/IniFile.h"
#include "core/TextSink.h"
#include "modem/HookCommands.h"
#include "modem/TransmitWorkers.h"
#include "platform/SerialPort.h"

#include <QCoreApplication>
#include <QFile>
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <algorithm>

const QByteArray TQVModem253::ReceiveStopPair = QByteArray("\x10!", 2);
const QByteArray TQVModem253::TransmitStopPair = QByteArray("\x10\x03", 2);
const QByteArray TQVModem253::DuplexStopPair = QByteArray("\x10^", 2);

namespace {

// Open and close notifications come from the event loop at once; a port that
// stays silent this long is not going to notify.
constexpr int MaxNotificationPolls = 5000;
constexpr int ReplyPollMs = 2;
constexpr int PollsPerSecond = 500;
// How long the OK that follows a stream's DLE ETX is waited for.
constexpr int TrailingOkPolls = 150;

// Reply waits of this thread that are running, innermost last.
thread_local int t_replyWaitDepth = 0;

QString longTimeFormatWithoutZone()
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*(?<![A-Za-z'])t+(?![A-Za-z'])")));
    return format.trimmed();
}

} // namespace

// A wait for a reply that runs inside another one on the same thread (a
// handler sending a command while the engine waits) must not end the outer
// wait with its own reply: the outer one goes on waiting for the state it
// had when the inner one began.
class TQVModem253::ReplyWait
{
public:
    explicit ReplyWait(std::atomic<uint8_t>& state)
        : m_state(state), m_nested(t_replyWaitDepth > 0), m_saved(state.load())
    {
        ++t_replyWaitDepth;
    }
    ~ReplyWait()
    {
        --t_replyWaitDepth;
        if (m_nested)
            m_state = m_saved;
    }
    ReplyWait(const ReplyWait&) = delete;
    ReplyWait& operator=(const ReplyWait&) = delete;

private:
    std::atomic<uint8_t>& m_state;
    const bool m_nested;
    const uint8_t m_saved;
};

TQVModem253::TQVModem253(QObject* owner)
    : QObject(owner), RingTimer(new QTimer(this)), HookCommand(QStringLiteral("at+vls=0")),
      Sleep([](int ms) { QThread::msleep(ulong(ms)); })
{
    RingTimer->setInterval(1000);
    setUpArrival();
    setUpRecording();
}

TQVModem253::~TQVModem253()
{
    stopWorkerForGood();
}

// --- The serial port ---------------------------------------------------------

void TQVModem253::setSerialPort(SerialPort* port)
{
    if (port == SerialPortRef.data())
        return;
    if (SerialPortRef)
        disconnect(SerialPortRef.data(), nullptr, this, nullptr);
    SerialPortRef = port;
    PortIsOpen = false;
    if (!port)
        return;
    configurePort(*port);
    connect(port, &SerialPort::portOpened, this, &TQVModem253::PortOpened);
    connect(port, &SerialPort::portClosed, this, &TQVModem253::PortClosed);
    connect(port, &SerialPort::triggerAvail, this, &TQVModem253::PortTriggerAvail);
    connect(port, &QObject::destroyed, this, [this] { PortIsOpen = false; });
}

// The modem's line settings; LoadProfile then applies the stored port
// parameters over them.
void TQVModem253::configurePort(SerialPort& port)
{
    port.setAutoOpen(false);
    port.setBaud(115200);
    port.setBufferFull(0);
    port.setBufferResume(0);
    port.setCommNotificationLevel(10);
    port.setComNumber(3);
    port.setDtr(true);
    port.setInSize(2048);
    port.setOpen(false);
    port.setOutSize(2048);
    port.setParity(SerialParity::None);
    port.setStopBits(1);
    SerialHwFlowOptions hw;
    hw.useRTS = true;
    hw.requireCTS = true;
    port.setHwFlowOptions(hw);
    port.setSwFlowOptions(SerialSwFlow::None);
}

void TQVModem253::PortOpened()
{
    PortIsOpen = true;
    PendingDle = false; // nothing of an earlier session pairs with what comes now
    Lines.clear();
    if (auto handler = OnPortOpen)
        handler(this);
}

void TQVModem253::PortClosed()
{
    PortIsOpen = false;
    noteHook(QStringLiteral("at+vls=0"), false); // DTR dropped
    if (auto handler = OnPortClose)
        handler(this);
}

bool TQVModem253::portUsable() const
{
    const SerialPort* port = SerialPortRef.data();
    return port && port->isOpen();
}

// --- Log lines ---------------------------------------------------------------

QString TQVModem253::TimeStampPrefix()
{
    static const QString timeFormat = longTimeFormatWithoutZone();
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ')
         + locale.toString(now.time(), timeFormat) + QLatin1String(" -> ");
}

// Lines of a transmit worker reach the log on the engine's thread: the log
// may be a window.
void TQVModem253::Log(const QString& text) const
{
    if (!Logger)
        return;
    const QString line = TimeStampPrefix() + text;
    if (QThread::currentThread() == thread()) {
        Logger->appendLine(line);
        return;
    }
    auto* self = const_cast<TQVModem253*>(this);
    QMetaObject::invokeMethod(
        self, [self, line] {
            if (self->Logger)
                self->Logger->appendLine(line);
        },
        Qt::QueuedConnection);
}

void TQVModem253::logResult(int result, WaitEnd end) const
{
    if (result == ReplyTimeOut && end == WaitEnd::PortGone) {
        Log(QStringLiteral("Port closed"));
        return;
    }
    static const char* const texts[] = {"ok", "Error", "Connect", "Time out"};
    Log(QString::fromLatin1(texts[std::clamp(result, 0, 3)]));
}

// --- Shared text state ---------------------------------------------------------

QString TQVModem253::GetHook() const
{
    QMutexLocker lock(&TextMutex);
    return HookCommand;
}

QString TQVModem253::GetLastReply() const
{
    QMutexLocker lock(&TextMutex);
    return QString::fromLatin1(ReplyText);
}

QString TQVModem253::lastCommand() const
{
    QMutexLocker lock(&TextMutex);
    return LastCommand;
}

void TQVModem253::setLastCommand(const QString& command)
{
    QMutexLocker lock(&TextMutex);
    LastCommand = command;
}

void TQVModem253::expectEcho(const QByteArray& written)
{
    QMutexLocker lock(&TextMutex);
    PendingEcho = written;
    EchoMatched = 0;
}

void TQVModem253::runOnEngineThread(std::function<void()> work)
{
    if (QThread::currentThread() == thread())
        work();
    else
        QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
}

// The settings handle belongs to the engine's thread.
void TQVModem253::writeSetting(std::function<void(IniFile&)> write)
{
    runOnEngineThread([this, write] {
        if (IniFileRef)
            write(*IniFileRef);
    });
}

// --- Waits -------------------------------------------------------------------

void TQVModem253::setSleepFunction(std::function<void(int ms)> sleep)
{
    Sleep = sleep ? std::move(sleep) : [](int ms) { QThread::msleep(ulong(ms)); };
}

TQVModem253::WaitEnd TQVModem253::pollUntil(const std::function<bool()>& done, int sleepMs, int maxPolls,
                                            bool endOnPortLoss)
{
    for (int polls = 0;;) {
        Sleep(sleepMs);
        ++polls;
        QCoreApplication::processEvents();
        if (done())
            return WaitEnd::Done;
        if (polls >= maxPolls)
            return WaitEnd::Expired;
        // An unplugged device answers nothing: end as soon as its close
        // has been reported instead of waiting out the time-out.
        if (endOnPortLoss && !portUsable() && !PortIsOpen.load())
            return WaitEnd::PortGone;
    }
}

// --- Binding -----------------------------------------------------------------

bool TQVModem253::BindModem()
{
    SerialPort* port = SerialPortRef.data();
    if (!port)
        return false;
    LoadProfile();
    if (!port->isOpen())
        port->setOpen(true); // SerialPortError goes to the caller
    if (!PortIsOpen)
        pollUntil([this] { return PortIsOpen.load(); }, 1, MaxNotificationPolls, false);
    return PortIsOpen;
}

bool TQVModem253::ReleaseModem()
{
    // A recording under way keeps what came: its file is completed.
    if (WaveWriter) {
        Recording = false;
        finishFileAudio();
        closeRecordingFile();
        closeConvertors();
    }
    if (SerialPort* port = SerialPortRef.data()) {
        try {
            if (port->isOpen())
                port->setOpen(false);
        } catch (const std::exception&) {
            return false;
        }
        if (PortIsOpen)
            pollUntil([this] { return !PortIsOpen.load(); }, 1, MaxNotificationPolls, false);
    }
    ModemMode = ModeData;
    VoiceState = VoiceIdle;
    Recording = false;
    EscapeNextStop = false;
    noteHook(QStringLiteral("at+vls=0"), false);
    return true;
}

// --- The command transaction --------------------------------------------------

int TQVModem253::SendCommand(const QString& command)
{
    return sendCommand(command, std::nullopt);
}

// `hookHint`: what the command does to the line when its text does not say
// (the profile's own hook strings).
int TQVModem253::sendCommand(const QString& command, std::optional<bool> hookHint)
{
    const std::optional<bool> hook = hookHint ? hookHint : lineTakenAfter(command);
    if (hook == true) {
        LineTakeTick = TickClock();
        LineTakeSent = true;
    }
    Log(command);
    const QByteArray bytes = command.toLatin1() + '\r';
    ReplyWait nesting(ReplyState);
    {
        QMutexLocker lock(&TextMutex);
        ReplyText.clear();
        PendingEcho = command.isEmpty() ? QByteArray() : bytes;
        EchoMatched = 0;
    }
    if (const auto numeric = numericResultsAfter(bytes))
        NumericResults = *numeric; // the modem answers this very command that way
    // Waiting starts before the write, so a reply handled on the main thread
    // while a worker thread writes is not lost.
    ReplyState = ReplyTimeOut;
    WaitEnd end = WaitEnd::PortGone;
    if (portUsable() && SerialPortRef->write(bytes))
        end = pollUntil([this] { return ReplyState.load() != ReplyTimeOut; }, ReplyPollMs,
                        CmdTimeoutDur * PollsPerSecond, true);
    const int result = ReplyState.load();
    ++CommandsSent;
    if (result != ReplyTimeOut)
        ++CommandsAnswered;
    logResult(result, end);
    if (hook && (result == ReplyOk || result == ReplyConnect))
        noteHook(command, *hook);
    return result;
}

void TQVModem253::noteHook(const QString& command, bool taken)
{
    QMutexLocker lock(&TextMutex);
    HookCommand = command;
    LineTaken = taken;
}

bool TQVModem253::tookLineWithin(int ms) const
{
    return LineTakeSent.load() && TickClock && uint32_t(TickClock() - LineTakeTick.load()) < uint32_t(std::max(ms, 0));
}

int TQVModem253::SendIfOpen(const QString& command)
{
    if (!PortIsOpen)
        return ReplyError;
    setLastCommand(command);
    return SendCommand(command);
}

int TQVModem253::SendStopSequence(uint8_t voiceState, const QByteArray& stopPair)
{
    if (VoiceState.load() != voiceState)
        return ReplyError;
    const bool escaped = EscapeStopPairs.load() || EscapeNextStop.exchange(false);
    const WaitEnd end = sendStopPair(stopPair, escaped, CmdTimeoutDur * PollsPerSecond);
    if (end == WaitEnd::Done) {
        if (escaped && !EscapeStopPairs.load())
            rememberEscapedStops();
        return ReplyOk;
    }
    Log(end == WaitEnd::PortGone ? QStringLiteral("Port closed") : QStringLiteral("Time out"));
    // Some modems obey only a stop pair behind an escaped DLE: the next
    // attempt tries that form.
    if (end == WaitEnd::Expired && !escaped)
        EscapeNextStop = true;
    return ReplyTimeOut;
}

// Writes the stop pair (behind an escaped DLE when `escaped`) and waits for
// the modem to end the stream: DLE ETX and/or OK, whichever it sends.
TQVModem253::WaitEnd TQVModem253::sendStopPair(const QByteArray& stopPair, bool escaped, int maxPolls)
{
    ReplyWait nesting(ReplyState);
    ReplyState = ReplyTimeOut;
    StopOkMatched = 0;
    setLastCommand(QString::fromLatin1(stopPair));
    expectEcho(QByteArray());
    const QByteArray bytes = escaped ? QByteArray("\x10\x10", 2) + stopPair : stopPair;
    const uint32_t resultsBefore = ResultLines.load();
    const auto resultCame = [this, resultsBefore] { return ResultLines.load() != resultsBefore; };
    WaitEnd end = WaitEnd::PortGone;
    if (portUsable() && SerialPortRef->write(bytes))
        end = pollUntil([this] { return ReplyState.load() == ReplyOk; }, ReplyPollMs, maxPolls, true);
    if (end != WaitEnd::Done)
        return end;
    VoiceState = VoiceIdle;
    // A stream ended by DLE ETX is followed by OK: that OK must not be taken
    // for the answer to the next command.
    if (!resultCame())
        pollUntil(resultCame, ReplyPollMs, TrailingOkPolls, true);
    return WaitEnd::Done;
}

TQVModem253::StopForm TQVModem253::FindStopForm()
{
    constexpr int ProbeStreamMs = 300;
    constexpr int StopWaitPolls = PollsPerSecond * 3 / 2;
    SendIfOpen(QStringLiteral("at+vrx"));
    if (VoiceState.load() != VoiceReceive)
        return StopForm::None;
    pollUntil([] { return false; }, ReplyPollMs, ProbeStreamMs / ReplyPollMs, true);
    for (const bool escaped : {false, true}) {
        if (sendStopPair(ReceiveStopPair, escaped, StopWaitPolls) == WaitEnd::Done) {
            EscapeStopPairs = escaped;
            writeSetting([escaped](IniFile& ini) { settings::writeBool(ini, keys::EscapeStopPairs, escaped); });
            Log(escaped ? QStringLiteral("The modem ends a stream on an escaped stop pair")
                        : QStringLiteral("The modem ends a stream on a plain stop pair"));
            return escaped ? StopForm::Escaped : StopForm::Plain;
        }
    }
    Log(QStringLiteral("The modem ended a receive stream on no stop pair: the port is closed to end it"));
    ReleaseModem();
    return StopForm::None;
}

// The escaped form worked where the plain one did not: use it from now on,
// so such a modem costs one time-out once rather than at every call.
void TQVModem253::rememberEscapedStops()
{
    EscapeStopPairs = true;
    Log(QStringLiteral("The modem answers escaped stop pairs only; they are used from now on"));
    writeSetting([](IniFile& ini) { settings::writeBool(ini, keys::EscapeStopPairs, true); });
}

// --- Modes, hook and streams ---------------------------------------------------

int TQVModem253::SetFClass(const QString& command)
{
    if (!PortIsOpen && QThread::currentThread() != thread())
        return ReplyError; // a transmit worker never opens the port
    if (!PortIsOpen) {
        try {
            BindModem();
        } catch (const std::exception& e) {
            // Callers (the script, the transmit workers) expect a result code.
            Log(QString::fromUtf8(e.what()));
            return ReplyError;
        }
    }
    if (!PortIsOpen)
        return ReplyError;
    setLastCommand(command);
    if (SendCommand(command) != ReplyOk)
        return ReplyError;
    if (command == QLatin1String("at+fclass=0"))
        ModemMode = ModeData;
    else if (command == QLatin1String("at+fclass=1") || command == QLatin1String("at+fclass=2"))
        ModemMode = ModeFax;
    else if (command == QLatin1String("at+fclass=8"))
        ModemMode = ModeVoice;
    return ReplyOk;
}

int TQVModem253::StartVRX()
{
    const int result = SendIfOpen(QStringLiteral("at+vrx"));
    if (result == ReplyError) // makes the next InitModem cycle the line first
        writeSetting([](IniFile& ini) { settings::writeBool(ini, keys::Atdt, true); });
    else if (result == ReplyConnect || result == ReplyOk) // receiving works again: no more cycles
        writeSetting([](IniFile& ini) {
            if (settings::readBool(ini, keys::Atdt))
                settings::writeBool(ini, keys::Atdt, false);
        });
    return result;
}

int TQVModem253::StartVTX()
{
    if (VoiceState.load() != VoiceIdle)
        return ReplyError; // a stream runs: "at+vtx" would be taken for its data
    return SendIfOpen(QStringLiteral("at+vtx"));
}

bool TQVModem253::EndTransmit(quint64 worker)
{
    if (VoiceState.load() != VoiceTransmit)
        return true;
    int result = StopVTX();
    if (result == ReplyTimeOut && VoiceState.load() == VoiceTransmit && portUsable())
        result = StopVTX();
    if (result != ReplyOk) {
        Log(QStringLiteral("stop Transmiting FAILED"));
        // A modem that stays in its stream hears no command and reports no
        // ring: closing the port makes it leave, and it is bound again.
        runOnEngineThread([this] {
            if (VoiceState.load() != VoiceTransmit || !portUsable())
                return;
            Log(QStringLiteral("<ERROR> The modem did not leave its transmit stream: the port is closed to end it"));
            ReleaseModem();
        });
        return false;
    }
    runOnEngineThread([this, worker] {
        TrxEndWorker = worker;
        if (auto handler = OnTrxEnd)
            handler(this);
    });
    return true;
}
