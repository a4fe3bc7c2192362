#pragma once

#include <string>
#include <vector>

namespace sim {

// Runs a program (no shell) to its end and collects its output. True when
// it exited with status 0.
bool runCapture(const std::vector<std::string>& argv, std::string& out, std::string& err);

} // namespace sim
