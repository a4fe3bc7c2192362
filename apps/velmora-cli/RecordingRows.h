#pragma once

#include <QTextStream>

class RowCursor;
struct RecordingRow;

// A Recordings.d row as the commands print it: id, DateS (yyyy-mm-dd),
// TimeS (hh:mm:ss), Duration, callerID, Comment, fileName, fileSize and
// accessed (0/1), separated by TABs.
void printRecordingRow(RowCursor& row, QTextStream& out);
void printRecordingRow(const RecordingRow& row, QTextStream& out);
