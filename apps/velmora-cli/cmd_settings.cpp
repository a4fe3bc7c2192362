#include "CliCommand.h"

#include "catalogue/DataFolder.h"
#include "config/IniFile.h"
#include "config/IniSyntax.h"
#include "config/SettingsCatalogue.h"
#include "core/VisibleText.h"

namespace {

QString settingsFile(const CliContext& ctx)
{
    return datafolder::choose(datafolder::currentInputs(ctx.dataDir)) + QLatin1Char('/') + datafolder::SettingsFileName;
}

QString typeName(const settings::Key& key)
{
    switch (key.type) {
    case settings::Type::String: return QStringLiteral("text");
    case settings::Type::Integer:
        return QStringLiteral("whole number from %1 to %2").arg(key.minimum).arg(key.maximum);
    case settings::Type::Boolean: return QStringLiteral("yes/no (1 or 0)");
    case settings::Type::Time: return QStringLiteral("time of day (hh:mm:ss)");
    case settings::Type::Binary: return QStringLiteral("hexadecimal");
    }
    return {};
}

// The value as the file holds that type: "1"/"0", "09:00:00", upper-case
// hexadecimal; none when `text` is no value of the type.
std::optional<QString> storedForm(const settings::Key& key, const QString& text)
{
    if (key.type == settings::Type::Boolean) {
        const QString word = text.trimmed().toLower();
        if (QStringList{"yes", "true", "on"}.contains(word))
            return QStringLiteral("1");
        if (QStringList{"no", "false", "off"}.contains(word))
            return QStringLiteral("0");
    }
    if (!settings::acceptsText(key, text))
        return std::nullopt;
    switch (key.type) {
    case settings::Type::Boolean: return *inisyntax::parseInteger(text) != 0 ? QStringLiteral("1") : QStringLiteral("0");
    case settings::Type::Time: return inisyntax::parseTime(text).toString(QStringLiteral("HH:mm:ss"));
    case settings::Type::Binary: return QString::fromLatin1(inisyntax::parseHex(text)->toHex().toUpper());
    default: return text.trimmed();
    }
}

void printKey(CliContext& ctx, const IniFile& ini, const settings::Key& key)
{
    ctx.out << key.section << '\t' << key.name.trimmed() << '\t' << visibleText(settings::effectiveText(ini, key)) << '\t'
            << settings::fallbackText(ini, key) << '\n';
}

int runSettings(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList none;
    if (!args.positional(0, 0, none))
        return cliUsageError(ctx, QStringLiteral("settings"), args.error());
    const IniFile ini(settingsFile(ctx));
    for (const settings::Key* key : settings::all())
        printKey(ctx, ini, *key);
    return 0;
}

int runGet(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList names;
    if (!args.positional(2, 2, names))
        return cliUsageError(ctx, QStringLiteral("get"), args.error());
    const IniFile ini(settingsFile(ctx));
    if (const settings::Key* key = settings::find(names[0], names[1])) {
        ctx.out << visibleText(settings::effectiveText(ini, *key)) << '\n';
        return 0;
    }
    if (ini.valueExists(names[0], names[1])) { // a key of the user's own, such as a vendor's
        ctx.out << visibleText(ini.readString(names[0], names[1], QString())) << '\n';
        return 0;
    }
    ctx.err << "velmora-cli get: [" << names[0] << "] " << names[1]
            << " is not a setting Velmora knows, and " << ini.fileName() << " does not hold it\n";
    return 1;
}

int runSet(CliContext& ctx)
{
    CliArgs args(ctx.args);
    const bool force = args.flag(QStringLiteral("--force"));
    QStringList values;
    if (!args.positional(3, 3, values))
        return cliUsageError(ctx, QStringLiteral("set"), args.error());
    const QString& section = values[0];
    const QString& name = values[1];
    const QString& value = values[2];
    QString error;
    if (datafolder::prepare(ctx.dataDir, &error).isEmpty()) {
        ctx.err << "velmora-cli set: " << error << '\n';
        return 1;
    }
    IniFile ini(settingsFile(ctx));
    const settings::Key* key = settings::find(section, name);
    std::optional<QString> stored = value;
    if (key) {
        stored = storedForm(*key, value);
        if (!stored) {
            ctx.err << "velmora-cli set: \"" << value << "\" is not a " << typeName(*key) << " for ["
                    << key->section << "] " << key->name.trimmed() << '\n';
            return 1;
        }
    } else if (!force) {
        ctx.err << "velmora-cli set: [" << section << "] " << name
                << " is not a setting Velmora knows (velmora-cli settings lists them); add --force to write it "
                   "anyway\n";
        return 1;
    } else if (value.contains(QLatin1Char('\n'))) {
        ctx.err << "velmora-cli set: a value is one line\n";
        return 1;
    }
    const bool written = key ? ini.writeString(key->section, key->name, *stored) : ini.writeString(section, name, value);
    if (!written) {
        ctx.err << "velmora-cli set: cannot write " << ini.fileName() << ": " << ini.lastError() << '\n';
        return 1;
    }
    if (key)
        printKey(ctx, ini, *key);
    return 0;
}

CliCommandRegistrar settingsCommand({QStringLiteral("settings"), QString(),
                                     QStringLiteral("list every setting: SECTION, KEY, VALUE and DEFAULT, "
                                                    "tab-separated"),
                                     &runSettings});
CliCommandRegistrar getCommand({QStringLiteral("get"), QStringLiteral("SECTION KEY"),
                                QStringLiteral("print one setting (its default when the file lacks it)"), &runGet});
CliCommandRegistrar setCommand({QStringLiteral("set"), QStringLiteral("SECTION KEY VALUE [--force]"),
                                QStringLiteral("write one setting, checked against its type (--force: a key "
                                               "Velmora does not know)"),
                                &runSet});

} // namespace
