#pragma once

#include <cstdio>
#include <string>

namespace sim {

// What the simulator did, one line each on stdout, with the simulated time:
// "[12.345] host: AT+VRX". Tests wait for these lines.
class Log
{
public:
    double now = 0;
    void operator()(const std::string& text) const
    {
        std::printf("[%.3f] %s\n", now, text.c_str());
        std::fflush(stdout);
    }
};

// Shows control bytes readably: DLE as <DLE>, CR as \r.
std::string printable(const std::string& bytes);

} // namespace sim
