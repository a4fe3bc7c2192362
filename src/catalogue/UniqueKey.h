#pragma once

#include <QDateTime>
#include <QString>

// A new 9-character key from the current date and time and a counter:
// six base-36 digits of the seconds since 2000 and three of a counter that
// starts at a random value in each process. Only 0-9 and A-Z, so a key is a
// valid file name stem on every file system. Tables make a key unique
// within themselves (Table::newUniqueKey).
QString newUniqueKey();
QString uniqueKeyAt(const QDateTime& when, int counter);
