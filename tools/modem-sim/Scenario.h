#pragma once

#include "LineAudio.h"
#include "Modem.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// One line of a scenario (the format is in README.md).
struct Step
{
    enum class Kind {
        Call, Wait, Ring, CallerId, Await, Sound, Dtmf, Event, Handset, Waiting, Send, Set, UseProfile, Log, Freeze, Unplug,
        Quit
    };
    Kind kind = Kind::Log;
    int sourceLine = 0;
    std::string text;  // await condition, event codes, text to send, setting, profile, log text, digits
    std::string value; // setting value, await command text
    double seconds = 0; // wait, sound length, ring interval, await timeout (0: none)
    bool untilOnHook = false;
    int count = 0;      // rings
    bool doubleRing = false;
    int handsetAfter = 0;  // rings after which the local handset answers (0: never)
    double on = 0.1, off = 0.1; // DTMF timing
    char detectedEvent = 0;     // busy/reorder/dial tone: DLE code a modem that reports them sends
    CallerIdFields fields;
    std::function<std::unique_ptr<Sound>()> sound;
};

// Parses scenario text. `baseDir` resolves relative file names of `play`.
// Returns false with "line N: what is wrong" in error.
bool parseScenario(const std::string& text, const std::string& baseDir, std::vector<Step>& steps,
                   std::string& error);

} // namespace sim
