#pragma once

#include "web/HttpMessage.h"

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <functional>
#include <vector>

using WebReply = std::function<void(WebResponse)>;

// What a route is called with: the request, the decoded parameter segments
// and the session's cross-site token (for the pages' forms).
struct RouteCall
{
    const WebRequest& request;
    QStringList args;
    QByteArray csrf;
};

using RouteHandler = std::function<void(const RouteCall& call, const WebReply& reply)>;

// Routes by method and path. A pattern's "*" segment takes one plain
// segment (see plainSegment); nothing else is taken from a path.
class RouteTable
{
public:
    void get(const char* pattern, RouteHandler handler) { add("GET", pattern, std::move(handler)); }
    void post(const char* pattern, RouteHandler handler) { add("POST", pattern, std::move(handler)); }
    // A synchronous handler.
    void get(const char* pattern, std::function<WebResponse(const RouteCall&)> handler);
    void post(const char* pattern, std::function<WebResponse(const RouteCall&)> handler);

    enum class Match { Found, WrongMethod, None };
    Match match(const QByteArray& method, const QByteArray& path, const RouteHandler** handler, QStringList* args) const;

private:
    struct Route
    {
        QByteArray method;
        QList<QByteArray> segments;
        RouteHandler handler;
    };
    void add(const QByteArray& method, const char* pattern, RouteHandler handler);
    static bool segmentsMatch(const Route& route, const QList<QByteArray>& segments, QStringList* args);

    std::vector<Route> m_routes;
};
