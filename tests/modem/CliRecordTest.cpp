// velmora-cli record against the voice modem simulator: a call with speech
// that ends in a busy cadence.
#include "ModemSim.h"
#include "TestSupport.h"
#include "VoiceSignal.h"

#include "audio/ImaAdpcmCodec.h"
#include "audio/RiffReader.h"
#include "audio/RiffWriter.h"
#include "audio/WaveFormat.h"
#include "config/IniFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using testsupport::ModemSim;

namespace {

using namespace voicesignal;

// A data folder as the probe leaves it: mu-law from the modem, files in
// 16-bit PCM; and a simulated call of speech that ends in a busy cadence.
class CliRecord : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writeWav(data.filePath(QStringLiteral("speech.wav")), speech));
        IniFile ini(data.filePath(QStringLiteral("vlm.ini")));
        TdeWaveFormat muLaw = standardPcm8k();
        muLaw.setFormatTag(WaveTag::MuLaw);
        ini.writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), muLaw.formatBuffer());
        ini.writeString(QStringLiteral("Modem"), QStringLiteral("CompressionDesc"), QStringLiteral("ULAW"));
        ini.writeString(QStringLiteral("Commands"), QStringLiteral("sVoiceCompression"), QStringLiteral("at+vsm=131,8000"));
        ini.writeBinary(QStringLiteral("File compression"), QStringLiteral("Bin"), pcmFormat(Rate, 16, 1).formatBuffer());
        ini.writeBool(QStringLiteral("Settings"), QStringLiteral("Periodic"), false);
    }

    // Records the call through velmora-cli, started by `wrapper` (a shell
    // line that ends in exec "$0" "$@") when one is given.
    testsupport::ProcessResult recordCall(int chunk, const QString& wrapper = QString(),
                                          const QString& profile = QStringLiteral("generic"),
                                          const QString& hangUp = QStringLiteral("busy 30s"))
    {
        ModemSim::Options options;
        options.profile = profile;
        options.chunk = chunk;
        const bool probed = profile != QLatin1String("generic") && profile != QLatin1String("conexant");
        const QString call = QStringLiteral("call\n"
                                            "await rx timeout 60s\n"
                                            "play \"%1\"\n"
                                            "%2\n")
                                 .arg(data.filePath(QStringLiteral("speech.wav")), hangUp);
        // The probe's own short receive stream is not the call: the call comes after it.
        if (!probed)
            options.scenario = call;
        sim = std::make_unique<ModemSim>(options);
        EXPECT_TRUE(sim->start()) << qPrintable(sim->error());
        if (probed) {
            QFile::remove(data.filePath(QStringLiteral("vlm.ini")));
            const auto probed = cli({QStringLiteral("probe")});
            EXPECT_EQ(probed.exitCode, 0) << probed.err.constData();
            // The periodic detector stays on: a block or two of the busy
            // tone that look periodic are no periodic signal.
            IniFile ini(data.filePath(QStringLiteral("vlm.ini")));
            ini.writeBinary(QStringLiteral("File compression"), QStringLiteral("Bin"), pcmFormat(Rate, 16, 1).formatBuffer());
            for (const QString& line : call.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                sim->command(line);
        }
        return cli({QStringLiteral("record"), out, QStringLiteral("--until-disconnect"), QStringLiteral("--seconds"),
                    QStringLiteral("60")},
                   wrapper);
    }

    testsupport::ProcessResult cli(const QStringList& command, const QString& wrapper = QString())
    {
        const QStringList args =
            QStringList{QStringLiteral("--data-dir"), data.path(), QStringLiteral("--port"), sim->devicePath()} + command;
        if (wrapper.isEmpty())
            return testsupport::run(QStringLiteral(VELMORA_CLI), args);
        return testsupport::run(QStringLiteral("bash"),
                                QStringList{QStringLiteral("-c"), wrapper, QStringLiteral(VELMORA_CLI)} + args);
    }

    // How closely the recording holds the speech, in dB.
    double speechMatchDb()
    {
        TdeWaveFormat format;
        const std::vector<int16_t> got = readWav16(out, format);
        EXPECT_EQ(format, pcmFormat(Rate, 16, 1));
        if (got.size() <= speech.size())
            return -1e9;
        // The recording starts before the speech, by up to seconds of
        // simulated time on a loaded machine: find where.
        size_t best = 0;
        double bestDb = -1e9;
        for (size_t offset = 0; offset + speech.size() <= got.size() && offset < 5 * Rate; ++offset) {
            const double db = matchDb(speech, got, offset, 800);
            if (db > bestDb) {
                bestDb = db;
                best = offset;
            }
        }
        return matchDb(speech, got, best, speech.size());
    }

    QTemporaryDir data;
    const std::vector<int16_t> speech = speechLike();
    const QString out = data.filePath(QStringLiteral("call.wav"));
    std::unique_ptr<ModemSim> sim;
};

// Whatever the size of the modem's reads, the same call gives the same
// recording.
TEST_F(CliRecord, SpeechThenBusyIsRecordedUntilTheCadenceDisconnectInReadsOfAnySize)
{
    for (const int chunk : {0, 3, 1}) {
        SCOPED_TRACE(chunk);
        const auto result = recordCall(chunk);
        ASSERT_EQ(result.exitCode, 0) << result.err.constData();
        // Either cadence detector may be first: both see the busy tone.
        EXPECT_TRUE(result.out.contains("DISCONNECT cadence-disconnect")
                    || result.out.contains("DISCONNECT tone-disconnect busy/reorder cadence 480+620 Hz"))
            << result.out.constData();
        EXPECT_TRUE(result.out.contains("BUSY")) << result.out.constData(); // the modem's own report
        // mu-law keeps about 35 dB; a wrong sample order or lost bytes give ~0.
        EXPECT_GT(speechMatchDb(), 25.0);
    }
}

// A modem that streams only 8-bit signed PCM at 7200 samples/s, as the
// probe finds it: recorded at 8000 samples/s, samples unsigned.
TEST_F(CliRecord, SignedPcmAt7200IsProbedAndRecorded)
{
    const auto result = recordCall(0, QString(), QStringLiteral("rockwell"));
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    EXPECT_TRUE(result.out.contains("DISCONNECT")) << result.out.constData();
    EXPECT_GT(speechMatchDb(), 15.0) << result.out.constData();
}

// The far end hangs up and the exchange sends dial tone, which the modem does
// not report: the recording ends on the tone within 4 s of its start.
TEST_F(CliRecord, DialToneAfterTheFarEndHangsUpEndsTheRecordingWithinFourSeconds)
{
    IniFile(data.filePath(QStringLiteral("vlm.ini"))).writeBool(QStringLiteral("Modem"), QStringLiteral("EscapeStopPairs"), true);
    const auto result = recordCall(0, QString(), QStringLiteral("conexant"), QStringLiteral("dialtone until-onhook"));
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    const QRegularExpressionMatch decided =
        QRegularExpression(QStringLiteral("block (\\d+) tone-disconnect dial tone 350\\+440 Hz")).match(QString::fromLatin1(result.out));
    ASSERT_TRUE(decided.hasMatch()) << result.out.constData();
    EXPECT_TRUE(result.out.contains("DISCONNECT tone-disconnect")) << result.out.constData();
    // Live blocks of 0.192 s from the start of the recording: the speech
    // (2 s, and the moment before it), then at most 4 s of dial tone.
    EXPECT_LT(decided.captured(1).toInt() * 0.192, 2.0 + 4.0 + 0.5) << result.out.constData();

    // Switched off in the settings, the tone no longer ends it.
    IniFile(data.filePath(QStringLiteral("vlm.ini"))).writeBool(QStringLiteral("Settings"), QStringLiteral("CallProgress"), false);
    const auto off = cli({QStringLiteral("record"), out, QStringLiteral("--until-disconnect"), QStringLiteral("--seconds"),
                          QStringLiteral("3")});
    EXPECT_FALSE(off.out.contains("DISCONNECT")) << off.out.constData();
}

// Every byte value through a real pseudo-terminal, one byte a read: the
// data bytes 0x10 the modem doubles come back as one byte each.
TEST_F(CliRecord, RampOfEveryByteValueComesBackExactlyInOneByteReads)
{
    {
        IniFile ini(data.filePath(QStringLiteral("vlm.ini")));
        ini.writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), standardPcm8k().formatBuffer());
        ini.writeString(QStringLiteral("Modem"), QStringLiteral("CompressionDesc"), QStringLiteral("UNSIGNED PCM"));
        ini.writeString(QStringLiteral("Commands"), QStringLiteral("sVoiceCompression"), QStringLiteral("at+vsm=128,8000"));
        ini.writeBinary(QStringLiteral("File compression"), QStringLiteral("Bin"), standardPcm8k().formatBuffer());
    }
    std::vector<int16_t> ramp;
    for (int i = 0; i < 3 * Rate; ++i)
        ramp.push_back(int16_t((i % 256 - 128) * 256));
    ASSERT_TRUE(writeWav(data.filePath(QStringLiteral("speech.wav")), ramp)); // played in place of the speech
    const auto result = recordCall(1);
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();

    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TdeRIFFAudioReader reader(&file);
    QByteArray got(int(reader.trackSize()), '\0');
    got.resize(int(reader.readTrack(0, got.data(), got.size())));
    QByteArray expected;
    for (int i = 0; i < 256 * 40; ++i)
        expected.append(char(i % 256));
    const qsizetype start = got.indexOf(QByteArray::fromRawData("\x00\x01\x02\x03", 4));
    ASSERT_GE(start, 0);
    EXPECT_EQ(got.mid(start, expected.size()), expected);
}

// IMA ADPCM as modems stream it (no block headers) is recorded too.
TEST_F(CliRecord, ImaAdpcmStreamOfTheModemIsRecorded)
{
    {
        IniFile ini(data.filePath(QStringLiteral("vlm.ini")));
        ini.writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), imaAdpcmModemFormat(Rate).formatBuffer());
        ini.writeString(QStringLiteral("Modem"), QStringLiteral("CompressionDesc"), QStringLiteral("IMA ADPCM"));
        ini.writeString(QStringLiteral("Commands"), QStringLiteral("sVoiceCompression"), QStringLiteral("at+vsm=133,8000"));
    }
    const auto result = recordCall(0);
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    EXPECT_GT(speechMatchDb(), 15.0);
}

// The modem vanishes during the call (unplugged): the recording ends at
// once with what was received, not when the time limit runs out.
TEST_F(CliRecord, ModemUnpluggedDuringTheCallEndsTheRecording)
{
    QElapsedTimer clock;
    clock.start();
    const auto result = recordCall(0, QString(), QStringLiteral("generic"), QStringLiteral("silence 1s\nunplug"));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.out.contains("MODEM-GONE")) << result.out.constData();
    EXPECT_LT(clock.elapsed(), 30000);
    EXPECT_GT(speechMatchDb(), 25.0);
}

// The disk fills during the call (here a file-size limit): the call still
// ends on the cadence, the line is released, the file keeps what was
// written and the command says it is incomplete.
TEST_F(CliRecord, FullDiskStillEndsTheCallAndKeepsWhatWasWritten)
{
    const auto result = recordCall(0, QStringLiteral("trap '' XFSZ; ulimit -f 48; exec \"$0\" \"$@\""));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.out.contains("DISCONNECT")) << result.out.constData();
    EXPECT_TRUE(result.err.contains("is incomplete")) << result.err.constData();
    EXPECT_TRUE(sim->waitForLog(QStringLiteral("host: at+vls=0"))) << qPrintable(sim->log().join('\n'));
    EXPECT_GT(speechMatchDb(), 25.0); // the speech came before the disk was full
    EXPECT_LE(QFile(out).size(), 48 * 1024);
}

} // namespace
