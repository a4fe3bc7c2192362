#include "FakeSerialPort.h"

#include <QMetaObject>
#include <cstring>

FakeSerialPort::FakeSerialPort(QObject* parent) : SerialPort(parent) {}

void FakeSerialPort::deliver(const QByteArray& chunk)
{
    QMetaObject::invokeMethod(this, [this, chunk] { arrive(chunk); }, Qt::QueuedConnection);
}

void FakeSerialPort::arrive(const QByteArray& chunk)
{
    if (!isOpen())
        return; // a closed device receives nothing
    {
        QMutexLocker lock(&m_mutex);
        m_input.append(chunk);
    }
    announceAvailable();
}

void FakeSerialPort::addReply(const QByteArray& trigger, const QList<QByteArray>& chunks, int times)
{
    QMutexLocker lock(&m_mutex);
    m_replies.append({trigger, chunks, times});
}

void FakeSerialPort::setWriteHook(std::function<void(const QByteArray&)> hook)
{
    QMutexLocker lock(&m_mutex);
    m_writeHook = std::move(hook);
}

void FakeSerialPort::clearReplies()
{
    QMutexLocker lock(&m_mutex);
    m_replies.clear();
}

QByteArray FakeSerialPort::written() const
{
    QMutexLocker lock(&m_mutex);
    return m_written;
}

void FakeSerialPort::clearWritten()
{
    QMutexLocker lock(&m_mutex);
    m_written.clear();
}

void FakeSerialPort::doOpen()
{
    ++m_openAttempts;
    if (!m_openError.isEmpty()) {
        const QString message = m_openError;
        if (!m_openErrorSticky)
            m_openError.clear();
        throw SerialPortError(message.toStdString());
    }
    QMutexLocker lock(&m_mutex);
    m_input.clear();
    ++m_openCount;
}

void FakeSerialPort::doClose()
{
    QMutexLocker lock(&m_mutex);
    m_input.clear();
}

qint64 FakeSerialPort::doRead(char* buffer, qint64 max)
{
    QMutexLocker lock(&m_mutex);
    const qint64 n = std::min<qint64>(max, m_input.size());
    std::memcpy(buffer, m_input.constData(), size_t(n));
    m_input.remove(0, n);
    return n;
}

qint64 FakeSerialPort::doBytesAvailable() const
{
    QMutexLocker lock(&m_mutex);
    return m_input.size();
}

bool FakeSerialPort::doWrite(const QByteArray& bytes)
{
    QList<QByteArray> toDeliver;
    std::function<void(const QByteArray&)> hook;
    {
        QMutexLocker lock(&m_mutex);
        m_written.append(bytes);
        for (Reply& reply : m_replies) {
            if (reply.timesLeft == 0 || !bytes.contains(reply.trigger))
                continue;
            toDeliver = reply.chunks;
            if (reply.timesLeft > 0)
                --reply.timesLeft;
            break;
        }
        hook = m_writeHook;
    }
    for (const QByteArray& chunk : toDeliver)
        deliver(chunk);
    if (hook)
        hook(bytes);
    return true;
}
