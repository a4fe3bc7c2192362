#pragma once

#include "FieldDef.h"

#include <QStringList>

// The tables of the catalogue and of the greetings, field by field in the
// order their files hold them.
namespace schema {

inline const QString RecordingsTable = QStringLiteral("Recordings.d");
inline const QString FoldersTable = QStringLiteral("Folders.d");
inline const QString MessagesTable = QStringLiteral("Msgs.d");
// The block and allow lists of callers.
inline const QString CallerListsTable = QStringLiteral("Lists.d");
// The transient table of the old-format conversion.
inline const QString ConvertedTable = QStringLiteral("Recordings_1.d");

// A Recordings.d with this many fields was written by an older release.
constexpr int OldRecordingsFieldCount = 7;

FieldDefs recordingsFields(); // the 28 fields
FieldDefs foldersFields();
FieldDefs messagesFields();
FieldDefs callerListsFields();

// Fields searched by Locate, the folder range and the new-messages query.
QStringList recordingsIndexes();
QStringList foldersIndexes();

} // namespace schema
