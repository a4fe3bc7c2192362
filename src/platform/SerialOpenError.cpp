#include "SerialOpenError.h"

#include "SerialAccess.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString head(const QString& device)
{
    return QStringLiteral("Cannot open serial port %1: ").arg(device);
}

} // namespace

QString describeSerialBusy(const QString& device)
{
    QStringList holders = deviceHolders(device);
    for (QString& h : holders) { // a process may name itself anything
        h.truncate(16);
        for (QChar& c : h)
            c = c.isPrint() ? c : QLatin1Char('?');
    }
    const QString who = holders.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(holders.join(QStringLiteral(", ")));
    return head(device) + QStringLiteral("the device is in use by another program%1. ").arg(who)
           + busyAdvice(modemManagerRunning(), modemManagerIgnoreRules());
}

QString describeSerialOpenError(const QString& device, int errnum)
{
    switch (errnum) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return head(device)
               + QStringLiteral("the device does not exist. Check that the modem is plugged in and "
                                "switched on, and that the port setting names the right device.");
    case EACCES:
    case EPERM: {
        const QString group = deviceGroup(device);
        const UserGroups user = currentUserGroups();
        return head(device) + QStringLiteral("permission denied. ")
               + permissionAdvice(group, groupMembership(group, user), user.user);
    }
    case EBUSY:
    case EWOULDBLOCK:
        return describeSerialBusy(device);
    case ENOTTY:
    case EINVAL:
        return head(device) + QStringLiteral("it is not a serial device.");
    case EIO:
        return head(device)
               + QStringLiteral("input/output error. The modem may have been unplugged or may have "
                                "stopped answering; plug it in again.");
    default:
        return head(device) + QString::fromLocal8Bit(std::strerror(errnum)) + QLatin1Char('.');
    }
}

QString serialAccessProblem(const QString& device)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return describeSerialOpenError(device, errno);
    QString problem;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        problem = errno == EWOULDBLOCK ? describeSerialBusy(device) : describeSerialOpenError(device, errno);
    else if (!::isatty(fd))
        problem = describeSerialOpenError(device, ENOTTY);
    ::close(fd);
    return problem;
}
