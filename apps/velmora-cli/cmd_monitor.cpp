#include "CliLineSession.h"

namespace {

// Shows what the modem reports on the idle line: rings, caller ID, DTMF and
// the other events, one line each.
int runMonitor(CliContext& ctx)
{
    CliArgs args(ctx.args);
    const std::optional<int> seconds = args.intOption(QStringLiteral("--seconds"));
    QStringList none;
    if (!args.positional(0, 0, none))
        return cliUsageError(ctx, QStringLiteral("monitor"), args.error());
    if (seconds && *seconds < 0)
        return cliUsageError(ctx, QStringLiteral("monitor"), QStringLiteral("--seconds must not be negative"));

    CliLineSession session(ctx, QStringLiteral("monitor"));
    session.printEvents(); // a ring during the initialisation counts too
    if (!session.initialise())
        return 1;
    session.run(seconds);
    return 0;
}

CliCommandRegistrar monitor({QStringLiteral("monitor"), QStringLiteral("[--seconds N]"),
                             QStringLiteral("initialise the modem and print its events (RING, RINGAWAY, "
                                            "CALLERID, DTMF, BUSY, ...) until N seconds pass or Ctrl+C"),
                             &runMonitor});

} // namespace
