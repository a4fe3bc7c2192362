#include "CliRecordings.h"
#include "RecordingRows.h"

namespace {

int runFind(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.positional(1, 1, rest))
        return cliUsageError(ctx, QStringLiteral("find"), args.error());
    return withCatalogue(ctx, QStringLiteral("find"), [&](Catalogue& catalogue) {
        const auto rows = RecordingOperations(catalogue).findByNumber(rest[0]);
        for (const RecordingRow& row : rows)
            printRecordingRow(row, ctx.out);
        return rows.empty() ? 1 : 0;
    });
}

CliCommandRegistrar find({QStringLiteral("find"), QStringLiteral("NUMBER"),
                          QStringLiteral("the recordings of every folder whose caller number contains NUMBER, "
                                         "newest first, in list's columns (exit 1 when there is none)"),
                          &runFind});

} // namespace
