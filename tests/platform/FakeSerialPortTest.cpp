#include "EventWait.h"
#include "platform/FakeSerialPort.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using testsupport::settle;
using testsupport::waitUntil;

namespace {

// Collects each arrival as the engine's arrival handler would: read exactly
// the announced count when the notification comes.
struct ChunkCollector
{
    explicit ChunkCollector(SerialPort& port) : port(port)
    {
        QObject::connect(&port, &SerialPort::triggerAvail, [this](int count) {
            QByteArray chunk(count, '\0');
            chunk.resize(int(this->port.read(chunk.data(), count)));
            chunks << chunk;
        });
    }
    SerialPort& port;
    QList<QByteArray> chunks;
};

} // namespace

TEST(FakeSerialPort, DeliversExactlyTheChunksGiven)
{
    FakeSerialPort port;
    ChunkCollector arrivals(port);
    port.setOpen(true);
    port.deliver("\r\nO");
    port.deliver("K\r\n");
    port.deliver(QByteArray("\x10", 1));
    port.deliver("R");
    ASSERT_TRUE(waitUntil([&] { return arrivals.chunks.size() == 4; }));
    EXPECT_EQ(arrivals.chunks,
              (QList<QByteArray>{"\r\nO", "K\r\n", QByteArray("\x10", 1), "R"}));
}

TEST(FakeSerialPort, RepliesToWritesAsScripted)
{
    FakeSerialPort port;
    ChunkCollector arrivals(port);
    port.addReply("AT+VRX", {"\r\nCONNECT\r\n", QByteArray("\x10\x10\x80", 3)}, 1);
    port.addReply("AT", {"\r\nOK\r\n"});
    port.setOpen(true);

    ASSERT_TRUE(port.write("AT+VRX\r"));
    ASSERT_TRUE(waitUntil([&] { return arrivals.chunks.size() == 2; }));
    EXPECT_EQ(arrivals.chunks.at(1), QByteArray("\x10\x10\x80", 3));

    port.write("AT+VRX\r"); // the one-shot rule is spent; the general one answers
    ASSERT_TRUE(waitUntil([&] { return arrivals.chunks.size() == 3; }));
    EXPECT_EQ(arrivals.chunks.at(2), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(port.written(), QByteArray("AT+VRX\rAT+VRX\r"));
}

TEST(FakeSerialPort, ClosedOrVanishedPortReceivesNothing)
{
    FakeSerialPort port;
    ChunkCollector arrivals(port);
    QSignalSpy closed(&port, &SerialPort::portClosed);
    port.setOpenError(QStringLiteral("Cannot open serial port 3: busy"));
    EXPECT_THROW(port.setOpen(true), SerialPortError);
    EXPECT_FALSE(port.isOpen());
    port.setOpen(true); // the error applies to one open only
    EXPECT_EQ(port.openCount(), 1);

    port.deliver("lost");
    port.vanish();
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 1; }));
    settle(20);
    EXPECT_TRUE(arrivals.chunks.isEmpty());
    EXPECT_FALSE(port.write("AT\r"));
    EXPECT_EQ(port.outBuffFree(), 0);
}

TEST(FakeSerialPort, FreeSpaceCountsWhatTheDeviceHasNotSent)
{
    FakeSerialPort port;
    port.setOutSize(2048);
    port.setOpen(true);
    EXPECT_EQ(port.outBuffFree(), 2048);
    port.setOutputQueued(1500);
    EXPECT_EQ(port.outBuffFree(), 548);
    port.setOutputQueued(5000);
    EXPECT_EQ(port.outBuffFree(), 0);
}
