#include "CliCommand.h"
#include "RecordingRows.h"

#include "catalogue/Catalogue.h"
#include "catalogue/Query.h"
#include "catalogue/TableError.h"

namespace {

// Makes the named folder current; the first folder when no name is given.
bool selectFolder(Catalogue& catalogue, const std::optional<QString>& name)
{
    if (!name) {
        catalogue.folders().first();
        return true;
    }
    return catalogue.folders().locate(QStringLiteral("FolderName"), *name);
}

void listNewMessages(Catalogue& catalogue, const std::optional<QString>& folderKey, bool countOnly, QTextStream& out)
{
    Query query(catalogue.database(), Catalogue::NewMessagesSql);
    query.open();
    int count = 0;
    for (query.first(); !query.eof(); query.next()) {
        if (folderKey && query.field(QStringLiteral("FolderId")).asText() != *folderKey)
            continue;
        ++count;
        if (!countOnly)
            printRecordingRow(query, out);
    }
    if (countOnly)
        out << count << '\n';
}

void listFolder(Catalogue& catalogue, QTextStream& out)
{
    Table& calls = catalogue.calls();
    for (calls.first(); !calls.eof(); calls.next())
        printRecordingRow(calls, out);
}

int runList(CliContext& ctx)
{
    CliArgs args(ctx.args);
    const std::optional<QString> folder = args.option(QStringLiteral("--folder"));
    const bool newOnly = args.flag(QStringLiteral("--new"));
    const bool countOnly = args.flag(QStringLiteral("--count"));
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, QStringLiteral("list"), args.error());
    if (countOnly && !newOnly)
        return cliUsageError(ctx, QStringLiteral("list"), QStringLiteral("--count goes with --new"));
    try {
        const auto catalogue = Catalogue::openInDataFolder(ctx.dataDir);
        if (!selectFolder(*catalogue, folder)) {
            ctx.err << "velmora-cli list: there is no folder named \"" << *folder << "\"\n";
            return 1;
        }
        if (newOnly) {
            const auto key = folder ? std::optional<QString>(catalogue->folders().field(QStringLiteral("FolderId")).asText())
                                    : std::nullopt;
            listNewMessages(*catalogue, key, countOnly, ctx.out);
        } else {
            listFolder(*catalogue, ctx.out);
        }
    } catch (const TableError& e) {
        ctx.err << "velmora-cli list: " << e.message() << "\n";
        return 1;
    }
    return 0;
}

CliCommandRegistrar list({QStringLiteral("list"), QStringLiteral("[--folder NAME] [--new [--count]]"),
                          QStringLiteral("print the recordings of a folder (the first folder by default), or the "
                                         "new messages of all folders with --new, as tab-separated columns; "
                                         "--count prints their number alone"),
                          &runList});

} // namespace
