#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <stdexcept>

// A failure to open a serial port. The message names the device and, where
// it can, the likely cause in words a user can act on.
class SerialPortError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class SerialParity { None, Odd, Even, Mark, Space };
enum class SerialSwFlow { None, Receive, Transmit, Both };

struct SerialHwFlowOptions
{
    bool useDTR = false;
    bool useRTS = false;
    bool requireDSR = false;
    bool requireCTS = false;
    bool operator==(const SerialHwFlowOptions&) const = default;
};

// The serial port the modem engine talks through.
//
// Properties are plain values read by the back end when it opens the port
// (and, where the back end can, applied at once while open). The three
// notifications are Qt signals delivered from the owning thread's event loop,
// so a caller that waits by processing events sees them.
//
// Thread rule: write() and outBuffFree() may be called from one other thread
// (the transmit worker) while the owning thread uses the port; everything
// else belongs to the owning thread.
class SerialPort : public QObject
{
    Q_OBJECT
public:
    explicit SerialPort(QObject* parent = nullptr);
    ~SerialPort() override;

    int comNumber() const { return m_comNumber; }
    void setComNumber(int n) { m_comNumber = n; }
    // The device this port opens (for example /dev/ttyACM0). When empty, the
    // back end derives it from comNumber().
    QString deviceName() const { return m_deviceName; }
    void setDeviceName(const QString& path) { m_deviceName = path; }
    // The port as messages name it: the device it opens when one is named
    // (the number then means nothing), else the number.
    QString portText() const { return m_deviceName.isEmpty() ? QString::number(m_comNumber) : m_deviceName; }
    int baud() const { return m_baud; }
    void setBaud(int baud) { m_baud = baud; }
    int dataBits() const { return m_dataBits; }
    void setDataBits(int bits) { m_dataBits = bits; }
    int stopBits() const { return m_stopBits; }
    void setStopBits(int bits) { m_stopBits = bits; }
    SerialParity parity() const { return m_parity; }
    void setParity(SerialParity parity) { m_parity = parity; }
    int inSize() const { return m_inSize; }
    void setInSize(int bytes) { m_inSize = bytes; }
    int outSize() const { return m_outSize.load(); }
    void setOutSize(int bytes) { m_outSize = bytes; }
    SerialHwFlowOptions hwFlowOptions() const { return m_hwFlow; }
    void setHwFlowOptions(SerialHwFlowOptions options) { m_hwFlow = options; }
    SerialSwFlow swFlowOptions() const { return m_swFlow; }
    void setSwFlowOptions(SerialSwFlow flow) { m_swFlow = flow; }
    bool dtr() const { return m_dtr; }
    void setDtr(bool on);
    int bufferFull() const { return m_bufferFull; }
    void setBufferFull(int bytes) { m_bufferFull = bytes; }
    int bufferResume() const { return m_bufferResume; }
    void setBufferResume(int bytes) { m_bufferResume = bytes; }
    int commNotificationLevel() const { return m_notificationLevel; }
    void setCommNotificationLevel(int level) { m_notificationLevel = level; }
    bool autoOpen() const { return m_autoOpen; }
    void setAutoOpen(bool on) { m_autoOpen = on; }

    // True while the device is open (from a successful open to the close).
    bool isOpen() const { return m_open.load(); }
    // true opens the port (throws SerialPortError when it cannot be opened;
    // portOpened() follows from the event loop), false closes it
    // (portClosed() follows). Setting the current value does nothing.
    void setOpen(bool open);

    // Takes one received byte; false when none is waiting.
    bool getChar(char& c);
    // Takes up to max received bytes; returns how many.
    qint64 read(char* buffer, qint64 max);
    qint64 bytesAvailable() const;
    // Queues bytes for sending (no terminator added). False when the port is
    // closed or the device refused them.
    bool write(const QByteArray& bytes);
    // Free room in the output buffer of outSize() bytes: what the device has
    // not yet sent counts as used, so a writer that waits for room is paced
    // by the line.
    int outBuffFree() const;

signals:
    void portOpened();
    void portClosed();
    // Received bytes are waiting (count = bytesAvailable() at the time).
    void triggerAvail(int count);

protected:
    // Back-end hooks. doOpen throws SerialPortError; the base class emits
    // the notifications.
    virtual void doOpen() = 0;
    virtual void doClose() = 0;
    virtual qint64 doRead(char* buffer, qint64 max) = 0;
    virtual qint64 doBytesAvailable() const = 0;
    virtual bool doWrite(const QByteArray& bytes) = 0;
    virtual int doOutputQueued() const = 0;
    virtual void doSetDtr(bool on) {}

    // For back ends: the device went away or failed while open. Closes the
    // port and emits portClosed() from the event loop.
    void deviceLost();
    // For back ends: received bytes are waiting.
    void announceAvailable();

private:
    void emitLater(void (SerialPort::*signal)());

    int m_comNumber = 0;
    QString m_deviceName;
    int m_baud = 115200;
    int m_dataBits = 8;
    int m_stopBits = 1;
    SerialParity m_parity = SerialParity::None;
    int m_inSize = 4096;
    std::atomic<int> m_outSize{4096};
    SerialHwFlowOptions m_hwFlow;
    SerialSwFlow m_swFlow = SerialSwFlow::None;
    bool m_dtr = true;
    int m_bufferFull = 0;
    int m_bufferResume = 0;
    int m_notificationLevel = 10;
    bool m_autoOpen = false;
    std::atomic<bool> m_open{false};
};
