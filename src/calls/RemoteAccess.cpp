#include "calls/RemoteAccess.h"

#include "calls/CallState.h"
#include "calls/EventLog.h"
#include "calls/RecordingController.h"
#include "calls/RecordingView.h"
#include "catalogue/RecordingNames.h"
#include "catalogue/TableError.h"

#include <QFileInfo>
#include <QLocale>

namespace {

QString callerText(const QString& caller)
{
    return caller.trimmed().isEmpty() ? QStringLiteral("unknown") : caller;
}

} // namespace

QString RemoteAccess::countText(int count)
{
    return QStringLiteral("You have %1 new messages").arg(count);
}

QString RemoteAccess::announcement(int number, const NewMessage& message)
{
    return QStringLiteral("Message number %1. Received on %2, at %3 from caller %4")
        .arg(number)
        .arg(LongDateText(message.date), QLocale::system().toString(message.time, QLocale::ShortFormat),
             callerText(message.callerId));
}

RemoteAccess::RemoteAccess(Parts parts) : m_(parts) {}

RemoteAccess::~RemoteAccess()
{
    m_.clock.cancel(m_digitTimer);
}

bool RemoteAccess::current() const
{
    return m_.state.callId == m_callId && m_.state.phase == CallPhase::RemoteAccess;
}

void RemoteAccess::say(const QString& text, Step step, After next, const char* limitLine)
{
    m_step = step;
    m_.line.speak(text, [this, next, limitLine](LineOutput::Result result) {
        if (!current())
            return;
        if (result == LineOutput::Result::TimedOut)
            rebind(limitLine);
        else
            (this->*next)();
    });
}

void RemoteAccess::start()
{
    m_callId = m_.state.callId;
    m_row = 0;
    m_heard = 0;
    m_announce = true;
    try {
        m_rows = m_.catalogue.newMessages();
    } catch (const TableError& e) {
        m_.log.LogEvent(QStringLiteral("<ERROR> ") + e.message());
        m_rows.clear();
    }
    m_.state.dtmfDigits.clear();
    if (m_rows.empty())
        say(NoMessagesText, Step::GoodBye, &RemoteAccess::finish, "block0 infinite loop");
    else
        say(countText(int(m_rows.size())), Step::Count, &RemoteAccess::announce, "block1 infinite loop");
}

void RemoteAccess::announce()
{
    m_.state.dtmfDigits.clear();
    m_announce = false;
    ++m_heard;
    say(announcement(int(m_row) + 1, m_rows[m_row]), Step::Announce, &RemoteAccess::play,
        " announceMsg infinite loop");
}

void RemoteAccess::play()
{
    const NewMessage& row = m_rows[m_row];
    m_.log.LogEvent(QLocale::system().toString(row.date, QLocale::ShortFormat));
    m_.log.LogEvent(QLocale::system().toString(row.time, QLocale::ShortFormat));
    m_.log.LogEvent(callerText(row.callerId));
    m_.log.LogEvent(QStringLiteral("Play ") + row.fileName);
    m_.state.greetingIsTts = false;
    m_.state.dtmfDigits.clear();
    // A file name that is not a plain name is never taken for a path.
    const QString path = m_.catalogue.recordingPath(row.fileName);
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        // Told once: a message whose file has gone is not offered again.
        m_.log.LogEvent(QStringLiteral("<ERROR> The recording of message %1 could not be found; it is marked heard")
                            .arg(m_row + 1));
        markHeard();
        say(MissingFileText, Step::Notice, &RemoteAccess::menu, "block4 infinite loop");
        return;
    }
    m_step = Step::Play;
    m_.line.playFile(path, [this](LineOutput::Result result) {
        if (!current())
            return;
        if (result == LineOutput::Result::TimedOut)
            return rebind("PlayMessage infinite loop");
        if (result == LineOutput::Result::Played)
            markHeard();
        menu();
    });
}

void RemoteAccess::markHeard()
{
    try {
        m_.catalogue.markHeard(m_rows[m_row].id);
    } catch (const TableError& e) {
        m_.log.LogEvent(QStringLiteral("<ERROR> ") + e.message());
    }
}

void RemoteAccess::menu()
{
    m_.state.dtmfDigits.clear();
    m_.state.greetingIsTts = true;
    say(MenuText, Step::Menu, &RemoteAccess::waitForDigit, "menu infinite loop");
}

void RemoteAccess::waitForDigit()
{
    m_step = Step::DigitWait;
    if (!m_.state.dtmfDigits.isEmpty())
        return decide();
    const quint64 callId = m_callId;
    m_digitTimer = m_.clock.after(DigitWaitMs, [this, callId] {
        m_digitTimer = 0;
        if (callId == m_callId && current() && m_step == Step::DigitWait)
            decide();
    });
}

void RemoteAccess::digitReceived()
{
    if (!current())
        return;
    const QString& digits = m_.state.dtmfDigits;
    const bool choice = digits.contains(QLatin1Char('1')) || digits.contains(QLatin1Char('2'));
    switch (m_step) {
    case Step::Play: // the message is cut short, and counts as heard
        if (choice) {
            m_.line.cancel();
            markHeard();
            menu();
        }
        break;
    case Step::Menu:
        if (choice) {
            m_.line.cancel();
            waitForDigit();
        }
        break;
    case Step::DigitWait:
        m_.clock.cancel(m_digitTimer);
        m_digitTimer = 0;
        decide();
        break;
    default: break;
    }
}

void RemoteAccess::decide()
{
    m_step = Step::Idle;
    const QString digits = m_.state.dtmfDigits;
    if (digits == QLatin1String("2")) {
        ++m_row;
        m_announce = true;
    }
    if ((digits == QLatin1String("1") || digits == QLatin1String("2")) && m_row < m_rows.size())
        return m_announce ? announce() : play();
    goodBye();
}

void RemoteAccess::goodBye()
{
    say(GoodByeText, Step::GoodBye, &RemoteAccess::finish, "block3 infinite loop");
}

void RemoteAccess::finish()
{
    m_step = Step::Idle;
    m_.controller.Stop(); // "-- Remote completed", on hook
    try {
        const int count = m_.catalogue.newMessageCount();
        m_.view.showNewMessages(count);
        if (count == 0)
            m_.view.showTray(TrayIcon::Bound);
    } catch (const TableError&) {
    }
}

void RemoteAccess::rebind(const char* line)
{
    m_step = Step::Idle;
    m_.log.LogEvent(QString::fromLatin1(line));
    m_.controller.Stop();
    m_.controller.Rebind();
}
