#include "notify/MailSender.h"

#include "notify/OpusAttachment.h"

#include <QFileInfo>

qint64 MailSender::retryDelaySeconds(int attempts)
{
    return qMin<qint64>(3600, 60LL << qBound(0, attempts - 1, 6));
}

SmtpMessage MailSender::compose(const OutboxMail& mail)
{
    SmtpMessage message;
    message.fromAddress = m_account.from;
    message.fromName = QStringLiteral("Velmora");
    message.to = mail.to.value(0);
    message.alsoTo = mail.to.mid(1);
    message.subject = mail.subject;
    message.body = mail.body;
    if (mail.recording.isEmpty())
        return message;
    const QString wav = m_account.recordingsFolder + mail.recording;
    if (!QFileInfo(wav).isFile()) {
        message.body += QStringLiteral("\n\nThe recording %1 is no longer there.\n").arg(mail.recording);
        return message;
    }
    if (mail.format == QLatin1String("opus")) {
        const QString ogg = m_outbox.attachmentPath(mail);
        QString error;
        if (QFileInfo::exists(ogg) || opusattachment::encode(wav, ogg, &error)) {
            message.attachments << ogg;
            message.attachmentNames << QFileInfo(mail.recording).completeBaseName() + QStringLiteral(".ogg");
            return message;
        }
        message.body += QStringLiteral("\n\n(%1: sent as recorded)\n").arg(error);
    }
    message.attachments << wav;
    return message;
}

MailOutcome MailSender::sendOne(OutboxMail& mail, const QDateTime& now, const std::atomic<bool>* stop)
{
    MailOutcome outcome;
    outcome.subject = mail.subject;
    outcome.to = mail.to.join(QStringLiteral(", "));
    QString error;
    if (SmtpMail::send(m_account.server, m_password, compose(mail), &error, {stop, nullptr, 120})) {
        outcome.kind = MailOutcome::Kind::Sent;
        m_outbox.remove(mail);
        return outcome;
    }
    mail.attempts += 1;
    mail.lastError = error;
    outcome.detail = error;
    outcome.attempts = mail.attempts;
    if (mail.created.secsTo(now) >= GiveUpSeconds) {
        outcome.kind = MailOutcome::Kind::GaveUp;
        m_outbox.remove(mail);
        return outcome;
    }
    mail.nextAttempt = now.addSecs(retryDelaySeconds(mail.attempts));
    outcome.nextAttempt = mail.nextAttempt;
    QString saveError;
    if (!m_outbox.save(mail, &saveError))
        outcome.detail += QStringLiteral("; ") + saveError;
    return outcome;
}

std::vector<MailOutcome> MailSender::sendDue(const QDateTime& now, const std::atomic<bool>* stop)
{
    std::vector<MailOutcome> outcomes;
    for (OutboxMail& mail : m_outbox.mails()) {
        if (stop && stop->load())
            break;
        if (mail.created.secsTo(now) >= GiveUpSeconds) {
            m_outbox.remove(mail);
            outcomes.push_back({MailOutcome::Kind::GaveUp, mail.subject, mail.to.join(QStringLiteral(", ")),
                                mail.lastError, mail.attempts, {}});
            continue;
        }
        if (mail.nextAttempt.isValid() && mail.nextAttempt > now)
            continue;
        outcomes.push_back(sendOne(mail, now, stop));
    }
    return outcomes;
}

QDateTime MailSender::nextDue() const
{
    QDateTime next;
    for (const OutboxMail& mail : m_outbox.mails()) {
        const QDateTime due = mail.nextAttempt.isValid() ? mail.nextAttempt : mail.created;
        if (!next.isValid() || due < next)
            next = due;
    }
    return next;
}
