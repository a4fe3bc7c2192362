#include "EngineFixture.h"

#include "modem/HookCommands.h"

#include "linedsp/TQVMdsp.h"

namespace {

using Engine = TQVModem253;

TEST_F(EngineTest, BindingAppliesTheStoredPortParametersAndWaitsForTheOpenNotice)
{
    ini->writeInteger(QStringLiteral("PortParams"), QStringLiteral("Port"), 7);
    ini->writeInteger(QStringLiteral("PortParams"), QStringLiteral("Baudrate"), 57600);
    ini->writeInteger(QStringLiteral("PortParams"), QStringLiteral("Parity"), 2);
    ini->writeInteger(QStringLiteral("Settings"), QStringLiteral("DiscTime"), 12);
    TQVMdsp analyser;
    engine.setDSP(&analyser);
    int opens = 0;
    engine.OnPortOpen = [&](TQVModem253*) { ++opens; };

    EXPECT_TRUE(engine.BindModem());
    EXPECT_TRUE(engine.portIsOpen());
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(port.comNumber(), 7);
    EXPECT_EQ(port.baud(), 57600);
    EXPECT_EQ(port.parity(), SerialParity::Even);
    EXPECT_EQ(port.dataBits(), 8); // missing keys keep the current values
    EXPECT_EQ(analyser.SilenceDim, 60);
    EXPECT_TRUE(analyser.Periodic);
    EXPECT_TRUE(analyser.Cadence);
    EXPECT_FALSE(analyser.Silence);

    // Binding again does not reopen.
    EXPECT_TRUE(engine.BindModem());
    EXPECT_EQ(port.openCount(), 1);
    EXPECT_EQ(opens, 1);
}

TEST_F(EngineTest, OpenFailurePassesToBindersAndIsAResultCodeForModeSwitches)
{
    port.setOpenError(QStringLiteral("Cannot open /dev/ttyACM0: permission denied"));
    EXPECT_THROW(engine.BindModem(), SerialPortError);
    EXPECT_FALSE(engine.portIsOpen());

    port.setOpenError(QStringLiteral("Cannot open /dev/ttyACM0: permission denied"));
    EXPECT_EQ(engine.SetVoiceMode(), 1);
    EXPECT_EQ(engine.GetModemMode(), Engine::ModeData);
    EXPECT_EQ(log.lines, QStringList{QStringLiteral("Cannot open /dev/ttyACM0: permission denied")});
}

TEST_F(EngineTest, ModeSwitchOpensAClosedPortAndFollowsTheModemsAnswer)
{
    port.addReply("at+fclass=8", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.SetVoiceMode(), 0);
    EXPECT_TRUE(engine.portIsOpen());
    EXPECT_EQ(engine.GetModemMode(), Engine::ModeVoice);
    EXPECT_EQ(port.written(), QByteArray("at+fclass=8\r"));

    port.addReply("at+fclass=0", {"\r\nERROR\r\n"}, 1);
    EXPECT_EQ(engine.SetDataMode(), 1);
    EXPECT_EQ(engine.GetModemMode(), Engine::ModeVoice);

    port.addReply("at+fclass=2", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.SetFaxClass2(), 0);
    EXPECT_EQ(engine.GetModemMode(), Engine::ModeFax);

    // Texts other than the four fixed ones leave the mode alone.
    port.addReply("AT+FCLASS=0", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.SetFClass(QStringLiteral("AT+FCLASS=0")), 0);
    EXPECT_EQ(engine.GetModemMode(), Engine::ModeFax);
}

TEST_F(EngineTest, HookCommandsRecordOnlyAcknowledgedStrings)
{
    bind();
    EXPECT_EQ(engine.GetHook(), QStringLiteral("at+vls=0"));
    port.addReply("at+vls=1", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.cmdOffHook(), 0);
    EXPECT_EQ(engine.GetHook(), QStringLiteral("at+vls=1"));
    EXPECT_EQ(engine.lastCommand(), QStringLiteral("at+vls=1"));

    port.addReply("at+vls=0", {"\r\nERROR\r\n"}, 1);
    EXPECT_EQ(engine.cmdOnHook(), 1);
    EXPECT_EQ(engine.GetHook(), QStringLiteral("at+vls=1"));

    // A changed hook string is what GetHook records.
    ini->writeString(QStringLiteral("Commands"), QStringLiteral("sOnHook"), QStringLiteral("at+vls=0;h0"));
    engine.LoadProfile();
    port.addReply("at+vls=0;h0", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.cmdOnHook(), 0);
    EXPECT_EQ(engine.GetHook(), QStringLiteral("at+vls=0;h0"));
}

TEST(HookCommandsTest, WhatACommandLineDoesToTheLine)
{
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"at+vls=1", true},     {"AT+VLS=0", false},        {"at+vls=5", true},      {"at+vls=?", {}},
        {"ATH", false},         {"ath0", false},            {"ATH1", true},          {"ATA", true},
        {"ATDT5551234", true},  {"ATZ", false},             {"AT&F", false},         {"ATE0H0", false},
        {"at+vls=0;h1", true},  {"AT+VTS={A,60}", {}},      {"ATS0=0", {}},          {"ATI3", {}},
        {"at+vls=1;+vls=0", false}, {"hello", {}},          {"AT", {}},
    };
    for (const auto& [command, expected] : cases)
        EXPECT_EQ(lineTakenAfter(QString::fromLatin1(command)), expected) << command;
}

// The line as the modem acknowledged it, from whatever command took or
// freed it; the port closing frees it too.
TEST_F(EngineTest, TheLineIsKnownFromEveryAcknowledgedCommand)
{
    bind();
    EXPECT_FALSE(engine.lineTaken());
    port.addReply("ata", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("ata")), 0);
    EXPECT_TRUE(engine.lineTaken());
    port.addReply("ATH0", {"\r\nERROR\r\n"}, 1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("ATH0")), 1);
    EXPECT_TRUE(engine.lineTaken()) << "a refused command changes nothing";
    port.addReply("at+vls=0", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.SendCommand(QStringLiteral("at+vls=0")), 0);
    EXPECT_FALSE(engine.lineTaken());
    port.addReply("at+vls=1", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.cmdVls(), 0);
    EXPECT_TRUE(engine.lineTaken());
    EXPECT_TRUE(engine.tookLineWithin(1000));
    engine.ReleaseModem();
    EXPECT_FALSE(engine.lineTaken());
}

TEST_F(EngineTest, RefusedReceiveStartMarksTheLineCycleForTheNextInit)
{
    bind();
    port.addReply("at+vrx", {"\r\nERROR\r\n"}, 1);
    EXPECT_EQ(engine.StartVRX(), 1);
    EXPECT_TRUE(ini->readBool(QStringLiteral("Modem"), QStringLiteral("atdt"), false));

    // Once a receive is accepted again, later inits stop cycling the line.
    port.addReply("at+vrx", {"\r\nCONNECT\r\n"}, 1);
    EXPECT_EQ(engine.StartVRX(), 2);
    EXPECT_FALSE(ini->readBool(QStringLiteral("Modem"), QStringLiteral("atdt"), true));
}

TEST_F(EngineTest, ReceiveStartWithClosedPortAlsoMarksTheLineCycle)
{
    EXPECT_EQ(engine.StartVRX(), 1);
    EXPECT_TRUE(port.written().isEmpty());
    EXPECT_TRUE(ini->readBool(QStringLiteral("Modem"), QStringLiteral("atdt"), false));
}

} // namespace
