#include "config/IniFile.h"
#include "config/SettingsCatalogue.h"
#include "config/SettingsForm.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(SettingsForm, OkWritesWhatLoadReadsAndAnUnsettableBaudRateFallsBack)
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    settings::createMissingKeys(ini);
    ini.writeString(QStringLiteral("Commands"), QStringLiteral("sTransmitGain"), QStringLiteral("at+vgt=140"));
    ini.writeString(QStringLiteral("Commands"), QStringLiteral("sReceiveGain"), QStringLiteral("at+vgr=x"));
    ini.writeString(QStringLiteral("Commands"), QStringLiteral("sFCallerID"), QStringLiteral("at+vcid=1"));
    ini.writeInteger(QStringLiteral("PortParams"), QStringLiteral("Baudrate"), 9600);

    SettingsForm form = SettingsForm::load(ini);
    EXPECT_TRUE(form.modemDefined);
    EXPECT_EQ(form.playGain, 140);
    EXPECT_EQ(form.recordGain, 128) << "an unreadable gain";
    ASSERT_EQ(form.unreadableGains.size(), 1u) << "reported, not passed over";
    EXPECT_EQ(form.unreadableGains[0].message, "'x' is not a valid integer value");
    EXPECT_EQ(form.unreadableGains[0].line, "RecGainTr.Position := StrToInt(k2);");
    EXPECT_EQ(form.baudrate, 115200);
    EXPECT_TRUE(form.weakRemoteCode()) << "the default 00";
    EXPECT_FALSE(settings::exists(ini, keys::RemoteCode)) << "written only by the first Ok";

    form.amRings = 6;
    form.remoteCode = QStringLiteral("4711");
    form.silence = true;
    form.discTime = 15;
    form.playGain = 100;
    form.extPlayer = true;
    form.player = QStringLiteral("/usr/bin/mpv");
    form.fontName = QStringLiteral("DejaVu Sans"); // not chosen: not written
    form.smtpServer = QStringLiteral(" mail.example.org ");
    form.smtpPort = 465;
    QString error;
    ASSERT_TRUE(form.save(ini, &error)) << qPrintable(error);

    const SettingsForm again = SettingsForm::load(IniFile(ini.fileName()));
    EXPECT_EQ(again.amRings, 6);
    EXPECT_EQ(again.remoteCode, "4711");
    EXPECT_FALSE(again.weakRemoteCode());
    EXPECT_TRUE(again.silence);
    EXPECT_EQ(again.discTime, 15);
    EXPECT_EQ(again.player, "/usr/bin/mpv");
    EXPECT_NE(again.fontName, "DejaVu Sans");
    EXPECT_EQ(again.smtpServer, "mail.example.org");
    EXPECT_EQ(again.smtpPort, 465);
    EXPECT_EQ(ini.readString(QStringLiteral("Commands"), QStringLiteral("sTransmitGain"), QString()), "at+vgt=100");
    EXPECT_EQ(ini.readInteger(QStringLiteral("PortParams"), QStringLiteral("Baudrate"), 0), 115200);
}

TEST(SettingsForm, AFailedWriteIsReported)
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    settings::createMissingKeys(ini);
    SettingsForm form = SettingsForm::load(ini);
    // A folder no one can create, even root: the write cannot happen.
    IniFile broken(QStringLiteral("/proc/velmora-no-such-folder/vlm.ini"));
    QString error;
    EXPECT_FALSE(form.save(broken, &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(SettingsForm, GainTicksFollowTheRange)
{
    EXPECT_EQ(SettingsForm::tickStep(0, 15), 1);
    EXPECT_EQ(SettingsForm::tickStep(0, 31), 2);
    EXPECT_EQ(SettingsForm::tickStep(0, 47), 3);
    EXPECT_EQ(SettingsForm::tickStep(0, 127), 4);
    EXPECT_EQ(SettingsForm::tickStep(0, 255), 8);
    EXPECT_EQ(SettingsForm::tickStep(0, 1000, 8), 8) << "a larger range keeps the step";
    bool readable = true;
    EXPECT_EQ(SettingsForm::gainOfCommand(QStringLiteral("140"), &readable), 140);
    EXPECT_TRUE(readable);
    SettingsForm::gainOfCommand(QStringLiteral("at+vgt=abc"), &readable);
    EXPECT_FALSE(readable);
}

} // namespace
