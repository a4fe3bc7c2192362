#pragma once

#include <functional>

class QObject;

// While one exists, Ctrl+C and SIGTERM ask the running program to end in
// order instead of killing the process.
class InterruptScope
{
public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    static bool interrupted();
    // Calls `handler` from the event loop when the signal comes, without
    // polling (the handler only wakes a pipe).
    void whenInterrupted(QObject* context, std::function<void()> handler);
};
