#include "web/RouteTable.h"

namespace {

RouteHandler wrap(std::function<WebResponse(const RouteCall&)> handler)
{
    return [handler = std::move(handler)](const RouteCall& call, const WebReply& reply) { reply(handler(call)); };
}

} // namespace

void RouteTable::get(const char* pattern, std::function<WebResponse(const RouteCall&)> handler)
{
    add("GET", pattern, wrap(std::move(handler)));
}

void RouteTable::post(const char* pattern, std::function<WebResponse(const RouteCall&)> handler)
{
    add("POST", pattern, wrap(std::move(handler)));
}

void RouteTable::add(const QByteArray& method, const char* pattern, RouteHandler handler)
{
    m_routes.push_back({method, QByteArray(pattern).split('/'), std::move(handler)});
}

bool RouteTable::segmentsMatch(const Route& route, const QList<QByteArray>& segments, QStringList* args)
{
    if (route.segments.size() != segments.size())
        return false;
    QStringList taken;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        QString decoded;
        if (route.segments[i] == "*") {
            if (!plainSegment(segments[i], &decoded))
                return false;
            taken << decoded;
        } else if (route.segments[i] != segments[i]) {
            return false;
        }
    }
    *args = taken;
    return true;
}

RouteTable::Match RouteTable::match(const QByteArray& method, const QByteArray& path, const RouteHandler** handler,
                                    QStringList* args) const
{
    const QList<QByteArray> segments = path.split('/');
    Match found = Match::None;
    for (const Route& route : m_routes) {
        if (!segmentsMatch(route, segments, args))
            continue;
        if (route.method == method) {
            *handler = &route.handler;
            return Match::Found;
        }
        found = Match::WrongMethod;
    }
    return found;
}
