#pragma once

#include "catalogue/Database.h"
#include "catalogue/RecordingList.h"

#include <QString>
#include <vector>

class Catalogue;

// One page of the recordings, newest first: a folder's, or with a search
// text those of every folder whose number, name or memo holds it (as the
// recordings list searches), with the number of rows in all.
struct RecordingPage
{
    int total = 0;
    int newCount = 0; // of the folder's rows, not only the page's; not counted for a search
    std::vector<RecordingRow> rows;
};

// Raises TableError when the table cannot be read.
RecordingPage readRecordingPage(Catalogue& catalogue, const QString& folderKey, const QString& search, int offset,
                                int limit);
// The highest rowid of the recordings: it changes when a call adds one.
qint64 lastRecordingRowid(Catalogue& catalogue);
// The indexes that give a page without sorting the whole table: by folder
// and date, and by date. Made in a file that lacks them (an older build's);
// false when they cannot be (a read-only file): pages are sorted then.
bool ensurePageIndexes(Database& db, const Database::Attachment& table);
