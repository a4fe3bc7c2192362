#include "Options.h"

#include <cstdlib>

namespace sim {

const char* usageText()
{
    return "Usage: velmora-modem-sim [OPTIONS]\n"
           "A V.253 voice modem on a pseudo-terminal. Prints the device path on its first line,\n"
           "then one line per event; serves until killed. Commands on stdin run live.\n\n"
           "  --profile NAME      modem family: generic, conexant, usr, old-serial, rockwell (default generic)\n"
           "  --scenario FILE     play the calls of a scenario file (see README.md)\n"
           "  --speed N           run time N times faster (default 1)\n"
           "  --chunk N           send received bytes in reads of N bytes\n"
           "  --capture-dir DIR   save each transmission as DIR/tx-NNN.wav\n"
           "  --path-file FILE    also write the device path to FILE\n"
           "  --link PATH         make PATH a symbolic link to the device\n"
           "  --set KEY=VALUE     change one behaviour of the profile (see README.md)\n"
           "  --list-profiles     list the profiles and end\n"
           "  --help              show this help\n";
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&]() -> std::string { return argv[++i]; };
        if (arg == "--help") {
            options.help = true;
        } else if (arg == "--list-profiles") {
            options.listProfiles = true;
        } else if (!hasValue) {
            error = "unknown or incomplete option " + arg;
            return false;
        } else if (arg == "--profile") {
            options.profile = value();
        } else if (arg == "--scenario") {
            options.scenario = value();
        } else if (arg == "--speed") {
            options.speed = std::atof(value().c_str());
            if (options.speed <= 0 || options.speed > 1000) {
                error = "--speed takes a number above 0 and at most 1000";
                return false;
            }
        } else if (arg == "--chunk") {
            const int n = std::atoi(value().c_str());
            if (n <= 0) {
                error = "--chunk takes a positive number of bytes";
                return false;
            }
            options.chunk = size_t(n);
        } else if (arg == "--capture-dir") {
            options.captureDir = value();
        } else if (arg == "--path-file") {
            options.pathFile = value();
        } else if (arg == "--link") {
            options.link = value();
        } else if (arg == "--set") {
            const std::string kv = value();
            const size_t eq = kv.find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "--set takes KEY=VALUE";
                return false;
            }
            options.settings.emplace_back(kv.substr(0, eq), kv.substr(eq + 1));
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

} // namespace sim
