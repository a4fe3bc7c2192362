// The serial layer against the voice modem simulator on a pseudo-terminal.
#include "EventWait.h"
#include "ModemSim.h"
#include "PortTalk.h"
#include "platform/LinuxSerialPort.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QThread>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

using testsupport::ModemSim;
using testsupport::PortTalk;
using testsupport::waitUntil;

namespace {

void openOn(LinuxSerialPort& port, const ModemSim& sim)
{
    port.setDeviceName(sim.devicePath());
    port.setHwFlowOptions({false, true, false, true});
    port.setOutSize(2048);
    port.setOpen(true);
}

// 8-bit unsigned samples of a sine that passes through 0x10 now and then.
QByteArray sineSamples(int count)
{
    QByteArray samples(count, '\0');
    for (int i = 0; i < count; ++i)
        samples[i] = char(128 + int(std::lround(120 * std::sin(i * 2 * M_PI * 440 / 8000))));
    return samples;
}

QByteArray shielded(const QByteArray& data)
{
    QByteArray out;
    for (char c : data) {
        out.append(c);
        if (c == 0x10)
            out.append(c);
    }
    return out;
}

QByteArray wavData(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const int at = bytes.indexOf("data");
    return at < 0 ? QByteArray() : bytes.mid(at + 8);
}

} // namespace

TEST(LinuxSerialPortWithModem, OpenCommandReplyAndClose)
{
    ModemSim sim;
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    LinuxSerialPort port;
    QSignalSpy opened(&port, &SerialPort::portOpened);
    QSignalSpy closed(&port, &SerialPort::portClosed);
    PortTalk talk(port);
    openOn(port, sim);
    ASSERT_TRUE(waitUntil([&] { return opened.count() == 1; }));
    ASSERT_TRUE(sim.waitForLog(QStringLiteral("host opened the port")));

    EXPECT_EQ(talk.command("ATE0"), QByteArray("ATE0\r\r\nOK\r\n")); // echo was on until now
    EXPECT_EQ(talk.command("AT+GMM?"), QByteArray("\r\nGeneric V.253 Voice Modem\r\n\r\nOK\r\n"));
    EXPECT_EQ(talk.command("AT+NOSUCH"), QByteArray("\r\nERROR\r\n"));

    port.setOpen(false);
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 1; }));
    EXPECT_TRUE(sim.waitForLog(QStringLiteral("host closed the port")));
}

TEST(LinuxSerialPortWithModem, LongWriteIsPacedByTheModem)
{
    ModemSim::Options options;
    options.speed = 4;
    options.capture = true;
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    LinuxSerialPort port;
    PortTalk talk(port);
    openOn(port, sim);
    ASSERT_TRUE(talk.command("ATE0").endsWith("OK\r\n"));
    ASSERT_TRUE(talk.command("AT+FCLASS=8").endsWith("OK\r\n"));
    ASSERT_TRUE(talk.command("AT+VLS=1").endsWith("OK\r\n"));
    ASSERT_TRUE(talk.command("AT+VTX").endsWith("CONNECT\r\n"));

    // Six seconds of audio at 8000 bytes/s, four times faster: at least
    // 1.5 s of playing, far more than the kernel's buffer between the ends.
    const QByteArray samples = sineSamples(48000);
    const QByteArray line = shielded(samples);
    ASSERT_GT(line.size(), samples.size()) << "the test data must contain DLE bytes";
    std::atomic<int> waits{0};
    std::atomic<int> lowestFree{INT_MAX};
    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> abandon{false};
    QThread* worker = QThread::create([&] {
        for (qsizetype at = 0; at < line.size() && !abandon && port.isOpen();) {
            const QByteArray block = line.mid(at, 1024);
            const int free = port.outBuffFree();
            lowestFree = std::min(lowestFree.load(), free);
            if (free > block.size() + 10) {
                port.write(block);
                at += block.size();
            } else {
                ++waits;
                QThread::msleep(10);
            }
        }
        port.write(QByteArray("\x10\x03", 2));
    });
    worker->start();
    const bool written = waitUntil([&] { return worker->isFinished(); }, 20000);
    abandon = true;
    const bool played = written && talk.waitFor("\r\nOK\r\n", 20000);
    const qint64 elapsed = clock.elapsed();
    worker->wait();
    delete worker;
    ASSERT_TRUE(written && played);

    EXPECT_GT(waits.load(), 0) << "the writer never had to wait for room";
    EXPECT_LE(lowestFree.load(), 1034);
    EXPECT_GE(elapsed, 1500 / 2) << "the modem cannot have played 6 s of audio in " << elapsed << " ms";
    ASSERT_TRUE(sim.waitForLog(QStringLiteral("tx end, 48000 bytes")));
    EXPECT_TRUE(wavData(sim.captureDir() + QStringLiteral("/tx-001.wav")) == samples);
}

TEST(LinuxSerialPortWithModem, ModemThatVanishesClosesThePort)
{
    ModemSim sim;
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    LinuxSerialPort port;
    QSignalSpy closed(&port, &SerialPort::portClosed);
    PortTalk talk(port);
    openOn(port, sim);
    ASSERT_TRUE(talk.command("AT").endsWith("OK\r\n"));
    sim.kill();
    ASSERT_TRUE(waitUntil([&] { return closed.count() == 1; }));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write("AT\r"));
    testsupport::settle(100);
    EXPECT_EQ(closed.count(), 1);
}

TEST(LinuxSerialPortWithModem, ChunkedModemArrivesInChunks)
{
    ModemSim::Options options;
    options.chunk = 5;
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    LinuxSerialPort port;
    PortTalk talk(port);
    openOn(port, sim);
    const QByteArray reply = talk.command("ATI3");
    EXPECT_EQ(reply, QByteArray("ATI3\r\r\nVelmora simulated voice modem\r\n\r\nOK\r\n"));
    ASSERT_GE(talk.chunks.size(), reply.size() / 5);
    for (int i = 0; i + 1 < talk.chunks.size(); ++i)
        EXPECT_EQ(talk.chunks[i].size(), 5) << "chunk " << i << ": " << talk.chunks[i].toStdString();
}
