#include "PtyPair.h"
#include "platform/SerialPortEnumerator.h"

#include <gtest/gtest.h>

TEST(SerialPortEnumerator, PortNumberMapsToTheNamedDeviceOrTheNthPort)
{
    const QList<SerialPortInfo> ports{{1, QStringLiteral("/dev/ttyACM0"), QStringLiteral("USB modem")},
                                      {2, QStringLiteral("/dev/ttyS0"), QString()}};
    EXPECT_EQ(devicePathForPort(2, QString(), ports), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(devicePathForPort(1, QString(), ports), QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(devicePathForPort(3, QString(), ports), QString());
    EXPECT_EQ(devicePathForPort(0, QString(), ports), QString());
    EXPECT_EQ(devicePathForPort(3, QStringLiteral(" /dev/pts/7 "), ports), QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(devicePathForPort(1, QStringLiteral("/dev/ttyUSB4"), {}), QStringLiteral("/dev/ttyUSB4"));
}

TEST(SerialPortEnumerator, OrdersUsbModemsFirstAndByNumber)
{
    EXPECT_TRUE(serialDeviceLess(QStringLiteral("ttyACM1"), QStringLiteral("ttyUSB0")));
    EXPECT_TRUE(serialDeviceLess(QStringLiteral("ttyUSB9"), QStringLiteral("ttyS0")));
    EXPECT_TRUE(serialDeviceLess(QStringLiteral("ttyS2"), QStringLiteral("ttyS10")));
    EXPECT_FALSE(serialDeviceLess(QStringLiteral("ttyS10"), QStringLiteral("ttyS2")));
    EXPECT_FALSE(isEnumeratedSerialName(QStringLiteral("ttyAMA0x")));
    EXPECT_FALSE(isEnumeratedSerialName(QStringLiteral("tty1")));
    EXPECT_TRUE(isEnumeratedSerialName(QStringLiteral("ttyACM0")));
}

TEST(SerialPortEnumerator, ListsGivenPseudoTerminalsAfterTheMachinesPorts)
{
    PtyPair pty;
    const QList<SerialPortInfo> ports =
        enumerateSerialPorts({pty.slavePath(), QStringLiteral("/dev/velmora-no-such-device")});
    ASSERT_FALSE(ports.isEmpty());
    const SerialPortInfo& last = ports.last();
    EXPECT_EQ(last.path, pty.slavePath());
    EXPECT_EQ(last.number, ports.size());
    for (int i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].number, i + 1);
        EXPECT_NE(ports[i].path, QStringLiteral("/dev/velmora-no-such-device"));
    }
}
