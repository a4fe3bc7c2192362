#include "CliRecordings.h"

#include "catalogue/DataFolder.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "support/RecordingMail.h"

namespace {

int runMail(CliContext& ctx)
{
    CliArgs args(ctx.args);
    const std::optional<QString> to = args.option(QStringLiteral("--to"));
    QStringList ids;
    if (!args.positional(1, 100000, ids))
        return cliUsageError(ctx, QStringLiteral("mail"), args.error());
    return withCatalogue(ctx, QStringLiteral("mail"), [&](Catalogue& catalogue) {
        RecordingOperations ops(catalogue);
        std::vector<RecordingRow> rows;
        const bool all = rowsOfIds(ctx, QStringLiteral("mail"), ops, ids, rows);
        const IniFile ini(catalogue.dataFolder() + QLatin1Char('/') + datafolder::SettingsFileName);
        const RecordingMail mail = RecordingMail::compose(rows, catalogue.recordingsFolder(),
                                                          settings::readString(ini, keys::MailWebAddress),
                                                          to ? QStringList{*to} : QStringList());
        for (const QString& name : mail.missing)
            ctx.err << "velmora-cli mail: " << name << " is missing and is not attached\n";
        if (mail.message.attachments.isEmpty()) {
            ctx.err << "velmora-cli mail: nothing to attach\n";
            return 1;
        }
        QString error;
        if (MailFacility().send(mail.message, &error) != 0) {
            ctx.err << "velmora-cli mail: " << error << "\n";
            return 1;
        }
        ctx.out << "handed " << mail.message.attachments.size() << " file(s), " << mail.totalBytes
                << " bytes, to the mail program; they are in " << catalogue.recordingsFolder() << "\n";
        return all && mail.missing.isEmpty() ? 0 : 1;
    });
}

CliCommandRegistrar mail({QStringLiteral("mail"), QStringLiteral("ID... [--to ADDR]"),
                          QStringLiteral("open a mail with the recordings attached in the desktop's mail program "
                                         "(xdg-email)"),
                          &runMail});

} // namespace
