#include "CliCommand.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Query.h"
#include "catalogue/TableError.h"

namespace {

const QString NewMessagesSql = QStringLiteral("SELECT * FROM recordings WHERE accessed=false");

// A TAB or line break inside a value would break the columns.
QString column(const QString& text)
{
    QString flat = text;
    for (QChar& c : flat)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return flat;
}

void printRow(RowCursor& row, QTextStream& out)
{
    const QStringList columns = {
        row.field(QStringLiteral("id")).asText(),
        row.field(QStringLiteral("DateS")).asVariant().toDate().toString(QStringLiteral("yyyy-MM-dd")),
        row.field(QStringLiteral("TimeS")).asVariant().toTime().toString(QStringLiteral("HH:mm:ss")),
        row.field(QStringLiteral("Duration")).asText(),
        row.field(QStringLiteral("callerID")).asText(),
        row.field(QStringLiteral("Comment")).asText(),
        row.field(QStringLiteral("fileName")).asText(),
        QString::number(row.field(QStringLiteral("fileSize")).asInteger()),
        row.field(QStringLiteral("accessed")).asBool() ? QStringLiteral("1") : QStringLiteral("0"),
    };
    QStringList flat;
    for (const QString& text : columns)
        flat.append(column(text));
    out << flat.join(QLatin1Char('\t')) << '\n';
}

// Makes the named folder current; the first folder when no name is given.
bool selectFolder(Catalogue& catalogue, const std::optional<QString>& name)
{
    if (!name) {
        catalogue.folders().first();
        return true;
    }
    return catalogue.folders().locate(QStringLiteral("FolderName"), *name);
}

void listNewMessages(Catalogue& catalogue, const std::optional<QString>& folderKey, QTextStream& out)
{
    Query query(catalogue.database(), NewMessagesSql);
    query.open();
    for (query.first(); !query.eof(); query.next())
        if (!folderKey || query.field(QStringLiteral("FolderId")).asText() == *folderKey)
            printRow(query, out);
}

void listFolder(Catalogue& catalogue, QTextStream& out)
{
    Table& calls = catalogue.calls();
    for (calls.first(); !calls.eof(); calls.next())
        printRow(calls, out);
}

int runList(CliContext& ctx)
{
    CliArgs args(ctx.args);
    const std::optional<QString> folder = args.option(QStringLiteral("--folder"));
    const bool newOnly = args.flag(QStringLiteral("--new"));
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, QStringLiteral("list"), args.error());
    try {
        const auto catalogue = Catalogue::openInDataFolder(ctx.dataDir);
        if (!selectFolder(*catalogue, folder)) {
            ctx.err << "velmora-cli list: there is no folder named \"" << *folder << "\"\n";
            return 1;
        }
        if (newOnly) {
            const auto key = folder ? std::optional<QString>(catalogue->folders().field(QStringLiteral("FolderId")).asText())
                                    : std::nullopt;
            listNewMessages(*catalogue, key, ctx.out);
        } else {
            listFolder(*catalogue, ctx.out);
        }
    } catch (const TableError& e) {
        ctx.err << "velmora-cli list: " << e.message() << "\n";
        return 1;
    }
    return 0;
}

CliCommandRegistrar list({QStringLiteral("list"), QStringLiteral("[--folder NAME] [--new]"),
                          QStringLiteral("print the recordings of a folder (the first folder by default), or the "
                                         "new messages of all folders with --new, as tab-separated columns"),
                          &runList});

} // namespace
