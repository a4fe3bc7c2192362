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
        return talk.command("ATE0").endsWith("OK\r\n");
    }
    // Sends the commands in turn; true when each got OK.
    bool setUp(std::initializer_list<const char*> commands)
    {
        for (const char* c : commands)
            if (!talk.command(c).endsWith("\r\nOK\r\n"))
                return false;
        return true;
    }

    testsupport::ModemSim sim;
    LinuxSerialPort port;
    testsupport::PortTalk talk{port};
};

inline testsupport::ModemSim::Options simOptions(const QString& profile, const QString& scenario = QString())
{
    testsupport::ModemSim::Options options;
    options.profile = profile;
    options.scenario = scenario;
    return options;
}

// Removes the DLE shielding of a received voice stream and collects the
// event codes; false when a DLE is followed by something a modem never sends.
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
        else if (codes.contains(stream[i]))
            events.append(stream[i]);
        else
            return false;
    }
    return true;
}
