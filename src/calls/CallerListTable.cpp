#include "calls/CallerListTable.h"

#include "catalogue/CatalogueSchema.h"
#include "catalogue/TableError.h"
#include "catalogue/TableFiles.h"

namespace {

QString text(Table& t, const char* field)
{
    return t.field(QLatin1String(field)).asText();
}

// The row under the cursor, or nothing when a value is not one of ours.
std::optional<ListEntry> readRow(Table& t)
{
    ListEntry e;
    const auto list = callerlists::parseList(text(t, "List"));
    const auto kind = callerlists::parseKind(text(t, "Kind"));
    const auto action = callerlists::parseAction(text(t, "Action"));
    if (!list || !kind || !action)
        return std::nullopt;
    e.id = text(t, "EntryId");
    e.list = *list;
    e.action = *action;
    const QString caller = *kind == EntryKind::Name ? QStringLiteral("name:") + text(t, "Pattern")
                         : *kind == EntryKind::Number ? text(t, "Pattern")
                                                      : callerlists::kindName(*kind);
    if (!callerlists::parseCaller(caller, e).isEmpty() || e.kind != *kind)
        return std::nullopt;
    e.rings = std::clamp(t.field(QStringLiteral("Rings")).asInteger(), 0, callerlists::MaxRings);
    e.greeting = text(t, "Greeting").left(callerlists::MaxGreetingLength);
    e.note = text(t, "Note").left(callerlists::MaxNoteLength);
    const QDate date = t.field(QStringLiteral("DateA")).asVariant().toDate();
    const QTime time = t.field(QStringLiteral("TimeA")).asVariant().toTime();
    if (date.isValid())
        e.added = QDateTime(date, time.isValid() ? time : QTime(0, 0));
    return e;
}

} // namespace

CallerListTable::CallerListTable(const QString& dataFolder)
    : m_db(dataFolder), m_table(m_db, schema::CallerListsTable)
{
}

CallerListTable::~CallerListTable() = default;

void CallerListTable::open()
{
    if (m_table.isOpen())
        return;
    try {
        openOrCreateTable(m_table, schema::callerListsFields());
        for (const FieldDef& def : schema::callerListsFields())
            m_table.field(def.name); // raises when a field is missing
    } catch (const TableError& e) {
        m_table.close();
        throw TableError(OpenErrorText + QStringLiteral(" (") + e.message() + QLatin1Char(')'));
    }
}

std::vector<ListEntry> CallerListTable::entries()
{
    open();
    m_table.refresh(); // another process (velmora-cli block add) may have changed it
    std::vector<ListEntry> out;
    m_skipped = 0;
    for (m_table.first(); !m_table.eof(); m_table.next()) {
        if (auto e = readRow(m_table))
            out.push_back(std::move(*e));
        else
            ++m_skipped;
    }
    return out;
}

bool CallerListTable::locate(CallerList list, const QString& idOrCaller)
{
    ListEntry wanted;
    const bool isCaller = callerlists::parseCaller(idOrCaller, wanted).isEmpty();
    for (m_table.first(); !m_table.eof(); m_table.next()) {
        const auto e = readRow(m_table);
        if (!e || e->list != list)
            continue;
        if (e->id == idOrCaller.trimmed())
            return true;
        if (isCaller && e->kind == wanted.kind
            && callerlists::callerText(*e).compare(callerlists::callerText(wanted), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString CallerListTable::add(ListEntry entry)
{
    open();
    m_table.refresh();
    QString id;
    if (locate(entry.list, callerlists::callerText(entry))) {
        id = text(m_table, "EntryId");
        m_table.edit();
    } else {
        id = m_table.newUniqueKey(QStringLiteral("EntryId"));
        m_table.append();
        m_table.field(QStringLiteral("EntryId")).setText(id);
        clearSpareFields(m_table);
    }
    const QDateTime added = entry.added.isValid() ? entry.added : QDateTime::currentDateTime();
    m_table.field(QStringLiteral("List")).setText(callerlists::listName(entry.list));
    m_table.field(QStringLiteral("Kind")).setText(callerlists::kindName(entry.kind));
    m_table.field(QStringLiteral("Pattern")).setText(entry.pattern);
    m_table.field(QStringLiteral("Action")).setText(callerlists::actionName(entry.action));
    m_table.field(QStringLiteral("Rings")).setInteger(std::clamp(entry.rings, 0, callerlists::MaxRings));
    m_table.field(QStringLiteral("Greeting")).setText(entry.greeting.left(callerlists::MaxGreetingLength));
    m_table.field(QStringLiteral("Note")).setText(entry.note.left(callerlists::MaxNoteLength));
    m_table.field(QStringLiteral("DateA")).setVariant(added.date());
    m_table.field(QStringLiteral("TimeA")).setVariant(added.time());
    m_table.post();
    m_table.commit();
    return id;
}

bool CallerListTable::remove(CallerList list, const QString& idOrCaller)
{
    open();
    m_table.refresh();
    if (!locate(list, idOrCaller))
        return false;
    m_table.deleteRow();
    m_table.commit();
    return true;
}
