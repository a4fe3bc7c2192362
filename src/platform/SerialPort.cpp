#include "SerialPort.h"

#include <QMetaObject>
#include <algorithm>

SerialPort::SerialPort(QObject* parent) : QObject(parent) {}

SerialPort::~SerialPort() = default;

void SerialPort::setDtr(bool on)
{
    m_dtr = on;
    if (isOpen())
        doSetDtr(on);
}

void SerialPort::setOpen(bool open)
{
    if (open == isOpen())
        return;
    if (open) {
        doOpen(); // throws; nothing changes on failure
        m_open = true;
        emitLater(&SerialPort::portOpened);
    } else {
        m_open = false;
        doClose();
        emitLater(&SerialPort::portClosed);
    }
}

void SerialPort::deviceLost()
{
    if (!isOpen())
        return;
    m_open = false;
    doClose();
    emitLater(&SerialPort::portClosed);
}

void SerialPort::announceAvailable()
{
    const qint64 n = doBytesAvailable();
    if (n > 0)
        emit triggerAvail(int(std::min<qint64>(n, INT_MAX)));
}

void SerialPort::emitLater(void (SerialPort::*signal)())
{
    QMetaObject::invokeMethod(this, [this, signal] { emit(this->*signal)(); }, Qt::QueuedConnection);
}

bool SerialPort::getChar(char& c)
{
    return isOpen() && doRead(&c, 1) == 1;
}

qint64 SerialPort::read(char* buffer, qint64 max)
{
    return isOpen() && max > 0 ? std::max<qint64>(0, doRead(buffer, max)) : 0;
}

qint64 SerialPort::bytesAvailable() const
{
    return isOpen() ? doBytesAvailable() : 0;
}

bool SerialPort::write(const QByteArray& bytes)
{
    return isOpen() && doWrite(bytes);
}

int SerialPort::outBuffFree() const
{
    if (!isOpen())
        return 0;
    return std::max(0, outSize() - doOutputQueued());
}
