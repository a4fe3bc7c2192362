#pragma once

#include <QString>

// The error-report dialog: an error's message and the text of the program
// line where it was caught, offered to be sent to support. The desktop
// program shows the dialog; a headless caller prints both texts.
class ErrorReporter
{
public:
    virtual ~ErrorReporter() = default;
    virtual void ShowErrorReport(const QString& message, const QString& line) = 0;
};
