#include "SerialTermios.h"

#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

bool speedConstant(int baud, speed_t& out)
{
    static const struct { int baud; speed_t constant; } table[] = {
        {300, B300},       {1200, B1200},     {2400, B2400},     {4800, B4800},
        {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const auto& row : table)
        if (row.baud == baud) {
            out = row.constant;
            return true;
        }
    return false;
}

tcflag_t sizeFlag(int dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

void applyParity(termios& tio, SerialParity parity)
{
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (parity) {
    case SerialParity::None: break;
    case SerialParity::Odd: tio.c_cflag |= PARENB | PARODD; break;
    case SerialParity::Even: tio.c_cflag |= PARENB; break;
    case SerialParity::Mark: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case SerialParity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
    }
    if (parity != SerialParity::None)
        tio.c_iflag |= INPCK;
}

void applySoftwareFlow(termios& tio, SerialSwFlow flow)
{
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    // Receive flow: we send XOFF when our buffer fills; transmit flow: we
    // obey the XOFF the device sends.
    if (flow == SerialSwFlow::Receive || flow == SerialSwFlow::Both)
        tio.c_iflag |= IXOFF;
    if (flow == SerialSwFlow::Transmit || flow == SerialSwFlow::Both)
        tio.c_iflag |= IXON;
}

} // namespace

SerialLineSettings SerialLineSettings::fromPort(const SerialPort& port)
{
    SerialLineSettings s;
    s.baud = port.baud();
    s.dataBits = port.dataBits();
    s.stopBits = port.stopBits();
    s.parity = port.parity();
    const SerialHwFlowOptions hw = port.hwFlowOptions();
    s.rtsCts = hw.useRTS || hw.requireCTS;
    s.swFlow = port.swFlowOptions();
    return s;
}

QString applySerialLineSettings(int fd, const SerialLineSettings& settings)
{
    speed_t speed;
    if (!speedConstant(settings.baud, speed))
        return QStringLiteral("the baud rate %1 is not supported").arg(settings.baud);
    if (settings.dataBits < 5 || settings.dataBits > 8)
        return QStringLiteral("%1 data bits are not supported").arg(settings.dataBits);

    termios tio;
    if (::tcgetattr(fd, &tio) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    ::cfmakeraw(&tio);
    // CLOCAL: voice modems rarely raise carrier detect, and reads must not
    // hang up on it. HUPCL: dropping DTR on close puts the modem on hook.
    tio.c_cflag |= CREAD | CLOCAL | HUPCL;
    tio.c_cflag &= ~CSIZE;
    tio.c_cflag |= sizeFlag(settings.dataBits);
    if (settings.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    else
        tio.c_cflag &= ~CSTOPB;
    applyParity(tio, settings.parity);
    if (settings.rtsCts)
        tio.c_cflag |= CRTSCTS;
    else
        tio.c_cflag &= ~CRTSCTS;
    applySoftwareFlow(tio, settings.swFlow);
    // One byte wakes a reader; a read that returns 0 therefore means the
    // device hung up, never "nothing yet".
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return {};
}

bool setModemControlLine(int fd, int line, bool on)
{
    return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}
