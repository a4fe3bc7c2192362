#include "ProbeFixture.h"

namespace {

class DiscoveryTest : public ProbeTest
{
protected:
    void scan()
    {
        modems.vModem = &engine;
        modems.setProgress(&view);
        setUpDiscovery(modems);
        modems.FindModems();
    }

    // The discovery's own lines, without the engine's command lines.
    QStringList discoveryLines() const
    {
        QStringList lines;
        for (const QString& line : log.lines)
            if (line.startsWith(QLatin1String("-----")) || line.startsWith(QLatin1String("Opening"))
                || line.startsWith(QLatin1String("Modem Found")) || line.startsWith(QLatin1String("Cannot")))
                lines.append(line);
        return lines;
    }

    TQModems modems;
};

TEST_F(DiscoveryTest, ScansEveryPortAndKeepsThoseThatAnswer)
{
    candidates = {{1, QStringLiteral("/dev/a"), QString()},
                  {2, QStringLiteral("/dev/b"), QString()},
                  {3, QStringLiteral("/dev/c"), QString()},
                  {4, QStringLiteral("/dev/d"), QString()}};
    missing = {QStringLiteral("/dev/a")};
    answering = {QStringLiteral("/dev/c"), QStringLiteral("/dev/d")};
    modem->answer(QStringLiteral("atE0"));
    modem->answer(QStringLiteral("AT+GMM?"), "\r\n+GMM: V90/V92 USB Voice Modem\r\n");
    scan();

    ASSERT_EQ(modems.Count(), 2);
    EXPECT_EQ(modems.entry(0).PortNumber, 3);
    EXPECT_EQ(modems.entry(0).PortName, QStringLiteral("/dev/c"));
    EXPECT_EQ(modems.entry(0).ModelName, QStringLiteral(" V90/V92 USB Voice Modem"));
    EXPECT_EQ(modems.entry(1).PortNumber, 4);
    EXPECT_EQ(modems.entry(1).PortName, QStringLiteral("/dev/d"));
    EXPECT_EQ(discoveryLines(), QStringList({
                                    QStringLiteral("----- finding modems -----"),
                                    QStringLiteral("Opening COM1: Port Unavailable."),
                                    QStringLiteral("Cannot open serial port /dev/a: the device does not exist."),
                                    QStringLiteral("Opening COM2: Successful!"),
                                    QStringLiteral("Opening COM3: Successful!"),
                                    QStringLiteral("Modem Found on COM3:"),
                                    QStringLiteral("Opening COM4: Successful!"),
                                    QStringLiteral("Modem Found on COM4:"),
                                    QStringLiteral("----- finding modems finished -----"),
                                }));
    EXPECT_EQ(modem->commands(), QStringList({QStringLiteral("atE0"), QStringLiteral("AT+GMM?"),
                                              QStringLiteral("atE0"), QStringLiteral("AT+GMM?")}));
    EXPECT_EQ(view.progress, QStringList({QStringLiteral("Finding modems... "), QStringLiteral("25"),
                                          QStringLiteral("50"), QStringLiteral("75"), QStringLiteral("100"),
                                          QStringLiteral("closed")}));
    ASSERT_EQ(modems.unavailablePorts().size(), 1);
    EXPECT_EQ(modems.unavailablePorts()[0].path, QStringLiteral("/dev/a"));
    // The engine's port is left closed on the last modem's device.
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.deviceName(), QStringLiteral("/dev/d"));
    EXPECT_EQ(port.comNumber(), 4);
}

TEST_F(DiscoveryTest, ModelQueriesFallBackInTurn)
{
    candidates = {{1, QStringLiteral("/dev/a"), QString()}};
    answering = {QStringLiteral("/dev/a")};
    modem->answer(QStringLiteral("atE0"));
    modem->answer(QStringLiteral("AT+FMM?")); // answered, but with no text
    modem->answer(QStringLiteral("ATI4"), "\r\nUSB Voice Modem\r\n");
    scan();
    ASSERT_EQ(modems.Count(), 1);
    EXPECT_EQ(modems.entry(0).ModelName, QStringLiteral("USB Voice Modem"));
    EXPECT_EQ(modem->commands(), QStringList({QStringLiteral("atE0"), QStringLiteral("AT+GMM?"),
                                              QStringLiteral("AT+FMM?"), QStringLiteral("ATI4")}));

    modem->reject(QStringLiteral("ATI4"));
    scan();
    ASSERT_EQ(modems.Count(), 1);
    EXPECT_EQ(modems.entry(0).ModelName, QStringLiteral("Unspecified model"));
}

TEST_F(DiscoveryTest, NoPortsOrNoEngineFindNothing)
{
    candidates = {};
    scan();
    EXPECT_EQ(modems.Count(), 0);

    candidates = {{1, QStringLiteral("/dev/a"), QString()}};
    answering = {QStringLiteral("/dev/a")};
    TQModems alone;
    setUpDiscovery(alone);
    alone.FindModems();
    EXPECT_EQ(alone.Count(), 0);
}

TEST(ModelReply, TextOfTheFirstLineAfterItsLabel)
{
    EXPECT_EQ(TQModems::modelFromReply(QStringLiteral("\r\n+GMM: Voice Modem\r\n\r\nOK\r\n")),
              QStringLiteral(" Voice Modem"));
    EXPECT_EQ(TQModems::modelFromReply(QStringLiteral("56K Voice Faxmodem\r\nOK\r\n")),
              QStringLiteral("56K Voice Faxmodem"));
    EXPECT_EQ(TQModems::modelFromReply(QStringLiteral("\r\n\r\nModel: X: Y\r\nOK\r\n")), QStringLiteral(" X: Y"));
    EXPECT_FALSE(TQModems::modelFromReply(QStringLiteral("\r\nOK\r\n")).has_value());
    EXPECT_FALSE(TQModems::modelFromReply(QString()).has_value());
}

} // namespace
