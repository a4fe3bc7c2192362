#pragma once

#include "Profile.h"

#include <map>
#include <string>

namespace sim {

// The settings a modem keeps between commands.
struct ModemState
{
    int fclass = 0;
    int lineSource = 0; // +VLS: 0 on hook, otherwise off hook on that source
    bool echo = true;
    int cml = 128;
    int rate = 8000;
    std::map<std::string, std::string> values; // "+VGR" -> "128", as last set

    void reset(const Profile& profile)
    {
        *this = ModemState();
        echo = profile.echoByDefault;
        cml = profile.defaultCml;
        rate = profile.defaultRate;
    }
    bool offHook() const { return lineSource != 0; }
    int number(const std::string& command) const
    {
        auto v = values.find(command);
        return v == values.end() ? 0 : std::atoi(v->second.c_str());
    }
};

} // namespace sim
