#include "calls/CallerLists.h"

#include <array>

namespace callerlists {

namespace {

const QString NamePrefix = QStringLiteral("name:");

struct Named
{
    const char* name;
    int value;
};

constexpr std::array<Named, 5> KindNames{{{"number", int(EntryKind::Number)},
                                          {"name", int(EntryKind::Name)},
                                          {"withheld", int(EntryKind::Withheld)},
                                          {"unavailable", int(EntryKind::Unavailable)},
                                          {"none", int(EntryKind::NoCallerId)}}};
constexpr std::array<Named, 5> ActionNames{{{"default", int(BlockAction::Default)},
                                            {"hangup", int(BlockAction::HangUp)},
                                            {"tones", int(BlockAction::Tones)},
                                            {"greeting", int(BlockAction::Greeting)},
                                            {"rings", int(BlockAction::Rings)}}};

template <size_t N>
std::optional<int> lookUp(const std::array<Named, N>& table, const QString& name)
{
    const QString wanted = name.trimmed().toLower();
    for (const Named& n : table)
        if (wanted == QLatin1String(n.name))
            return n.value;
    return std::nullopt;
}

template <size_t N>
QString nameOf(const std::array<Named, N>& table, int value)
{
    for (const Named& n : table)
        if (n.value == value)
            return QLatin1String(n.name);
    return QString();
}

// "+1-800*" is "1800*": separators people write are not part of the number.
bool isSeparator(QChar c)
{
    return c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char(' ') || c == QLatin1Char('(')
        || c == QLatin1Char(')') || c == QLatin1Char('.');
}

QString numberPattern(const QString& text)
{
    QString out;
    for (const QChar c : text)
        if (!isSeparator(c))
            out.append(c);
    return out;
}

QString digitsOf(const QString& number)
{
    QString out;
    for (const QChar c : number)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            out.append(c);
    return out;
}

QString numberProblem(const QString& pattern)
{
    bool digit = false;
    for (const QChar c : pattern) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = true;
        else if (c != QLatin1Char('*') && c != QLatin1Char('?'))
            return QStringLiteral("a number holds only digits, * and ? (and + - for readability)");
    }
    // A lone "*" would block every caller: that is what screening is for.
    return digit ? QString() : QStringLiteral("a number pattern needs at least one digit");
}

bool hasControl(const QString& text)
{
    for (const QChar c : text)
        if (!c.isPrint())
            return true;
    return false;
}

bool isOneOf(const QString& text, std::initializer_list<const char*> values)
{
    const QString t = text.trimmed().toUpper();
    for (const char* v : values)
        if (t == QLatin1String(v))
            return true;
    return false;
}

bool sameChar(QChar a, QChar b, Qt::CaseSensitivity cs)
{
    return cs == Qt::CaseSensitive ? a == b : a.toCaseFolded() == b.toCaseFolded();
}

// One backtrack point: no blow-up on many stars.
bool globFrom(const QString& p, const QString& t, Qt::CaseSensitivity cs)
{
    qsizetype pi = 0, ti = 0, starP = -1, starT = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == QLatin1Char('*')) {
            starP = pi++;
            starT = ti;
        } else if (pi < p.size()
                   && (p[pi] == QLatin1Char('?') || sameChar(p[pi], t[ti], cs))) {
            ++pi;
            ++ti;
        } else if (starP >= 0) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == QLatin1Char('*'))
        ++pi;
    return pi == p.size();
}

} // namespace

QString parseCaller(const QString& text, ListEntry& entry)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QStringLiteral("no caller given");
    if (t.size() > MaxPatternLength + NamePrefix.size())
        return QStringLiteral("longer than %1 characters").arg(MaxPatternLength);
    if (hasControl(t))
        return QStringLiteral("control characters are not allowed");
    if (const auto kind = parseKind(t); kind && *kind != EntryKind::Number && *kind != EntryKind::Name) {
        entry.kind = *kind;
        entry.pattern.clear();
        return QString();
    }
    if (t.startsWith(NamePrefix, Qt::CaseInsensitive)) {
        const QString name = t.mid(NamePrefix.size()).trimmed();
        if (name.isEmpty() || name == QStringLiteral("*"))
            return QStringLiteral("a name pattern needs at least one letter");
        entry.kind = EntryKind::Name;
        entry.pattern = name;
        return QString();
    }
    const QString problem = numberProblem(numberPattern(t));
    if (!problem.isEmpty())
        return problem;
    entry.kind = EntryKind::Number;
    entry.pattern = t;
    return QString();
}

QString callerText(const ListEntry& entry)
{
    switch (entry.kind) {
    case EntryKind::Number: return entry.pattern;
    case EntryKind::Name: return NamePrefix + entry.pattern;
    default: return kindName(entry.kind);
    }
}

QString listName(CallerList list)
{
    return list == CallerList::Allow ? QStringLiteral("allow") : QStringLiteral("block");
}

std::optional<CallerList> parseList(const QString& name)
{
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("allow"))
        return CallerList::Allow;
    if (n == QLatin1String("block"))
        return CallerList::Block;
    return std::nullopt;
}

QString kindName(EntryKind kind)
{
    return nameOf(KindNames, int(kind));
}

std::optional<EntryKind> parseKind(const QString& name)
{
    const auto v = lookUp(KindNames, name);
    return v ? std::optional<EntryKind>(EntryKind(*v)) : std::nullopt;
}

QString actionName(BlockAction action)
{
    return nameOf(ActionNames, int(action));
}

std::optional<BlockAction> parseAction(const QString& name)
{
    const auto v = lookUp(ActionNames, name);
    return v ? std::optional<BlockAction>(BlockAction(*v)) : std::nullopt;
}

QString actionText(BlockAction action)
{
    switch (action) {
    case BlockAction::HangUp: return QStringLiteral("hung up");
    case BlockAction::Tones: return QStringLiteral("not-in-service tones");
    case BlockAction::Greeting: return QStringLiteral("own greeting");
    case BlockAction::Rings: return QStringLiteral("answering machine");
    case BlockAction::Default: break;
    }
    return QStringLiteral("default action");
}

bool globMatch(const QString& pattern, const QString& text, Qt::CaseSensitivity cs)
{
    return globFrom(pattern, text, cs);
}

bool matches(const ListEntry& entry, const CallerIdentity& caller)
{
    const bool none = !caller.callerIdSeen || (caller.number.trimmed().isEmpty() && caller.name.trimmed().isEmpty());
    switch (entry.kind) {
    case EntryKind::NoCallerId: return none;
    case EntryKind::Withheld:
        return !none && (isOneOf(caller.number, {"P", "PRIVATE"}) || isOneOf(caller.name, {"P", "PRIVATE"}));
    case EntryKind::Unavailable:
        return !none && (isOneOf(caller.number, {"O", "OUT OF AREA", "UNAVAILABLE"}) || isOneOf(caller.name, {"O"}));
    case EntryKind::Number: {
        const QString digits = digitsOf(caller.number);
        return !digits.isEmpty() && globMatch(numberPattern(entry.pattern), digits);
    }
    case EntryKind::Name:
        return !caller.name.trimmed().isEmpty()
            && globMatch(entry.pattern, caller.name.trimmed(), Qt::CaseInsensitive);
    }
    return false;
}

const ListEntry* firstMatch(const std::vector<ListEntry>& entries, CallerList list, const CallerIdentity& caller)
{
    for (const ListEntry& e : entries)
        if (e.list == list && matches(e, caller))
            return &e;
    return nullptr;
}

QString printable(const QString& text, int max)
{
    QString out = text.left(max);
    for (QChar& c : out)
        if (!c.isPrint())
            c = QLatin1Char('?');
    return out;
}

} // namespace callerlists
