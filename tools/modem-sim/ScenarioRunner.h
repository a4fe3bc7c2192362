#pragma once

#include "Log.h"
#include "Modem.h"
#include "Scenario.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace sim {

enum class ExitRequest { None, Quit, Unplug };

// Plays scenario steps in order against the modem, one at a time, each
// taking its time on the simulated clock.
class ScenarioRunner
{
public:
    ScenarioRunner(std::string name, Modem& modem, Log& log) : m_name(std::move(name)), m_modem(modem), m_log(log) {}

    void append(std::vector<Step> steps);
    void tick(double now);
    bool idle() const { return m_steps.empty(); }
    ExitRequest exitRequest() const { return m_exit; }
    // Runs a step that takes no time at once; false for steps that take time.
    bool runInstant(const Step& step, double now);

private:
    struct Progress
    {
        double start = 0;
        int soundId = 0;
        int ringsDone = 0;
        double lastRing = 0;
        bool callerIdSent = false;
        bool eventSent = false;
        size_t commandsAtStart = 0;
        std::vector<std::pair<double, char>> events; // DTMF reports still due
    };

    bool begin(Step& step, double now);
    bool advance(Step& step, double now);
    bool advanceRing(Step& step, double now);
    bool advanceAwait(const Step& step, double now);
    bool advanceSound(const Step& step, double now);
    void scheduleDtmf(const Step& step, double now);
    void skipToNextCall(const std::string& why);

    std::string m_name;
    Modem& m_modem;
    Log& m_log;
    std::deque<Step> m_steps;
    bool m_running = false;
    Progress m_progress;
    CallerIdFields m_callerId; // for the next ring step
    ExitRequest m_exit = ExitRequest::None;
};

} // namespace sim
