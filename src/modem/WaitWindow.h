#pragma once

#include <QString>

// The small "Please wait." window shown while the engine cycles the line
// after a modem that refused to start receiving. The desktop program shows a
// real window; without one the engine writes the text to its log.
class WaitWindow
{
public:
    virtual ~WaitWindow() = default;
    virtual void showWait() = 0;
    virtual void closeWait() = 0;

    // The label text after `ticks` steps of 300 ms: "Please wait." followed
    // by one to four dots, round and round.
    static QString labelText(int ticks)
    {
        return QStringLiteral("Please wait") + QString(1 + (ticks % 4 + 4) % 4, QLatin1Char('.'));
    }
};
