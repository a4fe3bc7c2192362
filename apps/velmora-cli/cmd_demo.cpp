#include "CliCommand.h"

#include "config/IniFile.h"

#include <QTemporaryDir>

namespace {

// A short tour for a new user: what the headless front end can do today.
int runDemo(CliContext& ctx)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        ctx.err << "velmora-cli demo: cannot create a temporary folder\n";
        return 1;
    }
    ctx.out << "Velmora demonstration (headless)\n\n";

    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    ini.writeInteger(QStringLiteral("Settings"), QStringLiteral("amRings"), 4);
    ini.writeBool(QStringLiteral("Settings"), QStringLiteral("Answering Machine"), true);
    ini.writeTime(QStringLiteral("DefaultSchedule"), QStringLiteral("prdTo"), QTime(23, 59, 59));
    ctx.out << "A settings file written to " << ini.fileName() << ":\n";
    QFile file(ini.fileName());
    if (file.open(QIODevice::ReadOnly))
        ctx.out << file.readAll() << "\n";
    ctx.out << "Read back: amRings=" << ini.readInteger(QStringLiteral("SETTINGS"), QStringLiteral(" AMRINGS "), 0)
            << "\n\nRun velmora-cli --help for every command.\n";
    return 0;
}

CliCommandRegistrar demo({QStringLiteral("demo"), QString(),
                          QStringLiteral("show a short demonstration of what Velmora does"), &runDemo});

} // namespace
