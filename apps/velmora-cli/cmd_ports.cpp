#include "CliCommand.h"

#include "platform/SerialPortEnumerator.h"

namespace {

// Lists the serial devices with the port numbers that select them.
int runPorts(CliContext& ctx)
{
    const QStringList extra = ctx.port.isEmpty() ? QStringList() : QStringList{ctx.port};
    const QList<SerialPortInfo> ports = enumerateSerialPorts(extra);
    if (ports.isEmpty()) {
        ctx.err << "velmora-cli ports: no serial ports found (is the modem plugged in?)\n";
        return 1;
    }
    for (const SerialPortInfo& p : ports) {
        ctx.out << p.number << '\t' << p.path;
        if (!p.description.isEmpty())
            ctx.out << '\t' << p.description;
        ctx.out << '\n';
    }
    return 0;
}

CliCommandRegistrar ports({QStringLiteral("ports"), QString(),
                           QStringLiteral("list the serial ports and the port numbers that select them"),
                           &runPorts});

} // namespace
