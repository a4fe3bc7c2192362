#include "CliInterrupt.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int)
{
    g_interrupted = true;
}

} // namespace

CliInterruptScope::CliInterruptScope()
{
    g_interrupted = false;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

CliInterruptScope::~CliInterruptScope()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool CliInterruptScope::interrupted()
{
    return g_interrupted.load();
}
