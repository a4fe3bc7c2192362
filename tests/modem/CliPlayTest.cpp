// The speech and playing commands as a user runs them.
#include "ModemSim.h"
#include "TestSupport.h"
#include "VoiceSignal.h"

#include "config/IniFile.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::ModemSim;

namespace {

testsupport::ProcessResult cli(const QString& data, const QStringList& args)
{
    return testsupport::run(QStringLiteral(VELMORA_CLI), QStringList{QStringLiteral("--data-dir"), data} + args);
}

// A data folder whose modem records and plays 8-bit 8 kHz PCM.
void probedFolder(const QString& data)
{
    IniFile ini(data + QStringLiteral("/vlm.ini"));
    ini.writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), standardPcm8k().formatBuffer());
    ini.writeString(QStringLiteral("Modem"), QStringLiteral("CompressionDesc"), QStringLiteral("UNSIGNED PCM"));
    ini.writeString(QStringLiteral("Commands"), QStringLiteral("sVoiceCompression"), QStringLiteral("at+vsm=128,8000"));
}

TEST(CliSpeech, VoicesSpeakAndImportGreeting)
{
    QTemporaryDir dir;
    const auto voices = cli(dir.path(), {QStringLiteral("voices")});
    if (voices.exitCode != 0)
        GTEST_SKIP() << voices.err.constData(); // no espeak-ng here
    const QStringList lines = QString::fromUtf8(voices.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 10);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^0\t\\S+\t.+$")).match(lines[0]).hasMatch()) << qPrintable(lines[0]);

    const QString spoken = dir.filePath(QStringLiteral("spoken.wav"));
    const auto speak = cli(dir.path(), {QStringLiteral("speak"), QStringLiteral("Please leave a message."), spoken,
                                        QStringLiteral("--voice"), lines[1].section('\t', 1, 1), QStringLiteral("--volume"),
                                        QStringLiteral("80")});
    ASSERT_EQ(speak.exitCode, 0) << speak.err.constData();
    TdeWaveFormat format;
    EXPECT_GT(voicesignal::readWav16(spoken, format).size(), 4000u); // 8-bit: half a second and more
    EXPECT_EQ(format, standardPcm8k());
    EXPECT_EQ(cli(dir.path(), {QStringLiteral("speak"), QStringLiteral("x"), spoken, QStringLiteral("--voice"),
                               QStringLiteral("no-such-voice")})
                  .exitCode,
              1);
    EXPECT_EQ(cli(dir.path(), {QStringLiteral("speak"), QStringLiteral("x"), spoken, QStringLiteral("--volume"),
                               QStringLiteral("200")})
                  .exitCode,
              2);

    const QString greeting = dir.filePath(QStringLiteral("greeting.wav"));
    const auto imported = cli(dir.path(), {QStringLiteral("import-greeting"), spoken, greeting});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.constData();
    EXPECT_EQ(voicesignal::readWav16(greeting, format).empty(), false);
    EXPECT_EQ(format, pcmFormat(8000, 16, 1));
    const auto refused = cli(dir.path(), {QStringLiteral("import-greeting"), QStringLiteral(VELMORA_CLI), greeting});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("Cannot use")) << refused.err.constData();
}

// A spoken text reaches the line, then the modem goes on hook.
TEST(CliPlay, TextIsSpokenToTheLineAndTheLineIsReleased)
{
    QTemporaryDir dir;
    probedFolder(dir.path());
    ModemSim::Options options;
    options.capture = true;
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    const auto played = cli(dir.path(), {QStringLiteral("--port"), sim.devicePath(), QStringLiteral("play"),
                                         QStringLiteral("--text"), QStringLiteral("Hello, nobody is at home.")});
    if (played.err.contains("espeak-ng"))
        GTEST_SKIP() << played.err.constData();
    EXPECT_EQ(played.exitCode, 0) << played.err.constData();
    EXPECT_TRUE(played.out.contains("PLAYED")) << played.out.constData();
    ASSERT_TRUE(sim.waitForLog(QStringLiteral("tx end")));
    EXPECT_TRUE(sim.waitForLog(QStringLiteral("host: at+vls=0")));
    TdeWaveFormat format;
    EXPECT_GT(voicesignal::readWav16(sim.captureDir() + QStringLiteral("/tx-001.wav"), format).size(), 4000u);
}

// The modem vanishes in the middle: no end in order, exit 1 with the reason.
TEST(CliPlay, ModemGoneDuringPlayIsAFailure)
{
    QTemporaryDir dir;
    probedFolder(dir.path());
    const QString file = dir.filePath(QStringLiteral("long.wav"));
    std::vector<int16_t> audio = voicesignal::speechLike();
    audio.insert(audio.end(), audio.begin(), audio.end());
    ASSERT_TRUE(voicesignal::writeWav(file, audio));
    ModemSim::Options options;
    options.speed = 1;
    options.scenario = QStringLiteral("await tx timeout 60s\nwait 1s\nunplug\n");
    ModemSim sim(options);
    ASSERT_TRUE(sim.start()) << qPrintable(sim.error());
    const auto played = cli(dir.path(), {QStringLiteral("--port"), sim.devicePath(), QStringLiteral("play"), file});
    EXPECT_EQ(played.exitCode, 1);
    EXPECT_TRUE(played.err.contains("did not end in order")) << played.err.constData();
}

} // namespace
