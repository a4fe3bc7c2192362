#include "CliRecordings.h"

namespace {

int runComment(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.positional(2, 2, rest))
        return cliUsageError(ctx, QStringLiteral("comment"), args.error());
    if (rest[1].isEmpty())
        return cliUsageError(ctx, QStringLiteral("comment"), QStringLiteral("an empty comment changes nothing"));
    return withCatalogue(ctx, QStringLiteral("comment"), [&](Catalogue& catalogue) {
        if (!RecordingOperations(catalogue).setComment(rest[0], rest[1])) {
            ctx.err << "velmora-cli comment: there is no recording with the id " << rest[0] << "\n";
            return 1;
        }
        return 0;
    });
}

CliCommandRegistrar comment({QStringLiteral("comment"), QStringLiteral("ID TEXT"),
                             QStringLiteral("set the memo of a recording (the caller's name unless you change it)"),
                             &runComment});

} // namespace
