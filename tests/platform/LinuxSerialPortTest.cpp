#include "EventWait.h"
#include "PtyPair.h"
#include "platform/LinuxSerialPort.h"
#include "platform/SerialOpenError.h"

#include <QSignalSpy>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <gtest/gtest.h>

using testsupport::settle;
using testsupport::waitUntil;

namespace {

struct OpenPort
{
    PtyPair pty;
    LinuxSerialPort port;
    QSignalSpy opened{&port, &SerialPort::portOpened};
    QSignalSpy closed{&port, &SerialPort::portClosed};
    QSignalSpy avail{&port, &SerialPort::triggerAvail};

    OpenPort()
    {
        port.setDeviceName(pty.slavePath());
        port.setHwFlowOptions({false, true, false, true});
        port.setOpen(true);
    }

    QByteArray readAll()
    {
        QByteArray bytes(int(port.bytesAvailable()), '\0');
        port.read(bytes.data(), bytes.size());
        return bytes;
    }
};

} // namespace

TEST(LinuxSerialPort, OpensFromTheEventLoopAndTalksBothWays)
{
    PtyPair pty;
    pty.send("stale reply from before\r\n"); // must not reach the new owner
    LinuxSerialPort port;
    QSignalSpy opened(&port, &SerialPort::portOpened);
    QSignalSpy avail(&port, &SerialPort::triggerAvail);
    port.setDeviceName(pty.slavePath());
    port.setOpen(true);
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(opened.count(), 0) << "the notification must come from the event loop";
    ASSERT_TRUE(waitUntil([&] { return opened.count() == 1; }));
    EXPECT_EQ(port.openedDevice(), pty.slavePath());

    port.setDtr(false); // a pseudo-terminal has no DTR line: ignored, not an error
    port.setDtr(true);
    EXPECT_TRUE(port.isOpen());

    ASSERT_TRUE(port.write("AT+FCLASS=8\r"));
    EXPECT_EQ(pty.receive(12), QByteArray("AT+FCLASS=8\r"));

    pty.send("\r\nOK\r\n");
    ASSERT_TRUE(waitUntil([&] { return port.bytesAvailable() == 6; }));
    ASSERT_GE(avail.count(), 1);
    EXPECT_GT(avail.last().at(0).toInt(), 0);
    QByteArray reply;
    char c;
    while (port.getChar(c))
        reply.append(c);
    EXPECT_EQ(reply, QByteArray("\r\nOK\r\n"));
}

TEST(LinuxSerialPort, CloseNotifiesAndRefusesFurtherUse)
{
    OpenPort p;
    ASSERT_TRUE(waitUntil([&] { return p.opened.count() == 1; }));
    p.port.setOpen(false);
    EXPECT_FALSE(p.port.isOpen());
    ASSERT_TRUE(waitUntil([&] { return p.closed.count() == 1; }));
    EXPECT_FALSE(p.port.write("AT\r"));
    EXPECT_EQ(p.port.outBuffFree(), 0);
    char c;
    EXPECT_FALSE(p.port.getChar(c));

    // and it opens again on the same device
    p.port.setOpen(true);
    ASSERT_TRUE(waitUntil([&] { return p.opened.count() == 2; }));
    p.pty.send("RING\r\n");
    ASSERT_TRUE(waitUntil([&] { return p.port.bytesAvailable() == 6; }));
}

TEST(LinuxSerialPort, UnpluggedDeviceClosesThePortOnce)
{
    OpenPort p;
    ASSERT_TRUE(waitUntil([&] { return p.opened.count() == 1; }));
    p.pty.unplug();
    ASSERT_TRUE(waitUntil([&] { return p.closed.count() == 1; }));
    EXPECT_FALSE(p.port.isOpen());
    settle(200); // a hung-up descriptor left in the poll set would fire forever
    EXPECT_EQ(p.closed.count(), 1);
    EXPECT_FALSE(p.port.write("AT\r"));
}

TEST(LinuxSerialPort, OpenFailuresNameTheDeviceAndTheCause)
{
    LinuxSerialPort port;
    QSignalSpy opened(&port, &SerialPort::portOpened);
    port.setDeviceName(QStringLiteral("/dev/ttyACM-velmora-missing"));
    try {
        port.setOpen(true);
        FAIL() << "opening a missing device succeeded";
    } catch (const SerialPortError& e) {
        const QString text = QString::fromStdString(e.what());
        EXPECT_TRUE(text.contains(QStringLiteral("/dev/ttyACM-velmora-missing"))) << e.what();
        EXPECT_TRUE(text.contains(QStringLiteral("does not exist"))) << e.what();
    }
    EXPECT_FALSE(port.isOpen());

    port.setDeviceName(QStringLiteral("/dev/null"));
    EXPECT_THROW(port.setOpen(true), SerialPortError);
    EXPECT_FALSE(port.isOpen());
    settle(50);
    EXPECT_EQ(opened.count(), 0);

    const QString denied = describeSerialOpenError(QStringLiteral("/dev/ttyS0"), EACCES);
    EXPECT_TRUE(denied.contains(QStringLiteral("/dev/ttyS0")));
    EXPECT_TRUE(denied.contains(QStringLiteral("dialout")));
    const QString busy = describeSerialOpenError(QStringLiteral("/dev/ttyACM0"), EBUSY);
    EXPECT_TRUE(busy.contains(QStringLiteral("ModemManager")));
    EXPECT_TRUE(busy.contains(QStringLiteral("ENV{ID_MM_DEVICE_IGNORE}=\"1\"")));
}

TEST(LinuxSerialPort, SecondOwnerOfADeviceIsToldWhoHoldsIt)
{
    OpenPort first;
    LinuxSerialPort second;
    second.setDeviceName(first.pty.slavePath());
    try {
        second.setOpen(true);
        FAIL() << "two ports opened the same device";
    } catch (const SerialPortError& e) {
        EXPECT_TRUE(QString::fromStdString(e.what()).contains(QStringLiteral("in use by another program")));
    }
    EXPECT_FALSE(second.isOpen());
    EXPECT_TRUE(first.port.isOpen());
}

TEST(LinuxSerialPort, FullInputBufferWaitsForTheReaderWithoutLosingBytes)
{
    PtyPair pty;
    LinuxSerialPort port;
    port.setInSize(256);
    port.setDeviceName(pty.slavePath());
    port.setOpen(true);
    QByteArray sent;
    for (int i = 0; i < 1000; ++i)
        sent.append(char(i * 7));
    pty.send(sent);
    ASSERT_TRUE(waitUntil([&] { return port.bytesAvailable() == 256; }));
    settle(50);
    EXPECT_EQ(port.bytesAvailable(), 256) << "the buffer grew past its size";

    QByteArray got;
    ASSERT_TRUE(waitUntil([&] {
        char chunk[100];
        got.append(chunk, int(port.read(chunk, sizeof chunk)));
        return got.size() == sent.size();
    }));
    EXPECT_EQ(got, sent);
}

TEST(LinuxSerialPort, FreeSpaceShrinksWhileTheDeviceDoesNotTake)
{
    OpenPort p;
    p.port.setOutSize(2048);
    EXPECT_EQ(p.port.outBuffFree(), 2048);
    // The far end reads nothing: a writer that waits for room must stop.
    QByteArray sent;
    int blocks = 0;
    while (p.port.outBuffFree() > 1024 + 10 && blocks < 1000) {
        const QByteArray block(1024, char('a' + blocks % 26));
        ASSERT_TRUE(p.port.write(block));
        sent += block;
        ++blocks;
    }
    EXPECT_LT(blocks, 1000) << "free space never shrank";
    EXPECT_LE(p.port.outBuffFree(), 1034);

    // The device takes everything: what waited in the port follows from the
    // event loop, room comes back and nothing was lost.
    QByteArray got;
    EXPECT_TRUE(waitUntil([&] {
        got += p.pty.receiveAvailable();
        return got.size() == sent.size();
    }));
    EXPECT_TRUE(got == sent);
    EXPECT_EQ(p.port.outBuffFree(), 2048);
}

TEST(LinuxSerialPort, WorkerThreadWritesWhileTheMainThreadReads)
{
    OpenPort p;
    p.port.setOutSize(2048);
    QByteArray data;
    for (int i = 0; i < 60000; ++i)
        data.append(char(i % 251));
    std::atomic<bool> done{false};
    std::atomic<bool> abandon{false};
    QThread* worker = QThread::create([&] {
        for (qsizetype at = 0; at < data.size() && !abandon;) {
            const QByteArray block = data.mid(at, 1024);
            if (p.port.outBuffFree() > block.size() + 10) {
                p.port.write(block);
                at += block.size();
            } else {
                QThread::msleep(2);
            }
        }
        done = true;
    });
    worker->start();
    QByteArray echoed;
    QByteArray got;
    int rounds = 0;
    while ((got.size() < data.size() || !done) && ++rounds < 3000) {
        got += p.pty.receiveAvailable();
        p.pty.send("x");
        QCoreApplication::processEvents();
        echoed += p.readAll();
        QThread::msleep(1);
    }
    abandon = true;
    worker->wait();
    delete worker;
    EXPECT_TRUE(got == data) << "got " << got.size() << " of " << data.size();
    EXPECT_TRUE(waitUntil([&] {
        echoed += p.readAll();
        return echoed.size() == rounds;
    })) << echoed.size() << " of " << rounds;
}
