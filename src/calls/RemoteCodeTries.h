#pragma once

#include <QString>

// The owner's tries at the remote code. A try is what is keyed before a
// pause; a try with fewer digits than the code (the end of an earlier try
// that a modem busy transmitting half heard) does not count against the
// owner and never stands in front of a whole code keyed after it. Keys
// keyed on without a pause count one wrong try for every code's length of
// digits that cannot hold the code.
class RemoteCodeTries
{
public:
    static constexpr int PauseMs = 2500;
    enum class Result { Pending, Match, Wrong };

    explicit RemoteCodeTries(QString code = {}) : m_code(std::move(code)) {}
    void setCode(const QString& code);
    void reset() { m_try.clear(); }
    Result digit(QChar digit);
    // A pause after the last digit ends the try.
    Result pause();

private:
    QString m_code;
    QString m_try;
};
