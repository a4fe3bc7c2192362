#include "CliCommand.h"

#include <algorithm>

namespace {
std::vector<CliCommand>& registry()
{
    static std::vector<CliCommand> commands;
    return commands;
}
} // namespace

void registerCliCommand(CliCommand command)
{
    auto& all = registry();
    auto pos = std::find_if(all.begin(), all.end(),
                            [&](const CliCommand& c) { return c.name > command.name; });
    all.insert(pos, std::move(command));
}

const std::vector<CliCommand>& cliCommands()
{
    return registry();
}

bool CliArgs::flag(const QString& name)
{
    return m_args.removeAll(name) > 0;
}

std::optional<QString> CliArgs::option(const QString& name)
{
    const qsizetype i = m_args.indexOf(name);
    if (i < 0)
        return std::nullopt;
    if (i + 1 >= m_args.size()) {
        m_error = QStringLiteral("option %1 needs a value").arg(name);
        m_args.removeAt(i);
        return std::nullopt;
    }
    QString value = m_args.at(i + 1);
    m_args.remove(i, 2);
    return value;
}

std::optional<int> CliArgs::intOption(const QString& name)
{
    const auto text = option(name);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const int value = text->toInt(&ok);
    if (!ok) {
        m_error = QStringLiteral("option %1 needs a number, not \"%2\"").arg(name, *text);
        return std::nullopt;
    }
    return value;
}

bool CliArgs::positional(int min, int max, QStringList& out)
{
    if (!m_error.isEmpty())
        return false;
    for (const QString& arg : m_args) {
        if (arg.startsWith(QLatin1String("--"))) {
            m_error = QStringLiteral("unknown option %1").arg(arg);
            return false;
        }
    }
    if (m_args.size() < min || m_args.size() > max) {
        m_error = QStringLiteral("wrong number of arguments");
        return false;
    }
    out = m_args;
    return true;
}

int cliUsageError(CliContext& context, const QString& name, const QString& error)
{
    context.err << "velmora-cli " << name << ": " << error << "\n";
    for (const CliCommand& c : cliCommands())
        if (c.name == name)
            context.err << "usage: velmora-cli " << c.name << ' ' << c.usage << "\n";
    return 2;
}
