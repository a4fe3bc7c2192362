#include "calls/CallScreen.h"

#include "calls/CallClock.h"
#include "calls/CallerListTable.h"
#include "calls/EventLog.h"
#include "catalogue/Catalogue.h"
#include "catalogue/TableError.h"
#include "config/CurrentSettings.h"

namespace {

QString who(const QString& number, const QString& name)
{
    return (callerlists::printable(number) + QLatin1Char(' ') + callerlists::printable(name)).trimmed();
}

QString eventWord(ScreenEvent::Kind kind)
{
    switch (kind) {
    case ScreenEvent::Kind::Blocked: return QStringLiteral("Blocked");
    case ScreenEvent::Kind::ChallengePassed: return QStringLiteral("Key check passed");
    case ScreenEvent::Kind::ChallengeFailed: return QStringLiteral("Key check failed");
    case ScreenEvent::Kind::Waiting: return QStringLiteral("Call waiting");
    }
    return QString();
}

} // namespace

CallScreen::CallScreen(Parts parts, QObject* parent) : QObject(parent), m_(parts) {}

ScreenDecision CallScreen::decide(const CallerIdentity& caller)
{
    const CallSettings& s = m_.settings.values();
    std::vector<ListEntry> entries;
    if (m_.lists) {
        try {
            entries = m_.lists->entries();
        } catch (const TableError& e) {
            m_.log.LogEvent(QStringLiteral("<ERROR> ") + e.message());
        }
    }
    ScreenDecision d;
    if (const ListEntry* allowed = callerlists::firstMatch(entries, CallerList::Allow, caller)) {
        d.verdict = ScreenVerdict::Allowed;
        d.reason = QStringLiteral("allow list: ") + callerlists::callerText(*allowed);
    } else if (const ListEntry* entry = callerlists::firstMatch(entries, CallerList::Block, caller)) {
        d = blocked(*entry);
    } else if (s.screenUnknown) {
        d.verdict = ScreenVerdict::Challenge;
        d.reason = QStringLiteral("on no list, screened");
    } else {
        d.reason = QStringLiteral("on no list");
    }
    logDecision(caller, d);
    return d;
}

ScreenDecision CallScreen::blocked(const ListEntry& entry)
{
    const CallSettings& s = m_.settings.values();
    ScreenDecision d;
    d.verdict = ScreenVerdict::Blocked;
    d.action = entry.action;
    if (d.action == BlockAction::Default)
        d.action = callerlists::parseAction(s.blockAction).value_or(BlockAction::HangUp);
    if (d.action == BlockAction::Default)
        d.action = BlockAction::HangUp;
    d.rings = entry.rings > 0 ? entry.rings : s.blockRings;
    d.greeting = entry.greeting.trimmed().isEmpty() ? s.blockGreeting : entry.greeting;
    d.reason = QStringLiteral("block list: ") + callerlists::callerText(entry);
    return d;
}

void CallScreen::logDecision(const CallerIdentity& caller, const ScreenDecision& d)
{
    const QString name = caller.callerIdSeen ? who(caller.number, caller.name) : QStringLiteral("(no caller ID)");
    switch (d.verdict) {
    case ScreenVerdict::Allowed:
        m_.log.LogEvent(QStringLiteral("Allowed: %1 (%2)").arg(name, d.reason));
        break;
    case ScreenVerdict::Blocked:
        m_.log.LogEvent(QStringLiteral("Block list: %1 (%2): %3").arg(name, d.reason, callerlists::actionText(d.action)));
        break;
    case ScreenVerdict::Challenge:
        m_.log.LogEvent(QStringLiteral("Screening: %1 (%2): key check").arg(name, d.reason));
        break;
    default:
        m_.log.LogEvent(QStringLiteral("Screening: %1 (%2)").arg(name, d.reason));
        break;
    }
}

void CallScreen::report(ScreenEvent::Kind kind, const QString& number, const QString& name, const QString& action)
{
    ScreenEvent e{kind, callerlists::printable(number), callerlists::printable(name), action, m_.clock.now()};
    QString line = (eventWord(kind) + QStringLiteral(": ") + who(e.number, e.name)).trimmed();
    if (kind != ScreenEvent::Kind::Waiting)
        line += QStringLiteral(": ") + action;
    m_.log.LogEvent(line);
    try {
        m_.catalogue.addCallNote(FolderName, {e.when, e.number, (eventWord(kind) + QStringLiteral(", ") + action
                                                                 + (e.name.isEmpty() ? QString() : QStringLiteral(": ") + e.name))});
    } catch (const TableError& err) {
        m_.log.LogEvent(QStringLiteral("<ERROR> The call could not be catalogued: ") + err.message());
    }
    emit callScreened(e);
}

void CallScreen::allowPasser(const QString& number)
{
    if (!m_.settings.values().allowPassers || !m_.lists)
        return;
    ListEntry entry;
    entry.list = CallerList::Allow;
    if (!callerlists::parseCaller(number, entry).isEmpty() || entry.kind != EntryKind::Number
        || number.contains(QLatin1Char('*')) || number.contains(QLatin1Char('?')))
        return; // withheld, or not a number: nothing to put through next time
    entry.note = PasserNote;
    entry.added = m_.clock.now();
    try {
        m_.lists->add(entry);
        m_.log.LogEvent(QStringLiteral("Allow list: %1 added (%2)").arg(callerlists::printable(number), PasserNote));
    } catch (const TableError& e) {
        m_.log.LogEvent(QStringLiteral("<ERROR> ") + e.message());
    }
}
