// velmora-cli play against the voice modem simulator: what the modem
// captures of the line is the file, in every compression it offers.
#include "ModemSim.h"
#include "TestSupport.h"
#include "VoiceSignal.h"

#include "audio/FileConversion.h"
#include "config/IniFile.h"
#include "modem/CompressionChoice.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace voicesignal;
using testsupport::ModemSim;

namespace {

struct Compression
{
    const char* desc;
    int bits;
    int cml; // the generic profile's number for it
    double minCorrelation;
};

class TransmitSim : public testing::Test
{
protected:
    // A data folder set up for one compression, as the probe leaves it.
    void useCompression(const Compression& c)
    {
        IniFile ini(data.filePath(QStringLiteral("vlm.ini")));
        const auto codec = modemCodecFor(QLatin1String(c.desc), c.bits, 8000);
        ASSERT_TRUE(codec);
        ini.writeBinary(QStringLiteral("Modem compression"), QStringLiteral("Bin"), codec->format.formatBuffer());
        ini.writeString(QStringLiteral("Modem"), QStringLiteral("CompressionDesc"), QLatin1String(c.desc));
        ini.writeString(QStringLiteral("Commands"), QStringLiteral("sVoiceCompression"),
                        QStringLiteral("at+vsm=%1,8000").arg(c.cml));
    }

    // Plays the speech through velmora-cli; the captured line audio as
    // 16-bit samples.
    std::vector<int16_t> playAndCapture(const QString& profile, testsupport::ProcessResult& result)
    {
        ModemSim::Options options;
        options.profile = profile;
        options.capture = true;
        ModemSim sim(options);
        EXPECT_TRUE(sim.start()) << qPrintable(sim.error());
        result = testsupport::run(QStringLiteral(VELMORA_CLI), {QStringLiteral("--data-dir"), data.path(),
                                                                 QStringLiteral("--port"), sim.devicePath(),
                                                                 QStringLiteral("play"), source});
        EXPECT_TRUE(sim.waitForLog(QStringLiteral("tx end")));
        const QString decoded = data.filePath(QStringLiteral("captured16.wav"));
        ConvertWavFile(sim.captureDir() + QStringLiteral("/tx-001.wav"), decoded, pcmFormat(Rate, 16, 1));
        TdeWaveFormat format;
        return readWav16(decoded, format);
    }

    QTemporaryDir data;
    const std::vector<int16_t> speech = speechLike();
    const QString source = data.filePath(QStringLiteral("greeting.wav"));
};

// The line hears the file after the codec round trip to the modem's own
// format: linear and G.711 formats keep it all but their noise, IMA ADPCM
// (4 bits a sample, measured 0.999) as well.
TEST_F(TransmitSim, EveryCompressionCarriesTheFile)
{
    ASSERT_TRUE(writeWav(source, speech));
    const Compression compressions[] = {
        {"UNSIGNED PCM", 8, 128, 0.99}, {"SIGNED PCM", 8, 129, 0.99}, {"SIGNED PCM", 16, 130, 0.99},
        {"ULAW", 8, 131, 0.99},         {"ALAW", 8, 132, 0.99},       {"IMA ADPCM", 4, 133, 0.99},
    };
    for (const Compression& c : compressions) {
        SCOPED_TRACE(c.desc + std::string(" ") + std::to_string(c.bits));
        useCompression(c);
        testsupport::ProcessResult result;
        const std::vector<int16_t> got = playAndCapture(QStringLiteral("generic"), result);
        EXPECT_EQ(result.exitCode, 0) << result.err.constData();
        EXPECT_TRUE(result.out.contains("PLAYED")) << result.out.constData();
        EXPECT_NEAR(double(got.size()), double(speech.size()), 80.0);
        const double r = correlation(speech, got, 8);
        std::printf("%-12s %2d bits: correlation %.4f\n", c.desc, c.bits, r);
        EXPECT_GT(r, c.minCorrelation);
    }
}

// A modem that obeys only escaped stop pairs ends the stream all the same.
TEST_F(TransmitSim, ModemObeyingOnlyEscapedStopsEndsTheTransmission)
{
    ASSERT_TRUE(writeWav(source, speech));
    useCompression({"UNSIGNED PCM", 8, 128, 0.99});
    testsupport::ProcessResult result;
    const std::vector<int16_t> got = playAndCapture(QStringLiteral("conexant"), result);
    EXPECT_EQ(result.exitCode, 0) << result.err.constData();
    EXPECT_GT(correlation(speech, got, 8), 0.99);
    EXPECT_TRUE(IniFile(data.filePath(QStringLiteral("vlm.ini")))
                    .readBool(QStringLiteral("Modem"), QStringLiteral("EscapeStopPairs"), false));
}

} // namespace
