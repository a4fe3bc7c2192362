// The modem simulator's scenario files.
#include "Scenario.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<sim::Step> steps;
    std::string error;
    sim::parseScenario(std::string(reinterpret_cast<const char*>(data), size), "/nonexistent", steps, error);
    return 0;
}
