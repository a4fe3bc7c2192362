#include "web/HttpMessage.h"
#include "web/PageFrame.h"
#include "web/RouteTable.h"
#include "web/WebContext.h"

#include "calls/CallService.h"
#include "calls/CallerListTable.h"
#include "calls/CallerLists.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString entryRow(const ListEntry& entry)
{
    QString action = entry.list == CallerList::Block ? callerlists::actionText(entry.action) : QString();
    if (entry.list == CallerList::Block && entry.action == BlockAction::Default)
        action = QStringLiteral("as in the settings");
    return QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td><button type=\"button\" class=\"remove-entry\" "
                          "data-list=\"%5\" data-id=\"%6\">Remove</button></td></tr>")
        .arg(htmlEscaped(callerlists::printable(callerlists::callerText(entry))), htmlEscaped(action),
             htmlEscaped(callerlists::printable(entry.note, callerlists::MaxNoteLength)),
             entry.added.date().toString(Qt::ISODate), callerlists::listName(entry.list), htmlEscaped(entry.id));
}

QString listTable(const std::vector<ListEntry>& entries, CallerList list, const QString& title)
{
    QString rows;
    for (const ListEntry& entry : entries)
        if (entry.list == list)
            rows += entryRow(entry);
    if (rows.isEmpty())
        return QStringLiteral("<h2>%1</h2><p>Nobody is on this list.</p>").arg(title);
    return QStringLiteral("<h2>%1</h2><div class=\"scroll\"><table class=\"entries\"><thead><tr><th>Caller</th><th>What they get</th>"
                          "<th>Note</th><th>Added</th><th></th></tr></thead><tbody>%2</tbody></table></div>")
        .arg(title, rows);
}

const QString AddForm = QStringLiteral(
    "<h2>Add a caller</h2><form id=\"add-entry\"><label>List <select name=\"list\"><option value=\"block\">Block list</option>"
    "<option value=\"allow\">Allow list</option></select></label><label>Caller <input name=\"caller\" maxlength=\"40\" required "
    "placeholder=\"5551234, 0900*, name:SMITH*, withheld\"></label><label>Note <input name=\"note\" maxlength=\"200\"></label>"
    "<button>Add</button></form>");

WebResponse add(CallerListTable& table, const QJsonObject& body)
{
    ListEntry entry;
    const auto list = callerlists::parseList(body.value(QStringLiteral("list")).toString());
    if (!list)
        return WebResponse::text(400, QStringLiteral("Choose the block list or the allow list."));
    entry.list = *list;
    const QString why = callerlists::parseCaller(body.value(QStringLiteral("caller")).toString().trimmed(), entry);
    if (!why.isEmpty())
        return WebResponse::text(400, why);
    entry.note = callerlists::printable(body.value(QStringLiteral("note")).toString().trimmed(), callerlists::MaxNoteLength);
    entry.added = QDateTime::currentDateTime();
    return WebResponse::json(QJsonObject{{QStringLiteral("id"), table.add(entry)}});
}

} // namespace

void addListsRoutes(RouteTable& routes, WebContext& c)
{
    routes.get("/lists", [&c](const RouteCall& call) {
        QString body = QStringLiteral("<h1>Caller lists</h1>");
        if (CallerListTable* table = c.service.callerLists()) {
            const std::vector<ListEntry> entries = table->entries();
            body += listTable(entries, CallerList::Block, QStringLiteral("Block list"))
                + listTable(entries, CallerList::Allow, QStringLiteral("Allow list")) + AddForm;
        } else {
            body += QStringLiteral("<p>The caller lists cannot be opened (%1).</p>").arg(CallerListTable::OpenErrorText);
        }
        return WebResponse::html(webpage::frame(webpage::Section::Lists, call.csrf, c.answeringOn(), body));
    });
    routes.post("/api/lists/add", [&c](const RouteCall& call) {
        CallerListTable* table = c.service.callerLists();
        if (!table)
            return WebResponse::text(503, CallerListTable::OpenErrorText);
        return add(*table, QJsonDocument::fromJson(call.request.body).object());
    });
    routes.post("/api/lists/remove", [&c](const RouteCall& call) {
        CallerListTable* table = c.service.callerLists();
        const QJsonObject body = QJsonDocument::fromJson(call.request.body).object();
        const auto list = callerlists::parseList(body.value(QStringLiteral("list")).toString());
        if (!table || !list || !table->remove(*list, body.value(QStringLiteral("id")).toString()))
            return WebResponse::text(404, QStringLiteral("There is no such entry."));
        return WebResponse::json(QJsonObject{{QStringLiteral("ok"), true}});
    });
}
