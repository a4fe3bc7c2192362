// The simulator's AT command interpreter and how its profiles differ.
#include "SimSession.h"

#include <gtest/gtest.h>

namespace {

struct Exchange
{
    const char* command;
    const char* reply; // exact bytes expected, echo off
};

void expectReplies(const QString& profile, std::initializer_list<Exchange> exchanges)
{
    SimSession s(simOptions(profile));
    ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
    for (const Exchange& e : exchanges) {
        s.talk.clear();
        EXPECT_EQ(s.talk.command(e.command).toStdString(), std::string(e.reply))
            << profile.toStdString() << ": " << e.command;
    }
}

} // namespace

TEST(ModemSimCommands, GenericFollowsTheStandard)
{
    expectReplies(QStringLiteral("generic"),
                  {{"AT+VSM=?", "\r\nERROR\r\n"}, // voice commands need voice mode
                   {"AT+FCLASS=?", "\r\n0,1,2,8\r\n\r\nOK\r\n"},
                   {"AT+FCLASS=8", "\r\nOK\r\n"},
                   {"AT+FCLASS?", "\r\n8\r\n\r\nOK\r\n"},
                   {"AT+VRX", "\r\nERROR\r\n"}, // on hook
                   {"AT+VGR=?", "\r\n(0,128-255)\r\n\r\nOK\r\n"},
                   {"AT+VGR=0", "\r\nOK\r\n"},
                   {"AT+VGR=100", "\r\nERROR\r\n"},
                   {"AT+VSM=131,8000", "\r\nOK\r\n"},
                   {"AT+VSM?", "\r\n131,8000,0,0\r\n\r\nOK\r\n"},
                   {"AT+VSM=131,11025", "\r\nERROR\r\n"},
                   {"AT+VSM=99", "\r\nERROR\r\n"},
                   {"AT+VLS=9", "\r\nERROR\r\n"},
                   {"at+vtd=10;+vit=0", "\r\nOK\r\n"},
                   {"AT+VIT?", "\r\n0\r\n\r\nOK\r\n"},
                   {"AT+VTR", "\r\nERROR\r\n"},
                   {"AT&K3", "\r\nERROR\r\n"},
                   {"ATI11", "\r\nERROR\r\n"},
                   {"ATI4", "\r\nGeneric V.253 Voice Modem\r\n\r\nOK\r\n"},
                   {"ATDT", "\r\nOK\r\n"},
                   {"AT+VLS?", "\r\n1\r\n\r\nOK\r\n"}, // the dial took the line
                   {"ATH", "\r\nOK\r\n"},
                   {"AT+VLS?", "\r\n0\r\n\r\nOK\r\n"},
                   {"ATZ", "\r\nOK\r\n"},
                   {"ATE0", "ATE0\r\r\nOK\r\n"}, // the reset turned echo back on
                   {"AT+FCLASS?", "\r\n0\r\n\r\nOK\r\n"}});
}

TEST(ModemSimCommands, EveryProfileAnswersTheIdentityQueries)
{
    for (const char* profile : {"generic", "conexant", "usr", "old-serial"}) {
        SimSession s(simOptions(QString::fromLatin1(profile)));
        ASSERT_TRUE(s.start()) << qPrintable(s.sim.error());
        for (int i = 0; i <= 10; ++i)
            EXPECT_TRUE(s.talk.command("ATI" + QByteArray::number(i)).endsWith("\r\nOK\r\n")) << profile << " ATI" << i;
        // discovery asks +GMM?, then +FMM?, then ATI4: one of them answers
        const bool named = s.talk.command("AT+GMM?").endsWith("OK\r\n") || s.talk.command("AT+FMM?").endsWith("OK\r\n");
        EXPECT_TRUE(named) << profile;
    }
}

TEST(ModemSimCommands, FamiliesDifferAsRealModemsDo)
{
    expectReplies(QStringLiteral("conexant"),
                  {{"AT+GMM?", "\r\n+GMM: V90/V92 USB Voice Modem\r\n\r\nOK\r\n"},
                   {"AT+FCLASS=2", "\r\nERROR\r\n"},
                   {"AT+FCLASS=8", "\r\nOK\r\n"},
                   {"AT+VSM=?", "\r\n128,\"8-BIT LINEAR\",(7200,8000,11025)\r\n129,\"16-BIT LINEAR\",(7200,8000,11025)"
                                "\r\n130,\"8-BIT ALAW\",(8000)\r\n131,\"8-BIT ULAW\",(8000)"
                                "\r\n132,\"IMA ADPCM\",(7200,8000,11025)\r\n\r\nOK\r\n"},
                   {"AT+FLO=1", "\r\nERROR\r\n"},
                   {"AT+IFC=1", "\r\nOK\r\n"},
                   {"AT+VPR=0", "\r\nERROR\r\n"}});
    expectReplies(QStringLiteral("usr"),
                  {{"AT+FCLASS=8", "\r\nOK\r\n"},
                   {"AT+VSM=?", "\r\n+vsm: 0,\"signed pcm\",8,0,8000,0,0\r\n+vsm: 1,\"unsigned pcm\",8,0,8000,0,0"
                                "\r\n+vsm: 4,\"ulaw\",8,0,8000,0,0\r\n+vsm: 129,\"ima adpcm\",4,0,8000,0,00\r\n"
                                "\r\n\r\nOK\r\n"},
                   {"AT+VGR=?", "\r\n(122-134)\r\n\r\n\r\nOK\r\n"},
                   {"AT+VGR=130", "\r\nOK\r\n"},
                   {"AT+VGR=0", "\r\nERROR\r\n"},
                   {"AT+VRID=0", "\r\nERROR\r\n"},
                   {"AT+VLS=1", "\r\nOK\r\n\x10H"}});
    expectReplies(QStringLiteral("old-serial"),
                  {{"AT+GMM?", "\r\nERROR\r\n"},
                   {"AT+FMM?", "\r\nSerial Voice Modem\r\n\r\nOK\r\n"},
                   {"AT+FCLASS=8", "\r\nOK\r\n"},
                   {"AT+VSM?", "\r\n128,7200,0,0\r\n\r\nOK\r\n"}});
}

TEST(ModemSimCommands, EchoAndResetBehaveLikeAModem)
{
    SimSession s(simOptions(QStringLiteral("generic")));
    ASSERT_TRUE(s.sim.start()) << qPrintable(s.sim.error());
    s.port.setDeviceName(s.sim.devicePath());
    s.port.setOpen(true);
    EXPECT_EQ(s.talk.command("AT"), QByteArray("AT\r\r\nOK\r\n"));
    EXPECT_EQ(s.talk.command("ATE0"), QByteArray("ATE0\r\r\nOK\r\n"));
    EXPECT_EQ(s.talk.command("AT+VCID=1"), QByteArray("\r\nOK\r\n"));
    s.port.write("hello\r"); // not a command: ignored, no answer
    EXPECT_EQ(s.talk.command("ATZ"), QByteArray("\r\nOK\r\n"));
    EXPECT_EQ(s.talk.command("AT+VCID?"), QByteArray("AT+VCID?\r\r\n0\r\n\r\nOK\r\n"))
        << "a reset restores echo and forgets caller ID";
}
