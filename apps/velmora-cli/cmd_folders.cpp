#include "CliCommand.h"

#include "catalogue/Catalogue.h"
#include "catalogue/TableError.h"

namespace {

// The folder tree, one node per line, two blanks per level, then its key.
int runFolders(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, QStringLiteral("folders"), args.error());
    try {
        const auto catalogue = Catalogue::openInDataFolder(ctx.dataDir);
        for (const QString& note : catalogue->openNotes())
            ctx.err << "velmora-cli folders: " << note << "\n";
        catalogue->tree().forEach([&](const FolderNode& node, int level) {
            ctx.out << QString(2 * level, QLatin1Char(' ')) << node.text << '\t' << node.folderKey << '\n';
        });
    } catch (const TableError& e) {
        ctx.err << "velmora-cli folders: " << e.message() << "\n";
        return 1;
    }
    return 0;
}

CliCommandRegistrar folders({QStringLiteral("folders"), QString(),
                             QStringLiteral("print the folder tree of the catalogue, each folder with its key"),
                             &runFolders});

} // namespace
