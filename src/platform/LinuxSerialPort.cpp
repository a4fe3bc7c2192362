#include "LinuxSerialPort.h"

#include "platform/InterruptScope.h"
#include "platform/SerialOpenError.h"
#include "platform/SerialPortEnumerator.h"
#include "platform/SerialTermios.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <QThread>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace {

// A device that takes nothing for this long has stalled; write() then
// refuses more instead of growing without bound.
constexpr qsizetype kMaxPending = 1 << 20;

class FdGuard
{
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

[[noreturn]] void fail(const QString& message)
{
    throw SerialPortError(message.toStdString());
}

} // namespace

LinuxSerialPort::LinuxSerialPort(QObject* parent) : SerialPort(parent) {}

LinuxSerialPort::~LinuxSerialPort()
{
    closeDevice();
}

QString LinuxSerialPort::resolveDevice() const
{
    if (!deviceName().isEmpty())
        return deviceName();
    const QString path = devicePathForPort(comNumber(), QString());
    if (path.isEmpty())
        fail(QStringLiteral("Cannot open serial port %1: there is no such port. Connect the modem, or "
                            "name its device (for example /dev/ttyACM0) in the port settings.")
                 .arg(comNumber()));
    return path;
}

void LinuxSerialPort::doOpen()
{
    const QString path = resolveDevice();
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail(describeSerialOpenError(path, errno));
    FdGuard owned(fd);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        fail(errno == EWOULDBLOCK ? describeSerialBusy(path) : describeSerialOpenError(path, errno));
    if (!::isatty(fd))
        fail(describeSerialOpenError(path, ENOTTY));
    const QString problem = applySerialLineSettings(fd, SerialLineSettings::fromPort(*this));
    if (!problem.isEmpty())
        fail(QStringLiteral("Cannot open serial port %1: %2.").arg(path, problem));
    setModemControlLine(fd, TIOCM_DTR, dtr()); // a pseudo-terminal has no DTR: fine
    setModemControlLine(fd, TIOCM_RTS, true);
    ::tcflush(fd, TCIOFLUSH); // whatever the modem said before we came is stale

    m_input.assign(size_t(std::max(inSize(), 256)), 0);
    m_inHead = m_inTail = 0;
    {
        QMutexLocker lock(&m_writeMutex);
        m_fd = owned.release();
        InterruptScope::setPortToRelease(m_fd);
        m_pending.clear();
        m_writeBroken = false;
    }
    m_openedDevice = path;
    startNotifiers(m_fd);
}

void LinuxSerialPort::startNotifiers(int fd)
{
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &LinuxSerialPort::onReadable);
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &LinuxSerialPort::onWritable);
}

void LinuxSerialPort::doClose()
{
    closeDevice();
}

void LinuxSerialPort::closeDevice()
{
    // Notifiers may be closing the port from their own activation.
    for (QSocketNotifier** n : {&m_readNotifier, &m_writeNotifier}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
    QMutexLocker lock(&m_writeMutex);
    if (m_fd >= 0) {
        InterruptScope::setPortToRelease(-1);
        ::close(m_fd);
    }
    m_fd = -1;
    m_pending.clear();
    m_inHead = m_inTail = 0;
}

void LinuxSerialPort::onReadable()
{
    if (m_fd < 0)
        return;
    if (m_inHead > 0 && m_inTail == m_input.size()) {
        std::memmove(m_input.data(), m_input.data() + m_inHead, m_inTail - m_inHead);
        m_inTail -= m_inHead;
        m_inHead = 0;
    }
    if (m_inTail == m_input.size()) {
        m_readNotifier->setEnabled(false); // resumed by doRead
        return;
    }
    const ssize_t n = ::read(m_fd, m_input.data() + m_inTail, m_input.size() - m_inTail);
    if (n > 0) {
        m_inTail += size_t(n);
        announceAvailable();
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    deviceLost(); // end of file (hang-up) or a device error: the modem is gone
}

qint64 LinuxSerialPort::doRead(char* buffer, qint64 max)
{
    const size_t n = std::min(size_t(max), m_inTail - m_inHead);
    std::memcpy(buffer, m_input.data() + m_inHead, n);
    m_inHead += n;
    if (m_inHead == m_inTail)
        m_inHead = m_inTail = 0;
    if (n > 0 && m_readNotifier && !m_readNotifier->isEnabled())
        m_readNotifier->setEnabled(true);
    return qint64(n);
}

qint64 LinuxSerialPort::doBytesAvailable() const
{
    return qint64(m_inTail - m_inHead);
}

bool LinuxSerialPort::flushPendingLocked() const
{
    while (!m_pending.isEmpty() && m_fd >= 0 && !m_writeBroken) {
        const ssize_t n = ::write(m_fd, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return true;
        m_writeBroken = true;
        return false;
    }
    return !m_writeBroken;
}

bool LinuxSerialPort::doWrite(const QByteArray& bytes)
{
    bool queued;
    {
        QMutexLocker lock(&m_writeMutex);
        if (m_fd < 0 || m_writeBroken || m_pending.size() + bytes.size() > kMaxPending)
            return false;
        m_pending.append(bytes);
        if (!flushPendingLocked()) {
            m_pending.clear();
            lock.unlock();
            writeFailed();
            return false;
        }
        queued = !m_pending.isEmpty();
    }
    if (queued)
        armWriteNotifier();
    return true;
}

int LinuxSerialPort::doOutputQueued() const
{
    QMutexLocker lock(&m_writeMutex);
    if (m_fd < 0)
        return 0;
    if (!flushPendingLocked()) {
        lock.unlock();
        writeFailed();
        return 0;
    }
    int unsent = 0;
    if (::ioctl(m_fd, TIOCOUTQ, &unsent) != 0)
        unsent = 0;
    return int(std::min<qsizetype>(INT_MAX, unsent + m_pending.size()));
}

void LinuxSerialPort::onWritable()
{
    bool more;
    bool ok;
    {
        QMutexLocker lock(&m_writeMutex);
        ok = flushPendingLocked();
        more = ok && !m_pending.isEmpty();
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(more);
    if (!ok)
        writeFailed();
}

void LinuxSerialPort::armWriteNotifier() const
{
    auto* self = const_cast<LinuxSerialPort*>(this);
    auto arm = [self] {
        if (self->m_writeNotifier)
            self->m_writeNotifier->setEnabled(true);
    };
    if (QThread::currentThread() == thread())
        arm();
    else
        QMetaObject::invokeMethod(self, arm, Qt::QueuedConnection);
}

void LinuxSerialPort::writeFailed() const
{
    auto* self = const_cast<LinuxSerialPort*>(this);
    QMetaObject::invokeMethod(self, [self] { self->deviceLost(); }, Qt::QueuedConnection);
}

void LinuxSerialPort::doSetDtr(bool on)
{
    QMutexLocker lock(&m_writeMutex);
    if (m_fd >= 0)
        setModemControlLine(m_fd, TIOCM_DTR, on);
}
