#pragma once

#include <QString>
#include <functional>

class CallService;
class RouteTable;

// What the routes work on: the running call service and a private folder
// (converted audio, uploads on their way in).
struct WebContext
{
    CallService& service;
    std::function<qint64()> clock;
    QString tempFolder;
    quint64 changes = 0; // bumped by each change made through the pages

    // Changes when a call ends, a recording is added or the pages changed
    // something: the pages poll it to know when to show the list again.
    QString revision();
    bool answeringOn();
};

void addCallsRoutes(RouteTable& routes, WebContext& context);
void addAudioRoutes(RouteTable& routes, WebContext& context);
void addStatusRoutes(RouteTable& routes, WebContext& context);
void addGreetingsRoutes(RouteTable& routes, WebContext& context);
void addListsRoutes(RouteTable& routes, WebContext& context);
