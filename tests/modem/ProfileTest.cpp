#include "EngineFixture.h"

#include "audio/WaveFormat.h"
#include "config/SettingsCatalogue.h"
#include "modem/ModemProfile.h"

namespace {

using Engine = TQVModem253;

TEST(ModemProfile, MissingKeysGiveDefaultsAndPresentEmptyKeysStayEmpty)
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    ini.writeString(QStringLiteral("Commands"), QStringLiteral("sFCallerID"), QString());
    ini.writeString(QStringLiteral("commands"), QStringLiteral("SVOICECOMPRESSION"), QStringLiteral("at+vsm=129,8000"));
    ini.writeString(QStringLiteral("Commands"), QStringLiteral("vls_3"), QStringLiteral("at+vls=3"));
    ini.writeBool(QStringLiteral("Modem"), QStringLiteral("Voicefeatures"), true); // as the probe spells it

    ModemProfile current;
    current.baudRate = 57600;
    const ModemProfile p = readModemProfile(ini, current);
    EXPECT_EQ(p.baudRate, 57600);
    EXPECT_TRUE(p.voiceFeatures);
    EXPECT_EQ(p.ringSpan, UnmeasuredRingSpan);
    EXPECT_TRUE(p.command(ModemCommand::sFCallerID).isEmpty());
    EXPECT_EQ(p.command(ModemCommand::sVoiceCompression), QStringLiteral("at+vsm=129,8000"));
    EXPECT_EQ(p.command(ModemCommand::sUCallerID), QStringLiteral("at+vcid=2"));
    EXPECT_EQ(p.command(ModemCommand::sVoiceMode), QStringLiteral("at+fclass=8"));
    EXPECT_EQ(p.lineSources[3], QStringLiteral("at+vls=3"));
    EXPECT_TRUE(p.lineSources[4].isEmpty());
    EXPECT_TRUE(p.modemCompression.isEmpty());
    EXPECT_FALSE(p.escapeStopPairs);
}

TEST(ModemProfile, StoredModemCompressionIsReadAndAnUnreadableOneIgnored)
{
    QTemporaryDir dir;
    IniFile ini(dir.filePath(QStringLiteral("vlm.ini")));
    QByteArray block(512, '\0');
    block[0] = 1;
    block[2] = 1;
    ini.writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), block);
    EXPECT_EQ(readModemProfile(ini, ModemProfile()).modemCompression, block);

    ini.writeString(QStringLiteral("Modem compression"), QStringLiteral("Bin"), QStringLiteral("01ZZ"));
    EXPECT_TRUE(readModemProfile(ini, ModemProfile()).modemCompression.isEmpty());
}

TEST_F(EngineTest, LoadProfileWithoutSettingsKeepsTheProfile)
{
    ini->writeString(QStringLiteral("Commands"), QStringLiteral("sReceiveGain"), QStringLiteral("at+vgr=130"));
    ASSERT_TRUE(engine.LoadProfile());
    engine.setIniFile(nullptr);
    EXPECT_FALSE(engine.LoadProfile());
    EXPECT_EQ(engine.profile().command(ModemCommand::sReceiveGain), QStringLiteral("at+vgr=130"));
}

TEST_F(EngineTest, CallerIdCommandsAreTrimmedAndSkippedWhenBlank)
{
    ini->writeString(QStringLiteral("Commands"), QStringLiteral("sFCallerID"), QStringLiteral("  "));
    ini->writeString(QStringLiteral("Commands"), QStringLiteral("sNoCallerID"), QStringLiteral(" at+vcid=0 "));
    ini->writeString(QStringLiteral("Commands"), QStringLiteral("sReceiveGain"), QString());
    bind();
    EXPECT_EQ(engine.cmdFVcid(), 1);
    EXPECT_TRUE(port.written().isEmpty());

    port.addReply("at+vcid=0", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.cmdNoVcid(), 0);
    EXPECT_EQ(port.written(), QByteArray("at+vcid=0\r"));

    // Other commands go out even when empty: a bare carriage return.
    port.clearWritten();
    port.addReply("\r", {"\r\nOK\r\n"}, 1);
    EXPECT_EQ(engine.cmdVgr(), 0);
    EXPECT_EQ(port.written(), QByteArray("\r"));
}

} // namespace

namespace {

TEST_F(EngineTest, StoredFileCompressionReplacesTheRecordingFormat)
{
    EXPECT_EQ(engine.dteFmt(), TdeWaveFormat()); // PCM 11025 Hz, 8 bits, stereo until one is stored
    ini->writeBinary(QStringLiteral("File compression"), QStringLiteral("Bin"), QByteArray(100, '\x01'));
    ASSERT_TRUE(engine.LoadProfile());
    EXPECT_EQ(engine.dteFmt(), TdeWaveFormat()); // not a whole record: kept

    const TdeWaveFormat stored = pcmFormat(8000, 16, 1);
    ini->writeBinary(QStringLiteral("File compression"), QStringLiteral("Bin"), stored.formatBuffer());
    ASSERT_TRUE(engine.LoadProfile());
    EXPECT_EQ(engine.dteFmt(), stored);
}

} // namespace

namespace {

// A new settings file records in standard 8 kHz PCM, described as the codec
// layer describes it.
TEST(SettingsCatalogueFormats, CreatedFileCompressionIsStandardPcm8k)
{
    EXPECT_EQ(QByteArray::fromHex(keys::FileCompressionBin.createdValue.toLatin1()), standardPcm8k().formatBuffer());
    EXPECT_EQ(keys::FileCompressionDesc.createdValue, standardPcm8k().describe());
}

} // namespace
