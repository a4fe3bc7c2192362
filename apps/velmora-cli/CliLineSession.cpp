#include "CliLineSession.h"

#include "catalogue/DataFolder.h"
#include "modem/DleCodes.h"
#include "core/VisibleText.h"

#include <QCoreApplication>
#include <QThread>

namespace {

struct EventName
{
    TQVModem253::SenderEvent TQVModem253::*event;
    DleAction action;
};

const EventName SenderEvents[] = {
    {&TQVModem253::OnRcvOverrun, DleAction::RcvOverrun}, {&TQVModem253::OnLclOnHook, DleAction::LclOnHook},
    {&TQVModem253::OnLclOffHook, DleAction::LclOffHook}, {&TQVModem253::OnSilence, DleAction::Silence},
    {&TQVModem253::OnQuiet, DleAction::Quiet},           {&TQVModem253::OnLCI, DleAction::LCI},
    {&TQVModem253::OnLCPR, DleAction::LCPR},             {&TQVModem253::OnCallWait, DleAction::CallWait},
    {&TQVModem253::OnRingBack, DleAction::RingBack},     {&TQVModem253::OnBusy, DleAction::Busy},
    {&TQVModem253::OnDialtone, DleAction::Dialtone},     {&TQVModem253::OnReorder, DleAction::Reorder},
    {&TQVModem253::OnTrxUnderrun, DleAction::TrxUnderrun}, {&TQVModem253::OnExtOnHook, DleAction::ExtOnHook},
    {&TQVModem253::OnExtOffHook, DleAction::ExtOffHook}, {&TQVModem253::OnVoiceDetect, DleAction::VoiceDetect},
    {&TQVModem253::OnHandsetOffHook, DleAction::HandsetOffHook},
};

} // namespace

CliLineSession::CliLineSession(CliContext& context, const QString& commandName)
    : m_ctx(context), m_name(commandName), m_log(context.err), m_modem(context)
{
    m_modem.engine().setLogger(&m_log);
}

CliLineSession::~CliLineSession() = default;

bool CliLineSession::initialise()
{
    QString error;
    if (datafolder::prepare(m_ctx.dataDir, &error).isEmpty()) {
        m_ctx.err << "velmora-cli " << m_name << ": " << error << "\n";
        return false;
    }
    if (!m_modem.checkProbed(m_ctx.err, m_name))
        return false;
    try {
        ensureInitScript(initScriptPath(m_modem.settings().fileName()));
        if (engine().InitModem())
            return true;
        m_ctx.err << "velmora-cli " << m_name << ": "
                  << (engine().portIsOpen() ? "the modem did not answer its initialisation" : "the serial port did not open")
                  << "\n";
    } catch (const std::exception& e) { // SerialPortError, InitScriptError
        m_ctx.err << e.what() << "\n";
    }
    m_ctx.err.flush();
    return false;
}

void CliLineSession::printLine(const QString& line)
{
    m_ctx.out << visibleLines(line) << '\n';
    m_ctx.out.flush();
}

void CliLineSession::printEvents()
{
    TQVModem253& e = engine();
    e.OnRing = [this](TQVModem253*) { printLine(QStringLiteral("RING")); };
    e.OnRingAway = [this](int n) { printLine(QStringLiteral("RINGAWAY %1").arg(n)); };
    e.OnCallerID = [this](const QString& date, const QString& time, const QString& number, const QString& name) {
        printLine(QStringLiteral("CALLERID date=%1 time=%2 number=%3 name=%4").arg(date, time, number, name));
    };
    e.OnDTMF = [this](char digit) { printLine(QStringLiteral("DTMF %1").arg(QLatin1Char(digit))); };
    e.OnCmxMsg = [this](const QString& m) { printLine(QStringLiteral("CALLERID-MESSAGE %1").arg(m)); };
    e.OnCmxError = [this](const QString& m) { printLine(QStringLiteral("CALLERID-ERROR %1").arg(m)); };
    e.OnDstvRing = [this](const QString& on, const QString& off) {
        printLine(QStringLiteral("DISTINCTIVE-RING on=%1 off=%2").arg(on, off));
    };
    e.OnCadence = [this](const QString& on, const QString& off) {
        printLine(QStringLiteral("RING-CADENCE on=%1 off=%2").arg(on, off));
    };
    for (const EventName& n : SenderEvents) {
        const QString name = QString::fromLatin1(dleActionName(n.action));
        e.*n.event = [this, name](TQVModem253*) { printLine(name); };
    }
}

bool CliLineSession::interrupted() const
{
    return InterruptScope::interrupted();
}

void CliLineSession::run(std::optional<int> seconds)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 limitMs = seconds ? qint64(*seconds) * 1000 : -1;
    while (!m_stopped && !interrupted() && (limitMs < 0 || clock.elapsed() < limitMs)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}
