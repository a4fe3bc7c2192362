#include "notify/MailWorker.h"

namespace {

constexpr qint64 LongestSleepMs = 3600 * 1000; // a clock that jumps is seen within the hour
constexpr qint64 ShortestSleepMs = 1000;

} // namespace

MailWorker::MailWorker(const QString& outboxFolder, const MailAccount& account, Clock clock, QObject* parent)
    : QObject(parent), m_outbox(outboxFolder), m_sender(m_outbox, account),
      m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTimeUtc(); })),
      m_timer(new QTimer(&m_home))
{
    qRegisterMetaType<MailOutcome>();
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, &m_home, [this] { pass(); });
    m_home.moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("mail"));
    m_thread.start();
}

MailWorker::~MailWorker()
{
    m_stop = true;
    QMetaObject::invokeMethod(&m_home, [this] { m_timer->stop(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void MailWorker::setPasswordSource(std::function<QString()> source)
{
    QMetaObject::invokeMethod(&m_home, [this, source = std::move(source)] { m_passwordSource = source; });
}

void MailWorker::setPassword(const QString& password)
{
    QMetaObject::invokeMethod(&m_home, [this, password] {
        m_sender.setPassword(password);
        m_asked = false;
        pass();
    });
}

void MailWorker::setAccount(const MailAccount& account)
{
    QMetaObject::invokeMethod(&m_home, [this, account] { m_sender.setAccount(account); });
}

void MailWorker::wake()
{
    QMetaObject::invokeMethod(&m_home, [this] { pass(); });
}

void MailWorker::pass()
{
    if (m_sender.needsPassword() && m_passwordSource) {
        m_sender.setPassword(m_passwordSource());
        m_passwordSource = nullptr; // asked once
    }
    if (m_sender.needsPassword()) {
        if (!m_asked && m_sender.nextDue().isValid())
            emit passwordNeeded();
        m_asked = true;
        return;
    }
    for (const MailOutcome& o : m_sender.sendDue(m_clock(), &m_stop))
        emit outcome(o);
    schedule();
}

void MailWorker::schedule()
{
    const QDateTime next = m_sender.nextDue();
    if (!next.isValid() || m_stop)
        return;
    m_timer->start(int(qBound(ShortestSleepMs, m_clock().msecsTo(next), LongestSleepMs)));
}
