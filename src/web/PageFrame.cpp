#include "web/PageFrame.h"

#include "web/HttpMessage.h"

#include <array>

namespace {

struct NavItem
{
    webpage::Section section;
    const char* href;
    const char* label;
};

constexpr std::array<NavItem, 4> Nav = {{{webpage::Section::Calls, "/", "Calls"},
                                         {webpage::Section::Greetings, "/greetings", "Greetings"},
                                         {webpage::Section::Lists, "/lists", "Caller lists"},
                                         {webpage::Section::Status, "/status", "Status"}}};

QString head(const QString& title)
{
    return QStringLiteral("<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                          "<title>%1 - Velmora</title><link rel=\"stylesheet\" href=\"/static/app.css\">")
        .arg(htmlEscaped(title));
}

QString navigation(webpage::Section current)
{
    QString links;
    for (const NavItem& item : Nav)
        links += QStringLiteral("<a href=\"%1\"%2>%3</a>")
                     .arg(QLatin1String(item.href),
                          item.section == current ? QStringLiteral(" aria-current=\"page\"") : QString(),
                          QLatin1String(item.label));
    return links;
}

} // namespace

namespace webpage {

QString frame(Section section, const QByteArray& csrf, bool answeringOn, const QString& body)
{
    QString title;
    for (const NavItem& item : Nav)
        if (item.section == section)
            title = QLatin1String(item.label);
    return head(title) + QStringLiteral("<meta name=\"csrf-token\" content=\"%1\"><script src=\"/static/app.js\" defer></script>"
                                        "</head><body><header><nav>%2</nav>"
                                        "<label class=\"switch\"><input type=\"checkbox\" id=\"answering\"%3> Answering machine</label>"
                                        "<span id=\"line\" role=\"status\" aria-live=\"polite\"></span>"
                                        "<form method=\"post\" action=\"/logout\" id=\"logout\"><input type=\"hidden\" name=\"csrf\" value=\"%1\"><button>Log out</button></form>"
                                        "</header><main>%4</main><p id=\"notice\" role=\"alert\"></p></body></html>")
                             .arg(QString::fromLatin1(csrf), navigation(section),
                                  answeringOn ? QStringLiteral(" checked") : QString(), body);
}

QString login(const QString& message)
{
    const QString note = message.isEmpty() ? QString() : QStringLiteral("<p class=\"error\" role=\"alert\">%1</p>").arg(htmlEscaped(message));
    return head(QStringLiteral("Log in"))
        + QStringLiteral("</head><body class=\"login\"><main><h1>Velmora</h1>%1"
                         "<form method=\"post\" action=\"/login\"><label for=\"password\">Password</label>"
                         "<input type=\"password\" id=\"password\" name=\"password\" autocomplete=\"current-password\" "
                         "required autofocus><button type=\"submit\">Log in</button></form></main></body></html>")
              .arg(note);
}

} // namespace webpage
