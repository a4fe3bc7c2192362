#include "modem/HookCommands.h"

#include <QString>
#include <algorithm>

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The number after a basic command letter (none: 0).
int basicNumber(QStringView s, qsizetype& i)
{
    int n = 0;
    while (i < s.size() && isDigit(s[i]))
        n = std::min(n * 10 + (s[i++].unicode() - '0'), 1000);
    return n;
}

// An extended command (+NAME...) up to its ';'; only +VLS=n touches the hook.
std::optional<bool> extendedCommand(QStringView s, qsizetype& i)
{
    const qsizetype end = s.indexOf(QLatin1Char(';'), i);
    const QStringView cmd = s.sliced(i, (end < 0 ? s.size() : end) - i);
    i = end < 0 ? s.size() : end + 1;
    if (!cmd.startsWith(QLatin1String("+VLS=")))
        return std::nullopt;
    const QStringView value = cmd.sliced(5).trimmed();
    if (value.isEmpty() || !isDigit(value[0]))
        return std::nullopt;
    qsizetype at = 0;
    return basicNumber(value, at) != 0;
}

} // namespace

std::optional<bool> lineTakenAfter(QStringView command)
{
    const QString upper = command.trimmed().toString().toUpper().remove(QLatin1Char(' '));
    if (!upper.startsWith(QLatin1String("AT")))
        return std::nullopt;
    const QStringView s = QStringView(upper).sliced(2);
    std::optional<bool> taken;
    for (qsizetype i = 0; i < s.size();) {
        const QChar c = s[i++];
        switch (c.unicode()) {
        case '+':
            --i;
            if (auto hook = extendedCommand(s, i))
                taken = hook;
            break;
        case 'H':
            taken = basicNumber(s, i) != 0;
            break;
        case 'A':
        case 'D':
            return true; // answering or dialling; a dial string ends the line
        case 'Z':
            basicNumber(s, i);
            taken = false;
            break;
        case '&':
            if (i < s.size() && s[i++] == QLatin1Char('F'))
                taken = false;
            basicNumber(s, i);
            break;
        case 'S': // S-register: Sn=v or Sn?
            basicNumber(s, i);
            if (i < s.size() && (s[i] == QLatin1Char('=') || s[i] == QLatin1Char('?')))
                ++i;
            basicNumber(s, i);
            break;
        default:
            basicNumber(s, i);
            break;
        }
    }
    return taken;
}
