#include "platform/InterruptScope.h"

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_interrupted{false};
int g_wake[2] = {-1, -1};

extern "C" void onInterrupt(int)
{
    g_interrupted = true;
    if (g_wake[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(g_wake[1], &byte, 1); // async-signal-safe
    }
}

} // namespace

InterruptScope::InterruptScope()
{
    g_interrupted = false;
    if (g_wake[0] < 0 && ::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        g_wake[0] = g_wake[1] = -1;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

InterruptScope::~InterruptScope()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool InterruptScope::interrupted()
{
    return g_interrupted.load();
}

void InterruptScope::whenInterrupted(QObject* context, std::function<void()> handler)
{
    if (g_wake[0] < 0)
        return;
    auto* notifier = new QSocketNotifier(g_wake[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [handler = std::move(handler)] {
        char drain[16];
        while (::read(g_wake[0], drain, sizeof drain) > 0) {
        }
        handler();
    });
    if (interrupted())
        handler();
}
