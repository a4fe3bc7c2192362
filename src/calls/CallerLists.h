#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The block list and the allow list: which callers are turned away, and
// which are always put through. The allow list wins.
enum class CallerList : uint8_t { Block, Allow };

enum class EntryKind : uint8_t {
    Number,      // a number, or a pattern of digits with * and ?
    Name,        // a name pattern, any case, with *
    Withheld,    // the number came as P or PRIVATE
    Unavailable, // the number came as O
    NoCallerId,  // the ringing brought no caller ID at all
};

// What is done to a blocked caller. Default: the action of the settings.
enum class BlockAction : uint8_t { Default, HangUp, Tones, Greeting, Rings };

struct ListEntry
{
    QString id;
    CallerList list = CallerList::Block;
    EntryKind kind = EntryKind::Number;
    QString pattern; // as the user wrote it; empty for the special callers
    BlockAction action = BlockAction::Default;
    int rings = 0;    // Rings: the rings before the answering machine takes it (0: the settings')
    QString greeting; // Greeting: what the caller hears (empty: the settings')
    QString note;
    QDateTime added;
};

// The caller as the line reported it.
struct CallerIdentity
{
    QString number;
    QString name;
    bool callerIdSeen = false;
};

namespace callerlists {

constexpr int MaxPatternLength = 40;
constexpr int MaxNoteLength = 200;
constexpr int MaxGreetingLength = 500;
constexpr int MaxRings = 20;

// Reads what a user types for an entry: "5551234", "0900*", "+1-800*",
// "name:SMITH*", "withheld", "unavailable", "none". Sets kind and pattern;
// the reason it cannot be an entry otherwise.
QString parseCaller(const QString& text, ListEntry& entry);
// The entry's caller as parseCaller reads it back.
QString callerText(const ListEntry& entry);

QString listName(CallerList list);
std::optional<CallerList> parseList(const QString& name);
QString kindName(EntryKind kind);
std::optional<EntryKind> parseKind(const QString& name);
// "hangup", "tones", "greeting", "rings"; "default" for Default.
QString actionName(BlockAction action);
std::optional<BlockAction> parseAction(const QString& name);
// For the log and the catalogue: "hung up", "not-in-service tones", ...
QString actionText(BlockAction action);

// Whether the pattern (digits, * and ?) covers the whole text.
bool globMatch(const QString& pattern, const QString& text, Qt::CaseSensitivity cs = Qt::CaseSensitive);
bool matches(const ListEntry& entry, const CallerIdentity& caller);
// The first entry of `list` that matches, or null.
const ListEntry* firstMatch(const std::vector<ListEntry>& entries, CallerList list, const CallerIdentity& caller);

// Caller ID comes from the network: control characters become "?", and
// the text is cut to `max` characters, before it reaches a log or a screen.
QString printable(const QString& text, int max = 60);

} // namespace callerlists
