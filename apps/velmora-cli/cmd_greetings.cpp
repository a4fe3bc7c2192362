#include "CliCommand.h"
#include "CliSpeech.h"

#include "audio/AudioErrors.h"
#include "audio/AudioImport.h"
#include "calls/GreetingForms.h"
#include "audio/RiffWriter.h"
#include "audio/WaveFormat.h"
#include "calls/Greeting.h"
#include "calls/GreetingTable.h"
#include "calls/LineOutput.h"
#include "catalogue/DataFolder.h"
#include "catalogue/TableError.h"
#include "config/CurrentSettings.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QStringList PeriodWords = {QStringLiteral("default"), QStringLiteral("first"), QStringLiteral("second"),
                                 QStringLiteral("third")};

QString typeWord(int type)
{
    return type == 0 ? QStringLiteral("wav") : type == 2 ? QStringLiteral("recorded") : QStringLiteral("text");
}

// One line per field: tabs and line breaks of a text become blanks.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString dataFolderOf(CliContext& ctx, const QString& name)
{
    QString error;
    const QString folder = datafolder::prepare(ctx.dataDir, &error);
    if (folder.isEmpty())
        ctx.err << "velmora-cli " << name << ": " << error << "\n";
    return folder;
}

QString iniPath(const QString& dataFolder)
{
    return dataFolder + QLatin1Char('/') + datafolder::SettingsFileName;
}

QTime parseTime(const QString& text)
{
    QTime t = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
    if (!t.isValid())
        t = QTime::fromString(text, QStringLiteral("H:mm"));
    return t;
}

// A WAV file plays as it is; any other file the import reads becomes a
// WAV greeting in the Msgs folder. Empty (and the error printed) on failure.
QString greetingFile(CliContext& ctx, const QString& name, const QString& dataFolder, const QString& file)
{
    QString error;
    bool imported = false;
    const QString path = greetingFileFor(dataFolder, file, &error, &imported);
    if (path.isEmpty())
        ctx.err << "velmora-cli " << name << ": " << error << "\n";
    else if (imported)
        ctx.out << "IMPORTED " << path << "\n";
    return path;
}

// --file F or --text T: the type and what it holds; nullopt on error.
struct GreetingContent
{
    int type = 1;
    QString wav;
    QString text;
};

std::optional<GreetingContent> takeContent(CliContext& ctx, CliArgs& args, const QString& name,
                                           const QString& dataFolder, bool required, int* exitCode)
{
    const std::optional<QString> file = args.option(QStringLiteral("--file"));
    const std::optional<QString> text = args.option(QStringLiteral("--text"));
    *exitCode = 2;
    if (!args.error().isEmpty() || (file && text) || (required && !file && !text)) {
        cliUsageError(ctx, name, args.error().isEmpty() ? QStringLiteral("give one of --file F and --text T")
                                                        : args.error());
        return std::nullopt;
    }
    GreetingContent content;
    if (text) {
        content.text = *text;
    } else if (file) {
        content.type = 0;
        content.wav = greetingFile(ctx, name, dataFolder, *file);
        if (content.wav.isEmpty()) {
            *exitCode = 1;
            return std::nullopt;
        }
    } else {
        content.type = -1; // unchanged
    }
    return content;
}

int listGreetings(CliContext& ctx)
{
    const QString name = QStringLiteral("greetings");
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, name, args.error());
    const QString dataFolder = dataFolderOf(ctx, name);
    if (dataFolder.isEmpty())
        return 1;
    try {
        GreetingTable table(dataFolder);
        for (const CallerGreeting& row : table.rows())
            ctx.out << row.msgId << '\t' << row.callerId << '\t' << typeWord(row.msgType) << '\t'
                    << oneLine(row.msgType == 0   ? row.wavFile
                               : row.msgType == 2 ? greetings::recordedCallerFile(dataFolder, row.msgId)
                                                  : row.tts)
                    << '\n';
    } catch (const TableError& e) {
        ctx.err << "velmora-cli " << name << ": " << e.message() << "\n";
        return 1;
    }
    const GreetingPeriods periods = CallSettings::readPeriods(IniFile(iniPath(dataFolder)));
    for (int i = 0; i < int(periods.size()); ++i) {
        const PeriodSettings& p = periods[size_t(i)];
        const QString content = p.msgType == 0 ? p.wav
                              : p.msgType == 2 ? greetings::recordedPeriodFile(dataFolder, i)
                                               : p.tts;
        ctx.out << PeriodWords[i] << '\t' << (p.enabled ? "enabled" : "disabled") << '\t'
                << p.from.toString(QStringLiteral("HH:mm:ss")) << '\t' << p.to.toString(QStringLiteral("HH:mm:ss"))
                << '\t' << typeWord(p.msgType) << '\t' << oneLine(content) << '\n';
    }
    return 0;
}

int callerGreeting(CliContext& ctx, const QString& dataFolder, const QString& action, CliArgs& args)
{
    const QString name = QStringLiteral("greeting caller");
    int code = 0;
    std::optional<GreetingContent> content;
    if (action == QLatin1String("add")) {
        content = takeContent(ctx, args, name, dataFolder, true, &code);
        if (!content)
            return code;
    }
    QStringList rest;
    if (!args.positional(1, 1, rest) || (action != QLatin1String("add") && action != QLatin1String("remove")))
        return cliUsageError(ctx, name, args.error().isEmpty() ? QStringLiteral("add NUMBER or remove MSGID")
                                                               : args.error());
    try {
        GreetingTable table(dataFolder);
        if (content) {
            ctx.out << table.add(rest[0].trimmed(), content->type, content->wav, content->text) << '\n';
            return 0;
        }
        if (table.remove(rest[0]))
            return 0;
        ctx.err << "velmora-cli " << name << ": there is no greeting " << rest[0] << "\n";
        return 1;
    } catch (const TableError& e) {
        ctx.err << "velmora-cli " << name << ": " << e.message() << "\n";
        return 1;
    }
}

int periodGreeting(CliContext& ctx, const QString& dataFolder, const QString& period, CliArgs& args)
{
    const QString name = QStringLiteral("greeting period");
    const int index = PeriodWords.indexOf(period.toLower());
    const bool enable = args.flag(QStringLiteral("--enable"));
    const bool disable = args.flag(QStringLiteral("--disable"));
    const std::optional<QString> from = args.option(QStringLiteral("--from"));
    const std::optional<QString> to = args.option(QStringLiteral("--to"));
    int code = 0;
    const std::optional<GreetingContent> content = takeContent(ctx, args, name, dataFolder, false, &code);
    if (!content)
        return code;
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, name, args.error());
    if (index < 0)
        return cliUsageError(ctx, name, QStringLiteral("the period is default, first, second or third"));
    if (enable && disable)
        return cliUsageError(ctx, name, QStringLiteral("--enable and --disable exclude each other"));
    const QTime fromTime = from ? parseTime(*from) : QTime();
    const QTime toTime = to ? parseTime(*to) : QTime();
    if ((from && !fromTime.isValid()) || (to && !toTime.isValid()))
        return cliUsageError(ctx, name, QStringLiteral("times are written HH:MM:SS"));
    IniFile ini(iniPath(dataFolder));
    GreetingPeriods periods = CallSettings::readPeriods(ini);
    PeriodSettings& p = periods[size_t(index)];
    if (enable || disable)
        p.enabled = enable;
    if (from)
        p.from = fromTime;
    if (to)
        p.to = toTime;
    if (content->type == 0)
        p.wav = content->wav;
    else if (content->type == 1)
        p.tts = content->text;
    if (content->type >= 0)
        p.msgType = content->type;
    if (!CallSettings::writePeriods(ini, periods)) {
        ctx.err << "velmora-cli " << name << ": cannot write " << ini.fileName() << ": " << ini.lastError() << "\n";
        return 1;
    }
    return 0;
}

bool writePcm8k(CliContext& ctx, const QString& path, const QByteArray& audio)
{
    RegularFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        ctx.err << "velmora-cli greeting preview: cannot write " << path << ": " << file.errorString() << "\n";
        return false;
    }
    TdeRIFFAudioWriter writer(&file);
    writer.setFormat(standardPcm8k());
    writer.writeData(audio.constData(), audio.size());
    writer.finish();
    return true;
}

// What SelectGreeting picks, into a WAV file (what the line would carry),
// or played on the sound card.
int previewGreeting(CliContext& ctx, const QString& dataFolder, CliArgs& args)
{
    const QString name = QStringLiteral("greeting preview");
    const std::optional<QString> caller = args.option(QStringLiteral("--caller"));
    const std::optional<QString> at = args.option(QStringLiteral("--at"));
    const std::optional<QString> out = args.option(QStringLiteral("--out"));
    const std::optional<QString> device = args.option(QStringLiteral("--device"));
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, name, args.error());
    const QTime now = at ? parseTime(*at) : QTime::currentTime();
    if (!now.isValid())
        return cliUsageError(ctx, name, QStringLiteral("times are written HH:MM:SS"));
    std::vector<CallerGreeting> rows;
    try {
        rows = GreetingTable(dataFolder).rows();
    } catch (const TableError& e) {
        ctx.err << "velmora-cli " << name << ": " << e.message() << "\n";
    }
    const CallSettings settings = CallSettings::read(IniFile(iniPath(dataFolder)));
    Greeting greeting = SelectGreeting(rows, settings.periods, caller.value_or(QString()), now, dataFolder);
    ctx.out << greeting.source << '\t' << typeWord(int(greeting.type)) << '\t' << oneLine(greeting.content) << '\n';
    QString why;
    if (greeting.type != GreetingType::Text && LineOutput::wavFileMs(greeting.content, &why) < 0) {
        ctx.err << "velmora-cli " << name << ": the greeting cannot be played (" << why
                << "); callers hear the default text\n";
        greeting = {GreetingType::Text, settings::DefaultGreetingText, greeting.source};
    }
    QTemporaryDir temporary;
    const QString target = out ? *out : temporary.filePath(QStringLiteral("greeting.wav"));
    try {
        if (greeting.type == GreetingType::Text) {
            QByteArray audio;
            const QString text = greeting.content.trimmed().isEmpty() ? settings::DefaultGreetingText : greeting.content;
            if (!renderSpeech(ctx, name, text, {}, audio) || !writePcm8k(ctx, target, audio))
                return 1;
        } else {
            ImportAudioFile(greeting.content, target, greetingFormat());
        }
    } catch (const EACMError& e) {
        ctx.err << "velmora-cli " << name << ": " << e.message() << "\n";
        return 1;
    }
    if (out) {
        ctx.out << "WROTE " << *out << '\n';
        return 0;
    }
    for (const CliCommand& command : cliCommands())
        if (command.name == QLatin1String("play-local")) {
            CliContext play{ctx.dataDir, ctx.port, {target}, ctx.out, ctx.err};
            if (device)
                play.args << QStringLiteral("--device") << *device;
            return command.run(play);
        }
    return 1;
}

int runGreeting(CliContext& ctx)
{
    const QString name = QStringLiteral("greeting");
    QStringList words = ctx.args;
    if (words.isEmpty())
        return cliUsageError(ctx, name, QStringLiteral("caller, period or preview?"));
    const QString what = words.takeFirst();
    const QString dataFolder = dataFolderOf(ctx, name);
    if (dataFolder.isEmpty())
        return 1;
    if (what == QLatin1String("preview")) {
        CliArgs args(words);
        return previewGreeting(ctx, dataFolder, args);
    }
    if (words.isEmpty() || (what != QLatin1String("caller") && what != QLatin1String("period")))
        return cliUsageError(ctx, name, QStringLiteral("caller, period or preview?"));
    const QString second = words.takeFirst();
    CliArgs args(words);
    return what == QLatin1String("caller") ? callerGreeting(ctx, dataFolder, second, args)
                                           : periodGreeting(ctx, dataFolder, second, args);
}

CliCommandRegistrar greetingsList({QStringLiteral("greetings"), QString(),
                                   QStringLiteral("list the caller greetings (MSGID, CALLERID, TYPE, CONTENT) and the "
                                                  "four periods (PERIOD, enabled|disabled, FROM, TO, TYPE, CONTENT)"),
                                   &listGreetings});
CliCommandRegistrar greetingCommand(
    {QStringLiteral("greeting"),
     QStringLiteral("caller add NUMBER (--file F | --text T) | caller remove MSGID | period "
                    "default|first|second|third [--enable|--disable] [--from HH:MM:SS] [--to HH:MM:SS] [--file F | "
                    "--text T] | preview [--caller NUMBER] [--at HH:MM:SS] [--out FILE.wav] [--device N|virtual]"),
     QStringLiteral("set the greetings per caller and per period of the day; preview shows and renders the one a "
                    "call would hear"),
     &runGreeting});

} // namespace
