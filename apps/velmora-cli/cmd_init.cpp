#include "CliModem.h"

#include "catalogue/DataFolder.h"

namespace {

// Binds the modem and sends the init strings and the init script, showing
// the engine's log.
int runInit(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList none;
    if (!args.positional(0, 0, none))
        return cliUsageError(ctx, QStringLiteral("init"), args.error());

    QString error;
    if (datafolder::prepare(ctx.dataDir, &error).isEmpty()) {
        ctx.err << "velmora-cli init: " << error << "\n";
        return 1;
    }
    StreamTextSink log(ctx.out); // outlives the engine
    CliModem modem(ctx);
    if (!modem.checkProbed(ctx.err, QStringLiteral("init")))
        return 1;
    modem.engine().setLogger(&log);
    try {
        ensureInitScript(initScriptPath(modem.settings().fileName()));
        if (!modem.engine().InitModem()) {
            ctx.err << "velmora-cli init: "
                    << (modem.engine().portIsOpen() ? "the modem did not answer its initialisation"
                                                    : "the serial port did not open")
                    << "\n";
            return 1;
        }
    } catch (const std::exception& e) { // SerialPortError, InitScriptError
        ctx.err << e.what() << "\n";
        return 1;
    }
    return 0;
}

CliCommandRegistrar init({QStringLiteral("init"), QString(),
                          QStringLiteral("initialise the modem with the init strings and initScript.txt "
                                         "of the data folder"),
                          &runInit});

} // namespace
