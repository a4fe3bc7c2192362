#include "CliRecordings.h"

#include <QFileInfo>

namespace {

int runCopy(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.positional(2, 100000, rest))
        return cliUsageError(ctx, QStringLiteral("copy"), args.error());
    const QString folder = rest.takeLast();
    if (!QFileInfo(folder).isDir()) {
        ctx.err << "velmora-cli copy: " << folder << " is not a folder\n";
        return 1;
    }
    return withCatalogue(ctx, QStringLiteral("copy"), [&](Catalogue& catalogue) {
        RecordingOperations ops(catalogue);
        std::vector<RecordingRow> rows;
        bool all = rowsOfIds(ctx, QStringLiteral("copy"), ops, rest, rows);
        const CopyOutcome outcome = ops.copyOut(rest, folder);
        for (const QString& name : outcome.copied)
            ctx.out << "copied " << name << "\n";
        for (const QString& name : outcome.skipped)
            ctx.out << "skipped " << name << " (it is that file)\n";
        for (const QString& failure : outcome.failed)
            ctx.err << "velmora-cli copy: cannot copy " << failure << "\n";
        return all && outcome.failed.isEmpty() ? 0 : 1;
    });
}

CliCommandRegistrar copy({QStringLiteral("copy"), QStringLiteral("ID... DIR"),
                          QStringLiteral("copy the recordings' files into a folder, under their own names"), &runCopy});

} // namespace
