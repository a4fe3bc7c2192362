#include "PtyPair.h"

#include <QElapsedTimer>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    termios raw;
    ::cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_path = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    unplug();
}

void PtyPair::send(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (errno == EAGAIN)
            ::usleep(1000);
        else
            throw std::runtime_error("pty write failed");
    }
}

QByteArray PtyPair::receive(int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, std::min<size_t>(sizeof buffer, size_t(count - got.size())));
        if (n > 0)
            got.append(buffer, n);
    }
    return got;
}

QByteArray PtyPair::receiveAvailable()
{
    QByteArray got;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(m_master, buffer, sizeof buffer)) > 0)
        got.append(buffer, n);
    return got;
}

void PtyPair::unplug()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}
