#pragma once

#include "platform/SerialPort.h"

#include <QString>

// Line settings of a serial device, as termios sees them.
struct SerialLineSettings
{
    int baud = 115200;
    int dataBits = 8;
    int stopBits = 1;
    SerialParity parity = SerialParity::None;
    bool rtsCts = false;
    SerialSwFlow swFlow = SerialSwFlow::None;

    static SerialLineSettings fromPort(const SerialPort& port);
};

// Puts the device into raw mode with these settings. Returns an empty string
// on success, else why the settings were refused.
QString applySerialLineSettings(int fd, const SerialLineSettings& settings);

// Asserts or drops a modem-control line (TIOCM_DTR, TIOCM_RTS). A device
// without the line (a pseudo-terminal) is not an error: returns false.
bool setModemControlLine(int fd, int line, bool on);
