#pragma once

#include <QString>

// Where the engine's log lines go: the event log window in the desktop
// program, standard output in the command line. The engine appends whole
// lines, time stamp included.
//
// Lines can come from a transmit worker's thread as well as from the main
// thread, so an implementation must accept calls from any thread.
class TextSink
{
public:
    virtual ~TextSink() = default;
    virtual void appendLine(const QString& line) = 0;
};
