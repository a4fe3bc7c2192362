#include "CliCommand.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

void printHelp(QTextStream& out)
{
    out << "Usage: velmora-cli [--data-dir DIR] [--port PATH] COMMAND [ARGS]\n\n"
           "Velmora's headless front end.\n\n"
           "Global options:\n"
           "  --data-dir DIR  use DIR as the data folder (settings, catalogue, recordings)\n"
           "  --port PATH     use the serial device PATH for the modem\n"
           "  --help          show this help\n\n"
           "Commands:\n";
    for (const CliCommand& c : cliCommands()) {
        const QString head = c.name + (c.usage.isEmpty() ? QString() : QLatin1Char(' ') + c.usage);
        out << "  " << head << "\n      " << c.summary << "\n";
    }
}

const CliCommand* findCommand(const QString& name)
{
    for (const CliCommand& c : cliCommands())
        if (c.name == name)
            return &c;
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = app.arguments().mid(1);
    QString dataDir;
    QString port;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--help")) {
            printHelp(out);
            return 0;
        }
        if ((opt == QLatin1String("--data-dir") || opt == QLatin1String("--port")) && !args.isEmpty()) {
            (opt == QLatin1String("--port") ? port : dataDir) = args.takeFirst();
            continue;
        }
        err << "velmora-cli: unknown or incomplete option " << opt << "\n";
        return 2;
    }
    if (args.isEmpty()) {
        printHelp(err);
        return 2;
    }
    const QString name = args.takeFirst();
    const CliCommand* command = findCommand(name);
    if (!command) {
        err << "velmora-cli: unknown command " << name << " (see --help)\n";
        return 2;
    }
    if (args.contains(QLatin1String("--help"))) {
        out << "Usage: velmora-cli " << command->name << ' ' << command->usage << "\n"
            << command->summary << "\n";
        return 0;
    }
    CliContext context{dataDir, port, args, out, err};
    const int rc = command->run(context);
    out.flush();
    err.flush();
    return rc;
}
