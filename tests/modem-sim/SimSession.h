#pragma once

#include "ModemSim.h"
#include "PortTalk.h"
#include "platform/LinuxSerialPort.h"

#include <memory>

// A simulator and a port open on it, echo off: what every test here starts
// from.
struct SimSession
{
    explicit SimSession(testsupport::ModemSim::Options options) : sim(std::move(options)) {}

    // Starts the simulator, opens the port and turns echo off.
    bool start()
    {
        if (!sim.start())
            return false;
        port.setDeviceName(sim.devicePath());
        port.setOpen(true);
        return talk.command("ATE0").contains("\r\nOK\r\n");
    }
    // Sends the commands in turn; true when each got OK (a ring or an event
    // may come in the same read).
    bool setUp(std::initializer_list<const char*> commands)
    {
        for (const char* c : commands)
            if (!talk.command(c).contains("\r\nOK\r\n"))
                return false;
        return true;
    }

    testsupport::ModemSim sim;
    LinuxSerialPort port;
    testsupport::PortTalk talk{port};
};

inline testsupport::ModemSim::Options simOptions(const QString& profile, const QString& scenario = QString(),
                                                double speed = 10)
{
    testsupport::ModemSim::Options options;
    options.profile = profile;
    options.scenario = scenario;
    options.speed = speed;
    return options;
}

// Removes the DLE shielding of a received voice stream and collects the
// event codes; false when a DLE is followed by something a modem never sends.
// Overrun reports (DLE o) are left out: a test machine under load may read
// late, and the modem then rightly reports it.
inline bool unshield(const QByteArray& stream, QByteArray& data, QByteArray& events)
{
    static const QByteArray codes("\x03/~0123456789*#ABCDRXbdhHKostuv.", 32);
    for (int i = 0; i < stream.size(); ++i) {
        if (stream[i] != 0x10) {
            data.append(stream[i]);
            continue;
        }
        if (++i >= stream.size())
            return false;
        if (stream[i] == 0x10)
            data.append(char(0x10));
        else if (stream[i] == 'o')
            continue;
        else if (codes.contains(stream[i]))
            events.append(stream[i]);
        else
            return false;
    }
    return true;
}
