#pragma once

#include <QFile>

// A file the user or a table named: opening it never waits on a FIFO or a
// device (whose open can block for ever), and anything but a regular file
// is refused with a message that says so.
class RegularFile : public QFile
{
public:
    using QFile::QFile;
    bool open(OpenMode mode) override;
};
