#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <optional>

// The final results a modem ends a command with.
enum class ResultCode : uint8_t { None, Ok, Error, Connect };

// The result a whole line of modem text stands for, trimmed and in any
// letter case: "OK", "ERROR", "CONNECT" (also followed by a rate, as in data
// mode). With numeric results on (after ATV0) also "0", "4" and "1".
// Anything else, "+GMM: LOOKOUT" or "NAME = BROOKS" among them, is none.
ResultCode resultOfLine(QByteArrayView line, bool numericResults);

// Whether a command line switches the modem to numeric results (V0) or back
// to words (V1, Z, &F); none when it leaves them as they are. Only the basic
// commands of the line count: "AT+VSM=128,8000,0,0" changes nothing.
std::optional<bool> numericResultsAfter(QByteArrayView command);

// Cuts modem text into lines across reads: CR, LF or CR LF end a line, blank
// lines are skipped, and a line longer than any a modem sends is dropped
// whole rather than grown without bound. Fed text only, never voice data or
// DLE pairs.
class ModemLineAssembler
{
public:
    static constexpr qsizetype MaxLineLength = 256;

    ModemLineAssembler() { m_line.reserve(MaxLineLength); }

    // Calls onLine(trimmed line, offset just past its end) for each completed
    // line; onLine returns true to stop right after that line (its CR LF
    // included when both are here). Returns how many bytes were taken.
    template <typename F>
    qsizetype feed(QByteArrayView bytes, F&& onLine);
    void clear()
    {
        m_line.clear();
        m_overlong = false;
    }

private:
    QByteArray m_line;
    bool m_overlong = false;
};

template <typename F>
qsizetype ModemLineAssembler::feed(QByteArrayView bytes, F&& onLine)
{
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            if (m_line.size() < MaxLineLength)
                m_line.append(c);
            else
                m_overlong = true;
            continue;
        }
        const bool whole = !m_overlong;
        const QByteArray line = m_line.trimmed();
        m_line.clear();
        m_overlong = false;
        if (!whole || line.isEmpty())
            continue;
        qsizetype end = i + 1;
        if (c == '\r' && end < bytes.size() && bytes[end] == '\n')
            ++end;
        if (onLine(QByteArrayView(line), end))
            return end;
    }
    return bytes.size();
}
