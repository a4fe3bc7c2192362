#include "web/WebApp.h"

#include "audio/AudioErrors.h"
#include "calls/CallService.h"
#include "catalogue/TableError.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "web/PageFrame.h"
#include "web/PasswordHash.h"
#include "web/StaticFiles.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QSysInfo>
#include <QUrlQuery>

namespace {

const QByteArray SecurityPolicy = QByteArrayLiteral(
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; media-src 'self' blob:; "
    "connect-src 'self'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'");

std::function<qint64()> steadyClock()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->elapsed() + 1000000; };
}

QString formValue(const QByteArray& body, const QString& name)
{
    return QUrlQuery(QString::fromUtf8(body).replace(QLatin1Char('+'), QLatin1Char(' ')))
        .queryItemValue(name, QUrl::FullyDecoded);
}

QByteArray cookieHeader(const QByteArray& token, bool secure, bool expire)
{
    return WebApp::SessionCookie + '=' + token + "; Path=/; HttpOnly; SameSite=Strict"
        + (secure ? "; Secure" : "") + (expire ? "; Max-Age=0" : "");
}

// The host part of a Host header ("[::1]:8765", "box.local:8765").
QString hostOf(const QByteArray& header)
{
    QString host = QString::fromLatin1(header).trimmed().toLower();
    if (host.startsWith(QLatin1Char('['))) // an IPv6 literal keeps its brackets
        return host.mid(1, host.indexOf(QLatin1Char(']')) - 1);
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    return colon >= 0 ? host.left(colon) : host;
}

} // namespace

WebApp::WebApp(CallService& service, Options options)
    : m_context{service, options.clock ? options.clock : steadyClock(), options.tempFolder},
      m_sessions(options.sessionIdleMs)
{
    addCallsRoutes(m_routes, m_context);
    addAudioRoutes(m_routes, m_context);
    addStatusRoutes(m_routes, m_context);
    addGreetingsRoutes(m_routes, m_context);
    addListsRoutes(m_routes, m_context);
}

// A page of another site that resolves its own name to this machine (DNS
// rebinding) sends its name as Host: only addresses and this machine's own
// names are served.
bool WebApp::trustedHost(const WebRequest& request)
{
    const QString host = hostOf(request.header("host"));
    const QString own = QSysInfo::machineHostName().toLower();
    return !QHostAddress(host).isNull() || host == QLatin1String("localhost")
        || (!own.isEmpty() && (host == own || host.startsWith(own + QLatin1Char('.'))));
}

// A state-changing request must carry the session's token (a header from the
// script, a field from a plain form), and when the browser names the page
// it came from, that page must be this server's.
bool WebApp::crossSite(const WebRequest& request, const QByteArray& csrf) const
{
    const QByteArray origin = request.header("origin");
    const QByteArray own = QByteArray(request.secure ? "https://" : "http://") + request.header("host");
    if (!origin.isEmpty() && origin != own)
        return true;
    const QByteArray fetchSite = request.header("sec-fetch-site");
    if (!fetchSite.isEmpty() && fetchSite != "same-origin" && fetchSite != "none")
        return true;
    if (csrf.isEmpty())
        return false; // the login form: before a session there is no token to send
    QByteArray sent = request.header("x-csrf-token");
    if (sent.isEmpty() && request.header("content-type").startsWith("application/x-www-form-urlencoded"))
        sent = formValue(request.body, QStringLiteral("csrf")).toLatin1();
    return !sameSecret(sent, csrf);
}

void WebApp::handle(const WebRequest& request, const WebReply& reply)
{
    if (!trustedHost(request))
        return finish(request, WebResponse::text(421, QStringLiteral("This server is not reached under that name.")), reply);
    if (request.path.startsWith("/static/"))
        return finish(request, staticfiles::serve(request.path), reply);
    if (request.path == "/login")
        return finish(request, login(request), reply);
    const SessionStore::Session* session = m_sessions.find(request.cookie(SessionCookie), m_context.clock());
    if (!session) {
        const bool page = request.method == "GET" && !request.path.startsWith("/api/") && !request.path.startsWith("/audio/");
        return finish(request, page ? WebResponse::redirect("/login") : WebResponse::text(401, QStringLiteral("Log in first.")), reply);
    }
    const QByteArray csrf = session->csrf;
    if (request.isPost() && crossSite(request, csrf))
        return finish(request, WebResponse::text(403, QStringLiteral("Refused: the request did not come from this site's pages.")), reply);
    if (request.path == "/logout" && request.isPost())
        return finish(request, logout(request), reply);
    const RouteHandler* handler = nullptr;
    QStringList args;
    switch (m_routes.match(request.method, request.path, &handler, &args)) {
    case RouteTable::Match::None: return finish(request, WebResponse::text(404, QStringLiteral("Not found.")), reply);
    case RouteTable::Match::WrongMethod: return finish(request, WebResponse::text(405, QStringLiteral("Method not allowed.")), reply);
    case RouteTable::Match::Found: break;
    }
    const WebReply done = [this, request, reply](WebResponse response) {
        if (request.isPost() && response.status < 400)
            ++m_context.changes;
        finish(request, std::move(response), reply);
    };
    try {
        (*handler)(RouteCall{request, args, csrf}, done);
    } catch (const TableError& e) {
        done(WebResponse::text(500, e.message()));
    } catch (const EACMError& e) {
        done(WebResponse::text(500, e.message()));
    }
}

WebResponse WebApp::login(const WebRequest& request)
{
    if (request.method == "GET")
        return WebResponse::html(webpage::login(QString()));
    if (!request.isPost())
        return WebResponse::text(405, QStringLiteral("Method not allowed."));
    if (crossSite(request, QByteArray()))
        return WebResponse::text(403, QStringLiteral("Refused: the request did not come from this site's pages."));
    const qint64 now = m_context.clock();
    if (const qint64 wait = m_throttle.waitMs(request.peer, now)) {
        const qint64 seconds = (wait + 999) / 1000;
        WebResponse response = WebResponse::html(webpage::login(
            QStringLiteral("Too many wrong passwords. Try again in %1 s.").arg(seconds)));
        response.status = 429;
        return response.with("Retry-After", QByteArray::number(seconds));
    }
    const QString stored = settings::readString(m_context.service.ini(), keys::WebPasswordHash);
    if (!passwordhash::verify(formValue(request.body, QStringLiteral("password")), stored)) {
        m_throttle.failed(request.peer, now);
        WebResponse response = WebResponse::html(webpage::login(QStringLiteral("Wrong password.")));
        response.status = 401;
        return response;
    }
    m_throttle.succeeded(request.peer);
    const QByteArray token = m_sessions.open(now);
    if (token.isEmpty())
        return WebResponse::text(500, QStringLiteral("No session could be made (the random source failed)."));
    return WebResponse::redirect("/").with("Set-Cookie", cookieHeader(token, request.secure, false));
}

WebResponse WebApp::logout(const WebRequest& request)
{
    m_sessions.close(request.cookie(SessionCookie));
    return WebResponse::redirect("/login").with("Set-Cookie", cookieHeader(QByteArray(), request.secure, true));
}

void WebApp::finish(const WebRequest& request, WebResponse response, const WebReply& reply) const
{
    response.with("Content-Security-Policy", SecurityPolicy)
        .with("X-Content-Type-Options", "nosniff")
        .with("X-Frame-Options", "DENY")
        .with("Referrer-Policy", "same-origin"); // "no-referrer" would make the form posts' Origin "null"
    if (!request.path.startsWith("/static/"))
        response.with("Cache-Control", "no-store");
    if (request.secure)
        response.with("Strict-Transport-Security", "max-age=31536000");
    reply(std::move(response));
}
