#include "CliCommand.h"

#include "catalogue/DataFolder.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "notify/MessageMail.h"
#include "notify/PasswordFile.h"

namespace {

// One mail straight to the server, not through the outbox: the owner sees
// at once what the server makes of the settings.
int runNotifyTest(CliContext& ctx)
{
    CliArgs args(ctx.args);
    QStringList rest;
    if (!args.positional(0, 0, rest))
        return cliUsageError(ctx, QStringLiteral("notify-test"), args.error());
    QString error;
    const QString dataFolder = datafolder::prepare(ctx.dataDir, &error);
    if (dataFolder.isEmpty()) {
        ctx.err << "velmora-cli notify-test: " << error << "\n";
        return 1;
    }
    const IniFile ini(dataFolder + QLatin1Char('/') + datafolder::SettingsFileName);
    const MailAccount account = MessageMail::account(ini, datafolder::recordingsFolder(dataFolder));
    QString password;
    const QString passwordFile = settings::readString(ini, keys::MailPasswordFile).trimmed();
    if (!account.server.account.isEmpty() && !passwordfile::read(passwordFile, &password, &error)) {
        ctx.err << "velmora-cli notify-test: " << error << "\n";
        return 1;
    }
    SmtpMessage message;
    message.fromAddress = account.from;
    message.fromName = QStringLiteral("Velmora");
    const QStringList to = settings::readString(ini, keys::MailTo).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& address : to)
        (message.to.isEmpty() ? message.to : message.alsoTo.emplace_back()) = address.trimmed();
    message.subject = QStringLiteral("Velmora test mail");
    message.body = QStringLiteral("This is how Velmora tells you of new messages.\n");
    QStringList said;
    const bool sent = SmtpMail::send(account.server, password, message, &error, {nullptr, &said, 60});
    for (const QString& line : said)
        ctx.out << "server: " << line << "\n";
    if (!sent) {
        ctx.err << "velmora-cli notify-test: " << error << "\n";
        return 1;
    }
    ctx.out << "sent to " << to.join(QLatin1Char(',')) << "\n";
    return 0;
}

CliCommandRegistrar notifyTest({QStringLiteral("notify-test"), QString(),
                                QStringLiteral("send one test mail with the [MessageMail] settings and print what "
                                               "the server said"),
                                &runNotifyTest});

} // namespace
