#include "ModemLines.h"

namespace {

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool equalsWord(QByteArrayView text, QByteArrayView word)
{
    if (text.size() != word.size())
        return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (upper(text[i]) != word[i])
            return false;
    return true;
}

// "CONNECT", or "CONNECT 33600" and the like in data mode.
bool isConnect(QByteArrayView line)
{
    constexpr QByteArrayView word("CONNECT");
    if (line.size() < word.size() || !equalsWord(line.first(word.size()), word))
        return false;
    return line.size() == word.size() || line[word.size()] == ' ' || line[word.size()] == '/';
}

} // namespace

ResultCode resultOfLine(QByteArrayView line, bool numericResults)
{
    line = line.trimmed();
    if (equalsWord(line, "OK"))
        return ResultCode::Ok;
    if (equalsWord(line, "ERROR"))
        return ResultCode::Error;
    if (isConnect(line))
        return ResultCode::Connect;
    if (numericResults && line.size() == 1) {
        switch (line[0]) {
        case '0': return ResultCode::Ok;
        case '1': return ResultCode::Connect;
        case '4': return ResultCode::Error;
        default: break;
        }
    }
    return ResultCode::None;
}

std::optional<bool> numericResultsAfter(QByteArrayView command)
{
    command = command.trimmed();
    if (command.size() < 2 || upper(command[0]) != 'A' || upper(command[1]) != 'T')
        return std::nullopt;
    std::optional<bool> numeric;
    qsizetype i = 2;
    while (i < command.size()) {
        const char c = upper(command[i]);
        if (c == '+' || c == '#' || c == '*' || c == '-') { // extended: runs to the next ';'
            while (i < command.size() && command[i] != ';')
                ++i;
            continue;
        }
        if (c == 'D') // the rest is a dial string
            break;
        const bool ampersand = c == '&';
        if (c == '&' || c == '%' || c == '\\')
            ++i;
        if (i >= command.size())
            break;
        const char letter = upper(command[i++]);
        qsizetype digitsAt = i;
        while (i < command.size() && isDigit(command[i]))
            ++i;
        const QByteArrayView digits = command.sliced(digitsAt, i - digitsAt);
        if (letter == 'S') { // S7=50, S0?
            if (i < command.size() && (command[i] == '=' || command[i] == '?'))
                ++i;
            while (i < command.size() && isDigit(command[i]))
                ++i;
            continue;
        }
        if (!ampersand && letter == 'V' && (digits.isEmpty() || digits == "0"))
            numeric = true;
        else if (!ampersand && letter == 'V' && digits == "1")
            numeric = false;
        else if ((!ampersand && letter == 'Z') || (ampersand && letter == 'F'))
            numeric = false;
    }
    return numeric;
}
