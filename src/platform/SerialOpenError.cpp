#include "SerialOpenError.h"

#include <cerrno>
#include <cstring>

namespace {

QString head(const QString& device)
{
    return QStringLiteral("Cannot open serial port %1: ").arg(device);
}

} // namespace

QString describeSerialBusy(const QString& device)
{
    return head(device)
           + QStringLiteral("the device is in use by another program. ModemManager often holds USB "
                            "modems: stop it, or add a udev rule with ENV{ID_MM_DEVICE_IGNORE}=\"1\" "
                            "for the modem and plug it in again. Also close any other program that "
                            "uses the modem (a fax or terminal program).");
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
    case EPERM:
        return head(device)
               + QStringLiteral("permission denied. Add your user to the 'dialout' group "
                                "(sudo usermod -aG dialout $USER), then log out and in again.");
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
