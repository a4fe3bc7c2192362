#pragma once

#include <QDateTime>
#include <QString>

// What a mail about a call can say about it.
struct CallFacts
{
    QString number;
    QString name;
    QDateTime when;
    qint64 seconds = -1; // no recording: -1
    QString folder;
};

namespace mailtext {

// The template with {number}, {name}, {date}, {time}, {duration} and
// {folder} filled in. The caller's text comes from the line: only its
// printable characters, on one line, cut short.
QString fill(const QString& text, const CallFacts& facts);
// "1:05"; "0:00" for no time.
QString duration(qint64 seconds);
// A subject on one line, of at most MaxSubject characters.
QString subjectLine(const QString& text);
inline constexpr int MaxSubject = 200;
inline constexpr int MaxField = 60;

} // namespace mailtext
