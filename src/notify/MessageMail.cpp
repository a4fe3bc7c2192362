#include "notify/MessageMail.h"

#include "calls/CallNews.h"
#include "calls/EventLog.h"
#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"

#include <QDir>

MessageMail::MessageMail(Parts parts, QObject* parent) : QObject(parent), m_(std::move(parts))
{
    connect(&m_.news, &CallNews::saved, this, &MessageMail::saved);
    connect(&m_.news, &CallNews::blocked, this, &MessageMail::blocked);
    connect(&m_.news, &CallNews::modemLost, this, &MessageMail::modemLost);
}

MessageMail::~MessageMail() = default;

QString MessageMail::outboxFolder() const
{
    return m_.dataFolder + QLatin1Char('/') + Outbox::FolderName;
}

MailAccount MessageMail::account(const IniFile& ini, const QString& recordingsFolder)
{
    MailAccount a;
    a.server.host = settings::readString(ini, keys::SmtpServer).trimmed();
    a.server.port = settings::readInteger(ini, keys::SmtpPort);
    a.server.account = settings::readString(ini, keys::SmtpAccount).trimmed();
    a.server.caFile = settings::readString(ini, keys::MailCaFile).trimmed();
    a.from = settings::readString(ini, keys::MailFrom).trimmed();
    a.recordingsFolder = recordingsFolder;
    return a;
}

bool MessageMail::enabled() const
{
    return settings::readBool(m_.ini, keys::MailEnabled);
}

void MessageMail::start(std::function<QString()> passwordSource)
{
    m_passwordSource = std::move(passwordSource);
    const bool waiting = !QDir(outboxFolder()).entryList({QStringLiteral("*.mail")}, QDir::Files).isEmpty();
    if (enabled() || waiting)
        ensureWorker();
}

void MessageMail::setPassword(const QString& password)
{
    m_password = password;
    if (m_worker)
        m_worker->setPassword(password);
}

void MessageMail::ensureWorker()
{
    if (m_worker) {
        m_worker->setAccount(account(m_.ini, m_.recordingsFolder)); // the settings may have changed
        m_worker->wake();
        return;
    }
    m_worker = std::make_unique<MailWorker>(outboxFolder(), account(m_.ini, m_.recordingsFolder));
    connect(m_worker.get(), &MailWorker::outcome, this, &MessageMail::report);
    connect(m_worker.get(), &MailWorker::passwordNeeded, this, &MessageMail::passwordNeeded);
    if (m_passwordSource)
        m_worker->setPasswordSource(m_passwordSource);
    if (!m_password.isEmpty())
        m_worker->setPassword(m_password);
    m_worker->wake();
}

bool MessageMail::queue(const QString& subject, const QString& body, const QString& recording, QString* error)
{
    OutboxMail mail;
    mail.created = QDateTime::currentDateTimeUtc();
    for (const QString& to : settings::readString(m_.ini, keys::MailTo).split(QLatin1Char(','), Qt::SkipEmptyParts))
        mail.to << to.trimmed();
    if (mail.to.isEmpty()) {
        *error = QStringLiteral("No recipient is set");
        return false;
    }
    mail.subject = mailtext::subjectLine(subject);
    mail.body = body;
    if (settings::readBool(m_.ini, keys::MailAttach))
        mail.recording = recording;
    mail.format = settings::readString(m_.ini, keys::MailFormat).trimmed().toLower() == QLatin1String("wav")
                      ? QStringLiteral("wav")
                      : QStringLiteral("opus");
    Outbox outbox(outboxFolder());
    if (!outbox.add(mail, error))
        return false;
    ensureWorker();
    return true;
}

void MessageMail::saved(const SavedRecording& r)
{
    if (!enabled())
        return;
    const bool everyCall = settings::readBool(m_.ini, keys::MailOnEveryCall);
    const bool wanted = r.message ? everyCall || settings::readBool(m_.ini, keys::MailOnMessage) : everyCall;
    if (!wanted)
        return;
    const CallFacts facts{r.number, r.name, r.start, r.seconds, r.folder};
    QString subject = mailtext::fill(settings::readString(m_.ini, keys::MailSubject), facts);
    if (!r.message)
        subject = mailtext::fill(QStringLiteral("Call from {name} {number} ({duration})"), facts);
    const QString body =
        mailtext::fill(settings::readString(m_.ini, keys::MailBody), facts).replace(QLatin1String("\\n"), QLatin1String("\n"));
    QString error;
    if (!queue(subject, body + QLatin1Char('\n'), r.fileName, &error))
        m_.log.LogEvent(QStringLiteral("<ERROR> Mail not queued: ") + error);
}

void MessageMail::blocked(const QString& number, const QString& name, const QString& action)
{
    if (!enabled() || !settings::readBool(m_.ini, keys::MailOnEveryCall))
        return;
    const CallFacts facts{number, name, QDateTime::currentDateTime(), -1, QString()};
    const QString body = mailtext::fill(QStringLiteral("{name} {number} called on {date} at {time} and was blocked: "), facts)
                         + action + QLatin1Char('\n');
    QString error;
    if (!queue(mailtext::fill(QStringLiteral("Blocked call from {name} {number}"), facts), body, QString(), &error))
        m_.log.LogEvent(QStringLiteral("<ERROR> Mail not queued: ") + error);
}

void MessageMail::modemLost()
{
    if (!enabled() || !settings::readBool(m_.ini, keys::MailOnModemLost))
        return;
    QString error;
    const QString when = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!queue(QStringLiteral("The modem is lost"),
               QStringLiteral("The modem went away at %1: calls are not answered until it is back.\n").arg(when),
               QString(), &error))
        m_.log.LogEvent(QStringLiteral("<ERROR> Mail not queued: ") + error);
}

void MessageMail::report(const MailOutcome& o)
{
    const QString subject = mailtext::subjectLine(o.subject);
    switch (o.kind) {
    case MailOutcome::Kind::Sent:
        m_.log.LogEvent(QStringLiteral("Mail sent to %1: %2").arg(o.to, subject));
        break;
    case MailOutcome::Kind::Failed:
        m_.log.LogEvent(QStringLiteral("<ERROR> Mail not sent (try %1, next at %2): %3: %4")
                            .arg(o.attempts)
                            .arg(o.nextAttempt.toLocalTime().toString(QStringLiteral("HH:mm:ss")), subject,
                                 mailtext::subjectLine(o.detail)));
        break;
    case MailOutcome::Kind::GaveUp:
        m_.log.LogEvent(QStringLiteral("<ERROR> Mail given up after a week: %1: %2")
                            .arg(subject, mailtext::subjectLine(o.detail)));
        break;
    }
}
