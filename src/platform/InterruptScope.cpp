#include "platform/InterruptScope.h"

#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_interrupted{false};
std::atomic<int> g_port{-1};
int g_wake[2] = {-1, -1};

void writeAll(int fd, const char* bytes, size_t size)
{
    [[maybe_unused]] const ssize_t n = ::write(fd, bytes, size);
}

// Only async-signal-safe calls: the main thread may hold any lock.
[[noreturn]] void endNow(int signal)
{
    static const char note[] = "velmora: ended by a second signal\n";
    writeAll(STDERR_FILENO, note, sizeof note - 1);
    const int port = g_port.load();
    if (port >= 0) {
        // Stop a transmission and a reception, then go on hook.
        static const char release[] = "\x10\x03\x10!\rATH\r";
        writeAll(port, release, sizeof release - 1);
        const int dtr = TIOCM_DTR;
        ::ioctl(port, TIOCMBIC, &dtr);
        ::close(port);
    }
    ::_exit(128 + signal);
}

extern "C" void onInterrupt(int signal)
{
    if (g_interrupted.exchange(true))
        endNow(signal);
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

void InterruptScope::setPortToRelease(int fd)
{
    g_port = fd;
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
