#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>
#include <vector>

// What every subcommand receives: the global options and its own arguments.
struct CliContext
{
    QString dataDir; // --data-dir, empty for the default data folder
    QString port;    // --port, empty for the port of the settings
    QStringList args;
    QTextStream& out;
    QTextStream& err;
};

using CliRun = int (*)(CliContext&);

struct CliCommand
{
    QString name;
    QString usage;   // arguments after the name, for --help
    QString summary; // one line for --help
    CliRun run;
};

void registerCliCommand(CliCommand command);
const std::vector<CliCommand>& cliCommands();

// A file-scope object of this type registers a subcommand at start.
struct CliCommandRegistrar
{
    explicit CliCommandRegistrar(CliCommand command) { registerCliCommand(std::move(command)); }
};

// Takes options out of a subcommand's arguments; what remains is positional.
class CliArgs
{
public:
    explicit CliArgs(QStringList args) : m_args(std::move(args)) {}

    bool flag(const QString& name);
    // The value after the option; error() is set when the value is missing.
    std::optional<QString> option(const QString& name);
    std::optional<int> intOption(const QString& name);
    // Unused options and a wrong count of positional arguments are errors.
    bool positional(int min, int max, QStringList& out);
    const QString& error() const { return m_error; }

private:
    QStringList m_args;
    QString m_error;
};

// Prints "velmora-cli NAME: ERROR" and the usage line; returns the exit code 2.
int cliUsageError(CliContext& context, const QString& name, const QString& error);
