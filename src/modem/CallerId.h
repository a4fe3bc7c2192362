#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The values of one caller-ID record, one per tag.
struct CallerIdValues
{
    QString date;    // DATE
    QString time;    // TIME
    QString number;  // NMBR (also DDN_NMBR, which contains it)
    QString name;    // NAME
    QString message; // MESG
    QString error;   // ERRM
    QString dron;    // DRON
    QString drof;    // DROF
    QString cpon;    // CPON
    QString cpof;    // CPOF
};

// Splits a record into its values. A line sets the value of every tag its
// key (the text before the first "=") contains, to the text after that "="
// without surrounding blanks; a line without "=" gives itself as the value of
// the tags it contains. Later lines replace earlier values.
CallerIdValues parseCallerIdLines(const QStringList& lines);

// Lines of a collected packet; CR, LF or both end a line.
QStringList splitPacketLines(QByteArrayView packet);

// Whether a text line from the modem is a caller-ID line of the plain-text
// form real modems send ("NMBR = 5551234", "DDN_NMBR=...", "DRON=...").
bool isCallerIdTextLine(const QString& line);
