#pragma once

#include "platform/InterruptScope.h"
#include "CliModem.h"

#include <QElapsedTimer>
#include <atomic>
#include <optional>

// What `monitor` and `record` share: the modem bound and initialised as
// `init` does it, one printed line per modem event, and a wait that ends
// after a number of seconds, on Ctrl+C or when a condition holds.
class CliLineSession
{
public:
    CliLineSession(CliContext& context, const QString& commandName);
    ~CliLineSession();

    // Binds the modem and runs the init strings and the script; prints the
    // error and returns false when that fails.
    bool initialise();
    // Prints RING, RINGAWAY n, CALLERID ..., DTMF d and the other events.
    void printEvents();
    // Processes events until `seconds` pass (none: no limit), an interrupt
    // comes or stop() is called.
    void run(std::optional<int> seconds);
    void stop() { m_stopped = true; }
    bool interrupted() const;
    void printLine(const QString& line);

    TQVModem253& engine() { return m_modem.engine(); }
    CliModem& modem() { return m_modem; }

private:
    InterruptScope m_interrupts;
    CliContext& m_ctx;
    QString m_name;
    StreamTextSink m_log; // the engine's lines go to stderr, events to stdout
    CliModem m_modem;
    bool m_stopped = false;
};
