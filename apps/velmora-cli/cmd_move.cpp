#include "CliRecordings.h"

#include "catalogue/FolderOperations.h"

namespace {

// A folder by key, else by name; a name several folders share is refused.
QString folderKey(CliContext& ctx, Catalogue& catalogue, const QString& wanted)
{
    if (catalogue.tree().containsKey(wanted))
        return wanted;
    const QStringList keys = RecordingOperations(catalogue).folderKeysNamed(wanted);
    if (keys.size() == 1)
        return keys.front();
    if (keys.isEmpty())
        ctx.err << "velmora-cli move: there is no folder with the key or name \"" << wanted << "\"\n";
    else
        ctx.err << "velmora-cli move: several folders are named \"" << wanted << "\"; give one of the keys: "
                << keys.join(QStringLiteral(", ")) << "\n";
    return QString();
}

int runMove(CliContext& ctx)
{
    CliArgs args(ctx.args);
    const std::optional<QString> folder = args.option(QStringLiteral("--folder"));
    QStringList ids;
    if (!args.positional(1, 100000, ids) || !folder)
        return cliUsageError(ctx, QStringLiteral("move"), folder ? args.error() : QStringLiteral("--folder is needed"));
    return withCatalogue(ctx, QStringLiteral("move"), [&](Catalogue& catalogue) {
        const QString key = folderKey(ctx, catalogue, *folder);
        if (key.isEmpty())
            return 1;
        RecordingOperations ops(catalogue);
        std::vector<RecordingRow> rows;
        const bool all = rowsOfIds(ctx, QStringLiteral("move"), ops, ids, rows);
        QStringList found;
        for (const RecordingRow& row : rows)
            found << row.id;
        const int moved = FolderOperations(catalogue).fileRecordings(found, key);
        ctx.out << "moved " << moved << "\n";
        return all ? 0 : 1;
    });
}

CliCommandRegistrar move({QStringLiteral("move"), QStringLiteral("ID... --folder KEY|NAME"),
                          QStringLiteral("file recordings in another folder"), &runMove});

} // namespace
