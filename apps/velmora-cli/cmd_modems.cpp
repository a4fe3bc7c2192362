#include "CliDiscovery.h"
#include "CliModem.h"
#include "core/VisibleText.h"

namespace {

// Lists the modems that answer on the serial ports: port number, device and
// model. The scan's log goes to stderr, the list to stdout.
int runModems(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList none;
    if (!args.positional(0, 0, none))
        return cliUsageError(ctx, QStringLiteral("modems"), args.error());

    StreamTextSink log(ctx.err); // outlives the engine
    StreamDiscoveryProgress progress(ctx.err);
    CliModem modem(ctx);
    modem.engine().setLogger(&log);
    TQModems modems;
    modems.vModem = &modem.engine();
    modems.setProgress(&progress);
    cliSetUpDiscovery(ctx, modems);
    modems.FindModems();

    if (modems.Count() == 0) {
        ctx.err << "velmora-cli modems: There is no modem found in your system\n";
        printUnavailablePorts(ctx.err, modems.unavailablePorts());
        return 1;
    }
    for (const TModemProperties& m : modems.entries())
        ctx.out << m.PortNumber << '\t' << m.PortName << '\t' << visibleText(m.ModelName.trimmed()) << '\n';
    return 0;
}

CliCommandRegistrar modems({QStringLiteral("modems"), QString(),
                            QStringLiteral("find the modems on the serial ports (or on --port) and list "
                                           "port number, device and model"),
                            &runModems});

} // namespace
