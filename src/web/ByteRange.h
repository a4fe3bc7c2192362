#pragma once

#include <QByteArray>

// A Range header over a body of `size` bytes. Only one range is served: a
// header asking for several, or one this cannot read, gets the whole body
// (as HTTP allows).
struct ByteRange
{
    enum class Kind { Whole, Part, Unsatisfiable };
    Kind kind = Kind::Whole;
    qint64 first = 0;
    qint64 last = -1; // inclusive

    static ByteRange parse(const QByteArray& header, qint64 size);
    qint64 length() const { return last - first + 1; }
};
