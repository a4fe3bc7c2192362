#include "calls/CallClock.h"

#include <QTimer>

SystemCallClock::SystemCallClock()
{
    m_clock.start();
}

SystemCallClock::~SystemCallClock() = default;

CallClock::TimerId SystemCallClock::after(int ms, std::function<void()> work)
{
    const TimerId id = ++m_next;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(ms < 2000 ? Qt::PreciseTimer : Qt::CoarseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, [this, id, work = std::move(work)] {
        // The timer goes first: the work may start or cancel others.
        auto found = m_timers.find(id);
        if (found == m_timers.end())
            return;
        found->second.release()->deleteLater();
        m_timers.erase(found);
        work();
    });
    timer->start(std::max(0, ms));
    m_timers.emplace(id, std::move(timer));
    return id;
}

void SystemCallClock::cancel(TimerId id)
{
    m_timers.erase(id);
}
