#pragma once

#include "platform/MailFacility.h"
#include "support/SmtpMail.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class IniFile;

// The support mail and the error report: what the "Ask support" and "Error
// report" dialogs check, attach and send. There is no vendor: mail goes to
// the SupportAddress setting (or to whom the user types in the mail
// program), over SMTP only when the user has set a server.
class SupportMail
{
public:
    static inline const QString Subject = QStringLiteral("VLM v2.5.3 support");
    static inline const QString ErrorSubject = QStringLiteral("VLM error report");
    static inline const QString CopiesFolder = QStringLiteral("Support");

    struct Sender
    {
        QString address;
        QString name;
        QString problem;
    };

    SupportMail(const QString& dataFolder, const IniFile& settings);

    // Empty when the sender may be used; otherwise the message to show. An
    // empty name becomes the address.
    static QString check(Sender& sender);
    static QString errorReportBody(const QString& message, const QString& line);

    bool usesSmtp() const { return !m_smtp.host.trimmed().isEmpty(); }
    const SmtpEndpoint& smtp() const { return m_smtp; }
    const QString& recipient() const { return m_recipient; }
    // When Diagnostics.log was written; invalid when there is none.
    QDateTime diagnosticsDate() const;

    // The files a support mail carries: the logs that exist and a copy of
    // vlm.ini with its secrets masked (written into Support/ first).
    QStringList attachments(QString* error) const;

    // True when the mail left (SMTP) or the mail program took it; *error
    // otherwise. The password is used for this send only.
    bool send(const QString& subject, const QString& body, const Sender& sender, const QStringList& attachments,
              const QString& password, QString* error) const;

    MailFacility mailProgram;

private:
    QString m_folder;
    QString m_recipient;
    SmtpEndpoint m_smtp;
};
