#include "CliModem.h"

#include "catalogue/DataFolder.h"
#include "support/ModemDiagnostics.h"
#include "support/SupportBundle.h"

#include <QFileInfo>

namespace {

// The 50 query commands into Diagnostics.log of the data folder.
int runDiagnose(CliContext& ctx)
{
    const QString name = QStringLiteral("diagnose");
    CliArgs args(ctx.args);
    QStringList none;
    if (!args.positional(0, 0, none))
        return cliUsageError(ctx, name, args.error());
    CliModem modem(ctx);
    if (!QFileInfo(modem.dataFolder()).isDir()) {
        ctx.err << "velmora-cli " << name << ": the data folder " << modem.dataFolder() << " does not exist\n";
        return 1;
    }
    ModemDiagnostics diagnostics(modem.engine(), modem.dataFolder());
    int shown = -10;
    diagnostics.onProgress = [&](int percent) {
        if (percent >= shown + 10 || (percent == 100 && shown < 100)) {
            ctx.out << "progress " << percent << "%\n";
            ctx.out.flush();
            shown = percent;
        }
    };
    QString message;
    const ModemDiagnostics::Result result = diagnostics.run(&message);
    modem.engine().ReleaseModem();
    if (result == ModemDiagnostics::Result::NoAnswer)
        ctx.out << diagnostics.logPath() << '\n';
    if (result != ModemDiagnostics::Result::Written) {
        ctx.err << "velmora-cli " << name << ": " << message << "\n";
        return 1;
    }
    ctx.out << diagnostics.logPath() << '\n';
    return 0;
}

int runSupportBundle(CliContext& ctx)
{
    const QString name = QStringLiteral("support-bundle");
    CliArgs args(ctx.args);
    const QString description = args.option(QStringLiteral("--description")).value_or(QString());
    QStringList out;
    if (!args.positional(1, 1, out))
        return cliUsageError(ctx, name, args.error());
    const QString folder = datafolder::choose(datafolder::currentInputs(ctx.dataDir));
    const SupportBundle bundle(folder);
    QString error;
    if (!bundle.write(out[0], description, &error)) {
        ctx.err << "velmora-cli " << name << ": " << error << "\n";
        return 1;
    }
    for (const QString& file : bundle.files())
        ctx.out << "ADDED " << file << (file == QLatin1String("vlm.ini") ? QStringLiteral(" (secrets masked)") : QString()) << '\n';
    ctx.out << "WROTE " << out[0] << '\n';
    return 0;
}

CliCommandRegistrar diagnose({QStringLiteral("diagnose"), QString(),
                              QStringLiteral("ask the modem 50 questions and keep its answers, with facts about this "
                                             "computer, in Diagnostics.log; prints the log's path"),
                              &runDiagnose});
CliCommandRegistrar supportBundle({QStringLiteral("support-bundle"), QStringLiteral("OUT.tar.gz [--description TEXT]"),
                                   QStringLiteral("the logs and the settings (secrets masked) in one archive, for "
                                                  "whoever helps you"),
                                   &runSupportBundle});

} // namespace
