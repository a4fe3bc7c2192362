#pragma once

#include "web/HttpMessage.h"
#include "web/LoginThrottle.h"
#include "web/RouteTable.h"
#include "web/SessionStore.h"
#include "web/WebContext.h"

#include <QString>
#include <functional>

class CallService;

// The web interface without its transport: every request passes the host
// check, then the session check (but the login page and the static files),
// then for a POST the cross-site check, before its route sees it.
class WebApp
{
public:
    struct Options
    {
        qint64 sessionIdleMs = 30 * 60 * 1000LL;
        std::function<qint64()> clock; // milliseconds; a steady clock when empty
        QString tempFolder;            // private: converted audio, uploads
    };
    static inline const QByteArray SessionCookie = QByteArrayLiteral("vlm_session");

    WebApp(CallService& service, Options options);

    void handle(const WebRequest& request, const WebReply& reply);

private:
    WebResponse login(const WebRequest& request);
    WebResponse logout(const WebRequest& request);
    bool crossSite(const WebRequest& request, const QByteArray& csrf) const;
    static bool trustedHost(const WebRequest& request);
    void finish(const WebRequest& request, WebResponse response, const WebReply& reply) const;

    WebContext m_context;
    SessionStore m_sessions;
    LoginThrottle m_throttle;
    RouteTable m_routes;
};
