#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace testsupport {

// Processes events until the condition holds or timeoutMs pass; returns the
// condition's last value. For tests that wait on signals from the event loop.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

// Processes events for a while (to see that nothing more happens).
inline void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

} // namespace testsupport
