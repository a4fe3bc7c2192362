#pragma once

#include <QtGlobal>
#include <functional>

class QIODevice;

// A read window of size() bytes starting at byte start() of a parent stream
// it does not own. Reads never leave the window; whatever the parent fails to
// deliver inside it (a file that shrank, a read error) reads as zero bytes,
// so a caller always gets the count the window promises.
class TdeSubStream
{
public:
    enum class Origin { Beginning, Current, End };
    using OwnerNotify = std::function<void(TdeSubStream*)>;

    // Seeks the parent to start.
    TdeSubStream(QIODevice* parent, qint64 start, qint64 size);
    ~TdeSubStream();
    TdeSubStream(const TdeSubStream&) = delete;
    TdeSubStream& operator=(const TdeSubStream&) = delete;

    // Returns min(count, size() - position()); the window is read from the
    // parent at start() + position(), wherever the parent was left.
    qint64 read(void* buffer, qint64 count);
    // The new position, clamped to 0 ... size().
    qint64 seek(qint64 offset, Origin origin);
    // Raises ESubStreamError "Write past end of sub stream." when the bytes
    // would not fit in the window.
    qint64 write(const void* buffer, qint64 count);

    qint64 start() const { return m_start; }
    qint64 size() const { return m_size; }
    qint64 position() const { return m_position; }

    // Called from the destructor (the reader that opened the window forgets it).
    void setOwnerNotify(OwnerNotify notify) { m_ownerNotify = std::move(notify); }

private:
    bool placeParent();

    QIODevice* m_parent;
    qint64 m_start;
    qint64 m_size;
    qint64 m_position = 0;
    OwnerNotify m_ownerNotify;
};
