#include "TestSupport.h"
#include "ProbeFixture.h"

#include "audio/ModemFormats.h"
#include "modem/CompressionRecord.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString compressionsFile(const IniFile& ini)
{
    return compressionsFilePath(ini.fileName());
}

TEST_F(ProbeTest, WholeProbeWritesTheProfileTheFileAndTheEngine)
{
    scriptVoiceModem();
    ini->writeInteger(QStringLiteral("Modem"), QStringLiteral("ringSpan"), 7000);
    ini->writeBool(QStringLiteral("Modem"), QStringLiteral("atdt"), true);
    ini->writeString(QStringLiteral("Commands"), QStringLiteral("sOld"), QStringLiteral("at+old"));
    ini->writeString(QStringLiteral("Modem compressions"), QStringLiteral("9"), QStringLiteral("old"));
    ini->writeString(QStringLiteral("ModemInitString"), QStringLiteral("st1"), QStringLiteral("AT&F"));
    probe();

    EXPECT_EQ(view.list, QStringList({QStringLiteral(" Test Voice Modem")}));
    EXPECT_TRUE(view.messages.isEmpty()) << qPrintable(view.messages.join(QLatin1Char('|')));
    EXPECT_TRUE(view.reports.isEmpty());
    EXPECT_EQ(view.closed, 1);
    EXPECT_EQ(view.gaugeShown, QList<bool>({true, false}));
    ASSERT_EQ(view.gauge.size(), 31);
    for (int i = 0; i <= 30; ++i)
        EXPECT_EQ(view.gauge[i], qRound(i * 100.0 / 30)) << i;
    EXPECT_EQ(view.busy, QList<bool>({true, false}));
    EXPECT_FALSE(port.isOpen());

    // What the modem was asked, in order.
    const QStringList expected = QStringList{
        "at", "at+fclass=8", "at+vls=0", "at+vsm=?", "at+vls=?", "at+VGR=?", "at+VGT=?", "at+VGM=?", "at+VGS=?",
        "at+vtd=10", "at+flo=1", "at+ifc=1", "at+vit=0", "at+vra=50", "at+vrn=10", "at+vsd=0,0", "at+vdr=0,0",
        "at+vdt=0,0", "at+vbt=256,896", "at+vpp=0", "at+vpr=0", "at+ipr=0", "at+vrid=1", "at+vrid=0",
        "at+vcid=0", "at+vcid=1", "at+vcid=2", "at+vsp=0", "at+vsp=1", "at+vsp=2", "at+vsp=3", "at+vsp=4",
        "at+vls=1", "at+vsp=0"};
    EXPECT_EQ(modem->commands(), expected);

    // Sections erased before writing: the old ring span, atdt flag and
    // command are gone; other sections stay.
    EXPECT_EQ(setting("Modem", "ringSpan"), QStringLiteral("<missing>"));
    EXPECT_EQ(setting("Modem", "atdt"), QStringLiteral("<missing>"));
    EXPECT_EQ(setting("Commands", "sOld"), QStringLiteral("<missing>"));
    EXPECT_EQ(setting("Modem compressions", "9"), QStringLiteral("<missing>"));
    EXPECT_EQ(setting("ModemInitString", "st1"), QStringLiteral("AT&F"));

    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("1"));
    EXPECT_EQ(setting("Modem", "Model"), QStringLiteral("Test Voice Modem"));
    EXPECT_EQ(setting("Modem", "Timeout"), QStringLiteral("4"));
    EXPECT_EQ(setting("PortParams", "Port"), QStringLiteral("2"));
    EXPECT_EQ(setting("PortParams", "Baudrate"), QStringLiteral("115200"));
    EXPECT_EQ(setting("PortParams", "Databits"), QStringLiteral("8"));
    EXPECT_EQ(setting("PortParams", "StopBits"), QStringLiteral("1"));
    EXPECT_EQ(setting("PortParams", "Parity"), QStringLiteral("0"));
    EXPECT_EQ(setting("PortParams", "PortName"), QStringLiteral("/dev/fake0"));

    // Gains: receive (0,128-255), transmit (122-134), microphone (0-255),
    // speaker rejected.
    EXPECT_EQ(setting("Modem", "AGC"), QStringLiteral("1"));
    EXPECT_EQ(setting("Modem", "vgrMin"), QStringLiteral("128"));
    EXPECT_EQ(setting("Modem", "vgrMax"), QStringLiteral("255"));
    EXPECT_EQ(setting("Commands", "sReceiveGain"), QStringLiteral("at+vgr=191"));
    EXPECT_EQ(setting("Modem", "AVC"), QStringLiteral("0"));
    EXPECT_EQ(setting("Modem", "vgtMin"), QStringLiteral("122"));
    EXPECT_EQ(setting("Modem", "vgtMax"), QStringLiteral("134"));
    EXPECT_EQ(setting("Commands", "sTransmitGain"), QStringLiteral("at+vgt=128"));
    EXPECT_EQ(setting("Commands", "sMicGain"), QStringLiteral("at+vgm=127"));
    EXPECT_EQ(setting("Commands", "sSpeakerGain"), QString());
    EXPECT_EQ(setting("Modem", "vgsMin"), QStringLiteral("<missing>"));

    // Tried commands: the first accepted candidate, or empty.
    EXPECT_EQ(setting("Commands", "sFlowControl"), QStringLiteral("at+ifc=1"));
    EXPECT_EQ(setting("Commands", "sInterfaceRate"), QStringLiteral("at+ipr=0"));
    EXPECT_EQ(setting("Commands", "sSpkPhone_1"), QStringLiteral("at+vsp=1"));
    EXPECT_EQ(setting("Commands", "sSpkPhone_2"), QString());
    EXPECT_EQ(setting("Commands", "sStopVoiceTransmit"), QStringLiteral("<DLE><ETX>"));
    EXPECT_EQ(setting("Commands", "sSelectSource"), QStringLiteral("at+vls=1"));
    EXPECT_EQ(setting("Commands", "sVoiceMode"), QStringLiteral("at+fclass=8"));
    // Every command key is written except the four the probe never tries.
    for (int i = 0; i < settings::CommandCount; ++i) {
        const settings::Key& k = settings::commandKey(i);
        const bool neverWritten =
            QStringList{"sTrainAEC", "sTrainLEC", "sSpkFullDuplex", "sSpkHalfDuplex"}.contains(k.name);
        EXPECT_EQ(settings::exists(*ini, k), !neverWritten) << qPrintable(k.name);
    }
    for (int n = 0; n <= 20; ++n) {
        const bool offered = n == 0 || n == 1 || n == 2 || n == 5;
        EXPECT_EQ(ini->readString(QStringLiteral("Commands"), QStringLiteral("vls_%1").arg(n), QStringLiteral("?")),
                  offered ? QStringLiteral("at+vls=%1").arg(n) : QString())
            << n;
    }

    // Three lines named a compression (CELP did not): records 0..2, the
    // unsigned 8-bit PCM one chosen over A-law listed before it.
    EXPECT_EQ(setting("Modem compressions", "0"), QStringLiteral("ALAW,132,8,0,8000,0,0"));
    EXPECT_EQ(setting("Modem compressions", "1"), QStringLiteral("UNSIGNED PCM,128,8,0,8000,0,0"));
    EXPECT_EQ(setting("Modem compressions", "2"), QStringLiteral("IMA ADPCM,133,4,0,8000,0,0"));
    EXPECT_EQ(setting("Modem compressions", "3"), QStringLiteral("<missing>"));
    EXPECT_EQ(setting("Modem", "Compression"), QStringLiteral("1"));
    EXPECT_EQ(setting("Modem", "CompressionDesc"), QStringLiteral("UNSIGNED PCM"));
    EXPECT_EQ(setting("Modem", "CompressionCml"), QStringLiteral("128"));
    EXPECT_EQ(setting("Modem", "CompressionCmid"), QStringLiteral("\"8-BIT LINEAR\""));
    EXPECT_EQ(setting("Modem", "CompressionBPS"), QStringLiteral("8"));
    EXPECT_EQ(setting("Modem", "CompressionVSR"), QStringLiteral("8000"));
    EXPECT_EQ(setting("Commands", "sVoiceCompression"), QStringLiteral("at+vsm=128,8000,0,0"));
    EXPECT_EQ(setting("Modem", "SamplingFreq"), QStringLiteral("<missing>"));

    QFile file(compressionsFile(*ini));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 3 * 279);
    const QList<CompressionRecord> records = decodeCompressionRecords(bytes, 101);
    EXPECT_EQ(records[1].vsm, QStringLiteral("at+vsm=128,8000,0,0"));
    EXPECT_EQ(records[2].cml, QStringLiteral("133"));
    EXPECT_EQ(bytes.mid(279, 13), QByteArray("\x0cUNSIGNED PCM"));

    const Tcodec codec;
    EXPECT_EQ(ini->readBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin")),
              codec.pcm_8000_8.formatIn().formatBuffer());
    EXPECT_FALSE(setting("Modem compression", "Desc").isEmpty());

    // The engine's profile holds what was written, and reading the file back
    // gives the same.
    const ModemProfile probed = engine.profile();
    EXPECT_TRUE(probed.voiceFeatures);
    EXPECT_EQ(probed.command(ModemCommand::sVoiceCompression), QStringLiteral("at+vsm=128,8000,0,0"));
    EXPECT_EQ(probed.command(ModemCommand::sReceiveGain), QStringLiteral("at+vgr=191"));
    EXPECT_EQ(probed.lineSources[5], QStringLiteral("at+vls=5"));
    EXPECT_EQ(probed.compressionCml, QStringLiteral("128"));
    EXPECT_EQ(probed.modemCompression, codec.pcm_8000_8.formatIn().formatBuffer());
    ASSERT_TRUE(engine.LoadProfile());
    EXPECT_EQ(engine.profile().commands, probed.commands);
    EXPECT_EQ(engine.profile().lineSources, probed.lineSources);
    EXPECT_EQ(engine.profile().modemCompression, probed.modemCompression);
}

TEST_F(ProbeTest, APortThatDoesNotAnswerLeavesTheCommandsAlone)
{
    scriptVoiceModem();
    modem->answerRaw(QStringLiteral("at"), QByteArray()); // silence
    ini->writeString(QStringLiteral("Commands"), QStringLiteral("sVoiceCompression"), QStringLiteral("at+vsm=1"));
    probe();

    EXPECT_EQ(view.messages, QStringList({QStringLiteral("Error detected\nPossible cause\nYour modem is not connected to port")}));
    EXPECT_EQ(modem->commands(), QStringList({QStringLiteral("at")}));
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("0"));
    EXPECT_EQ(setting("Commands", "sVoiceCompression"), QStringLiteral("at+vsm=1"));
    EXPECT_TRUE(view.gaugeShown.isEmpty());
    EXPECT_EQ(view.closed, 1);
    EXPECT_FALSE(port.isOpen());
}

// A modem that stops answering half-way (hung, unplugged) must not leave a
// profile of empty commands with voice on: the probe says which command went
// unanswered and keeps nothing of the modem.
TEST_F(ProbeTest, AModemThatStopsAnsweringLeavesNoProfile)
{
    for (const char* silent : {"at+fclass=8", "at+vls=?", "at+VGT=?", "at+vcid=1"}) {
        SCOPED_TRACE(silent);
        scriptVoiceModem();
        modem->answerRaw(QLatin1String(silent), QByteArray());
        view.messages.clear();
        probe();
        ASSERT_EQ(view.messages.size(), 1);
        EXPECT_TRUE(view.messages[0].contains(QLatin1String(silent))) << qPrintable(view.messages[0]);
        EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("0"));
        EXPECT_FALSE(ini->sectionExists(QStringLiteral("Commands")));
        EXPECT_FALSE(ini->sectionExists(QStringLiteral("Modem compression")));
        EXPECT_FALSE(engine.profile().voiceFeatures);
        EXPECT_EQ(modem->commands().last(), QLatin1String(silent)); // nothing sent after it
        EXPECT_FALSE(port.isOpen());
    }
}

// Stop during the probe: the modem's settings from before it come back, as
// does Compressions.d, instead of half a profile.
TEST_F(ProbeTest, ACancelledProbeKeepsTheEarlierProfile)
{
    scriptVoiceModem();
    ini->writeString(QStringLiteral("Modem"), QStringLiteral("Model"), QStringLiteral("Earlier modem"));
    ini->writeBool(QStringLiteral("Modem"), QStringLiteral("Voicefeatures"), true);
    ini->writeString(QStringLiteral("Commands"), QStringLiteral("sOnHook"), QStringLiteral("at+vls=0"));
    const QString compressions = QFileInfo(ini->fileName()).absolutePath() + QStringLiteral("/Compressions.d");
    testsupport::writeFile(compressions, "earlier records");
    view.onGauge = [this](int percent) {
        if (percent > 10)
            definition.cancel();
    };
    probe();
    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_TRUE(view.messages[0].contains(QLatin1String("cancelled")));
    EXPECT_EQ(setting("Modem", "Model"), QStringLiteral("Earlier modem"));
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("1"));
    EXPECT_EQ(setting("Commands", "sOnHook"), QStringLiteral("at+vls=0"));
    EXPECT_EQ(setting("Commands", "sToneDuration"), QStringLiteral("<missing>"));
    EXPECT_EQ(testsupport::readFile(compressions), QByteArray("earlier records"));
    EXPECT_EQ(view.closed, 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(definition.probing());
}

TEST_F(ProbeTest, AModemRefusingVoiceModeIsMarkedWithoutVoice)
{
    scriptVoiceModem();
    modem->reject(QStringLiteral("at+fclass=8"));
    ini->writeString(QStringLiteral("Commands"), QStringLiteral("sVoiceCompression"), QStringLiteral("at+vsm=1"));
    probe();

    EXPECT_EQ(view.messages, QStringList({QStringLiteral("Your modem does not support V.253 standard")}));
    EXPECT_EQ(modem->commands(), QStringList({QStringLiteral("at"), QStringLiteral("at+fclass=8")}));
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("0"));
    EXPECT_EQ(setting("Modem", "Timeout"), QStringLiteral("4"));
    EXPECT_EQ(setting("Modem", "Model"), QStringLiteral("Test Voice Modem"));
    EXPECT_EQ(setting("PortParams", "PortName"), QStringLiteral("/dev/fake0"));
    EXPECT_FALSE(ini->sectionExists(QStringLiteral("Commands")));
    EXPECT_TRUE(view.gaugeShown.isEmpty());
    EXPECT_EQ(view.closed, 1);

    // The same when the line cannot be selected.
    modem->answer(QStringLiteral("at+fclass=8"));
    modem->reject(QStringLiteral("at+vls=0"));
    view.messages.clear();
    definition.ProbeModem();
    EXPECT_EQ(view.messages, QStringList({QStringLiteral("Your modem does not support V.253 standard")}));
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("0"));
}

TEST_F(ProbeTest, APortThatCannotBeOpenedKeepsTheDialogOpen)
{
    scriptVoiceModem();
    probe(); // a first probe that works
    ASSERT_EQ(view.closed, 1);
    view.messages.clear();
    view.enabled.clear();
    port.setOpenError(QStringLiteral("Cannot open serial port /dev/fake0: permission denied. Add your user to the "
                                     "'dialout' group."));
    definition.ProbeModem();

    ASSERT_EQ(view.messages.size(), 1);
    EXPECT_EQ(view.messages[0], QStringLiteral("Error detected opening Com2\nPossible cause\nYour modem is bound to "
                                               "another software such as a fax software\nCannot open serial port "
                                               "/dev/fake0: permission denied. Add your user to the 'dialout' group."));
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("0"));
    EXPECT_EQ(setting("Commands", "sVoiceCompression"), QStringLiteral("at+vsm=128,8000,0,0")); // untouched
    EXPECT_EQ(view.enabled, QList<bool>({false, true}));
    EXPECT_EQ(view.closed, 1); // not closed again
}

TEST_F(ProbeTest, NoCompressionRecognisedMeansNoVoice)
{
    scriptVoiceModem();
    modem->answer(QStringLiteral("at+vsm=?"), "\r\n+VSM: 140,\"CELP\",0,0,(8000),(0),(0)\r\n\r\n");
    ini->writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), QByteArray(512, 'x'));
    probe();

    EXPECT_EQ(view.messages, QStringList({QStringLiteral("None modem compression can be recognized")}));
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("0"));
    EXPECT_EQ(setting("Modem", "SamplingFreq"), QStringLiteral("0"));
    EXPECT_EQ(setting("Modem", "Compression"), QString());
    // Empty, not missing: a missing key would read as a default compression.
    EXPECT_EQ(setting("Commands", "sVoiceCompression"), QString());
    EXPECT_FALSE(ini->sectionExists(QStringLiteral("Modem compression")));
    EXPECT_EQ(QFileInfo(compressionsFile(*ini)).size(), 0);
    EXPECT_TRUE(QFileInfo::exists(compressionsFile(*ini)));
    // The rest of the probe still ran.
    EXPECT_EQ(setting("Commands", "sReceiveGain"), QStringLiteral("at+vgr=191"));
    EXPECT_EQ(view.gauge.last(), 100);

    // A modem that rejects the question gets the same outcome.
    modem->reject(QStringLiteral("at+vsm=?"));
    view.messages.clear();
    definition.ProbeModem();
    EXPECT_EQ(view.messages, QStringList({QStringLiteral("None modem compression can be recognized")}));
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("0"));
}

TEST_F(ProbeTest, ACompressionWithoutCodecEndsWithoutVoice)
{
    scriptVoiceModem();
    modem->answer(QStringLiteral("at+vsm=?"), "\r\n2,\"2 Bit ADPCM\",0,0,(8000)\r\n1,\"4 Bit ADPCM\",0,0,(8000)\r\n");
    probe();

    EXPECT_EQ(view.messages, QStringList({QStringLiteral("None Codec found to match modem encoding")}));
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("0"));
    EXPECT_EQ(setting("Modem", "Compression"), QStringLiteral("1"));
    EXPECT_EQ(setting("Commands", "sVoiceCompression"), QStringLiteral("at+vsm=1,8000"));
    EXPECT_FALSE(ini->sectionExists(QStringLiteral("Modem compression")));
}

// The receive path turns 8-bit signed samples unsigned, so such a modem
// records through the 8-bit unsigned PCM format, as the preference says.
TEST_F(ProbeTest, EightBitSignedPcmIsRecordedThroughUnsignedPcm)
{
    scriptVoiceModem();
    modem->answer(QStringLiteral("at+vsm=?"), "\r\n+vsm: 4,\"ulaw\",8,0,8000,0,0\r\n"
                                              "+vsm: 0,\"signed pcm\",8,0,7200,0,0\r\n");
    probe();

    EXPECT_TRUE(view.messages.isEmpty());
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("1"));
    EXPECT_EQ(setting("Commands", "sVoiceCompression"), QStringLiteral("at+vsm=0,7200,0,0"));
    EXPECT_EQ(ini->readBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin")),
              pcmFormat(7200, 8, 1).formatBuffer());
}

TEST_F(ProbeTest, UnreadableLineSourcesGoToTheErrorReport)
{
    scriptVoiceModem();
    modem->answer(QStringLiteral("at+vls=?"), "\r\n0,\"\",0\r\nT1,\"T\",0\r\n");
    probe();

    ASSERT_EQ(view.reports.size(), 1);
    EXPECT_EQ(view.reports[0].first, QStringLiteral("'T1' is not a valid integer value"));
    EXPECT_EQ(view.reports[0].second, QStringLiteral("testInt := StrToInt(stValues[i2]);"));
    EXPECT_EQ(setting("Commands", "vls_0"), QStringLiteral("at+vls=0"));
    EXPECT_EQ(setting("Commands", "vls_1"), QString());
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("1"));
}

TEST_F(ProbeTest, DefineModemWithoutAModemSaysSo)
{
    candidates = {{1, QStringLiteral("/dev/fake9"), QString()}}; // opens, never answers
    engine.setDefinitionView(&view);
    ini->writeBool(QStringLiteral("Modem"), QStringLiteral("Voicefeatures"), true);
    engine.DefineModem();

    EXPECT_EQ(view.shown, 0);
    EXPECT_EQ(view.messages, QStringList({QStringLiteral("There is no modem found in your system")}));
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("0"));
    EXPECT_FALSE(engine.profile().voiceFeatures);
}

TEST_F(ProbeTest, DefineModemShowsTheDialogWithTheModemsFound)
{
    scriptVoiceModem();
    engine.setDefinitionView(&view);
    engine.DefineModem();

    EXPECT_EQ(view.shown, 1);
    EXPECT_EQ(view.list, QStringList({QStringLiteral(" Test Voice Modem")}));
    EXPECT_EQ(setting("Modem", "Voicefeatures"), QStringLiteral("1"));
    EXPECT_EQ(view.progress.first(), QStringLiteral("Finding modems... "));
    EXPECT_EQ(view.progress.last(), QStringLiteral("closed"));
}

} // namespace
