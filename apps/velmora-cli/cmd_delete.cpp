#include "CliRecordings.h"

namespace {

int runDelete(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList ids;
    if (!args.positional(1, 100000, ids))
        return cliUsageError(ctx, QStringLiteral("delete"), args.error());
    return withCatalogue(ctx, QStringLiteral("delete"), [&](Catalogue& catalogue) {
        RecordingOperations ops(catalogue);
        std::vector<RecordingRow> rows;
        const bool all = rowsOfIds(ctx, QStringLiteral("delete"), ops, ids, rows);
        const DeleteOutcome outcome = ops.remove(ids);
        ctx.out << "deleted " << outcome.rows << "\n";
        for (const QString& problem : outcome.fileProblems)
            ctx.err << "velmora-cli delete: the row is gone but its file stays: " << problem << "\n";
        return all && outcome.fileProblems.isEmpty() ? 0 : 1;
    });
}

CliCommandRegistrar remove({QStringLiteral("delete"), QStringLiteral("ID..."),
                            QStringLiteral("delete recordings: their rows, then their files (to the trash where "
                                           "there is one)"),
                            &runDelete});

} // namespace
