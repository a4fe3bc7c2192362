#pragma once

#include <functional>

class QObject;

// While one exists, Ctrl+C and SIGTERM ask the running program to end in
// order instead of killing the process. A second signal ends the process at
// once, even when the main thread is stuck: the open port is first told to
// stop streaming and hang up, and loses DTR.
class InterruptScope
{
public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

    static bool interrupted();
    // The serial port a forced end releases (-1: none).
    static void setPortToRelease(int fd);
    // Calls `handler` from the event loop when the signal comes, without
    // polling (the handler only wakes a pipe).
    void whenInterrupted(QObject* context, std::function<void()> handler);
};
