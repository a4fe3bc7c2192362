#pragma once

#include <QByteArray>
#include <QString>
#include <QTime>
#include <optional>

// The pieces of the settings file's text form, as pure functions.
namespace inisyntax {

struct KeyValue
{
    QString key;   // trimmed, as spelled in the file
    QString value; // trimmed
};

// "[name]" (blanks allowed around and inside the brackets) gives the name.
std::optional<QString> sectionName(const QString& line);
// "key = value" gives both trimmed; comments (";", "#") and lines without
// a key give nothing.
std::optional<KeyValue> keyValue(const QString& line);
// Decimal with an optional sign, or hexadecimal after "0x" or "$" (up to 32
// bits, taken as a signed value as the older program did).
std::optional<int> parseInteger(const QString& text);
// "hh:mm:ss", "hh:mm", with or without AM/PM, or the locale's format.
QTime parseTime(const QString& text);
// Hexadecimal digits in pairs; anything else gives nothing.
std::optional<QByteArray> parseHex(const QString& text);
// A value is one line: everything from the first line break on is dropped.
QString firstLine(const QString& value);

} // namespace inisyntax
