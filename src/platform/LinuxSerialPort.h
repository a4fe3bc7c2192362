#pragma once

#include "platform/SerialPort.h"

#include <QMutex>
#include <vector>

class QSocketNotifier;

// The serial port on a Linux tty device (termios).
//
// Received bytes are read on the owning thread when a QSocketNotifier says
// the device is readable, kept in an input buffer of inSize() bytes and
// announced by triggerAvail(). While that buffer is full the device is not
// read, so the kernel's buffer fills and RTS/CTS flow control holds the modem.
//
// write() and outBuffFree() may be called from one other thread. Bytes the
// kernel will not take at once wait in a queue of our own that is drained as
// the device accepts them; outBuffFree() counts that queue and the kernel's
// unsent bytes (TIOCOUTQ), so a writer that waits for room is paced by the
// device. A pseudo-terminal reports no unsent bytes to TIOCOUTQ; there the
// pacing starts once the kernel's buffer between the two ends is full.
//
// A device that fails or disappears while open (read end of file, EIO)
// closes the port with portClosed().
class LinuxSerialPort : public SerialPort
{
    Q_OBJECT
public:
    explicit LinuxSerialPort(QObject* parent = nullptr);
    ~LinuxSerialPort() override;

    // The device path the last successful open used.
    QString openedDevice() const { return m_openedDevice; }

protected:
    void doOpen() override;
    void doClose() override;
    qint64 doRead(char* buffer, qint64 max) override;
    qint64 doBytesAvailable() const override;
    bool doWrite(const QByteArray& bytes) override;
    int doOutputQueued() const override;
    void doSetDtr(bool on) override;

private:
    QString resolveDevice() const;
    void startNotifiers(int fd);
    void closeDevice();
    void onReadable();
    void onWritable();
    bool flushPendingLocked() const;
    void armWriteNotifier() const;
    void writeFailed() const;

    int m_fd = -1; // changed only under m_writeMutex
    QString m_openedDevice;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;

    std::vector<char> m_input; // [m_inHead, m_inTail) holds unread bytes
    size_t m_inHead = 0;
    size_t m_inTail = 0;

    mutable QMutex m_writeMutex;
    mutable QByteArray m_pending; // accepted by write(), not yet by the kernel
    mutable bool m_writeBroken = false;
};
