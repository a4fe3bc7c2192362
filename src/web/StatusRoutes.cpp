#include "web/HttpMessage.h"
#include "web/PageFrame.h"
#include "web/RouteTable.h"
#include "web/WebContext.h"

#include "calls/CallService.h"
#include "calls/CallState.h"
#include "calls/CallerLists.h"
#include "calls/EventLog.h"
#include "config/CurrentSettings.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "modem/TQVModem253.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int LogLines = 20;
constexpr int LogLineLength = 200;

QString lineState(CallPhase phase)
{
    switch (phase) {
    case CallPhase::Idle: return QStringLiteral("idle");
    case CallPhase::Ringing: return QStringLiteral("ringing");
    case CallPhase::AutoRecording: return QStringLiteral("recording a call");
    case CallPhase::Greeting: return QStringLiteral("answering");
    case CallPhase::MessageRecording: return QStringLiteral("recording a message");
    case CallPhase::RemoteAccess: return QStringLiteral("remote access");
    case CallPhase::ManualRecording: return QStringLiteral("recording");
    case CallPhase::TurningAway: return QStringLiteral("turning a caller away");
    }
    return QString();
}

QJsonObject status(WebContext& c)
{
    CallService& s = c.service;
    const CallState& state = s.state();
    const bool bound = s.callsStarted() && s.engine().portIsOpen();
    QString caller = callerlists::printable(state.callerNumber);
    if (!state.callerName.isEmpty())
        caller += QLatin1Char(' ') + callerlists::printable(state.callerName);
    QJsonArray events;
    const QStringList lines = s.log().lines();
    for (qsizetype i = std::max<qsizetype>(0, lines.size() - LogLines); i < lines.size(); ++i)
        events.append(callerlists::printable(lines[i], LogLineLength));
    return {{QStringLiteral("revision"), c.revision()},
            {QStringLiteral("modem"), bound ? QStringLiteral("bound") : QStringLiteral("released")},
            {QStringLiteral("line"), lineState(state.phase)},
            {QStringLiteral("caller"), state.phase == CallPhase::Idle ? QString() : caller.trimmed()},
            {QStringLiteral("answering"), c.answeringOn()},
            {QStringLiteral("events"), events}};
}

const QString StatusBody = QStringLiteral(
    "<h1>Status</h1><dl class=\"status\"><dt>Modem</dt><dd id=\"modem\"></dd><dt>Line</dt><dd id=\"line-state\"></dd>"
    "<dt>Caller</dt><dd id=\"caller\"></dd></dl><h2>Last events</h2><ol id=\"events\" class=\"events\"></ol>");

} // namespace

void addStatusRoutes(RouteTable& routes, WebContext& c)
{
    routes.get("/api/status", [&c](const RouteCall&) { return WebResponse::json(status(c)); });
    routes.get("/status", [&c](const RouteCall& call) {
        return WebResponse::html(webpage::frame(webpage::Section::Status, call.csrf, c.answeringOn(), StatusBody));
    });
    routes.post("/api/answering", [&c](const RouteCall& call) {
        const bool on = QJsonDocument::fromJson(call.request.body).object().value(QStringLiteral("on")).toBool();
        if (!settings::writeBool(c.service.ini(), keys::AnsweringMachine, on))
            return WebResponse::text(500, QStringLiteral("The settings file cannot be written."));
        c.service.settings().reloadIfChanged();
        c.service.log().LogEvent(on ? QStringLiteral("Answering machine on (web)") : QStringLiteral("Answering machine off (web)"));
        return WebResponse::json(QJsonObject{{QStringLiteral("answering"), c.answeringOn()}});
    });
}
