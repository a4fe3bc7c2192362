#pragma once

// While one exists, Ctrl+C and SIGTERM ask the running command to end in
// order instead of killing the process.
class CliInterruptScope
{
public:
    CliInterruptScope();
    ~CliInterruptScope();
    CliInterruptScope(const CliInterruptScope&) = delete;
    CliInterruptScope& operator=(const CliInterruptScope&) = delete;

    static bool interrupted();
};
