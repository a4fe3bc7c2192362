#include "CliCommand.h"

#include "catalogue/DataFolder.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "web/PasswordHash.h"

#include <QFile>

namespace {

constexpr int MinPasswordLength = 8;

// The password comes on standard input (never on the command line, where
// other users see it in the process list); only its salted hash is stored.
int runWebPassword(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, QStringLiteral("web-password"), args.error());
    QString error;
    const QString dataFolder = datafolder::prepare(ctx.dataDir, &error);
    if (dataFolder.isEmpty()) {
        ctx.err << "velmora-cli web-password: " << error << "\n";
        return 1;
    }
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        ctx.err << "velmora-cli web-password: cannot read standard input\n";
        return 1;
    }
    const QString password = QString::fromUtf8(in.readLine(1024)).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    if (password.size() < MinPasswordLength) {
        ctx.err << "velmora-cli web-password: the password needs at least " << MinPasswordLength << " characters\n";
        return 1;
    }
    const QString hash = passwordhash::make(password);
    IniFile ini(dataFolder + QLatin1Char('/') + datafolder::SettingsFileName);
    if (hash.isEmpty() || !settings::writeString(ini, keys::WebPasswordHash, hash)) {
        ctx.err << "velmora-cli web-password: the password could not be stored\n";
        return 1;
    }
    ctx.out << "The web interface's password is set.\n";
    return 0;
}

CliCommandRegistrar webPassword({QStringLiteral("web-password"), QString(),
                                 QStringLiteral("set the web interface's password, read from standard input "
                                                "(stored as a salted hash)"),
                                 &runWebPassword});

} // namespace
