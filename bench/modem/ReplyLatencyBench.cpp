// Latency from an OK arriving on a pseudo-terminal to SendCommand returning,
// with the engine on the real serial port.
#include "modem/TQVModem253.h"
#include "platform/LinuxSerialPort.h"

#include <QCoreApplication>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The far end of a pseudo-terminal playing a modem that answers every
// command line with OK, noting when each answer was written.
class OkResponder
{
public:
    OkResponder()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_path = QString::fromLocal8Bit(::ptsname(m_master));
        // Keep the slave side raw and open, so the port sees every byte as sent.
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
        termios t{};
        ::tcgetattr(m_slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(m_slave, TCSANOW, &t);
        m_thread = std::thread([this] { run(); });
    }
    ~OkResponder()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    const QString& path() const { return m_path; }
    Clock::time_point lastAnswer() const { return Clock::time_point(Clock::duration(m_answeredAt.load())); }

private:
    void run()
    {
        char buffer[256];
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] != '\r')
                    continue;
                m_answeredAt = Clock::now().time_since_epoch().count();
                (void)!::write(m_master, "\r\nOK\r\n", 6);
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<Clock::rep> m_answeredAt{0};
};

void BM_OkToSendCommandReturn(benchmark::State& state)
{
    OkResponder modem;
    if (modem.path().isEmpty()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    LinuxSerialPort port;
    TQVModem253 engine;
    engine.setSerialPort(&port);
    port.setDeviceName(modem.path());
    try {
        engine.BindModem();
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    int failures = 0;
    for (auto _ : state) {
        const int reply = engine.SendCommand(QStringLiteral("at"));
        const auto returned = Clock::now();
        failures += reply != TQVModem253::ReplyOk;
        state.SetIterationTime(std::chrono::duration<double>(returned - modem.lastAnswer()).count());
    }
    if (failures)
        state.SkipWithError("some commands were not answered OK");
    engine.ReleaseModem();
}
BENCHMARK(BM_OkToSendCommandReturn)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(500);

} // namespace
