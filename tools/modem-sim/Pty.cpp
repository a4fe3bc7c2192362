#include "Pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

Pty::~Pty()
{
    close();
}

bool Pty::open(std::string& error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    m_slavePath = ::ptsname(m_master);
    // Open and close the slave once: raw mode for the program's first open,
    // and from now on the master reports a hang-up while nobody holds it.
    const int slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = "cannot open " + m_slavePath + ": " + std::strerror(errno);
        return false;
    }
    termios tio;
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::close(slave);
    termios mtio;
    ::tcgetattr(m_master, &mtio);
    ::cfmakeraw(&mtio);
    ::tcsetattr(m_master, TCSANOW, &mtio);
    return true;
}

void Pty::close()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

bool Pty::clientPresent() const
{
    pollfd p{m_master, POLLIN, 0};
    return m_master >= 0 && ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

int Pty::clientUnread() const
{
    // Opening our own slave descriptor for a moment does not disturb the
    // program's; the count is of the line's shared input queue.
    const int slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0)
        return 0;
    int n = 0;
    if (::ioctl(slave, FIONREAD, &n) != 0)
        n = 0;
    ::close(slave);
    return n;
}

size_t Pty::read(char* buffer, size_t max)
{
    if (m_master < 0 || max == 0)
        return 0;
    const ssize_t n = ::read(m_master, buffer, max);
    return n > 0 ? size_t(n) : 0;
}

size_t Pty::write(const char* data, size_t size)
{
    if (m_master < 0 || size == 0)
        return 0;
    const ssize_t n = ::write(m_master, data, size);
    return n > 0 ? size_t(n) : 0;
}

} // namespace sim
