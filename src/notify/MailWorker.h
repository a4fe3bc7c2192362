#pragma once

#include "notify/MailSender.h"

#include <QObject>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

// Sends the outbox on a thread of its own, so a slow or hanging mail server
// never holds up call handling. Woken when a mail is added; otherwise wakes
// itself when the next try is due. Everything it reports arrives queued.
class MailWorker : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    MailWorker(const QString& outboxFolder, const MailAccount& account, Clock clock = {}, QObject* parent = nullptr);
    // Stops a send under way (a hanging server) and waits for the thread.
    ~MailWorker() override;

    // Looked up on the worker's thread the first time a password is needed
    // (the desktop's secret store may take a while to answer).
    void setPasswordSource(std::function<QString()> source);
    void setPassword(const QString& password);
    void setAccount(const MailAccount& account);
    void wake();

signals:
    void outcome(const MailOutcome& outcome);
    // No password from the source: sending waits for setPassword.
    void passwordNeeded();

private:
    void pass();
    void schedule();

    Outbox m_outbox;
    MailSender m_sender;
    Clock m_clock;
    std::function<QString()> m_passwordSource;
    bool m_asked = false;
    std::atomic<bool> m_stop{false};
    QObject m_home; // lives on the thread; the timer and the queued calls go through it
    QTimer* m_timer;
    QThread m_thread;
};

Q_DECLARE_METATYPE(MailOutcome)
