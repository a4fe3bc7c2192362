#pragma once

#include <QString>

// The one place where a failure to open a serial device becomes a message a
// user can act on: it names the device and the likely cause.
QString describeSerialOpenError(const QString& device, int errnum);

// The message for a device that another program holds (found by a lock,
// not by an errno of open()).
QString describeSerialBusy(const QString& device);

// Opens the device for a moment as the program would, to tell why it cannot
// be used: the message of describeSerialOpenError(), empty when it can.
QString serialAccessProblem(const QString& device);
