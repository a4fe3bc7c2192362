#include "calls/RemoteCodeTries.h"

void RemoteCodeTries::setCode(const QString& code)
{
    if (code != m_code)
        m_try.clear();
    m_code = code;
}

RemoteCodeTries::Result RemoteCodeTries::digit(QChar digit)
{
    if (m_code.isEmpty())
        return Result::Pending;
    m_try.append(digit);
    if (m_try.contains(m_code)) {
        m_try.clear();
        return Result::Match;
    }
    // Every place the code could start within its first length of digits
    // has been seen: a wrong try. Its last digits may begin the next one.
    const qsizetype window = 2 * m_code.size() - 1;
    if (m_try.size() < window)
        return Result::Pending;
    m_try = m_try.right(m_code.size() - 1);
    return Result::Wrong;
}

RemoteCodeTries::Result RemoteCodeTries::pause()
{
    const bool whole = !m_code.isEmpty() && m_try.size() >= m_code.size();
    m_try.clear();
    return whole ? Result::Wrong : Result::Pending;
}
