#include "CliModem.h"

namespace {

// Sends AT commands one by one and shows each reply.
int runSend(CliContext& ctx)
{
    CliArgs args(ctx.args);
    const std::optional<int> timeout = args.intOption(QStringLiteral("--timeout"));
    QStringList commands;
    if (!args.positional(1, 1000, commands))
        return cliUsageError(ctx, QStringLiteral("send"), args.error());

    CliModem modem(ctx);
    TQVModem253& engine = modem.engine();
    try {
        if (!engine.BindModem()) {
            ctx.err << "velmora-cli send: the serial port did not open\n";
            return 1;
        }
    } catch (const SerialPortError& e) {
        ctx.err << e.what() << "\n";
        return 1;
    }
    engine.setCmdTimeoutDur(timeout.value_or(4));
    bool allOk = true;
    for (const QString& command : commands) {
        const int reply = engine.SendCommand(command);
        ctx.out << "reply=" << reply << ' ' << printableReply(engine.GetLastReply()) << '\n';
        ctx.out.flush();
        allOk = allOk && reply == TQVModem253::ReplyOk;
    }
    return allOk ? 0 : 1;
}

CliCommandRegistrar send({QStringLiteral("send"), QStringLiteral("[--timeout SECONDS] COMMAND..."),
                          QStringLiteral("send AT commands to the modem and show each reply "
                                         "(0 OK, 1 ERROR, 2 CONNECT, 3 no answer)"),
                          &runSend});

} // namespace
