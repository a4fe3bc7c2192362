#include "web/GreetingsPage.h"

#include "calls/CallerLists.h"
#include "web/HttpMessage.h"

#include <QFileInfo>

namespace {

QString heard(int msgType, const QString& wav, const QString& tts)
{
    switch (msgType) {
    case 0: return QStringLiteral("WAV file: ") + htmlEscaped(QFileInfo(wav).fileName());
    case 2: return QStringLiteral("Recorded greeting");
    default: return QStringLiteral("Spoken text: &ldquo;") + htmlEscaped(tts) + QStringLiteral("&rdquo;");
    }
}

QString uploadForm(const QString& target)
{
    return QStringLiteral("<form class=\"upload\" data-target=\"%1\"><label>Audio file "
                          "<input type=\"file\" name=\"file\" accept=\"audio/*,.wav,.mp3,.ogg,.opus,.flac\" required></label>"
                          "<button>Upload</button></form>")
        .arg(htmlEscaped(target));
}

QString periodRow(int index, const PeriodSettings& period)
{
    const QString times = index == 0 ? QStringLiteral("The whole day")
                                     : QStringLiteral("%1 %2 to %3")
                                           .arg(period.enabled ? QStringLiteral("On,") : QStringLiteral("Off,"),
                                                period.from.toString(QStringLiteral("HH:mm")),
                                                period.to.toString(QStringLiteral("HH:mm")));
    return QStringLiteral("<tr><th scope=\"row\">%1</th><td>%2</td><td>%3</td><td>%4</td></tr>")
        .arg(htmlEscaped(greetings::PeriodNames[size_t(index)]), times, heard(period.msgType, period.wav, period.tts),
             uploadForm(QStringLiteral("period:%1").arg(index)));
}

QString callerRow(const CallerGreeting& row)
{
    return QStringLiteral("<tr><th scope=\"row\">%1</th><td>%2</td><td>%3</td></tr>")
        .arg(htmlEscaped(callerlists::printable(row.callerId)), heard(row.msgType, row.wavFile, row.tts),
             uploadForm(QStringLiteral("caller:") + row.msgId));
}

} // namespace

namespace greetingspage {

QString body(const GreetingPeriods& periods, const std::vector<CallerGreeting>& callers)
{
    QString html = QStringLiteral("<h1>Greetings</h1><h2>Time periods</h2><div class=\"scroll\"><table class=\"greetings\">"
                                  "<thead><tr><th>Period</th><th>When</th><th>The caller hears</th><th>New file</th></tr></thead><tbody>");
    for (int i = 0; i < int(periods.size()); ++i)
        html += periodRow(i, periods[size_t(i)]);
    html += QStringLiteral("</tbody></table></div><h2>Greetings by caller</h2>");
    if (callers.empty()) {
        html += QStringLiteral("<p>No caller has a greeting of their own.</p>");
    } else {
        html += QStringLiteral("<div class=\"scroll\"><table class=\"greetings\"><thead><tr><th>Caller ID</th>"
                               "<th>The caller hears</th><th>New file</th></tr></thead><tbody>");
        for (const CallerGreeting& row : callers)
            html += callerRow(row);
        html += QStringLiteral("</tbody></table></div>");
    }
    return html + QStringLiteral("<h2>Hear a spoken greeting</h2><form id=\"speak\"><label for=\"speak-text\">Text</label>"
                                 "<textarea id=\"speak-text\" name=\"text\" maxlength=\"500\" rows=\"3\" required></textarea>"
                                 "<button>Hear it</button></form><audio id=\"spoken\" controls hidden></audio>");
}

} // namespace greetingspage
