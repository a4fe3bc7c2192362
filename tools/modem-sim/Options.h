#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sim {

struct Options
{
    std::string profile = "generic";
    std::string scenario;
    double speed = 1;
    size_t chunk = 0;
    std::string captureDir;
    std::string pathFile;
    std::string link;
    std::vector<std::pair<std::string, std::string>> settings; // --set KEY=VALUE
    bool listProfiles = false;
    bool help = false;
};

// Returns false with a message for the user in error.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
const char* usageText();

} // namespace sim
