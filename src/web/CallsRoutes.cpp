#include "web/CallsPage.h"
#include "web/PageFrame.h"
#include "web/RouteTable.h"
#include "web/WebContext.h"

#include "calls/CallService.h"
#include "catalogue/Catalogue.h"
#include "catalogue/FolderOperations.h"
#include "catalogue/RecordingOperations.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int MaxMemoLength = 200;

callspage::Listing listingOf(const WebRequest& request, Catalogue& catalogue)
{
    callspage::Listing at;
    at.folder = request.queryItem(QStringLiteral("folder"));
    if (at.folder.isEmpty())
        at.folder = catalogue.recordFolderId();
    at.search = request.queryItem(QStringLiteral("q")).trimmed().left(callspage::MaxSearchLength);
    at.page = std::clamp(request.queryItem(QStringLiteral("page")).toInt(), 0, 1000000);
    return at;
}

QJsonObject jsonBody(const WebRequest& request)
{
    return QJsonDocument::fromJson(request.body).object();
}

// What the user typed, as one line without control characters.
QString oneLine(const QString& text, int max)
{
    QString line;
    for (const QChar c : text)
        line += c.unicode() < 0x20 || c.unicode() == 0x7f ? QChar(u' ') : c;
    return line.trimmed().left(max);
}

WebResponse ok()
{
    return WebResponse::json(QJsonObject{{QStringLiteral("ok"), true}});
}

WebResponse noRow()
{
    return WebResponse::text(404, QStringLiteral("There is no such recording."));
}

} // namespace

void addCallsRoutes(RouteTable& routes, WebContext& c)
{
    routes.get("/", [&c](const RouteCall& call) {
        Catalogue& catalogue = c.service.catalogue();
        return WebResponse::html(webpage::frame(webpage::Section::Calls, call.csrf, c.answeringOn(),
                                                callspage::body(catalogue, listingOf(call.request, catalogue))));
    });
    routes.get("/rows", [&c](const RouteCall& call) {
        Catalogue& catalogue = c.service.catalogue();
        return WebResponse::html(callspage::listing(catalogue, listingOf(call.request, catalogue)));
    });
    routes.post("/api/calls/*/heard", [&c](const RouteCall& call) {
        return c.service.catalogue().markHeard(call.args[0]) ? ok() : noRow();
    });
    routes.post("/api/calls/*/memo", [&c](const RouteCall& call) {
        const QString memo = oneLine(jsonBody(call.request).value(QStringLiteral("memo")).toString(), MaxMemoLength);
        if (memo.isEmpty())
            return WebResponse::text(400, QStringLiteral("A memo cannot be empty."));
        return RecordingOperations(c.service.catalogue()).setComment(call.args[0], memo) ? ok() : noRow();
    });
    routes.post("/api/calls/*/move", [&c](const RouteCall& call) {
        const QString folder = jsonBody(call.request).value(QStringLiteral("folder")).toString();
        return FolderOperations(c.service.catalogue()).fileRecordings({call.args[0]}, folder) > 0 ? ok() : noRow();
    });
    routes.post("/api/calls/*/delete", [&c](const RouteCall& call) {
        const DeleteOutcome outcome = RecordingOperations(c.service.catalogue()).remove({call.args[0]});
        if (outcome.rows == 0)
            return noRow();
        return WebResponse::json(QJsonObject{{QStringLiteral("ok"), true},
                                             {QStringLiteral("fileProblems"), outcome.fileProblems.join(QLatin1Char('\n'))}});
    });
}
