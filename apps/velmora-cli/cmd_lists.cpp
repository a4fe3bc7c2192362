#include "CliCommand.h"
#include "RecordingRows.h"

#include "calls/CallScreen.h"
#include "calls/CallerListTable.h"
#include "catalogue/Catalogue.h"
#include "catalogue/DataFolder.h"
#include "catalogue/TableError.h"

namespace {

// One field of a line: what a table holds is printed without control characters.
QString field(const QString& text)
{
    return callerlists::printable(text, 500);
}

void printEntry(const ListEntry& e, QTextStream& out)
{
    out << e.id << '\t' << field(callerlists::callerText(e)) << '\t';
    if (e.list == CallerList::Block)
        out << callerlists::actionName(e.action);
    out << '\t' << (e.rings > 0 ? QString::number(e.rings) : QString()) << '\t' << field(e.note) << '\t'
        << e.added.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) << '\t' << field(e.greeting) << '\n';
}

// The options of `add` that only a blocked caller has.
bool readBlockOptions(CliArgs& args, ListEntry& entry, QString& error)
{
    if (const auto action = args.option(QStringLiteral("--action"))) {
        const auto parsed = callerlists::parseAction(*action);
        if (!parsed) {
            error = QStringLiteral("--action is one of default, hangup, tones, greeting, rings");
            return false;
        }
        entry.action = *parsed;
    }
    if (const auto rings = args.intOption(QStringLiteral("--rings"))) {
        if (*rings < 1 || *rings > callerlists::MaxRings) {
            error = QStringLiteral("--rings is 1 to %1").arg(callerlists::MaxRings);
            return false;
        }
        entry.rings = *rings;
    }
    if (const auto greeting = args.option(QStringLiteral("--greeting")))
        entry.greeting = greeting->left(callerlists::MaxGreetingLength);
    return true;
}

int addEntry(CliContext& ctx, const QString& name, CallerList list, CliArgs& args, CallerListTable& table)
{
    ListEntry entry;
    entry.list = list;
    QString error;
    if (list == CallerList::Block && !readBlockOptions(args, entry, error))
        return cliUsageError(ctx, name, error);
    if (const auto note = args.option(QStringLiteral("--note")))
        entry.note = note->left(callerlists::MaxNoteLength);
    QStringList rest;
    if (!args.positional(1, 1, rest))
        return cliUsageError(ctx, name, args.error());
    error = callerlists::parseCaller(rest[0], entry);
    if (!error.isEmpty()) {
        ctx.err << "velmora-cli " << name << ": \"" << field(rest[0]) << "\": " << error << "\n";
        return 2;
    }
    ctx.out << table.add(entry) << '\n';
    return 0;
}

int runList(CliContext& ctx, const QString& name, CallerList list)
{
    CliArgs args(ctx.args.mid(1));
    const QString verb = ctx.args.value(0);
    QString error;
    const QString folder = datafolder::prepare(ctx.dataDir, &error);
    if (folder.isEmpty()) {
        ctx.err << "velmora-cli " << name << ": " << error << "\n";
        return 1;
    }
    try {
        CallerListTable table(folder);
        table.open();
        QStringList rest;
        if (verb == QLatin1String("add"))
            return addEntry(ctx, name, list, args, table);
        if (verb == QLatin1String("remove")) {
            if (!args.positional(1, 1, rest))
                return cliUsageError(ctx, name, args.error());
            if (table.remove(list, rest[0]))
                return 0;
            ctx.err << "velmora-cli " << name << ": no entry \"" << field(rest[0]) << "\" on the " << name
                    << " list\n";
            return 1;
        }
        if (verb != QLatin1String("list") || !args.positional(0, 0, rest))
            return cliUsageError(ctx, name, verb == QLatin1String("list") ? args.error() : QStringLiteral("add, remove or list"));
        for (const ListEntry& e : table.entries())
            if (e.list == list)
                printEntry(e, ctx.out);
        if (table.skippedRows() > 0)
            ctx.err << "velmora-cli " << name << ": " << table.skippedRows() << " rows of Lists.d are not entries\n";
        return 0;
    } catch (const TableError& e) {
        ctx.err << "velmora-cli " << name << ": " << e.message() << "\n";
        return 1;
    }
}

int runBlock(CliContext& ctx)
{
    return runList(ctx, QStringLiteral("block"), CallerList::Block);
}

int runAllow(CliContext& ctx)
{
    return runList(ctx, QStringLiteral("allow"), CallerList::Allow);
}

int runCalls(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.flag(QStringLiteral("--blocked")) || !args.positional(0, 0, rest))
        return cliUsageError(ctx, QStringLiteral("calls"), args.error().isEmpty() ? QStringLiteral("--blocked is needed") : args.error());
    try {
        const auto catalogue = Catalogue::openInDataFolder(ctx.dataDir);
        if (!catalogue->folders().locate(QStringLiteral("FolderName"), CallScreen::FolderName))
            return 0; // no call was ever blocked
        Table& calls = catalogue->calls();
        for (calls.first(); !calls.eof(); calls.next())
            printRecordingRow(calls, ctx.out);
    } catch (const TableError& e) {
        ctx.err << "velmora-cli calls: " << e.message() << "\n";
        return 1;
    }
    return 0;
}

const QString CallerHelp = QStringLiteral(
    "CALLER is a number or a pattern of digits with * and ? (0900*, +1-800*), name:PATTERN (any case, *), "
    "withheld, unavailable or none (no caller ID)");

CliCommandRegistrar block({QStringLiteral("block"),
                           QStringLiteral("add CALLER [--action default|hangup|tones|greeting|rings] [--rings N] "
                                          "[--greeting TEXT] [--note TEXT] | remove CALLER|ID | list"),
                           QStringLiteral("edit the block list; ") + CallerHelp
                               + QStringLiteral("; list prints id, caller, action, rings, note, date added, greeting"),
                           &runBlock});
CliCommandRegistrar allow({QStringLiteral("allow"), QStringLiteral("add CALLER [--note TEXT] | remove CALLER|ID | list"),
                           QStringLiteral("edit the allow list (it wins over the block list); ") + CallerHelp,
                           &runAllow});
CliCommandRegistrar calls({QStringLiteral("calls"), QStringLiteral("--blocked"),
                           QStringLiteral("print the blocked, key-checked and waiting calls (the \"Blocked calls\" "
                                          "folder) as list does"),
                           &runCalls});

} // namespace
