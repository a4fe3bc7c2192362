#include "SubStream.h"

#include "AudioErrors.h"

#include <QIODevice>
#include <cstring>

TdeSubStream::TdeSubStream(QIODevice* parent, qint64 start, qint64 size)
    : m_parent(parent), m_start(qMax<qint64>(start, 0)), m_size(qMax<qint64>(size, 0))
{
    placeParent();
}

TdeSubStream::~TdeSubStream()
{
    if (m_ownerNotify)
        m_ownerNotify(this);
}

bool TdeSubStream::placeParent()
{
    const qint64 target = m_start + m_position;
    return m_parent->pos() == target || m_parent->seek(target);
}

qint64 TdeSubStream::read(void* buffer, qint64 count)
{
    count = qBound<qint64>(0, count, m_size - m_position);
    if (count == 0)
        return 0;
    qint64 got = placeParent() ? m_parent->read(static_cast<char*>(buffer), count) : 0;
    got = qMax<qint64>(got, 0);
    if (got < count)
        std::memset(static_cast<char*>(buffer) + got, 0, size_t(count - got));
    m_position += count;
    return count;
}

qint64 TdeSubStream::seek(qint64 offset, Origin origin)
{
    const qint64 base = origin == Origin::Beginning ? 0 : origin == Origin::Current ? m_position : m_size;
    m_position = qBound<qint64>(0, base + offset, m_size);
    placeParent();
    return m_position;
}

qint64 TdeSubStream::write(const void* buffer, qint64 count)
{
    if (count <= 0)
        return 0;
    if (m_position + count > m_size)
        throw ESubStreamError(QStringLiteral("Write past end of sub stream."));
    if (!placeParent())
        return 0;
    const qint64 written = qMax<qint64>(m_parent->write(static_cast<const char*>(buffer), count), 0);
    m_position += written;
    return written;
}
