#include "Log.h"
#include "Modem.h"
#include "Options.h"
#include "Pty.h"
#include "Scenario.h"
#include "ScenarioRunner.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <unistd.h>

using namespace sim;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool loadScenario(const std::string& path, std::vector<Step>& steps, std::string& error)
{
    std::ifstream file(path);
    if (!file) {
        error = "cannot read scenario " + path;
        return false;
    }
    std::stringstream text;
    text << file.rdbuf();
    if (!parseScenario(text.str(), directoryOf(path), steps, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

// Takes the complete lines typed on stdin so far; false at end of input.
bool readStdinLines(std::string& buffer, std::vector<std::string>& lines)
{
    char chunk[4096];
    const ssize_t n = ::read(0, chunk, sizeof chunk);
    if (n <= 0)
        return false;
    buffer.append(chunk, size_t(n));
    for (size_t nl; (nl = buffer.find('\n')) != std::string::npos;) {
        lines.push_back(buffer.substr(0, nl));
        buffer.erase(0, nl + 1);
    }
    return true;
}

// Live commands that take no time act at once; the others queue up in order.
void runLive(const std::string& line, ScenarioRunner& live, Log& log, double now)
{
    std::vector<Step> steps;
    std::string error;
    if (!parseScenario(line, std::string(), steps, error)) {
        log("stdin: " + error);
        return;
    }
    for (Step& step : steps) {
        if (!live.idle() || !live.runInstant(step, now))
            live.append({std::move(step)});
    }
}

bool announce(const Options& options, const std::string& path)
{
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    if (!options.pathFile.empty()) {
        std::ofstream file(options.pathFile, std::ios::trunc);
        file << path << "\n";
        if (!file.flush()) {
            std::fprintf(stderr, "velmora-modem-sim: cannot write %s\n", options.pathFile.c_str());
            return false;
        }
    }
    if (!options.link.empty()) {
        ::unlink(options.link.c_str());
        if (::symlink(path.c_str(), options.link.c_str()) != 0) {
            std::fprintf(stderr, "velmora-modem-sim: cannot create the link %s\n", options.link.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "velmora-modem-sim: %s\n%s", error.c_str(), usageText());
        return 2;
    }
    if (options.help) {
        std::printf("%s", usageText());
        return 0;
    }
    if (options.listProfiles) {
        for (const Profile& p : builtinProfiles())
            std::printf("%-11s %s\n", p.name.c_str(), p.summary.c_str());
        return 0;
    }
    const Profile* chosen = findProfile(options.profile);
    if (!chosen) {
        std::fprintf(stderr, "velmora-modem-sim: no profile named %s (try --list-profiles)\n", options.profile.c_str());
        return 2;
    }
    Profile profile = *chosen;
    for (const auto& [key, value] : options.settings)
        if (!profile.set(key, value, error)) {
            std::fprintf(stderr, "velmora-modem-sim: --set %s: %s\n", key.c_str(), error.c_str());
            return 2;
        }
    std::vector<Step> scenario;
    if (!options.scenario.empty() && !loadScenario(options.scenario, scenario, error)) {
        std::fprintf(stderr, "velmora-modem-sim: %s\n", error.c_str());
        return 2;
    }

    Pty pty;
    if (!pty.open(error)) {
        std::fprintf(stderr, "velmora-modem-sim: %s\n", error.c_str());
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    if (!announce(options, pty.slavePath()))
        return 1;

    Log log;
    Modem modem(profile, {options.chunk, options.captureDir}, log, pty);
    ScenarioRunner script("scenario", modem, log);
    ScenarioRunner live("live", modem, log);
    script.append(std::move(scenario));
    log("profile " + profile.name + ", speed " + std::to_string(options.speed));

    const auto start = std::chrono::steady_clock::now();
    std::string stdinBuffer;
    bool stdinOpen = true;
    while (!g_stop && script.exitRequest() == ExitRequest::None && live.exitRequest() == ExitRequest::None) {
        pollfd fds[2] = {{stdinOpen ? 0 : -1, POLLIN, 0},
                         {modem.hostPresent() && !modem.transmitting() ? pty.fd() : -1, POLLIN, 0}};
        ::poll(fds, 2, 2);
        const double now =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() * options.speed;
        log.now = now;
        if (fds[0].revents) {
            std::vector<std::string> lines;
            stdinOpen = readStdinLines(stdinBuffer, lines);
            for (const std::string& line : lines)
                runLive(line, live, log, now);
        }
        script.tick(now);
        live.tick(now);
        modem.service(now);
    }
    if (!options.link.empty())
        ::unlink(options.link.c_str());
    const bool unplugged =
        script.exitRequest() == ExitRequest::Unplug || live.exitRequest() == ExitRequest::Unplug;
    log(unplugged ? "unplugged" : "stopped");
    pty.close();
    return 0;
}
