#pragma once

#include "Database.h"

#include <QString>

// The recordings' caller numbers and memos in an FTS5 index of trigrams,
// kept in the table's own file by triggers, so any writer of the file
// keeps it current. It answers "holds this text" (any letter case) for
// texts of three characters or more without reading every row.
namespace searchindex {

constexpr int MinimumLength = 3;

// The index's name beside the table it indexes.
QString nameFor(const QString& table);
// Whether the file holds the index.
bool exists(Database& db, const Database::Attachment& table);
// Makes the index of a file that lacks it (a file of an older build) and
// fills it from the rows; false when it cannot be made (a read-only file,
// a SQLite without FTS5): the search reads every row then.
bool ensure(Database& db, const Database::Attachment& table);
// The FTS5 query for rows that hold `text`: one quoted phrase, so nothing
// in the text is read as query syntax.
QString matchPattern(const QString& text);

} // namespace searchindex
