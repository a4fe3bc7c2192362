#pragma once

#include "notify/Outbox.h"
#include "support/SmtpMail.h"

#include <QDateTime>
#include <atomic>
#include <vector>

// The mail server and sender the outbox is sent with.
struct MailAccount
{
    SmtpEndpoint server;
    QString from;
    QString recordingsFolder; // ends with "/"
};

// What became of one mail.
struct MailOutcome
{
    enum class Kind : uint8_t { Sent, Failed, GaveUp };
    Kind kind = Kind::Failed;
    QString subject;
    QString to;
    QString detail; // the server's or the library's word
    int attempts = 0;
    QDateTime nextAttempt;
};

// One pass over the outbox: every mail that is due is tried once, blocking.
// A failed one is tried again later, each wait twice the one before (from a
// minute to an hour), until it is sent or a week old. Time is given, so a
// week passes in a test at once.
class MailSender
{
public:
    static constexpr qint64 GiveUpSeconds = 7 * 24 * 3600;
    static qint64 retryDelaySeconds(int attempts);

    MailSender(Outbox& outbox, MailAccount account) : m_outbox(outbox), m_account(std::move(account)) {}
    void setAccount(const MailAccount& account) { m_account = account; }
    void setPassword(const QString& password) { m_password = password; }
    bool needsPassword() const { return !m_account.server.account.isEmpty() && m_password.isEmpty(); }

    std::vector<MailOutcome> sendDue(const QDateTime& now, const std::atomic<bool>* stop = nullptr);
    // The earliest next try; invalid when nothing waits.
    QDateTime nextDue() const;

private:
    MailOutcome sendOne(OutboxMail& mail, const QDateTime& now, const std::atomic<bool>* stop);
    SmtpMessage compose(const OutboxMail& mail);

    Outbox& m_outbox;
    MailAccount m_account;
    QString m_password;
};
