#include "web/CallsPage.h"

#include "calls/CallerLists.h"
#include "catalogue/Catalogue.h"
#include "catalogue/RecordingPage.h"
#include "web/HttpMessage.h"

#include <QUrlQuery>

namespace {

QString attr(const QString& text)
{
    return htmlEscaped(text);
}

QString pageLink(const callspage::Listing& at, int page, const QString& label, const QString& rel)
{
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("folder"), at.folder);
    if (!at.search.isEmpty())
        query.addQueryItem(QStringLiteral("q"), at.search);
    query.addQueryItem(QStringLiteral("page"), QString::number(page));
    return QStringLiteral("<a href=\"/?%1\" data-page=\"%2\" rel=\"%3\">%4</a>")
        .arg(attr(query.toString(QUrl::FullyEncoded)), QString::number(page), rel, label);
}

QString pager(const callspage::Listing& at, int total)
{
    const int pages = std::max(1, (total + callspage::PageRows - 1) / callspage::PageRows);
    QString html = QStringLiteral("<nav class=\"pager\" aria-label=\"Pages\">");
    if (at.page > 0)
        html += pageLink(at, at.page - 1, QStringLiteral("&larr; Newer"), QStringLiteral("prev"));
    html += QStringLiteral("<span>Page %1 of %2</span>").arg(at.page + 1).arg(pages);
    if (at.page + 1 < pages)
        html += pageLink(at, at.page + 1, QStringLiteral("Older &rarr;"), QStringLiteral("next"));
    return html + QStringLiteral("</nav>");
}

QString summary(const callspage::Listing& at, const RecordingPage& page)
{
    if (!at.search.isEmpty())
        return QStringLiteral("<p class=\"summary\">%1 found for \"%2\" in every folder</p>").arg(page.total).arg(htmlEscaped(at.search));
    const QString count = page.total == 1 ? QStringLiteral("1 recording") : QStringLiteral("%1 recordings").arg(page.total);
    return QStringLiteral("<p class=\"summary\">%1, %2 new</p>").arg(count).arg(page.newCount);
}

} // namespace

namespace callspage {

QString folderOptions(Catalogue& catalogue, const QString& selected)
{
    QString html;
    catalogue.tree().forEach([&](const FolderNode& node, int level) {
        html += QStringLiteral("<option value=\"%1\"%2>%3%4</option>")
                    .arg(attr(node.folderKey), node.folderKey == selected ? QStringLiteral(" selected") : QString(),
                         QString(level * 2, QChar(0x00a0)), htmlEscaped(node.text));
    });
    return html;
}

QString callItem(const RecordingRow& row)
{
    const QString id = attr(row.id);
    return QStringLiteral("<details class=\"call%1\" data-id=\"%2\"><summary>"
                          "<span class=\"badge\">%3</span><span class=\"when\">%4 %5</span>"
                          "<span class=\"dur\">%6</span><span class=\"num\">%7</span><span class=\"memo\">%8</span></summary>"
                          "<div class=\"actions\"><audio controls preload=\"none\" data-src=\"/audio/%2\"></audio>"
                          "<a href=\"/audio/%2?download=1\" download>Download</a>"
                          "<form class=\"memo-form\"><label>Memo <input name=\"memo\" maxlength=\"200\" value=\"%8\"></label>"
                          "<button>Save memo</button></form>"
                          "<form class=\"move-form\"><label>Move to <select name=\"folder\"></select></label><button>Move</button></form>"
                          "<button type=\"button\" class=\"delete\">Delete</button></div></details>")
        .arg(row.accessed ? QString() : QStringLiteral(" new"), id, row.accessed ? QString() : QStringLiteral("New"),
             row.date.toString(Qt::ISODate), row.time.toString(QStringLiteral("HH:mm")), htmlEscaped(row.duration),
             htmlEscaped(callerlists::printable(row.callerId)), htmlEscaped(row.comment));
}

QString listing(Catalogue& catalogue, const Listing& at)
{
    const RecordingPage page = readRecordingPage(catalogue, at.folder, at.search, at.page * PageRows, PageRows);
    QString items;
    for (const RecordingRow& row : page.rows)
        items += callItem(row);
    if (page.rows.empty())
        items = QStringLiteral("<p class=\"empty\">No recordings here.</p>");
    return summary(at, page) + QStringLiteral("<div class=\"calls\">") + items + QStringLiteral("</div>") + pager(at, page.total);
}

QString body(Catalogue& catalogue, const Listing& at)
{
    return QStringLiteral("<form id=\"filter\" method=\"get\" action=\"/\" role=\"search\">"
                          "<label>Folder <select name=\"folder\" id=\"folder\">%1</select></label>"
                          "<label>Search <input type=\"search\" name=\"q\" id=\"search\" value=\"%2\" maxlength=\"%3\" "
                          "placeholder=\"Number, name or memo\"></label><noscript><button>Show</button></noscript></form>"
                          "<template id=\"folder-options\">%4</template>"
                          "<div id=\"listing\" data-folder=\"%5\" data-page=\"%6\">%7</div>")
        .arg(folderOptions(catalogue, at.folder), attr(at.search), QString::number(MaxSearchLength),
             folderOptions(catalogue, QString()), attr(at.folder), QString::number(at.page), listing(catalogue, at));
}

} // namespace callspage
