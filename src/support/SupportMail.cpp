#include "support/SupportMail.h"

#include "config/SettingsCatalogue.h"
#include "support/ModemDiagnostics.h"
#include "support/SupportBundle.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

SupportMail::SupportMail(const QString& dataFolder, const IniFile& settings)
    : m_folder(dataFolder), m_recipient(settings::readString(settings, keys::SupportAddress).trimmed())
{
    m_smtp.host = settings::readString(settings, keys::SmtpServer).trimmed();
    m_smtp.port = settings::readInteger(settings, keys::SmtpPort);
    m_smtp.account = settings::readString(settings, keys::SmtpAccount).trimmed();
}

QString SupportMail::check(Sender& sender)
{
    sender.address = sender.address.trimmed();
    if (sender.address.isEmpty())
        return QStringLiteral("Please enter your email address.");
    if (!sender.address.contains(QLatin1Char('@')))
        return QStringLiteral("Please enter a valid email address.");
    if (sender.name.trimmed().isEmpty())
        sender.name = sender.address;
    return QString();
}

QString SupportMail::errorReportBody(const QString& message, const QString& line)
{
    return QStringLiteral("Error message : ") + message + QStringLiteral("\n\nLine : ") + line;
}

QDateTime SupportMail::diagnosticsDate() const
{
    const QFileInfo log(QDir(m_folder).filePath(ModemDiagnostics::FileName));
    return log.exists() ? log.lastModified() : QDateTime();
}

QStringList SupportMail::attachments(QString* error) const
{
    const SupportBundle bundle(m_folder);
    QStringList paths;
    for (const QString& name : bundle.files()) {
        const QString copies = QDir(m_folder).filePath(CopiesFolder);
        QSaveFile copy(QDir(copies).filePath(name));
        if (!QDir().mkpath(copies) || !copy.open(QIODevice::WriteOnly) || copy.write(bundle.redacted(name).toUtf8()) < 0
            || !copy.commit()) {
            *error = QStringLiteral("Cannot write %1: %2").arg(copy.fileName(), copy.errorString());
            return {};
        }
        paths << copy.fileName();
    }
    return paths;
}

bool SupportMail::send(const QString& subject, const QString& body, const Sender& sender,
                       const QStringList& attachments, const QString& password, QString* error) const
{
    if (usesSmtp()) {
        if (m_recipient.isEmpty()) {
            *error = QStringLiteral("Set the support address (Settings, SupportAddress) to send over your mail server.");
            return false;
        }
        const SmtpMessage message{sender.address, sender.name, sender.address, m_recipient, subject, body, attachments};
        return SmtpMail::send(m_smtp, password, message, error);
    }
    const MailMessage message{m_recipient.isEmpty() ? QStringList() : QStringList{m_recipient}, attachments, subject, body};
    return mailProgram.send(message, error) == 0;
}
