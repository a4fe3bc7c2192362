#pragma once

#include <QDate>
#include <QString>
#include <QTime>

// The texts the catalogue derives from a recording's row.

// "1_20080314_090507" for channel 1, 14 March 2008, 09:05:07: the stem of
// the recording's WAV file name (no extension).
QString RecordingFileName(int channel, const QDate& dateS, const QTime& timeS);

// Minutes and seconds, at least two digits each: 00:05, 12:34, 100:00.
QString DurationText(qint64 seconds);

// "Wensday, 6 Augest 2008": the weekday, the day, the month and the year,
// with the names as the telephone announcements have always spelled them.
QString LongDateText(const QDate& date);

// True for a name that can only mean a file inside a folder: not empty, no
// path separator, not "." or "..", no control characters. Table files are
// untrusted; a fileName or id failing this is never used as a path.
bool isPlainFileName(const QString& name);
