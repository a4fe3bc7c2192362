#include "app/HelpTopics.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace help {

namespace {

const QString IndexPage = QStringLiteral("index.html");

struct Topic
{
    int first;
    int last;
    const char* page;
};

// One page serves several of the numbers.
constexpr Topic Topics[] = {
    {1001, 1001, "index.html"},         {1004, 1004, "recordings.html"}, {1005, 1005, "glossary.html"},
    {1006, 1006, "answering.html"},     {1007, 1007, "support.html"},    {1010, 1010, "recording.html"},
    {1011, 1011, "formats.html"},       {1012, 1014, "modems.html"},     {1015, 1015, "index.html"},
    {1016, 1032, "legal.html"},         {1033, 1033, "settings.html"},   {1034, 1034, "glossary.html"},
    {1036, 1036, "postprocessing.html"}, {1037, 1037, "recording.html"}, {1038, 1038, "answering.html"},
    {1039, 1044, "settings.html"},      {1045, 1045, "modems.html"},     {1046, 1046, "support.html"},
    {1047, 1047, "folders.html"},       {1048, 1048, "answering.html"},
};

} // namespace

QString pageOf(int context)
{
    for (const Topic& t : Topics)
        if (context >= t.first && context <= t.last)
            return QString::fromLatin1(t.page);
    return IndexPage;
}

QString folder()
{
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/velmora/help");
    for (const QString& candidate : {installed, QStringLiteral(VELMORA_HELP_INSTALL_DIR), QStringLiteral(VELMORA_HELP_SOURCE_DIR)})
        if (QFileInfo(candidate + QLatin1Char('/') + IndexPage).isFile())
            return QFileInfo(candidate).canonicalFilePath();
    return QStringLiteral(VELMORA_HELP_SOURCE_DIR);
}

QString pathOf(int context)
{
    const QString base = folder() + QLatin1Char('/');
    const QString page = base + pageOf(context);
    return QFileInfo(page).isFile() ? page : base + IndexPage;
}

bool show(int context)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(pathOf(context)));
}

} // namespace help
