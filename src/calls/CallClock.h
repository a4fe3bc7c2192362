#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <functional>
#include <map>
#include <memory>

class QTimer;

// Time for the call handling: a millisecond tick, the wall clock and
// one-shot timers on the owner's thread. Injected, so tests run whole calls
// in simulated time.
class CallClock
{
public:
    using TimerId = quint64;
    virtual ~CallClock() = default;

    virtual qint64 tickMs() const = 0;
    virtual QDateTime now() const = 0;
    // Runs `work` once after `ms` (0: as soon as the event loop runs).
    virtual TimerId after(int ms, std::function<void()> work) = 0;
    // Forgets a timer that has not fired; an unknown id is ignored.
    virtual void cancel(TimerId id) = 0;
};

// The real clock: QElapsedTimer and single-shot QTimers.
class SystemCallClock : public CallClock
{
public:
    SystemCallClock();
    ~SystemCallClock() override;

    qint64 tickMs() const override { return m_clock.elapsed(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    TimerId after(int ms, std::function<void()> work) override;
    void cancel(TimerId id) override;

private:
    QElapsedTimer m_clock;
    std::map<TimerId, std::unique_ptr<QTimer>> m_timers;
    TimerId m_next = 0;
};
